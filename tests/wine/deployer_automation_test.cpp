// A real automation client, Wine's cscript, against the deployer: the object
// knows no members, keeps the program alive while held, and is cut off when
// the user ends the dialog.
#include <gtest/gtest.h>

#include <set>

#include "deployer_fixture.h"
#include "planted_dlls.h"
#include "snapshot.h"

using namespace deployer_test;

namespace {

// Creates the object, reports how member lookup and the default member fail,
// holds the object until go.txt appears, tries it once more, then releases
// it and stays until end.txt appears. Each wait is bounded.
const char kScript[] = R"(Dim fso, o, out, x, dir
dir = WScript.Arguments(0)
Set fso = CreateObject("Scripting.FileSystemObject")
Set o = CreateObject("AddonDeploy.Application")
On Error Resume Next
x = o.Install
Set out = fso.CreateTextFile(dir & "\created.tmp", True)
out.WriteLine Err.Number
Err.Clear
x = o
out.WriteLine Err.Number
Err.Clear
out.Close
fso.MoveFile dir & "\created.tmp", dir & "\created.txt"
WaitFor "go.txt"
x = o.Install
Set out = fso.CreateTextFile(dir & "\after.tmp", True)
out.WriteLine Err.Number
out.Close
Set o = Nothing
fso.MoveFile dir & "\after.tmp", dir & "\after.txt"
WaitFor "end.txt"

' Wine's WScript.Sleep does nothing, so this polls; 30 s at most.
Sub WaitFor(name)
  Dim start
  start = Timer
  Do Until fso.FileExists(dir & "\" & name) Or Abs(Timer - start) > 30
  Loop
End Sub
)";

constexpr int kUnknownName = 438;  // "Object doesn't support this property or method"

// The numbers a script wrote, one per line, once the file is complete.
std::vector<long> WaitForNumbers(const std::string& path) {
  std::vector<long> numbers;
  if (!WaitUntil([&] { return FileExists(path); }, 30000)) return numbers;
  const std::string text = ReadFileBytes(path);
  for (size_t pos = 0; pos < text.size();) {
    const size_t end = text.find('\n', pos);
    const std::string line = text.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
    if (!line.empty() && line != "\r") numbers.push_back(std::strtol(line.c_str(), nullptr, 10));
    pos = end == std::string::npos ? text.size() : end + 1;
  }
  return numbers;
}

std::set<HWND> DeployerDialogs() {
  std::set<HWND> found;
  for (HWND hwnd = ::FindWindowExA(nullptr, nullptr, "#32770", kCaption); hwnd;
       hwnd = ::FindWindowExA(nullptr, hwnd, "#32770", kCaption))
    found.insert(hwnd);
  return found;
}

// One client session: the script running, and the server COM started for it.
class ClientSession {
 public:
  explicit ClientSession(const Sandbox& box) : m_dir(box.Dir()) {
    WriteFileBytes(m_dir + "\\client.vbs", kScript);
    const std::set<HWND> before = DeployerDialogs();
    char system[MAX_PATH] = "";
    ::GetSystemDirectoryA(system, MAX_PATH);
    const std::string cscript = std::string(system) + "\\cscript.exe";
    if (!m_script.Start(cscript, "\"" + cscript + "\" //nologo \"" + m_dir + "\\client.vbs\" \"" + m_dir + "\""))
      return;
    WaitUntil([&] {
      for (HWND hwnd : DeployerDialogs())
        if (!before.count(hwnd) && ::IsWindowVisible(hwnd)) m_dialog = hwnd;
      return m_dialog != nullptr;
    });
    DWORD pid = 0;
    if (m_dialog) ::GetWindowThreadProcessId(m_dialog, &pid);
    if (pid) m_server = ::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
  }
  ~ClientSession() {
    Signal("end.txt");
    m_script.WaitExit();
    if (m_server) ::CloseHandle(m_server);
  }

  HWND Dialog() const { return m_dialog; }
  bool ServerRunning() const { return m_server && ::WaitForSingleObject(m_server, 0) == WAIT_TIMEOUT; }
  bool WaitServerExit() {
    return WaitUntil([&] { return !ServerRunning(); });
  }
  void Signal(const char* name) { WriteFileBytes(m_dir + "\\" + name, "1"); }
  std::vector<long> Numbers(const char* name) { return WaitForNumbers(m_dir + "\\" + name); }

