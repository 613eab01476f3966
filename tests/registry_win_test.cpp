// Registry entries written for real: the bytes the platform stores for a
// text (its terminating zero counted), the three roots, and the uninstall
// entry and an association read back. Every key is named after a fresh
// GUID and deleted again, so the shared test prefix keeps nothing.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "actions/folders.h"
#include "actions/registry.h"
#include "platform/registry.h"
#include "platform/system.h"
#include "test_env.h"

namespace {

HKEY Root(uint32_t root) { return reinterpret_cast<HKEY>(static_cast<uintptr_t>(static_cast<LONG>(root))); }

// Deletes the listed keys, with all below them, at the end of the test.
class ScopedKeys {
 public:
  void Add(uint32_t root, const std::string& subkey) { keys_.push_back({root, subkey}); }
  ~ScopedKeys() {
    for (const auto& key : keys_) RegDeleteTreeA(Root(key.first), key.second.c_str());
  }

 private:
  std::vector<std::pair<uint32_t, std::string>> keys_;
};

// Type and data of a value exactly as stored; type 0 when it is missing.
std::pair<DWORD, std::string> Stored(uint32_t root, const std::string& subkey, const std::string& name) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(Root(root), subkey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return {0, ""};
  char data[512];
  DWORD type = 0, size = sizeof data;
  LONG r = RegQueryValueExA(key, name.empty() ? nullptr : name.c_str(), nullptr, &type,
                            reinterpret_cast<BYTE*>(data), &size);
  RegCloseKey(key);
  return r == ERROR_SUCCESS ? std::make_pair(type, std::string(data, size)) : std::make_pair(DWORD(0), std::string());
}

std::string Unique() { return OsCreateGuidText().substr(1, 8); }

TEST(RegistryWinTest, TextsAreStoredWithTheirZeroUnderTheThreeRoots) {
  ScopedKeys keys;
  const std::string subkey = "Software\\ZandorTest" + Unique() + "\\Sub";
  struct Case {
    uint32_t root;
    std::string text;
    int result;
  };
  const Case cases[] = {
      {kHkeyCurrentUser, "1", kRegistryWritten},
      {kHkeyCurrentUser, "", kRegistryWritten},
      {kHkeyLocalMachine, "C:\\Program Files\\V\\", kRegistryWritten},
      {kHkeyClassesRoot, "Viewer Image", kRegistryWritten},
      {kHkeyUsers, "1", kRegistryKeyFailed},  // a real root, not the installer's
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.root) + " '" + c.text + "'");
    keys.Add(c.root, subkey.substr(0, subkey.rfind('\\')));
    EXPECT_EQ(WriteRegistryString(c.root, subkey, "Value", c.text), c.result);
    if (c.result != kRegistryWritten) {
      EXPECT_EQ(Stored(c.root, subkey, "Value").first, 0u);
      continue;
    }
    EXPECT_EQ(Stored(c.root, subkey, "Value"), std::make_pair(DWORD(REG_SZ), c.text + '\0'));
    EXPECT_EQ(ReadRegistryString(c.root, subkey, "Value"), c.text);
  }
}

TEST(RegistryWinTest, UninstallEntryAndAssociationReadBack) {
  ScopedKeys keys;
  UninstallEntry entry;
  entry.guid = "{ZandorTest-" + Unique() + "}";
  entry.title = "Image Viewer";
  entry.version = "2.1";
  entry.web = "http://example.org/";
  entry.installDir = "C:\\Program Files\\Viewer\\";
  entry.progExe = "Viewer.exe";
  const std::string uninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + entry.guid;
  keys.Add(kHkeyLocalMachine, uninstallKey);
  WriteUninstallEntry(entry);
  EXPECT_EQ(ReadRegistryString(kHkeyLocalMachine, uninstallKey, "DisplayName"), "Image Viewer  2.1");
  EXPECT_EQ(Stored(kHkeyLocalMachine, uninstallKey, "Contact"), std::make_pair(DWORD(REG_SZ), std::string(1, '\0')));
  EXPECT_EQ(ReadRegistryString(kHkeyLocalMachine, uninstallKey, "UninstallString"),
            "C:\\Program Files\\Viewer\\uninstall.exe");

  // Windows and Wine are of the NT family: the _auto_file layout.
  ASSERT_TRUE(OsIsNtFamily());
  const std::string extension = "zd" + Unique();
  const std::string program = "zdview" + Unique() + ".exe";
  keys.Add(kHkeyClassesRoot, "." + extension);
  keys.Add(kHkeyClassesRoot, extension + "_auto_file");
  keys.Add(kHkeyClassesRoot, "Applications\\" + program);
  keys.Add(kHkeyCurrentUser, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\." + extension);
  AssociateExtension(extension, "", "C:\\Program Files\\Viewer\\" + program, "C:\\V\\v.ico,1");
  EXPECT_EQ(ReadRegistryString(kHkeyClassesRoot, "." + extension, ""), extension + "_auto_file");
  EXPECT_EQ(ReadRegistryString(kHkeyClassesRoot, extension + "_auto_file", ""), program);
  EXPECT_EQ(ReadRegistryString(kHkeyClassesRoot, extension + "_auto_file\\DefaultIcon", ""), "C:\\V\\v.ico,1");
  EXPECT_EQ(ReadRegistryString(kHkeyClassesRoot, "Applications\\" + program + "\\shell\\open\\command", ""),
            "\"C:\\Program Files\\Viewer\\" + program + "\" \"%1\"");
  EXPECT_EQ(ReadRegistryString(kHkeyCurrentUser,
                               "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\." + extension,
                               "Application"),
            program);
}

}  // namespace
