// Port filtering and preselection over any list of port names. The first
// line is the plotter's port name, each further line a spooler port.
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "port_filter.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
  std::vector<std::string> lines(1);
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == '\n') lines.emplace_back();
    else lines.back().push_back(static_cast<char>(data[i]));
  }
  // The plotter's port name lives in a 255-byte buffer.
  char usb[255] = "";
  std::strncpy(usb, lines[0].c_str(), sizeof usb - 1);

  PortSelection selection(usb);
  std::vector<std::string> listed;
  for (size_t i = 1; i < lines.size(); ++i) {
    const std::string name = lines[i].c_str();
    if (selection.Offer(name.c_str())) listed.push_back(name);
  }
  if (selection.Entries() != static_cast<int>(listed.size())) std::abort();
  if (listed.empty()) {
    if (selection.Selected() != 0) std::abort();
    return 0;
  }
  if (selection.Selected() < 0 || selection.Selected() >= selection.Entries()) std::abort();
  // A preselected entry other than the first names the plotter's port exactly.
  const std::string& chosen = listed[selection.Selected()];
  if (selection.Selected() != 0 && chosen != usb) std::abort();
  for (size_t i = selection.Selected() + 1; i < listed.size(); ++i)
    if (usb[0] != '\0' && listed[i] == usb) std::abort();  // the last match wins
  return 0;
}
