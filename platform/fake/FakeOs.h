// The fake face of the platform: an in-memory machine that host tests set up
// and then read back.  Every call that changes something is also written to
// `events`, one line each, so tests can check the order things happened in.
#pragma once

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/Os.h"

namespace platform {

// What the fake's ExitProcess throws: the process would end here.
struct FakeExit {
  unsigned code;
};

class FakeOs : public Os {
 public:
  struct Entry {
    std::wstring path;
    bool directory = false;
    std::uint32_t attributes = 0;
    std::vector<std::uint8_t> bytes;
    bool locked = false;  // cannot be created or truncated (in use, no rights)
    bool trusted = true;  // a real directory owned by the administrators
  };
  struct Child {
    ShellRequest request;
    int slicesToRun = 0;     // waits that time out before it ends
    bool waitFails = false;  // every wait on it fails
    bool closed = false;
    unsigned exitCode = 0;
  };

  // --- set-up -------------------------------------------------------------
  std::wstring moduleFileName = L"C:\\Games\\TOLVEX.exe";
  std::map<std::wstring, std::wstring> environment;
  std::map<std::wstring, unsigned> driveTypes;                  // unset letters: no root dir
  std::map<std::wstring, std::vector<std::uint8_t>> resources;  // by name, type RT_RCDATA
  std::set<std::wstring> unlistable;                            // folders FindFiles fails on
  std::size_t diskSpace = SIZE_MAX;                             // bytes left for writes
  // Decides what a launch yields; by default every launch starts a child
  // that ends at the first wait.
  std::function<ProcessHandle(const ShellRequest&)> onShellExecute;
  std::function<void()> onSleep;
  // Folder -> how many more times a process is seen running from it.
  std::map<std::wstring, int> runningFrom;

  void AddFolder(const std::wstring& path, std::uint32_t attributes = 0);
  void AddFile(const std::wstring& path, std::vector<std::uint8_t> bytes = {},
               std::uint32_t attributes = 0);
  Entry* Find(const std::wstring& path);
  ProcessHandle StartChild(const ShellRequest& request, int slicesToRun = 0);

  // --- what happened ------------------------------------------------------
  std::vector<std::wstring> events;
  std::vector<std::wstring> probes;  // every path whose attributes were asked for
  std::vector<Child> children;       // handle N is children[N - 1]
  int messagePumps = 0;
  int openFiles = 0;

  // --- Os -----------------------------------------------------------------
  std::wstring ModuleFileName() override { return moduleFileName; }
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
  std::vector<Entry> entries_;  // in the order the folder would list them
  std::map<FileHandle, std::wstring> open_;
  FileHandle nextFile_ = 1;
};

}  // namespace platform
