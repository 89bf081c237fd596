// The installer on registries and spoolers that other software has filled:
// thousands of entries, values of the wrong size, overlong list entries.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dialog.h"
#include "support.h"

namespace {

const std::string kClass =
    "System\\CurrentControlSet\\Control\\DeviceClasses\\{28d78fad-5a12-11d1-ae5b-0000f803a8c2}";
const std::string kPortsKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports";
const std::string kPlotter = "##?#USB#Vid_0483&Pid_5750#JUNK#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}";

int FoundPort() {
  CPLOTINSTDlg dlg;
  return dlg.FindPlotterUsbPort();
}


}  // namespace

// Keys and values this file adds, removed again however a test ends.
struct Cleanup {
  std::vector<std::string> keys, portValues;
  ~Cleanup() {
    for (const std::string& k : keys) DeleteTree(HKEY_LOCAL_MACHINE, k);
    for (const std::string& v : portValues) DeleteValue(HKEY_LOCAL_MACHINE, kPortsKey, v.c_str());
  }
};

TEST(InstallerJunk, NumerousAndMalformedDeviceKeysDoNotHideThePlotter) {
  Cleanup cleanup;
  for (int i = 0; i < 2000; ++i) {
    cleanup.keys.push_back(kClass + "\\##?#USB#Vid_1111&Pid_" + std::to_string(i));
    ASSERT_TRUE(SetDword(HKEY_LOCAL_MACHINE, cleanup.keys.back(), "x", 0));
  }
  // "Linked" and "Port Number" longer than 4 bytes are not numbers here.
  const BYTE eight[8] = {1, 0, 0, 0, 0, 0, 0, 0};
  const std::string a = kClass + "\\" + kPlotter + "A", b = kClass + "\\" + kPlotter + "B";
  cleanup.keys.insert(cleanup.keys.end(), {a, b});
  ASSERT_TRUE(SetRaw(HKEY_LOCAL_MACHINE, a + "\\#\\Control", "Linked", REG_BINARY, eight, 8));
  ASSERT_TRUE(SetDword(HKEY_LOCAL_MACHINE, a + "\\#\\Device Parameters", "Port Number", 9));
  ASSERT_TRUE(SetDword(HKEY_LOCAL_MACHINE, b + "\\#\\Control", "Linked", 1));
  ASSERT_TRUE(SetRaw(HKEY_LOCAL_MACHINE, b + "\\#\\Device Parameters", "Port Number", REG_BINARY, eight, 8));
  EXPECT_EQ(FoundPort(), -1);

  // A proper plotter among all that is found.
  const std::string c = kClass + "\\" + kPlotter + "C";
  cleanup.keys.push_back(c);
  ASSERT_TRUE(SetDword(HKEY_LOCAL_MACHINE, c + "\\#\\Control", "Linked", 1));
  ASSERT_TRUE(SetDword(HKEY_LOCAL_MACHINE, c + "\\#\\Device Parameters", "Port Number", 42));
  EXPECT_EQ(FoundPort(), 42);
}

TEST(InstallerJunk, HundredsOfPortsAndAnOverlongEntryKeepTheListSound) {
  Cleanup cleanup;
  for (int i = 0; i < 300; ++i) {
    cleanup.portValues.push_back("USB5" + std::to_string(i));
    ASSERT_TRUE(SetString(HKEY_LOCAL_MACHINE, kPortsKey, cleanup.portValues.back().c_str(), ""));
  }
  CPLOTINSTDlg dlg;
  ASSERT_TRUE(dlg.Create());
  HWND list = ::GetDlgItem(dlg.m_hWnd, IDC_PORT);
  EXPECT_GE(::SendMessageA(list, CB_GETCOUNT, 0, 0), 300);

  // Wine's spooler cannot list a port name of 300 characters, so the entry is
  // put into the list directly: selected, it is never copied into the
  // 256-byte buffer and counts as no port, so Config stays off although the
  // name begins with COM.
  const std::string longPort = "COM" + std::string(297, '9');
  const int index = static_cast<int>(::SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(longPort.c_str())));
  SelectComboEntry(dlg.m_hWnd, IDC_PORT, index);
  EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(dlg.m_hWnd, IDC_CONFIG)));
  // One character shorter than the buffer still fits and counts.
  const std::string fitting = "COM" + std::string(252, '8');
  const int fits = static_cast<int>(::SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(fitting.c_str())));
  SelectComboEntry(dlg.m_hWnd, IDC_PORT, fits);
  EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(dlg.m_hWnd, IDC_CONFIG)));
}

