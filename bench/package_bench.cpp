// The package's install and removal through msiexec, beside the two
// unattended courses it runs, started directly from the package's files:
// what Windows Installer's transaction costs around them.
#include <windows.h>

#include <string>

#include "bench.h"
#include "support.h"

namespace {

// The full exit code of the command, and its time in ms through `ms`.
DWORD Timed(const std::string& exe, const std::string& commandLine, const std::string& cwd, double& ms) {
  ChildProcess p;
  const double t0 = Now();
  if (!p.Start(exe, commandLine, cwd) || !p.WaitExit(600000)) return ERROR_TIMEOUT;
  ms = Now() - t0;
  return p.ExitCode();
}

}  // namespace

bool PackageTimes(int runs, PackageRuns& out) {
  const std::string packages = WinPath(PACKAGES_DIR_UNIX), files = packages + "\\files";
  const std::string msi = "\"" + packages + "\\current.msi\"";
  const std::string msiexec = "C:\\windows\\system32\\msiexec.exe";
  // One registered edition, so that the plug-in has somewhere to go.
  const std::string host = files + "\\host";
  const std::string key = "SOFTWARE\\Corel\\CorelDraw\\16.0";
  ::CreateDirectoryA(host.c_str(), nullptr);
  ::CreateDirectoryA((host + "\\Draw").c_str(), nullptr);
  SetString(HKEY_LOCAL_MACHINE, key, "ConfigDir", host + "\\Config");
  bool ok = true;
  for (int i = 0; i < runs && ok; ++i) {
    double ms[6] = {};
    ok = Timed(msiexec, "msiexec /i " + msi + " /qn", "", ms[0]) == 0 &&
         Timed(msiexec, "msiexec /x " + msi + " /qn", "", ms[1]) == 0 &&
         Timed(files + "\\PLOTINST.exe", "PLOTINST /Install", files, ms[2]) == 0 &&
         Timed(files + "\\PLOTINST.exe", "PLOTINST /Delete", files, ms[3]) == 0 &&
         Timed(files + "\\AddonDeploy.exe", "AddonDeploy /Install", files, ms[4]) == 0 &&
         Timed(files + "\\AddonDeploy.exe", "AddonDeploy /Delete", files, ms[5]) == 0;
    if (!ok) break;
    out.msiInstall.push_back(ms[0]);
    out.msiRemove.push_back(ms[1]);
    out.install.push_back(ms[2]);
    out.remove.push_back(ms[3]);
    out.deploy.push_back(ms[4]);
    out.undeploy.push_back(ms[5]);
  }
  DeleteTree(HKEY_LOCAL_MACHINE, key);
  return ok;
}
