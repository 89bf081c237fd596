#include "pending_deletion.h"

namespace {

wchar_t AsciiLower(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

// The name from list[at] to its zero or the list's end; where the next begins.
std::size_t NameEnd(const wchar_t* list, std::size_t length, std::size_t at) {
  while (at < length && list[at] != L'\0') ++at;
  return at;
}

bool SameName(const wchar_t* name, std::size_t nameLength, const wchar_t* path) {
  std::size_t i = 0;
  for (; i < nameLength && path[i] != L'\0'; ++i)
    if (AsciiLower(name[i]) != AsciiLower(path[i])) return false;
  return i == nameLength && path[i] == L'\0';
}

}  // namespace

bool ListsDeletion(const wchar_t* list, std::size_t length, const wchar_t* ntPath) {
  if (list == nullptr || ntPath == nullptr) return false;
  std::size_t at = 0;
  while (at < length) {
    const std::size_t sourceEnd = NameEnd(list, length, at);
    // A pair cut off by the list's end deletes nothing.
    if (sourceEnd >= length) return false;
    const std::size_t targetEnd = NameEnd(list, length, sourceEnd + 1);
    if (targetEnd >= length) return false;
    // An empty source ends the list.
    if (sourceEnd == at) return false;
    if (targetEnd == sourceEnd + 1 && SameName(list + at, sourceEnd - at, ntPath)) return true;
    at = targetEnd + 1;
  }
  return false;
}
