// DLLs of names the programs load, or the system loads for them, planted
// beside a program and in its working directory.
#pragma once

#include <string>
#include <vector>

#include "handles.h"
#include "support.h"

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

// Holds a file as a running host holds its plug-in module: a copy of the
// planted DLL put at that path and mapped as an image by the probe, in a
// process of its own. Deleting the file is refused with access denied until
// the holder lets go.
class ImageHolder {
 public:
  explicit ImageHolder(const std::string& path);
  ~ImageHolder() { Release(); }
  ImageHolder(const ImageHolder&) = delete;
  ImageHolder& operator=(const ImageHolder&) = delete;

  bool Held() const { return m_held; }
  // Lets go of the file; true once the holder has ended.
  bool Release();

 private:
  UniqueKernelHandle m_ready, m_release;
  ChildProcess m_holder;
  bool m_held = false;
};
