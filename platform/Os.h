// The seam between TOLVEX's logic and the system it runs on.
//
// Everything the program asks of the kernel, the shell and the windowing
// library goes through these two interfaces.  TOLVEX.exe plugs in the Win32
// face (platform/win32); host tests plug in the fake face (platform/fake),
// which records every call and lets a test script the answers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// Opaque handles: 0 means "none".
using ProcessHandle = std::uintptr_t;
using WindowHandle = std::uintptr_t;
using FileHandle = std::uintptr_t;

// File attribute bits the program looks at (same values as Win32).
constexpr std::uint32_t kAttrHidden = 0x2;
constexpr std::uint32_t kAttrSystem = 0x4;
constexpr std::uint32_t kAttrDirectory = 0x10;

// GetDriveTypeW's answer for a root with no volume mounted.
constexpr unsigned kDriveNoRootDir = 1;

// A failure raised by the platform: it ends the handler it happens in, and the
// window reports its message in the error box.  Failures travel as return
// values (TOLVEX.exe is built without exceptions); nullopt means success.
struct Error {
  std::wstring message;
};
using Failure = std::optional<Error>;

struct FindEntry {
  std::wstring name;  // long name, as stored
  std::uint32_t attributes = 0;
};

// The launch request, field for field as it goes into SHELLEXECUTEINFOW.
// Optional texts are the fields that stay null.
struct ShellRequest {
  std::uint32_t cbSize = 0;
  std::uint32_t fMask = 0;
  WindowHandle hwnd = 0;
  std::optional<std::wstring> lpVerb;
  std::optional<std::wstring> lpFile;
  std::optional<std::wstring> lpParameters;
  std::optional<std::wstring> lpDirectory;
  int nShow = 0;
};

enum class WaitResult { Ended, Timeout, Failed };

class Os {
 public:
  virtual ~Os() = default;

  // Process and environment.
  virtual std::wstring ModuleFileName() = 0;
  virtual std::wstring GetEnv(const std::wstring& name) = 0;  // unset reads as ""

  // Files and folders.
  virtual std::optional<std::uint32_t> FileAttributes(const std::wstring& path) = 0;
  virtual bool MakeDirectory(const std::wstring& path) = 0;  // one level
  // One level, with a protected descriptor of its own: administrators and
  // the system have full control, the interactive user may read and run,
  // nothing is inherited from the parent.  What is created inside inherits it.
  virtual bool MakeProtectedDirectory(const std::wstring& path) = 0;
  // A real directory at that very path (no link or junction on the way)
  // owned by the administrators, the system, or whoever this elevated
  // process makes the owner of what it creates: nobody else can have put
  // anything inside.
  virtual bool IsTrustedDirectory(const std::wstring& path) = 0;
  // The entries matching `pattern` (folder\mask); nullopt when the folder
  // cannot be enumerated at all.
  virtual std::optional<std::vector<FindEntry>> FindFiles(const std::wstring& pattern) = 0;
  // Whole content of a file; nullopt when it cannot be read.
  virtual std::optional<std::vector<std::uint8_t>> ReadFile(const std::wstring& path) = 0;
  // Creates or truncates `path` for reading and writing, shared with nobody.
  // On failure returns 0 and sets `error` to the system's description.
  virtual FileHandle CreateOrTruncate(const std::wstring& path, std::wstring& error) = 0;
  virtual bool WriteFile(FileHandle file, const std::uint8_t* data, std::size_t size) = 0;
  virtual void CloseFile(FileHandle file) = 0;

  // The program's own resources: nullopt when the item cannot be found or loaded.
  struct Resource {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
  };
  virtual std::optional<Resource> GetResource(const std::wstring& type,
                                              const std::wstring& name) = 0;

  // Drives.
  virtual unsigned DriveType(const std::wstring& root) = 0;

  // Children.  Shell returns the new process's handle, or 0 when the
  // shell failed or served the request without a new process.
  virtual ProcessHandle Shell(const ShellRequest& request) = 0;
  virtual WaitResult Wait(ProcessHandle process, std::uint32_t milliseconds) = 0;
  // The child's exit code once it has ended; nullopt while it runs.
  virtual std::optional<unsigned> ExitCode(ProcessHandle process) = 0;
  // Whether any process runs an executable stored under `folder` (which
  // ends in a backslash, such as "F:\").
  virtual bool AnyProcessRunsFrom(const std::wstring& folder) = 0;
  virtual void CloseProcess(ProcessHandle process) = 0;
  virtual void Sleep(std::uint32_t milliseconds) = 0;

  // The application object: pending messages and the two kinds of box.
  virtual void ProcessMessages() = 0;
  virtual void ShowMessage(const std::wstring& text, const std::wstring& title) = 0;
  virtual void ShowError(const std::wstring& text, const std::wstring& title) = 0;

  [[noreturn]] virtual void ExitProcess(unsigned code) = 0;
};

// An entry exists at `path` and is not a directory.
inline bool FileExists(Os& os, const std::wstring& path) {
  const auto attributes = os.FileAttributes(path);
  return attributes && !(*attributes & kAttrDirectory);
}

// An entry exists at `path` and is a directory.
inline bool DirectoryExists(Os& os, const std::wstring& path) {
  const auto attributes = os.FileAttributes(path);
  return attributes && (*attributes & kAttrDirectory);
}

// The controls of the one window, as the logic sees them.  Coordinates are
// the window's own pixels, already scaled to the display.
enum class Control { Form, Label1, ListBox1, Button1 };

struct Bounds {
  int left = 0, top = 0, width = 0, height = 0;
};

class FormWindow {
 public:
  virtual ~FormWindow() = default;
  virtual WindowHandle Handle() = 0;
  // Form: outer rectangle; controls: position in the form's client area.
  virtual Bounds GetBounds(Control control) = 0;
  virtual void SetLeft(Control control, int left) = 0;
  virtual void SetWidth(Control control, int width) = 0;
  // Width of `text` in the window's font.
  virtual int TextWidth(const std::wstring& text) = 0;

  virtual void AddItem(const std::wstring& text) = 0;
  virtual int ItemCount() = 0;
  virtual std::wstring ItemText(int index) = 0;
  virtual bool Selected(int index) = 0;
  virtual void Select(int index) = 0;

  virtual void SetEnabled(bool enabled) = 0;
  virtual void SetCaption(Control control, const std::wstring& text) = 0;
  virtual void Hide() = 0;
};

}  // namespace platform
