// The command line on which the dialog, started without administrator
// rights, asks the system to start the installer again with them, to carry
// out one click. Platform-free.
#pragma once

#include <string>
#include <vector>

#include "silent_switches.h"

// The switch that marks such a line; it is never a course of its own.
inline constexpr char kRelaunchSwitch[] = "/ElevatedClick";

struct RelaunchRequest {
  SilentCourse course = SilentCourse::None;
  std::wstring model;
  std::wstring port;  // Install only
  bool comDefaults = false;
};

// The parameters (without the program) for a click on Install or Delete;
// each value quoted so that the runtime's splitting gives it back whole.
std::string RelaunchParameters(SilentCourse course, const char* model, const char* port, bool comDefaults);

// Whether the split command line is such a relaunch; request holds what it
// asks for. A relaunch line of any other shape gives false with course None
// and malformed set: it must end the program, never open the dialog.
bool ReadRelaunch(const std::vector<std::wstring>& args, RelaunchRequest& request, bool& malformed);
