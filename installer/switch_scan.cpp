#include "switch_scan.h"

namespace {

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsIgnoringCase(const char* text, const char* word) {
  for (; *text && *word; ++text, ++word)
    if (AsciiLower(*text) != AsciiLower(*word)) return false;
  return *text == *word;
}

}  // namespace

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
