// Version resources through "Version.dll", loaded from the system folder by
// name for each read and released again, so that a setup that copies no
// file with a version dialog never maps the library.
#include <windows.h>

#include <vector>

#include "platform/version.h"

namespace {

typedef DWORD(WINAPI* SizeFn)(LPCSTR, LPDWORD);
typedef BOOL(WINAPI* InfoFn)(LPCSTR, DWORD, DWORD, LPVOID);
typedef BOOL(WINAPI* QueryFn)(LPCVOID, LPCSTR, LPVOID*, PUINT);
typedef DWORD(WINAPI* LanguageNameFn)(DWORD, LPSTR, DWORD);

struct VersionLibrary {
  HMODULE module = nullptr;
  SizeFn size = nullptr;
  InfoFn info = nullptr;
  QueryFn query = nullptr;
  LanguageNameFn languageName = nullptr;
};

template <class F>
F Bind(HMODULE module, const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// Only the system folder's copy: a Version.dll planted beside the installer
// is never the one loaded.
bool LoadVersionLibrary(VersionLibrary* lib) {
  char folder[MAX_PATH];
  UINT length = GetSystemDirectoryA(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return false;
  std::string path(folder, length);
  if (path[path.size() - 1] != '\\') path += '\\';
  lib->module = LoadLibraryA((path + "Version.dll").c_str());
  if (!lib->module) return false;
  lib->size = Bind<SizeFn>(lib->module, "GetFileVersionInfoSizeA");
  lib->info = Bind<InfoFn>(lib->module, "GetFileVersionInfoA");
  lib->query = Bind<QueryFn>(lib->module, "VerQueryValueA");
  lib->languageName = Bind<LanguageNameFn>(lib->module, "VerLanguageNameA");
  if (lib->size && lib->info && lib->query && lib->languageName) return true;
  FreeLibrary(lib->module);
  return false;
}

// A string value of the block, or empty when it is not there.
std::string QueryString(const VersionLibrary& lib, const std::vector<char>& block, const std::string& name) {
  void* value = nullptr;
  UINT length = 0;
  if (!lib.query(block.data(), name.c_str(), &value, &length) || value == nullptr || length == 0) {
    return std::string();
  }
  const char* text = static_cast<const char*>(value);
  size_t n = 0;
  while (n < length && text[n] != '\0') ++n;
  return std::string(text, n);
}

}  // namespace

bool OsGetFileVersion(const std::string& path, OsFileVersion* out) {
  *out = OsFileVersion();
  VersionLibrary lib;
  if (!LoadVersionLibrary(&lib)) return false;
  DWORD ignored = 0;
  DWORD size = lib.size(path.c_str(), &ignored);
  if (size == 0) {
    FreeLibrary(lib.module);
    return false;
  }
  std::vector<char> block(size);
  if (!lib.info(path.c_str(), 0, size, block.data())) {
    FreeLibrary(lib.module);
    return false;
  }
  // The first translation names the string table and the language; every
  // separator is doubled, which the library reads as single ones.
  std::string key;
  void* translation = nullptr;
  UINT length = 0;
  if (lib.query(block.data(), "\\\\VarFileInfo\\\\Translation", &translation, &length) && translation &&
      length >= 4) {
    const WORD* pair = static_cast<const WORD*>(translation);
    key = OsVersionTranslationKey(pair[0], pair[1]);
    char name[128] = {};
    lib.languageName(pair[0], name, sizeof name);
    name[sizeof name - 1] = '\0';
    out->language = name;
  }
  const std::string table = "\\\\StringFileInfo\\\\" + key + "\\\\";
  out->fileVersion = QueryString(lib, block, table + "FileVersion");
  out->description = QueryString(lib, block, table + "FileDescription");
  FreeLibrary(lib.module);
  return true;
}
