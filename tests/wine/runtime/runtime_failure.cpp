// Provokes one of the C++ runtime's failures, built as the programs are
// (without exceptions, with their failure paths), so that a test sees how
// such a failure ends a program.
//   runtime_failure.exe new|length|call|nothrow
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <new>
#include <vector>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
  // More than any process can have, read from a volatile so that the
  // compiler cannot judge the allocation.
  volatile std::size_t hugeSize = SIZE_MAX - 4096;
  const std::size_t huge = hugeSize;
  static void* volatile kept;
  if (std::strcmp(commandLine, "new") == 0) kept = new char[huge];
  if (std::strcmp(commandLine, "length") == 0) std::vector<int>().reserve(SIZE_MAX);
  if (std::strcmp(commandLine, "call") == 0) std::function<void()>()();
  // The nothrow form answers with null, as it must; the process goes on.
  if (std::strcmp(commandLine, "nothrow") == 0) {
    kept = new (std::nothrow) char[huge];
    return kept != nullptr;
  }
  return 2;
}
