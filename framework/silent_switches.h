// The switches of the unattended courses, taken one command-line argument at
// a time as the framework's parser hands them over. Platform-free.
#pragma once

#include <string>

enum class SilentCourse { None, Install, Delete };

// Whether text is word, ASCII letters compared in any case.
bool EqualsIgnoringCase(const char* text, const char* word);
bool EqualsIgnoringCase(const wchar_t* text, const char* word);

// The framework's own switches, which keep their meaning and precedence.
enum class FrameworkSwitch { None, Embedding, Automation, Register, Unregister };
// Which one a switch (without its '-' or '/') is, in any letter case.
FrameworkSwitch FindFrameworkSwitch(const wchar_t* name);

class SilentSwitches {
 public:
  // Which of the switches this program has besides /Install and /Log.
  SilentSwitches(bool knowsDelete, bool knowsPort) : m_knowsDelete(knowsDelete), m_knowsPort(knowsPort) {}

  // One argument; without its '-' or '/' when flag. Values are kept whole,
  // every character as given. True when it was taken as a switch's value.
  bool Take(const wchar_t* param, bool flag);
  // After the last argument: a switch still waiting for its value lacks it.
  void Finish();

  // Some switch of the unattended courses was given: no window is to open.
  bool Requested() const { return m_course != SilentCourse::None || m_port.given || m_log.given || m_malformed; }
  // 0 when the course can run as given, else 87 (a malformed command line).
  unsigned long Error() const;

  // /? or /help anywhere on the line: the usage is shown and nothing else runs.
  bool Help() const { return m_help; }

  SilentCourse Course() const { return m_course; }
  // The values, or null when not given.
  const wchar_t* Port() const { return m_port.given ? m_port.text.c_str() : nullptr; }
  const wchar_t* Log() const { return m_log.given ? m_log.text.c_str() : nullptr; }

 private:
  struct Value {
    bool given = false;
    std::wstring text;
  };
  void Choose(SilentCourse course);
  void Expect(Value* value);

  bool m_knowsDelete;
  bool m_knowsPort;
  SilentCourse m_course = SilentCourse::None;
  Value m_port;
  Value m_log;
  // Two courses, a switch repeated or without its value.
  bool m_malformed = false;
  // An argument that neither the courses nor the framework know.
  bool m_foreign = false;
  bool m_help = false;
  Value* m_awaiting = nullptr;
};
