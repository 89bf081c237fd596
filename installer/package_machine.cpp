#include "package_machine.h"

#include "handles.h"
#include "package.h"
#include "system_dll.h"

namespace {

// The machine of a package file's unscrambled start.
Machine PackageFileMachine(const char* path) {
  UniqueFile in(
      ::CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!in) return Machine::None;
  unsigned char head[kPeHeadSize];
  DWORD read = 0;
  if (!::ReadFile(in.get(), head, sizeof head, &read, nullptr)) return Machine::None;
  ScrambleBytes(head, read);
  return PeMachine(head, read);
}

Machine MachineOfArchitecture(WORD architecture) {
  switch (architecture) {
    case PROCESSOR_ARCHITECTURE_INTEL:
      return Machine::X86;
    case PROCESSOR_ARCHITECTURE_AMD64:
      return Machine::X64;
    case 12:  // PROCESSOR_ARCHITECTURE_ARM64
      return Machine::Arm64;
    default:
      return Machine::None;
  }
}

}  // namespace

Machine SystemMachine() {
  // Windows 10 1709 and later name the native machine directly; it is the
  // only way to tell ARM64 Windows from an x86 process there.
  using IsWow64Process2Function = BOOL(WINAPI*)(HANDLE, USHORT*, USHORT*);
  const auto isWow64Process2 = SystemFunction<IsWow64Process2Function>("kernel32.dll", "IsWow64Process2");
  USHORT process = 0, native = 0;
  if (isWow64Process2 != nullptr && isWow64Process2(::GetCurrentProcess(), &process, &native))
    return MachineOfType(native);
  BOOL wow64 = FALSE;
  if (::IsWow64Process(::GetCurrentProcess(), &wow64) && wow64) {
    SYSTEM_INFO info{};
    ::GetNativeSystemInfo(&info);
    return MachineOfArchitecture(info.wProcessorArchitecture);
  }
#ifdef _WIN64
  return Machine::X64;
#else
  return Machine::X86;
#endif
}

PackageFit ReadPackageFit() {
  PackageFit fit;
  fit.driver = PackageFileMachine(kPackageDriver);
  fit.config = PackageFileMachine(kPackageConfig);
  fit.system = SystemMachine();
  const PackageMachine package = MachineOfPackage(fit.driver, fit.config);
  fit.fits = package.Fits(fit.system);
  if (fit.fits) fit.environment = EnvironmentOf(package.machine);
  return fit;
}
