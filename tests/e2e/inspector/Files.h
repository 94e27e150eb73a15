// A folder listing in the order the file system gives it, which is the order
// a program that lists with FindFirstFile sees (Wine sorts it; Windows does
// not): the order TOLVEX's list must keep.
#pragma once

#include <string>

namespace inspector {

// The names matching the pattern ("C:\x\*.iso"), folders left out, as JSON.
std::string ListFiles(const std::wstring& pattern);

}  // namespace inspector
