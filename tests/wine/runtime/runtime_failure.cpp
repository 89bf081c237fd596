// Provokes one of the C++ runtime's failures, built as the programs are
// (without exceptions, with their failure paths), so that a test sees how
// such a failure ends a program, and what its log then says.
//   runtime_failure.exe new|length|call|nothrow|pure|deleted|terminate [LOG]
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <exception>
#include <functional>
#include <new>
#include <vector>

#include "run_log.h"

extern "C" void __cxa_pure_virtual();
extern "C" void __cxa_deleted_virtual();

namespace {

bool Is(const char* commandLine, const char* failure) {
  const size_t n = std::strlen(failure);
  return std::strncmp(commandLine, failure, n) == 0 && (commandLine[n] == '\0' || commandLine[n] == ' ');
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
  RunLog log;
  if (const char* path = std::strchr(commandLine, ' ')) {
    wchar_t wide[MAX_PATH];
    if (::MultiByteToWideChar(CP_ACP, 0, path + 1, -1, wide, MAX_PATH) <= 0 || log.Open(wide) != 0) return 3;
  }
  // More than any process can have, read from a volatile so that the
  // compiler cannot judge the allocation.
  volatile std::size_t hugeSize = SIZE_MAX - 4096;
  const std::size_t huge = hugeSize;
  static void* volatile kept;
  if (Is(commandLine, "new")) kept = new char[huge];
  if (Is(commandLine, "length")) std::vector<int>().reserve(SIZE_MAX);
  if (Is(commandLine, "call")) std::function<void()>()();
  // What the vtable slot of a pure or deleted function calls: the compiler
  // removes a visible call of a pure one, and none of a deleted one compiles.
  if (Is(commandLine, "pure")) __cxa_pure_virtual();
  if (Is(commandLine, "deleted")) __cxa_deleted_virtual();
  if (Is(commandLine, "terminate")) std::terminate();
  // The nothrow form answers with null, as it must; the process goes on.
  if (Is(commandLine, "nothrow")) {
    kept = new (std::nothrow) char[huge];
    return kept != nullptr;
  }
  return 2;
}
