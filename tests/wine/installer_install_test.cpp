// Install and Delete end to end: the real installer driven from outside,
// checked against Wine's spooler, registry and driver directory.
#include <gtest/gtest.h>
#include <windows.h>
#include <winspool.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "failed_import.h"
#include "handles.h"
#include "installer_fixture.h"
#include "package.h"
#include "process_resources.h"
#include "scaling.h"
#include "screen.h"
#include "snapshot.h"
#include "support.h"

using namespace installer_test;

namespace {

const char kPortsKey[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Ports";
// What registration writes.
const char kAppIdExeKey[] = "AppID\\PLOTINST.EXE";
const char kPrinterKey[] = "System\\CurrentControlSet\\Control\\Print\\Printers\\Marlo Cutter";

// Ports this test adds to the spooler's list, named so that no other test uses them.
const char kComPort[] = "COM87:";
const char kUsbPort[] = "USB087";

struct PrinterFacts {
  bool exists = false;
  std::string port, driver, processor, datatype;
  DWORD modeType = 0;
  std::string modeNo;
};

PrinterFacts ReadPrinter() {
  PrinterFacts facts;
  HANDLE printer = nullptr;
  if (!::OpenPrinterA(const_cast<char*>(kModel), &printer, nullptr)) return facts;
  facts.exists = true;
  DWORD needed = 0;
  ::GetPrinterA(printer, 2, nullptr, 0, &needed);
  std::vector<BYTE> buffer(needed + 1);
  if (::GetPrinterA(printer, 2, buffer.data(), needed, &needed)) {
    const auto* info = reinterpret_cast<const PRINTER_INFO_2A*>(buffer.data());
    facts.port = info->pPortName ? info->pPortName : "";
    facts.driver = info->pDriverName ? info->pDriverName : "";
    facts.processor = info->pPrintProcessor ? info->pPrintProcessor : "";
    facts.datatype = info->pDatatype ? info->pDatatype : "";
  }
  BYTE data[16];
  DWORD size = 0;
  if (::GetPrinterDataA(printer, const_cast<char*>("ModeNo"), &facts.modeType, data, sizeof data, &size) ==
      ERROR_SUCCESS)
    facts.modeNo.assign(reinterpret_cast<char*>(data), size);
  ::ClosePrinter(printer);
  return facts;
}

enum class State { Installed, NotInstalled };

// The control state the dialog shows for an installed or a missing driver.
bool Shows(HWND dialog, State state) {
  const bool installed = state == State::Installed;
  return ::IsWindowEnabled(::GetDlgItem(dialog, IDC_INSTALL)) == !installed &&
         ::IsWindowEnabled(::GetDlgItem(dialog, IDC_DELETE)) == installed &&
         ::IsWindowEnabled(::GetDlgItem(dialog, IDC_PORT)) == !installed &&
         ::IsWindowEnabled(::GetDlgItem(dialog, IDC_MODEL)) != FALSE;
}

// Names of the spooler's printers, or of its drivers in an environment.
template <class Info>
std::vector<std::string> SpoolerNames(BOOL(WINAPI* enumerate)(LPSTR, LPSTR, DWORD, LPBYTE, DWORD, LPDWORD, LPDWORD),
                                      const char* second) {
  DWORD needed = 0, count = 0;
  enumerate(nullptr, const_cast<char*>(second), 1, nullptr, 0, &needed, &count);
  std::vector<BYTE> buffer(needed + 1);
  std::vector<std::string> names;
  if (!enumerate(nullptr, const_cast<char*>(second), 1, buffer.data(), needed, &needed, &count)) return names;
  for (DWORD i = 0; i < count; ++i) {
    const char* name = reinterpret_cast<const Info*>(buffer.data())[i].pName;
    names.push_back(name ? name : "");
  }
  return names;
}

BOOL WINAPI EnumLocalPrinters(LPSTR, LPSTR, DWORD level, LPBYTE buf, DWORD size, LPDWORD needed, LPDWORD count) {
  return ::EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, level, buf, size, needed, count);
}

// What the spooler and its registry hold that an installation touches.
struct SpoolerState {
  std::vector<std::string> printers, drivers, ownDrivers;
  std::string ports;
  bool operator==(const SpoolerState&) const = default;
};

std::ostream& operator<<(std::ostream& out, const SpoolerState& s) {
  out << "printers:";
  for (const std::string& n : s.printers) out << " " << n;
  out << "; drivers:";
  for (const std::string& n : s.drivers) out << " " << n;
  for (const std::string& n : s.ownDrivers) out << " " << n;
  return out << "; ports: " << s.ports.size() << " bytes";
}

SpoolerState ReadSpoolerState() {
  SpoolerState s;
  s.printers = SpoolerNames<PRINTER_INFO_1A>(EnumLocalPrinters, nullptr);
  s.drivers = SpoolerNames<DRIVER_INFO_1A>(::EnumPrinterDriversA, kEnvironment);
  s.ownDrivers = SpoolerNames<DRIVER_INFO_1A>(::EnumPrinterDriversA, kOwnEnvironment);
  HKEY key = nullptr;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kPortsKey, 0, KEY_READ, &key) == ERROR_SUCCESS) {
    char name[512];
    BYTE data[1024];
    for (DWORD i = 0;; ++i) {
      DWORD nameSize = sizeof name, dataSize = sizeof data, type = 0;
      if (::RegEnumValueA(key, i, name, &nameSize, nullptr, &type, data, &dataSize) != ERROR_SUCCESS) break;
      s.ports += std::string(name, nameSize) + "=" + std::string(reinterpret_cast<char*>(data), dataSize) + ";";
    }
    ::RegCloseKey(key);
  }
  return s;
}

