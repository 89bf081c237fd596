#include "silent.h"

#include "dialog.h"
#include "host_detect.h"
#include "registration.h"
#include "run_log.h"
#include "win32_error.h"

namespace {

// Sleeps as the dialog does, and tells the log at once which edition waits
// for the host to let go of its module, and again when the wait is over.
class LoggingWait : public DeployWait {
 public:
  LoggingWait(RunLog& log, const char* edition) : m_log(log), m_edition(edition) {}

  bool Pause(unsigned milliseconds, bool held) override {
    if (held && !m_told) {
      m_log.Step(ERROR_ACCESS_DENIED, "%s: waiting for the host to release its plug-in module", m_edition);
      m_told = true;
    }
    ::Sleep(milliseconds);
    return true;
  }
  void HeldWaitEnded() override {
    m_log.Step(ERROR_SUCCESS, "%s: the wait for the plug-in module has ended", m_edition);
    m_told = false;
  }

 private:
  RunLog& m_log;
  const char* m_edition;
  bool m_told = false;
};

}  // namespace

DWORD RunSilentInstall(const SilentSwitches& switches) {
  RunLog log;
  if (const DWORD error = StartSilentRun(switches, log)) return error;

  const DWORD registration = WriteRegistration();
  log.Step(registration, "COM registration");

  DWORD result = ERROR_SUCCESS;
  bool anyRegistered = false;
  for (const CAddonDeployDlg::CorelVersionRow& row : CAddonDeployDlg::CorelVersionTable) {
    if (!IsCorelVersionInstalled(row.majorVersion, row.is64Bit)) continue;
    anyRegistered = true;
    LoggingWait wait(log, row.caption);
    const DWORD error =
        DeployPlugin(row.majorVersion, row.is64Bit, wait) ? ERROR_SUCCESS : LastErrorOr(ERROR_GEN_FAILURE);
    log.Step(error, "%s: deploy the plug-in", row.caption);
    if (result == ERROR_SUCCESS) result = error;
  }
  if (!anyRegistered) {
    result = ERROR_UNKNOWN_PRODUCT;
    log.Step(result, "scan for registered host editions");
  }
  // Deployed but not registered is still not all that was asked.
  if (result == ERROR_SUCCESS) result = registration;
  return result;
}
