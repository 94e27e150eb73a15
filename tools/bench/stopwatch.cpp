// stopwatch: starts a program and reports, in milliseconds since just before
// it was started, when things it is waited for happen.
//
//   stopwatch [--window CLASS [--close]] [--file PATH]... [--timeout SECONDS]
//             -- PROGRAM [ARGUMENT]...
//
// --window waits for a visible top-level window of CLASS owned by the
// program; --close then asks that window to close, as a user would.  Each
// --file waits for PATH to exist (the call logs the stand-ins create on their
// first call).  The clock runs inside the prefix, so the figures leave out
// how long the Unix side takes to reach Wine, for the program under test and
// for the baseline alike.
//
// One line per event on standard output:
//   window <ms>
//   file <index> <ms>       (index into the --file list, from 0)
//   exit <code> <ms>
//   timeout <ms>            (the program was ended by the stopwatch)
// Exit code 0 when the program ran and ended, 1 on a timeout, 2 on misuse.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/win32/UniqueHandle.h"

namespace {

using platform::win32::UniqueHandle;

// Between two looks: short enough for millisecond figures, long enough to
// leave the processor to the program being timed.
constexpr DWORD kPollMs = 1;

struct Options {
  std::wstring windowClass;
  bool close = false;
  std::vector<std::wstring> files;
  double timeoutSeconds = 120;
  std::wstring commandLine;
};

void Print(const char* text) {
  DWORD written = 0;
  ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), text, static_cast<DWORD>(std::strlen(text)),
              &written, nullptr);
}

// Quotes one argument so that the C runtime's parser gives it back unchanged.
std::wstring Quote(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) return arg;
  std::wstring quoted = L"\"";
  std::size_t backslashes = 0;
  for (const wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, L'\\');
  return quoted + L'"';
}

bool Parse(int argc, wchar_t** argv, Options& options) {
  int i = 1;
  for (; i < argc; ++i) {
    const std::wstring arg = argv[i];
    if (arg == L"--") break;
    if (arg == L"--close") {
      options.close = true;
      continue;
    }
    if (i + 1 >= argc) return false;
    if (arg == L"--window") {
      options.windowClass = argv[++i];
    } else if (arg == L"--file") {
      options.files.push_back(argv[++i]);
    } else if (arg == L"--timeout") {
      options.timeoutSeconds = std::wcstod(argv[++i], nullptr);
    } else {
      return false;
    }
  }
  if (i + 1 >= argc) return false;
  for (++i; i < argc; ++i) {
    if (!options.commandLine.empty()) options.commandLine += L' ';
    options.commandLine += Quote(argv[i]);
  }
  return true;
}

class Clock {
 public:
  Clock() {
    ::QueryPerformanceFrequency(&frequency_);
    ::QueryPerformanceCounter(&start_);
  }
  double Milliseconds() const {
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return double(now.QuadPart - start_.QuadPart) * 1000.0 / double(frequency_.QuadPart);
  }

 private:
  LARGE_INTEGER frequency_;
  LARGE_INTEGER start_;
};

struct WindowSearch {
  const wchar_t* windowClass;
  DWORD processId;
  HWND found;
};

BOOL CALLBACK MatchWindow(HWND hwnd, LPARAM param) {
  auto* search = reinterpret_cast<WindowSearch*>(param);
  DWORD owner = 0;
  ::GetWindowThreadProcessId(hwnd, &owner);
  if (owner != search->processId || !::IsWindowVisible(hwnd)) return TRUE;
  wchar_t name[256];
  if (!::GetClassNameW(hwnd, name, 256) || ::lstrcmpiW(name, search->windowClass) != 0) return TRUE;
  search->found = hwnd;
  return FALSE;
}

HWND VisibleWindow(const std::wstring& windowClass, DWORD processId) {
  WindowSearch search{windowClass.c_str(), processId, nullptr};
  ::EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

bool Exists(const std::wstring& path) {
  return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  Options options;
  if (!Parse(argc, argv, options)) {
    Print(
        "usage: stopwatch [--window CLASS [--close]] [--file PATH]... [--timeout SECONDS]"
        " -- PROGRAM [ARGUMENT]...\n");
    return 2;
  }

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  const Clock clock;
  if (!::CreateProcessW(nullptr, options.commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &info)) {
    char line[64];
    std::snprintf(line, sizeof line, "error %lu\n", ::GetLastError());
    Print(line);
    return 2;
  }
  const UniqueHandle process(info.hProcess);
  const UniqueHandle thread(info.hThread);

  char line[96];
  bool windowSeen = options.windowClass.empty();
  std::vector<bool> fileSeen(options.files.size(), false);
  for (;;) {
    const bool ended = ::WaitForSingleObject(process.get(), kPollMs) == WAIT_OBJECT_0;
    const double now = clock.Milliseconds();
    if (!windowSeen) {
      if (const HWND window = VisibleWindow(options.windowClass, info.dwProcessId)) {
        windowSeen = true;
        std::snprintf(line, sizeof line, "window %.3f\n", now);
        Print(line);
        if (options.close) ::PostMessageW(window, WM_CLOSE, 0, 0);
      }
    }
    for (std::size_t i = 0; i < options.files.size(); ++i) {
      if (!fileSeen[i] && Exists(options.files[i])) {
        fileSeen[i] = true;
        std::snprintf(line, sizeof line, "file %u %.3f\n", unsigned(i), now);
        Print(line);
      }
    }
    if (ended) break;
    if (now > options.timeoutSeconds * 1000.0) {
      // Only the program this stopwatch started; whatever that one started
      // is the caller's to end with the prefix.
      ::TerminateProcess(process.get(), 1);
      std::snprintf(line, sizeof line, "timeout %.3f\n", now);
      Print(line);
      return 1;
    }
  }
  DWORD code = 0;
  ::GetExitCodeProcess(process.get(), &code);
  std::snprintf(line, sizeof line, "exit %lu %.3f\n", code, clock.Milliseconds());
  Print(line);
  return 0;
}
