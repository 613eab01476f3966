// The shell's link object: one ".lnk" file made whole in one call. POSIX
// has no shell links: natively only the test double answers, which records
// the links and leaves a marker file in each saved link's place
// (shell_link_double.h).
#pragma once
#include <cstdint>
#include <string>

// Every field of a link, in the order the link object is given them.
struct ShellLinkFields {
  std::string target;         // path or address that the link starts
  std::string linkFile;       // full path of the ".lnk" file
  std::string workingFolder;  // may be empty
  std::string arguments;      // may be empty
  int32_t showCommand = 1;    // SW_SHOWNORMAL
  std::string description;
  int32_t hotkey = 0;         // none
  std::string iconFile;
  int32_t iconIndex = 0;
};

// COM initialised, the link object made, every field set, saved under
// linkFile (an existing file is overwritten), released, COM uninitialised:
// no COM state survives the call. True when the link was saved; false when
// the object could not be made, the path does not convert, or the save
// failed (for instance because the link's folder does not exist).
bool OsCreateShellLink(const ShellLinkFields& link);
