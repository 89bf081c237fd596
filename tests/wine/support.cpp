#include "support.h"

#include <aclapi.h>

#include <cstdio>

bool WaitUntil(const std::function<bool()>& cond, DWORD timeoutMs) {
  const ULONGLONG end = ::GetTickCount64() + timeoutMs;
  for (;;) {
    if (cond()) return true;
    if (::GetTickCount64() >= end) return cond();
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageA(&msg);
    }
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
  }
}

std::string WinPath(const std::string& unixPath) {
  std::string path = "Z:" + unixPath;
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}

std::string UniqueName(const char* stem) {
  char name[96];
  std::snprintf(name, sizeof name, "%s_%lu_%llu", stem, ::GetCurrentProcessId(),
                static_cast<unsigned long long>(::GetTickCount64()));
  return name;
}

bool WindowsIs64Bit() {
  SYSTEM_INFO info{};
  ::GetNativeSystemInfo(&info);
  return info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64;
}

ChildProcess::~ChildProcess() {
  if (m_pi.hProcess) {
    if (Running()) {
      ::TerminateProcess(m_pi.hProcess, 1);
      ::WaitForSingleObject(m_pi.hProcess, 10000);
    }
    ::CloseHandle(m_pi.hProcess);
    ::CloseHandle(m_pi.hThread);
  }
}

namespace {
// A program Wine could not start fails the test that needed it, with the
// reason: 1359 (ERROR_INTERNAL_ERROR) is a process that ended before any of
// its own code ran.
bool Started(BOOL created) {
  if (!created) std::fprintf(stderr, "the program did not start: %lu\n", ::GetLastError());
  return created != FALSE;
}
}  // namespace

SessionToken::SessionToken(Half half) {
  HANDLE own = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY | TOKEN_DUPLICATE, &own)) return;
  TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
  DWORD size = 0;
  ::GetTokenInformation(own, TokenElevationType, &type, sizeof type, &size);
  const TOKEN_ELEVATION_TYPE wanted = half == kLimited ? TokenElevationTypeLimited : TokenElevationTypeFull;
  TOKEN_LINKED_TOKEN linked{};
  if (type == wanted) {
    ::DuplicateTokenEx(own, TOKEN_ALL_ACCESS, nullptr, SecurityImpersonation, TokenPrimary, &m_token);
  } else if (type != TokenElevationTypeDefault &&
             ::GetTokenInformation(own, TokenLinkedToken, &linked, sizeof linked, &size)) {
    ::DuplicateTokenEx(linked.LinkedToken, TOKEN_ALL_ACCESS, nullptr, SecurityImpersonation, TokenPrimary, &m_token);
    ::CloseHandle(linked.LinkedToken);
  }
  ::CloseHandle(own);
}

SessionToken::~SessionToken() {
  if (m_token) ::CloseHandle(m_token);
}

namespace {
// The token a start without one gets: null (this process's own) where the
// system has no pair.
HANDLE FullToken() {
  static const SessionToken full(SessionToken::kFull);
  return full.get();
}
}  // namespace

bool ChildProcess::Start(const std::string& exe, const std::string& commandLine, const std::string& cwd, HANDLE token,
                         HANDLE job) {
  STARTUPINFOA si{};
  si.cb = sizeof si;
  std::string cmd = commandLine;
  const DWORD flags = job ? CREATE_SUSPENDED : 0;
  const char* dir = cwd.empty() ? nullptr : cwd.c_str();
  if (token == nullptr) token = FullToken();
  const BOOL created =
      token ? ::CreateProcessAsUserA(token, exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, flags, nullptr, dir, &si,
                                     &m_pi)
            : ::CreateProcessA(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, flags, nullptr, dir, &si, &m_pi);
  if (!Started(created)) return false;
  if (job && (!::AssignProcessToJobObject(job, m_pi.hProcess) || ::ResumeThread(m_pi.hThread) == DWORD(-1))) {
    std::fprintf(stderr, "the program could not be put in its job: %lu\n", ::GetLastError());
    return false;
  }
  return true;
}

