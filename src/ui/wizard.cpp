#include "ui/wizard.h"

#include "runtime/text.h"
#include "ui/language.h"

namespace {

enum WizardFont : int {
  kFontDefault,
  kFontSmall,
  kFontSmallBold,
  kFontNormal,
  kFontNormalBold,
  kFontTitle,
  kFontButtonBold,
  kFontCount
};

struct FontRow {
  const char* face;
  int points;
  int weight;
};

// Indexed by WizardFont from kFontSmall on.
const FontRow kFontRows[kFontCount] = {
    {"", 0, 0},
    {"Arial", 8, 400},
    {"Arial", 8, 700},
    {"Arial", 9, 400},
    {"Arial", 9, 700},
    {"Arial", 12, 700},
    {"MS Sans Serif", 8, 700},
};

// Texts that are not one language text as it stands.
const TextId kNoText = kTextCount;
const TextId kWelcomeText = static_cast<TextId>(kTextCount + 1);  // Msg1, Msg2, Msg3
const TextId kBackText = static_cast<TextId>(kTextCount + 2);     // "< " + Back
const TextId kNextText = static_cast<TextId>(kTextCount + 3);     // Next + " >"

struct WizardRow {
  int id;
  ControlKind kind;
  int parent;
  int left, top, width, height;
  TextId text;
  WizardFont font;
  bool white;
  bool hidden;
  TextAlign align = kAlignLeft;
  ControlBorder border = kBorderNone;
  bool groupStart = false;
};

const bool W = true;  // white background
const bool H = true;  // created hidden
const bool _ = false;

// Every control in creation order. Positions are relative to the parent
// panel (0: the window's client area); a hidden panel hides what it holds.
// The homepage link gets its text from the flow.
const WizardRow kRows[] = {
    {kWizardWelcomePanel, kControlPanel, 0, 130, 0, 350, 300, kNoText, kFontDefault, W, _},
    {kWizardWelcomeTitle, kControlText, kWizardWelcomePanel, 10, 10, 330, 60, kTextPage01Titel, kFontTitle, W, _,
     kAlignCentre},
    {kWizardWelcomeText, kControlText, kWizardWelcomePanel, 10, 80, 330, 120, kWelcomeText, kFontNormal, W, _},
    {kWizardWelcomeNotice, kControlText, kWizardWelcomePanel, 10, 245, 330, 45, kTextPage01CopyRight, kFontNormal,
     W, _},
    {kWizardSidePicture, kControlImage, 0, 0, 0, 130, 300, kNoText, kFontDefault, _, _},

    {kWizardHeaderPanel, kControlPanel, 0, 0, 0, 480, 48, kNoText, kFontDefault, W, H},
    {kWizardHeaderTitle, kControlText, kWizardHeaderPanel, 10, 10, 415, 15, kTextPage02Titel, kFontSmallBold, W, _},
    {kWizardHeaderMessage, kControlText, kWizardHeaderPanel, 20, 25, 405, 15, kTextPage02Msg, kFontSmall, W, _},
    {kWizardHeaderIcon, kControlImage, kWizardHeaderPanel, 440, 9, 32, 32, kNoText, kFontDefault, _, _},

    {kWizardLicencePanel, kControlPanel, 0, 0, 50, 480, 250, kNoText, kFontDefault, _, H, kAlignLeft, kBorderSunken},
    {kWizardLicenceText, kControlRichText, kWizardLicencePanel, 10, 10, 455, 190, kNoText, kFontDefault, _, _},
    {kWizardAccept, kControlOption, kWizardLicencePanel, 10, 208, 455, 15, kTextPage02AcceptYes, kFontNormal, _, _,
     kAlignLeft, kBorderNone, true},
    {kWizardRefuse, kControlOption, kWizardLicencePanel, 10, 227, 455, 15, kTextPage02AcceptNo, kFontNormal, _, _},

    {kWizardSettingsPanel, kControlPanel, 0, 0, 50, 480, 250, kNoText, kFontDefault, _, H, kAlignLeft, kBorderSunken},
    {kWizardInstallDirLabel, kControlText, kWizardSettingsPanel, 10, 30, 375, 15, kTextPage03ProgDir, kFontNormalBold,
     _, _},
    {kWizardInstallDirField, kControlEdit, kWizardSettingsPanel, 10, 55, 300, 20, kNoText, kFontDefault, _, _},
    {kWizardInstallDirChange, kControlButton, kWizardSettingsPanel, 315, 55, 65, 20, kTextButtonChange, kFontDefault,
     _, _},
    {kWizardStartMenuLabel, kControlText, kWizardSettingsPanel, 10, 115, 375, 15, kTextPage03MenuDir, kFontNormalBold,
     _, _},
    {kWizardStartMenuField, kControlEdit, kWizardSettingsPanel, 10, 140, 175, 20, kNoText, kFontDefault, _, _},
    {kWizardStartMenuChange, kControlButton, kWizardSettingsPanel, 190, 140, 65, 20, kTextButtonChange, kFontDefault,
     _, _},
    {kWizardNoStartMenu, kControlCheckBox, kWizardSettingsPanel, 10, 165, 370, 15, kTextPage03NoStartMenu, kFontSmall,
     _, _},
    {kWizardDesktop, kControlCheckBox, kWizardSettingsPanel, 10, 225, 370, 15, kTextPage03DesktopIcon, kFontNormal,
     _, _},

    {kWizardInfoPanel, kControlPanel, 0, 0, 50, 480, 250, kNoText, kFontDefault, _, H, kAlignLeft, kBorderSunken},
    {kWizardInfoText, kControlRichText, kWizardInfoPanel, 10, 10, 455, 225, kNoText, kFontDefault, _, _},

    {kWizardInstallPanel, kControlPanel, 0, 130, 0, 350, 300, kNoText, kFontDefault, W, H},
    {kWizardInstallTitle, kControlText, kWizardInstallPanel, 10, 15, 330, 50, kTextPage05Titel1, kFontTitle, W, _,
     kAlignCentre},
    {kWizardInstallMessage, kControlText, kWizardInstallPanel, 10, 260, 330, 40, kTextPage05Msg, kFontNormal, W, _,
     kAlignCentre},
    {kWizardStatusLine, kControlText, kWizardInstallPanel, 10, 75, 330, 15, kTextPage05Install, kFontNormalBold, W,
     _},
    {kWizardStartProgram, kControlCheckBox, kWizardInstallPanel, 10, 245, 330, 15, kTextPage05RunProg, kFontNormal,
     _, H},
    {kWizardInstallLog, kControlList, kWizardInstallPanel, 10, 100, 330, 130, kNoText, kFontDefault, _, _},
    {kWizardProgress, kControlProgress, kWizardInstallPanel, 10, 245, 330, 20, kNoText, kFontDefault, _, H},

    {kWizardHomepage, kControlLink, 0, 10, 310, 240, 15, kNoText, kFontSmallBold, _, _},
    {kWizardBack, kControlButton, 0, 250, 307, 65, 22, kBackText, kFontDefault, _, H},
    {kWizardNext, kControlButton, 0, 320, 307, 65, 22, kNextText, kFontDefault, _, _},
    {kWizardInstall, kControlButton, 0, 325, 307, 80, 22, kTextButtonInstall, kFontButtonBold, _, H},
    {kWizardCancel, kControlButton, 0, 415, 307, 60, 22, kTextButtonCancel, kFontDefault, _, _},
    {kWizardFinish, kControlButton, 0, 415, 307, 60, 22, kTextButtonFinish, kFontDefault, _, H},
};

struct WizardFonts {
  bool loaded = false;
  int number[kFontCount] = {};
};

WizardFonts& Fonts() {
  static WizardFonts fonts;
  return fonts;
}

// The six fonts are made on the first build and kept for the process; a
// font the system refuses leaves its controls in the default GUI font.
void LoadFonts() {
  WizardFonts& fonts = Fonts();
  if (fonts.loaded) return;
  for (int f = kFontSmall; f < kFontCount; ++f) {
    fonts.number[f] = OsCreateFont(kFontRows[f].face, kFontRows[f].points, kFontRows[f].weight);
  }
  fonts.loaded = true;
}

std::string RowText(TextId text) {
  if (text == kNoText) return std::string();
  if (text == kWelcomeText) {
    return Text(kTextPage01Msg1) + "\n\n" + Text(kTextPage01Msg2) + "\n\n" + Text(kTextPage01Msg3);
  }
  if (text == kBackText) return "< " + Text(kTextButtonBack);
  if (text == kNextText) return Text(kTextButtonNext) + " >";
  return Text(text);
}

ControlSpec SpecOf(const WizardRow& row) {
  ControlSpec shape;
  shape.id = row.id;
  shape.kind = row.kind;
  shape.parent = row.parent;
  shape.left = row.left;
  shape.top = row.top;
  shape.width = row.width;
  shape.height = row.height;
  shape.text = RowText(row.text);
  shape.font = Fonts().number[row.font];
  shape.align = row.align;
  shape.border = row.border;
  shape.white = row.white;
  shape.groupStart = row.groupStart;
  shape.hidden = row.hidden;
  return shape;
}

}  // namespace

