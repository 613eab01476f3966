// The process list of the native build: the names a test sets.
#pragma once
#include <string>
#include <vector>

// An empty list that reads well.
void ResetProcessListDouble();
void ProcessListDoubleSet(const std::vector<std::string>& names);
// Makes the list unreadable, as when Toolhelp or the snapshot fails.
void ProcessListDoubleSetFails(bool fails);