bool ChildProcess::Start(const std::wstring& exe, const std::wstring& commandLine, const std::wstring& cwd) {
  STARTUPINFOW si{};
  si.cb = sizeof si;
  std::wstring cmd = commandLine;
  const wchar_t* dir = cwd.empty() ? nullptr : cwd.c_str();
  return Started(FullToken() ? ::CreateProcessAsUserW(FullToken(), exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0,
                                                      nullptr, dir, &si, &m_pi)
                             : ::CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, dir, &si,
                                                &m_pi));
}

bool ChildProcess::WaitExit(DWORD timeoutMs) {
  return WaitUntil([&] { return !Running(); }, timeoutMs);
}

DWORD ChildProcess::ExitCode() const {
  DWORD code = STILL_ACTIVE;
  ::GetExitCodeProcess(m_pi.hProcess, &code);
  return code;
}

bool ChildProcess::Running() const { return m_pi.hProcess && ::WaitForSingleObject(m_pi.hProcess, 0) == WAIT_TIMEOUT; }

namespace {
struct EnumState {
  DWORD pid;
  const char* className;
  std::vector<HWND> found;
};
BOOL CALLBACK CollectWindow(HWND hwnd, LPARAM param) {
  auto* state = reinterpret_cast<EnumState*>(param);
  DWORD pid = 0;
  ::GetWindowThreadProcessId(hwnd, &pid);
  if (pid != state->pid) return TRUE;
  char cls[64] = "";
  ::GetClassNameA(hwnd, cls, sizeof cls);
  if (state->className == nullptr || lstrcmpA(cls, state->className) == 0) state->found.push_back(hwnd);
  return TRUE;
}
}  // namespace

std::vector<HWND> TopWindows(DWORD pid, const char* className) {
  EnumState state{pid, className, {}};
  ::EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&state));
  return state.found;
}

bool EndsWithoutShowingWindow(const ChildProcess& p) {
  bool sawWindow = false;
  const bool ended = WaitUntil([&] {
    for (HWND hwnd : TopWindows(p.Id()))
      if (::IsWindowVisible(hwnd)) sawWindow = true;
    return !p.Running();
  });
  return ended && !sawWindow;
}

namespace {
// -1 when the run went wrong in a way no exit code shows; what went wrong
// goes to stderr, so that a failing test names it.
long RunToEndWithoutAnyWindow(const ChildProcess& p) {
  std::string window;  // the first window seen: its class and text
  const bool ended = WaitUntil([&] {
    const std::vector<HWND> windows = TopWindows(p.Id());
    if (window.empty() && !windows.empty()) {
      char cls[64] = "";
      ::GetClassNameA(windows.front(), cls, sizeof cls);
      window = std::string(cls) + " \"" + WindowText(windows.front()) + "\"";
    }
    return !p.Running();
  });
  if (!window.empty()) std::fprintf(stderr, "the program made a window: %s\n", window.c_str());
  if (!ended) std::fprintf(stderr, "the program did not end\n");
  return ended && window.empty() ? static_cast<long>(p.ExitCode()) : -1;
}
}  // namespace

long RunWithoutAnyWindow(const std::string& exe, const std::string& commandLine, const std::string& cwd, HANDLE token) {
  ChildProcess p;
  return p.Start(exe, commandLine, cwd, token) ? RunToEndWithoutAnyWindow(p) : -1;
}

long RunWithoutAnyWindow(const std::wstring& exe, const std::wstring& commandLine, const std::wstring& cwd) {
  ChildProcess p;
  return p.Start(exe, commandLine, cwd) ? RunToEndWithoutAnyWindow(p) : -1;
}

std::string WindowText(HWND hwnd) {
  char text[1024] = "";
  ::SendMessageTimeoutA(hwnd, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000, nullptr);
  return text;
}

HWND WaitForDialog(DWORD pid, const char* caption, DWORD timeoutMs) {
  HWND found = nullptr;
  WaitUntil(
      [&] {
        for (HWND hwnd : TopWindows(pid, "#32770"))
          if (::IsWindowVisible(hwnd) && WindowText(hwnd) == caption) found = hwnd;
        return found != nullptr;
      },
      timeoutMs);
  return found;
}

