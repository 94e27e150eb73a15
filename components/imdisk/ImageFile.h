// Positional reads from the image file.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "common/Handle.h"

namespace imdisk {

class ImageFile {
 public:
  // Opens `path` for reading; on failure Valid() is false and Error() holds
  // the Win32 error.
  explicit ImageFile(const std::wstring& path);

  bool Valid() const { return file_.Valid(); }
  DWORD Error() const { return error_; }
  std::uint64_t Size() const { return size_; }

  // Reads exactly `length` bytes at `offset`; false on a short or failed read.
  bool ReadAt(std::uint64_t offset, void* buffer, std::uint32_t length) const;

 private:
  comp::FileHandle file_;
  DWORD error_ = 0;
  std::uint64_t size_ = 0;
};

}  // namespace imdisk
