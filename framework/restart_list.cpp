#include "restart_list.h"

#include <windows.h>

#include <memory>

#include "handles.h"
#include "pending_deletion.h"

namespace {
constexpr char kSessionManagerKey[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
constexpr wchar_t kPendingValue[] = L"PendingFileRenameOperations";
// Far above any real list; a larger value is not read.
constexpr DWORD kPendingListLimit = 16u << 20;
}  // namespace

bool IsPendingDeletion(const char* path) {
  wchar_t ntPath[4 + 512] = L"\\??\\";
  if (::MultiByteToWideChar(CP_ACP, 0, path, -1, ntPath + 4, 512) <= 0) return false;
  UniqueHKey key;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManagerKey, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS)
    return false;
  DWORD type = 0, size = 0;
  if (::RegQueryValueExW(key.get(), kPendingValue, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
      type != REG_MULTI_SZ || size == 0 || size > kPendingListLimit)
    return false;
  // Room for every byte the registry reported, an odd one too.
  auto list = std::make_unique<wchar_t[]>((size + 1) / sizeof(wchar_t));
  // A list that changed in between is read as not listing the file.
  if (::RegQueryValueExW(key.get(), kPendingValue, nullptr, &type, reinterpret_cast<BYTE*>(list.get()), &size) !=
          ERROR_SUCCESS ||
      type != REG_MULTI_SZ)
    return false;
  return ListsDeletion(list.get(), size / sizeof(wchar_t), ntPath);
}
