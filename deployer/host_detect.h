// Whether a host edition is registered, and placing the plug-in into it.
// Both read the registry afresh on every call and keep no state.
#pragma once

#include "deploy_wait.h"
#include "host_paths.h"

// Where a deployment takes the plug-in's files from, and what it does while
// a host holds the old module.
struct DeployOptions {
  // The folder of the plug-in's files; null: that of this process's program.
  const char* sourceFolder = nullptr;
  // A held module is not waited for: the new one is written beside it and
  // listed to take its place at the next restart (outcome 3010), as a
  // Windows Installer transaction, which must never wait minutes, needs.
  bool replaceHeldAtRestart = false;
};

// 0 when that edition's host key opens with full access and its "ConfigDir"
// value reads within 260 bytes; else the error that stopped it
// (ERROR_FILE_NOT_FOUND when there is no such key or value).
long CorelVersionRegistration(int majorVersion, bool is64BitEdition);
// True when CorelVersionRegistration gives 0.
bool IsCorelVersionInstalled(int majorVersion, bool is64BitEdition);

// Replaces the plug-in module and bitmap in that edition's plug-in folder
// with those beside this program, each written in full beside the old file
// first and then moved over it in one step. True when both are in place;
// otherwise false, with the error of the step that failed as the thread's
// last error, and the old files as they were (but for the new module, which
// stays when only the bitmap fails). While the host holds its old module,
// the pauses between attempts go to `wait`, which may stop them, and the
// bitmap's outcome is told to it. An old module that a removal left to be
// deleted at the next restart fails it with 350 before anything is written:
// the restart would delete the new one.
bool DeployPlugin(int majorVersion, bool is64BitEdition, DeployWait& wait);
// DeployPlugin's outcome as a code: 0, 3010 when the new module takes the
// held one's place at the next restart, or the error of the step that
// failed.
unsigned long DeployPluginError(int majorVersion, bool is64BitEdition, DeployWait& wait,
                                const DeployOptions& options = {});

// That edition's plug-in paths, the sources in sourceFolder (null: beside
// this program): 0, or the error of reading the host's registration or of
// building the paths.
unsigned long ReadPluginPaths(int majorVersion, bool is64BitEdition, const char* sourceFolder, PluginPaths& paths);
