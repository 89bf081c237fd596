// Port discovery, hosted in the test process: the plotter found through the
// device-class keys, the spooler's ports filtered and preselected, the
// serial defaults written.
#include <gtest/gtest.h>

#include <algorithm>

#include <windows.h>
#include <winspool.h>

#include "dialog.h"
#include "support.h"

namespace {

const std::string kClass =
    "System\\CurrentControlSet\\Control\\DeviceClasses\\{28d78fad-5a12-11d1-ae5b-0000f803a8c2}";
const std::string kPortsKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports";

class TestDialog : public CPLOTINSTDlg {
 public:
  using CPLOTINSTDlg::m_portConfigured;
  using CPLOTINSTDlg::m_usbPortName;
};

// A device interface of the USB printer class, removed again on scope exit.
class Device {
 public:
  Device(const std::string& name, const void* linked, DWORD linkedType, DWORD linkedSize, const DWORD* port)
      : m_key(kClass + "\\" + name) {
    if (linked) SetRaw(HKEY_LOCAL_MACHINE, m_key + "\\#\\Control", "Linked", linkedType, linked, linkedSize);
    if (port) SetDword(HKEY_LOCAL_MACHINE, m_key + "\\#\\Device Parameters", "Port Number", *port);
  }
  ~Device() { DeleteTree(HKEY_LOCAL_MACHINE, m_key); }

 private:
  std::string m_key;
};

std::string Plotter(const char* serial) {
  return std::string("##?#USB#Vid_0483&Pid_5750#") + serial + "#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}";
}

const DWORD kOne = 1, kZero = 0;

int FoundPort() {
  TestDialog dlg;
  return dlg.FindPlotterUsbPort();
}

// The dialog, created in this process, with its list and buttons set.
class HostedDialog {
 public:
  HostedDialog() { m_created = m_dlg.Create() != FALSE; }
  TestDialog& operator*() { return m_dlg; }
  TestDialog* operator->() { return &m_dlg; }
  bool Created() const { return m_created; }
  HWND Hwnd() const { return m_dlg.m_hWnd; }
  std::vector<std::string> Ports() {
    std::vector<std::string> names;
    const int n = static_cast<int>(::SendDlgItemMessageA(Hwnd(), IDC_PORT, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < n; ++i) names.push_back(ComboText(Hwnd(), IDC_PORT, i));
    return names;
  }
  std::string SelectedPort() {
    const int i = static_cast<int>(::SendDlgItemMessageA(Hwnd(), IDC_PORT, CB_GETCURSEL, 0, 0));
    return i < 0 ? std::string() : ComboText(Hwnd(), IDC_PORT, i);
  }

 private:
  TestDialog m_dlg;
  bool m_created = false;
};

// Test values of the Ports key, removed again on scope exit.
class PortValues {
 public:
  explicit PortValues(std::vector<std::string> names) : m_names(std::move(names)) {
    for (const std::string& n : m_names) SetString(HKEY_LOCAL_MACHINE, kPortsKey, n.c_str(), "");
  }
  ~PortValues() {
    for (const std::string& n : m_names) DeleteValue(HKEY_LOCAL_MACHINE, kPortsKey, n.c_str());
  }

