// What the C++ runtime does when it cannot go on, for the two programs.
//
// The programs catch no exception: the library's checks (a length past
// max_size(), an empty std::function called) and a failed allocation could
// only end the process. The runtime would end it the long way, through its
// exception machinery, the unwinder and the threads library that both need:
// together more than a third of each program. These definitions end it at
// once instead, so the programs are built without exceptions and none of that
// is linked. The process ends with a Win32 code a setup package can read,
// and without the runtime's message box, which no one would answer in an
// unattended run. The runtime's other ways into the C library's abort(),
// which shows that box and ends with 3, are replaced too: a pure or deleted
// virtual function called, std::terminate. (abort() itself is not: defined
// here, it kept the deployer's dialog from opening under Wine.)
#include <windows.h>

#include <cstdlib>
#include <new>

#include "run_log.h"

namespace {

[[noreturn]] void EndProcess(DWORD code, const char* why) {
  LogProgramEnd(why, code);
  ::TerminateProcess(::GetCurrentProcess(), code);
  ::ExitProcess(code);  // not reached: TerminateProcess does not return for itself
}

[[noreturn]] void OutOfMemory() { EndProcess(ERROR_NOT_ENOUGH_MEMORY, "out of memory"); }
[[noreturn]] void Broken() { EndProcess(ERROR_INTERNAL_ERROR, "a check of the C++ library failed"); }

void* Allocate(std::size_t size) {
  // The C library's malloc(0) may return null; operator new must not.
  return std::malloc(size != 0 ? size : 1);
}

}  // namespace

void* operator new(std::size_t size) {
  void* p = Allocate(size);
  if (p == nullptr) OutOfMemory();
  return p;
}
void* operator new[](std::size_t size) { return ::operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

// The library's own throw points, all of them, so that none of its objects
// that throw is linked.
namespace std {
void __throw_bad_alloc() { OutOfMemory(); }
void __throw_bad_array_new_length() { OutOfMemory(); }
void __throw_length_error(const char*) { OutOfMemory(); }
void __throw_bad_cast() { Broken(); }
void __throw_bad_typeid() { Broken(); }
void __throw_bad_exception() { Broken(); }
void __throw_bad_function_call() { Broken(); }
void __throw_logic_error(const char*) { Broken(); }
void __throw_domain_error(const char*) { Broken(); }
void __throw_invalid_argument(const char*) { Broken(); }
void __throw_out_of_range(const char*) { Broken(); }
void __throw_out_of_range_fmt(const char*, ...) { Broken(); }
void __throw_runtime_error(const char*) { Broken(); }
void __throw_range_error(const char*) { Broken(); }
void __throw_overflow_error(const char*) { Broken(); }
void __throw_underflow_error(const char*) { Broken(); }
}  // namespace std

extern "C" {
// Both, or the runtime's own object, which defines both, would be linked.
void __cxa_pure_virtual() { EndProcess(ERROR_INTERNAL_ERROR, "a pure virtual function called"); }
void __cxa_deleted_virtual() { EndProcess(ERROR_INTERNAL_ERROR, "a deleted virtual function called"); }
}

// The runtime's default handler of std::terminate.
namespace __gnu_cxx {
void __verbose_terminate_handler() { EndProcess(ERROR_INTERNAL_ERROR, "std::terminate called"); }
}  // namespace __gnu_cxx
