// DLLs of names the programs load, or the system loads for them, planted
// beside a program and in its working directory.
#pragma once

#include <string>
#include <vector>

// Copies of the planted DLL under every such name into the folder.
void PlantDlls(const std::string& folder);
// The names of the planted DLLs in the folder that some process loaded.
std::vector<std::string> LoadedPlants(const std::string& folder);

// Wine takes its own DLLs over DLL files of the same name by default. While
// one of these lives, the named programs (file names) take a DLL file found
// by the search as Windows would, so that a planted DLL is loaded wherever
// they look for it.
class PlantedDllsPreferred {
 public:
  explicit PlantedDllsPreferred(std::vector<std::string> programs);
  ~PlantedDllsPreferred();
  PlantedDllsPreferred(const PlantedDllsPreferred&) = delete;
  PlantedDllsPreferred& operator=(const PlantedDllsPreferred&) = delete;

 private:
  std::vector<std::string> m_programs;
};

// The probe that loads a DLL by name with the unrestricted search order.
std::string DllProbeExe();
// The planted DLL itself, a real image to copy under other names.
std::string PlantedDll();
