// runscript: starts install.cmd exactly as TOLVEX does - the same cmd.exe
// parameters through ShellExecuteExW, from the same work folder, hidden -
// and waits for it, with nothing else before.  The work folder must already
// hold the payload.  The only argument is the image's path.
#include <windows.h>
// Needs windows.h before it.
#include <shellapi.h>

#include <string>

#include "platform/win32/UniqueHandle.h"

namespace {

std::wstring Environment(const wchar_t* name) {
  const DWORD size = ::GetEnvironmentVariableW(name, nullptr, 0);
  if (size == 0) return std::wstring();
  std::wstring value(size, L'\0');
  const DWORD length = ::GetEnvironmentVariableW(name, value.data(), size);
  value.resize(length < size ? length : 0);
  return value;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  int argc = 0;
  wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
  if (!argv || argc != 2) return 2;
  const std::wstring image = argv[1];
  ::LocalFree(argv);

  const std::wstring work = Environment(L"TEMP") + L"\\KORVEL\\TOLVEX";
  const std::wstring parameters =
      L"/d /v:off /c \"\"" + work + L"\\install.cmd\" \"" + image + L"\"\"";

  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
  info.lpVerb = L"open";
  info.lpFile = L"cmd.exe";
  info.lpParameters = parameters.c_str();
  info.lpDirectory = work.c_str();
  info.nShow = SW_HIDE;
  if (!::ShellExecuteExW(&info) || !info.hProcess) return 1;
  const platform::win32::UniqueHandle process(info.hProcess);
  ::WaitForSingleObject(process.get(), INFINITE);
  return 0;
}
