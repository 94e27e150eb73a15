#include "common/Scm.h"

#include "common/Handle.h"

namespace comp {

ServiceQuery QueryServiceState(const std::wstring& name) {
  ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager) return {GetLastError(), 0};
  ServiceHandle service(OpenServiceW(manager.Get(), name.c_str(), SERVICE_QUERY_STATUS));
  if (!service) return {GetLastError(), 0};
  SERVICE_STATUS status{};
  if (!QueryServiceStatus(service.Get(), &status)) return {GetLastError(), 0};
  return {0, status.dwCurrentState};
}

const wchar_t* ServiceStateName(DWORD state) {
  switch (state) {
    case SERVICE_STOPPED:
      return L"stopped";
    case SERVICE_START_PENDING:
      return L"start pending";
    case SERVICE_STOP_PENDING:
      return L"stop pending";
    case SERVICE_RUNNING:
      return L"running";
    case SERVICE_CONTINUE_PENDING:
      return L"continue pending";
    case SERVICE_PAUSE_PENDING:
      return L"pause pending";
    case SERVICE_PAUSED:
      return L"paused";
    default:
      return L"in an unknown state";
  }
}

}  // namespace comp
