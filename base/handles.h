// One RAII holder for every kind of Win32 handle, and the selection of a GDI
// object into a DC. Nothing the program opens is closed by hand.
#pragma once

#include <windows.h>

#include <utility>

namespace qv {

// Owns one handle. Kind says what the handle is:
//   using Handle = ...;              the handle type
//   static Handle Empty();           the value that holds nothing
//   static bool Holds(Handle);       false for every value that holds nothing
//   void Release(Handle) const;      lets the handle go
// A kind may carry state of its own (the window of a GetDC handle).
template <typename Kind>
class Unique {
 public:
  using Handle = typename Kind::Handle;

  Unique() = default;
  explicit Unique(Handle handle, Kind kind = Kind()) : handle_(handle), kind_(kind) {}
  Unique(const Unique&) = delete;
  Unique& operator=(const Unique&) = delete;
  Unique(Unique&& other) noexcept : handle_(other.release()), kind_(other.kind_) {}
  Unique& operator=(Unique&& other) noexcept {
    if (this != &other) {
      reset(other.release());
      kind_ = other.kind_;
    }
    return *this;
  }
  ~Unique() { reset(); }

  explicit operator bool() const { return Kind::Holds(handle_); }
  Handle get() const { return handle_; }
  Handle release() { return std::exchange(handle_, Kind::Empty()); }
  void reset(Handle handle = Kind::Empty()) {
    if (Kind::Holds(handle_)) kind_.Release(handle_);
    handle_ = handle;
  }
  // For functions that hand the handle out through a pointer; lets go of the
  // held one first.
  Handle* put() {
    reset();
    return &handle_;
  }

 private:
  Handle handle_ = Kind::Empty();
  Kind kind_;
};

// The handle kinds. Null counts as empty for all of them; INVALID_HANDLE_VALUE
// too where the creating function returns it on failure.
template <typename H>
struct NullIsEmpty {
  using Handle = H;
  static Handle Empty() { return nullptr; }
  static bool Holds(Handle handle) { return handle != nullptr; }
};

template <typename H>
struct NullOrInvalidIsEmpty : NullIsEmpty<H> {
  static bool Holds(H handle) { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }
};

struct KernelHandleKind : NullOrInvalidIsEmpty<HANDLE> {
  void Release(HANDLE handle) const { CloseHandle(handle); }
};
struct FindHandleKind : NullOrInvalidIsEmpty<HANDLE> {
  void Release(HANDLE handle) const { FindClose(handle); }
};
struct LibraryKind : NullIsEmpty<HMODULE> {
  void Release(HMODULE module) const { FreeLibrary(module); }
};
struct RegistryKeyKind : NullIsEmpty<HKEY> {
  void Release(HKEY key) const { RegCloseKey(key); }
};
struct GlobalMemoryKind : NullIsEmpty<HGLOBAL> {
  void Release(HGLOBAL memory) const { GlobalFree(memory); }
};
template <typename GdiObject>
struct GdiObjectKind : NullIsEmpty<GdiObject> {
  void Release(GdiObject object) const { DeleteObject(object); }
};
struct MemoryDcKind : NullIsEmpty<HDC> {
  void Release(HDC dc) const { DeleteDC(dc); }
};
struct WindowDcKind : NullIsEmpty<HDC> {
  HWND window = nullptr;
  void Release(HDC dc) const { ReleaseDC(window, dc); }
};

// BeginPaint's DC, ended with EndPaint.
struct PaintDcKind : NullIsEmpty<HDC> {
  HWND window = nullptr;
  PAINTSTRUCT paint{};
  void Release(HDC) const { EndPaint(window, &paint); }
};

using UniqueHandle = Unique<KernelHandleKind>;
using UniqueFind = Unique<FindHandleKind>;
using UniqueLibrary = Unique<LibraryKind>;
using UniqueRegistryKey = Unique<RegistryKeyKind>;
using UniqueGlobalMemory = Unique<GlobalMemoryKind>;
using UniqueBrush = Unique<GdiObjectKind<HBRUSH>>;
using UniqueFont = Unique<GdiObjectKind<HFONT>>;
using UniqueBitmap = Unique<GdiObjectKind<HBITMAP>>;
using UniqueMemoryDC = Unique<MemoryDcKind>;
using UniqueWindowDC = Unique<WindowDcKind>;
using UniquePaintDC = Unique<PaintDcKind>;

// A system library, loaded from the system folder only (never from the
// program's folder or the current directory).
inline UniqueLibrary LoadSystemLibrary(const wchar_t* name) {
  return UniqueLibrary(LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
}

// GetDC of a window (null: the screen), released with ReleaseDC.
inline UniqueWindowDC WindowDC(HWND window) { return UniqueWindowDC(GetDC(window), WindowDcKind{{}, window}); }

// BeginPaint of a window, ended with EndPaint.
inline UniquePaintDC PaintDC(HWND window) {
  PaintDcKind kind;
  kind.window = window;
  const HDC dc = BeginPaint(window, &kind.paint);
  return UniquePaintDC(dc, kind);
}

// Selects a GDI object into a DC and restores the previous one on destruction.
class SelectedObject {
 public:
  SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(object ? SelectObject(dc, object) : nullptr) {}
  SelectedObject(const SelectedObject&) = delete;
  SelectedObject& operator=(const SelectedObject&) = delete;
  ~SelectedObject() {
    if (previous_) SelectObject(dc_, previous_);
  }

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

}  // namespace qv
