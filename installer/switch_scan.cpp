#include "switch_scan.h"

#include "silent_switches.h"

ServerSwitch FindServerSwitch(const wchar_t* commandLine) {
  if (commandLine == nullptr) return ServerSwitch::None;
  for (const wchar_t* p = commandLine; *p; ++p) {
    if (*p != L'-' && *p != L'/') continue;
    const wchar_t* candidate = p + 1;
    if (EqualsIgnoringCase(candidate, "UnregServer")) return ServerSwitch::Unregister;
    if (EqualsIgnoringCase(candidate, "RegServer")) return ServerSwitch::Register;
  }
  return ServerSwitch::None;
}
