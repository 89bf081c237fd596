#include "run_log.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <cwchar>

namespace {

// The open log a failure writes to.
HANDLE volatile g_endLog = nullptr;
LONG volatile g_endLogged = 0;

// Appends text at *at, within end, leaving room for the line break.
void Append(char*& at, const char* end, const char* text) {
  while (*text != '\0' && at < end - 2) *at++ = *text++;
}

void AppendNumber(char*& at, const char* end, unsigned long value, int width) {
  char digits[12];
  int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0 && n < 10);
  while (n < width && n < 10) digits[n++] = '0';
  while (n > 0 && at < end - 2) *at++ = digits[--n];
}

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
  g_endLog = m_file.get();
  return ERROR_SUCCESS;
}

RunLog::~RunLog() {
  if (m_file) ::InterlockedCompareExchangePointer(&g_endLog, nullptr, m_file.get());
}

void LogProgramEnd(const char* why, DWORD code) {
  const HANDLE file = g_endLog;
  // A failure inside this line, or in a second thread, ends without one.
  if (file == nullptr || ::InterlockedExchange(&g_endLogged, 1) != 0) return;
  SYSTEMTIME now;
  ::GetLocalTime(&now);
  char line[256];
  char* at = line;
  const char* end = line + sizeof line;
  AppendNumber(at, end, now.wYear, 4);
  Append(at, end, "-");
  AppendNumber(at, end, now.wMonth, 2);
  Append(at, end, "-");
  AppendNumber(at, end, now.wDay, 2);
  Append(at, end, " ");
  AppendNumber(at, end, now.wHour, 2);
  Append(at, end, ":");
  AppendNumber(at, end, now.wMinute, 2);
  Append(at, end, ":");
  AppendNumber(at, end, now.wSecond, 2);
  Append(at, end, " the program ends, ");
  Append(at, end, why);
  Append(at, end, ": ");
  AppendNumber(at, end, code, 1);
  *at++ = '\r';
  *at++ = '\n';
  DWORD written = 0;
  ::WriteFile(file, line, static_cast<DWORD>(at - line), &written, nullptr);
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