class InstallerInstall : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string root = WinPath(TEST_WORK_DIR_UNIX);
    ::CreateDirectoryA(root.c_str(), nullptr);
    m_work = root + "\\" + UniqueName("install");
    m_empty = m_work + "_empty";
    ASSERT_TRUE(::CreateDirectoryA(m_work.c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryA(m_empty.c_str(), nullptr));
    m_driverDir = DriverDirectory(kEnvironment);
    ASSERT_FALSE(m_driverDir.empty());
    WritePackage(0, 0);
    for (const char* port : {"LPT1:", "FILE:"}) ReadValue(HKEY_LOCAL_MACHINE, kPortsKey, port, m_savedPorts[port]);
    ASSERT_TRUE(SetString(HKEY_LOCAL_MACHINE, kPortsKey, kComPort, ""));
    ASSERT_TRUE(SetString(HKEY_LOCAL_MACHINE, kPortsKey, kUsbPort, ""));
    Cleanup();  // what an earlier run that crashed may have left
    m_setUp = true;
  }

  void TearDown() override {
    Cleanup();
    DeleteValue(HKEY_LOCAL_MACHINE, kPortsKey, kComPort);
    DeleteValue(HKEY_LOCAL_MACHINE, kPortsKey, kUsbPort);
    if (m_setUp)
      for (auto& [port, data] : m_savedPorts)
        if (!data.empty()) SetRaw(HKEY_LOCAL_MACHINE, kPortsKey, port.c_str(), REG_SZ, data.data(), data.size());
    for (const PackageEntry& entry : kPackage) ::DeleteFileA((m_work + "\\" + entry.package).c_str());
    ::RemoveDirectoryA(m_work.c_str());
    ::RemoveDirectoryA(m_empty.c_str());
  }

  // The package's driver and configuration module, of those machine types
  // (0: random bytes throughout), and its data file.
  void WritePackage(WORD driver, WORD config) {
    const WORD machines[3] = {driver, 0, config};
    for (int i = 0; i < 3; ++i) {
      m_standIn[i] = StandIn(kPackage[i].size, i + 1, machines[i]);
      std::string scrambled = m_standIn[i];
      ScrambleBytes(reinterpret_cast<unsigned char*>(scrambled.data()), scrambled.size());
      ASSERT_TRUE(WriteFileBytes(m_work + "\\" + kPackage[i].package, scrambled));
    }
  }

  void Cleanup() {
    DenyKeyRights(kDriverKey, 0);
    DeletePrinterIfAny();
    DeleteTree(HKEY_LOCAL_MACHINE, kPrinterKey);
    ::DeletePrinterDriverA(nullptr, const_cast<char*>(kOwnEnvironment), const_cast<char*>(kModel));
    ::DeletePrinterDriverA(nullptr, const_cast<char*>(kEnvironment), const_cast<char*>(kModel));
    // Wine refuses a 32-bit process the removal of a "Windows x64" driver.
    DeleteTree(HKEY_LOCAL_MACHINE, kOwnDriverKey);
    const std::string ownDir = DriverDirectory(kOwnEnvironment);
    for (const PackageEntry& entry : kPackage) {
      ::DeleteFileA(DriverFile("", entry).c_str());
      ::DeleteFileA(DriverFile("\\3", entry).c_str());
      if (!ownDir.empty()) ::DeleteFileA((ownDir + "\\" + entry.driverFile).c_str());
      if (!ownDir.empty()) ::DeleteFileA((ownDir + "\\3\\" + entry.driverFile).c_str());
    }
    ::DeleteFileA(PlotsvcPath().c_str());
    ::DeleteFileA(NativePlotsvcPath().c_str());
  }

  std::string DriverFile(const char* subfolder, const PackageEntry& entry) const {
    return m_driverDir + subfolder + "\\" + entry.driverFile;
  }

  // The three driver files in the folder equal the stand-ins byte for byte.
  void ExpectDriverFiles(const char* subfolder, const std::string& directory = "") {
    for (int i = 0; i < 3; ++i) {
      const std::string bytes =
          ReadFileBytes(directory.empty() ? DriverFile(subfolder, kPackage[i])
                                          : directory + subfolder + "\\" + kPackage[i].driverFile);
      EXPECT_EQ(bytes.size(), m_standIn[i].size()) << subfolder << kPackage[i].driverFile;
      EXPECT_TRUE(bytes == m_standIn[i]) << subfolder << kPackage[i].driverFile;
    }
  }

  void ExpectNoDriverFiles(const char* subfolder) {
    for (const PackageEntry& entry : kPackage) EXPECT_FALSE(FileExists(DriverFile(subfolder, entry))) << subfolder;
  }

  std::string PortValue(const char* port) {
    std::string data;
    if (!ReadValue(HKEY_LOCAL_MACHINE, kPortsKey, port, data)) return "<none>";
    return data.c_str();
  }

  std::string m_work, m_empty, m_driverDir;
  std::string m_standIn[3];
  std::map<std::string, std::string> m_savedPorts;
  bool m_setUp = false;
};

TEST_F(InstallerInstall, InstallOnComPortThenDeleteRemovesEverything) {
  ASSERT_TRUE(WriteFileBytes(PlotsvcPath(), "plotsvc stand-in"));
  Installer installer;
  ASSERT_TRUE(installer.Open(m_work));
  HWND dialog = installer.Dialog();
  ASSERT_TRUE(Shows(dialog, State::NotInstalled));
  ASSERT_TRUE(installer.SelectPort(kComPort));

  EXPECT_EQ(installer.Click(IDC_INSTALL), "Install success!");
  EXPECT_TRUE(WaitUntil([&] { return Shows(dialog, State::Installed); }));

  EXPECT_TRUE(DriverRegistered(kEnvironment));
  const PrinterFacts printer = ReadPrinter();
  ASSERT_TRUE(printer.exists);
  EXPECT_EQ(printer.port, kComPort);
  EXPECT_EQ(printer.driver, kModel);
  EXPECT_EQ(printer.processor, "WinPrint");
  EXPECT_EQ(printer.datatype, "RAW");
  EXPECT_EQ(printer.modeType, static_cast<DWORD>(REG_BINARY));
  EXPECT_EQ(printer.modeNo, std::string("\x80\x96\x98\x00", 4));
  ExpectDriverFiles("");
  ExpectDriverFiles("\\3");
  EXPECT_EQ(PortValue(kComPort), "38400,o,8,1,p");

  EXPECT_EQ(installer.Click(IDC_DELETE), "Delete success!");
  EXPECT_TRUE(WaitUntil([&] { return Shows(dialog, State::NotInstalled); }));
  EXPECT_FALSE(ReadPrinter().exists);
  EXPECT_FALSE(DriverRegistered(kEnvironment));
  ExpectNoDriverFiles("");
  ExpectNoDriverFiles("\\3");
  EXPECT_FALSE(FileExists(PlotsvcPath()));
  EXPECT_TRUE(installer.Close());
  EXPECT_EQ(installer.ExitCode(), 0u);
}

TEST_F(InstallerInstall, UsbLptAndFilePortsGetNoSerialSettings) {
  Installer installer;
  ASSERT_TRUE(installer.Open(m_work));
  HWND dialog = installer.Dialog();
  for (const char* port : {kUsbPort, "LPT1:", "FILE:"}) {
    const std::string before = PortValue(port);
    ASSERT_TRUE(installer.SelectPort(port)) << port;
    EXPECT_EQ(installer.Click(IDC_INSTALL), "Install success!") << port;
    EXPECT_TRUE(WaitUntil([&] { return Shows(dialog, State::Installed); })) << port;
    EXPECT_EQ(ReadPrinter().port, port);
    EXPECT_EQ(PortValue(port), before) << port;
    // Delete without a plotsvc.dll in place still succeeds.
    EXPECT_EQ(installer.Click(IDC_DELETE), "Delete success!") << port;
    EXPECT_TRUE(WaitUntil([&] { return Shows(dialog, State::NotInstalled); })) << port;
  }
  EXPECT_TRUE(installer.Close());
}

