#include "courses.h"

#include "dialog.h"
#include "edition_run.h"
#include "host_detect.h"
#include "module_swap.h"
#include "outcome.h"
#include "plugin_removal.h"

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

// Runs one edition's step over every registered edition in table order.
// found: whether any is registered. A registration that cannot be read is
// there, not missing: its error fails the edition.
template <class Step>
DWORD ForEachRegisteredEdition(RunLog& log, bool& found, Step&& step) {
  found = false;
  return DeployInTableOrder(CAddonDeployDlg::CorelVersionTable, [&](const auto& row) -> DWORD {
    const LONG registration = CorelVersionRegistration(row.majorVersion, row.is64Bit);
    if (registration == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
    found = true;
    if (registration != ERROR_SUCCESS) {
      log.Step(registration, "%s: read the host's registration", row.caption);
      return registration;
    }
    return step(row);
  });
}

}  // namespace

DWORD DeployAllEditions(RunLog& log, HeldModule policy, const char* sourceFolder) {
  const DeployOptions options{sourceFolder, policy == HeldModule::ReplaceAtRestart};
  bool found = false;
  const DWORD result = ForEachRegisteredEdition(log, found, [&](const auto& row) -> DWORD {
    LoggingWait wait(log, row.caption);
    const DWORD outcome = DeployPluginError(row.majorVersion, row.is64Bit, wait, options);
    log.Step(outcome, "%s: deploy the plug-in", row.caption);
    return outcome;
  });
  if (found) return result;
  log.Step(ERROR_UNKNOWN_PRODUCT, "scan for registered host editions");
  return ERROR_UNKNOWN_PRODUCT;
}

DWORD RemoveAllEditions(RunLog& log, const char* sourceFolder) {
  bool found = false;
  const DWORD result = ForEachRegisteredEdition(log, found, [&](const auto& row) -> DWORD {
    PluginPaths paths;
    if (const DWORD error = ReadPluginPaths(row.majorVersion, row.is64Bit, sourceFolder, paths)) {
      log.Step(error, "%s: the plug-in's paths", row.caption);
      return error;
    }
    const DWORD outcome = RemovePluginFiles(paths, row.caption, log);
    log.Step(outcome, "%s: remove the plug-in", row.caption);
    return outcome;
  });
  // A machine without the host has nothing of the plug-in to remove.
  if (!found) log.Step(ERROR_SUCCESS, "no registered host edition, nothing to do");
  return result;
}
