// Attaching and detaching: the work behind imdisk.cpl's two calls.
//
// An attached image lives as plain files in <ProgramData>\ImDiskImages\<L>,
// one folder per drive letter, and the letter shows that folder.  The folder
// is complete before the letter appears, so a program waiting for a file on
// the letter never sees a half-written image.
#include <shlobj.h>
#include <windows.h>

#include <string>

#include "common/Scm.h"
#include "common/Text.h"
#include "imdisk/DriveMap.h"
#include "imdisk/ImDiskApi.h"
#include "imdisk/ImageFile.h"
#include "imdisk/Iso9660.h"
#include "imdisk/Materialise.h"
#include "imdisk/Wine.h"

namespace imdisk {
namespace {

constexpr wchar_t kDriverService[] = L"ImDisk";

struct Outcome {
  int code;
  std::wstring message;
};

std::wstring ImagesFolder() {
  wchar_t base[MAX_PATH];
  // Machine-wide, so the detach finds what the attach made whoever runs it.
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, base))) {
    UINT length = GetWindowsDirectoryW(base, MAX_PATH);
    if (length == 0 || length >= MAX_PATH - 6) return {};
    wcscat(base, L"\\Temp");
  }
  return std::wstring(base) + L"\\ImDiskImages";
}

std::wstring Root(wchar_t letter) { return std::wstring(1, letter) + L":\\"; }
std::wstring Name(wchar_t letter) { return std::wstring(1, letter) + L":"; }

bool Exists(const std::wstring& path) {
  return GetFileAttributesW(LongPath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool Free(wchar_t letter) { return GetDriveTypeW(Root(letter).c_str()) == DRIVE_NO_ROOT_DIR; }

bool RemoveFolder(const std::wstring& folder) {
  return RemoveTree(folder) || (wine::Detected() && wine::RemoveTree(folder));
}

wchar_t Upper(wchar_t letter) {
  return letter >= L'a' && letter <= L'z' ? static_cast<wchar_t>(letter - L'a' + L'A') : letter;
}

bool IsLetter(wchar_t letter) { return letter >= L'A' && letter <= L'Z'; }

Outcome DriverCheck() {
  comp::ServiceQuery driver = comp::QueryServiceState(kDriverService);
  if (driver.error == ERROR_SERVICE_DOES_NOT_EXIST) {
    return {IMDISK_DRIVER_MISSING, L"the ImDisk driver is not installed"};
  }
  if (driver.error) {
    return {IMDISK_DRIVER_MISSING,
            L"cannot ask for the ImDisk driver: " + comp::SystemMessage(driver.error)};
  }
  if (driver.state != SERVICE_RUNNING) {
    return {IMDISK_DRIVER_MISSING,
            std::wstring(L"the ImDisk driver is ") + comp::ServiceStateName(driver.state)};
  }
  return {IMDISK_OK, {}};
}

Outcome Attach(const std::wstring& image_path, wchar_t& letter) {
  bool any_letter = letter == 0 || letter == L'#';
  letter = Upper(letter);
  if (!any_letter && !IsLetter(letter)) {
    return {IMDISK_CREATE_FAILED, L"\"" + std::wstring(1, letter) + L"\" is not a drive letter"};
  }
  Outcome driver = DriverCheck();
  if (driver.code) return driver;

  std::wstring base = ImagesFolder();
  if (any_letter) {
    letter = 0;
    for (wchar_t candidate = L'D'; candidate <= L'Z' && !letter; ++candidate) {
      if (Free(candidate)) letter = candidate;
    }
    if (!letter) return {IMDISK_NO_FREE_LETTER, L"no drive letter is free"};
  } else if (!Free(letter)) {
    return {IMDISK_CREATE_FAILED, Name(letter) + L" is already in use"};
  }

  ImageFile image(image_path);
  if (!image.Valid()) {
    return {IMDISK_CREATE_FAILED,
            L"cannot open " + image_path + L": " + comp::SystemMessage(image.Error())};
  }
  iso::Tree tree;
  std::wstring error;
  if (!iso::ReadTree(image, tree, error)) {
    return {IMDISK_CREATE_FAILED, image_path + L" is not a usable ISO 9660 image: " + error};
  }

  if (base.empty()) return {IMDISK_CREATE_FAILED, L"no folder to keep the image's files in"};
  if (!CreateDirectoryW(base.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
    return {IMDISK_CREATE_FAILED,
            L"cannot create " + base + L": " + comp::SystemMessage(GetLastError())};
  }
  // The letter is free, so whatever is in its folder is left from an earlier
  // session that ended without a detach.
  std::wstring folder = base + L"\\" + std::wstring(1, letter);
  if (Exists(folder) && !RemoveFolder(folder)) {
    return {IMDISK_CREATE_FAILED, L"cannot clear the leftovers in " + folder};
  }
  if (!Materialise(image, tree, folder, error)) {
    RemoveFolder(folder);
    return {IMDISK_CREATE_FAILED, error};
  }
  if (DWORD mapped = drive::Map(letter, folder)) {
    RemoveFolder(folder);
    return {IMDISK_INACCESSIBLE,
            L"cannot create " + Name(letter) + L": " + comp::SystemMessage(mapped)};
  }
  return {IMDISK_OK, Name(letter) + L" shows " + image_path};
}

Outcome Detach(wchar_t letter) {
  letter = Upper(letter);
  if (!IsLetter(letter)) {
    return {IMDISK_NO_SUCH_DEVICE, L"\"" + std::wstring(1, letter) + L"\" is not a drive letter"};
  }
  std::wstring base = ImagesFolder();
  std::wstring folder = base + L"\\" + std::wstring(1, letter);
  bool mapped = !base.empty() && drive::MapsTo(letter, folder);
  bool files = !base.empty() && Exists(folder);
  if (!mapped && !files) return {IMDISK_NO_SUCH_DEVICE, Name(letter) + L" shows no image"};

  if (mapped) {
    if (DWORD error = drive::Unmap(letter, folder)) {
      return {IMDISK_INACCESSIBLE,
              L"cannot remove " + Name(letter) + L": " + comp::SystemMessage(error)};
    }
  }
  bool removed = !files || RemoveFolder(folder);
  // Files of an earlier session whose letter went away on its own: cleaned
  // up, but there was no device to remove.
  if (!mapped) return {IMDISK_NO_SUCH_DEVICE, Name(letter) + L" shows no image"};
  if (!removed) return {IMDISK_OK, Name(letter) + L" removed; files in use stay in " + folder};
  return {IMDISK_OK, Name(letter) + L" removed"};
}

int Report(const Outcome& outcome, wchar_t* message, unsigned message_chars) {
  if (message && message_chars > 0) {
    std::size_t length =
        outcome.message.size() < message_chars - 1 ? outcome.message.size() : message_chars - 1;
    outcome.message.copy(message, length);
    message[length] = L'\0';
  }
  return outcome.code;
}

}  // namespace
}  // namespace imdisk

extern "C" IMDISK_API int __cdecl ImDiskAttachImage(const wchar_t* image, wchar_t* letter,
                                                    wchar_t* message, unsigned message_chars) {
  if (!image || !letter) {
    return imdisk::Report({IMDISK_CREATE_FAILED, L"no image or letter given"}, message,
                          message_chars);
  }
  return imdisk::Report(imdisk::Attach(image, *letter), message, message_chars);
}

extern "C" IMDISK_API int __cdecl ImDiskDetachLetter(wchar_t letter, wchar_t* message,
                                                     unsigned message_chars) {
  return imdisk::Report(imdisk::Detach(letter), message, message_chars);
}
