// Removing this package's own plug-in files from one edition's plug-in
// folder: only files that are byte for byte those it deploys.
#pragma once

#include "host_paths.h"
#include "run_log.h"

// Deletes the module and the bitmap where each holds exactly the bytes of
// its source, and what a deployment ended midway left beside them; a file
// that differs stays, with a log line. A module the host holds is listed
// for deletion at the next restart. 0 when nothing of ours is left (also
// when nothing was there), 3010 when the restart finishes it, else the
// error of the first file that could not be deleted or compared. One log
// line per file, each beginning with the edition.
unsigned long RemovePluginFiles(const PluginPaths& paths, const char* edition, RunLog& log);
