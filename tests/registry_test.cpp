// Registry entries over the registry double: the root rule and the stored
// bytes, the uninstall entry's key and value order, both association
// layouts. Expectations are the literal keys and values, in write order.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "actions/folders.h"
#include "actions/registry.h"
#include "platform/registry.h"
#include "platform/registry_double.h"
#include "platform/system_double.h"
#include "test_env.h"

namespace {

const uint32_t kNtVersion = 0x1DB10106u;   // build 7601 in the high word
const uint32_t kOldVersion = 0xC0000A04u;  // no build byte

// One value write as the tests expect it: REG_SZ, the text and its zero.
struct Write {
  uint32_t root;
  std::string subkey;
  std::string name;
  std::string text;
};

std::vector<Write> WritesSoFar() {
  std::vector<Write> out;
  for (const RegistryDoubleWrite& w : RegistryDoubleWrites()) {
    EXPECT_EQ(w.value.type, static_cast<uint32_t>(kRegSz)) << w.subkey << " " << w.name;
    std::string bytes(w.value.data.begin(), w.value.data.end());
    EXPECT_TRUE(!bytes.empty() && bytes.back() == '\0') << w.subkey << " " << w.name << ": no terminating zero";
    if (!bytes.empty()) bytes.pop_back();
    out.push_back(Write{w.root, w.subkey, w.name, bytes});
  }
  return out;
}

void ExpectWrites(const std::vector<Write>& expected) {
  std::vector<Write> got = WritesSoFar();
  ASSERT_EQ(got.size(), expected.size());
  for (size_t i = 0; i < got.size(); ++i) {
    SCOPED_TRACE("write " + std::to_string(i + 1) + ": " + expected[i].subkey + " " + expected[i].name);
    EXPECT_EQ(got[i].root, expected[i].root);
    EXPECT_EQ(got[i].subkey, expected[i].subkey);
    EXPECT_EQ(got[i].name, expected[i].name);
    EXPECT_EQ(got[i].text, expected[i].text);
  }
}

class RegistryTest : public EnvTest {};

TEST_F(RegistryTest, WriteRegistryStringNamesThreeRootsAndStoresTheZero) {
  struct Case {
    uint32_t root;
    RegistryDoubleRefusal refusal;
    const char* text;
    int result;
    std::vector<uint8_t> stored;  // empty: no value
  };
  const Case cases[] = {
      {kHkeyClassesRoot, kRegistryAllows, "1", kRegistryWritten, {'1', 0}},
      {kHkeyCurrentUser, kRegistryAllows, "", kRegistryWritten, {0}},
      {kHkeyLocalMachine, kRegistryAllows, "ab c", kRegistryWritten, {'a', 'b', ' ', 'c', 0}},
      {kHkeyUsers, kRegistryAllows, "1", kRegistryKeyFailed, {}},  // a real root, not one of the three
      {0, kRegistryAllows, "1", kRegistryKeyFailed, {}},
      {2, kRegistryAllows, "1", kRegistryKeyFailed, {}},
      {0x80000005u, kRegistryAllows, "1", kRegistryKeyFailed, {}},
      {kHkeyLocalMachine, kRegistryRefusesKeys, "1", kRegistryKeyFailed, {}},
      {kHkeyLocalMachine, kRegistryRefusesValues, "1", kRegistryValueFailed, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.root) + " refusal " + std::to_string(c.refusal) + " '" + c.text + "'");
    ResetEverything();
    RegistryDoubleRefuse(c.root, c.refusal);
    EXPECT_EQ(WriteRegistryString(c.root, "Software\\Zd\\Sub", "Value", c.text), c.result);
    RegistryDoubleValue value;
    bool stored = RegistryDoubleGet(c.root, "Software\\Zd\\Sub", "Value", &value);
    EXPECT_EQ(stored, !c.stored.empty());
    if (stored) {
      EXPECT_EQ(value.data, c.stored);
      // A written value reads back whole, the stored zero dropped.
      EXPECT_EQ(ReadRegistryString(c.root, "Software\\Zd\\Sub", "Value"), c.text);
    }
    if (c.result == kRegistryKeyFailed) {
      EXPECT_FALSE(RegistryDoubleKeyExists(c.root, "Software"));
    }
  }
}

TEST_F(RegistryTest, UninstallEntryKeyAndValuesInOrder) {
  UninstallEntry entry;
  entry.guid = "{0A1B2C3D-1111-2222-3333-444455556666}";
  entry.progLink = "Viewer Link";
  entry.title = "Image Viewer";
  entry.version = "2.1";
  entry.author = "Ann Author";
  entry.web = "http://example.org/";
  entry.email = "ann@example.org";
  entry.installDir = "C:\\Program Files\\Viewer\\";
  entry.progExe = "Viewer.exe";
  WriteUninstallEntry(entry);
  const std::string key = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{0A1B2C3D-1111-2222-3333-444455556666}";
  ExpectWrites({
      {kHkeyLocalMachine, key, "DisplayName", "Image Viewer  2.1"},
      {kHkeyLocalMachine, key, "DisplayIcon", "C:\\Program Files\\Viewer\\Viewer.exe"},
      {kHkeyLocalMachine, key, "Publisher", "Ann Author"},
      {kHkeyLocalMachine, key, "URLInfoAbout", "http://example.org/"},
      {kHkeyLocalMachine, key, "HelpLink", "http://example.org/"},
      {kHkeyLocalMachine, key, "Contact", "ann@example.org"},
      {kHkeyLocalMachine, key, "UninstallString", "C:\\Program Files\\Viewer\\uninstall.exe"},
  });
}

