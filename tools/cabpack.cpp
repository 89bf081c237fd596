// Turns the maker's three driver files into the installer's package files
// Data1.CAB (driver), Data2.CAB (configuration DLL) and Data3.CAB (data file),
// scrambled with the installer's package key. Streams; no file is held whole.
//
//   cabpack DRIVER.dll DATA.pcd CONFIG.dll OUTPUT_FOLDER
#include <cstdio>
#include <string>

#include "package.h"

namespace {

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
  const std::string folder = argv[4];
  const bool ok = Scramble(argv[1], folder + "/Data1.CAB") && Scramble(argv[3], folder + "/Data2.CAB") &&
                  Scramble(argv[2], folder + "/Data3.CAB");
  return ok ? 0 : 1;
}
