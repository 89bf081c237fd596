#include "file_names.h"

#include <cstring>

namespace {

const char* FileName(const char* path) {
  const char* name = path;
  for (const char* p = path; *p; ++p)
    if (*p == '\\' || *p == '/' || *p == ':') name = p + 1;
  return name;
}

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

bool SameFileName(const char* a, const char* b) {
  if (a == nullptr || b == nullptr) return false;
  a = FileName(a);
  b = FileName(b);
  // An empty name (a path that ends in a folder) is no file.
  if (*a == '\0') return false;
  for (; *a && *b; ++a, ++b)
    if (AsciiLower(*a) != AsciiLower(*b)) return false;
  return *a == *b;
}

bool ListNamesFile(const char* list, const char* path) {
  if (list == nullptr) return false;
  for (const char* name = list; *name; name += std::strlen(name) + 1)
    if (SameFileName(name, path)) return true;
  return false;
}
