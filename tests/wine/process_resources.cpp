#include "process_resources.h"

#include <psapi.h>
#include <winternl.h>

#include <vector>

namespace {

constexpr ULONG kSystemExtendedHandleInformation = 64;
constexpr NTSTATUS kInfoLengthMismatch = static_cast<NTSTATUS>(0xC0000004L);

struct HandleEntry {
  PVOID object;
  ULONG_PTR processId;
  ULONG_PTR handle;
  ULONG access;
  USHORT creatorBackTrace;
  USHORT objectType;
  ULONG attributes;
  ULONG reserved;
};
struct HandleList {
  ULONG_PTR count;
  ULONG_PTR reserved;
  HandleEntry entries[1];
};

// One entry of Wine's GDI handle table, laid out alike for 32-bit and
// 64-bit processes.
struct GdiTableEntry {
  UINT64 object;
  ULONG owner;
  USHORT unique;
  UCHAR type;
  UCHAR flags;
  UINT64 user;
};
static_assert(sizeof(GdiTableEntry) == 24);
constexpr size_t kGdiTableEntries = 0x10000;
// GdiSharedHandleTable in the process's own PEB (the test and the program
// under test are built alike).
constexpr size_t kPebGdiTableOffset = sizeof(void*) == 8 ? 0xF8 : 0x94;

template <class Function>
Function Ntdll(const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("ntdll.dll"), name)));
}

long CountHandles(DWORD processId) {
  using Query = NTSTATUS(NTAPI*)(ULONG, PVOID, ULONG, PULONG);
  const auto query = Ntdll<Query>("NtQuerySystemInformation");
  if (query == nullptr) return -1;
  std::vector<BYTE> buffer(1 << 20);
  NTSTATUS status;
  ULONG length = 0;
  while ((status = query(kSystemExtendedHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()),
                         &length)) == kInfoLengthMismatch)
    buffer.resize(buffer.size() * 2);
  if (status != 0) return -1;
  const auto* list = reinterpret_cast<const HandleList*>(buffer.data());
  const size_t fits = (buffer.size() - offsetof(HandleList, entries)) / sizeof(HandleEntry);
  long count = 0;
  for (ULONG_PTR i = 0; i < list->count && i < fits; ++i)
    if (list->entries[i].processId == processId) ++count;
  return count;
}

long CountGdiObjects(HANDLE process) {
  using Query = NTSTATUS(NTAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
  const auto query = Ntdll<Query>("NtQueryInformationProcess");
  PROCESS_BASIC_INFORMATION info{};
  if (query == nullptr || query(process, ProcessBasicInformation, &info, sizeof info, nullptr) != 0) return -1;
  ULONG_PTR tableAddress = 0;
  const BYTE* field = reinterpret_cast<const BYTE*>(info.PebBaseAddress) + kPebGdiTableOffset;
  if (!::ReadProcessMemory(process, field, &tableAddress, sizeof tableAddress, nullptr) || tableAddress == 0)
    return -1;
  std::vector<GdiTableEntry> table(kGdiTableEntries);
  if (!::ReadProcessMemory(process, reinterpret_cast<const void*>(tableAddress), table.data(),
                           table.size() * sizeof(GdiTableEntry), nullptr))
    return -1;
  long count = 0;
  for (const GdiTableEntry& entry : table)
    if (entry.type != 0) ++count;
  return count;
}

}  // namespace

ProcessResources MeasureProcess(HANDLE process) {
  ProcessResources r;
  r.handles = CountHandles(::GetProcessId(process));
  r.gdiObjects = CountGdiObjects(process);
  PROCESS_MEMORY_COUNTERS_EX memory{};
  memory.cb = sizeof memory;
  if (::GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory)) {
    // The same figure as PrivateUsage on Windows; Wine fills in only this one
    // for another process.
    r.privateKiB = memory.PagefileUsage / 1024;
    r.workingSetKiB = memory.WorkingSetSize / 1024;
  }
  return r;
}