 private:
  std::string m_dir;
  ChildProcess m_script;
  HWND m_dialog = nullptr;
  HANDLE m_server = nullptr;
};

class DeployerAutomation : public ::testing::Test {
 protected:
  void SetUp() override {
    UnregisterAllHosts();
    ASSERT_TRUE(RunsWithoutWindow(m_box, "/Register"));
    m_plugins = m_box.AddHost(17, EditionExists(true));
  }
  void TearDown() override {
    RunsWithoutWindow(m_box, "/Unregister");
    UnregisterAllHosts();
  }
  Sandbox m_box{"automation"};
  std::string m_plugins;
};

TEST_F(DeployerAutomation, HeldObjectKnowsNoMembersAndOutlivesACloseRequestUntilReleased) {
  ClientSession client(m_box);
  ASSERT_NE(client.Dialog(), nullptr);
  ASSERT_TRUE(client.ServerRunning());
  const std::vector<long> created = client.Numbers("created.txt");
  ASSERT_EQ(created.size(), 2u);
  EXPECT_EQ(created[0], kUnknownName);  // name lookup fails
  EXPECT_NE(created[1], 0);             // so does a call of the default member

  // While the client holds the object, a close request only hides the dialog.
  Send(client.Dialog(), WM_CLOSE);
  ASSERT_TRUE(WaitUntil([&] { return !::IsWindowVisible(client.Dialog()); }));
  EXPECT_TRUE(::IsWindow(client.Dialog()));

  // The object is still served; once released, the program ends.
  client.Signal("go.txt");
  const std::vector<long> after = client.Numbers("after.txt");
  ASSERT_EQ(after.size(), 1u);
  EXPECT_EQ(after[0], kUnknownName);
  EXPECT_TRUE(client.WaitServerExit());
}

TEST_F(DeployerAutomation, CancelEscOrInstallEndTheServerAndCutTheClientOff) {
  enum Way { kCancel, kEsc, kInstall };
  for (Way way : {kCancel, kEsc, kInstall}) {
    {
      ClientSession client(m_box);
      ASSERT_NE(client.Dialog(), nullptr) << way;
      ASSERT_EQ(client.Numbers("created.txt").size(), 2u) << way;
      if (way == kCancel) PostClick(client.Dialog(), 1009);
      if (way == kEsc) PressEsc(client.Dialog());
      if (way == kInstall) {
        ASSERT_TRUE(WaitUntil([&] { return Enabled(client.Dialog(), IDOK); }));
        PostClick(client.Dialog(), IDOK);
      }
      EXPECT_TRUE(client.WaitServerExit()) << way;

      client.Signal("go.txt");
      const std::vector<long> after = client.Numbers("after.txt");
      ASSERT_EQ(after.size(), 1u) << way;
      EXPECT_NE(after[0], 0) << way;
      EXPECT_NE(after[0], kUnknownName) << way;
    }
    // Only Install deploys; it still ends the program for the client.
    EXPECT_EQ(FileExists(m_plugins + "\\Marlotrim.cpg"), way == kInstall) << way;
    for (const char* name : {"created.txt", "go.txt", "after.txt", "end.txt"})
      ::DeleteFileA((m_box.Dir() + "\\" + name).c_str());
  }
}

// A deployment waiting for a module the host holds, while a client holds the
// object. The client lets go, or the user asks to close: either way the
// dialog stays in sight until the user gives up the wait, and the program
// ends once the deployment has ended, with the host's folder as it was.
TEST_F(DeployerAutomation, DuringAHeldWaitTheDialogStaysInSightUntilTheDeploymentEnds) {
  ASSERT_TRUE(::CreateDirectoryA(m_plugins.c_str(), nullptr));
  ImageHolder host(m_plugins + "\\Marlotrim.cpg");
  ASSERT_TRUE(host.Held());
  const FolderSnapshot before = FolderSnapshot::Take(m_plugins);
  enum Way { kRelease, kClose };
  for (Way way : {kRelease, kClose}) {
    ClientSession client(m_box);
    HWND dialog = client.Dialog();
    ASSERT_NE(dialog, nullptr) << way;
    ASSERT_EQ(client.Numbers("created.txt").size(), 2u) << way;
    DWORD server = 0;
    ::GetWindowThreadProcessId(dialog, &server);
    ASSERT_TRUE(WaitUntil([&] { return Enabled(dialog, IDOK); })) << way;
    PostClick(dialog, IDOK);
    // The wait is under way once the dialog names the edition to close.
    ASSERT_TRUE(WaitUntil([&] { return WindowText(GroupBox(dialog)).rfind("Close ", 0) == 0; })) << way;

    if (way == kRelease) {
      // The client's last call and release have been served once it writes.
      client.Signal("go.txt");
      ASSERT_EQ(client.Numbers("after.txt").size(), 1u);
      EXPECT_TRUE(::IsWindowVisible(dialog));
      EXPECT_TRUE(Enabled(dialog, 1009));
      EXPECT_TRUE(client.ServerRunning());
      PostClick(dialog, 1009);
    } else {
      // A close request during a deployment gives up the wait, as Cancel does.
      ::PostMessageA(dialog, WM_CLOSE, 0, 0);
    }
    HWND fail = WaitForMessageBox(server, kCaption, dialog);
    ASSERT_NE(fail, nullptr) << way;
    EXPECT_EQ(Headline(MessageBoxText(fail)), "Fail") << way;
    EXPECT_TRUE(HasReason(MessageBoxText(fail))) << way;
    EXPECT_TRUE(::IsWindowVisible(dialog)) << way;
    PressOk(fail);
    EXPECT_TRUE(client.WaitServerExit()) << way;
    if (way == kClose) client.Signal("go.txt");
    EXPECT_TRUE(Unchanged(before, FolderSnapshot::Take(m_plugins))) << way;
    for (const char* name : {"created.txt", "go.txt", "after.txt", "end.txt"})
      ::DeleteFileA((m_box.Dir() + "\\" + name).c_str());
  }
}

}  // namespace
