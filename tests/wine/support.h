// Helpers for tests that run on Wine: bounded polls, child processes driven
// from outside through window messages, and registry fixtures.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// Polls cond every few milliseconds, handling this thread's messages
// meanwhile, until it holds or timeoutMs has passed.
bool WaitUntil(const std::function<bool()>& cond, DWORD timeoutMs = 15000);

// The Windows path of a file of the build tree (Wine's drive Z: is the root).
std::string WinPath(const std::string& unixPath);

// A unique name for this test run's files and keys.
std::string UniqueName(const char* stem);

// Whether the Windows under test is 64-bit (its native architecture), which
// the lane decides and not the build of this test.
bool WindowsIs64Bit();

// The two halves of an administrator's token under User Account Control, as
// primary tokens: the limited one a double-click gets, and the full one
// "Run as administrator" gets. Wine 8 starts every process with the full
// half, Wine 10 with the limited one; either way the other half is the
// linked token. Owns it; null where the system has no such pair.
class SessionToken {
 public:
  enum Half { kLimited, kFull };
  explicit SessionToken(Half half);
  SessionToken(const SessionToken&) = delete;
  SessionToken& operator=(const SessionToken&) = delete;
  ~SessionToken();
  HANDLE get() const { return m_token; }

 private:
  HANDLE m_token = nullptr;
};

struct LimitedToken : SessionToken {
  LimitedToken() : SessionToken(kLimited) {}
};

class ChildProcess {
 public:
  ChildProcess() = default;
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  ~ChildProcess();  // terminates the process if it still runs

  // commandLine includes the program; cwd empty for the test's own. With a
  // token, the process runs with it (CreateProcessAsUser); without one, with
  // the full token, as an administrator's "Run as administrator" start
  // would. With a job, it is in the job before its first instruction.
  bool Start(const std::string& exe, const std::string& commandLine, const std::string& cwd = "",
             HANDLE token = nullptr, HANDLE job = nullptr);
  // The same through CreateProcessW, for text the code page cannot spell.
  bool Start(const std::wstring& exe, const std::wstring& commandLine, const std::wstring& cwd = L"");
  bool WaitExit(DWORD timeoutMs = 15000);
  bool Running() const;
  // The exit code of an ended process (STILL_ACTIVE while it runs).
  DWORD ExitCode() const;
  DWORD Id() const { return m_pi.dwProcessId; }
  DWORD ThreadId() const { return m_pi.dwThreadId; }
  HANDLE Handle() const { return m_pi.hProcess; }

 private:
  PROCESS_INFORMATION m_pi{};
};

// Waits, bounded, for the process to end; true when it ended without ever
// showing a top-level window meanwhile.
bool EndsWithoutShowingWindow(const ChildProcess& p);

// Runs the program to its end; its exit code, or -1 when it did not end in
// time or had a top-level window of any kind, shown or not, meanwhile.
long RunWithoutAnyWindow(const std::string& exe, const std::string& commandLine, const std::string& cwd = "",
                         HANDLE token = nullptr);
long RunWithoutAnyWindow(const std::wstring& exe, const std::wstring& commandLine, const std::wstring& cwd = L"");

// Top-level windows of a process, of a window class (or any when null).
std::vector<HWND> TopWindows(DWORD pid, const char* className = nullptr);
// The first visible top-level dialog of the process with that caption.
HWND WaitForDialog(DWORD pid, const char* caption, DWORD timeoutMs = 15000);
std::string WindowText(HWND hwnd);

// A message box of the process with that caption other than `except`; its
// text, and a press of its OK button.
HWND WaitForMessageBox(DWORD pid, const char* caption, HWND except = nullptr, DWORD timeoutMs = 30000);
std::string MessageBoxText(HWND box);
void PressOk(HWND box);
// The text of the process's message box with that caption once it reads
// `until`, after which OK is pressed; what it read, or empty with no box.
std::string ReadMessageBoxAndPressOk(DWORD pid, const char* caption, const char* until);
// A failure box's first line, the program's own words; its reason follows
// after a blank line.
inline std::string Headline(const std::string& box) { return box.substr(0, box.find('\n')); }
inline bool HasReason(const std::string& box) {
  return box.find("\n\n") != std::string::npos && box.size() > Headline(box).size() + 2;
}

// Posts a click of a dialog button (a handler that shows a modal box must not
// be sent, or the test would wait inside it).
void PostClick(HWND dialog, int id);
// Selects a combo-box entry as the user would, with the change notification.
void SelectComboEntry(HWND dialog, int id, int index);
std::string ComboText(HWND dialog, int id, int index);

// Registry fixtures, in the registry view of this process unless told otherwise.
bool SetDword(HKEY root, const std::string& path, const char* name, DWORD value, REGSAM view = 0);
bool SetString(HKEY root, const std::string& path, const char* name, const std::string& value, REGSAM view = 0);
bool SetRaw(HKEY root, const std::string& path, const char* name, DWORD type, const void* data, DWORD size,
            REGSAM view = 0);
bool KeyExists(HKEY root, const std::string& path, REGSAM view = 0);
// The value's data and type; false when it cannot be read.
bool ReadValue(HKEY root, const std::string& path, const char* name, std::string& data, DWORD* type = nullptr,
               REGSAM view = 0);
void DeleteValue(HKEY root, const std::string& path, const char* name, REGSAM view = 0);
void DeleteTree(HKEY root, const std::string& path, REGSAM view = 0);
// Gives the key of HKEY_LOCAL_MACHINE an access list that denies everyone
// these rights, or with none, one that allows everyone everything.
bool DenyKeyRights(const std::string& path, DWORD deniedRights, REGSAM view = 0);

// Files.
std::string ReadFileBytes(const std::string& path);
bool WriteFileBytes(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);

// The system's list of files to rename or delete at the next restart.
std::wstring PendingOperations();
// Whether that list deletes the file.
bool PendingDeletion(const std::string& path);
// Puts the list back as PendingOperations read it (none when empty).
void RestorePendingOperations(const std::wstring& list);
// Wine's restart step (the native wineboot -r), which works through the
// list; true once it has ended.
bool RunRestartStep();

// A combo-box entry's text as the system code page spells it, read through
// the wide message so that a list in another process comes back whole.
std::string ComboEntryText(HWND dialog, int id, int index);
