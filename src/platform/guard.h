// What keeps other processes out of what the run makes and reads: a private
// folder, and the final path of a file or folder after every link in it.
#pragma once
#include <string>

// Creates the folder only when nothing is at path, with an access list that
// admits the account that owns what this process makes (the user, or the
// Administrators group for an elevated process) and the system, and nothing
// inherited from the parent. False when anything is at path already or the
// folder cannot be made so. (POSIX: mode 0700.)
bool OsCreatePrivateFolder(const std::string& path);
// The path of an existing file or folder as the system finally opens it:
// every symbolic link, junction and mount point resolved, every component
// in its long form and its stored case, without "\\?\" ("\\?\UNC\server"
// becomes "\\server"). Empty when nothing is at path or the system cannot
// tell. A folder's path does not end in "\".
std::string OsFinalPath(const std::string& path);
// The path itself is a link (a reparse point: junction, symbolic link;
// POSIX: a symbolic link), not what it points to.
bool OsIsLink(const std::string& path);
