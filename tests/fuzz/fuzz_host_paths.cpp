// The plug-in paths built from any "ConfigDir" text and program path. The
// input's first byte picks the edition, the rest is split at the first zero
// byte into the two texts, each held in its 260-byte buffer as read.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "host_paths.h"

namespace {

// Fills a buffer as a registry read or module path query would: up to its
// size, terminated only when the text is shorter.
void Fill(char (&buffer)[kHostPathInputSize], const std::string& text) {
  std::memset(buffer, 'x', sizeof buffer);
  std::memcpy(buffer, text.data(), std::min(text.size(), sizeof buffer));
  if (text.size() < sizeof buffer) buffer[text.size()] = '\0';
}

bool Terminated(const char* text, std::size_t size) { return std::memchr(text, '\0', size) != nullptr; }

bool StartsWith(const char* text, const char* prefix) {
  return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
  if (size == 0) return 0;
  const bool is64 = data[0] & 1;
  const std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
  const size_t zero = rest.find('\0');
  char configDir[kHostPathInputSize], programPath[kHostPathInputSize];
  Fill(configDir, rest.substr(0, zero));
  Fill(programPath, zero == std::string::npos ? std::string() : rest.substr(zero + 1));

  PluginPaths paths;
  if (!BuildPluginPaths(configDir, programPath, is64, paths)) return 0;
  for (const char* p : {paths.pluginFolder, paths.moduleSource, paths.moduleDestination, paths.bitmapSource,
                        paths.bitmapDestination, paths.moduleNew, paths.bitmapNew})
    if (!Terminated(p, kBuiltPathSize)) std::abort();
  // Every destination lies in the plug-in folder of the edition asked for.
  const char* folder = is64 ? "\\Draw\\Plugins64" : "\\Draw\\Plugins";
  if (!std::strstr(paths.pluginFolder, folder)) std::abort();
  if (!StartsWith(paths.moduleDestination, paths.pluginFolder) ||
      !StartsWith(paths.bitmapDestination, paths.pluginFolder) || !StartsWith(paths.moduleNew, paths.pluginFolder) ||
      !StartsWith(paths.bitmapNew, paths.pluginFolder))
    std::abort();
  return 0;
}
