// The uninstaller's guard rails. uninstall.dat is a text file that anybody
// who can write to the installation folder may edit, so nothing it names is
// deleted on its word alone:
//
// - the installation folder (ProgDir) must be the folder the uninstaller
//   runs from, and never a drive or share root, nor the Windows folder or
//   anything in it, nor a folder that holds one of the system's own folders
//   (Program Files, the user profile, the shell folders of the install's
//   folder variables, the start-menu Programs folders...);
// - a Files or Dirs entry must stay inside it: relative, with no drive, no
//   UNC or leading "\" or "/", and no component made of dots and blanks
//   alone ("..", ". .", "..."), which Windows would take as a parent;
// - a link path must be a full path ending in ".lnk", a task's file a full
//   path; registry values only under the roots the task list writes.
//
// Everything here is text work on Windows paths, portable and testable
// without a system.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// "X:\" or "\\server\share\" followed by components that are all safe.
bool IsFullPath(const std::string& path);
// A path relative to the installation folder that cannot leave it.
bool IsSafeRelativePath(const std::string& entry);
// A full path whose file name ends in ".lnk" (any case).
bool IsLinkPath(const std::string& path);
// "/" made "\", runs of "\" after the root made one, and a "\" at the end.
std::string NormaliseFolder(const std::string& folder);
// ASCII letters without regard to case, after NormaliseFolder.
bool SameFolder(const std::string& a, const std::string& b);
// path lies strictly below folder (a file in it or in a folder below it),
// and its remainder is a safe relative path.
bool IsInsideFolder(const std::string& path, const std::string& folder);
// "X:\", "\\server\share\" (and anything shorter).
bool IsRootFolder(const std::string& folder);

enum ProgDirCheck {
  kProgDirGood,
  kProgDirNotFull,       // no full path
  kProgDirNotOwnFolder,  // not the folder the uninstaller runs from
  kProgDirRoot,          // a drive or share root
  kProgDirProtected,     // a system folder, in the Windows folder, or above a system folder
};
// windowsFolder may be empty; protectedFolders are the system's folders
// that ProgDir may be neither nor hold. An empty ownFolder skips that test.
ProgDirCheck CheckProgDir(const std::string& progDir, const std::string& ownFolder,
                          const std::string& windowsFolder, const std::vector<std::string>& protectedFolders);

// The roots that task records of type 6 may name: HKEY_CLASSES_ROOT,
// HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE.
bool IsTaskRegistryRoot(uint32_t root);
// A subkey the uninstaller may touch: not empty, no leading "\", no empty
// component.
bool IsSafeSubkey(const std::string& subkey);
// A key of the system that no task line may delete values in or prune:
// Run, RunOnce and their kin, Winlogon, Policies, Image File Execution
// Options, App Paths, Services, and the shell's own classes (exefile,
// lnkfile, "*", Directory, Folder, ...), in HKEY_CLASSES_ROOT or below
// Software\Classes, in either registry view; the key itself, anything
// below it, and any key above one of them.
bool IsSystemRegistryKey(uint32_t root, const std::string& subkey);
// One registry key name or file name: not empty, no "\" or "/", not made of
// dots alone.
bool IsSafeName(const std::string& name);
