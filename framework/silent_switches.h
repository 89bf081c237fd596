// The switches of the unattended courses, taken one command-line argument at
// a time as the framework's parser hands them over. Platform-free.
#pragma once

enum class SilentCourse { None, Install, Delete };

// Whether text is word, ASCII letters compared in any case.
bool EqualsIgnoringCase(const char* text, const char* word);

// The framework's own switches, which keep their meaning and precedence.
enum class FrameworkSwitch { None, Embedding, Automation, Register, Unregister };
// Which one a switch (without its '-' or '/') is, in any letter case.
FrameworkSwitch FindFrameworkSwitch(const char* name);

class SilentSwitches {
 public:
  // Which of the switches this program has besides /Install and /Log.
  SilentSwitches(bool knowsDelete, bool knowsPort) : m_knowsDelete(knowsDelete), m_knowsPort(knowsPort) {}

  // One argument; without its '-' or '/' when flag. The text must outlive this object.
  void Take(const char* param, bool flag);
  // After the last argument: a switch still waiting for its value lacks it.
  void Finish();

  // Some switch of the unattended courses was given: no window is to open.
  bool Requested() const { return m_course != SilentCourse::None || m_port || m_log || m_malformed; }
  // 0 when the course can run as given, else 87 (a malformed command line).
  unsigned long Error() const;

  SilentCourse Course() const { return m_course; }
  const char* Port() const { return m_port; }
  const char* Log() const { return m_log; }

 private:
  void Choose(SilentCourse course);
  void Expect(const char** value);

  bool m_knowsDelete;
  bool m_knowsPort;
  SilentCourse m_course = SilentCourse::None;
  const char* m_port = nullptr;
  const char* m_log = nullptr;
  // Two courses, a switch repeated or without its value.
  bool m_malformed = false;
  // An argument that neither the courses nor the framework know.
  bool m_foreign = false;
  const char** m_awaiting = nullptr;
};
