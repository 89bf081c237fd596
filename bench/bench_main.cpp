// The benchmarks' one table: medians and maxima of repeated runs on Wine.
#include <windows.h>

#include <cstdio>
#include <string>

#include "bench.h"

namespace {
void Ratio(const char* what, double ratio) { std::printf("| %-52s | %4s | %9.2f | %9s |\n", what, "", ratio, ""); }
}  // namespace

int main() {
  constexpr int kStopRuns = 40, kStartRuns = 15, kInstallRuns = 9, kPackageRuns = 5;
  StartupRuns start;
  const bool started = StartupTimes(kStartRuns, start);
  const std::vector<double> stops = StopLatencies(kStopRuns);
  const std::vector<double> bare = BareThreadStops(kStopRuns);
  std::vector<double> install, remove;
  const bool installed = InstallAndDeleteTimes(kInstallRuns, install, remove);
  PackageRuns package;
  const bool packaged = PackageTimes(kPackageRuns, package);

  std::printf("| %-52s | %4s | %9s | %9s |\n", "measured (ms, or KiB where said)", "runs", "median", "max");
  std::printf("|%s|------|-----------|-----------|\n", std::string(54, '-').c_str());
  if (started) {
    const double floor = Summarise(start.floor).median, installer = Summarise(start.installer).median;
    const double deployer = Summarise(start.deployer).median;
    Row("floor: start to dialog shown", start.floor.size(), Summarise(start.floor));
    Row("floor listing the spooler's ports and drivers", start.floorSpooler.size(), Summarise(start.floorSpooler));
    Row("installer: start to dialog with ports and buttons", start.installer.size(), Summarise(start.installer));
    Ratio("installer / floor (goal <= 1.15)", installer / floor);
    Ratio("installer / floor listing the spooler", installer / Summarise(start.floorSpooler).median);
    Row("deployer: start to scan done and boxes set", start.deployer.size(), Summarise(start.deployer));
    Ratio("deployer / (floor + 50 ms first tick) (goal <= 1.15)", deployer / (floor + 50.0));
    Row("peak working set, floor (KiB)", start.floorKiB.size(), Summarise(start.floorKiB));
    Row("peak working set, installer dialog open (KiB)", start.installerKiB.size(), Summarise(start.installerKiB));
    Row("peak working set, deployer dialog open (KiB)", start.deployerKiB.size(), Summarise(start.deployerKiB));
  }
  Row("StopAnimation, stop anywhere in the pause", stops.size(), Summarise(stops));
  Row("bare thread: signal and join (floor)", bare.size(), Summarise(bare));
  if (!install.empty()) Row("Install: click to \"Install success!\"", install.size(), Summarise(install));
  if (!remove.empty()) Row("Delete: click to \"Delete success!\"", remove.size(), Summarise(remove));
  if (!package.msiInstall.empty()) {
    Row("package: msiexec /i /qn (files, courses, entry)", package.msiInstall.size(), Summarise(package.msiInstall));
    Row("package: msiexec /x /qn", package.msiRemove.size(), Summarise(package.msiRemove));
    Row("PLOTINST /Install, started directly", package.install.size(), Summarise(package.install));
    Row("PLOTINST /Delete, started directly", package.remove.size(), Summarise(package.remove));
    Row("AddonDeploy /Install, started directly", package.deploy.size(), Summarise(package.deploy));
    Row("AddonDeploy /Delete, started directly", package.undeploy.size(), Summarise(package.undeploy));
  }
  if (!packaged) std::printf("package runs did not complete\n");
  if (!started) std::printf("start-up runs did not complete\n");
  if (!installed) std::printf("install/delete runs did not complete\n");
  return started && installed && packaged ? 0 : 1;
}
