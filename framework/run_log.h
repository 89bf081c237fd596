// The log of an unattended run: one line per step, appended to a file the
// caller names, never truncated.
#pragma once

#include <windows.h>

#include "handles.h"
#include "silent_switches.h"

class RunLog {
 public:
  ~RunLog();

  // Opens the file for appending, creating it when missing. 0, or the error
  // that kept it from opening; ERROR_INVALID_PARAMETER for anything but a
  // file on a disk (a port, a pipe, NUL), which is never written to.
  DWORD Open(const wchar_t* path);

  // Local time, the step (printf-style), and its result as the Win32 code
  // with the system's text for it. Nothing when the log is not open.
  void Step(DWORD result, const char* format, ...) __attribute__((format(printf, 3, 4)));

  // Where each line also goes, without its line break: a Windows Installer
  // custom action hands the lines to the installer's own log.
  using Sink = void (*)(void* context, const char* line);
  void SetSink(Sink sink, void* context) {
    m_sink = sink;
    m_sinkContext = context;
  }

 private:
  UniqueFile m_file;
  Sink m_sink = nullptr;
  void* m_sinkContext = nullptr;
};

// The line of a failure that ends the program, "<time> the program ends, <why>:
// <code>", in the log last opened and still open, if any. Only once, and with
// no allocation, lock or C library, so that any failure may call it.
void LogProgramEnd(const char* why, DWORD code);

// The start of an unattended course: 0 when its switches are sound and the
// log they ask for, if any, is open; else the error to end with, before
// anything is changed.
DWORD StartSilentRun(const SilentSwitches& switches, RunLog& log);