// A plotter entry, created relative to the device class: Wine's ANSI
// registry calls refuse a full path longer than 260 characters.
class PlotterEntry {
 public:
  PlotterEntry(const std::string& name, DWORD port) : m_name(name) {
    ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kClass.c_str(), 0, KEY_ALL_ACCESS, &m_class);
    HKEY entry = nullptr;
    if (m_class != nullptr)
      ::RegCreateKeyExA(m_class, name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &entry, nullptr);
    m_created = entry != nullptr && SetUnder(entry, "#\\Control", "Linked", 1) &&
                SetUnder(entry, "#\\Device Parameters", "Port Number", port);
    if (entry != nullptr) ::RegCloseKey(entry);
  }
  ~PlotterEntry() {
    if (m_class == nullptr) return;
    ::RegDeleteTreeA(m_class, m_name.c_str());
    ::RegCloseKey(m_class);
  }
  PlotterEntry(const PlotterEntry&) = delete;
  PlotterEntry& operator=(const PlotterEntry&) = delete;
  bool Created() const { return m_created; }

 private:
  static bool SetUnder(HKEY parent, const char* path, const char* name, DWORD value) {
    HKEY key = nullptr;
    if (::RegCreateKeyExA(parent, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
      return false;
    const bool set = ::RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), 4) == 0;
    ::RegCloseKey(key);
    return set;
  }

  std::string m_name;
  HKEY m_class = nullptr;
  bool m_created = false;
};

TEST(InstallerJunk, KeyNamesOfTheLongestLengthsAreHandledSoundly) {
  // Sorted after the long ones, so the search must pass them to find it.
  PlotterEntry proper(kPlotter + "Z", 42);
  ASSERT_TRUE(proper.Created());
  auto padded = [](size_t length) { return kPlotter + std::string(length - kPlotter.size(), 'P'); };
  // 255 characters (the longest Windows allows) and 256 (Wine allows it) do
  // not fit the enumeration buffer: passed over, the search goes on.
  for (size_t length : {255, 256}) {
    PlotterEntry overlong(padded(length), 7);
    ASSERT_TRUE(overlong.Created()) << length;
    EXPECT_EQ(FoundPort(), 42) << length;
  }
  // 254 characters fit. The keys below it are read where the system's ANSI
  // registry calls take a path of that length, and passed over where they
  // refuse it (Wine); either way the search neither fails nor overruns.
  PlotterEntry longest(padded(254), 254);
  ASSERT_TRUE(longest.Created());
  const int found = FoundPort();
  EXPECT_TRUE(found == 254 || found == 42) << found;
}

TEST(InstallerJunk, AnUnreadableControlKeyCountsAsNotLinked) {
  Cleanup cleanup;
  const std::string locked = kClass + "\\" + kPlotter + "L";
  cleanup.keys.push_back(locked);
  ASSERT_TRUE(SetDword(HKEY_LOCAL_MACHINE, locked + "\\#\\Control", "Linked", 1));
  ASSERT_TRUE(SetDword(HKEY_LOCAL_MACHINE, locked + "\\#\\Device Parameters", "Port Number", 77));
  ASSERT_TRUE(DenyKeyRights(locked + "\\#\\Control", KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS));
  HKEY probe = nullptr;
  const LONG rc = ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, (locked + "\\#\\Control").c_str(), 0, KEY_READ, &probe);
  if (probe != nullptr) ::RegCloseKey(probe);
  const int found = FoundPort();
  ASSERT_TRUE(DenyKeyRights(locked + "\\#\\Control", 0));
  ASSERT_EQ(rc, ERROR_ACCESS_DENIED) << "the system did not keep the key from being read";
  EXPECT_EQ(found, -1);
}
