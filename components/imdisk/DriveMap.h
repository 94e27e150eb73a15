// Showing a folder as a drive letter to every process.
//
// Under Wine a drive letter is a link in the prefix's dosdevices folder, and
// the mount manager (\\.\MountPointManager, the service winecfg talks to)
// makes and removes such links through its IOCTL_MOUNTMGR_DEFINE_UNIX_DRIVE;
// running programs see the change at once.  DefineDosDeviceW would report
// success there and map nothing.  On Windows the letter is a DOS device whose
// target is the folder, made global when we are allowed to.
#pragma once

#include <windows.h>

#include <string>

namespace imdisk::drive {

// Both answer 0 or the Win32 error.
DWORD Map(wchar_t letter, const std::wstring& folder);
DWORD Unmap(wchar_t letter, const std::wstring& folder);

// Whether `letter` currently shows `folder` (as Map made it).
bool MapsTo(wchar_t letter, const std::wstring& folder);

}  // namespace imdisk::drive
