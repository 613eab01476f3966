// zandor init: a commented starting setup folder that builds as it stands.
#pragma once
#include <string>

// Writes setup.ini, english.lng and licence.txt into setupDir (made when
// missing; files already there are never overwritten). With a programDir,
// ProgExe is its first .exe file at the top and the title its folder name.
// True with *message saying what was written and the build command to run;
// false with *message giving the reason.
bool WriteStartingSetup(const std::string& setupDir, const std::string& programDir, std::string* message);
