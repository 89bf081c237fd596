// Display scalings: Wine reads a prefix's LogPixels when each process starts,
// so a program started while the value is set runs at that scaling, and the
// tests that need the dialog in their own process run in a new process of
// this test program.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

// 100 %, 125 %, 150 % and 200 %.
inline constexpr int kScalings[] = {96, 120, 144, 192};

// LogPixels set for the processes started meanwhile, and the display's own
// scaling where Wine keeps one; the values the prefix had, or none, come
// back at the end of the scope.
class ScopedLogPixels {
 public:
  explicit ScopedLogPixels(DWORD dpi);
  ~ScopedLogPixels();
  ScopedLogPixels(const ScopedLogPixels&) = delete;
  ScopedLogPixels& operator=(const ScopedLogPixels&) = delete;

 private:
  std::string m_saved;
  bool m_had = false;
  std::vector<std::pair<std::string, std::string>> m_displays;  // key, its saved Dpi
};

// The installer's "宋体" font replacement taken away for the processes
// started meanwhile (Wine reads replacements when each process starts): its
// dialog then falls back to a font of other metrics, as on a machine without
// the face. The replacement comes back at the end of the scope.
class ScopedNoSongReplacement {
 public:
  ScopedNoSongReplacement();
  ~ScopedNoSongReplacement();
  ScopedNoSongReplacement(const ScopedNoSongReplacement&) = delete;
  ScopedNoSongReplacement& operator=(const ScopedNoSongReplacement&) = delete;

 private:
  std::wstring m_saved;
  bool m_had = false;
};

// The scaling this process was started at.
int SystemDpi();
// Whether the prefix maps the installer's "宋体" to its stand-in.
bool SongReplaced();

// Runs this test program's tests that the filter names in a new process at
// that dpi; success when at least one ran and all passed.
::testing::AssertionResult PassesAtDpi(int dpi, const std::string& filter);
