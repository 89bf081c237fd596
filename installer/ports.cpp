// Port discovery: the plugged-in plotter's USB printer port, the spooler's
// ports in the list, and the serial defaults of a COM port.
#include <cstdio>
#include <cstring>

#include "dialog.h"
#include "handles.h"
#include "port_filter.h"
#include "spooler.h"

namespace {

constexpr char kUsbPrinterClass[] =
    "System\\CurrentControlSet\\Control\\DeviceClasses\\{28d78fad-5a12-11d1-ae5b-0000f803a8c2}";
constexpr char kControlKey[] =
    "System\\CurrentControlSet\\Control\\DeviceClasses\\{28d78fad-5a12-11d1-ae5b-0000f803a8c2}\\%s\\#\\Control";
constexpr char kParametersKey[] =
    "System\\CurrentControlSet\\Control\\DeviceClasses\\{28d78fad-5a12-11d1-ae5b-0000f803a8c2}\\%s\\#\\Device "
    "Parameters";
// USB vendor 0483, product 5750.
constexpr char kPlotterInterface[] = "##?#USB#Vid_0483&Pid_5750";
constexpr char kPortsKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports";
constexpr char kComDefaults[] = "38400,o,8,1,p";

// A 32-bit value of the key at path, used only when exactly 4 bytes were read.
bool ReadDword(const char* path, const char* valueName, DWORD& value) {
  UniqueHKey key;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, key.put()) != ERROR_SUCCESS) return false;
  DWORD size = sizeof value;
  const LONG rc = ::RegQueryValueExA(key.get(), valueName, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
  return rc == ERROR_SUCCESS && size == sizeof value;
}

}  // namespace

int CPLOTINSTDlg::FindPlotterUsbPort() {
  UniqueHKey deviceClass;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUsbPrinterClass, 0, KEY_READ, deviceClass.put()) != ERROR_SUCCESS)
    return -1;
  char name[256];
  char path[512];
  for (DWORD index = 0;; ++index) {
    name[0] = '\0';
    const LONG rc = ::RegEnumKeyA(deviceClass.get(), index, name, 255);
    // A name too long for the buffer is skipped; any other failure ends the
    // search, so a key changed while it is read cannot keep it going.
    if (rc == ERROR_MORE_DATA) continue;
    if (rc != ERROR_SUCCESS) break;
    if (std::strncmp(name, kPlotterInterface, sizeof kPlotterInterface - 1) != 0) continue;

    DWORD linked = 0;
    std::snprintf(path, sizeof path, kControlKey, name);
    if (!ReadDword(path, "Linked", linked) || linked != 1) continue;
    DWORD port = 0;
    std::snprintf(path, sizeof path, kParametersKey, name);
    if (ReadDword(path, "Port Number", port)) return static_cast<int>(port);
  }
  return -1;
}

void CPLOTINSTDlg::PlotterUsbPortName(char (&name)[255]) { FormatUsbPortName(FindPlotterUsbPort(), name); }

DWORD CPLOTINSTDlg::ListPorts(const char* usbPortName, PortList& list) {
  list.ports = spooler::EnumPorts();
  PortSelection selection(usbPortName);
  for (const PORT_INFO_1A& port : list.ports) {
    // A name longer than the list's 256-byte entries could never be read back.
    if (port.pName != nullptr && std::strlen(port.pName) < 256 && selection.Offer(port.pName))
      list.names.push_back(port.pName);
  }
  list.selected = selection.Selected();
  return list.ports.Error();
}

void CPLOTINSTDlg::FillPortList() {
  CWnd combo = GetDlgItem(IDC_PORT);
  // A spooler that refuses to list its ports leaves the list empty.
  PortList list;
  ListPorts(m_usbPortName, list);
  for (const char* name : list.names) combo.SendMessage(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
  combo.SendMessage(CB_SETCURSEL, list.selected);
  OnPortChanged();
}

void CPLOTINSTDlg::OnPortChanged() {
  m_portConfigured = 0;
  char port[256];
  GetSelectedText(IDC_PORT, port);
  GetDlgItem(IDC_CONFIG).EnableWindow(IsComPort(port));
}

void CPLOTINSTDlg::OnConfig() {
  m_portConfigured = 1;
  char port[256];
  GetSelectedText(IDC_PORT, port);
  if (IsConfigurablePort(port)) spooler::ConfigurePort(m_hWnd, port);
}

LONG CPLOTINSTDlg::WriteDefaultComSettings(const char* portName) {
  HKEY raw = nullptr;
  const LONG rc = ::RegOpenKeyA(HKEY_LOCAL_MACHINE, kPortsKey, &raw);
  if (rc != ERROR_SUCCESS) return rc;
  UniqueHKey ports(raw);
  return ::RegSetValueExA(ports.get(), portName, 0, REG_SZ, reinterpret_cast<const BYTE*>(kComDefaults),
                          sizeof kComDefaults);
}
