// The installer's registration switch scan, and the splitting of the wide
// command line into the unattended courses' switches, on any command line.
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "command_line.h"
#include "silent_switches.h"
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
  // Each byte as a wide character, as a code page of single bytes would give it.
  const std::wstring wide(line.begin(), line.end());
  const ServerSwitch found = FindServerSwitch(wide.c_str());
  // A switch is recognised only where the line ends with it (a value it
  // ends, or a course beside it, keep it from counting).
  const bool unreg = EndsWithSwitch(line, "unregserver");
  const bool reg = !unreg && EndsWithSwitch(line, "regserver");
  if ((found == ServerSwitch::Unregister && !unreg) || (found == ServerSwitch::Register && !reg)) std::abort();

  // The same line split and scanned as the framework does: no argument holds
  // more characters than the line.
  const std::vector<std::wstring> args = SplitCommandLine(wide.c_str());
  SilentSwitches switches(true, true);
  for (size_t i = 1; i < args.size(); ++i) {
    if (args[i].size() > wide.size()) std::abort();
    const wchar_t* arg = args[i].c_str();
    const bool flag = arg[0] == L'-' || arg[0] == L'/';
    switches.Take(flag ? arg + 1 : arg, flag);
  }
  switches.Finish();
  if (switches.Requested() && switches.Error() != 0 && switches.Error() != 87) std::abort();
  return 0;
}
