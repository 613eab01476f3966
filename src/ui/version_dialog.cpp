#include "ui/version_dialog.h"

#include "platform/version.h"
#include "runtime/filesys.h"
#include "runtime/text.h"
#include "ui/dialogs.h"
#include "ui/language.h"

namespace {

// Controls of the dialog. Each frame has its three label and value rows;
// the ids of a frame's rows follow one another.
enum : int {
  kFrameOld = 1,
  kLabelsOld = 2,   // 2, 3, 4
  kValuesOld = 5,   // 5, 6, 7
  kQuestion = 8,
  kFrameNew = 9,
  kLabelsNew = 10,  // 10, 11, 12
  kValuesNew = 13,  // 13, 14, 15
  kYes = kVersionDialogYes,
  kNo = kVersionDialogNo,
};

const int kWidth = 340;
const int kHeight = 236;

// One frame: its caption at top, then Version, Lang and Desc rows 20 pixels
// apart starting 20 below it.
bool AddFrame(OsWindow window, int frame, int labels, int values, int top, const std::string& caption,
              const VersionRows& rows) {
  if (!OsAddControl(window, PlaceControl(frame, kControlFrame, 10, top, 320, 85, caption))) return false;
  const TextId labelTexts[3] = {kTextFileVersionVersion, kTextFileVersionLang, kTextFileVersionDesc};
  const std::string* valueTexts[3] = {&rows.version, &rows.language, &rows.description};
  for (int row = 0; row < 3; ++row) {
    const int y = top + 20 + 20 * row;
    ControlSpec label = PlaceControl(labels + row, kControlText, 20, y, 80, 15, Text(labelTexts[row]));
    label.align = kAlignRight;
    if (!OsAddControl(window, label) ||
        !OsAddControl(window, PlaceControl(values + row, kControlText, 105, y, 215, 15, *valueTexts[row]))) {
      return false;
    }
  }
  return true;
}

}  // namespace

std::string GetFileVersionText(const std::string& path) {
  // Nothing there, nothing in it, or a folder: no library is loaded.
  if (FileSize(path) <= 0) return "||";
  OsFileVersion version;
  OsGetFileVersion(path, &version);
  return version.fileVersion + "|" + version.description + "|" + version.language;
}

VersionRows VersionDialogRows(const std::string& versionText, const std::string& path) {
  const std::string& missing = Text(kTextFileVersionNotAvailable);
  VersionRows rows;
  rows.version = Field(versionText, '|', 1);
  if (rows.version.empty()) {
    const int64_t created = GetFileDate(path, kDateCreated);
    rows.version = created != 0 ? FormatDate("%yyyy-%mm-%dd  %hh:%ii", created) : missing;
  }
  rows.language = Field(versionText, '|', 3);
  if (rows.language.empty()) rows.language = missing;
  rows.description = Field(versionText, '|', 2);
  if (rows.description.empty()) rows.description = missing;
  return rows;
}

bool ShowVersionDialog(OsWindow owner, const std::string& source, const std::string& target,
                       ReplaceFileFn replace) {
  // Quietly the installed file stays: replacing a file outside the
  // installation is the user's decision, and nobody is there to take it.
  if (IsQuietRun()) {
    AuditQuietAnswer(" " + Text(kTextFileVersionWindow), Text(kTextFileVersionMsg) + "  " + target, "No");
    return false;
  }
  const VersionRows installed = VersionDialogRows(GetFileVersionText(target), target);
  const VersionRows offered = VersionDialogRows(GetFileVersionText(source), source);

  WindowSpec frame;
  frame.title = " " + Text(kTextFileVersionWindow) + "  '" + FileNamePart(source) + "'";
  frame.width = kWidth;
  frame.height = kHeight;
  frame.systemMenu = true;
  frame.owner = owner;
  OsWindow window = OsOpenWindow(frame);
  if (window == 0) return false;
  ControlSpec question = PlaceControl(kQuestion, kControlText, 10, 100, 320, 15, Text(kTextFileVersionMsg));
  // A font per dialog: a setup asks a few times at most, far below the
  // toolkit's 32, and past them the question keeps the default font.
  question.font = OsCreateFont("Arial", 8, 700);
  if (!AddFrame(window, kFrameOld, kLabelsOld, kValuesOld, 5, Text(kTextFileVersionFrameOld), installed) ||
      !OsAddControl(window, question) ||
      !AddFrame(window, kFrameNew, kLabelsNew, kValuesNew, 120, Text(kTextFileVersionFrameNew), offered) ||
      !OsAddControl(window, PlaceControl(kYes, kControlButton, 100, 210, 60, 20, Text(kTextButtonYes))) ||
      !OsAddControl(window, PlaceControl(kNo, kControlButton, 180, 210, 60, 20, Text(kTextButtonNo)))) {
    OsCloseWindow(window);
    return false;
  }
  OsShowWindow(window);
  if (owner != 0) OsEnableWindow(owner, false);

  // Only the two buttons decide: the close box, keys and clicks elsewhere
  // leave the question open.
  bool answer = false;
  OsEvent event;
  while (OsWaitEvent(&event)) {
    if (event.window != window || event.kind != kEventControl || event.detail != kDetailClicked) continue;
    if (event.control == kYes) {
      if (replace) replace(source, target);
      answer = true;
      break;
    }
    if (event.control == kNo) break;
  }
  if (owner != 0) OsEnableWindow(owner, true);
  OsCloseWindow(window);
  return answer;
}
