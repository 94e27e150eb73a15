// The first line of a small UTF-8 text file.
#pragma once

#include <optional>
#include <string>

namespace vimbrel {

// Without the BOM and the line end; nullopt when the file cannot be read.
std::optional<std::wstring> FirstLine(const std::wstring& path);

}  // namespace vimbrel
