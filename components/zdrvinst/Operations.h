// What zDrvInst does to one driver service; each returns the exit code.
#pragma once

#include <string>

namespace zdrvinst {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;  // the service manager refused, or no such service
constexpr int kExitUsage = 2;

int Status(const std::wstring& name);
int Install(const std::wstring& name, const std::wstring& driver_path);
int Start(const std::wstring& name);
int Stop(const std::wstring& name);
int Uninstall(const std::wstring& name);

}  // namespace zdrvinst