TEST_F(InstallerInstall, MissingOrUnreadablePackageFailsWithoutDriver) {
  {
    Installer installer;
    ASSERT_TRUE(installer.Open(m_empty));
    // The box says why, in the system's words.
    EXPECT_EQ(installer.Click(IDC_INSTALL), "Add printer fail!" + Reason(ERROR_FILE_NOT_FOUND));
    EXPECT_TRUE(Shows(installer.Dialog(), State::NotInstalled));
    EXPECT_FALSE(DriverRegistered(kEnvironment));
    EXPECT_FALSE(ReadPrinter().exists);
    ExpectNoDriverFiles("");
    EXPECT_TRUE(installer.Close());
    EXPECT_EQ(installer.ExitCode(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  }
  {
    // The data file's package is held open without read sharing.
    const std::string held = m_work + "\\" + kPackage[1].package;
    HANDLE lock = ::CreateFileA(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    Installer installer;
    const bool opened = installer.Open(m_work);
    const std::string message = opened ? installer.Click(IDC_INSTALL) : "<no dialog>";
    ::CloseHandle(lock);
    ASSERT_TRUE(opened);
    EXPECT_EQ(message, "Add printer fail!" + Reason(ERROR_SHARING_VIOLATION));
    EXPECT_TRUE(Shows(installer.Dialog(), State::NotInstalled));
    EXPECT_FALSE(DriverRegistered(kEnvironment));
    EXPECT_FALSE(ReadPrinter().exists);
    EXPECT_FALSE(FileExists(DriverFile("", kPackage[1])));
    EXPECT_TRUE(installer.Close());
  }
}

TEST_F(InstallerInstall, RefusedPrinterFailsAfterRegisteringTheDriver) {
  // Wine's spooler takes a printer key with an "Attributes" entry for an
  // existing printer and refuses to add another of that name.
  ASSERT_TRUE(SetString(HKEY_LOCAL_MACHINE, std::string(kPrinterKey) + "\\Attributes", "", "0"));
  Installer installer;
  ASSERT_TRUE(installer.Open(m_work));
  ASSERT_TRUE(installer.SelectPort(kComPort));
  EXPECT_EQ(Headline(installer.Click(IDC_INSTALL)), "Add printer fail!");
  EXPECT_TRUE(Shows(installer.Dialog(), State::NotInstalled));
  EXPECT_TRUE(DriverRegistered(kEnvironment));
  ExpectDriverFiles("");
  EXPECT_TRUE(installer.Close());
}

TEST_F(InstallerInstall, UnremovableDriverFailsAndKeepsItsFiles) {
  ASSERT_TRUE(WriteFileBytes(PlotsvcPath(), "plotsvc stand-in"));
  Installer installer;
  ASSERT_TRUE(installer.Open(m_work));
  HWND dialog = installer.Dialog();
  ASSERT_TRUE(installer.SelectPort(kComPort));
  ASSERT_EQ(installer.Click(IDC_INSTALL), "Install success!");
  ASSERT_TRUE(WaitUntil([&] { return Shows(dialog, State::Installed); }));

  // Denied deletion, the spooler cannot remove the driver.
  ASSERT_TRUE(DenyKeyRights(kDriverKey, DELETE));
  EXPECT_EQ(Headline(installer.Click(IDC_DELETE)), "Delete printer driver fail!");
  EXPECT_TRUE(Shows(dialog, State::Installed));
  ExpectDriverFiles("");
  ExpectDriverFiles("\\3");
  EXPECT_TRUE(FileExists(PlotsvcPath()));
  EXPECT_TRUE(installer.Close());
}

// The processes ever started in the job, the dialog's own included.
DWORD ProcessesStarted(HANDLE job) {
  JOBOBJECT_BASIC_ACCOUNTING_INFORMATION info{};
  if (!::QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &info, sizeof info, nullptr)) return 0;
  return info.TotalProcesses;
}

// Started as a double-click under User Account Control: each click is
// carried out by exactly one more process of the program, and the dialog
// shows its outcome as its own; a port gone since the click, or a working
// folder with no package, fail with the reason and change nothing.
TEST_F(InstallerInstall, LimitedTokenCarriesEachClickOutThroughOneElevatedStart) {
  LimitedToken limited;
  ASSERT_NE(limited.get(), nullptr);
  UniqueKernelHandle job(::CreateJobObjectA(nullptr, nullptr));
  ASSERT_TRUE(job);
  ASSERT_TRUE(WriteFileBytes(PlotsvcPath(), "plotsvc stand-in"));
  Installer installer;
  ASSERT_TRUE(installer.Open(m_work, limited.get(), job.get()));
  HWND dialog = installer.Dialog();
  ASSERT_TRUE(installer.SelectPort(kComPort));
  ASSERT_EQ(ProcessesStarted(job.get()), 1u);

  EXPECT_EQ(installer.Click(IDC_INSTALL), "Install success!");
  EXPECT_TRUE(WaitUntil([&] { return Shows(dialog, State::Installed); }));
  EXPECT_EQ(ProcessesStarted(job.get()), 2u);
  EXPECT_EQ(ReadPrinter().port, kComPort);
  ExpectDriverFiles("\\3");
  EXPECT_EQ(PortValue(kComPort), "38400,o,8,1,p");

  EXPECT_EQ(installer.Click(IDC_DELETE), "Delete success!");
  EXPECT_TRUE(WaitUntil([&] { return Shows(dialog, State::NotInstalled); }));
  EXPECT_EQ(ProcessesStarted(job.get()), 3u);
  EXPECT_FALSE(DriverRegistered(kEnvironment));
  ExpectNoDriverFiles("");
  EXPECT_FALSE(FileExists(PlotsvcPath()));

  // The port the user chose is gone before the elevated start looks.
  const SpoolerState before = ReadSpoolerState();
  ASSERT_TRUE(installer.SelectPort(kUsbPort));
  DeleteValue(HKEY_LOCAL_MACHINE, kPortsKey, kUsbPort);
  const SpoolerState withoutPort = ReadSpoolerState();
  EXPECT_EQ(installer.Click(IDC_INSTALL), "Add printer fail!" + Reason(ERROR_UNKNOWN_PORT));
  EXPECT_EQ(ReadSpoolerState(), withoutPort);
  ExpectNoDriverFiles("");
  EXPECT_TRUE(Shows(dialog, State::NotInstalled));
  EXPECT_EQ(ProcessesStarted(job.get()), 4u);
  ASSERT_TRUE(SetString(HKEY_LOCAL_MACHINE, kPortsKey, kUsbPort, ""));
  EXPECT_EQ(ReadSpoolerState(), before);
  EXPECT_TRUE(installer.Close());

  Installer noPackage;
  ASSERT_TRUE(noPackage.Open(m_empty, limited.get()));
  EXPECT_EQ(noPackage.Click(IDC_INSTALL), "Add printer fail!" + Reason(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(ReadSpoolerState(), before);
  ExpectNoDriverFiles("");
  EXPECT_TRUE(noPackage.Close());

  // The program's own path is not there for the elevated start (a drive
  // mapped only in the user's logon session): the request fails with the
  // system's reason, no process starts, nothing changes.
  const std::string folder = m_empty + "\\program", gone = m_empty + "\\gone";
  ASSERT_TRUE(::CreateDirectoryA(folder.c_str(), nullptr));
  ASSERT_TRUE(::CopyFileA(Exe().c_str(), (folder + "\\PLOTINST.exe").c_str(), FALSE));
  UniqueKernelHandle countOnly(::CreateJobObjectA(nullptr, nullptr));
  Installer unreachable;
  ASSERT_TRUE(unreachable.Open(m_work, limited.get(), countOnly.get(), folder + "\\PLOTINST.exe"));
  ASSERT_TRUE(::MoveFileA(folder.c_str(), gone.c_str()));
  const std::string box = unreachable.Click(IDC_INSTALL);
  EXPECT_EQ(box.rfind("Add printer fail!\n\n", 0), 0u) << box;
  EXPECT_GT(box.size(), std::string("Add printer fail!\n\n").size()) << "no reason";
  EXPECT_EQ(ProcessesStarted(countOnly.get()), 1u);
  EXPECT_EQ(ReadSpoolerState(), before);
  ExpectNoDriverFiles("");
  EXPECT_TRUE(unreachable.Close());
  ::DeleteFileA((gone + "\\PLOTINST.exe").c_str());
  ::RemoveDirectoryA(gone.c_str());

  // The user declines the consent prompt. Wine's "runas" asks no one, so
  // the request is made to end as Windows ends it then: one box says so, no
  // process starts, nothing changes, the dialog stays as it was.
  UniqueKernelHandle declinedJob(::CreateJobObjectA(nullptr, nullptr));
  Installer declined;
  ASSERT_TRUE(declined.Open(m_work, limited.get(), declinedJob.get()));
  ASSERT_TRUE(declined.SelectPort(kUsbPort));
  ASSERT_TRUE(FailImport(declined.Process(), "shell32.dll", "ShellExecuteExA", ERROR_CANCELLED, sizeof(void*)));
  EXPECT_EQ(declined.Click(IDC_INSTALL),
            "Nothing was changed: administrator rights were not given.\n\nClick again and allow the change to go "
            "ahead.");
  EXPECT_EQ(ProcessesStarted(declinedJob.get()), 1u);
  EXPECT_EQ(ReadSpoolerState(), before);
  EXPECT_TRUE(Shows(declined.Dialog(), State::NotInstalled));
  EXPECT_EQ(WindowText(::GetDlgItem(declined.Dialog(), IDC_PORT)), kUsbPort);
  EXPECT_TRUE(declined.Close());
}

}  // namespace

// One run of the installer through many installations and removals: its
// handles, GDI objects and memory stay as they were after the first, and the
// spooler, its registry and the driver folders end as they began.
TEST_F(InstallerInstall, FiftyCyclesInOneRunLeaveNothingBehind) {
  // Windows always has the driver directory's version folder; Wine's spooler
  // makes it with the first driver it is given.
  ::CreateDirectoryA((m_driverDir + "\\3").c_str(), nullptr);
  const SpoolerState spoolerBefore = ReadSpoolerState();
  const FolderSnapshot driversBefore = FolderSnapshot::Take(m_driverDir);
  const FolderSnapshot ownBefore = FolderSnapshot::Take(DriverDirectory(kOwnEnvironment));
  Installer installer;
  ASSERT_TRUE(installer.Open(m_work));
  // A USB port: no serial settings are written for it.
  ASSERT_TRUE(installer.SelectPort(kUsbPort));
  auto cycle = [&] {
    return installer.Click(IDC_INSTALL) == "Install success!" &&
           WaitUntil([&] { return Shows(installer.Dialog(), State::Installed); }) &&
           installer.Click(IDC_DELETE) == "Delete success!" &&
           WaitUntil([&] { return Shows(installer.Dialog(), State::NotInstalled); });
  };
  // What the first cycles load and keep (the system's caches) is not growth.
  ASSERT_TRUE(cycle());
  ASSERT_TRUE(cycle());
  const ProcessResources before = MeasureProcess(installer.Process());
  ASSERT_GT(before.handles, 0);
  ASSERT_GT(before.gdiObjects, 0);
  // Handles and GDI objects are compared between the halves: a frame that
  // only a slow step reaches is first drawn, and its objects cached, at a
  // moment no warm-up can fix; what grows with the cycles grows in both.
  auto cycles = [&](int first, int count) {
    for (int i = first; i < first + count; ++i)
      if (!cycle()) return ::testing::AssertionFailure() << "cycle " << i;
    return ::testing::AssertionSuccess();
  };
  ASSERT_TRUE(cycles(0, 25));
  const ProcessResources half = MeasureProcess(installer.Process());
  ASSERT_TRUE(cycles(25, 25));
  const ProcessResources after = MeasureProcess(installer.Process());
  EXPECT_TRUE(installer.Close());

  EXPECT_EQ(after.handles, half.handles);
  // Wine 10 holds bitmaps and regions of its own for windows that are gone
  // (seen in pairs: the second half ended 7 objects below the first, or 2
  // above, and stayed so), so the counts differ by a few either way; a leak
  // of one object a cycle adds 25.
  EXPECT_LT(after.gdiObjects, half.gdiObjects + 25) << half.gdiObjects << " after the first half";
  // Each cycle reads about 74 KB of package; a buffer kept per cycle would
  // add megabytes.
  EXPECT_LT(after.privateKiB, before.privateKiB + 512) << before.privateKiB << " KiB before";
  EXPECT_EQ(ReadSpoolerState(), spoolerBefore);
  EXPECT_TRUE(Unchanged(driversBefore, FolderSnapshot::Take(m_driverDir)));
  EXPECT_TRUE(Unchanged(ownBefore, FolderSnapshot::Take(DriverDirectory(kOwnEnvironment))));
}

namespace {

const char kUsbPrinterClass[] =
    "System\\CurrentControlSet\\Control\\DeviceClasses\\{28d78fad-5a12-11d1-ae5b-0000f803a8c2}";
const std::string kPlotterDevice =
    std::string(kUsbPrinterClass) + "\\##?#USB#Vid_0483&Pid_5750#silent#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}";

// The lines the log has gained since `from` lines.
std::vector<std::string> LogLines(const std::string& path, size_t from = 0) {
  std::vector<std::string> lines;
  const std::string text = ReadFileBytes(path);
  for (size_t start = 0, end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
    lines.push_back(text.substr(start, end - start));
  lines.erase(lines.begin(), lines.begin() + static_cast<long>(std::min(from, lines.size())));
  return lines;
}

// A line "YYYY-MM-DD hh:mm:ss <step>: <code> <text>" whose step and code are these.
::testing::AssertionResult LineIs(const std::string& line, const std::string& step, DWORD code) {
  const std::string head = step + ": " + std::to_string(code) + " ";
  const bool stamped = line.size() > 20 && line[4] == '-' && line[7] == '-' && line[10] == ' ' && line[13] == ':' &&
                       line[16] == ':' && line[19] == ' ';
  // The system's text follows the code.
  if (stamped && line.compare(20, head.size(), head) == 0 && line.size() > 20 + head.size())
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "line \"" << line << "\", wanted \"" << head << "...\"";
}

std::wstring Wide(const std::string& text) {
  wchar_t wide[MAX_PATH * 2] = L"";
  ::MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide, MAX_PATH * 2);
  return wide;
}

// A pipe this test serves, named as a log, in the mode that never waits:
// whether the installer opened it, and whether anything came through.
class LogPipe {
 public:
  LogPipe()
      : m_name("\\\\.\\pipe\\" + UniqueName("log")),
        m_pipe(::CreateNamedPipeA(m_name.c_str(), PIPE_ACCESS_INBOUND, PIPE_TYPE_BYTE | PIPE_NOWAIT, 1, 0, 4096, 0,
                                  nullptr)) {}
  bool Ready() const { return static_cast<bool>(m_pipe); }
  const std::string& Name() const { return m_name; }
  // The path the system's object manager knows it by, for a device to point to.
  std::string DevicePath() const { return "\\Device\\NamedPipe\\" + m_name.substr(9); }

  // After the program ended: it connected, and not a byte arrived.
  ::testing::AssertionResult OpenedButGotNothing() const {
    // A client that came and went leaves no data; one never come, a listening pipe.
    if (::ConnectNamedPipe(m_pipe.get(), nullptr) || ::GetLastError() != ERROR_NO_DATA)
      return ::testing::AssertionFailure() << m_name << " was never opened and let go";
    char byte;
    DWORD read = 0, available = 0;
    if (::PeekNamedPipe(m_pipe.get(), &byte, 1, &read, &available, nullptr) && available != 0)
      return ::testing::AssertionFailure() << available << " bytes were written to " << m_name;
    return ::testing::AssertionSuccess();
  }

 private:
  std::string m_name;
  UniqueFile m_pipe;
};

// A serial port's DOS name that the prefix does not map, mapped to a device
// for the scope; empty when every one is taken.
class ScopedComPort {
 public:
  explicit ScopedComPort(const std::string& device) : m_device(device) {
    char target[MAX_PATH];
    for (int n = 9; n >= 2 && m_name.empty(); --n) {
      const std::string name = "COM" + std::to_string(n);
      if (::QueryDosDeviceA(name.c_str(), target, sizeof target) == 0 &&
          ::DefineDosDeviceA(DDD_RAW_TARGET_PATH, name.c_str(), device.c_str()))
        m_name = name;
    }
  }
  ~ScopedComPort() {
    if (!m_name.empty())
      ::DefineDosDeviceA(DDD_RAW_TARGET_PATH | DDD_REMOVE_DEFINITION | DDD_EXACT_MATCH_ON_REMOVE, m_name.c_str(),
                         m_device.c_str());
  }
  const std::string& Name() const { return m_name; }

 private:
  std::string m_device, m_name;
};

}  // namespace

// The unattended install: no window at any moment, the exit status, and
// what Install leaves; bad input and a second run change nothing.
TEST_F(InstallerInstall, SilentInstallCourse) {
  const std::string exe = "\"" + Exe() + "\" ";
  auto run = [&](const std::string& args, const std::string& cwd) {
    return RunWithoutAnyWindow(Exe(), exe + args, cwd);
  };
  // The plotter plugged in at USB007.
  ASSERT_TRUE(SetString(HKEY_LOCAL_MACHINE, kPortsKey, "USB007", ""));
  ASSERT_TRUE(SetDword(HKEY_LOCAL_MACHINE, kPlotterDevice + "\\#\\Control", "Linked", 1));
  ASSERT_TRUE(SetDword(HKEY_LOCAL_MACHINE, kPlotterDevice + "\\#\\Device Parameters", "Port Number", 7));
  ::CreateDirectoryA((m_driverDir + "\\3").c_str(), nullptr);
  const SpoolerState spoolerBefore = ReadSpoolerState();
  const FolderSnapshot filesBefore = FolderSnapshot::Take(m_driverDir);

  const std::string failLog = m_work + "\\fail.log";
  EXPECT_EQ(run("/Install /Port NOPE", m_work), ERROR_UNKNOWN_PORT);
  EXPECT_EQ(run("/Install /Port " + std::string(300, 'C'), m_work), ERROR_UNKNOWN_PORT);
  EXPECT_EQ(run("/Install /Port usb007", m_work), ERROR_UNKNOWN_PORT);
  EXPECT_EQ(run("/Install /Log \"" + failLog + "\"", m_empty), ERROR_FILE_NOT_FOUND);
  DeleteTree(HKEY_CLASSES_ROOT, kAppIdExeKey);
  for (const char* malformed : {"/Install /Delete", "/Install /Port", "/Install /Log", "/Install /Log \"\"",
                                "/Install /Quiet", "/Port COM3:", "/RegServer /Install", "/Install -regserver"})
    EXPECT_EQ(run(malformed, m_work), ERROR_INVALID_PARAMETER) << malformed;
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kAppIdExeKey));
  // A log that cannot be opened: a folder, a missing drive, a name too long.
  EXPECT_EQ(run("/Install /Log \"" + m_work + "\"", m_work), ERROR_ACCESS_DENIED);
  EXPECT_EQ(run("/Install /Log Q:\\none\\x.log", m_work), ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(run("/Install /Log " + m_work + "\\" + std::string(300, 'l'), m_work), ERROR_FILENAME_EXCED_RANGE);
  // A log that is no file on a disk: NUL, the prefix's serial port, a pipe,
  // a serial port's name mapped to a pipe. Opened, found no disk file and
  // let go: 87, and the device gets nothing.
  EXPECT_EQ(run("/Install /Log NUL", m_work), ERROR_INVALID_PARAMETER);
  if (UniqueFile com1{::CreateFileA("COM1", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr)}) {
    com1.reset();
    EXPECT_EQ(run("/Install /Log COM1", m_work), ERROR_INVALID_PARAMETER);
  } else {
    std::printf("COM1 does not open here; the prefix's serial port is not tried\n");
  }
  {
    LogPipe pipe;
    ASSERT_TRUE(pipe.Ready());
    EXPECT_EQ(run("/Install /Log " + pipe.Name(), m_work), ERROR_INVALID_PARAMETER);
    EXPECT_TRUE(pipe.OpenedButGotNothing());
  }
  {
    LogPipe pipe;
    ScopedComPort com(pipe.DevicePath());
    ASSERT_FALSE(com.Name().empty());
    EXPECT_EQ(run("/Install /Log " + com.Name(), m_work), ERROR_INVALID_PARAMETER) << com.Name();
    EXPECT_TRUE(pipe.OpenedButGotNothing()) << com.Name();
  }
  // A port named outside the code page whose nearest spelling there is a
  // listed port is still no listed port.
  const std::wstring fullWidthCom3 = L"\uFF23\uFF2F\uFF2D\uFF13:";
  char nearest[16] = "";
  ::WideCharToMultiByte(CP_ACP, 0, fullWidthCom3.c_str(), -1, nearest, sizeof nearest, nullptr, nullptr);
  std::printf("the code page spells the port asked for as %s\n", nearest);
  EXPECT_EQ(RunWithoutAnyWindow(Wide(Exe()), L"\"" + Wide(Exe()) + L"\" /Install /Port " + fullWidthCom3, Wide(m_work)),
            ERROR_UNKNOWN_PORT);
  // The spooler refusing to list its ports (it cannot read their key): its
  // own error, where "no such port" once stood.
  const std::string refusedLog = m_work + "\\refused.log";
  const bool denied = DenyKeyRights(kPortsKey, KEY_READ);
  const long refused = run("/Install /Log \"" + refusedLog + "\"", m_work);
  DenyKeyRights(kPortsKey, 0);
  ASSERT_TRUE(denied);
  EXPECT_NE(refused, 0);
  EXPECT_NE(refused, -1);
  EXPECT_NE(refused, ERROR_UNKNOWN_PORT);
  const std::vector<std::string> refusal = LogLines(refusedLog);
  ASSERT_EQ(refusal.size(), 1u);
  EXPECT_TRUE(LineIs(refusal[0], "list the spooler's ports", static_cast<DWORD>(refused)));
  ::DeleteFileA(refusedLog.c_str());
  EXPECT_EQ(ReadSpoolerState(), spoolerBefore);
  EXPECT_TRUE(Unchanged(filesBefore, FolderSnapshot::Take(m_driverDir)));
  const std::vector<std::string> failed = LogLines(failLog);
  ASSERT_EQ(failed.size(), 4u);
  EXPECT_TRUE(LineIs(failed[0], "port USB007", 0));
  EXPECT_TRUE(LineIs(failed[2], "unscramble .\\Data1.CAB to " + DriverFile("", kPackage[0]), ERROR_FILE_NOT_FOUND));
  EXPECT_TRUE(LineIs(failed[3], "install", ERROR_FILE_NOT_FOUND));

  // A log whose name ends as a registration switch does is a name.
  const std::string log = m_work + "\\plotter-RegServer";
  ASSERT_EQ(log.find(' '), std::string::npos);
  EXPECT_EQ(run("-install /LOG " + log, m_work), 0);
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kAppIdExeKey));
  const PrinterFacts printer = ReadPrinter();
  EXPECT_EQ(printer.port, "USB007");
  EXPECT_EQ(printer.driver, kModel);
  EXPECT_EQ(printer.modeType, static_cast<DWORD>(REG_BINARY));
  EXPECT_EQ(printer.modeNo, std::string("\x80\x96\x98\x00", 4));
  ExpectDriverFiles("");
  ExpectDriverFiles("\\3");
  const std::vector<std::string> installed = LogLines(log);
  ASSERT_EQ(installed.size(), 9u);
  EXPECT_TRUE(LineIs(installed[0], "port USB007", 0));
  EXPECT_TRUE(LineIs(installed[4], "unscramble .\\Data2.CAB to " + DriverFile("", kPackage[2]), 0));
  EXPECT_TRUE(LineIs(installed[6], "add printer \"Marlo Cutter\" on USB007", 0));
  EXPECT_TRUE(LineIs(installed[8], "install", 0));

  // Installed already: the same state after, one more line in the log.
  const SpoolerState spoolerInstalled = ReadSpoolerState();
  const FolderSnapshot filesInstalled = FolderSnapshot::Take(m_driverDir);
  EXPECT_EQ(run("/Install /Port COM3: /Log \"" + log + "\"", m_work), 0);
  EXPECT_EQ(ReadSpoolerState(), spoolerInstalled);
  EXPECT_TRUE(Unchanged(filesInstalled, FolderSnapshot::Take(m_driverDir)));
  EXPECT_EQ(ReadPrinter().port, "USB007");
  const std::vector<std::string> again = LogLines(log, installed.size());
  ASSERT_EQ(again.size(), 2u);
  EXPECT_TRUE(LineIs(again[1], "printer driver \"Marlo Cutter\" already installed, nothing to do", 0));

  // A COM port named on the command line gets its serial defaults.
  Cleanup();
  std::string com3;
  const bool hadCom3 = ReadValue(HKEY_LOCAL_MACHINE, kPortsKey, "COM3:", com3);
  EXPECT_EQ(run("/Install /Port COM3:", m_work), 0);
  EXPECT_EQ(ReadPrinter().port, "COM3:");
  EXPECT_EQ(PortValue("COM3:"), "38400,o,8,1,p");
  Cleanup();
  if (hadCom3) SetRaw(HKEY_LOCAL_MACHINE, kPortsKey, "COM3:", REG_SZ, com3.data(), static_cast<DWORD>(com3.size()));
  DeleteTree(HKEY_LOCAL_MACHINE, kPlotterDevice);
  DeleteValue(HKEY_LOCAL_MACHINE, kPortsKey, "USB007");
  ::DeleteFileA(log.c_str());
  ::DeleteFileA(failLog.c_str());
}

