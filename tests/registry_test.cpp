// Registry entries over the registry double: the root rule and the stored
// zero, the uninstall entry's key and value order, both association
// layouts. Each case expects the literal writes in their order.
#include <gtest/gtest.h>

#include <string>

#include "actions/folders.h"
#include "actions/registry.h"
#include "platform/registry.h"
#include "platform/registry_double.h"
#include "platform/system_double.h"
#include "test_env.h"

namespace {

// The writes so far, one line each: root, subkey, name "=" text. A value
// that is not a REG_SZ ending in its zero shows as such.
std::string Writes() {
  std::string out;
  for (const RegistryDoubleWrite& w : RegistryDoubleWrites()) {
    const char* root = w.root == kHkeyClassesRoot ? "CR" : w.root == kHkeyCurrentUser ? "CU" : "LM";
    if (w.value.type == kRegDword && w.value.data.size() == 4) {
      const std::vector<uint8_t>& d = w.value.data;
      out += std::string(root) + " " + w.subkey + " " + w.name + "=#" +
             std::to_string(d[0] | d[1] << 8 | d[2] << 16 | uint32_t(d[3]) << 24) + "\n";
      continue;
    }
    std::string text(w.value.data.begin(), w.value.data.end());
    bool zero = !text.empty() && text.back() == '\0';
    if (zero) text.pop_back();
    out += std::string(root) + " " + w.subkey + " " + w.name + "=" + text;
    out += w.value.type == kRegSz && zero ? "\n" : " (not a REG_SZ with its zero)\n";
  }
  return out;
}

class RegistryTest : public EnvTest {};

TEST_F(RegistryTest, WriteRegistryStringTakesThreeRootsAndStoresTheZero) {
  const struct {
    uint32_t root;
    RegistryDoubleRefusal refusal;
    const char* text;
    int result;
    const char* writes;
  } cases[] = {
      {kHkeyClassesRoot, kRegistryAllows, "1", kRegistryWritten, "CR A\\B V=1\n"},
      {kHkeyCurrentUser, kRegistryAllows, "", kRegistryWritten, "CU A\\B V=\n"},
      {kHkeyLocalMachine, kRegistryAllows, "a b", kRegistryWritten, "LM A\\B V=a b\n"},
      {kHkeyUsers, kRegistryAllows, "1", kRegistryKeyFailed, ""},  // a root, but not one of the three
      {2, kRegistryAllows, "1", kRegistryKeyFailed, ""},
      {kHkeyLocalMachine, kRegistryRefusesKeys, "1", kRegistryKeyFailed, ""},
      {kHkeyLocalMachine, kRegistryRefusesValues, "1", kRegistryValueFailed, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.root) + " refusal " + std::to_string(c.refusal));
    ResetEverything();
    RegistryDoubleRefuse(c.root, c.refusal);
    EXPECT_EQ(WriteRegistryString(c.root, "A\\B", "V", c.text), c.result);
    EXPECT_EQ(Writes(), c.writes);
    EXPECT_EQ(RegistryDoubleKeyExists(c.root, "A"), c.result != kRegistryKeyFailed);
    // Read back whole: the last byte that ReadRegistryString drops is the zero.
    if (c.result == kRegistryWritten) {
      EXPECT_EQ(ReadRegistryString(c.root, "A\\B", "V"), c.text);
    }
  }
}

