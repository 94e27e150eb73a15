#include "Files.h"

#include <windows.h>

#include "Json.h"

namespace inspector {

namespace {

class Find {
 public:
  Find(const std::wstring& pattern, WIN32_FIND_DATAW& data)
      : handle_(::FindFirstFileW(pattern.c_str(), &data)) {}
  Find(const Find&) = delete;
  Find& operator=(const Find&) = delete;
  ~Find() {
    if (*this) ::FindClose(handle_);
  }
  explicit operator bool() const { return handle_ != INVALID_HANDLE_VALUE; }
  bool Next(WIN32_FIND_DATAW& data) { return ::FindNextFileW(handle_, &data); }

 private:
  HANDLE handle_;
};

}  // namespace

std::string ListFiles(const std::wstring& pattern) {
  Json json;
  json.BeginArray();
  WIN32_FIND_DATAW data;
  Find find(pattern, data);
  for (bool more = static_cast<bool>(find); more; more = find.Next(data)) {
    if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) json.String(data.cFileName);
  }
  json.EndArray();
  return json.str();
}

}  // namespace inspector
