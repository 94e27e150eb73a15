// Finding and starting child programs.  The shell is the only way TOLVEX
// starts anything; none of these routines reports an error.
#pragma once

#include <string>

#include "platform/Os.h"

namespace launch {

// Show flag: 1 shows the child's window, any other value hides it.
constexpr int kShown = 1;
constexpr int kHidden = 0;

// The directory part of the program's own file name without a trailing
// backslash; a drive root keeps its own ("E:\").
std::wstring ProgramFolder(const std::wstring& moduleFileName);
// The same with exactly one trailing backslash, for joining a file name.
std::wstring ProgramFolderWithSlash(const std::wstring& moduleFileName);

// True when `program` exists in one of the eight places the launcher looks.
// Where it was found is not used: the shell's own search picks the file.
bool LocateProgram(platform::Os& os, const std::wstring& program);

// The launch request as ShellExecuteExW gets it.
platform::ShellRequest MakeShellRequest(platform::WindowHandle owner, const std::wstring& program,
                                        const std::wstring& parameters, const std::wstring& folder,
                                        int show);

// Owns a started child's process handle and closes it when it goes.
class Child {
 public:
  Child(platform::Os& os, platform::ProcessHandle handle) : os_(os), handle_(handle) {}
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  ~Child() {
    if (handle_) os_.CloseProcess(handle_);
  }
  platform::ProcessHandle get() const { return handle_; }
  explicit operator bool() const { return handle_ != 0; }

 private:
  platform::Os& os_;
  platform::ProcessHandle handle_;
};

// Waits for `process` in 50 ms slices, processing the window's messages in
// between, until it ends or the wait itself fails; never closes the handle.
void WaitServiced(platform::Os& os, platform::ProcessHandle process);

// Starts `program` and returns when it has ended; the window stays serviced.
void ExecAndWait(platform::Os& os, platform::WindowHandle owner, const std::wstring& program,
                 const std::wstring& parameters, const std::wstring& folder, int show);

// Starts `program` and hands back its process handle (the caller owns it),
// or 0 when nothing was started.
platform::ProcessHandle ExecNoWait(platform::Os& os, platform::WindowHandle owner,
                                   const std::wstring& program, const std::wstring& parameters,
                                   const std::wstring& folder, int show);

}  // namespace launch
