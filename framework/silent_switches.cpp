#include "silent_switches.h"

namespace {

constexpr unsigned long kInvalidParameter = 87;  // ERROR_INVALID_PARAMETER

template <class Char>
Char AsciiLower(Char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<Char>(c - 'A' + 'a') : c;
}

// Characters compared as their values, so a wide character outside ASCII
// never equals a letter of the word.
template <class Char>
bool EqualsAsciiWord(const Char* text, const char* word) {
  for (; *text && *word; ++text, ++word)
    if (AsciiLower(*text) != static_cast<Char>(AsciiLower(*word))) return false;
  return *text == 0 && *word == 0;
}

}  // namespace

bool EqualsIgnoringCase(const char* text, const char* word) { return EqualsAsciiWord(text, word); }

bool EqualsIgnoringCase(const wchar_t* text, const char* word) { return EqualsAsciiWord(text, word); }

FrameworkSwitch FindFrameworkSwitch(const wchar_t* name) {
  struct Known {
    const char* name;
    FrameworkSwitch which;
  };
  static constexpr Known kKnown[] = {
      {"Embedding", FrameworkSwitch::Embedding},   {"Automation", FrameworkSwitch::Automation},
      {"Register", FrameworkSwitch::Register},     {"Regserver", FrameworkSwitch::Register},
      {"Unregister", FrameworkSwitch::Unregister}, {"Unregserver", FrameworkSwitch::Unregister},
  };
  for (const Known& known : kKnown)
    if (EqualsIgnoringCase(name, known.name)) return known.which;
  return FrameworkSwitch::None;
}

bool SilentSwitches::Take(const wchar_t* param, bool flag) {
  if (m_awaiting != nullptr) {
    if (!flag) {
      m_awaiting->given = true;
      // A new string moved in: assigning the pointer calls a member that
      // gcc 14's library keeps out of line, built with exceptions, and
      // brings the unwinder and its threads library with it (160 KiB).
      m_awaiting->text = std::wstring(param);
      m_awaiting = nullptr;
      return true;
    }
    // A switch where a value belongs: the value is missing.
    m_malformed = true;
    m_awaiting = nullptr;
  }
  if (!flag) {
    m_foreign = true;
  } else if (EqualsIgnoringCase(param, "Install")) {
    Choose(SilentCourse::Install);
  } else if (m_knowsDelete && EqualsIgnoringCase(param, "Delete")) {
    Choose(SilentCourse::Delete);
  } else if (m_knowsPort && EqualsIgnoringCase(param, "Port")) {
    Expect(&m_port);
  } else if (EqualsIgnoringCase(param, "Log")) {
    Expect(&m_log);
  } else if (EqualsIgnoringCase(param, "?") || EqualsIgnoringCase(param, "help")) {
    m_help = true;
  } else if (FindFrameworkSwitch(param) == FrameworkSwitch::None) {
    m_foreign = true;
  }
  return false;
}

void SilentSwitches::Finish() {
  if (m_awaiting != nullptr) m_malformed = true;
  m_awaiting = nullptr;
}

void SilentSwitches::Choose(SilentCourse course) {
  if (m_course != SilentCourse::None) m_malformed = true;
  m_course = course;
}

void SilentSwitches::Expect(Value* value) {
  if (value->given) m_malformed = true;
  m_awaiting = value;
}

unsigned long SilentSwitches::Error() const {
  if (m_malformed || m_foreign || m_course == SilentCourse::None) return kInvalidParameter;
  // An empty log name names no file: the value is missing.
  if (m_log.given && m_log.text.empty()) return kInvalidParameter;
  // A port means nothing to a removal.
  if (m_course == SilentCourse::Delete && m_port.given) return kInvalidParameter;
  return 0;
}
