#include "failed_import.h"

#include <psapi.h>

#include <cstddef>
#include <cstring>
#include <vector>

namespace {

template <typename T>
bool ReadRemote(HANDLE process, const BYTE* at, T& value) {
  SIZE_T read = 0;
  return ::ReadProcessMemory(process, at, &value, sizeof value, &read) && read == sizeof value;
}

// A name in the image of at most 63 characters, as the import table spells it.
bool NameIs(HANDLE process, const BYTE* at, const char* expected) {
  char name[64] = "";
  SIZE_T read = 0;
  if (!::ReadProcessMemory(process, at, name, sizeof name - 1, &read) && read == 0) return false;
  return _stricmp(name, expected) == 0;
}

// The address of the import slot, or null.
BYTE* FindSlot(HANDLE process, const char* dll, const char* function) {
  HMODULE exe = nullptr;
  DWORD needed = 0;
  if (!::EnumProcessModules(process, &exe, sizeof exe, &needed) || exe == nullptr) return nullptr;
  BYTE* const base = reinterpret_cast<BYTE*>(exe);
  IMAGE_DOS_HEADER dos;
  IMAGE_NT_HEADERS nt;
  if (!ReadRemote(process, base, dos) || !ReadRemote(process, base + dos.e_lfanew, nt)) return nullptr;
  const IMAGE_DATA_DIRECTORY& imports = nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  IMAGE_IMPORT_DESCRIPTOR descriptor;
  for (BYTE* at = base + imports.VirtualAddress; ReadRemote(process, at, descriptor) && descriptor.Name != 0;
       at += sizeof descriptor) {
    if (!NameIs(process, base + descriptor.Name, dll)) continue;
    IMAGE_THUNK_DATA thunk;
    for (DWORD i = 0; ReadRemote(process, base + descriptor.OriginalFirstThunk + i * sizeof thunk, thunk) &&
                      thunk.u1.AddressOfData != 0;
         ++i)
      if (!IMAGE_SNAP_BY_ORDINAL(thunk.u1.Ordinal) &&
          NameIs(process, base + thunk.u1.AddressOfData + offsetof(IMAGE_IMPORT_BY_NAME, Name), function))
        return base + descriptor.FirstThunk + i * sizeof thunk;
  }
  return nullptr;
}

// mov dword [teb.LastErrorValue], error; xor eax, eax; return.
std::vector<BYTE> FailingCode(DWORD error, WORD argumentBytes) {
#ifdef _WIN64
  std::vector<BYTE> code = {0x65, 0xC7, 0x04, 0x25, 0x68, 0, 0, 0};  // gs:[0x68]
#else
  std::vector<BYTE> code = {0x64, 0xC7, 0x05, 0x34, 0, 0, 0};  // fs:[0x34]
#endif
  const BYTE* e = reinterpret_cast<const BYTE*>(&error);
  code.insert(code.end(), e, e + 4);
  code.insert(code.end(), {0x31, 0xC0});
#ifdef _WIN64
  (void)argumentBytes;
  code.push_back(0xC3);
#else
  code.insert(code.end(), {0xC2, static_cast<BYTE>(argumentBytes), static_cast<BYTE>(argumentBytes >> 8)});
#endif
  return code;
}

}  // namespace

bool FailImport(HANDLE process, const char* dll, const char* function, DWORD error, WORD argumentBytes) {
  BYTE* const slot = FindSlot(process, dll, function);
  if (slot == nullptr) return false;
  const std::vector<BYTE> code = FailingCode(error, argumentBytes);
  void* stub = ::VirtualAllocEx(process, nullptr, code.size(), MEM_COMMIT | MEM_RESERVE, PAGE_EXECUTE_READWRITE);
  SIZE_T written = 0;
  if (stub == nullptr || !::WriteProcessMemory(process, stub, code.data(), code.size(), &written) ||
      !::FlushInstructionCache(process, stub, code.size()))
    return false;
  DWORD was = 0;
  if (!::VirtualProtectEx(process, slot, sizeof stub, PAGE_READWRITE, &was)) return false;
  const bool patched = ::WriteProcessMemory(process, slot, &stub, sizeof stub, &written) && written == sizeof stub;
  ::VirtualProtectEx(process, slot, sizeof stub, was, &was);
  return patched;
}
