#include "elevation.h"

#include <cstring>

#include "command_line.h"
#include "package.h"
#include "package_machine.h"
#include "relaunch_line.h"
#include "run_log.h"
#include "silent.h"

bool HoldsAdministratorRights() {
  BYTE admins[SECURITY_MAX_SID_SIZE];
  DWORD size = sizeof admins;
  BOOL member = FALSE;
  if (!::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, admins, &size) ||
      !::CheckTokenMembership(nullptr, admins, &member))
    return true;
  // A filtered token keeps the group for denial only, and a standard user lacks it.
  if (!member) return false;
  // Wine's filtered token keeps the group: its elevation type still tells.
  UniqueKernelHandle token;
  TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
  DWORD length = 0;
  if (::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.put()) &&
      ::GetTokenInformation(token.get(), TokenElevationType, &type, sizeof type, &length))
    return type != TokenElevationTypeLimited;
  return true;
}

DWORD RelaunchExitCode(const CPLOTINSTDlg::StepsResult& result) {
  const bool clean = result.error == ERROR_SUCCESS || result.error == kRestartRequired;
  return result.succeeded && !clean ? result.error | kSucceededWithError : result.error;
}

CPLOTINSTDlg::StepsResult RelaunchResult(DWORD exitCode) {
  CPLOTINSTDlg::StepsResult result;
  result.error = exitCode & ~kSucceededWithError;
  result.succeeded = (exitCode & kSucceededWithError) != 0 || exitCode == ERROR_SUCCESS || exitCode == kRestartRequired;
  if (result.error == ERROR_SUCCESS && !result.succeeded) result.error = ERROR_GEN_FAILURE;
  return result;
}

namespace {

// The model's name exactly as the dialog's list spells it; false when it has
// no exact spelling in the code page or does not fit the list's buffer.
bool SpellModel(const std::wstring& requested, char (&model)[256]) {
  model[0] = '\0';
  const int n = ::WideCharToMultiByte(CP_ACP, 0, requested.c_str(), -1, model, sizeof model, nullptr, nullptr);
  if (n <= 0) {
    model[0] = '\0';
    return false;
  }
  wchar_t back[256];
  return ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, model, -1, back, 256) > 0 && requested == back;
}

DWORD CarryOut(const RelaunchRequest& request) {
  RunLog noLog;
  char model[256];
  // The dialog offers one model, the table's first: any other name selects none.
  const ModelFiles* files =
      SpellModel(request.model, model) && std::strcmp(model, kModelName) == 0 ? ModelFilesAt(0) : nullptr;
  if (request.course == SilentCourse::Delete) return RelaunchExitCode(CPLOTINSTDlg::RemoveModel(model, files, noLog));
  // Only a port the dialog would list now: one that vanished since the click is refused.
  char port[256];
  if (const DWORD error = ChoosePort(request.port.c_str(), port, noLog)) return error;
  return RelaunchExitCode(CPLOTINSTDlg::InstallModel(model, files, port, request.comDefaults, ReadPackageFit(), noLog));
}

}  // namespace

bool RunRelaunchedClick(const wchar_t* commandLine, DWORD& exitCode) {
  if (commandLine == nullptr) return false;
  RelaunchRequest request;
  bool malformed = false;
  if (!ReadRelaunch(SplitCommandLine(commandLine), request, malformed) && !malformed) return false;
  exitCode = malformed ? ERROR_INVALID_PARAMETER : CarryOut(request);
  return true;
}
