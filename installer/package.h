// The driver package: which files make it up, under which names each model's
// driver files are placed, and how the package files are scrambled.
// Platform-free.
#pragma once

#include <cstddef>

// A package file is its driver file with every byte XOR-ed with this key, no
// header, no trailer. The XOR is its own inverse.
constexpr unsigned char kPackageKey = 0xA7;

inline void ScrambleBytes(unsigned char* data, std::size_t size) {
  for (std::size_t i = 0; i < size; ++i) data[i] ^= kPackageKey;
}

// The one model: the name of its printer driver and of its printer.
constexpr char kModelName[] = "Marlo Cutter";

// Package files, relative to the working directory, and what each holds.
constexpr char kPackageDriver[] = ".\\Data1.CAB";
constexpr char kPackageConfig[] = ".\\Data2.CAB";
constexpr char kPackageData[] = ".\\Data3.CAB";

// Names of a model's three driver files, each appended to the driver directory.
struct ModelFiles {
  const char* driver;
  const char* data;
  const char* config;
};

constexpr ModelFiles ModelTable[] = {
    {"\\VELTRA.dll", "\\VELTRA.pcd", "\\VELTRAUI.dll"},
    {"\\VELTRA2.dll", "\\VELTRA2.pcd", "\\VELTRA2UI.dll"},
    {"\\VELTRA3.dll", "\\VELTRA3.pcd", "\\VELTRA3UI.dll"},
    {"\\VELTRA4.dll", "\\VELTRA4.pcd", "\\VELTRA4UI.dll"},
    {"\\VELTRA5.dll", "\\VELTRA5.pcd", "\\VELTRA5UI.dll"},
};

// The row of a model index, or null outside the table.
inline const ModelFiles* ModelFilesAt(long index) {
  if (index < 0 || index >= static_cast<long>(sizeof ModelTable / sizeof ModelTable[0])) return nullptr;
  return &ModelTable[index];
}

// A model's three driver files in a folder.
struct DriverPaths {
  char driver[512];
  char data[512];
  char config[512];
};

// The folder (directory followed by subfolder) joined with each file name;
// false when a path does not fit.
bool BuildDriverPaths(DriverPaths& paths, const char* directory, const char* subfolder, const ModelFiles& files);

// Joins up to three parts into out; false, with out empty, when they do not fit.
bool JoinPath(char* out, std::size_t outSize, const char* a, const char* b, const char* c = "");
