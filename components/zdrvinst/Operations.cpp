#include "zdrvinst/Operations.h"

#include <windows.h>

#include "common/Handle.h"
#include "common/Scm.h"
#include "common/Text.h"

namespace zdrvinst {
namespace {

using comp::ServiceHandle;

// A driver's start and stop are quick; this only bounds a hung one.
constexpr DWORD kSettleMilliseconds = 30000;

int Fail(const std::wstring& what, DWORD error) {
  comp::WriteErr(L"zDrvInst: " + what + L": " + comp::SystemMessage(error) + L"\r\n");
  return kExitFailed;
}

void PrintState(const std::wstring& name, DWORD state) {
  comp::WriteOut(name + L": " + comp::ServiceStateName(state) + L"\r\n");
}

// Waits while the service is in `pending`, then reports where it ended.
int Settle(const std::wstring& name, SC_HANDLE service, DWORD pending, DWORD wanted) {
  SERVICE_STATUS status{};
  DWORD waited = 0;
  for (;;) {
    if (!QueryServiceStatus(service, &status)) return Fail(L"cannot query " + name, GetLastError());
    if (status.dwCurrentState != pending || waited >= kSettleMilliseconds) break;
    Sleep(100);
    waited += 100;
  }
  PrintState(name, status.dwCurrentState);
  if (status.dwCurrentState == wanted) return kExitOk;
  comp::WriteErr(L"zDrvInst: " + name + L" did not become " + comp::ServiceStateName(wanted) +
                 L"\r\n");
  return kExitFailed;
}

std::wstring FullPath(const std::wstring& path) {
  DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (size == 0) return {};
  std::wstring full(size, L'\0');
  DWORD length = GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
  full.resize(length < size ? length : 0);
  return full;
}

}  // namespace

int Status(const std::wstring& name) {
  comp::ServiceQuery query = comp::QueryServiceState(name);
  if (query.error == ERROR_SERVICE_DOES_NOT_EXIST) {
    comp::WriteErr(L"zDrvInst: " + name + L" is not installed\r\n");
    return kExitFailed;
  }
  if (query.error) return Fail(L"cannot query " + name, query.error);
  PrintState(name, query.state);
  return kExitOk;
}

int Install(const std::wstring& name, const std::wstring& driver_path) {
  // The service manager keeps the path as given and resolves it only at
  // start, against its own folder: store the full one.
  std::wstring full = FullPath(driver_path);
  if (full.empty()) return Fail(L"bad driver path \"" + driver_path + L"\"", GetLastError());
  DWORD attributes = GetFileAttributesW(full.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    comp::WriteErr(L"zDrvInst: no driver file at \"" + full + L"\"\r\n");
    return kExitFailed;
  }
  ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CREATE_SERVICE));
  if (!manager) return Fail(L"cannot open the service manager", GetLastError());
  ServiceHandle service(CreateServiceW(manager.Get(), name.c_str(), name.c_str(),
                                       SERVICE_QUERY_STATUS, SERVICE_KERNEL_DRIVER,
                                       SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, full.c_str(),
                                       nullptr, nullptr, nullptr, nullptr, nullptr));
  if (!service) return Fail(L"cannot install " + name, GetLastError());
  comp::WriteOut(name + L": installed from " + full + L"\r\n");
  return kExitOk;
}

int Start(const std::wstring& name) {
  ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager) return Fail(L"cannot open the service manager", GetLastError());
  ServiceHandle service(
      OpenServiceW(manager.Get(), name.c_str(), SERVICE_START | SERVICE_QUERY_STATUS));
  if (!service) return Fail(L"cannot open " + name, GetLastError());
  if (!StartServiceW(service.Get(), 0, nullptr)) {
    DWORD error = GetLastError();
    // Asked-for state already reached: nothing failed.
    if (error != ERROR_SERVICE_ALREADY_RUNNING) return Fail(L"cannot start " + name, error);
  }
  return Settle(name, service.Get(), SERVICE_START_PENDING, SERVICE_RUNNING);
}

int Stop(const std::wstring& name) {
  ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager) return Fail(L"cannot open the service manager", GetLastError());
  ServiceHandle service(
      OpenServiceW(manager.Get(), name.c_str(), SERVICE_STOP | SERVICE_QUERY_STATUS));
  if (!service) return Fail(L"cannot open " + name, GetLastError());
  SERVICE_STATUS status{};
  if (!ControlService(service.Get(), SERVICE_CONTROL_STOP, &status)) {
    DWORD error = GetLastError();
    if (error != ERROR_SERVICE_NOT_ACTIVE) return Fail(L"cannot stop " + name, error);
  }
  return Settle(name, service.Get(), SERVICE_STOP_PENDING, SERVICE_STOPPED);
}

int Uninstall(const std::wstring& name) {
  ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager) return Fail(L"cannot open the service manager", GetLastError());
  ServiceHandle service(OpenServiceW(manager.Get(), name.c_str(), DELETE));
  if (!service) return Fail(L"cannot open " + name, GetLastError());
  if (!DeleteService(service.Get())) {
    DWORD error = GetLastError();
    if (error != ERROR_SERVICE_MARKED_FOR_DELETE) return Fail(L"cannot uninstall " + name, error);
  }
  comp::WriteOut(name + L": uninstalled\r\n");
  return kExitOk;
}

}  // namespace zdrvinst