TEST_F(RegistryTest, UninstallEntryKeyAndValuesInOrder) {
  const std::string key = "LM Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
  const struct {
    const char* guid;
    const char* version;
    RegistryDoubleRefusal refusal;
    std::string writes;
  } cases[] = {
      {"{0A1B}", "2.1", kRegistryAllows,
       key + "{0A1B} DisplayName=Image Viewer 2.1\n" +                           //
           key + "{0A1B} DisplayIcon=C:\\Program Files\\Viewer\\Viewer.exe\n" +  //
           key + "{0A1B} Publisher=Ann Author\n" +                               //
           key + "{0A1B} URLInfoAbout=http://example.org/\n" +                   //
           key + "{0A1B} HelpLink=http://example.org/\n" +                       //
           key + "{0A1B} Contact=ann@example.org\n" +                            //
           key + "{0A1B} UninstallString=\"C:\\Program Files\\Viewer\\uninstall.exe\"\n" +
           key + "{0A1B} DisplayVersion=2.1\n" +                                 //
           key + "{0A1B} InstallLocation=C:\\Program Files\\Viewer\\\n" +      //
           key + "{0A1B} QuietUninstallString=\"C:\\Program Files\\Viewer\\uninstall.exe\" /Q\n" +
           // 1025 bytes take two KB: the size is rounded up.
           key + "{0A1B} EstimatedSize=#2\n" + key + "{0A1B} NoModify=#1\n" + key + "{0A1B} NoRepair=#1\n"},
      // Without a GUID the key is the link name; without a version the bare title.
      {"", "", kRegistryAllows,
       key + "Viewer Link DisplayName=Image Viewer\n" +                             //
           key + "Viewer Link DisplayIcon=C:\\Program Files\\Viewer\\Viewer.exe\n" +  //
           key + "Viewer Link Publisher=Ann Author\n" +                               //
           key + "Viewer Link URLInfoAbout=http://example.org/\n" +                   //
           key + "Viewer Link HelpLink=http://example.org/\n" +                       //
           key + "Viewer Link Contact=ann@example.org\n" +                            //
           key + "Viewer Link UninstallString=\"C:\\Program Files\\Viewer\\uninstall.exe\"\n" +
           key + "Viewer Link DisplayVersion=\n" +                                    //
           key + "Viewer Link InstallLocation=C:\\Program Files\\Viewer\\\n" +      //
           key + "Viewer Link QuietUninstallString=\"C:\\Program Files\\Viewer\\uninstall.exe\" /Q\n" +
           key + "Viewer Link EstimatedSize=#2\n" + key + "Viewer Link NoModify=#1\n" +
           key + "Viewer Link NoRepair=#1\n"},
      // Without the rights for the machine's key, the user's own list.
      {"{0A1B}", "2.1", kRegistryRefusesKeys, "CU"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.guid) + " / " + c.version);
    ResetEverything();
    RegistryDoubleRefuse(kHkeyLocalMachine, c.refusal);
    std::string expected = c.writes;
    if (expected == "CU") {
      expected = cases[0].writes;
      for (size_t at = expected.find("LM "); at != std::string::npos; at = expected.find("LM ", at)) {
        expected.replace(at, 2, "CU");
      }
    }
    WriteUninstallEntry({c.guid, "Viewer Link", "Image Viewer", c.version, "Ann Author", "http://example.org/",
                         "ann@example.org", "C:\\Program Files\\Viewer\\", "Viewer.exe", 1025});
    EXPECT_EQ(Writes(), expected);
  }
}

TEST_F(RegistryTest, AssociationLayouts) {
  const std::string open = "\"C:\\Program Files\\Viewer\\view er.exe\" \"%1\"";  // quoted for the blanks
  const struct {
    bool ntFamily;
    const char* description;
    const char* icon;
    std::string writes;
  } cases[] = {
      // NT family: no description names the type after the file name; no
      // icon location writes no DefaultIcon, in either layout.
      {true, "", "C:\\Icons\\v.ico,2",
       "CR Applications\\view er.exe\\shell\\open\\command =" + open + "\n" +
           "CR .vim =vim_auto_file\n"
           "CR vim_auto_file =view er.exe\n"
           "CR vim_auto_file\\DefaultIcon =C:\\Icons\\v.ico,2\n"
           "CR vim_auto_file\\shell\\open\\command =" + open + "\n" +
           "CU Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.vim Application=view er.exe\n"},
      {true, "Viewer Image", "",
       "CR Applications\\view er.exe\\shell\\open\\command =" + open + "\n" +
           "CR .vim =vim_auto_file\n"
           "CR vim_auto_file =Viewer Image\n"
           "CR vim_auto_file\\shell\\open\\command =" + open + "\n" +
           "CU Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.vim Application=view er.exe\n"},
      {false, "Viewer Image", "C:\\Icons\\v.ico,2",
       "LM Software\\Classes\\.vim =view er.exe\n"
       "LM Software\\Classes\\view er.exe =Viewer Image\n"
       "LM Software\\Classes\\view er.exe\\DefaultIcon =C:\\Icons\\v.ico,2\n"
       "LM Software\\Classes\\view er.exe\\shell\\open\\command =" +
           open + "\n"},
      {false, "", "",
       "LM Software\\Classes\\.vim =view er.exe\n"
       "LM Software\\Classes\\view er.exe =view er.exe\n"
       "LM Software\\Classes\\view er.exe\\shell\\open\\command =" +
           open + "\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.ntFamily ? "NT " : "older ") + c.description + " " + c.icon);
    ResetEverything();
    SystemDoubleSetNtFamily(c.ntFamily);
    AssociateExtension("vim", c.description, "C:\\Program Files\\Viewer\\view er.exe", c.icon);
    EXPECT_EQ(Writes(), c.writes);
  }
}

}  // namespace
