#include "silent.h"

#include "dialog.h"
#include "edition_run.h"
#include "host_detect.h"
#include "module_swap.h"
#include "outcome.h"
#include "registration.h"
#include "run_log.h"

namespace {

// Sleeps as the dialog does, and tells the log at once which edition waits
// for the host to let go of its module, and again how the wait ended; and
// how the bitmap's replacement went.
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
  void HeldWaitEnded(unsigned long outcome, bool attemptsRanOut) override {
    m_log.Step(outcome, "%s: %s", m_edition, HeldWaitEnd(outcome, attemptsRanOut));
    m_told = false;
  }
  void BitmapReplaced(unsigned long outcome) override {
    m_log.Step(outcome, "%s: replace the plug-in's bitmap", m_edition);
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

  bool anyFound = false;
  DWORD result = DeployInTableOrder(CAddonDeployDlg::CorelVersionTable, [&](const auto& row) -> DWORD {
    const LONG found = CorelVersionRegistration(row.majorVersion, row.is64Bit);
    if (found == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
    anyFound = true;
    // A registration that cannot be read is there, not missing: its error
    // fails the edition.
    if (found != ERROR_SUCCESS) {
      log.Step(found, "%s: read the host's registration", row.caption);
      return found;
    }
    LoggingWait wait(log, row.caption);
    const DWORD error = DeployPluginError(row.majorVersion, row.is64Bit, wait);
    log.Step(error, "%s: deploy the plug-in", row.caption);
    return error;
  });
  if (!anyFound) {
    result = ERROR_UNKNOWN_PRODUCT;
    log.Step(result, "scan for registered host editions");
  }
  // Deployed but not registered is still not all that was asked.
  result = MergeOutcome(result, registration);
  return result;
}
