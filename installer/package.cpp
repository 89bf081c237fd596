#include "package.h"

#include <cstring>

bool JoinPath(char* out, std::size_t outSize, const char* a, const char* b, const char* c) {
  const std::size_t la = std::strlen(a), lb = std::strlen(b), lc = std::strlen(c);
  if (outSize == 0) return false;
  if (la + lb + lc >= outSize) {
    out[0] = '\0';
    return false;
  }
  std::memcpy(out, a, la);
  std::memcpy(out + la, b, lb);
  std::memcpy(out + la + lb, c, lc + 1);
  return true;
}

bool BuildDriverPaths(DriverPaths& paths, const char* directory, const char* subfolder, const ModelFiles& files) {
  return JoinPath(paths.driver, sizeof paths.driver, directory, subfolder, files.driver) &&
         JoinPath(paths.data, sizeof paths.data, directory, subfolder, files.data) &&
         JoinPath(paths.config, sizeof paths.config, directory, subfolder, files.config);
}
