// The installer's registration switch scan on any command line.
#include <cstdlib>
#include <cstring>
#include <string>

#include "switch_scan.h"

namespace {

bool EndsWithSwitch(const std::string& line, const char* word) {
  const size_t n = std::strlen(word);
  if (line.size() < n + 1) return false;
  const char sep = line[line.size() - n - 1];
  if (sep != '-' && sep != '/') return false;
  for (size_t i = 0; i < n; ++i) {
    char c = line[line.size() - n + i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != word[i]) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
  std::string line(reinterpret_cast<const char*>(data), size);
  line.resize(std::strlen(line.c_str()));  // the command line ends at its first zero
  const ServerSwitch found = FindServerSwitch(line.c_str());
  // A switch is recognised exactly when the line ends with it.
  const bool unreg = EndsWithSwitch(line, "unregserver");
  const bool reg = !unreg && EndsWithSwitch(line, "regserver");
  if ((found == ServerSwitch::Unregister) != unreg || (found == ServerSwitch::Register) != reg) std::abort();
  return 0;
}
