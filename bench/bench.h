// Pieces shared by the benchmarks: a millisecond clock and the table's rows.
#pragma once

#include <cstddef>
#include <vector>

double Now();  // milliseconds

struct Summary {
  double median, max;
};
Summary Summarise(std::vector<double> values);
void Row(const char* what, size_t runs, const Summary& s);

// Installer pieces (installer_bench.cpp).
std::vector<double> StopLatencies(int runs);
std::vector<double> BareThreadStops(int runs);
bool InstallAndDeleteTimes(int runs, std::vector<double>& install, std::vector<double>& remove);

// Start-up of the programs beside the floor, and their peak working sets in
// KiB while the dialog is open (startup_bench.cpp).
struct StartupRuns {
  std::vector<double> floor, floorSpooler, installer, deployer;
  std::vector<double> floorKiB, installerKiB, deployerKiB;
};
bool StartupTimes(int runs, StartupRuns& out);

// msiexec /i and /x of the package beside the courses it runs, started
// directly (package_bench.cpp).
struct PackageRuns {
  std::vector<double> msiInstall, msiRemove, install, remove, deploy, undeploy;
};
bool PackageTimes(int runs, PackageRuns& out);
