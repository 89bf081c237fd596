// From process start to a dialog the user can work with, for both programs
// and for the floor (the least a dialog program can take), started in turn
// so that all three meet the same machine; and each program's peak working
// set while its dialog is open.
#include <windows.h>
#include <psapi.h>

#include <string>

#include "bench.h"
#include "support.h"

namespace {

constexpr int IDC_PORT = 1006;
constexpr int kHostBox = 1011;  // the 32-bit edition 17
const char kHostKey[] = "SOFTWARE\\Wow6432Node\\Corel\\CorelDraw\\17.0";

// The process's visible dialog with that caption, or null.
HWND VisibleDialog(DWORD pid, const char* caption) {
  for (HWND hwnd : TopWindows(pid, "#32770"))
    if (::IsWindowVisible(hwnd) && WindowText(hwnd) == caption) return hwnd;
  return nullptr;
}

bool Checked(HWND dialog, int id) {
  return ::SendMessageA(::GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

double PeakWorkingSetKiB(HANDLE process) {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  if (!::GetProcessMemoryInfo(process, &counters, sizeof counters)) return -1;
  return static_cast<double>(counters.PeakWorkingSetSize) / 1024.0;
}

// Starts the program and polls, with millisecond pauses and no message
// handling of its own, until its dialog is ready. The working set is read
// after the dialog has had a moment to paint.
template <class Ready>
bool TimedStart(const std::string& exe, const char* args, const std::string& cwd, const char* caption, Ready ready,
                std::vector<double>& ms, std::vector<double>& kib) {
  ChildProcess p;
  const double t0 = Now();
  if (!p.Start(exe, "\"" + exe + "\" " + args, cwd)) return false;
  HWND dialog = nullptr;
  while (Now() - t0 < 15000) {
    dialog = VisibleDialog(p.Id(), caption);
    if (dialog != nullptr && ready(dialog)) break;
    ::Sleep(1);
  }
  const double t1 = Now();
  const bool up = dialog != nullptr && ready(dialog);
  if (up) {
    ms.push_back(t1 - t0);
    ::Sleep(300);
    kib.push_back(PeakWorkingSetKiB(p.Handle()));
  }
  if (dialog != nullptr) ::PostMessageA(dialog, WM_CLOSE, 0, 0);
  return p.WaitExit() && up;
}

}  // namespace

bool StartupTimes(int runs, StartupRuns& out) {
  char temp[MAX_PATH];
  ::GetTempPathA(sizeof temp, temp);
  const std::string work = std::string(temp) + UniqueName("startup");
  ::CreateDirectoryA(work.c_str(), nullptr);
  // One registered edition, so that the deployer's scan has a box to tick.
  SetString(HKEY_LOCAL_MACHINE, kHostKey, "ConfigDir", work + "\\Config", KEY_WOW64_64KEY);

  const std::string floor = WinPath(FLOOR_EXE_UNIX);
  const std::string installer = WinPath(PLOTINST_EXE_UNIX);
  const std::string deployer = WinPath(ADDONDEPLOY_EXE_UNIX);
  auto shown = [](HWND) { return true; };  // everything is set before a dialog shows
  auto ported = [](HWND d) { return ::SendMessageA(::GetDlgItem(d, IDC_PORT), CB_GETCOUNT, 0, 0) > 0; };
  auto scanned = [](HWND d) { return Checked(d, kHostBox); };

  bool ok = true;
  StartupRuns warmUp;
  // The first start of each loads its DLLs from disk; it is not counted.
  for (int i = -1; ok && i < runs; ++i) {
    StartupRuns& into = i < 0 ? warmUp : out;
    std::vector<double> unusedKiB;
    ok = TimedStart(floor, "", work, "Floor", shown, into.floor, into.floorKiB) &&
         TimedStart(floor, "spooler", work, "Floor", ported, into.floorSpooler, unusedKiB) &&
         TimedStart(installer, "", work, "MarloCutterSetup32(V1.0)", ported, into.installer, into.installerKiB) &&
         TimedStart(deployer, "", work, "AddonDeploy", scanned, into.deployer, into.deployerKiB);
  }
  DeleteTree(HKEY_LOCAL_MACHINE, kHostKey, KEY_WOW64_64KEY);
  ::RemoveDirectoryA(work.c_str());
  return ok;
}
