#include "process_resources.h"

#include <tlhelp32.h>
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

template <class Value>
bool ReadFrom(HANDLE process, ULONG_PTR address, Value& value) {
  value = Value{};
  return address != 0 &&
         ::ReadProcessMemory(process, reinterpret_cast<const void*>(address), &value, sizeof value, nullptr);
}

// Any thread's TEB in that process.
ULONG_PTR ThreadEnvironmentOf(DWORD processId) {
  struct ThreadBasicInformation {
    NTSTATUS exitStatus;
    PVOID teb;
    CLIENT_ID clientId;
    ULONG_PTR affinity;
    LONG priority;
    LONG basePriority;
  };
  using Query = NTSTATUS(NTAPI*)(HANDLE, ULONG, PVOID, ULONG, PULONG);
  const auto query = Ntdll<Query>("NtQueryInformationThread");
  const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (query == nullptr || snapshot == INVALID_HANDLE_VALUE) return 0;
  ULONG_PTR teb = 0;
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = ::Thread32First(snapshot, &entry); more && teb == 0; more = ::Thread32Next(snapshot, &entry)) {
    if (entry.th32OwnerProcessID != processId) continue;
    const HANDLE thread = ::OpenThread(THREAD_QUERY_INFORMATION, FALSE, entry.th32ThreadID);
    if (thread == nullptr) continue;
    ThreadBasicInformation info{};
    if (query(thread, 0 /* ThreadBasicInformation */, &info, sizeof info, nullptr) == 0)
      teb = reinterpret_cast<ULONG_PTR>(info.teb);
    ::CloseHandle(thread);
  }
  ::CloseHandle(snapshot);
  return teb;
}

// Where Wine keeps the process's GDI handle table: GdiSharedHandleTable in
// its PEB; for a 32-bit process on a 64-bit Windows only in the 64-bit PEB,
// reached through the 64-bit TEB that Wine keeps in the 32-bit TEB's
// GdiBatchCount.
ULONG_PTR GdiTableOf(HANDLE process) {
  BOOL wow64 = FALSE;
  if (!::IsWow64Process(process, &wow64) || !wow64) {
    using Query = NTSTATUS(NTAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
    const auto query = Ntdll<Query>("NtQueryInformationProcess");
    PROCESS_BASIC_INFORMATION info{};
    if (query == nullptr || query(process, ProcessBasicInformation, &info, sizeof info, nullptr) != 0) return 0;
    constexpr size_t kPebGdiTable = sizeof(void*) == 8 ? 0xF8 : 0x94;
    ULONG_PTR table;
    return ReadFrom(process, reinterpret_cast<ULONG_PTR>(info.PebBaseAddress) + kPebGdiTable, table) ? table : 0;
  }
  constexpr ULONG_PTR kTebGdiBatchCount = 0xF70, kTeb64Peb = 0x60, kPeb64GdiTable = 0xF8;
  ULONG teb64 = 0;
  UINT64 peb64 = 0, table = 0;
  if (!ReadFrom(process, ThreadEnvironmentOf(::GetProcessId(process)) + kTebGdiBatchCount, teb64) ||
      !ReadFrom(process, teb64 + kTeb64Peb, peb64) || peb64 > MAXDWORD ||
      !ReadFrom(process, static_cast<ULONG_PTR>(peb64) + kPeb64GdiTable, table) || table > MAXDWORD)
    return 0;
  return static_cast<ULONG_PTR>(table);
}

long CountGdiObjects(HANDLE process) {
  const ULONG_PTR tableAddress = GdiTableOf(process);
  if (tableAddress == 0) return -1;
  std::vector<GdiTableEntry> table(kGdiTableEntries);
  if (!::ReadProcessMemory(process, reinterpret_cast<const void*>(tableAddress), table.data(),
                           table.size() * sizeof(GdiTableEntry), nullptr))
    return -1;
  long count = 0;
  for (const GdiTableEntry& entry : table)
    if (entry.type != 0) ++count;
  return count;
}

// The memory the process itself has committed for its own use, as Windows
// counts private bytes. Not the host process's figure that Wine reports for
// another process: where the program runs emulated, that one is the
// emulator's, whose cache of translated code grows with every module the
// spooler loads afresh.
size_t CommittedPrivateKiB(HANDLE process) {
  size_t bytes = 0;
  const BYTE* address = nullptr;
  MEMORY_BASIC_INFORMATION region;
  while (::VirtualQueryEx(process, address, &region, sizeof region) == sizeof region) {
    if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) bytes += region.RegionSize;
    const BYTE* next = static_cast<const BYTE*>(region.BaseAddress) + region.RegionSize;
    if (next <= address) break;
    address = next;
  }
  return bytes / 1024;
}

}  // namespace

ProcessResources MeasureProcess(HANDLE process) {
  ProcessResources r;
  r.handles = CountHandles(::GetProcessId(process));
  r.gdiObjects = CountGdiObjects(process);
  r.privateKiB = CommittedPrivateKiB(process);
  return r;
}
