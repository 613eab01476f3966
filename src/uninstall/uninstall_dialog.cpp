#include "uninstall/uninstall_dialog.h"

#include <string>

#include "platform/window.h"

namespace {

bool Build(OsWindow window, const UninstallData& data) {
  const std::string* t = data.texts;
  std::string program = data.progName;
  if (!data.version.empty()) program += "   " + t[kUnVersion] + " " + data.version;
  ControlSpec name = PlaceControl(kUnDialogProgram, kControlText, 20, 40, 340, 18, program);
  name.font = OsCreateFont("MS Shell Dlg", 10, 700);
  ControlSpec delAll = PlaceControl(kUnDialogDelAll, kControlCheckBox, 20, 116, 340, 20, t[kUnDelAll]);
  delAll.hidden = data.noDelAll || !data.madeProgDir;
  ControlSpec status = PlaceControl(kUnDialogStatus, kControlText, 20, 146, 340, 16, t[kUnStatus]);
  status.hidden = true;
  return OsAddControl(window, PlaceControl(kUnDialogInfo, kControlText, 20, 16, 340, 16, t[kUnUninstInfo])) &&
         OsAddControl(window, name) &&
         OsAddControl(window, PlaceControl(kUnDialogMsg, kControlText, 20, 72, 340, 36, t[kUnMsg])) &&
         OsAddControl(window, delAll) && OsAddControl(window, status) &&
         OsAddControl(window, PlaceControl(kUnDialogOk, kControlButton, 190, 174, 80, 24, t[kUnOk])) &&
         OsAddControl(window, PlaceControl(kUnDialogCancel, kControlButton, 280, 174, 80, 24, t[kUnCancel]));
}

bool Clicked(const OsEvent& event, int id) { return event.kind == kEventControl && event.control == id && event.detail == kDetailClicked; }

}  // namespace

bool AskAboutFileList(const UninstallData& data, const std::string& question, const std::vector<std::string>& files) {
  WindowSpec frame;
  frame.title = " " + data.texts[kUnTitel];
  frame.width = 520;
  frame.height = 340;
  frame.systemMenu = true;
  OsWindow window = OsOpenWindow(frame);
  if (window == 0) return false;
  const std::string* t = data.texts;
  bool built = OsAddControl(window, PlaceControl(kUnListText, kControlText, 16, 12, 480, 36, question)) &&
               OsAddControl(window, PlaceControl(kUnListFiles, kControlList, 16, 52, 480, 200, "")) &&
               OsAddControl(window, PlaceControl(kUnListYes, kControlButton, 326, 266, 80, 24, t[kUnOk])) &&
               OsAddControl(window, PlaceControl(kUnListNo, kControlButton, 416, 266, 80, 24, t[kUnCancel]));
  for (size_t i = 0; built && i < files.size(); ++i) built = OsAddLine(window, kUnListFiles, files[i]) >= 0;
  if (!built) {
    OsCloseWindow(window);
    return false;
  }
  // No is the default: a stray Enter keeps the files.
  OsSetDefaultButton(window, kUnListNo);
  OsSetCancelControl(window, kUnListNo);
  OsShowWindow(window);
  bool yes = false;
  OsEvent event;
  while (OsWaitEvent(&event)) {
    if (event.window != window) continue;
    if (event.kind == kEventClose || Clicked(event, kUnListNo)) break;
    if (Clicked(event, kUnListYes)) {
      yes = true;
      break;
    }
  }
  OsCloseWindow(window);
  return yes;
}

bool RunUninstallDialog(const UninstallData& data, const std::function<void(bool deleteAll)>& remove) {
  WindowSpec frame;
  frame.title = " " + data.texts[kUnTitel];
  frame.width = 380;
  frame.height = 212;
  frame.systemMenu = true;
  OsWindow window = OsOpenWindow(frame);
  if (window == 0) return false;
  if (!Build(window, data)) {
    OsCloseWindow(window);
    return false;
  }
  OsSetDefaultButton(window, kUnDialogOk);
  OsSetCancelControl(window, kUnDialogCancel);
  OsShowWindow(window);

  bool removed = false;
  OsEvent event;
  while (OsWaitEvent(&event)) {
    if (event.window != window) continue;
    if (event.kind == kEventClose || Clicked(event, kUnDialogCancel)) break;
    if (!Clicked(event, kUnDialogOk)) continue;
    if (removed) break;  // Ready
    bool deleteAll = !data.noDelAll && data.madeProgDir && OsGetState(window, kUnDialogDelAll) == 1;
    for (int id : {kUnDialogDelAll, kUnDialogOk, kUnDialogCancel}) OsEnableControl(window, id, false);
    OsDrainEvents();
    remove(deleteAll);
    removed = true;
    OsDrainEvents();
    OsShowControl(window, kUnDialogCancel, false);
    OsSetCancelControl(window, 0);
    OsSetText(window, kUnDialogOk, data.texts[kUnReady]);
    OsShowControl(window, kUnDialogStatus, true);
    OsEnableControl(window, kUnDialogOk, true);
    OsSetFocus(window, kUnDialogOk);
  }
  OsCloseWindow(window);
  return removed;
}
