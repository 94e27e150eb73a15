// Text in and out of the programs: UTF-8 for files and pipes, UTF-16 inside.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace comp {

std::string ToUtf8(std::wstring_view text);
std::wstring FromUtf8(std::string_view text);

// To the console as UTF-16 when the stream is one, else as UTF-8 bytes (pipes,
// files), so `| find "running"` and Python readers see plain text.
void WriteOut(std::wstring_view text);
void WriteErr(std::wstring_view text);

// The system's own words for a Win32 error code, without the trailing newline.
std::wstring SystemMessage(DWORD code);

// ASCII-only case folding: switches and drive letters never need more.
bool EqualsNoCase(std::wstring_view a, std::wstring_view b);

}  // namespace comp
