// The deployer's unattended courses as functions of their own, without the
// process's command line: the program's /Install and /Delete run them, and
// so can a Windows Installer custom action, which logs elsewhere and must
// never wait minutes for a host to let go of its module.
#pragma once

#include <windows.h>

#include "run_log.h"

// What a deployment does while a host holds the old plug-in module open.
enum class HeldModule {
  // Retry for up to 3001 half seconds, as the dialog does; the old module
  // stays and the edition fails when the host does not let go.
  Wait,
  // Write the new module beside the old one and have the system move it
  // over the old one at the next restart (3010 for that edition).
  ReplaceAtRestart,
};

// Deploys the plug-in module and bitmap into every registered host edition,
// whatever became of the ones before; one log line per step. sourceFolder
// holds the plug-in files (Marlotrim32.cpg, Marlotrim64.cpg, Marlotrim.bmp);
// null means the folder of this process's program. 0 when every registered
// edition has the plug-in, 3010 when one gets it at the next restart, else
// the error of the first edition that failed; ERROR_UNKNOWN_PRODUCT when no
// edition is registered. With HeldModule::Wait, an edition whose old module
// a removal left to be deleted at the restart fails with 350
// (ERROR_FAIL_NOACTION_REBOOT); ReplaceAtRestart lists the new one after
// that deletion. The COM registration is not part of it.
DWORD DeployAllEditions(RunLog& log, HeldModule policy, const char* sourceFolder = nullptr);

// Removes from every registered edition's plug-in folder the module and
// bitmap that are byte for byte those in sourceFolder (null: beside this
// program); a file that differs stays, with a log line. A held module is
// deleted at the next restart (3010). 0 also when no edition is registered
// or nothing of ours is there; else the error of the first edition that
// failed. The COM registration is not part of it.
DWORD RemoveAllEditions(RunLog& log, const char* sourceFolder = nullptr);
