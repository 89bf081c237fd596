#include "planted_dlls.h"

#include <windows.h>

#include "support.h"

namespace {
// The spooler and the common controls (imports that are no KnownDLLs), the
// registrar, and DLLs that system DLLs load by name while a dialog runs.
// Not version.dll: on Wine a DLL of the system imports it while the process
// starts, before the program's first instruction, where no program has a say.
const char* const kNames[] = {"winspool.drv", "comctl32.dll", "atl.dll",    "uxtheme.dll",
                              "dwmapi.dll",   "oleacc.dll",   "msimg32.dll"};
}  // namespace

void PlantDlls(const std::string& folder) {
  ::CreateDirectoryA(folder.c_str(), nullptr);
  for (const char* name : kNames) ::CopyFileA(WinPath(PLANTED_DLL_UNIX).c_str(), (folder + "\\" + name).c_str(), FALSE);
}

std::vector<std::string> LoadedPlants(const std::string& folder) {
  std::vector<std::string> loaded;
  for (const char* name : kNames)
    if (FileExists(folder + "\\" + name + ".loaded")) loaded.push_back(name);
  return loaded;
}

// Wine's settings for one program, read when a process of it starts.
std::string SettingsKey(const std::string& program) { return "Software\\Wine\\AppDefaults\\" + program; }

PlantedDllsPreferred::PlantedDllsPreferred(std::vector<std::string> programs) : m_programs(std::move(programs)) {
  for (const std::string& program : m_programs) {
    for (std::string name : kNames) {
      if (name.size() > 4 && name.compare(name.size() - 4, 4, ".dll") == 0) name.resize(name.size() - 4);
      SetString(HKEY_CURRENT_USER, SettingsKey(program) + "\\DllOverrides", name.c_str(), "native,builtin");
    }
  }
}

PlantedDllsPreferred::~PlantedDllsPreferred() {
  for (const std::string& program : m_programs)
    DeleteTree(HKEY_CURRENT_USER, SettingsKey(program));
}

std::string DllProbeExe() { return WinPath(DLL_PROBE_EXE_UNIX); }

ImageHolder::ImageHolder(const std::string& path) {
  static int count = 0;
  const std::string name = UniqueName("holder") + "_" + std::to_string(++count);
  m_ready.reset(::CreateEventA(nullptr, TRUE, FALSE, (name + "_ready").c_str()));
  m_release.reset(::CreateEventA(nullptr, TRUE, FALSE, (name + "_release").c_str()));
  if (!m_ready || !m_release || !::CopyFileA(WinPath(PLANTED_DLL_UNIX).c_str(), path.c_str(), FALSE)) return;
  const std::string probe = DllProbeExe();
  if (!m_holder.Start(probe, "\"" + probe + "\" \"" + path + "\" " + name + "_ready " + name + "_release")) return;
  m_held = WaitUntil([&] { return ::WaitForSingleObject(m_ready.get(), 0) == WAIT_OBJECT_0 || !m_holder.Running(); }) &&
           m_holder.Running();
}

bool ImageHolder::Release() {
  if (m_release) ::SetEvent(m_release.get());
  m_held = false;
  return m_holder.WaitExit();
}
