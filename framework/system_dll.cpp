#include "system_dll.h"

namespace {
// Not in every SDK's headers for the oldest targets.
constexpr DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
}  // namespace

void RestrictDllSearch() {
  // kernel32 is always loaded; asking it by name loads nothing.
  const HMODULE kernel = ::GetModuleHandleA("kernel32.dll");
  auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFn>(
      reinterpret_cast<void*>(::GetProcAddress(kernel, "SetDefaultDllDirectories")));
  if (setDefault != nullptr && setDefault(kSearchSystem32)) return;
  // Systems without it still search the program's folder; the DLLs this
  // program names itself are loaded by full path for that reason.
  ::SetDllDirectoryA("");
}

HMODULE LoadSystemLibrary(const char* fileName) {
  char path[MAX_PATH];
  const UINT n = ::GetSystemDirectoryA(path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH || n + 1 + lstrlenA(fileName) >= MAX_PATH) return nullptr;
  path[n] = '\\';
  lstrcpyA(path + n + 1, fileName);
  // The DLL's own dependencies are then looked for beside it.
  return ::LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

FARPROC SystemFunction(const char* fileName, const char* functionName) {
  // The reference taken here is never given back: the function may be
  // called at any time until the process ends. Callers look it up once.
  HMODULE dll = LoadSystemLibrary(fileName);
  return dll != nullptr ? ::GetProcAddress(dll, functionName) : nullptr;
}
