// Thin registry layer. POSIX has no registry: natively only the test double
// answers, an in-memory registry that tests fill and inspect
// (registry_double.h).
#pragma once
#include <cstdint>
#include <string>

typedef void* OsKey;  // nullptr: no key

enum : uint32_t {
  kHkeyClassesRoot = 0x80000000u,
  kHkeyCurrentUser = 0x80000001u,
  kHkeyLocalMachine = 0x80000002u,
  kHkeyUsers = 0x80000003u,
};
enum : uint32_t { kRegSz = 1, kRegExpandSz = 2, kRegBinary = 3, kRegDword = 4 };
enum : uint32_t { kKeyRead = 0x20019u, kKeyAllAccess = 0xF003Fu };

bool OsRegOpenKey(uint32_t root, const std::string& subkey, uint32_t access, OsKey* key);
// Creates the key with all its parents (or opens it).
bool OsRegCreateKey(uint32_t root, const std::string& subkey, OsKey* key);
// Queries a value into a caller buffer; *size in: buffer size, out: data size.
// Fails (false) when the value is missing or longer than the buffer.
bool OsRegQueryValue(OsKey key, const std::string& name, uint32_t* type, void* data,
                     uint32_t* size);
bool OsRegSetValue(OsKey key, const std::string& name, uint32_t type, const void* data,
                   uint32_t size);
void OsRegCloseKey(OsKey key);

// Removal, for the uninstaller. A value by name (empty: the default value);
// a key with its values, refused while it has subkeys; and the counts of a
// key's subkeys and values. Each opens and closes the key itself; false when
// the key or value is not there or the system refuses.
bool OsRegDeleteValue(uint32_t root, const std::string& subkey, const std::string& name);
bool OsRegDeleteKey(uint32_t root, const std::string& subkey);
bool OsRegKeyCounts(uint32_t root, const std::string& subkey, uint32_t* subkeys, uint32_t* values);
