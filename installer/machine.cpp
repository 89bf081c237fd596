#include "machine.h"

#include <cstdio>

namespace {

constexpr char kX86Environment[] = "Windows NT x86";

std::uint32_t Little(const unsigned char* p, int bytes) {
  std::uint32_t value = 0;
  for (int i = bytes - 1; i >= 0; --i) value = value << 8 | p[i];
  return value;
}

}  // namespace

Machine MachineOfType(std::uint16_t type) {
  switch (type) {
    case 0x014C:
      return Machine::X86;
    case 0x8664:
      return Machine::X64;
    case 0xAA64:
      return Machine::Arm64;
    default:
      return Machine::None;
  }
}

Machine PeMachine(const unsigned char* head, std::size_t size) {
  // "MZ", the PE header's offset at 0x3C, there "PE\0\0" and the machine.
  if (head == nullptr || size < 0x40 || head[0] != 'M' || head[1] != 'Z') return Machine::None;
  const std::uint32_t offset = Little(head + 0x3C, 4);
  if (offset > size || size - offset < 6) return Machine::None;
  const unsigned char* pe = head + offset;
  if (pe[0] != 'P' || pe[1] != 'E' || pe[2] != 0 || pe[3] != 0) return Machine::None;
  return MachineOfType(static_cast<std::uint16_t>(Little(pe + 4, 2)));
}

const char* EnvironmentOf(Machine machine) {
  switch (machine) {
    case Machine::X86:
      return kX86Environment;
    case Machine::X64:
      return "Windows x64";
    case Machine::Arm64:
      return "Windows ARM64";
    default:
      return nullptr;
  }
}

const char* WindowsOf(Machine machine) {
  switch (machine) {
    case Machine::X86:
      return "32-bit Windows (x86)";
    case Machine::X64:
      return "64-bit Windows (x64)";
    case Machine::Arm64:
      return "Windows on ARM (ARM64)";
    default:
      return "Windows on another processor";
  }
}

PackageMachine MachineOfPackage(Machine driver, Machine config) {
  PackageMachine package;
  package.machine = driver != Machine::None ? driver : config;
  package.mixed = driver != Machine::None && config != Machine::None && driver != config;
  return package;
}

void RefusalText(char* out, std::size_t size, Machine driver, Machine config, Machine system) {
  if (size == 0) return;
  const PackageMachine package = MachineOfPackage(driver, config);
  if (package.mixed)
    std::snprintf(out, size,
                  "This driver package cannot be installed: its driver is for %s, its settings module for %s.\n"
                  "This computer runs %s. Nothing was changed.",
                  WindowsOf(driver), WindowsOf(config), WindowsOf(system));
  else
    std::snprintf(out, size,
                  "This driver package is for %s, but this computer runs %s.\n"
                  "Use the package made for this computer's Windows. Nothing was changed.",
                  WindowsOf(package.machine), WindowsOf(system));
}

Environments RemovalEnvironments(Machine system) {
  const char* native = EnvironmentOf(system);
  if (native == nullptr || system == Machine::X86) return {{kX86Environment, nullptr}, 1};
  return {{native, kX86Environment}, 2};
}
