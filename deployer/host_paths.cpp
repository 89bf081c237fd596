#include "host_paths.h"

#include <cstdio>
#include <cstring>

namespace {

// Length of text up to its last backslash; false when there is none or the
// text is not terminated within the input size.
bool FolderLength(const char* text, std::size_t& length) {
  if (text == nullptr) return false;
  const std::size_t n = strnlen(text, kHostPathInputSize);
  if (n == kHostPathInputSize) return false;
  for (std::size_t i = n; i-- > 0;) {
    if (text[i] == '\\') {
      length = i;
      return true;
    }
  }
  return false;
}

bool Fits(int n, std::size_t size) { return n >= 0 && static_cast<std::size_t>(n) < size; }

}  // namespace

bool BuildDrawFolder(const char* configDir, char* out, std::size_t outSize) {
  std::size_t length = 0;
  if (!FolderLength(configDir, length)) return false;
  return Fits(std::snprintf(out, outSize, "%.*s\\Draw\\", static_cast<int>(length), configDir), outSize);
}

bool BuildPluginPaths(const char* configDir, const char* programPath, bool is64BitEdition, PluginPaths& paths) {
  char draw[kBuiltPathSize];
  std::size_t programFolder = 0;
  if (!BuildDrawFolder(configDir, draw, sizeof draw) || !FolderLength(programPath, programFolder)) return false;
  const int folder = static_cast<int>(programFolder);
  const char* plugins = is64BitEdition ? "Plugins64" : "Plugins";
  const char* module = is64BitEdition ? "Marlotrim64.cpg" : "Marlotrim32.cpg";
  // One destination name for both editions: the host looks for this one.
  return Fits(std::snprintf(paths.pluginFolder, kBuiltPathSize, "%s%s", draw, plugins), kBuiltPathSize) &&
         Fits(std::snprintf(paths.moduleSource, kBuiltPathSize, "%.*s\\%s", folder, programPath, module),
              kBuiltPathSize) &&
         Fits(std::snprintf(paths.moduleDestination, kBuiltPathSize, "%s%s\\Marlotrim.cpg", draw, plugins),
              kBuiltPathSize) &&
         Fits(std::snprintf(paths.bitmapSource, kBuiltPathSize, "%.*s\\Marlotrim.bmp", folder, programPath),
              kBuiltPathSize) &&
         Fits(std::snprintf(paths.bitmapDestination, kBuiltPathSize, "%s%s\\Marlotrim.bmp", draw, plugins),
              kBuiltPathSize) &&
         Fits(std::snprintf(paths.moduleNew, kBuiltPathSize, "%s.new", paths.moduleDestination), kBuiltPathSize) &&
         Fits(std::snprintf(paths.bitmapNew, kBuiltPathSize, "%s.new", paths.bitmapDestination), kBuiltPathSize);
}