// The unattended removal: what Delete removes, nothing when nothing is
// installed, and the spooler's refusal as the exit status.
TEST_F(InstallerInstall, SilentDeleteCourse) {
  const std::string exe = "\"" + Exe() + "\" ";
  auto run = [&](const std::string& args) { return RunWithoutAnyWindow(Exe(), exe + args, m_work); };
  ::CreateDirectoryA((m_driverDir + "\\3").c_str(), nullptr);
  const SpoolerState spoolerBefore = ReadSpoolerState();
  const FolderSnapshot filesBefore = FolderSnapshot::Take(m_driverDir);
  // Nothing installed, nothing to do, said in a log named outside the code
  // page, given as Windows gives it: under that very name and no other.
  const std::wstring wideLog = Wide(m_work) + L"\\\u0141\u00f3d\u017a \u65e5\u672c.log";
  EXPECT_EQ(
      RunWithoutAnyWindow(Wide(Exe()), L"\"" + Wide(Exe()) + L"\" /Delete /Log \"" + wideLog + L"\"", Wide(m_work)), 0);
  WIN32_FIND_DATAW found{};
  HANDLE search = ::FindFirstFileW((Wide(m_work) + L"\\*.log").c_str(), &found);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  EXPECT_EQ(Wide(m_work) + L"\\" + found.cFileName, wideLog);
  EXPECT_FALSE(::FindNextFileW(search, &found)) << "another log beside it";
  ::FindClose(search);
  std::string nothing(4096, '\0');
  if (FILE* file = _wfopen(wideLog.c_str(), L"rb")) {
    nothing.resize(std::fread(nothing.data(), 1, nothing.size(), file));
    std::fclose(file);
  }
  ::DeleteFileW(wideLog.c_str());
  // Each file it looked for, then the course's end.
  const std::string last = nothing.substr(nothing.rfind("\r\n", nothing.size() - 3) + 2);
  EXPECT_TRUE(LineIs(last.substr(0, last.size() - 2),
                     "no printer driver \"Marlo Cutter\" installed and no file of it left to delete, nothing to do",
                     0));
  EXPECT_EQ(run("/Delete /Port USB087"), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(ReadSpoolerState(), spoolerBefore);

  ASSERT_TRUE(WriteFileBytes(PlotsvcPath(), "plotsvc stand-in"));
  ASSERT_EQ(run("/Install /Port USB087"), 0);
  ASSERT_TRUE(DriverRegistered(kEnvironment));
  const std::string log = m_work + "\\delete.log";
  EXPECT_EQ(run("-DELETE /Log \"" + log + "\""), 0);
  EXPECT_FALSE(ReadPrinter().exists);
  EXPECT_FALSE(DriverRegistered(kEnvironment));
  EXPECT_FALSE(FileExists(PlotsvcPath()));
  EXPECT_EQ(ReadSpoolerState(), spoolerBefore);
  EXPECT_TRUE(Unchanged(filesBefore, FolderSnapshot::Take(m_driverDir)));
  const std::vector<std::string> lines = LogLines(log);
  ASSERT_EQ(lines.size(), 10u);
  EXPECT_TRUE(LineIs(lines[0], "delete printer \"Marlo Cutter\"", 0));
  EXPECT_TRUE(LineIs(lines[1], "delete printer driver \"Marlo Cutter\"", 0));
  EXPECT_TRUE(LineIs(lines[5], "delete " + PlotsvcPath(), 0));
  EXPECT_TRUE(LineIs(lines[9], "delete", 0));
  ::DeleteFileA(log.c_str());
  // Removed already: nothing to do.
  EXPECT_EQ(run("/Delete"), 0);

  // The printer gone by other means is said to be none, and the removal goes
  // on. (Wine's DeletePrinter cannot be made to fail: it reports success
  // whatever its registry calls do.)
  ASSERT_EQ(run("/Install /Port USB087"), 0);
  DeletePrinterIfAny();
  EXPECT_EQ(run("/Delete /Log \"" + log + "\""), 0);
  const std::vector<std::string> noPrinter = LogLines(log);
  ASSERT_FALSE(noPrinter.empty());
  EXPECT_TRUE(LineIs(noPrinter[0], "no printer \"Marlo Cutter\" to delete", 0));
  ::DeleteFileA(log.c_str());

  // The spooler refuses to remove the driver: its error, and the files stay.
  ASSERT_EQ(run("/Install /Port USB087"), 0);
  // A log on no disk stops the removal before it begins.
  EXPECT_EQ(run("/Delete /Log NUL"), ERROR_INVALID_PARAMETER);
  EXPECT_TRUE(DriverRegistered(kEnvironment));
  ASSERT_TRUE(DenyKeyRights(kDriverKey, DELETE));
  const long refused = run("/Delete");
  EXPECT_NE(refused, 0);
  EXPECT_NE(refused, -1);
  EXPECT_TRUE(DriverRegistered(kEnvironment));
  ExpectDriverFiles("");
}

// Driver files that are PE images of each machine: the prefix's own is
// installed for its own environment, any other and a mixed package are
// refused before anything changes. Wine's spooler accepts any driver file,
// so the refusal is the installer's alone.
TEST_F(InstallerInstall, PackagesOfEachMachine) {
  BOOL wow64 = FALSE;
  ASSERT_TRUE(::IsWow64Process(::GetCurrentProcess(), &wow64));
  const WORD system = wow64 ? IMAGE_FILE_MACHINE_AMD64 : IMAGE_FILE_MACHINE_I386;
  const std::string systemWindows = wow64 ? "64-bit Windows (x64)" : "32-bit Windows (x86)";
  const std::string exe = "\"" + Exe() + "\" ", log = m_work + "\\machine.log";
  auto run = [&](const std::string& args) { return RunWithoutAnyWindow(Exe(), exe + args, m_work); };
  const std::string ownDir = DriverDirectory(kOwnEnvironment);
  ASSERT_FALSE(ownDir.empty());
  ::CreateDirectoryA((m_driverDir + "\\3").c_str(), nullptr);
  ::CreateDirectoryA((ownDir + "\\3").c_str(), nullptr);
  const std::string runs = " but this computer runs " + systemWindows + ".";
  const std::string use = "Use the package made for this computer's Windows. Nothing was changed.";
  const struct {
    WORD driver, config;
    std::string first, second;  // the box's two lines
  } packages[] = {
      {IMAGE_FILE_MACHINE_I386, IMAGE_FILE_MACHINE_I386, "This driver package is for 32-bit Windows (x86)," + runs,
       use},
      {IMAGE_FILE_MACHINE_AMD64, IMAGE_FILE_MACHINE_AMD64, "This driver package is for 64-bit Windows (x64)," + runs,
       use},
      {IMAGE_FILE_MACHINE_ARM64, 0, "This driver package is for Windows on ARM (ARM64)," + runs, use},
      {system, IMAGE_FILE_MACHINE_ARM64,
       "This driver package cannot be installed: its driver is for " + systemWindows +
           ", its settings module for Windows on ARM (ARM64).",
       "This computer runs " + systemWindows + ". Nothing was changed."},
  };
  for (const auto& package : packages) {
    SCOPED_TRACE(package.first);
    WritePackage(package.driver, package.config);
    if (package.driver == system && package.config == system) continue;
    const SpoolerState spoolerBefore = ReadSpoolerState();
    const FolderSnapshot x86Before = FolderSnapshot::Take(m_driverDir), ownBefore = FolderSnapshot::Take(ownDir);
    EXPECT_EQ(run("/Install /Port USB087 /Log \"" + log + "\""), ERROR_EXE_MACHINE_TYPE_MISMATCH);
    const std::vector<std::string> lines = LogLines(log);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_TRUE(LineIs(lines[1], package.first + " " + package.second, ERROR_EXE_MACHINE_TYPE_MISMATCH));
    EXPECT_TRUE(LineIs(lines[2], "install", ERROR_EXE_MACHINE_TYPE_MISMATCH));
    Installer installer;
    ASSERT_TRUE(installer.Open(m_work));
    ASSERT_TRUE(installer.SelectPort(kUsbPort));
    const std::string box = installer.Click(IDC_INSTALL);
    // The box may go on with the system's words for the error.
    EXPECT_EQ(box.rfind(package.first + "\n" + package.second, 0), 0u) << box;
    EXPECT_TRUE(installer.Close());
    EXPECT_EQ(installer.ExitCode(), static_cast<DWORD>(ERROR_EXE_MACHINE_TYPE_MISMATCH));
    EXPECT_EQ(ReadSpoolerState(), spoolerBefore);
    EXPECT_TRUE(Unchanged(x86Before, FolderSnapshot::Take(m_driverDir)));
    EXPECT_TRUE(Unchanged(ownBefore, FolderSnapshot::Take(ownDir)));
    ::DeleteFileA(log.c_str());
  }

  // The system's own machine.
  WritePackage(system, system);
  const long installed = run("/Install /Port USB087 /Log \"" + log + "\"");
  if (!wow64) {
    EXPECT_EQ(installed, 0);
    EXPECT_TRUE(DriverRegistered(kEnvironment));
    ExpectDriverFiles("");
    EXPECT_EQ(run("/Delete"), 0);
    EXPECT_FALSE(DriverRegistered(kEnvironment));
    ExpectNoDriverFiles("");
    return;
  }
  // Added for "Windows x64", its files in that environment's folder. Wine's
  // AddPrinter looks for the driver under the caller's environment and
  // refuses (Wine 8: 87, Wine 10: 1797); 64-bit Windows' spooler takes it.
  EXPECT_TRUE(installed == ERROR_INVALID_PARAMETER || installed == ERROR_UNKNOWN_PRINTER_DRIVER) << installed;
  EXPECT_TRUE(DriverRegistered(kOwnEnvironment));
  EXPECT_FALSE(DriverRegistered(kEnvironment));
  ExpectDriverFiles("", ownDir);
  ExpectNoDriverFiles("");
  EXPECT_FALSE(PrinterExists());
  const std::vector<std::string> lines = LogLines(log);
  ASSERT_EQ(lines.size(), 8u);
  EXPECT_TRUE(LineIs(lines[1], "driver directory \"" + ownDir + "\"", 0));
  EXPECT_TRUE(LineIs(lines[5], "add printer driver \"Marlo Cutter\"", 0));
  EXPECT_TRUE(LineIs(lines[6], "add printer \"Marlo Cutter\" on USB087", static_cast<DWORD>(installed)));
  EXPECT_TRUE(LineIs(lines[7], "install", static_cast<DWORD>(installed)));
  ::DeleteFileA(log.c_str());
  {
    Installer installer;
    ASSERT_TRUE(installer.Open(m_work));
    EXPECT_TRUE(Shows(installer.Dialog(), State::Installed));
    EXPECT_TRUE(installer.Close());
  }
  // Removed from "Windows x64", with its files and the native system
  // folder's plotsvc.dll; this program's (SysWOW64) is the x86 driver's.
  ASSERT_TRUE(WriteFileBytes(NativePlotsvcPath(), "plotsvc stand-in"));
  ASSERT_TRUE(WriteFileBytes(PlotsvcPath(), "x86 plotsvc stand-in"));
  EXPECT_EQ(run("/Delete /Log \"" + log + "\""), 0);
  EXPECT_FALSE(DriverRegistered(kOwnEnvironment));
  for (const PackageEntry& entry : kPackage) EXPECT_FALSE(FileExists(ownDir + "\\" + entry.driverFile));
  EXPECT_FALSE(FileExists(NativePlotsvcPath()));
  EXPECT_TRUE(FileExists(PlotsvcPath()));
  const std::vector<std::string> removal = LogLines(log);
  ASSERT_FALSE(removal.empty());
  EXPECT_TRUE(LineIs(removal[1], "delete printer driver \"Marlo Cutter\" for Windows x64", 0));
  ::DeleteFileA(log.c_str());

  // An x86 driver an older installer left: shown installed, and removed.
  WritePackage(IMAGE_FILE_MACHINE_I386, IMAGE_FILE_MACHINE_I386);
  DRIVER_INFO_3A old{};
  const std::string paths[3] = {DriverFile("", kPackage[0]), DriverFile("", kPackage[1]), DriverFile("", kPackage[2])};
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(WriteFileBytes(paths[i], m_standIn[i]));
  old.cVersion = 3;
  old.pName = const_cast<char*>(kModel);
  old.pEnvironment = const_cast<char*>(kEnvironment);
  old.pDriverPath = const_cast<char*>(paths[0].c_str());
  old.pDataFile = const_cast<char*>(paths[1].c_str());
  old.pConfigFile = const_cast<char*>(paths[2].c_str());
  ASSERT_TRUE(::AddPrinterDriverA(nullptr, 3, reinterpret_cast<BYTE*>(&old)));
  ASSERT_TRUE(WriteFileBytes(PlotsvcPath(), "plotsvc stand-in"));
  Installer installer;
  ASSERT_TRUE(installer.Open(m_work));
  EXPECT_TRUE(Shows(installer.Dialog(), State::Installed));
  EXPECT_EQ(installer.Click(IDC_DELETE), "Delete success!");
  EXPECT_TRUE(WaitUntil([&] { return Shows(installer.Dialog(), State::NotInstalled); }));
  EXPECT_TRUE(installer.Close());
  EXPECT_FALSE(DriverRegistered(kEnvironment));
  ExpectNoDriverFiles("");
  ExpectNoDriverFiles("\\3");
  EXPECT_FALSE(FileExists(PlotsvcPath()));
}

// Pixels per 4 horizontal and 8 vertical units of the installer's dialog
// template in a process started as this one was.
INT_PTR CALLBACK NoDialogProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

SIZE TemplateBaseUnits() {
  HWND dialog = ::CreateDialogParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_PLOTINST_DIALOG), nullptr,
                                     NoDialogProc, 0);
  RECT units = {0, 0, 4, 8};
  ::MapDialogRect(dialog, &units);
  ::DestroyWindow(dialog);
  return {units.right, units.bottom};
}