TEST_F(RegistryTest, UninstallEntryNamedAfterTheLinkWithoutGuid) {
  struct Case {
    const char* guid;
    const char* version;
    RegistryDoubleRefusal refusal;
    const char* key;  // null: no key at all
    const char* displayName;
  };
  const Case cases[] = {
      {"", "2.1", kRegistryAllows, "Viewer Link", "Image Viewer  2.1"},
      {"{G}", "", kRegistryAllows, "{G}", "Image Viewer  "},  // two blanks stay
      {"{G}", "2.1", kRegistryRefusesKeys, nullptr, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.guid) + " / " + c.version);
    ResetEverything();
    RegistryDoubleRefuse(kHkeyLocalMachine, c.refusal);
    UninstallEntry entry;
    entry.guid = c.guid;
    entry.progLink = "Viewer Link";
    entry.title = "Image Viewer";
    entry.version = c.version;
    WriteUninstallEntry(entry);
    if (!c.key) {
      EXPECT_TRUE(RegistryDoubleWrites().empty());
      EXPECT_FALSE(RegistryDoubleKeyExists(kHkeyLocalMachine, "Software"));
      continue;
    }
    ASSERT_EQ(WritesSoFar().size(), 7u);
    const Write first = WritesSoFar()[0];
    EXPECT_EQ(first.subkey, std::string("Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\") + c.key);
    EXPECT_EQ(first.text, c.displayName);
  }
}

TEST_F(RegistryTest, AssociationLayouts) {
  const std::string program = "C:\\Program Files\\Image Viewer\\view er.exe";
  const std::string open = "\"C:\\Program Files\\Image Viewer\\view er.exe\" \"%1\"";
  const std::string fileExts = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.";
  struct Case {
    const char* what;
    uint32_t version;
    const char* description;
    const char* icon;
    std::vector<Write> writes;
  };
  const Case cases[] = {
      {"NT, description and icon",
       kNtVersion,
       "Viewer Image",
       "C:\\Icons\\v.ico,2",
       {
           {kHkeyClassesRoot, "Applications\\view er.exe\\shell\\open\\command", "", open},
           {kHkeyClassesRoot, ".vim", "", "vim_auto_file"},
           {kHkeyClassesRoot, "vim_auto_file", "", "Viewer Image"},
           {kHkeyClassesRoot, "vim_auto_file\\DefaultIcon", "", "C:\\Icons\\v.ico,2"},
           {kHkeyCurrentUser, fileExts + "vim", "Application", "view er.exe"},
       }},
      {"NT, neither: the type is the file name, no DefaultIcon",
       kNtVersion,
       "",
       "",
       {
           {kHkeyClassesRoot, "Applications\\view er.exe\\shell\\open\\command", "", open},
           {kHkeyClassesRoot, ".vim", "", "vim_auto_file"},
           {kHkeyClassesRoot, "vim_auto_file", "", "view er.exe"},
           {kHkeyCurrentUser, fileExts + "vim", "Application", "view er.exe"},
       }},
      {"older family, description and icon",
       kOldVersion,
       "Viewer Image",
       "C:\\Icons\\v.ico,2",
       {
           {kHkeyLocalMachine, "Software\\Classes\\.vim", "", "view er.exe"},
           {kHkeyLocalMachine, "Software\\Classes\\view er.exe", "", "Viewer Image"},
           {kHkeyLocalMachine, "Software\\Classes\\view er.exe\\DefaultIcon", "", "C:\\Icons\\v.ico,2"},
           {kHkeyLocalMachine, "Software\\Classes\\view er.exe\\shell\\open\\command", "", open},
       }},
      {"older family, neither",
       kOldVersion,
       "",
       "",
       {
           {kHkeyLocalMachine, "Software\\Classes\\.vim", "", "view er.exe"},
           {kHkeyLocalMachine, "Software\\Classes\\view er.exe", "", "view er.exe"},
           {kHkeyLocalMachine, "Software\\Classes\\view er.exe\\shell\\open\\command", "", open},
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ResetEverything();
    SystemDoubleSetVersion(c.version);
    AssociateExtension("vim", c.description, program, c.icon);
    ExpectWrites(c.writes);
  }
}

TEST_F(RegistryTest, AssociationTriesEveryStepWhenOneRootRefuses) {
  SystemDoubleSetVersion(kNtVersion);
  RegistryDoubleRefuse(kHkeyClassesRoot, kRegistryRefusesKeys);
  AssociateExtension("vim", "", "C:\\V\\v.exe", "");
  ExpectWrites({{kHkeyCurrentUser, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.vim",
                 "Application", "v.exe"}});
}

}  // namespace
