#include "switch_scan.h"

#include "silent_switches.h"

ServerSwitch FindServerSwitch(const char* commandLine) {
  if (commandLine == nullptr) return ServerSwitch::None;
  for (const char* p = commandLine; *p; ++p) {
    if (*p != '-' && *p != '/') continue;
    const char* candidate = p + 1;
    if (EqualsIgnoringCase(candidate, "UnregServer")) return ServerSwitch::Unregister;
    if (EqualsIgnoringCase(candidate, "RegServer")) return ServerSwitch::Register;
  }
  return ServerSwitch::None;
}
