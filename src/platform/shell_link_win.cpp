// Shell links through the shell-link object (IShellLinkA) and its
// IPersistFile, the whole COM work in one call.
#include <windows.h>
#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>

#include "platform/shell_link.h"

bool OsCreateShellLink(const ShellLinkFields& link) {
  bool saved = false;
  // CoInitialize answers S_FALSE when COM is already up on this thread;
  // either success is balanced by one CoUninitialize, a failure by none.
  HRESULT initialised = CoInitialize(nullptr);
  IShellLinkA* shellLink = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                 reinterpret_cast<void**>(&shellLink)))) {
    // A field the object refuses leaves its default; the link is still saved.
    shellLink->SetPath(link.target.c_str());
    shellLink->SetArguments(link.arguments.c_str());
    shellLink->SetWorkingDirectory(link.workingFolder.c_str());
    shellLink->SetDescription(link.description.c_str());
    shellLink->SetShowCmd(link.showCommand);
    shellLink->SetHotkey(static_cast<WORD>(link.hotkey));
    shellLink->SetIconLocation(link.iconFile.c_str(), link.iconIndex);
    IPersistFile* persist = nullptr;
    if (SUCCEEDED(shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist)))) {
      // The link's path in UTF-16 for Save: the whole text with its zero,
      // at most 1000 characters; a longer path is not saved at all.
      wchar_t wide[1000];
      if (MultiByteToWideChar(CP_ACP, 0, link.linkFile.c_str(), -1, wide, 1000) > 0) {
        saved = SUCCEEDED(persist->Save(wide, TRUE));
      }
      persist->Release();
    }
    shellLink->Release();
  }
  if (SUCCEEDED(initialised)) CoUninitialize();
  return saved;
}
