// The Win32 face of platform::Os.
#pragma once

#include <windows.h>

#include <shellapi.h>

#include "platform/Os.h"

namespace platform::win32 {

// Copies the request into the shell's record; the texts stay owned by
// `request`, which must outlive `info`.
void FillShellExecuteInfo(const ShellRequest& request, SHELLEXECUTEINFOW& info);

class Win32Os : public Os {
 public:
  // Resources come from `resources`; the program's own file by default.
  explicit Win32Os(HMODULE resources = nullptr) : resources_(resources) {}

  std::wstring ModuleFileName() override;
  std::wstring GetEnv(const std::wstring& name) override;
  std::optional<std::uint32_t> FileAttributes(const std::wstring& path) override;
  bool MakeDirectory(const std::wstring& path) override;
  bool MakeProtectedDirectory(const std::wstring& path) override;
  bool IsTrustedDirectory(const std::wstring& path) override;
  std::optional<std::vector<FindEntry>> FindFiles(const std::wstring& pattern) override;
  std::optional<std::vector<std::uint8_t>> ReadFile(const std::wstring& path) override;
  FileHandle CreateOrTruncate(const std::wstring& path, std::wstring& error) override;
  bool WriteFile(FileHandle file, const std::uint8_t* data, std::size_t size) override;
  void CloseFile(FileHandle file) override;
  std::optional<Resource> GetResource(const std::wstring& type, const std::wstring& name) override;
  unsigned DriveType(const std::wstring& root) override;
  ProcessHandle Shell(const ShellRequest& request) override;
  WaitResult Wait(ProcessHandle process, std::uint32_t milliseconds) override;
  std::optional<unsigned> ExitCode(ProcessHandle process) override;
  bool AnyProcessRunsFrom(const std::wstring& folder) override;
  void CloseProcess(ProcessHandle process) override;
  void Sleep(std::uint32_t milliseconds) override;
  void ProcessMessages() override;
  void ShowMessage(const std::wstring& text, const std::wstring& title) override;
  void ShowError(const std::wstring& text, const std::wstring& title) override;
  [[noreturn]] void ExitProcess(unsigned code) override;

 private:
  HMODULE resources_;
};

// The system's own description of an error code.
std::wstring SystemMessage(DWORD code);

}  // namespace platform::win32
