#include "imdisk/DriveMap.h"

#include <winioctl.h>

#include <cstddef>
#include <vector>

#include "common/Handle.h"
#include "common/Text.h"
#include "imdisk/Wine.h"

namespace imdisk::drive {
namespace {

// Wine's own mount manager extension, as its include/ddk/mountmgr.h defines
// it (the copy in mingw-w64's headers predates the current layout).
constexpr DWORD kDefineUnixDrive =
    CTL_CODE('m', 32, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS);
constexpr DWORD kQueryUnixDrive = CTL_CODE('m', 33, METHOD_BUFFERED, FILE_READ_ACCESS);

struct UnixDrive {
  ULONG size;
  ULONG type;     // a DRIVE_* value
  ULONG fs_type;  // left 0: Wine works it out
  DWORD serial;
  ULONGLONG unix_dev;
  WCHAR letter;
  USHORT mount_point_offset;  // NUL-terminated Unix path
  USHORT device_offset;
  USHORT label_offset;
};
static_assert(sizeof(UnixDrive) == 32 && offsetof(UnixDrive, letter) == 24,
              "must match Wine's struct mountmgr_unix_drive on both processor variants");

comp::FileHandle OpenMountManager() {
  return comp::FileHandle(CreateFileW(L"\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                      nullptr));
}

// `type` DRIVE_NO_ROOT_DIR with no mount point removes the drive; any other
// type without one would leave an empty drive behind, still taking the letter.
DWORD DefineUnixDrive(wchar_t letter, UINT type, const std::string& mount_point) {
  comp::FileHandle manager = OpenMountManager();
  if (!manager) return GetLastError();
  std::vector<BYTE> request(sizeof(UnixDrive) + mount_point.size() + 1);
  auto* drive = reinterpret_cast<UnixDrive*>(request.data());
  drive->size = static_cast<ULONG>(request.size());
  drive->type = type;
  drive->letter = static_cast<WCHAR>(letter - L'A' + L'a');
  if (!mount_point.empty()) {
    drive->mount_point_offset = sizeof(UnixDrive);
    memcpy(request.data() + sizeof(UnixDrive), mount_point.c_str(), mount_point.size() + 1);
  }
  DWORD returned = 0;
  if (!DeviceIoControl(manager.Get(), kDefineUnixDrive, request.data(),
                       static_cast<DWORD>(request.size()), nullptr, 0, &returned, nullptr)) {
    return GetLastError();
  }
  return 0;
}

std::string UnixDriveTarget(wchar_t letter) {
  comp::FileHandle manager = OpenMountManager();
  if (!manager) return {};
  UnixDrive query{};
  query.size = sizeof(query);
  query.letter = static_cast<WCHAR>(letter - L'A' + L'a');
  std::vector<BYTE> answer(sizeof(UnixDrive) + 4 * MAX_PATH);
  DWORD returned = 0;
  if (!DeviceIoControl(manager.Get(), kQueryUnixDrive, &query, sizeof(query), answer.data(),
                       static_cast<DWORD>(answer.size()), &returned, nullptr)) {
    return {};
  }
  const auto* drive = reinterpret_cast<const UnixDrive*>(answer.data());
  if (!drive->mount_point_offset || drive->mount_point_offset >= returned) return {};
  const char* text = reinterpret_cast<const char*>(answer.data() + drive->mount_point_offset);
  return std::string(text, strnlen(text, returned - drive->mount_point_offset));
}

std::wstring DeviceName(wchar_t letter) { return std::wstring(1, letter) + L":"; }

// The NT name of the folder, as DDD_RAW_TARGET_PATH wants it.
std::wstring RawTarget(const std::wstring& folder) { return L"\\??\\" + folder; }

}  // namespace

DWORD Map(wchar_t letter, const std::wstring& folder) {
  if (wine::Detected()) {
    std::string unix_folder = wine::UnixPath(folder);
    if (unix_folder.empty()) return ERROR_PATH_NOT_FOUND;
    // An image is a disc: programs that look for their disc check for this.
    return DefineUnixDrive(letter, DRIVE_CDROM, unix_folder);
  }
  // Global needs SeCreateGlobalPrivilege (administrators have it); without it
  // the letter is still seen by every process of this logon.
  std::wstring target = RawTarget(folder);
  if (DefineDosDeviceW(DDD_RAW_TARGET_PATH, (L"Global\\" + DeviceName(letter)).c_str(),
                       target.c_str()) ||
      DefineDosDeviceW(DDD_RAW_TARGET_PATH, DeviceName(letter).c_str(), target.c_str())) {
    return 0;
  }
  return GetLastError();
}

DWORD Unmap(wchar_t letter, const std::wstring& folder) {
  if (wine::Detected()) return DefineUnixDrive(letter, DRIVE_NO_ROOT_DIR, {});
  std::wstring target = RawTarget(folder);
  constexpr DWORD kRemove = DDD_REMOVE_DEFINITION | DDD_RAW_TARGET_PATH | DDD_EXACT_MATCH_ON_REMOVE;
  // Whichever of the two Map made; the other fails harmlessly.
  BOOL global =
      DefineDosDeviceW(kRemove, (L"Global\\" + DeviceName(letter)).c_str(), target.c_str());
  BOOL local = DefineDosDeviceW(kRemove, DeviceName(letter).c_str(), target.c_str());
  return global || local ? 0 : GetLastError();
}

bool MapsTo(wchar_t letter, const std::wstring& folder) {
  if (wine::Detected()) {
    std::string target = UnixDriveTarget(letter);
    return !target.empty() && target == wine::UnixPath(folder);
  }
  wchar_t targets[4 * MAX_PATH];
  if (!QueryDosDeviceW(DeviceName(letter).c_str(), targets, ARRAYSIZE(targets))) return false;
  // The newest definition comes first.
  std::wstring ours = RawTarget(folder);
  return CompareStringOrdinal(targets, -1, ours.c_str(), -1, TRUE) == CSTR_EQUAL;
}

}  // namespace imdisk::drive
