#include "scaling.h"

#include "handles.h"
#include "support.h"

namespace {
const char kDesktopKey[] = "Control Panel\\Desktop";
}  // namespace

ScopedLogPixels::ScopedLogPixels(DWORD dpi) {
  m_had = ReadValue(HKEY_CURRENT_USER, kDesktopKey, "LogPixels", m_saved);
  SetDword(HKEY_CURRENT_USER, kDesktopKey, "LogPixels", dpi);
}

ScopedLogPixels::~ScopedLogPixels() {
  if (m_had)
    SetRaw(HKEY_CURRENT_USER, kDesktopKey, "LogPixels", REG_DWORD, m_saved.data(), static_cast<DWORD>(m_saved.size()));
  else
    DeleteValue(HKEY_CURRENT_USER, kDesktopKey, "LogPixels");
}

::testing::AssertionResult PassesAtDpi(int dpi, const std::string& filter) {
  char exe[MAX_PATH] = "";
  const DWORD n = ::GetModuleFileNameA(nullptr, exe, sizeof exe);
  if (n == 0 || n >= sizeof exe) return ::testing::AssertionFailure() << "no path of the test program";
  char temp[MAX_PATH] = "";
  const DWORD t = ::GetTempPathA(sizeof temp, temp);
  if (t == 0 || t >= sizeof temp) return ::testing::AssertionFailure() << "no temporary folder";
  const std::string log = std::string(temp) + UniqueName("dpi") + ".log";
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  UniqueFile output(::CreateFileA(log.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr));
  if (!output) return ::testing::AssertionFailure() << "cannot write " << log;

  STARTUPINFOA si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdOutput = si.hStdError = output.get();
  std::string command = "\"" + std::string(exe) + "\" --gtest_filter=" + filter;
  PROCESS_INFORMATION pi{};
  DWORD exitCode = 1;
  {
    ScopedLogPixels scaling(dpi);
    if (!::CreateProcessA(exe, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi))
      return ::testing::AssertionFailure() << "cannot start " << command;
    UniqueKernelHandle process(pi.hProcess), thread(pi.hThread);
    if (!WaitUntil([&] { return ::WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0; }, 300000)) {
      ::TerminateProcess(process.get(), 1);
      ::WaitForSingleObject(process.get(), 10000);
    }
    ::GetExitCodeProcess(process.get(), &exitCode);
  }
  output.reset();
  const std::string text = ReadFileBytes(log);
  ::DeleteFileA(log.c_str());
  if (exitCode != 0 || text.find("[  PASSED  ] ") == std::string::npos ||
      text.find("[  PASSED  ] 0 tests") != std::string::npos)
    return ::testing::AssertionFailure() << "at " << dpi << " dpi, exit code " << exitCode << ":\n" << text;
  return ::testing::AssertionSuccess();
}
