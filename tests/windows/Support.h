// Small helpers the Windows tests share.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace testsupport {

// A build path (a Unix path baked in at compile time) as Wine's Z: drive sees it.
inline std::wstring FromBuild(const char* unixPath) {
  std::wstring path = L"Z:";
  for (const char* p = unixPath; *p; ++p) path += *p == '/' ? L'\\' : static_cast<wchar_t>(*p);
  return path;
}

inline std::vector<std::uint8_t> ReadAll(const std::wstring& path) {
  std::vector<std::uint8_t> bytes;
  const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return bytes;
  char buffer[65536];
  DWORD read = 0;
  while (::ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read) {
    bytes.insert(bytes.end(), buffer, buffer + read);
  }
  ::CloseHandle(file);
  return bytes;
}

inline void WriteAll(const std::wstring& path, const std::string& text) {
  const HANDLE file =
      ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  ::CloseHandle(file);
}

// A fresh folder under the user's temp folder, removed with everything in
// it when the test ends.
class TempFolder {
 public:
  TempFolder() {
    wchar_t base[MAX_PATH];
    ::GetTempPathW(MAX_PATH, base);
    path_ = std::wstring(base) + L"tolvex-test-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
            std::to_wstring(counter_++);
    ::CreateDirectoryW(path_.c_str(), nullptr);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  ~TempFolder() { Remove(path_); }
  const std::wstring& path() const { return path_; }
  std::wstring operator/(const std::wstring& name) const { return path_ + L"\\" + name; }

 private:
  static void Remove(const std::wstring& folder) {
    WIN32_FIND_DATAW data;
    const HANDLE find = ::FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
      do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring child = folder + L"\\" + name;
        ::SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
          Remove(child);
        } else {
          ::DeleteFileW(child.c_str());
        }
      } while (::FindNextFileW(find, &data));
      ::FindClose(find);
    }
    ::RemoveDirectoryW(folder.c_str());
  }
  static inline int counter_ = 0;
  std::wstring path_;
};

}  // namespace testsupport
