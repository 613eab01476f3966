// Registry entries written for real: the bytes stored for a text (its
// terminating zero counted), the three roots, and the uninstall entry read
// back. Keys are named after a fresh GUID and deleted again, so the shared
// test prefix keeps nothing.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "actions/folders.h"
#include "actions/registry.h"
#include "platform/registry.h"
#include "platform/system.h"

namespace {

HKEY Root(uint32_t root) { return reinterpret_cast<HKEY>(static_cast<uintptr_t>(static_cast<LONG>(root))); }

// Type and bytes of a value exactly as stored; type 0 when it is missing.
std::pair<DWORD, std::string> Stored(uint32_t root, const std::string& subkey, const std::string& name) {
  char data[512];
  DWORD type = 0, size = sizeof data;
  if (RegGetValueA(Root(root), subkey.c_str(), name.c_str(), RRF_RT_ANY | RRF_NOEXPAND, &type, data, &size) !=
      ERROR_SUCCESS) {
    return {0, ""};
  }
  return {type, std::string(data, size)};
}

TEST(RegistryWinTest, TextsAreStoredWithTheirZero) {
  const std::string top = "Software\\ZandorTest" + OsCreateGuidText();
  const std::string uninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + OsCreateGuidText();
  const struct {
    uint32_t root;
    std::string text;
    int result;
  } cases[] = {
      {kHkeyCurrentUser, "1", kRegistryWritten},
      {kHkeyLocalMachine, "", kRegistryWritten},
      {kHkeyClassesRoot, "C:\\Program Files\\V\\", kRegistryWritten},
      {kHkeyUsers, "1", kRegistryKeyFailed},  // a real root, not the installer's
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.root) + " '" + c.text + "'");
    EXPECT_EQ(WriteRegistryString(c.root, top + "\\Sub", "Value", c.text), c.result);
    std::pair<DWORD, std::string> expected(0, "");
    if (c.result == kRegistryWritten) expected = {REG_SZ, c.text + '\0'};
    EXPECT_EQ(Stored(c.root, top + "\\Sub", "Value"), expected);
    EXPECT_EQ(ReadRegistryString(c.root, top + "\\Sub", "Value"), c.result == kRegistryWritten ? c.text : "");
    RegDeleteTreeA(Root(c.root), top.c_str());
  }

  UninstallEntry entry;
  entry.guid = uninstallKey.substr(uninstallKey.rfind('\\') + 1);
  entry.title = "Image Viewer";
  entry.installDir = "C:\\V\\";
  entry.programBytes = 3000;
  WriteUninstallEntry(entry);
  EXPECT_EQ(Stored(kHkeyLocalMachine, uninstallKey, "DisplayName"),
            std::make_pair(DWORD(REG_SZ), std::string("Image Viewer") + '\0'));
  EXPECT_EQ(Stored(kHkeyLocalMachine, uninstallKey, "Contact"), std::make_pair(DWORD(REG_SZ), std::string(1, '\0')));
  EXPECT_EQ(ReadRegistryString(kHkeyLocalMachine, uninstallKey, "UninstallString"), "\"C:\\V\\uninstall.exe\"");
  // The numbers are REG_DWORD values, little-endian: 3000 bytes are 3 KB.
  EXPECT_EQ(Stored(kHkeyLocalMachine, uninstallKey, "EstimatedSize"),
            std::make_pair(DWORD(REG_DWORD), std::string("\x03\0\0\0", 4)));
  EXPECT_EQ(Stored(kHkeyLocalMachine, uninstallKey, "NoRepair"),
            std::make_pair(DWORD(REG_DWORD), std::string("\x01\0\0\0", 4)));
  RegDeleteTreeA(HKEY_LOCAL_MACHINE, uninstallKey.c_str());
}

}  // namespace
