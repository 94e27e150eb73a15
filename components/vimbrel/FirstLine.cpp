#include "vimbrel/FirstLine.h"

#include <windows.h>

#include "common/Handle.h"
#include "common/Text.h"

namespace vimbrel {

std::optional<std::wstring> FirstLine(const std::wstring& path) {
  comp::FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return std::nullopt;
  // A line is short; a file that is not would only slow the window's start.
  char buffer[4096];
  DWORD got = 0;
  if (!ReadFile(file.Get(), buffer, sizeof(buffer), &got, nullptr)) return std::nullopt;
  std::string_view text(buffer, got);
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  text = text.substr(0, text.find_first_of("\r\n"));
  return comp::FromUtf8(text);
}

}  // namespace vimbrel
