// Vimbrel.exe: the program the test images carry at \KORVEL\Vimbrel.exe.
//
// It stands in for the real program an image holds, so it tells the tests
// how it was started and lives as long as they ask:
//   - VIMBREL_LOG names a file: one line is appended to it at start, with its
//     module path, raw arguments and working folder (format in
//     common/CallLog.h, with the exe field);
//   - Vimbrel.next beside it names another program (first line, relative to
//     this folder): that one is started, in its own folder, and this one ends
//     at once - the "starter" that launches the real program and leaves;
//   - otherwise a small window shows the first line of Vimbrel.txt beside it
//     (which image this copy came from), or its own path, also as the window
//     title so tests can find it;
//   - VIMBREL_SECONDS=N ends it after N seconds; unset, it stays until closed.
#include <windows.h>

#include <cwchar>
#include <string>

#include "common/CallLog.h"
#include "common/Handle.h"
#include "vimbrel/FirstLine.h"

namespace {

constexpr wchar_t kClassName[] = L"VimbrelWindow";
constexpr UINT_PTR kLifetimeTimer = 1;

std::wstring Folder(const std::wstring& path) {
  std::size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

bool IsAbsolute(const std::wstring& path) {
  return (path.size() >= 2 && path[1] == L':') || path.rfind(L"\\\\", 0) == 0;
}

// Starts `program` without waiting for it; true when it started.
bool StartNext(const std::wstring& folder, const std::wstring& next) {
  std::wstring program = IsAbsolute(next) ? next : folder + L"\\" + next;
  std::wstring command = L"\"" + program + L"\"";
  std::wstring work_folder = Folder(program);
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      work_folder.empty() ? nullptr : work_folder.c_str(), &startup, &info)) {
    return false;
  }
  // Not waited for: the starter's whole point is to be gone first.
  comp::Handle process(info.hProcess);
  comp::Handle thread(info.hThread);
  return true;
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_TIMER:
      if (wparam == kLifetimeTimer) DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(window, message, wparam, lparam);
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
  comp::AppendLogLine(L"VIMBREL_LOG", comp::CallLine(true));

  std::wstring self = comp::ModulePath();
  std::wstring folder = Folder(self);
  if (auto next = vimbrel::FirstLine(folder + L"\\Vimbrel.next"); next && !next->empty()) {
    return StartNext(folder, *next) ? 0 : 1;
  }
  std::wstring text = vimbrel::FirstLine(folder + L"\\Vimbrel.txt").value_or(self);

  WNDCLASSW window_class{};
  window_class.lpfnWndProc = WindowProc;
  window_class.hInstance = instance;
  window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  window_class.lpszClassName = kClassName;
  if (!RegisterClassW(&window_class)) return 1;

  HWND window = CreateWindowExW(0, kClassName, text.c_str(), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                CW_USEDEFAULT, 480, 140, nullptr, nullptr, instance, nullptr);
  if (!window) return 1;
  HWND label = CreateWindowExW(0, L"STATIC", text.c_str(), WS_CHILD | WS_VISIBLE | SS_CENTER, 10,
                               30, 440, 40, window, nullptr, instance, nullptr);
  SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)),
               FALSE);

  std::wstring seconds = comp::EnvironmentVariable(L"VIMBREL_SECONDS");
  if (!seconds.empty()) {
    double value = std::wcstod(seconds.c_str(), nullptr);
    UINT milliseconds = value > 0 ? static_cast<UINT>(value * 1000) : 0;
    SetTimer(window, kLifetimeTimer, milliseconds ? milliseconds : 1, nullptr);
  }
  ShowWindow(window, show);
  UpdateWindow(window);

  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return 0;
}
