#include "command_line.h"

namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

// The program's name: returns where the arguments begin.
const wchar_t* TakeProgramName(const wchar_t* p, std::wstring& name) {
  bool quoted = false;
  for (; *p != L'\0' && (quoted || !IsBlank(*p)); ++p) {
    if (*p == L'"')
      quoted = !quoted;
    else
      name.push_back(*p);
  }
  return p;
}

// One argument from p on; returns where it ends.
const wchar_t* TakeArgument(const wchar_t* p, std::wstring& arg) {
  bool quoted = false;
  for (;;) {
    size_t backslashes = 0;
    for (; *p == L'\\'; ++p) ++backslashes;
    bool literal = true;
    if (*p == L'"') {
      if (backslashes % 2 == 0) {
        if (quoted && p[1] == L'"') {
          ++p;  // two quotes inside quotes: one literal quote
        } else {
          literal = false;
          quoted = !quoted;
        }
      }
      backslashes /= 2;
    }
    arg.append(backslashes, L'\\');
    if (*p == L'\0' || (!quoted && IsBlank(*p))) return p;
    if (literal) arg.push_back(*p);
    ++p;
  }
}

}  // namespace

std::vector<std::wstring> SplitCommandLine(const wchar_t* line) {
  std::vector<std::wstring> args(1);
  if (line == nullptr) return args;
  const wchar_t* p = TakeProgramName(line, args[0]);
  for (;;) {
    while (IsBlank(*p)) ++p;
    if (*p == L'\0') return args;
    args.emplace_back();
    p = TakeArgument(p, args.back());
  }
}
