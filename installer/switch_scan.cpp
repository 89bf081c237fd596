#include "switch_scan.h"

#include <string>
#include <vector>

#include "command_line.h"
#include "silent_switches.h"

namespace {

// The switch the text is, or None.
ServerSwitch Named(const wchar_t* text) {
  if (EqualsIgnoringCase(text, "UnregServer")) return ServerSwitch::Unregister;
  if (EqualsIgnoringCase(text, "RegServer")) return ServerSwitch::Register;
  return ServerSwitch::None;
}

// The switch that runs to the end of the line, wherever its separator stands.
ServerSwitch FinalSwitch(const wchar_t* line) {
  for (const wchar_t* p = line; *p; ++p) {
    if (*p != L'-' && *p != L'/') continue;
    const ServerSwitch found = Named(p + 1);
    if (found != ServerSwitch::None) return found;
  }
  return ServerSwitch::None;
}

}  // namespace

ServerSwitch FindServerSwitch(const wchar_t* commandLine) {
  if (commandLine == nullptr) return ServerSwitch::None;
  ServerSwitch found = FinalSwitch(commandLine);
  // The arguments as the courses read them, so that a value stays a value.
  const std::vector<std::wstring> args = SplitCommandLine(commandLine);
  SilentSwitches courses(true, true);
  bool asArgument = false, lastIsValue = false;
  for (size_t i = 1; i < args.size(); ++i) {
    const wchar_t* arg = args[i].c_str();
    const bool flag = arg[0] == L'-' || arg[0] == L'/';
    lastIsValue = courses.Take(flag ? arg + 1 : arg, flag);
    asArgument = asArgument || (flag && Named(arg + 1) != ServerSwitch::None);
  }
  if (lastIsValue) found = ServerSwitch::None;
  if ((found != ServerSwitch::None || asArgument) && courses.Requested()) return ServerSwitch::WithCourse;
  return found;
}
