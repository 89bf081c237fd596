#include "failure_text.h"

namespace {
constexpr char kRightsAdvice[] =
    "Administrator rights are needed: start the program with \"Run as administrator\", or ask your administrator.";
}  // namespace

bool IsRefusalOfRights(DWORD error) {
  return error == ERROR_ACCESS_DENIED || error == ERROR_PRIVILEGE_NOT_HELD || error == kElevationRequired;
}

void FailureText(const char* text, DWORD error, char (&out)[1024]) {
  ::lstrcpynA(out, text, sizeof out);
  if (error == ERROR_SUCCESS) return;
  char reason[512];
  DWORD n = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, reason,
                             sizeof reason, nullptr);
  // The system's text ends with a line break; the box adds its own.
  while (n > 0 && (reason[n - 1] == '\r' || reason[n - 1] == '\n' || reason[n - 1] == ' ')) --n;
  reason[n] = '\0';
  // At most 511 characters of reason and a number: the line fits.
  char line[560];
  if (n == 0)
    wsprintfA(line, "\n\nError %lu.", error);
  else
    wsprintfA(line, "\n\n%s (%lu)", reason, error);
  const int textLength = ::lstrlenA(out);
  ::lstrcpynA(out + textLength, line, sizeof out - textLength);
  if (IsRefusalOfRights(error)) {
    const int length = ::lstrlenA(out);
    wsprintfA(line, "\n\n%s", kRightsAdvice);
    ::lstrcpynA(out + length, line, sizeof out - length);
  }
}
