#include "common/CallLog.h"

#include <windows.h>

#include "common/Handle.h"
#include "common/Text.h"

namespace comp {

std::wstring RawArguments() {
  const wchar_t* line = GetCommandLineW();
  // The program name ends the way CommandLineToArgvW ends argv[0]: at the
  // closing quote when it starts with one, else at the first blank.
  if (*line == L'"') {
    ++line;
    while (*line && *line != L'"') ++line;
    if (*line) ++line;
  } else {
    while (*line && *line != L' ' && *line != L'\t') ++line;
  }
  while (*line == L' ' || *line == L'\t') ++line;
  return line;
}

std::wstring ModulePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

std::wstring CurrentFolder() {
  DWORD size = GetCurrentDirectoryW(0, nullptr);
  std::wstring folder(size, L'\0');
  DWORD length = GetCurrentDirectoryW(size, folder.data());
  folder.resize(length < size ? length : 0);
  return folder;
}

std::wstring EnvironmentVariable(const wchar_t* name) {
  DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
  if (size == 0) return {};
  std::wstring value(size, L'\0');
  DWORD length = GetEnvironmentVariableW(name, value.data(), size);
  value.resize(length < size ? length : 0);
  return value;
}

std::wstring CallLine(bool with_exe) {
  std::wstring line;
  if (with_exe) line = L"exe=" + ModulePath() + L"|";
  line += L"args=" + RawArguments() + L"|cwd=" + CurrentFolder();
  return line;
}

void AppendLogLine(const wchar_t* env_var, std::wstring_view line) {
  std::wstring path = EnvironmentVariable(env_var);
  if (path.empty()) return;
  // Several programs may log at once (a starter and what it starts): append
  // mode and one write per line keep their lines whole.
  FileHandle file(CreateFileW(path.c_str(), FILE_APPEND_DATA,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return;
  std::string bytes = ToUtf8(line);
  bytes += "\r\n";
  DWORD written = 0;
  WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

}  // namespace comp
