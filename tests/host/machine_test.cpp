#include "machine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A header as linkers write it: "MZ", the PE header at `offset`, the machine.
std::vector<unsigned char> Image(std::uint16_t type, std::uint32_t offset = 0x80, size_t size = 1024) {
  std::vector<unsigned char> bytes(size, 0x5A);
  bytes[0] = 'M';
  bytes[1] = 'Z';
  for (int i = 0; i < 4; ++i) bytes[0x3C + i] = static_cast<unsigned char>(offset >> (8 * i));
  if (size >= 6 && offset <= size - 6) {
    bytes[offset] = 'P';
    bytes[offset + 1] = 'E';
    bytes[offset + 2] = bytes[offset + 3] = 0;
    bytes[offset + 4] = static_cast<unsigned char>(type);
    bytes[offset + 5] = static_cast<unsigned char>(type >> 8);
  }
  return bytes;
}

Machine Read(const std::vector<unsigned char>& bytes) { return PeMachine(bytes.data(), bytes.size()); }

}  // namespace

TEST(Machine, HeadersOfTheThreeMachinesAndOfNone) {
  EXPECT_EQ(Read(Image(0x014C)), Machine::X86);
  EXPECT_EQ(Read(Image(0x8664)), Machine::X64);
  EXPECT_EQ(Read(Image(0xAA64)), Machine::Arm64);
  // Another machine, a header cut off or beyond the bytes, no signature.
  EXPECT_EQ(Read(Image(0x0200)), Machine::None);
  EXPECT_EQ(Read(Image(0x014C, 0x80, 0x85)), Machine::None);
  EXPECT_EQ(Read(Image(0x014C, 0x80, 0x86)), Machine::X86);
  EXPECT_EQ(Read(Image(0x014C, 0xFFFFFFFA)), Machine::None);
  EXPECT_EQ(Read(Image(0x014C, 0x40, 0x40)), Machine::None);
  auto noSignature = Image(0x014C);
  noSignature[0x81] = 'X';
  EXPECT_EQ(Read(noSignature), Machine::None);
  auto noMz = Image(0x8664);
  noMz[1] = 'Y';
  EXPECT_EQ(Read(noMz), Machine::None);
  EXPECT_EQ(PeMachine(nullptr, 0), Machine::None);
}

TEST(Machine, PackagesFitTheirOwnWindowsOnly) {
  const Machine none = Machine::None, x86 = Machine::X86, x64 = Machine::X64, arm64 = Machine::Arm64;
  // No PE image: left to the spooler everywhere, as always.
  EXPECT_TRUE(MachineOfPackage(none, none).Fits(x64));
  EXPECT_TRUE(MachineOfPackage(x86, none).Fits(x86));
  EXPECT_FALSE(MachineOfPackage(x86, x86).Fits(x64));
  EXPECT_TRUE(MachineOfPackage(none, x64).Fits(x64));
  EXPECT_FALSE(MachineOfPackage(x64, x64).Fits(x86));
  EXPECT_FALSE(MachineOfPackage(x64, x64).Fits(arm64));
  EXPECT_FALSE(MachineOfPackage(x86, x86).Fits(arm64));
  EXPECT_FALSE(MachineOfPackage(x64, x86).Fits(x64));
  EXPECT_TRUE(MachineOfPackage(x86, x64).mixed);
  EXPECT_STREQ(EnvironmentOf(x64), "Windows x64");

  char text[512];
  RefusalText(text, sizeof text, x86, x86, x64);
  EXPECT_EQ(std::string(text),
            "This driver package is for 32-bit Windows (x86), but this computer runs 64-bit Windows (x64).\n"
            "Use the package made for this computer's Windows. Nothing was changed.");
  RefusalText(text, sizeof text, x64, x86, x64);
  EXPECT_NE(std::string(text).find("its driver is for 64-bit Windows (x64), its settings module for 32-bit"),
            std::string::npos);
  RefusalText(text, 8, x64, x86, x64);
  EXPECT_STREQ(text, "This dr");
}
