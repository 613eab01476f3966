#include "platform/process_list.h"
#include "platform/process_list_double.h"

namespace {

struct ProcessListDouble {
  std::vector<std::string> names;
  bool fails = false;
};

ProcessListDouble& Double() {
  static ProcessListDouble d;
  return d;
}

}  // namespace

void ResetProcessListDouble() { Double() = ProcessListDouble(); }
void ProcessListDoubleSet(const std::vector<std::string>& names) { Double().names = names; }
void ProcessListDoubleSetFails(bool fails) { Double().fails = fails; }

bool OsListProcessNames(std::vector<std::string>* names) {
  if (Double().fails) return false;
  names->insert(names->end(), Double().names.begin(), Double().names.end());
  return true;
}
