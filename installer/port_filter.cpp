#include "port_filter.h"

#include <cstdio>
#include <cstring>

namespace {

bool StartsWith(const char* name, const char* prefix) {
  return std::strncmp(name, prefix, std::strlen(prefix)) == 0;
}

}  // namespace

bool IsListedPort(const char* name) {
  return StartsWith(name, "COM") || StartsWith(name, "USB") || StartsWith(name, "LPT") ||
         StartsWith(name, "FILE");
}

bool IsComPort(const char* name) { return StartsWith(name, "COM"); }

bool IsConfigurablePort(const char* name) { return StartsWith(name, "COM") || StartsWith(name, "LPT"); }

void FormatUsbPortName(int port, char (&name)[255]) {
  std::memset(name, 0, sizeof name);
  if (port != -1) std::snprintf(name, sizeof name, "USB%03d", port);
}

bool IsPlausiblePortName(const char* name) {
  for (std::size_t i = 0; i < 256; ++i) {
    if (name[i] == '\0') return i > 0;
    if (static_cast<unsigned char>(name[i]) < 0x20) return false;
  }
  return false;
}

bool PortSelection::Offer(const char* name) {
  if (!IsListedPort(name)) return false;
  // The whole name must agree: with the plotter at USB1000, USB100 is another port.
  if (m_usbPortName[0] != '\0' && std::strcmp(name, m_usbPortName) == 0) m_selected = m_entries;
  ++m_entries;
  return true;
}
