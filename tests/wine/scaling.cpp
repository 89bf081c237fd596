#include "scaling.h"

#include "handles.h"
#include "support.h"

namespace {
const char kDesktopKey[] = "Control Panel\\Desktop";
// Wine 10 keeps each display's own scaling, the "Dpi" of its source key
// (Video\{gpu}\Sources\{source}), and a new process takes it for its
// monitor's: with LogPixels alone, a program there runs at the new scaling
// on a monitor still at the old one and is shown shrunk, as Windows shows a
// program whose scaling is not its monitor's. Wine 8 keeps no such value.
const char kVideoKey[] =
    "System\\CurrentControlSet\\Hardware Profiles\\Current\\System\\CurrentControlSet\\Control\\Video";

std::vector<std::string> Subkeys(const std::string& path) {
  std::vector<std::string> names;
  UniqueHKey key;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_ENUMERATE_SUB_KEYS, key.put()) != ERROR_SUCCESS)
    return names;
  char name[256];
  for (DWORD i = 0, size = sizeof name;
       ::RegEnumKeyExA(key.get(), i, name, &size, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
       ++i, size = sizeof name)
    names.push_back(path + "\\" + name);
  return names;
}
}  // namespace

ScopedLogPixels::ScopedLogPixels(DWORD dpi) {
  m_had = ReadValue(HKEY_CURRENT_USER, kDesktopKey, "LogPixels", m_saved);
  SetDword(HKEY_CURRENT_USER, kDesktopKey, "LogPixels", dpi);
  for (const std::string& gpu : Subkeys(kVideoKey))
    for (const std::string& source : Subkeys(gpu + "\\Sources")) {
      std::string saved;
      DWORD type = 0;
      if (!ReadValue(HKEY_LOCAL_MACHINE, source, "Dpi", saved, &type) || type != REG_DWORD) continue;
      m_displays.emplace_back(source, saved);
      SetDword(HKEY_LOCAL_MACHINE, source, "Dpi", dpi);
    }
}

ScopedLogPixels::~ScopedLogPixels() {
  for (const auto& [source, saved] : m_displays)
    SetRaw(HKEY_LOCAL_MACHINE, source, "Dpi", REG_DWORD, saved.data(), static_cast<DWORD>(saved.size()));
  if (m_had)
    SetRaw(HKEY_CURRENT_USER, kDesktopKey, "LogPixels", REG_DWORD, m_saved.data(), static_cast<DWORD>(m_saved.size()));
  else
    DeleteValue(HKEY_CURRENT_USER, kDesktopKey, "LogPixels");
}

namespace {
const wchar_t kReplacementsKey[] = L"Software\\Wine\\Fonts\\Replacements";
const wchar_t kSong[] = L"\u5b8b\u4f53";  // the installer's dialog font
}  // namespace

ScopedNoSongReplacement::ScopedNoSongReplacement() {
  UniqueHKey key;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, kReplacementsKey, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, key.put()) !=
      ERROR_SUCCESS)
    return;
  wchar_t face[256] = L"";
  DWORD size = sizeof face - sizeof(wchar_t), type = 0;
  const LONG rc = ::RegQueryValueExW(key.get(), kSong, nullptr, &type, reinterpret_cast<BYTE*>(face), &size);
  // What could not be read whole could not be put back: it stays.
  if (rc != ERROR_SUCCESS || type != REG_SZ) return;
  m_had = true;
  m_saved = face;
  ::RegDeleteValueW(key.get(), kSong);
}

ScopedNoSongReplacement::~ScopedNoSongReplacement() {
  UniqueHKey key;
  if (!m_had || ::RegOpenKeyExW(HKEY_CURRENT_USER, kReplacementsKey, 0, KEY_SET_VALUE, key.put()) != ERROR_SUCCESS)
    return;
  ::RegSetValueExW(key.get(), kSong, 0, REG_SZ, reinterpret_cast<const BYTE*>(m_saved.c_str()),
                   static_cast<DWORD>((m_saved.size() + 1) * sizeof(wchar_t)));
}

int SystemDpi() {
  HDC screen = ::GetDC(nullptr);
  const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
  ::ReleaseDC(nullptr, screen);
  return dpi;
}

bool SongReplaced() {
  UniqueHKey key;
  return ::RegOpenKeyExW(HKEY_CURRENT_USER, kReplacementsKey, 0, KEY_QUERY_VALUE, key.put()) == ERROR_SUCCESS &&
         ::RegQueryValueExW(key.get(), kSong, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
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
