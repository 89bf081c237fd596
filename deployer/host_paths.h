// The plug-in's folders and files, built as text from the host's "ConfigDir"
// value and the program's own path. Platform-free.
#pragma once

#include <cstddef>

// Registry values and module paths are read into buffers of this size.
inline constexpr std::size_t kHostPathInputSize = 260;
// Built paths.
inline constexpr std::size_t kBuiltPathSize = 512;

struct PluginPaths {
  char pluginFolder[kBuiltPathSize];
  char moduleSource[kBuiltPathSize];
  char moduleDestination[kBuiltPathSize];
  char bitmapSource[kBuiltPathSize];
  char bitmapDestination[kBuiltPathSize];
  // Where each new file is written in full before it takes the old one's
  // place: beside it, on the same volume, under a name the host does not
  // load (neither it nor its short form ends in .cpg).
  char moduleNew[kBuiltPathSize];
  char bitmapNew[kBuiltPathSize];
};

// The host's Draw folder, with its trailing backslash: configDir cut at its
// last backslash, followed by "\Draw\". False when configDir has no
// backslash, is not terminated within kHostPathInputSize, or the result does
// not fit.
bool BuildDrawFolder(const char* configDir, char* out, std::size_t outSize);

// Everything a deployment touches for one edition. False, with nothing to
// deploy, when either input has no backslash or is not terminated within
// kHostPathInputSize.
bool BuildPluginPaths(const char* configDir, const char* programPath, bool is64BitEdition, PluginPaths& paths);
