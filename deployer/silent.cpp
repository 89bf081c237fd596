#include "silent.h"

#include "courses.h"
#include "outcome.h"
#include "registration.h"
#include "run_log.h"

DWORD RunSilentInstall(const SilentSwitches& switches) {
  RunLog log;
  if (const DWORD error = StartSilentRun(switches, log)) return error;
  const DWORD registration = WriteRegistration();
  log.Step(registration, "COM registration");
  // Deployed but not registered is still not all that was asked.
  return MergeOutcome(DeployAllEditions(log, HeldModule::Wait), registration);
}

DWORD RunSilentDelete(const SilentSwitches& switches) {
  RunLog log;
  if (const DWORD error = StartSilentRun(switches, log)) return error;
  // The COM registration is left to /UnregServer: the removal takes only
  // the plug-in's files.
  return RemoveAllEditions(log);
}
