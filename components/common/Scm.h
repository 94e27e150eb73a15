// Asking the Service Control Manager about one service.
#pragma once

#include <windows.h>

#include <string>

namespace comp {

struct ServiceQuery {
  DWORD error = 0;  // 0 when `state` holds the answer, else the Win32 error
  DWORD state = 0;  // SERVICE_STOPPED, SERVICE_RUNNING, ...
};

ServiceQuery QueryServiceState(const std::wstring& name);

// "running" for SERVICE_RUNNING only: callers and scripts look for that word,
// so no other state may contain it.
const wchar_t* ServiceStateName(DWORD state);

}  // namespace comp
