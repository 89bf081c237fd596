// How long the installer keeps its user waiting: StopAnimation, measured in
// process next to the least a signalled thread stop can cost, and the Install
// and Delete runs of the real program from click to message box.
#include <windows.h>
#include <winspool.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bench.h"
#include "dialog.h"
#include "package.h"
#include "support.h"

double Now() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    ::QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER t;
  ::QueryPerformanceCounter(&t);
  return 1000.0 * static_cast<double>(t.QuadPart) / static_cast<double>(frequency.QuadPart);
}

Summary Summarise(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return {values[values.size() / 2], values.back()};
}

void Row(const char* what, size_t runs, const Summary& s) {
  std::printf("| %-52s | %4zu | %9.2f | %9.2f |\n", what, runs, s.median, s.max);
}

namespace {

class HostedDialog : public CPLOTINSTDlg {
 public:
  using CPLOTINSTDlg::m_frameBusy;
  using CPLOTINSTDlg::m_removing;
};

}  // namespace

// StopAnimation at points spread over the frame pause.
std::vector<double> StopLatencies(int runs) {
  HostedDialog dialog;
  dialog.Create();
  std::vector<double> ms;
  for (int i = 0; i < runs; ++i) {
    dialog.m_removing = i % 2;
    dialog.StartAnimation();
    const double drawn = Now();
    WaitUntil([&] { return Now() - drawn >= (i * 37) % 300; }, 1000);
    const double t0 = Now();
    dialog.StopAnimation();
    ms.push_back(Now() - t0);
  }
  return ms;
}

DWORD WINAPI PauseOnEvent(LPVOID e) { return ::WaitForSingleObject(static_cast<HANDLE>(e), 300); }

// The floor: a thread pausing on an event, signalled and joined.
std::vector<double> BareThreadStops(int runs) {
  std::vector<double> ms;
  for (int i = 0; i < runs; ++i) {
    HANDLE stop = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = ::CreateThread(nullptr, 0, PauseOnEvent, stop, 0, nullptr);
    ::Sleep(static_cast<DWORD>((i * 37) % 300 / 10));
    const double t0 = Now();
    ::SetEvent(stop);
    ::WaitForSingleObject(thread, INFINITE);
    ms.push_back(Now() - t0);
    ::CloseHandle(thread);
    ::CloseHandle(stop);
  }
  return ms;
}

namespace {
const char kPortsKey[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Ports";
const char kBenchPort[] = "COM89:";
const char* const kPackages[3] = {"Data1.CAB", "Data2.CAB", "Data3.CAB"};
}  // namespace

// Install and Delete of the real program, click to message box, in a
// working folder holding a package of driver-sized files.
bool InstallAndDeleteTimes(int runs, std::vector<double>& install, std::vector<double>& remove) {
  char temp[MAX_PATH];
  ::GetTempPathA(sizeof temp, temp);
  const std::string work = std::string(temp) + UniqueName("bench");
  ::CreateDirectoryA(work.c_str(), nullptr);
  const size_t sizes[3] = {180000, 120000, 9000};
  for (int i = 0; i < 3; ++i) {
    std::string bytes(sizes[i], '\0');
    for (size_t j = 0; j < bytes.size(); ++j) bytes[j] = static_cast<char>(j * 7 + i);
    ScrambleBytes(reinterpret_cast<unsigned char*>(bytes.data()), bytes.size());
    WriteFileBytes(work + "\\" + kPackages[i], bytes);
  }
  SetString(HKEY_LOCAL_MACHINE, kPortsKey, kBenchPort, "");

  const std::string exe = WinPath(PLOTINST_EXE_UNIX);
  ChildProcess process;
  bool ok = process.Start(exe, "\"" + exe + "\"", work);
  HWND dialog = ok ? WaitForDialog(process.Id(), "MarloCutterSetup32(V1.0)") : nullptr;
  ok = dialog != nullptr;
  int port = -1;
  for (int i = 0; ok && port < 0; ++i) {
    const std::string entry = ComboEntryText(dialog, 1006, i);
    if (entry == "<none>") ok = false;
    if (entry == kBenchPort) port = i;
  }
  if (ok) SelectComboEntry(dialog, 1006, port);

  auto timed = [&](int button, const char* expected, std::vector<double>& into) {
    const double t0 = Now();
    PostClick(dialog, button);
    HWND box = WaitForMessageBox(process.Id(), "PLOTINST", dialog);
    const double t1 = Now();
    if (box == nullptr || MessageBoxText(box) != expected) return false;
    into.push_back(t1 - t0);
    PressOk(box);
    WaitUntil([&] { return !::IsWindow(box); });
    // The buttons are refreshed after the box; wait for the other button.
    const int other = button == 1000 ? 1001 : 1000;
    return WaitUntil([&] { return ::IsWindowEnabled(::GetDlgItem(dialog, other)) != FALSE; });
  };
  for (int i = 0; ok && i < runs; ++i)
    ok = timed(1000, "Install success!", install) && timed(1001, "Delete success!", remove);
  if (dialog) ::PostMessageA(dialog, WM_CLOSE, 0, 0);
  process.WaitExit();

  // Nothing of the runs stays behind, whatever happened.
  HANDLE printer = nullptr;
  PRINTER_DEFAULTSA all{nullptr, nullptr, PRINTER_ALL_ACCESS};
  if (::OpenPrinterA(const_cast<char*>("Marlo Cutter"), &printer, &all)) {
    ::DeletePrinter(printer);
    ::ClosePrinter(printer);
  }
  ::DeletePrinterDriverA(nullptr, const_cast<char*>("Windows x64"), const_cast<char*>("Marlo Cutter"));
  ::DeletePrinterDriverA(nullptr, const_cast<char*>("Windows NT x86"), const_cast<char*>("Marlo Cutter"));
  DeleteValue(HKEY_LOCAL_MACHINE, kPortsKey, kBenchPort);
  for (const char* name : kPackages) ::DeleteFileA((work + "\\" + name).c_str());
  ::RemoveDirectoryA(work.c_str());
  return ok;
}

