#include "port_filter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Offers the ports in order; returns the listed names and the selected entry.
std::pair<std::vector<std::string>, int> Fill(const std::vector<const char*>& ports, const char* usb) {
  PortSelection selection(usb);
  std::vector<std::string> listed;
  for (const char* port : ports)
    if (selection.Offer(port)) listed.push_back(port);
  EXPECT_EQ(selection.Entries(), static_cast<int>(listed.size()));
  return {listed, selection.Selected()};
}

}  // namespace

TEST(PortFilter, ListsOnlyTheFourPrefixesCaseSensitively) {
  auto [listed, selected] =
      Fill({"COM1:", "NE01:", "com9", "USB007", "LPT1:", "FILE:", "FIL:", "Usb001", "nul:", "XPSPort:"}, "");
  EXPECT_EQ(listed, (std::vector<std::string>{"COM1:", "USB007", "LPT1:", "FILE:"}));
  EXPECT_EQ(selected, 0);
}

TEST(PortFilter, PreselectsThePlotterPortByItsEntryPosition) {
  char usb[255];
  FormatUsbPortName(7, usb);
  auto [listed, selected] = Fill({"NE01:", "NE02:", "COM1:", "COM2:", "USB007", "FILE:"}, usb);
  ASSERT_EQ(listed.size(), 4u);
  EXPECT_EQ(listed[selected], "USB007");
  FormatUsbPortName(1234, usb);
  EXPECT_STREQ(usb, "USB1234");
  // No plotter: no name, and the first entry is preselected.
  FormatUsbPortName(-1, usb);
  EXPECT_STREQ(usb, "");
  EXPECT_EQ(Fill({"COM1:", "USB001"}, usb).second, 0);
}

TEST(PortFilter, TheWholeNameMustAgree) {
  // With the plotter at USB1000, USB100 is another port.
  EXPECT_EQ(Fill({"USB100", "COM1:", "USB1000"}, "USB1000").second, 2);
  EXPECT_EQ(Fill({"USB1000", "USB100"}, "USB1000").second, 0);
  EXPECT_EQ(Fill({"COM1:", "USB100"}, "USB1000").second, 0);
  EXPECT_EQ(Fill({"COM1:", "USB0071"}, "USB007").second, 0);
  EXPECT_EQ(Fill({"COM1:", "USB00"}, "USB007").second, 0);
}

TEST(PortFilter, NoPlotterOrNoPortsSelectsTheFirstEntry) {
  EXPECT_EQ(Fill({"COM1:", "USB001"}, "").second, 0);
  auto [listed, selected] = Fill({"NE01:", "com1"}, "USB001");
  EXPECT_TRUE(listed.empty());
  EXPECT_EQ(selected, 0);
}

TEST(PortFilter, ConfigurablePorts) {
  EXPECT_TRUE(IsComPort("COM3"));
  EXPECT_FALSE(IsComPort("com3"));
  EXPECT_FALSE(IsComPort("LPT1:"));
  EXPECT_FALSE(IsComPort(""));
  EXPECT_TRUE(IsConfigurablePort("LPT1:"));
  EXPECT_TRUE(IsConfigurablePort("COM1:"));
  EXPECT_FALSE(IsConfigurablePort("USB001"));
  EXPECT_FALSE(IsConfigurablePort("FILE:"));
}

TEST(PortFilter, PlausiblePortNames) {
  const std::string longest(255, 'C'), tooLong(256, 'C');
  EXPECT_TRUE(IsPlausiblePortName("COM3:"));
  EXPECT_TRUE(IsPlausiblePortName(longest.c_str()));
  EXPECT_FALSE(IsPlausiblePortName(tooLong.c_str()));
  EXPECT_FALSE(IsPlausiblePortName(""));
  EXPECT_FALSE(IsPlausiblePortName("COM\t3:"));
  EXPECT_FALSE(IsPlausiblePortName("USB\n001"));
}
