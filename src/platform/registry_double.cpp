// The in-memory registry double. Key paths compare without
// regard to ASCII case, as the real registry does; value names too.
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "platform/registry_double.h"

namespace {

std::string Fold(const std::string& s) {
  std::string out = s;
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

std::string KeyId(uint32_t root, const std::string& subkey) {
  std::string path = subkey;
  while (!path.empty() && path.back() == '\\') path.pop_back();
  return std::to_string(root) + "\\" + Fold(path);
}

struct Key {
  std::map<std::string, RegistryDoubleValue> values;  // by folded name
};

struct RegistryDouble {
  std::map<std::string, Key> keys;
  std::vector<RegistryDoubleWrite> writes;
  std::map<uint32_t, RegistryDoubleRefusal> refusals;
};

RegistryDouble& Double() {
  static RegistryDouble registry;
  return registry;
}

std::map<std::string, Key>& Keys() { return Double().keys; }

RegistryDoubleRefusal RefusalOf(uint32_t root) {
  auto it = Double().refusals.find(root);
  return it == Double().refusals.end() ? kRegistryAllows : it->second;
}

struct OpenKey {
  std::string id;
  uint32_t access;
  uint32_t root;
  std::string subkey;  // as the caller named it
};

// Makes the key and every parent, as RegCreateKey does.
void MakeKey(uint32_t root, const std::string& subkey) {
  std::string path;
  for (size_t i = 0; i <= subkey.size(); ++i) {
    if (i == subkey.size() || subkey[i] == '\\') {
      if (!path.empty()) Keys()[KeyId(root, path)];
    }
    if (i < subkey.size()) path += subkey[i];
  }
  Keys()[KeyId(root, subkey)];
}

}  // namespace

void ResetRegistryDouble() { Double() = RegistryDouble(); }

const std::vector<RegistryDoubleWrite>& RegistryDoubleWrites() { return Double().writes; }

void RegistryDoubleRefuse(uint32_t root, RegistryDoubleRefusal refusal) { Double().refusals[root] = refusal; }

bool OsRegOpenKey(uint32_t root, const std::string& subkey, uint32_t access, OsKey* key) {
  *key = nullptr;
  std::string id = KeyId(root, subkey);
  if (!subkey.empty() && Keys().find(id) == Keys().end()) return false;
  *key = new OpenKey{id, access, root, subkey};
  return true;
}

bool OsRegCreateKey(uint32_t root, const std::string& subkey, OsKey* key) {
  *key = nullptr;
  if (RefusalOf(root) == kRegistryRefusesKeys) return false;
  MakeKey(root, subkey);
  *key = new OpenKey{KeyId(root, subkey), kKeyAllAccess, root, subkey};
  return true;
}

bool OsRegQueryValue(OsKey key, const std::string& name, uint32_t* type, void* data, uint32_t* size) {
  OpenKey* k = static_cast<OpenKey*>(key);
  if (!k) return false;
  auto kit = Keys().find(k->id);
  if (kit == Keys().end()) return false;
  auto vit = kit->second.values.find(Fold(name));
  if (vit == kit->second.values.end()) return false;
  const RegistryDoubleValue& v = vit->second;
  if (type) *type = v.type;
  if (v.data.size() > *size) {
    *size = static_cast<uint32_t>(v.data.size());
    return false;
  }
  if (!v.data.empty()) std::memcpy(data, v.data.data(), v.data.size());
  *size = static_cast<uint32_t>(v.data.size());
  return true;
}

bool OsRegSetValue(OsKey key, const std::string& name, uint32_t type, const void* data,
                   uint32_t size) {
  OpenKey* k = static_cast<OpenKey*>(key);
  if (!k || RefusalOf(k->root) != kRegistryAllows) return false;
  RegistryDoubleValue v;
  v.type = type;
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  v.data.assign(bytes, bytes + size);
  Keys()[k->id].values[Fold(name)] = v;
  Double().writes.push_back(RegistryDoubleWrite{k->root, k->subkey, name, v});
  return true;
}

void OsRegCloseKey(OsKey key) { delete static_cast<OpenKey*>(key); }

bool RegistryDoubleKeyExists(uint32_t root, const std::string& subkey) {
  return Keys().count(KeyId(root, subkey)) != 0;
}

bool RegistryDoubleGet(uint32_t root, const std::string& subkey, const std::string& name,
                       RegistryDoubleValue* value) {
  auto kit = Keys().find(KeyId(root, subkey));
  if (kit == Keys().end()) return false;
  auto vit = kit->second.values.find(Fold(name));
  if (vit == kit->second.values.end()) return false;
  *value = vit->second;
  return true;
}

void RegistryDoubleSet(uint32_t root, const std::string& subkey, const std::string& name,
                       uint32_t type, const std::vector<uint8_t>& data) {
  MakeKey(root, subkey);
  Keys()[KeyId(root, subkey)].values[Fold(name)] = RegistryDoubleValue{type, data};
}

void RegistryDoubleSetString(uint32_t root, const std::string& subkey, const std::string& name,
                             const std::string& value) {
  std::vector<uint8_t> data(value.begin(), value.end());
  data.push_back(0);
  RegistryDoubleSet(root, subkey, name, kRegSz, data);
}

bool OsRegDeleteValue(uint32_t root, const std::string& subkey, const std::string& name) {
  auto kit = Keys().find(KeyId(root, subkey));
  if (kit == Keys().end() || RefusalOf(root) != kRegistryAllows) return false;
  return kit->second.values.erase(Fold(name)) != 0;
}

bool OsRegKeyCounts(uint32_t root, const std::string& subkey, uint32_t* subkeys, uint32_t* values) {
  std::string id = KeyId(root, subkey);
  auto kit = Keys().find(id);
  if (kit == Keys().end()) return false;
  *values = static_cast<uint32_t>(kit->second.values.size());
  *subkeys = 0;
  const std::string prefix = id + "\\";
  for (auto it = Keys().lower_bound(prefix); it != Keys().end() && it->first.compare(0, prefix.size(), prefix) == 0;
       ++it) {
    if (it->first.find('\\', prefix.size()) == std::string::npos) ++*subkeys;
  }
  return true;
}

bool OsRegDeleteKey(uint32_t root, const std::string& subkey) {
  uint32_t subkeys = 0, values = 0;
  if (subkey.empty() || RefusalOf(root) != kRegistryAllows || !OsRegKeyCounts(root, subkey, &subkeys, &values) ||
      subkeys != 0) {
    return false;
  }
  Keys().erase(KeyId(root, subkey));
  return true;
}
