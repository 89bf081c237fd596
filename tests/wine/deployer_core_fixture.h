// Shared by the tests that call the deployer's host functions in this
// process: host keys where the deployer looks for them (through the 64-bit
// registry view on a 64-bit Windows, whatever this process is), the
// plug-in's files beside this program, and a deployment on a worker thread
// that every wait can bound.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <string>
#include <vector>

#include "handles.h"
#include "host_detect.h"
#include "support.h"

namespace deployer_core_test {

inline constexpr REGSAM kView64 = KEY_WOW64_64KEY;
inline constexpr char kCorelKey[] = "SOFTWARE\\Corel\\CorelDraw";
inline constexpr char kWowCorelKey[] = "SOFTWARE\\Wow6432Node\\Corel\\CorelDraw";

// A 32-bit Windows keeps its only edition where a 64-bit one keeps its
// 64-bit edition.
inline const char* CorelKey(bool edition64) { return edition64 || !WindowsIs64Bit() ? kCorelKey : kWowCorelKey; }

inline std::string HostKeyPath(int version, bool edition64) {
  return std::string(CorelKey(edition64)) + "\\" + std::to_string(version) + ".0";
}

// The edition a test deploys where which one does not matter: the 64-bit
// one on a 64-bit Windows, else the only one there is.
struct Edition {
  bool is64;
  const char* plugins;  // the plug-in folder, below the Draw folder
  const char* source;   // the module beside the program
};
inline Edition AnyEdition() {
  return WindowsIs64Bit() ? Edition{true, "\\Plugins64", "Marlotrim64.cpg"}
                          : Edition{false, "\\Plugins", "Marlotrim32.cpg"};
}

// Removes a host key and the parents it may have created, when they are empty.
inline void Unregister(int version, bool edition64) {
  DeleteTree(HKEY_LOCAL_MACHINE, HostKeyPath(version, edition64), kView64);
  const std::string parent = CorelKey(edition64);
  ::RegDeleteKeyExA(HKEY_LOCAL_MACHINE, parent.c_str(), kView64, 0);
  ::RegDeleteKeyExA(HKEY_LOCAL_MACHINE, parent.substr(0, parent.rfind('\\')).c_str(), kView64, 0);
}

inline bool Register(int version, bool edition64, const std::string& configDir) {
  return SetString(HKEY_LOCAL_MACHINE, HostKeyPath(version, edition64), "ConfigDir", configDir, kView64);
}

inline std::string ProgramFolder() {
  char path[MAX_PATH] = "";
  ::GetModuleFileNameA(nullptr, path, sizeof path);
  std::string folder = path;
  return folder.substr(0, folder.rfind('\\'));
}

inline void RemoveTree(const std::string& path) {
  WIN32_FIND_DATAA found;
  HANDLE find = ::FindFirstFileA((path + "\\*").c_str(), &found);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = found.cFileName;
      if (name == "." || name == "..") continue;
      const std::string child = path + "\\" + name;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(child);
      } else {
        ::SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileA(child.c_str());
      }
    } while (::FindNextFileA(find, &found));
    ::FindClose(find);
  }
  ::RemoveDirectoryA(path.c_str());
}

// A deployment's pauses as they pass, counted, and a stop the test can give.
class CountingWait : public DeployWait {
 public:
  bool Pause(unsigned milliseconds, bool held) override {
    ::Sleep(milliseconds);
    ++m_pauses;
    if (held) ++m_heldPauses;
    return !m_stop;
  }
  void HeldWaitEnded(unsigned long outcome, bool) override {
    m_lastOutcome = outcome;
    ++m_heldWaitsEnded;
  }
  void Stop() { m_stop = true; }
  int Pauses() const { return m_pauses; }
  int HeldPauses() const { return m_heldPauses; }
  int HeldWaitsEnded() const { return m_heldWaitsEnded; }
  unsigned long LastOutcome() const { return m_lastOutcome; }

 private:
  std::atomic<bool> m_stop{false};
  std::atomic<int> m_pauses{0}, m_heldPauses{0}, m_heldWaitsEnded{0};
  std::atomic<unsigned long> m_lastOutcome{0};
};

