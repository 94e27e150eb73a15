// Owning wrappers for the Win32 handles the launcher opens.  Each kind says
// which value means "none" and how it is released, so a NULL-style handle
// can never be mistaken for an INVALID_HANDLE_VALUE-style one.
#pragma once

#include <windows.h>

#include <utility>

namespace platform::win32 {

template <typename T, T Invalid, typename Close>
class Unique {
 public:
  Unique() = default;
  explicit Unique(T value) : value_(value) {}
  Unique(const Unique&) = delete;
  Unique& operator=(const Unique&) = delete;
  Unique(Unique&& other) noexcept : value_(std::exchange(other.value_, Invalid)) {}
  Unique& operator=(Unique&& other) noexcept {
    if (this != &other) reset(std::exchange(other.value_, Invalid));
    return *this;
  }
  ~Unique() { reset(); }

  T get() const { return value_; }
  explicit operator bool() const { return value_ != Invalid; }
  void reset(T value = Invalid) {
    if (value_ != Invalid) Close{}(value_);
    value_ = value;
  }
  T release() { return std::exchange(value_, Invalid); }

 private:
  T value_ = Invalid;
};

struct CloseKernelHandle {
  void operator()(HANDLE h) const { ::CloseHandle(h); }
};
struct CloseFind {
  void operator()(HANDLE h) const { ::FindClose(h); }
};
struct DeleteGdiObject {
  void operator()(HGDIOBJ h) const { ::DeleteObject(h); }
};

// INVALID_HANDLE_VALUE is not a constant expression, so handles that use it
// for "none" get a class of their own.
template <typename Close>
class UniqueInvalid {
 public:
  UniqueInvalid() = default;
  explicit UniqueInvalid(HANDLE value) : value_(value) {}
  UniqueInvalid(const UniqueInvalid&) = delete;
  UniqueInvalid& operator=(const UniqueInvalid&) = delete;
  ~UniqueInvalid() {
    if (value_ != INVALID_HANDLE_VALUE) Close{}(value_);
  }
  HANDLE get() const { return value_; }
  explicit operator bool() const { return value_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE value_ = INVALID_HANDLE_VALUE;
};

using UniqueHandle = Unique<HANDLE, nullptr, CloseKernelHandle>;  // processes, events
using UniqueFile = UniqueInvalid<CloseKernelHandle>;              // CreateFileW
using UniqueFind = UniqueInvalid<CloseFind>;                      // FindFirstFileW
using UniqueFont = Unique<HFONT, nullptr, DeleteGdiObject>;

}  // namespace platform::win32
