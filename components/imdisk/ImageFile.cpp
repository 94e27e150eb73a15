#include "imdisk/ImageFile.h"

namespace imdisk {

ImageFile::ImageFile(const std::wstring& path)
    : file_(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                        FILE_FLAG_SEQUENTIAL_SCAN, nullptr)) {
  if (!file_) {
    error_ = GetLastError();
    return;
  }
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file_.Get(), &size)) {
    error_ = GetLastError();
    file_.Reset();
    return;
  }
  size_ = static_cast<std::uint64_t>(size.QuadPart);
}

bool ImageFile::ReadAt(std::uint64_t offset, void* buffer, std::uint32_t length) const {
  if (offset > size_ || length > size_ - offset) return false;
  auto* out = static_cast<BYTE*>(buffer);
  while (length > 0) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD got = 0;
    if (!ReadFile(file_.Get(), out, length, &got, &at) || got == 0) return false;
    out += got;
    offset += got;
    length -= got;
  }
  return true;
}

}  // namespace imdisk
