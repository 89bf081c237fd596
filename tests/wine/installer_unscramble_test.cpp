// UnscrambleCopy on real files: sizes around the copy buffer, a large file,
// and the sources and destinations it cannot use.
#include <gtest/gtest.h>
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "dialog.h"
#include "package.h"
#include "support.h"

namespace {

std::string Pattern(size_t size, size_t offset = 0) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) {
    const size_t n = offset + i;
    bytes[i] = static_cast<char>((n * 131 + (n >> 10) * 7 + 3) & 0xFF);
  }
  return bytes;
}

// The pipe's writer: a few chunks of a package, then the pipe is broken off.
DWORD WINAPI WriteSomeOfPackage(LPVOID p) {
  HANDLE pipe = static_cast<HANDLE>(p);
  if (!::ConnectNamedPipe(pipe, nullptr) && ::GetLastError() != ERROR_PIPE_CONNECTED) return 1;
  const std::string bytes = Pattern(3000);
  DWORD written = 0;
  ::WriteFile(pipe, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  ::FlushFileBuffers(pipe);
  ::CloseHandle(pipe);
  return 0;
}

std::string Scrambled(std::string bytes) {
  ScrambleBytes(reinterpret_cast<unsigned char*>(bytes.data()), bytes.size());
  return bytes;
}

class InstallerUnscramble : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string root = WinPath(TEST_WORK_DIR_UNIX);
    ::CreateDirectoryA(root.c_str(), nullptr);
    m_dir = root + "\\" + UniqueName("unscramble");
    ASSERT_TRUE(::CreateDirectoryA(m_dir.c_str(), nullptr));
  }
  void TearDown() override {
    for (const char* name : {"\\package", "\\driver", "\\big.cab", "\\big.dll"})
      ::DeleteFileA((m_dir + name).c_str());
    ::RemoveDirectoryA(m_dir.c_str());
  }
  std::string Path(const char* name) const { return m_dir + "\\" + name; }

  CPLOTINSTDlg m_dialog;
  std::string m_dir;
};

TEST_F(InstallerUnscramble, SizesAroundTheBufferComeOutByteExact) {
  for (size_t size : {0, 1, 1023, 1024, 1025, 4097, 70001}) {
    const std::string driver = Pattern(size);
    ASSERT_TRUE(WriteFileBytes(Path("package"), Scrambled(driver)));
    // A longer file at the destination is replaced, not overwritten in part.
    ASSERT_TRUE(WriteFileBytes(Path("driver"), Pattern(80000, 5)));
    EXPECT_TRUE(m_dialog.UnscrambleCopy(Path("package").c_str(), Path("driver").c_str())) << size;
    EXPECT_TRUE(FileExists(Path("driver"))) << size;
    const std::string out = ReadFileBytes(Path("driver"));
    EXPECT_EQ(out.size(), size);
    EXPECT_TRUE(out == driver) << size;
  }
}

TEST_F(InstallerUnscramble, SeveralMegabytesStreamThroughWithFlatMemory) {
  // Written in pieces, so that the test itself never holds the whole file.
  constexpr size_t kChunk = 65536, kSize = 12 * 1024 * 1024 + 333;
  {
    HANDLE file = ::CreateFileA(Path("big.cab").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    for (size_t at = 0; at < kSize; at += kChunk) {
      const std::string piece = Scrambled(Pattern(std::min(kChunk, kSize - at), at));
      DWORD written = 0;
      ::WriteFile(file, piece.data(), static_cast<DWORD>(piece.size()), &written, nullptr);
    }
    ::CloseHandle(file);
  }
  PROCESS_MEMORY_COUNTERS before{}, after{};
  ::GetProcessMemoryInfo(::GetCurrentProcess(), &before, sizeof before);
  ASSERT_TRUE(m_dialog.UnscrambleCopy(Path("big.cab").c_str(), Path("big.dll").c_str()));
  ::GetProcessMemoryInfo(::GetCurrentProcess(), &after, sizeof after);
  EXPECT_LT(after.PeakPagefileUsage - before.PeakPagefileUsage, 1024u * 1024u);

  HANDLE file = ::CreateFileA(Path("big.dll").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                              nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  LARGE_INTEGER size{};
  ::GetFileSizeEx(file, &size);
  EXPECT_EQ(static_cast<size_t>(size.QuadPart), kSize);
  std::string piece(kChunk, '\0');
  size_t mismatchAt = SIZE_MAX;
  for (size_t at = 0; at < kSize && mismatchAt == SIZE_MAX; at += kChunk) {
    DWORD read = 0;
    ::ReadFile(file, piece.data(), kChunk, &read, nullptr);
    if (std::string(piece.data(), read) != Pattern(std::min(kChunk, kSize - at), at)) mismatchAt = at;
  }
  ::CloseHandle(file);
  EXPECT_EQ(mismatchAt, SIZE_MAX);
}

TEST_F(InstallerUnscramble, UnusableSourceOrDestinationFailsAndCreatesNothing) {
  ASSERT_TRUE(WriteFileBytes(Path("package"), Scrambled(Pattern(3000))));

  // A destination in a folder that does not exist.
  const std::string missingFolder = Path("no_such_folder");
  EXPECT_FALSE(m_dialog.UnscrambleCopy(Path("package").c_str(), (missingFolder + "\\driver").c_str()));
  EXPECT_FALSE(FileExists(missingFolder));

  // A source that is not there.
  EXPECT_FALSE(m_dialog.UnscrambleCopy(Path("no_such_package").c_str(), Path("driver").c_str()));
  EXPECT_FALSE(FileExists(Path("driver")));

  // A source held open by another without read sharing.
  HANDLE held = ::CreateFileA(Path("package").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(m_dialog.UnscrambleCopy(Path("package").c_str(), Path("driver").c_str()));
  ::CloseHandle(held);
  EXPECT_FALSE(FileExists(Path("driver")));

  // A destination held open by another without sharing is left as it was.
  ASSERT_TRUE(WriteFileBytes(Path("driver"), "kept"));
  held = ::CreateFileA(Path("driver").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(m_dialog.UnscrambleCopy(Path("package").c_str(), Path("driver").c_str()));
  ::CloseHandle(held);
  EXPECT_EQ(ReadFileBytes(Path("driver")), "kept");
}

TEST_F(InstallerUnscramble, ReadFailingPartWayLeavesNoDestination) {
  // A pipe as the package: its writer hands over a few chunks, waits until
  // they were read, then breaks off, so that the next read fails.
  const std::string pipeName = "\\\\.\\pipe\\" + UniqueName("package");
  HANDLE pipe = ::CreateNamedPipeA(pipeName.c_str(), PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE | PIPE_WAIT, 1, 65536,
                                   65536, 0, nullptr);
  ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
  HANDLE writer = ::CreateThread(nullptr, 0, WriteSomeOfPackage, pipe, 0, nullptr);
  ASSERT_NE(writer, nullptr);
  EXPECT_FALSE(m_dialog.UnscrambleCopy(pipeName.c_str(), Path("driver").c_str()));
  EXPECT_FALSE(FileExists(Path("driver")));
  EXPECT_TRUE(WaitUntil([&] { return ::WaitForSingleObject(writer, 0) == WAIT_OBJECT_0; }, 10000));
  DWORD code = 1;
  ::GetExitCodeThread(writer, &code);
  EXPECT_EQ(code, 0u);
  ::CloseHandle(writer);
}

}  // namespace
