#include "imdisk/Materialise.h"

#include <windows.h>

#include <vector>

#include "common/Handle.h"
#include "common/Text.h"

namespace imdisk {
namespace {

constexpr std::uint32_t kChunk = 1u << 20;

bool Fail(std::wstring& error, const std::wstring& what, DWORD code) {
  error = what + L": " + comp::SystemMessage(code);
  return false;
}

bool WriteFileData(const ImageFile& image, const iso::Entry& entry, const std::wstring& path,
                   std::vector<BYTE>& buffer, std::wstring& error) {
  comp::FileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file) return Fail(error, L"cannot create " + entry.path, GetLastError());
  for (const iso::Extent& extent : entry.data) {
    std::uint64_t offset = extent.offset;
    std::uint32_t left = extent.length;
    while (left > 0) {
      std::uint32_t chunk = left < kChunk ? left : kChunk;
      if (!image.ReadAt(offset, buffer.data(), chunk)) {
        error = L"cannot read " + entry.path + L" from the image";
        return false;
      }
      DWORD written = 0;
      if (!WriteFile(file.Get(), buffer.data(), chunk, &written, nullptr) || written != chunk) {
        return Fail(error, L"cannot write " + entry.path, GetLastError());
      }
      offset += chunk;
      left -= chunk;
    }
  }
  return true;
}

}  // namespace

std::wstring LongPath(const std::wstring& path) {
  if (path.rfind(L"\\\\?\\", 0) == 0) return path;
  if (path.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + path.substr(2);
  return L"\\\\?\\" + path;
}

bool Materialise(const ImageFile& image, const iso::Tree& tree, const std::wstring& folder,
                 std::wstring& error) {
  std::wstring root = LongPath(folder);
  if (!CreateDirectoryW(root.c_str(), nullptr)) {
    return Fail(error, L"cannot create " + folder, GetLastError());
  }
  std::vector<BYTE> buffer(kChunk);
  for (const iso::Entry& entry : tree.entries) {
    std::wstring path = root + L"\\" + entry.path;
    if (entry.directory) {
      if (!CreateDirectoryW(path.c_str(), nullptr)) {
        return Fail(error, L"cannot create " + entry.path, GetLastError());
      }
    } else if (!WriteFileData(image, entry, path, buffer, error)) {
      return false;
    }
  }
  return true;
}

bool RemoveTree(const std::wstring& folder) {
  std::wstring root = LongPath(folder);
  WIN32_FIND_DATAW found;
  comp::FindHandle find(FindFirstFileW((root + L"\\*").c_str(), &found));
  if (find) {
    do {
      std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      std::wstring path = root + L"\\" + name;
      bool link = found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT;
      if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !link) {
        RemoveTree(path);
        continue;
      }
      if (found.dwFileAttributes & FILE_ATTRIBUTE_READONLY) {
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      }
      // A link to a folder goes as the folder entry it is, never into it.
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveDirectoryW(path.c_str());
      } else {
        DeleteFileW(path.c_str());
      }
    } while (FindNextFileW(find.Get(), &found));
  }
  find.Reset();
  RemoveDirectoryW(root.c_str());
  return GetFileAttributesW(root.c_str()) == INVALID_FILE_ATTRIBUTES;
}

}  // namespace imdisk
