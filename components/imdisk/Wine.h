// What a Windows program can ask of Wine when it runs under it.
#pragma once

#include <string>

namespace imdisk::wine {

// ntdll exports wine_get_version under Wine only.
bool Detected();

// The Unix name of a Windows path (kernel32's wine_get_unix_file_name), in
// the Unix file system's own bytes; empty when Wine cannot say.
std::string UnixPath(const std::wstring& path);

// Deletes a folder tree from the Unix side.  Wine refuses to delete a file
// another process holds open without FILE_SHARE_DELETE, as Windows does, but
// the Unix file system does not care: this is what lets a forced detach take
// the files away from under a program that still reads them.
bool RemoveTree(const std::wstring& folder);

}  // namespace imdisk::wine
