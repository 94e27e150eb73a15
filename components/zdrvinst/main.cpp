// zDrvInst: installs, starts, stops, removes and reports a kernel-driver
// service through the Service Control Manager.
//
//   zDrvInst NAME /status            exit 0 and "NAME: <state>" on stdout when
//                                    installed; exit 1 when not
//   zDrvInst NAME PATH\drv.sys /install
//   zDrvInst NAME /start | /stop | /uninstall
//
// Exit codes: 0 done, 1 the service manager refused (the reason on stderr),
// 2 bad usage.  Switches may start with '/' or '-', in any case.
//
// When ZDRVINST_LOG names a file, every call appends one line to it first
// (format in common/CallLog.h, with the exe field): tests read it to see which
// build of the utility a script ran, with which arguments.
#include <string>

#include "common/CallLog.h"
#include "common/Text.h"
#include "zdrvinst/Operations.h"

namespace {

constexpr wchar_t kUsage[] =
    L"usage: zDrvInst NAME /status | /start | /stop | /uninstall\r\n"
    L"       zDrvInst NAME PATH\\driver.sys /install\r\n";

int Usage(const std::wstring& problem) {
  comp::WriteErr(L"zDrvInst: " + problem + L"\r\n" + kUsage);
  return zdrvinst::kExitUsage;
}

bool IsSwitch(const std::wstring& arg, const wchar_t* name) {
  return arg.size() > 1 && (arg[0] == L'/' || arg[0] == L'-') &&
         comp::EqualsNoCase(std::wstring_view(arg).substr(1), name);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  comp::AppendLogLine(L"ZDRVINST_LOG", comp::CallLine(true));

  if (argc < 3) return Usage(L"too few arguments");
  std::wstring name = argv[1];
  if (name.empty() || name[0] == L'/' || name[0] == L'-') return Usage(L"no service name");

  if (argc == 4) {
    if (!IsSwitch(argv[3], L"install"))
      return Usage(L"unknown command \"" + std::wstring(argv[3]) + L"\"");
    return zdrvinst::Install(name, argv[2]);
  }
  if (argc != 3) return Usage(L"too many arguments");

  std::wstring command = argv[2];
  if (IsSwitch(command, L"status")) return zdrvinst::Status(name);
  if (IsSwitch(command, L"start")) return zdrvinst::Start(name);
  if (IsSwitch(command, L"stop")) return zdrvinst::Stop(name);
  if (IsSwitch(command, L"uninstall")) return zdrvinst::Uninstall(name);
  if (IsSwitch(command, L"install")) return Usage(L"/install needs the driver's path");
  return Usage(L"unknown command \"" + command + L"\"");
}
