// Shared by the deployer's end-to-end tests: a copy of the program beside
// its plug-in files, host editions registered where the program looks for
// them (through the 64-bit registry view on a 64-bit Windows; a 32-bit one
// has no 64-bit editions), and the program's registration.
#pragma once

#include <windows.h>

#include <string>

#include "support.h"

namespace deployer_test {

inline constexpr char kCaption[] = "AddonDeploy";
inline constexpr char kProgId[] = "AddonDeploy.Application";
inline constexpr char kClsidKey[] = "CLSID\\{59F70273-5B40-43CE-B735-F81FA1163766}";
inline constexpr char kTypeLibKey[] = "TypeLib\\{5FA3ED51-827E-420B-836F-5D720F9D9AE4}\\1.0";
inline constexpr char kModule32[] = "module for 32-bit hosts";
inline constexpr char kModule64[] = "module for 64-bit hosts";
inline constexpr char kBitmap[] = "BM plug-in bitmap";

// Check boxes in table order, with their arguments to the host functions.
struct Row {
  int id;
  int version;
  bool is64;
};
inline constexpr Row kRows[11] = {{1001, 9, false},  {1002, 10, false}, {1003, 11, false}, {1004, 12, false},
                                  {1005, 13, false}, {1006, 14, false}, {1007, 15, false}, {1008, 16, false},
                                  {1010, 16, true},  {1011, 17, false}, {1012, 17, true}};

inline std::string HostKey(int version, bool is64) {
  const bool wow = !is64 && WindowsIs64Bit();
  return std::string(wow ? "SOFTWARE\\Wow6432Node\\Corel\\CorelDraw\\" : "SOFTWARE\\Corel\\CorelDraw\\") +
         std::to_string(version) + ".0";
}

inline void UnregisterAllHosts() {
  for (const Row& row : kRows) DeleteTree(HKEY_LOCAL_MACHINE, HostKey(row.version, row.is64), KEY_WOW64_64KEY);
}

// Whether this Windows can have that edition at all.
inline bool EditionExists(bool is64) { return !is64 || WindowsIs64Bit(); }

inline std::string Work(const std::string& name) { return WinPath(TEST_WORK_DIR_UNIX) + "\\" + name; }

// A folder of its own for one test: the program (the one under test, or
// another build of it), its plug-in files, and room for host installations.
class Sandbox {
 public:
  explicit Sandbox(const char* stem, const std::string& program = WinPath(ADDONDEPLOY_EXE_UNIX))
      : m_dir(Work(UniqueName(stem))) {
    ::CreateDirectoryA(WinPath(TEST_WORK_DIR_UNIX).c_str(), nullptr);
    ::CreateDirectoryA(m_dir.c_str(), nullptr);
    ::CopyFileA(program.c_str(), Exe().c_str(), FALSE);
    WriteFileBytes(m_dir + "\\Marlotrim32.cpg", kModule32);
    WriteFileBytes(m_dir + "\\Marlotrim64.cpg", kModule64);
    WriteFileBytes(m_dir + "\\Marlotrim.bmp", kBitmap);
  }
  const std::string& Dir() const { return m_dir; }
  std::string Exe() const { return m_dir + "\\AddonDeploy.exe"; }
  std::string CommandLine(const std::string& args) const { return "\"" + Exe() + "\" " + args; }

  // A host whose Draw folder exists, registered for that edition; its
  // plug-in folder is returned.
  std::string AddHost(int version, bool is64) {
    const std::string root = m_dir + "\\host" + std::to_string(version) + (is64 ? "x64" : "x86");
    ::CreateDirectoryA(root.c_str(), nullptr);
    ::CreateDirectoryA((root + "\\Draw").c_str(), nullptr);
    if (EditionExists(is64))
      SetString(HKEY_LOCAL_MACHINE, HostKey(version, is64), "ConfigDir", root + "\\Config", KEY_WOW64_64KEY);
    return root + "\\Draw\\" + (is64 ? "Plugins64" : "Plugins");
  }
  // A registered host whose Draw folder is missing, so deployment fails.
  void AddBrokenHost(int version, bool is64) {
    if (!EditionExists(is64)) return;
    SetString(HKEY_LOCAL_MACHINE, HostKey(version, is64), "ConfigDir", m_dir + "\\missing\\Config", KEY_WOW64_64KEY);
  }

 private:
  std::string m_dir;
};

// Runs the program to its end with these arguments; true when it ended
// within the bound without ever showing a window.
inline bool RunsWithoutWindow(const Sandbox& box, const std::string& args) {
  ChildProcess p;
  if (!p.Start(box.Exe(), box.CommandLine(args))) return false;
  return EndsWithoutShowingWindow(p);
}

inline void Unregister() {
  DeleteTree(HKEY_CLASSES_ROOT, kProgId);
  DeleteTree(HKEY_CLASSES_ROOT, kClsidKey);
  DeleteTree(HKEY_CLASSES_ROOT, kTypeLibKey);
}

inline LRESULT Send(HWND hwnd, UINT msg, WPARAM w = 0, LPARAM l = 0) {
  DWORD_PTR result = 0;
  ::SendMessageTimeoutA(hwnd, msg, w, l, SMTO_ABORTIFHUNG, 5000, &result);
  return static_cast<LRESULT>(result);
}

inline bool Checked(HWND dialog, int id) { return Send(::GetDlgItem(dialog, id), BM_GETCHECK) == BST_CHECKED; }
inline bool Enabled(HWND dialog, int id) { return ::IsWindowEnabled(::GetDlgItem(dialog, id)) != FALSE; }

// The group box around the check boxes, whose caption tells whom to close
// while a host holds its module.
inline HWND GroupBox(HWND dialog) {
  for (HWND child = ::FindWindowExA(dialog, nullptr, "Button", nullptr); child;
       child = ::FindWindowExA(dialog, child, "Button", nullptr))
    if ((::GetWindowLongA(child, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX) return child;
  return nullptr;
}
inline std::string Notice(const char* edition) { return std::string("Close ") + edition + " to continue"; }

// A click on a check box as the user makes it: the box toggles and tells the dialog.
inline void ClickBox(HWND dialog, int id) { Send(::GetDlgItem(dialog, id), BM_CLICK); }

// An Esc key press, which the dialog's loop turns into IDCANCEL.
inline void PressEsc(HWND dialog) {
  ::PostMessageA(dialog, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
  ::PostMessageA(dialog, WM_KEYUP, VK_ESCAPE, 0xC0010001);
}

}  // namespace deployer_test
