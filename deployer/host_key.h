// Which registry key registers a host edition, and how it is opened.
// Platform-free.
#pragma once

#include <cstddef>

// KEY_ALL_ACCESS, and the same with KEY_WOW64_64KEY.
inline constexpr unsigned long kHostKeyAccess = 0xF003F;
inline constexpr unsigned long kHostKeyAccess64View = 0xF013F;

// PROCESSOR_ARCHITECTURE_AMD64; every other native architecture counts as a
// 32-bit machine.
bool IsAmd64Machine(unsigned short nativeArchitecture);

// The version asked about: a negative one means the oldest host, 9.
int HostVersion(int majorVersion);

struct HostKey {
  char path[64];
  unsigned long access;
};

// The key path below HKEY_LOCAL_MACHINE and its access mask. False when the
// edition cannot exist on this machine (a 64-bit host on a 32-bit machine).
bool SelectHostKey(int majorVersion, bool is64BitEdition, bool machineIs64Bit, HostKey& key);
