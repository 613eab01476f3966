// A Windows test helper: reads a shell link through IShellLinkA and its
// IPersistFile and writes its fields, one "name=value" line each, into a
// file:
//   target=  arguments=  workdir=  icon=  iconindex=  show=  description=  hotkey=
// The target is the raw path as stored (environment strings unexpanded).
//   linkinfo.exe LINK_FILE OUTPUT_FILE
// Exit code 0 when the link was read and the file written, 1 when the link
// could not be loaded or the file not written, 2 on bad arguments.
#include <windows.h>
#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>

#include <cstdio>
#include <string>

namespace {

bool ReadLink(const char* linkFile, std::string* out) {
  IShellLinkA* link = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                              reinterpret_cast<void**>(&link)))) {
    return false;
  }
  bool loaded = false;
  IPersistFile* persist = nullptr;
  if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist)))) {
    wchar_t wide[MAX_PATH * 4];
    loaded = MultiByteToWideChar(CP_ACP, 0, linkFile, -1, wide, MAX_PATH * 4) > 0 &&
             SUCCEEDED(persist->Load(wide, STGM_READ));
    persist->Release();
  }
  if (loaded) {
    char text[INFOTIPSIZE + MAX_PATH];
    int number = 0;
    WORD hotkey = 0;
    text[0] = 0;
    link->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH);
    *out += std::string("target=") + text + "\r\n";
    text[0] = 0;
    link->GetArguments(text, sizeof text);
    *out += std::string("arguments=") + text + "\r\n";
    text[0] = 0;
    link->GetWorkingDirectory(text, MAX_PATH);
    *out += std::string("workdir=") + text + "\r\n";
    text[0] = 0;
    link->GetIconLocation(text, MAX_PATH, &number);
    *out += std::string("icon=") + text + "\r\n";
    *out += "iconindex=" + std::to_string(number) + "\r\n";
    number = 0;
    link->GetShowCmd(&number);
    *out += "show=" + std::to_string(number) + "\r\n";
    text[0] = 0;
    link->GetDescription(text, INFOTIPSIZE);
    *out += std::string("description=") + text + "\r\n";
    link->GetHotkey(&hotkey);
    *out += "hotkey=" + std::to_string(hotkey) + "\r\n";
  }
  link->Release();
  return loaded;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  CoInitialize(nullptr);
  std::string fields;
  bool read = ReadLink(argv[1], &fields);
  CoUninitialize();
  if (!read) return 1;
  FILE* out = fopen(argv[2], "wb");
  if (!out) return 1;
  bool written = fwrite(fields.data(), 1, fields.size(), out) == fields.size();
  return fclose(out) == 0 && written ? 0 : 1;
}
