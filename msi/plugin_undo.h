// What a deployment inside the transaction replaces, kept so that a rollback
// puts every edition's plug-in files back as they were (or removes them
// where there were none), and dropped when the transaction commits.
#pragma once

#include <windows.h>

#include "run_log.h"

// Copies each registered edition's plug-in module and bitmap into
// undoFolder and records them (or that there were none) in its list before
// anything is deployed. 0, or the error that kept a file from being kept:
// the deployment must then not start.
DWORD KeepPluginFiles(const char* undoFolder, const char* sourceFolder, RunLog& log);
// Puts back what the list records; the folder goes.
void RestorePluginFiles(const char* undoFolder, RunLog& log);
// The folder and what it holds go.
void DropPluginFiles(const char* undoFolder);