// DeployPlugin on a worker thread, so that the test can act while it waits
// on a module and every wait for it stays bounded.
class AsyncDeploy {
 public:
  // stopped: its wait is stopped from the start, as by a Cancel made before.
  AsyncDeploy(int version, bool edition64, bool stopped = false) : m_version(version), m_edition64(edition64) {
    if (stopped) m_wait.Stop();
    m_start = ::GetTickCount64();
    m_thread.reset(::CreateThread(nullptr, 0, Run, this, 0, nullptr));
  }
  AsyncDeploy(const AsyncDeploy&) = delete;
  AsyncDeploy& operator=(const AsyncDeploy&) = delete;
  ~AsyncDeploy() {
    // A deployment stuck in its retries would outlive the test's files.
    m_wait.Stop();
    if (m_thread && !Finish(5000)) ::TerminateThread(m_thread.get(), 1);
  }

  bool Done() const { return m_thread && ::WaitForSingleObject(m_thread.get(), 0) == WAIT_OBJECT_0; }
  bool Finish(DWORD timeoutMs = 20000) {
    return WaitUntil([&] { return Done(); }, timeoutMs);
  }
  ULONGLONG Elapsed() const { return (Done() ? m_end : ::GetTickCount64()) - m_start; }
  bool Result() const { return m_result; }
  // The thread's last error after a failed deployment.
  DWORD Error() const { return m_error; }
  CountingWait& Wait() { return m_wait; }

 private:
  static DWORD WINAPI Run(void* param) {
    auto* self = static_cast<AsyncDeploy*>(param);
    self->m_result = DeployPlugin(self->m_version, self->m_edition64, self->m_wait);
    self->m_error = ::GetLastError();
    self->m_end = ::GetTickCount64();
    return 0;
  }

  int m_version;
  bool m_edition64;
  CountingWait m_wait;
  bool m_result = false;
  DWORD m_error = 0;
  ULONGLONG m_start = 0;
  ULONGLONG m_end = 0;
  UniqueKernelHandle m_thread;
};

// Deploys and waits for the outcome: 1 true, 0 false, -1 still running; the
// error of a failure into *error.
inline int Deploy(int version, bool edition64, DWORD* error = nullptr) {
  AsyncDeploy deploy(version, edition64);
  if (!deploy.Finish()) return -1;
  if (error) *error = deploy.Error();
  return deploy.Result() ? 1 : 0;
}

// A host folder under a fresh temporary root, and the plug-in's files beside
// this test program, each with contents of its own; all gone again after.
class DeploymentTest : public ::testing::Test {
 protected:
  explicit DeploymentTest(const char* stem) : m_stem(stem) {}

  void SetUp() override {
    char temp[MAX_PATH] = "";
    ASSERT_NE(::GetTempPathA(sizeof temp, temp), 0u);
    m_root = std::string(temp) + UniqueName(m_stem);
    ASSERT_TRUE(::CreateDirectoryA(m_root.c_str(), nullptr));
    m_host = m_root + "\\Host";
    ASSERT_TRUE(::CreateDirectoryA(m_host.c_str(), nullptr));
    m_configDir = m_host + "\\Config";
    m_draw = m_host + "\\Draw";
    const std::string tag = UniqueName("src");
    m_module32 = "module32 " + tag;
    m_module64 = "module64 " + tag;
    m_bitmap = "bitmap " + tag;
    ASSERT_TRUE(WriteFileBytes(Source("Marlotrim32.cpg"), m_module32));
    ASSERT_TRUE(WriteFileBytes(Source("Marlotrim64.cpg"), m_module64));
    ASSERT_TRUE(WriteFileBytes(Source("Marlotrim.bmp"), m_bitmap));
  }

  void TearDown() override {
    for (const char* name : {"Marlotrim32.cpg", "Marlotrim64.cpg", "Marlotrim.bmp"}) {
      ::SetFileAttributesA(Source(name).c_str(), FILE_ATTRIBUTE_NORMAL);
      ::DeleteFileA(Source(name).c_str());
    }
    RemoveTree(m_root);
    for (int v : m_versions) {
      Unregister(v, false);
      Unregister(v, true);
    }
  }

  static std::string Source(const char* name) { return ProgramFolder() + "\\" + name; }
  const std::string& Module(const Edition& edition) const { return edition.is64 ? m_module64 : m_module32; }

  void Host(int v, bool edition64, const std::string& configDir) {
    m_versions.push_back(v);
    ASSERT_TRUE(Register(v, edition64, configDir));
  }

  const char* m_stem;
  std::string m_root, m_host, m_configDir, m_draw;
  std::string m_module32, m_module64, m_bitmap;
  std::vector<int> m_versions;
};

}  // namespace deployer_core_test
