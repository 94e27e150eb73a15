// What imdisk.cpl offers imdisk.exe.
//
// imdisk.exe links against this at load time, so it cannot start without
// imdisk.cpl beside it.  Plain C calls without stdcall decoration keep the
// exported names the same on both processor variants.
#pragma once

#ifdef IMDISK_CPL_BUILD
#define IMDISK_API __declspec(dllexport)
#else
#define IMDISK_API __declspec(dllimport)
#endif

#ifdef __cplusplus
extern "C" {
#endif

// The results double as imdisk.exe's exit codes; TOLVEX turns them into its
// messages.
enum ImDiskResult {
  IMDISK_OK = 0,
  IMDISK_NO_SUCH_DEVICE = 1,   // detach: the letter shows no image of ours
  IMDISK_INACCESSIBLE = 2,     // the letter could not be made or removed
  IMDISK_CREATE_FAILED = 3,    // missing or damaged image, letter in use or not a letter
  IMDISK_DRIVER_MISSING = 4,   // the ImDisk driver service is not running
  IMDISK_WRONG_VERSION = 5,    // kept for TOLVEX's table; never returned
  IMDISK_NO_FREE_LETTER = 14,  // attach to "any letter" found none
};

// Shows the ISO 9660 image `image` at drive `*letter` ('A'-'Z'), or at the
// first free letter from D: when `*letter` is '#' or 0; the letter used comes
// back in `*letter`.  `message` receives a line for the user (an error's
// reason, or what was done); it may be NULL.
IMDISK_API int __cdecl ImDiskAttachImage(const wchar_t* image, wchar_t* letter, wchar_t* message,
                                         unsigned message_chars);

// Removes the letter and the image's files, even while programs use them.
IMDISK_API int __cdecl ImDiskDetachLetter(wchar_t letter, wchar_t* message, unsigned message_chars);

#ifdef __cplusplus
}
#endif
