#include "host_key.h"

#include <cstdio>

namespace {

constexpr char kNativeKey[] = "SOFTWARE\\Corel\\CorelDraw\\%d.0";
// A 32-bit host on a 64-bit machine keeps its key in the 32-bit view, which
// we reach explicitly from the 64-bit view.
constexpr char kWow64Key[] = "SOFTWARE\\Wow6432Node\\Corel\\CorelDraw\\%d.0";

}  // namespace

bool IsAmd64Machine(unsigned short nativeArchitecture) { return nativeArchitecture == 9; }

int HostVersion(int majorVersion) { return majorVersion < 0 ? 9 : majorVersion; }

bool SelectHostKey(int majorVersion, bool is64BitEdition, bool machineIs64Bit, HostKey& key) {
  const char* format;
  if (machineIs64Bit) {
    format = is64BitEdition ? kNativeKey : kWow64Key;
    key.access = kHostKeyAccess64View;
  } else {
    if (is64BitEdition) return false;
    format = kNativeKey;
    key.access = kHostKeyAccess;
  }
  const int n = std::snprintf(key.path, sizeof key.path, format, HostVersion(majorVersion));
  return n > 0 && static_cast<std::size_t>(n) < sizeof key.path;
}
