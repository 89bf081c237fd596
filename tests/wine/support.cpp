#include "support.h"

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

bool ChildProcess::Start(const std::string& exe, const std::string& commandLine, const std::string& cwd) {
  STARTUPINFOA si{};
  si.cb = sizeof si;
  std::string cmd = commandLine;
  return ::CreateProcessA(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          cwd.empty() ? nullptr : cwd.c_str(), &si, &m_pi) != FALSE;
}

bool ChildProcess::WaitExit(DWORD timeoutMs) {
  return WaitUntil([&] { return !Running(); }, timeoutMs);
}

bool ChildProcess::Running() const {
  return m_pi.hProcess && ::WaitForSingleObject(m_pi.hProcess, 0) == WAIT_TIMEOUT;
}

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

std::string WindowText(HWND hwnd) {
  char text[1024] = "";
  ::SendMessageTimeoutA(hwnd, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000,
                        nullptr);
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

void PostClick(HWND dialog, int id) {
  ::PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)));
}

void SelectComboEntry(HWND dialog, int id, int index) {
  HWND combo = ::GetDlgItem(dialog, id);
  ::SendMessageA(combo, CB_SETCURSEL, index, 0);
  ::SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
}

std::string ComboText(HWND dialog, int id, int index) { return ComboEntryText(dialog, id, index); }

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
