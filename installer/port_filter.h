// Which of the spooler's ports the dialog lists and which one it preselects.
// Platform-free.
#pragma once

// COM, USB, LPT and FILE ports, by their case-sensitive name prefix.
bool IsListedPort(const char* name);
// A serial port: the name begins with "COM".
bool IsComPort(const char* name);
// A serial or parallel port, whose configuration dialog the spooler offers.
bool IsConfigurablePort(const char* name);

// The name of USB printer port number `port` as the spooler lists it: "USB"
// and the number, at least three digits; empty for -1 (no port).
void FormatUsbPortName(int port, char (&name)[255]);

// A name a spooler port could have: shorter than the list's 256-byte
// entries, and no control characters.
bool IsPlausiblePortName(const char* name);

// Builds the port list one spooler port at a time: counts the listed entries
// and keeps the last entry that names the plotter's port exactly.
class PortSelection {
 public:
  explicit PortSelection(const char* usbPortName) : m_usbPortName(usbPortName) {}
  // True when the port goes into the list.
  bool Offer(const char* name);
  int Entries() const { return m_entries; }
  // The entry to select: the plotter's port, else the first.
  int Selected() const { return m_selected; }

 private:
  const char* m_usbPortName;
  int m_entries = 0;
  int m_selected = 0;
};
