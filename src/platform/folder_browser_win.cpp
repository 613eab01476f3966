// The shell's folder browser. SHBrowseForFolderA is looked up when first
// needed, so a system without it gives an empty answer instead of a program
// that does not start; the newer dialog style needs COM on this thread,
// which is set up once and kept for the rest of the run.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <vector>

#include "platform/modal_win.h"
#include "platform/folder_browser.h"

namespace {

const UINT kNewDialogStyle = 0x40;  // BIF_NEWDIALOGSTYLE

typedef LPITEMIDLIST(WINAPI* BrowseFn)(LPBROWSEINFOA);

struct BrowserSetup {
  bool comTried = false;
  bool lookupTried = false;
  BrowseFn browse = nullptr;
};

BrowserSetup& Setup() {
  static BrowserSetup setup;
  return setup;
}

BrowseFn BrowseFunction() {
  BrowserSetup& setup = Setup();
  if (!setup.lookupTried) {
    setup.lookupTried = true;
    // SHELL32 is a known DLL: this always names the system's copy.
    HMODULE shell = LoadLibraryA("SHELL32.DLL");
    if (shell) {
      setup.browse = reinterpret_cast<BrowseFn>(reinterpret_cast<void*>(GetProcAddress(shell, "SHBrowseForFolderA")));
    }
  }
  return setup.browse;
}

// Opens the browser at the start folder once it has finished setting itself up.
int CALLBACK SelectStartFolder(HWND browser, UINT message, LPARAM, LPARAM startFolder) {
  if (message == BFFM_INITIALIZED) SendMessageA(browser, BFFM_SETSELECTIONA, TRUE, startFolder);
  return 0;
}

}  // namespace

std::string OsBrowseForFolder(uintptr_t, const std::string& prompt, const std::string& startFolder) {
  BrowserSetup& setup = Setup();
  if (!setup.comTried) {
    setup.comTried = true;
    CoInitialize(nullptr);
  }
  BrowseFn browse = BrowseFunction();
  if (!browse) return std::string();
  char displayName[MAX_PATH];
  BROWSEINFOA info = {};
  info.pszDisplayName = displayName;
  info.lpszTitle = prompt.c_str();
  info.ulFlags = kNewDialogStyle;
  info.lpfn = SelectStartFolder;
  info.lParam = reinterpret_cast<LPARAM>(startFolder.c_str());
  std::vector<HWND> disabled;
  info.hwndOwner = DisableThreadWindows(&disabled);
  LPITEMIDLIST chosen = browse(&info);
  EnableWindowsAgain(disabled);
  if (!chosen) return std::string();
  char path[MAX_PATH];
  BOOL isPath = SHGetPathFromIDListA(chosen, path);
  CoTaskMemFree(chosen);
  return isPath ? std::string(path) : std::string();
}
