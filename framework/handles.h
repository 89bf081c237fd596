// One owning type per kind of Windows handle, so that no handle leaks on an
// early return. Each is move-only and releases its handle in the destructor.
#pragma once

#include <windows.h>

#include <utility>

template <class H, class Traits>
class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(H h) : m_h(h) {}
  UniqueHandle(UniqueHandle&& o) noexcept : m_h(std::exchange(o.m_h, Traits::Invalid())) {}
  UniqueHandle& operator=(UniqueHandle&& o) noexcept {
    if (this != &o) reset(std::exchange(o.m_h, Traits::Invalid()));
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  ~UniqueHandle() { reset(); }

  H get() const { return m_h; }
  explicit operator bool() const { return m_h != Traits::Invalid(); }
  // For calls that return the handle through an out-parameter.
  H* put() {
    reset();
    return &m_h;
  }
  H release() { return std::exchange(m_h, Traits::Invalid()); }
  void reset(H h = Traits::Invalid()) {
    if (m_h != Traits::Invalid()) Traits::Close(m_h);
    m_h = h;
  }

 private:
  H m_h = Traits::Invalid();
};

struct KernelHandleTraits {  // threads, events, processes
  static HANDLE Invalid() { return nullptr; }
  static void Close(HANDLE h) { ::CloseHandle(h); }
};
struct FileHandleTraits {  // CreateFile reports failure as INVALID_HANDLE_VALUE
  static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(HANDLE h) { ::CloseHandle(h); }
};
struct RegKeyTraits {
  static HKEY Invalid() { return nullptr; }
  static void Close(HKEY h) { ::RegCloseKey(h); }
};
struct MemoryDcTraits {  // CreateCompatibleDC
  static HDC Invalid() { return nullptr; }
  static void Close(HDC h) { ::DeleteDC(h); }
};
struct GdiObjectTraits {
  static HGDIOBJ Invalid() { return nullptr; }
  static void Close(HGDIOBJ h) { ::DeleteObject(h); }
};
struct LibraryTraits {
  static HMODULE Invalid() { return nullptr; }
  static void Close(HMODULE h) { ::FreeLibrary(h); }
};

using UniqueKernelHandle = UniqueHandle<HANDLE, KernelHandleTraits>;
using UniqueFile = UniqueHandle<HANDLE, FileHandleTraits>;
using UniqueHKey = UniqueHandle<HKEY, RegKeyTraits>;
using UniqueMemoryDc = UniqueHandle<HDC, MemoryDcTraits>;
using UniqueGdiObject = UniqueHandle<HGDIOBJ, GdiObjectTraits>;
using UniqueLibrary = UniqueHandle<HMODULE, LibraryTraits>;

// Owning pointer to a COM interface.
template <class I>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ~ComPtr() {
    if (m_p) m_p->Release();
  }
  I* operator->() const { return m_p; }
  I* get() const { return m_p; }
  explicit operator bool() const { return m_p != nullptr; }
  void** put() {
    if (m_p) m_p->Release();
    m_p = nullptr;
    return reinterpret_cast<void**>(&m_p);
  }

 private:
  I* m_p = nullptr;
};