// The final frame after Install and after Delete, as the screen shows it at
// the scaling this process was started at, with the "宋体" replacement or
// without (InstallerAtEveryScaling starts it so): a solid rectangle in the
// free area right of the buttons and below the port list, on no control.
TEST_F(InstallerInstall, BlankFrameLiesBesideTheButtonsAndOnNoControl) {
  const int dpi = SystemDpi();
  const bool songReplaced = SongReplaced();
  Installer installer;
  ASSERT_TRUE(installer.Open(m_work));
  HWND dialog = installer.Dialog();
  // In the screen's bottom right corner, the frame keeps clear of the
  // message boxes, which Wine centres on the screen (at 200 % the dialog
  // spans most of it): a box over part of the frame leaves a smaller solid
  // rectangle, and the dialog's repaint of what the box uncovers comes
  // moments after the box is gone.
  RECT frame;
  ::GetWindowRect(dialog, &frame);
  ::SetWindowPos(dialog, HWND_TOPMOST, ::GetSystemMetrics(SM_CXSCREEN) - (frame.right - frame.left),
                 ::GetSystemMetrics(SM_CYSCREEN) - (frame.bottom - frame.top), 0, 0, SWP_NOSIZE);
  ASSERT_TRUE(installer.SelectPort(kUsbPort));
  auto rectOf = [&](int id) { return ChildRect(dialog, ::GetDlgItem(dialog, id)); };
  // Without the replacement the fallback font's units are 1.75 pixels or
  // more where the template's font has 1.5: Install's 61 units are wider.
  if (!songReplaced) {
    ASSERT_GT(rectOf(IDC_INSTALL).right - rectOf(IDC_INSTALL).left, 1.1 * 61 * 1.5 * dpi / 96)
        << "the dialog kept the template's font";
  }
  for (int id : {IDC_INSTALL, IDC_DELETE}) {
    RECT box{};
    EXPECT_EQ(installer.Click(id, &box), id == IDC_INSTALL ? "Install success!" : "Delete success!");
    Shot shot;
    RECT blank{};
    WaitUntil([&] {
      shot = ShootClient(dialog);
      blank = BoxOf(shot, kBlankColour);
      return blank.left < blank.right && AllOf(shot, blank, kBlankColour);
    });
    ASSERT_LT(blank.left, blank.right) << id;
    EXPECT_TRUE(AllOf(shot, blank, kBlankColour)) << id;
    RECT onScreen = blank, covered;
    ::MapWindowPoints(dialog, nullptr, reinterpret_cast<POINT*>(&onScreen), 2);
    ASSERT_FALSE(::IntersectRect(&covered, &onScreen, &box))
        << "the message box lay over the frame: box " << box.left << "," << box.top << " to " << box.right << ","
        << box.bottom << ", frame " << onScreen.left << "," << onScreen.top << " to " << onScreen.right << ","
        << onScreen.bottom;
    // Inside the client area, not cut off at its edge.
    EXPECT_GT(blank.left, 0);
    EXPECT_GT(blank.top, 0);
    EXPECT_LT(blank.right, shot.width);
    EXPECT_LT(blank.bottom, shot.height);
    EXPECT_GE(blank.left, std::max(rectOf(IDC_INSTALL).right, rectOf(IDC_DELETE).right)) << id;
    EXPECT_GE(blank.top, rectOf(IDC_PORT).bottom) << id;
    for (HWND child = ::GetWindow(dialog, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
      RECT overlap, on = ChildRect(dialog, child);
      EXPECT_FALSE(::IntersectRect(&overlap, &blank, &on)) << "on control " << ::GetDlgCtrlID(child);
    }
    // Scaled with the dialog, which grows about as the dpi does.
    if (songReplaced) {
      EXPECT_NEAR(blank.right - blank.left, 122.0 * dpi / 96, 122.0 * dpi / 96 / 10) << id;
      EXPECT_NEAR(blank.bottom - blank.top, 48.0 * dpi / 96, 48.0 * dpi / 96 / 10) << id;
    }
    if (dpi == 96 && songReplaced) {
      // The stand-in has SimSun's metrics (6 x 12 base units at 96 dpi), so
      // the area is exactly the pixels it was drawn for.
      const RECT expected = {175, 160, 175 + 122, 160 + 48};
      EXPECT_TRUE(::EqualRect(&blank, &expected))
          << blank.left << "," << blank.top << " " << blank.right - blank.left << "x" << blank.bottom - blank.top
          << ", base units " << TemplateBaseUnits().cx << "x" << TemplateBaseUnits().cy;
    }
  }
  EXPECT_TRUE(installer.Close());
}

// Unattended with a limited token: 740 before anything changes, said on one
// line of the log; the same courses with the full token as always.
TEST_F(InstallerInstall, LimitedTokenUnattendedCoursesEndWith740) {
  LimitedToken limited;
  ASSERT_NE(limited.get(), nullptr);
  const std::string exe = "\"" + Exe() + "\" ";
  const std::string log = m_work + "\\limited.log";
  ::CreateDirectoryA((m_driverDir + "\\3").c_str(), nullptr);
  const SpoolerState before = ReadSpoolerState();
  const FolderSnapshot filesBefore = FolderSnapshot::Take(m_driverDir);
  EXPECT_EQ(RunWithoutAnyWindow(Exe(), exe + "/Install /Port COM87: /Log \"" + log + "\"", m_work, limited.get()), 740);
  const std::vector<std::string> lines = LogLines(log);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_TRUE(
      LineIs(lines[0], "this course needs administrator rights: run it elevated or as the system account", 740));
  EXPECT_EQ(ReadSpoolerState(), before);
  EXPECT_TRUE(Unchanged(filesBefore, FolderSnapshot::Take(m_driverDir)));

  ASSERT_EQ(RunWithoutAnyWindow(Exe(), exe + "/Install /Port COM87:", m_work), 0);
  const SpoolerState installed = ReadSpoolerState();
  EXPECT_EQ(RunWithoutAnyWindow(Exe(), exe + "/Delete", m_work, limited.get()), 740);
  EXPECT_EQ(ReadSpoolerState(), installed);
  ExpectDriverFiles("");
  EXPECT_EQ(RunWithoutAnyWindow(Exe(), exe + "/Delete", m_work), 0);
  ::DeleteFileA(log.c_str());
}