OsWindow BuildWizardWindow(const std::string& windowTitle) {
  LoadFonts();
  WindowSpec frame;
  frame.title = " " + windowTitle;
  frame.width = 480;
  frame.height = 335;
  frame.systemMenu = false;
  OsWindow window = OsOpenWindow(frame);
  if (window == 0) return 0;
  for (const WizardRow& row : kRows) {
    if (!OsAddControl(window, SpecOf(row))) {
      OsCloseWindow(window);
      return 0;
    }
  }
  OsSetControlColours(window, kWizardStartProgram, 0x000000, 0xFFFFFF);
  OsShowWindow(window);
  return window;
}

bool LoadTextFile(OsWindow window, int control, const std::string& path) {
  size_t dot = path.find_last_of(".\\/");
  std::string extension = dot != std::string::npos && path[dot] == '.' ? path.substr(dot + 1) : std::string();
  return OsLoadRichText(window, control, path, EqualNoCase(extension, "RTF"));
}

bool AddWizardSeparator(OsWindow window) {
  ControlSpec line;
  line.id = kWizardSeparator;
  line.kind = kControlSeparator;
  line.left = 0;
  line.top = 300;
  line.width = 483;
  line.height = 2;
  return OsAddControl(window, line);
}

void SetWizardHeader(OsWindow window, const std::string& title, const std::string& message) {
  OsSetText(window, kWizardHeaderTitle, title);
  OsSetText(window, kWizardHeaderMessage, message);
}

void ResetWizardWindow() { Fonts() = WizardFonts(); }
