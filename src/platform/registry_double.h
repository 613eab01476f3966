// Inspection of the in-memory registry double (tests and the native test
// program).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct RegistryDoubleValue {
  uint32_t type = 0;
  std::vector<uint8_t> data;
};

void ResetRegistryDouble();
bool RegistryDoubleKeyExists(uint32_t root, const std::string& subkey);
// False when the value does not exist.
bool RegistryDoubleGet(uint32_t root, const std::string& subkey, const std::string& name,
                       RegistryDoubleValue* value);
// Stores a string value with its terminating zero, as the installer writes them.
void RegistryDoubleSetString(uint32_t root, const std::string& subkey, const std::string& name,
                             const std::string& value);
void RegistryDoubleSet(uint32_t root, const std::string& subkey, const std::string& name,
                       uint32_t type, const std::vector<uint8_t>& data);

// Every value the code under test set, in the order it set them, with the
// root and subkey as it named them. What the tests store through the
// setters above is not listed.
struct RegistryDoubleWrite {
  uint32_t root = 0;
  std::string subkey;
  std::string name;
  RegistryDoubleValue value;
};
const std::vector<RegistryDoubleWrite>& RegistryDoubleWrites();

// Answers of a root for a user without the rights to write there: no key
// can be created (opening for reading still works), or keys are created but
// take no value.
enum RegistryDoubleRefusal { kRegistryAllows, kRegistryRefusesKeys, kRegistryRefusesValues };
void RegistryDoubleRefuse(uint32_t root, RegistryDoubleRefusal refusal);