HWND WaitForMessageBox(DWORD pid, const char* caption, HWND except, DWORD timeoutMs) {
  HWND found = nullptr;
  WaitUntil(
      [&] {
        for (HWND hwnd : TopWindows(pid, "#32770"))
          if (hwnd != except && ::IsWindowVisible(hwnd) && WindowText(hwnd) == caption &&
              ::GetDlgItem(hwnd, 0xFFFF) != nullptr)
            found = hwnd;
        return found != nullptr;
      },
      timeoutMs);
  return found;
}

std::string MessageBoxText(HWND box) { return WindowText(::GetDlgItem(box, 0xFFFF)); }

void PressOk(HWND box) { ::PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0); }

std::string ReadMessageBoxAndPressOk(DWORD pid, const char* caption, const char* until) {
  HWND box = WaitForMessageBox(pid, caption);
  if (box == nullptr) return "";
  // The box's controls can exist before their text does.
  std::string text;
  WaitUntil([&] { return (text = MessageBoxText(box)).find(until) != std::string::npos; });
  PressOk(box);
  return text;
}

void PostClick(HWND dialog, int id) {
  ::PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)));
}

void SelectComboEntry(HWND dialog, int id, int index) {
  HWND combo = ::GetDlgItem(dialog, id);
  ::SendMessageA(combo, CB_SETCURSEL, index, 0);
  ::SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
}

std::string ComboText(HWND dialog, int id, int index) { return ComboEntryText(dialog, id, index); }

bool SetRaw(HKEY root, const std::string& path, const char* name, DWORD type, const void* data, DWORD size,
            REGSAM view) {
  HKEY key = nullptr;
  if (::RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE | view, nullptr, &key, nullptr) !=
      ERROR_SUCCESS)
    return false;
  const bool ok = ::RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size) == ERROR_SUCCESS;
  ::RegCloseKey(key);
  return ok;
}

bool SetDword(HKEY root, const std::string& path, const char* name, DWORD value, REGSAM view) {
  return SetRaw(root, path, name, REG_DWORD, &value, sizeof value, view);
}

bool SetString(HKEY root, const std::string& path, const char* name, const std::string& value, REGSAM view) {
  return SetRaw(root, path, name, REG_SZ, value.c_str(), static_cast<DWORD>(value.size() + 1), view);
}

