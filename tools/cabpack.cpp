// Turns the maker's three driver files into the installer's package files
// Data1.CAB (driver), Data2.CAB (configuration DLL) and Data3.CAB (data file),
// scrambled with the installer's package key. Streams; no file is held whole.
// Says which Windows the package is for, from the machine of the driver and
// the configuration DLL, and refuses the two when they are for different ones.
//
//   cabpack DRIVER.dll DATA.pcd CONFIG.dll OUTPUT_FOLDER
#include <cstdio>
#include <string>

#include "machine.h"
#include "package.h"

namespace {

// The machine of a file's PE header; None also when it cannot be read.
Machine FileMachine(const char* path) {
  std::FILE* in = std::fopen(path, "rb");
  if (in == nullptr) return Machine::None;
  unsigned char head[kPeHeadSize];
  const std::size_t n = std::fread(head, 1, sizeof head, in);
  std::fclose(in);
  return PeMachine(head, n);
}

// Prints which Windows the package is for; false for a mixed pair.
bool SayWindows(const char* driverPath, const char* configPath) {
  const Machine driver = FileMachine(driverPath), config = FileMachine(configPath);
  const PackageMachine package = MachineOfPackage(driver, config);
  if (package.mixed) {
    std::fprintf(stderr, "cabpack: %s is for %s, %s for %s: a package is for one Windows only\n", driverPath,
                 WindowsOf(driver), configPath, WindowsOf(config));
    return false;
  }
  if (package.machine == Machine::None)
    std::printf("cabpack: the driver files name no known machine: installed as an x86 driver, as always\n");
  else
    std::printf("cabpack: the package is for %s\n", WindowsOf(package.machine));
  return true;
}

bool Scramble(const std::string& source, const std::string& destination) {
  std::FILE* in = std::fopen(source.c_str(), "rb");
  if (in == nullptr) {
    std::fprintf(stderr, "cabpack: cannot read %s\n", source.c_str());
    return false;
  }
  std::FILE* out = std::fopen(destination.c_str(), "wb");
  if (out == nullptr) {
    std::fclose(in);
    std::fprintf(stderr, "cabpack: cannot write %s\n", destination.c_str());
    return false;
  }
  unsigned char buffer[64 * 1024];
  bool ok = true;
  for (;;) {
    const std::size_t n = std::fread(buffer, 1, sizeof buffer, in);
    if (n == 0) {
      ok = !std::ferror(in);
      break;
    }
    ScrambleBytes(buffer, n);
    if (std::fwrite(buffer, 1, n, out) != n) {
      ok = false;
      break;
    }
  }
  std::fclose(in);
  if (std::fclose(out) != 0) ok = false;
  if (!ok) {
    std::remove(destination.c_str());
    std::fprintf(stderr, "cabpack: failed while turning %s into %s\n", source.c_str(), destination.c_str());
  }
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: cabpack DRIVER.dll DATA.pcd CONFIG.dll OUTPUT_FOLDER\n");
    return 2;
  }
  if (!SayWindows(argv[1], argv[3])) return 1;
  const std::string folder = argv[4];
  const bool ok = Scramble(argv[1], folder + "/Data1.CAB") && Scramble(argv[3], folder + "/Data2.CAB") &&
                  Scramble(argv[2], folder + "/Data3.CAB");
  return ok ? 0 : 1;
}
