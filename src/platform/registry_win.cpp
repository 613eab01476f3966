// Win32 registry through the ANSI calls.
#include <windows.h>

#include "platform/registry.h"

namespace {
HKEY Root(uint32_t root) { return reinterpret_cast<HKEY>(static_cast<uintptr_t>(static_cast<LONG>(root))); }
}  // namespace

bool OsRegOpenKey(uint32_t root, const std::string& subkey, uint32_t access, OsKey* key) {
  HKEY h = nullptr;
  if (RegOpenKeyExA(Root(root), subkey.c_str(), 0, access, &h) != ERROR_SUCCESS) {
    *key = nullptr;
    return false;
  }
  *key = h;
  return true;
}

bool OsRegCreateKey(uint32_t root, const std::string& subkey, OsKey* key) {
  HKEY h = nullptr;
  LONG r = RegCreateKeyA(Root(root), subkey.c_str(), &h);
  if (r != ERROR_SUCCESS) {
    // The registry answers with its code instead of the thread's last
    // error; the caller's report reads it from there like any other.
    SetLastError(static_cast<DWORD>(r));
    *key = nullptr;
    return false;
  }
  *key = h;
  return true;
}

bool OsRegQueryValue(OsKey key, const std::string& name, uint32_t* type, void* data, uint32_t* size) {
  if (!key) return false;
  DWORD t = 0, n = *size;
  LONG r = RegQueryValueExA(static_cast<HKEY>(key), name.empty() ? nullptr : name.c_str(), nullptr, &t,
                            static_cast<BYTE*>(data), &n);
  *size = n;
  if (type) *type = t;
  return r == ERROR_SUCCESS;
}

bool OsRegSetValue(OsKey key, const std::string& name, uint32_t type, const void* data, uint32_t size) {
  if (!key) return false;
  LONG r = RegSetValueExA(static_cast<HKEY>(key), name.empty() ? nullptr : name.c_str(), 0, type,
                          static_cast<const BYTE*>(data), size);
  if (r != ERROR_SUCCESS) SetLastError(static_cast<DWORD>(r));
  return r == ERROR_SUCCESS;
}

void OsRegCloseKey(OsKey key) {
  if (key) RegCloseKey(static_cast<HKEY>(key));
}

bool OsRegDeleteValue(uint32_t root, const std::string& subkey, const std::string& name) {
  HKEY h = nullptr;
  if (RegOpenKeyExA(Root(root), subkey.c_str(), 0, KEY_SET_VALUE, &h) != ERROR_SUCCESS) return false;
  bool deleted = RegDeleteValueA(h, name.empty() ? nullptr : name.c_str()) == ERROR_SUCCESS;
  RegCloseKey(h);
  return deleted;
}

bool OsRegDeleteKey(uint32_t root, const std::string& subkey) {
  // RegDeleteKeyA on the NT family refuses a key with subkeys itself; the
  // count first keeps the 9x family, which would take the subtree, alike.
  uint32_t subkeys = 0, values = 0;
  if (subkey.empty() || !OsRegKeyCounts(root, subkey, &subkeys, &values) || subkeys != 0) return false;
  return RegDeleteKeyA(Root(root), subkey.c_str()) == ERROR_SUCCESS;
}

bool OsRegKeyCounts(uint32_t root, const std::string& subkey, uint32_t* subkeys, uint32_t* values) {
  HKEY h = nullptr;
  if (RegOpenKeyExA(Root(root), subkey.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
  DWORD keys = 0, vals = 0;
  bool ok = RegQueryInfoKeyA(h, nullptr, nullptr, nullptr, &keys, nullptr, nullptr, &vals, nullptr, nullptr,
                             nullptr, nullptr) == ERROR_SUCCESS;
  RegCloseKey(h);
  *subkeys = keys;
  *values = vals;
  return ok;
}