bool KeyExists(HKEY root, const std::string& path, REGSAM view) {
  HKEY key = nullptr;
  if (::RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return false;
  ::RegCloseKey(key);
  return true;
}

bool ReadValue(HKEY root, const std::string& path, const char* name, std::string& data, DWORD* type, REGSAM view) {
  HKEY key = nullptr;
  if (::RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return false;
  DWORD size = 0;
  LONG rc = ::RegQueryValueExA(key, name, nullptr, type, nullptr, &size);
  if (rc == ERROR_SUCCESS) {
    data.assign(size, '\0');
    rc = ::RegQueryValueExA(key, name, nullptr, type, reinterpret_cast<BYTE*>(data.data()), &size);
    data.resize(size);
  }
  ::RegCloseKey(key);
  return rc == ERROR_SUCCESS;
}

void DeleteValue(HKEY root, const std::string& path, const char* name, REGSAM view) {
  HKEY key = nullptr;
  if (::RegOpenKeyExA(root, path.c_str(), 0, KEY_SET_VALUE | view, &key) != ERROR_SUCCESS) return;
  ::RegDeleteValueA(key, name);
  ::RegCloseKey(key);
}

void DeleteTree(HKEY root, const std::string& path, REGSAM view) {
  HKEY key = nullptr;
  if (::RegOpenKeyExA(root, path.c_str(), 0, KEY_ALL_ACCESS | view, &key) != ERROR_SUCCESS) return;
  ::RegDeleteTreeA(key, nullptr);
  ::RegCloseKey(key);
  ::RegDeleteKeyExA(root, path.c_str(), view, 0);
}

std::string ReadFileBytes(const std::string& path) {
  std::string bytes;
  HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return bytes;
  char buffer[65536];
  DWORD read = 0;
  while (::ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) bytes.append(buffer, read);
  ::CloseHandle(file);
  return bytes;
}

bool WriteFileBytes(const std::string& path, const std::string& bytes) {
  HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok =
      ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) && written == bytes.size();
  ::CloseHandle(file);
  return ok;
}

bool FileExists(const std::string& path) { return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

namespace {
const char kSessionManagerKey[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
}  // namespace

std::wstring PendingOperations() {
  std::wstring list;
  HKEY key = nullptr;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManagerKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return list;
  DWORD size = 0;
  if (::RegQueryValueExW(key, L"PendingFileRenameOperations", nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS) {
    list.resize(size / sizeof(wchar_t));
    if (::RegQueryValueExW(key, L"PendingFileRenameOperations", nullptr, nullptr, reinterpret_cast<BYTE*>(list.data()),
                           &size) != ERROR_SUCCESS)
      list.clear();
  }
  ::RegCloseKey(key);
  return list;
}

bool PendingDeletion(const std::string& path) {
  wchar_t wide[MAX_PATH] = L"";
  ::MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
  return PendingOperations().find(L"\\??\\" + std::wstring(wide) + std::wstring(2, L'\0')) != std::wstring::npos;
}

void RestorePendingOperations(const std::wstring& list) {
  HKEY key = nullptr;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManagerKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
  if (list.empty())
    ::RegDeleteValueW(key, L"PendingFileRenameOperations");
  else
    ::RegSetValueExW(key, L"PendingFileRenameOperations", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(list.data()),
                     static_cast<DWORD>(list.size() * sizeof(wchar_t)));
  ::RegCloseKey(key);
}

bool RunRestartStep() {
  BOOL wow64 = FALSE;
  char windows[MAX_PATH] = "";
  if (!::IsWow64Process(::GetCurrentProcess(), &wow64) || ::GetWindowsDirectoryA(windows, MAX_PATH) == 0) return false;
  const std::string wineboot = std::string(windows) + (wow64 ? "\\sysnative" : "\\system32") + "\\wineboot.exe";
  ChildProcess restart;
  return restart.Start(wineboot, "\"" + wineboot + "\" -r") && restart.WaitExit();
}

std::string ComboEntryText(HWND dialog, int id, int index) {
  HWND combo = ::GetDlgItem(dialog, id);
  const LRESULT length = ::SendMessageW(combo, CB_GETLBTEXTLEN, index, 0);
  if (length == CB_ERR) return "<none>";
  std::wstring wide(static_cast<size_t>(length) + 1, L'\0');
  ::SendMessageW(combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(wide.data()));
  char text[512] = "";
  ::WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, text, sizeof text, nullptr, nullptr);
  return text;
}

bool DenyKeyRights(const std::string& path, DWORD deniedRights, REGSAM view) {
  HKEY key = nullptr;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, WRITE_DAC | view, &key) != ERROR_SUCCESS) return false;
  PACL acl = nullptr;  // no list: everyone may do everything
  if (deniedRights != 0) {
    EXPLICIT_ACCESS_A deny{};
    deny.grfAccessPermissions = deniedRights;
    deny.grfAccessMode = DENY_ACCESS;
    deny.grfInheritance = NO_INHERITANCE;
    deny.Trustee.TrusteeForm = TRUSTEE_IS_NAME;
    deny.Trustee.ptstrName = const_cast<char*>("EVERYONE");
    ::SetEntriesInAclA(1, &deny, nullptr, &acl);
  }
  SECURITY_DESCRIPTOR sd;
  ::InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION);
  ::SetSecurityDescriptorDacl(&sd, TRUE, acl, FALSE);
  const bool ok = ::RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &sd) == ERROR_SUCCESS;
  ::RegCloseKey(key);
  if (acl != nullptr) ::LocalFree(acl);
  return ok;
}
