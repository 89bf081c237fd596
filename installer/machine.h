// Which processor a driver is built for, read from the PE header of its
// files, and what that means for the spooler environment it is installed
// in. Platform-free.
#pragma once

#include <cstddef>
#include <cstdint>

enum class Machine { None, X86, X64, Arm64 };

// How much of a file's start the header is read from. Linkers put the PE
// header within its first few hundred bytes; one further on counts as none.
constexpr std::size_t kPeHeadSize = 4096;

// The machine a header's type field names; None for any other.
Machine MachineOfType(std::uint16_t type);

// The machine of a PE image, from the first bytes of the file; None for a
// file that is no PE image, a header cut off or beyond the bytes given, or
// a machine other than the three.
Machine PeMachine(const unsigned char* head, std::size_t size);

// The spooler's environment for drivers of a machine; null for None.
const char* EnvironmentOf(Machine machine);

// The Windows a machine's drivers work on, in plain words.
const char* WindowsOf(Machine machine);

// A package's driver and configuration module: the machine of those that are
// PE images (None when neither is), and whether two name different ones.
struct PackageMachine {
  Machine machine = Machine::None;
  bool mixed = false;
  // Whether it may be installed on a system of this machine. A package of no
  // PE image is left to the spooler, as it always was.
  bool Fits(Machine system) const { return !mixed && (machine == Machine::None || machine == system); }
};
PackageMachine MachineOfPackage(Machine driver, Machine config);

// The failure box's text for a package that does not fit the system.
void RefusalText(char* out, std::size_t size, Machine driver, Machine config, Machine system);

// The environments removal looks for the model's driver in on a system: the
// native one first, then, on a system that is not x86, the x86 one an older
// installer used. An unknown system has the x86 one alone.
struct Environments {
  const char* names[2];
  int count;
};
Environments RemovalEnvironments(Machine system);
