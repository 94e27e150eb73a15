#include "launch/Launch.h"

namespace launch {

namespace {

constexpr std::uint32_t kSeeMaskNoCloseProcess = 0x40;
constexpr std::uint32_t kSeeMaskFlagNoUi = 0x400;
constexpr std::uint32_t kShellExecuteInfoSize = 60;  // SHELLEXECUTEINFOW on 32-bit Windows
constexpr int kSwHide = 0;
constexpr int kSwShow = 5;
constexpr std::uint32_t kWaitSliceMs = 50;

}  // namespace

std::wstring ProgramFolder(const std::wstring& moduleFileName) {
  const auto slash = moduleFileName.find_last_of(L'\\');
  if (slash == std::wstring::npos) return std::wstring();
  std::wstring folder = moduleFileName.substr(0, slash);
  if (folder.size() == 2 && folder[1] == L':') folder += L'\\';
  return folder;
}

std::wstring ProgramFolderWithSlash(const std::wstring& moduleFileName) {
  std::wstring folder = ProgramFolder(moduleFileName);
  if (folder.empty() || folder.back() != L'\\') folder += L'\\';
  return folder;
}

bool LocateProgram(platform::Os& os, const std::wstring& program) {
  const std::wstring here = ProgramFolder(os.ModuleFileName());
  const std::wstring system = os.GetEnv(L"SystemDrive");
  const std::wstring candidates[] = {
      here + L"\\" + program,
      system + L"\\Windows\\" + program,
      system + L"\\Windows\\System32\\" + program,
      here + L"\\" + program + L".exe",
      system + L"\\Windows\\" + program + L".exe",
      system + L"\\Windows\\System32\\" + program + L".exe",
      program,
      program + L".exe",
  };
  for (const auto& candidate : candidates) {
    if (platform::FileExists(os, candidate)) return true;
  }
  return false;
}

platform::ShellRequest MakeShellRequest(platform::WindowHandle owner, const std::wstring& program,
                                        const std::wstring& parameters, const std::wstring& folder,
                                        int show) {
  platform::ShellRequest request;
  request.cbSize = kShellExecuteInfoSize;
  request.fMask = kSeeMaskNoCloseProcess | kSeeMaskFlagNoUi;
  request.hwnd = owner;
  request.lpVerb = L"open";
  request.lpFile = program;
  request.lpParameters = parameters;
  if (!folder.empty()) request.lpDirectory = folder;
  request.nShow = show == kShown ? kSwShow : kSwHide;
  return request;
}

void WaitServiced(platform::Os& os, platform::ProcessHandle process) {
  // A failed wait would fail again at once: stop rather than spin forever.
  for (;;) {
    const auto result = os.Wait(process, kWaitSliceMs);
    if (result != platform::WaitResult::Timeout) return;
    os.ProcessMessages();
  }
}

void ExecAndWait(platform::Os& os, platform::WindowHandle owner, const std::wstring& program,
                 const std::wstring& parameters, const std::wstring& folder, int show) {
  const Child child(os, ExecNoWait(os, owner, program, parameters, folder, show));
  if (child) WaitServiced(os, child.get());
}

platform::ProcessHandle ExecNoWait(platform::Os& os, platform::WindowHandle owner,
                                   const std::wstring& program, const std::wstring& parameters,
                                   const std::wstring& folder, int show) {
  if (!LocateProgram(os, program)) return 0;
  return os.Shell(MakeShellRequest(owner, program, parameters, folder, show));
}

}  // namespace launch
