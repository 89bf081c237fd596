#include "run_log.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <cwchar>

namespace {

// The system's text for the code on one line, without its line break.
void ErrorText(DWORD code, char (&text)[256]) {
  const DWORD n = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text,
                                   sizeof text, nullptr);
  if (n == 0 || n >= sizeof text) {
    std::snprintf(text, sizeof text, "(no text for this code)");
    return;
  }
  text[n] = '\0';
  for (char* p = text; *p; ++p)
    if (*p == '\r' || *p == '\n') *p = ' ';
  for (size_t len = std::strlen(text); len > 0 && text[len - 1] == ' '; --len) text[len - 1] = '\0';
}

}  // namespace

DWORD RunLog::Open(const wchar_t* path) {
  // A name the file system could not take whole is refused, not cut.
  if (path == nullptr || path[0] == L'\0') return ERROR_INVALID_NAME;
  if (std::wcslen(path) >= MAX_PATH) return ERROR_FILENAME_EXCED_RANGE;
  UniqueFile file(::CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return ::GetLastError();
  // A log named after a port would send its lines to the plotter; a pipe or
  // NUL is no record either.
  if (::GetFileType(file.get()) != FILE_TYPE_DISK) return ERROR_INVALID_PARAMETER;
  m_file = std::move(file);
  return ERROR_SUCCESS;
}

DWORD StartSilentRun(const SilentSwitches& switches, RunLog& log) {
  if (const DWORD error = switches.Error()) return error;
  return switches.Log() != nullptr ? log.Open(switches.Log()) : ERROR_SUCCESS;
}

void RunLog::Step(DWORD result, const char* format, ...) {
  if (!m_file && m_sink == nullptr) return;
  char step[600];
  va_list args;
  va_start(args, format);
  std::vsnprintf(step, sizeof step, format, args);
  va_end(args);
  char text[256];
  ErrorText(result, text);
  SYSTEMTIME now;
  ::GetLocalTime(&now);
  char line[1024];
  const int n =
      std::snprintf(line, sizeof line, "%04u-%02u-%02u %02u:%02u:%02u %s: %lu %s\r\n", now.wYear, now.wMonth, now.wDay,
                    now.wHour, now.wMinute, now.wSecond, step, static_cast<unsigned long>(result), text);
  if (n <= 0) return;
  DWORD length = static_cast<DWORD>(n);
  if (length >= sizeof line) {
    // A cut line still ends as a line.
    length = sizeof line - 1;
    line[length - 2] = '\r';
    line[length - 1] = '\n';
  }
  if (m_file) {
    DWORD written = 0;
    ::WriteFile(m_file.get(), line, length, &written, nullptr);
  }
  if (m_sink != nullptr) {
    line[length - 2] = '\0';
    m_sink(m_sinkContext, line);
  }
}
