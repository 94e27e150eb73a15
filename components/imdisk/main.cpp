// imdisk.exe: the control program.  Its work happens in imdisk.cpl.
//
//   imdisk -a -f IMAGE.iso -m X:    show the image at X: ("-m #:" or no -m:
//                                   the first free letter from D:)
//   imdisk -D -m X:                 remove X: and the image's files, even
//                                   while programs still use them
//
// Switches may come in any order.  Exit codes are ImDiskResult's (see
// ImDiskApi.h), and 87 for bad usage; the reason for a failure goes to stderr.
//
// When IMDISK_LOG names a file, every call first appends one line to it:
//   args=<the command line after the program name, as received>|cwd=<folder>
// (see common/CallLog.h; this log has no exe field).
#include <windows.h>

#include <string>

#include "common/CallLog.h"
#include "common/Text.h"
#include "imdisk/ImDiskApi.h"

namespace {

constexpr int kExitUsage = ERROR_INVALID_PARAMETER;

constexpr wchar_t kUsage[] =
    L"usage: imdisk -a -f IMAGE.iso -m X:\r\n"
    L"       imdisk -D -m X:\r\n";

int Usage(const std::wstring& problem) {
  comp::WriteErr(L"imdisk: " + problem + L"\r\n" + kUsage);
  return kExitUsage;
}

// "X:", "X", "X:\" -> 'X'; "#:" -> '#'; anything else -> 0.
wchar_t ParseLetter(const std::wstring& text) {
  if (text.empty() || text.size() > 3) return 0;
  if (text.size() >= 2 && text[1] != L':') return 0;
  if (text.size() == 3 && text[2] != L'\\') return 0;
  return text[0];
}

int Finish(int result, const wchar_t* message) {
  if (result == IMDISK_OK) {
    comp::WriteOut(std::wstring(message) + L"\r\n");
  } else {
    comp::WriteErr(L"imdisk: " + std::wstring(message) + L"\r\n");
  }
  return result;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  comp::AppendLogLine(L"IMDISK_LOG", comp::CallLine(false));

  bool attach = false;
  bool detach = false;
  const wchar_t* image = nullptr;
  const wchar_t* mount_point = nullptr;
  for (int i = 1; i < argc; ++i) {
    std::wstring arg = argv[i];
    if (arg == L"-a") {
      attach = true;
    } else if (arg == L"-D") {
      detach = true;
    } else if (arg == L"-f" || arg == L"-m") {
      if (i + 1 >= argc) return Usage(arg + L" needs a value");
      (arg == L"-f" ? image : mount_point) = argv[++i];
    } else {
      return Usage(L"unknown argument \"" + arg + L"\"");
    }
  }
  if (attach == detach) return Usage(L"give either -a or -D");

  wchar_t letter = 0;
  if (mount_point) {
    letter = ParseLetter(mount_point);
    if (!letter) return Usage(L"-m wants a drive letter such as F:");
  }
  wchar_t message[1024];
  if (attach) {
    if (!image || !*image) return Usage(L"-a needs -f IMAGE");
    int result = ImDiskAttachImage(image, &letter, message, ARRAYSIZE(message));
    return Finish(result, message);
  }
  if (image) return Usage(L"-D takes no -f");
  if (!mount_point || letter == L'#') return Usage(L"-D needs -m X:");
  return Finish(ImDiskDetachLetter(letter, message, ARRAYSIZE(message)), message);
}