 private:
  std::vector<std::string> m_names;
};

}  // namespace

TEST(InstallerPorts, FindsTheFirstLinkedPlotterWithReadablePortNumber) {
  EXPECT_EQ(FoundPort(), -1);
  const DWORD seven = 7, other = 9;
  {
    // Unlinked plotter, and a linked device of another product: no plotter.
    Device unlinked(Plotter("A1"), &kZero, REG_DWORD, 4, &other);
    Device foreign("##?#USB#Vid_0483&Pid_5751#B1#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}", &kOne, REG_DWORD, 4,
                   &other);
    Device noPort(Plotter("A2"), &kOne, REG_DWORD, 4, nullptr);
    EXPECT_EQ(FoundPort(), -1);
    Device linked(Plotter("A3"), &kOne, REG_DWORD, 4, &seven);
    EXPECT_EQ(FoundPort(), 7);
  }
  {
    // "Linked" counts only as a 32-bit value of 1, read as exactly 4 bytes.
    const BYTE shortOne[2] = {1, 0};
    Device shortValue(Plotter("C1"), shortOne, REG_BINARY, 2, &seven);
    Device text(Plotter("C2"), "1", REG_SZ, 2, &seven);
    EXPECT_EQ(FoundPort(), -1);
  }
}

TEST(InstallerPorts, PortNameFromTheNumber) {
  for (const auto& [number, name] : {std::pair<DWORD, const char*>{7, "USB007"}, {1234, "USB1234"}, {1, "USB001"}}) {
    Device plotter(Plotter("D1"), &kOne, REG_DWORD, 4, &number);
    HostedDialog dlg;
    ASSERT_TRUE(dlg.Created());
    EXPECT_STREQ(dlg->m_usbPortName, name);
  }
  HostedDialog none;
  ASSERT_TRUE(none.Created());
  EXPECT_STREQ(none->m_usbPortName, "");
}

TEST(InstallerPorts, ListsAcceptedPortsInSpoolerOrderAndPreselectsThePlotter) {
  PortValues values({"USB007", "USB0071", "NE01:", "com9", "XPS:"});
  const DWORD seven = 7;
  {
    Device plotter(Plotter("E1"), &kOne, REG_DWORD, 4, &seven);
    HostedDialog dlg;
    ASSERT_TRUE(dlg.Created());
    const std::vector<std::string> ports = dlg.Ports();
    for (const std::string& p : ports) {
      EXPECT_TRUE(p.rfind("COM", 0) == 0 || p.rfind("USB", 0) == 0 || p.rfind("LPT", 0) == 0 ||
                  p.rfind("FILE", 0) == 0)
          << p;
    }
    EXPECT_EQ(std::count(ports.begin(), ports.end(), "USB007"), 1);
    EXPECT_EQ(std::count(ports.begin(), ports.end(), "USB0071"), 1);
    EXPECT_EQ(std::count(ports.begin(), ports.end(), "NE01:"), 0);
    EXPECT_EQ(std::count(ports.begin(), ports.end(), "com9"), 0);
    EXPECT_EQ(dlg.SelectedPort(), "USB007");

    // The spooler's own order, with the other ports left out.
    DWORD needed = 0, count = 0;
    ::EnumPortsA(nullptr, 1, nullptr, 0, &needed, &count);
    std::vector<BYTE> buffer(needed);
    ASSERT_TRUE(::EnumPortsA(nullptr, 1, buffer.data(), needed, &needed, &count));
    std::vector<std::string> expected;
    const auto* records = reinterpret_cast<const PORT_INFO_1A*>(buffer.data());
    for (DWORD i = 0; i < count; ++i) {
      const std::string name = records[i].pName;
      for (const char* prefix : {"COM", "USB", "LPT", "FILE"})
        if (name.rfind(prefix, 0) == 0) expected.push_back(name);
    }
    EXPECT_EQ(ports, expected);
  }
  HostedDialog noPlotter;
  ASSERT_TRUE(noPlotter.Created());
  EXPECT_EQ(::SendDlgItemMessageA(noPlotter.Hwnd(), IDC_PORT, CB_GETCURSEL, 0, 0), 0);
}

TEST(InstallerPorts, EverySelectionClearsTheConfiguredFlag) {
  HostedDialog dlg;
  ASSERT_TRUE(dlg.Created());
  const std::vector<std::string> ports = dlg.Ports();
  const auto file = std::find(ports.begin(), ports.end(), "FILE:");
  ASSERT_NE(file, ports.end());
  const int fileIndex = static_cast<int>(file - ports.begin());
  SelectComboEntry(dlg.Hwnd(), IDC_PORT, fileIndex);
  dlg->OnConfig();  // a FILE port has no configuration dialog: only the flag changes
  EXPECT_EQ(dlg->m_portConfigured, 1);
  SelectComboEntry(dlg.Hwnd(), IDC_PORT, fileIndex == 0 ? 1 : 0);
  EXPECT_EQ(dlg->m_portConfigured, 0);
  dlg->OnConfig();
  SelectComboEntry(dlg.Hwnd(), IDC_PORT, fileIndex);
  EXPECT_EQ(dlg->m_portConfigured, 0);
}

TEST(InstallerPorts, NoAcceptedPortLeavesAnEmptyListAndConfigDisabled) {
  // Set the spooler's port values aside for the length of this test.
  HKEY ports = nullptr;
  ASSERT_EQ(::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kPortsKey.c_str(), 0, KEY_ALL_ACCESS, &ports), ERROR_SUCCESS);
  std::vector<std::pair<std::string, std::string>> saved;
  char name[256];
  BYTE data[1024];
  for (DWORD i = 0;; ++i) {
    DWORD nameLen = sizeof name, dataLen = sizeof data, type = 0;
    if (::RegEnumValueA(ports, i, name, &nameLen, nullptr, &type, data, &dataLen) != ERROR_SUCCESS) break;
    saved.emplace_back(name, std::string(reinterpret_cast<char*>(data), dataLen));
  }
  for (const auto& v : saved) ::RegDeleteValueA(ports, v.first.c_str());
  SetString(HKEY_LOCAL_MACHINE, kPortsKey, "NE01:", "");
  {
    HostedDialog dlg;
    EXPECT_TRUE(dlg.Created());
    EXPECT_TRUE(dlg.Ports().empty());
    EXPECT_EQ(::SendDlgItemMessageA(dlg.Hwnd(), IDC_PORT, CB_GETCURSEL, 0, 0), CB_ERR);
    EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(dlg.Hwnd(), IDC_CONFIG)));
  }
  ::RegDeleteValueA(ports, "NE01:");
  for (const auto& v : saved)
    ::RegSetValueExA(ports, v.first.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(v.second.data()),
                     static_cast<DWORD>(v.second.size()));
  ::RegCloseKey(ports);
}

TEST(InstallerPorts, DefaultComSettingsReplaceTheValueOfThePortsName) {
  const char* port = "COM97:";
  SetString(HKEY_LOCAL_MACHINE, kPortsKey, port, "9600,n,8,1");
  TestDialog dlg;
  dlg.WriteDefaultComSettings(port);
  std::string data;
  DWORD type = 0;
  ASSERT_TRUE(ReadValue(HKEY_LOCAL_MACHINE, kPortsKey, port, data, &type));
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(data, std::string("38400,o,8,1,p", 14));
  DeleteValue(HKEY_LOCAL_MACHINE, kPortsKey, port);
}
