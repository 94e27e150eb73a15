// Owners for the system's handles.
//
// Every handle these programs open has exactly one owner that closes it, so an
// early return on an error path can neither leak it nor close it twice.  The
// traits keep apart the two "no handle" values Win32 uses: most calls return
// NULL on failure, CreateFileW and FindFirstFileW return INVALID_HANDLE_VALUE,
// and mixing them up is a classic source of closing garbage.
#pragma once

#include <windows.h>
#include <winsvc.h>

namespace comp {

template <typename Traits>
class UniqueHandle {
 public:
  using Type = typename Traits::Type;

  UniqueHandle() noexcept = default;
  explicit UniqueHandle(Type handle) noexcept : handle_(handle) {}
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.Release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    Reset(other.Release());
    return *this;
  }
  ~UniqueHandle() { Reset(); }

  Type Get() const noexcept { return handle_; }
  bool Valid() const noexcept { return handle_ != Traits::None(); }
  explicit operator bool() const noexcept { return Valid(); }

  Type Release() noexcept {
    Type handle = handle_;
    handle_ = Traits::None();
    return handle;
  }
  void Reset(Type handle = Traits::None()) noexcept {
    if (handle_ != Traits::None()) Traits::Close(handle_);
    handle_ = handle;
  }

 private:
  Type handle_ = Traits::None();
};

// Processes, threads and the other objects whose creators answer NULL on
// failure.
struct NullHandleTraits {
  using Type = HANDLE;
  static Type None() { return nullptr; }
  static void Close(Type handle) { CloseHandle(handle); }
};

// CreateFileW.
struct FileHandleTraits {
  using Type = HANDLE;
  static Type None() { return INVALID_HANDLE_VALUE; }
  static void Close(Type handle) { CloseHandle(handle); }
};

// FindFirstFileW.
struct FindHandleTraits {
  using Type = HANDLE;
  static Type None() { return INVALID_HANDLE_VALUE; }
  static void Close(Type handle) { FindClose(handle); }
};

// OpenSCManagerW, OpenServiceW, CreateServiceW.
struct ServiceHandleTraits {
  using Type = SC_HANDLE;
  static Type None() { return nullptr; }
  static void Close(Type handle) { CloseServiceHandle(handle); }
};

using Handle = UniqueHandle<NullHandleTraits>;
using FileHandle = UniqueHandle<FileHandleTraits>;
using FindHandle = UniqueHandle<FindHandleTraits>;
using ServiceHandle = UniqueHandle<ServiceHandleTraits>;

}  // namespace comp
