#include "relaunch_line.h"

namespace {

// The runtime's rule backwards: backslashes before a quote, or before the
// closing quote, are doubled; a quote is escaped.
void AppendQuoted(std::string& line, const char* value) {
  line += " \"";
  size_t backslashes = 0;
  for (const char* p = value; *p; ++p) {
    if (*p == '\\') {
      ++backslashes;
      continue;
    }
    line.append(*p == '"' ? backslashes * 2 + 1 : backslashes, '\\');
    line += *p;
    backslashes = 0;
  }
  line.append(backslashes * 2, '\\');
  line += '"';
}

}  // namespace

std::string RelaunchParameters(SilentCourse course, const char* model, const char* port, bool comDefaults) {
  std::string line = kRelaunchSwitch;
  if (course == SilentCourse::Delete) {
    line += " Delete";
    AppendQuoted(line, model);
    return line;
  }
  line += " Install";
  AppendQuoted(line, model);
  AppendQuoted(line, port);
  line += comDefaults ? " 1" : " 0";
  return line;
}

bool ReadRelaunch(const std::vector<std::wstring>& args, RelaunchRequest& request, bool& malformed) {
  request = RelaunchRequest{};
  malformed = false;
  if (args.size() < 2 || !EqualsIgnoringCase(args[1].c_str(), kRelaunchSwitch)) return false;
  malformed = true;
  if (args.size() == 4 && EqualsIgnoringCase(args[2].c_str(), "Delete")) {
    request.course = SilentCourse::Delete;
  } else if (args.size() == 6 && EqualsIgnoringCase(args[2].c_str(), "Install") &&
             (args[5] == L"0" || args[5] == L"1")) {
    request.course = SilentCourse::Install;
    request.port = args[4];
    request.comDefaults = args[5] == L"1";
  } else {
    return false;
  }
  request.model = args[3];
  malformed = false;
  return true;
}
