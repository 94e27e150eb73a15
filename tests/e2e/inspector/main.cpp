// inspector: reads and drives the windows of other programs in the same Wine
// prefix (or Windows session), for the end-to-end tests.
//
//   inspector list                    every top-level window with its controls
//   inspector measure HWND [TEXT...]  sizes of the texts (else of the UTF-8
//                                     lines on standard input) in HWND's font
//   inspector files PATTERN           the files matching PATTERN, in the order
//                                     the file system lists them
//   inspector click HWND              press a button
//   inspector select HWND INDEX       select a list box item
//   inspector dblclick HWND           double-click a list box's selection
//   inspector ok HWND                 press OK in a message box
//
// Fonts are read inside the inspected process by inspector_hook.dll, which
// must lie beside inspector.exe (see Fonts.h).
//
// Reports are UTF-8 JSON on standard output; the exit code is 0 on success,
// 1 when the command could not be done (why on standard error), 2 on misuse.
#include <windows.h>

#include <cwchar>
#include <string>
#include <vector>

#include "Actions.h"
#include "Describe.h"
#include "Files.h"
#include "Json.h"
#include "Measure.h"
#include "Output.h"
#include "Win.h"

namespace {

constexpr const char* kUsage =
    "usage: inspector list | measure HWND [TEXT...] | files PATTERN | click HWND |"
    " select HWND INDEX | dblclick HWND | ok HWND\n";

// Coordinates are only comparable with the ones TOLVEX sets when both see
// physical pixels: TOLVEX is aware of each monitor's density, so must the
// inspector be, or the system would scale what it reports.
void BecomeDpiAware() {
  using SetContextFn = BOOL(WINAPI*)(HANDLE);
  const HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
  const auto setContext = reinterpret_cast<SetContextFn>(
      reinterpret_cast<void*>(::GetProcAddress(user32, "SetProcessDpiAwarenessContext")));
  // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2, then the older V1.
  if (setContext &&
      (setContext(reinterpret_cast<HANDLE>(-4)) || setContext(reinterpret_cast<HANDLE>(-3)))) {
    return;
  }
  ::SetProcessDPIAware();
}

std::vector<std::wstring> Lines(const std::string& bytes) {
  std::vector<std::wstring> lines;
  std::size_t start = 0;
  while (start < bytes.size()) {
    std::size_t end = bytes.find('\n', start);
    if (end == std::string::npos) end = bytes.size();
    std::string line = bytes.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(inspector::FromUtf8(line));
    start = end + 1;
  }
  return lines;
}

int Usage() {
  inspector::WriteErr(kUsage);
  return 2;
}

int Fail(const std::string& why) {
  inspector::WriteErr("inspector: " + why + "\n");
  return 1;
}

int Done(const std::string& error) {
  if (!error.empty()) return Fail(error);
  inspector::WriteOut("{\"done\":true}\n");
  return 0;
}

int Measure(HWND hwnd, int argc, wchar_t** argv) {
  std::vector<std::wstring> texts(argv, argv + argc);
  if (texts.empty()) texts = Lines(inspector::ReadIn());
  const auto sizes = inspector::MeasureTexts(hwnd, texts);
  if (!sizes) return Fail("the window keeps no font to measure with");
  inspector::Json json;
  json.BeginArray();
  for (const SIZE& size : *sizes) {
    json.BeginObject().Key("width").Int(size.cx).Key("height").Int(size.cy).EndObject();
  }
  json.EndArray();
  inspector::WriteOut(json.str() + "\n");
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  BecomeDpiAware();
  if (argc < 2) return Usage();
  const std::wstring command = argv[1];
  if (command == L"list" && argc == 2) {
    inspector::WriteOut(inspector::DescribeWindows() + "\n");
    return 0;
  }
  if (argc < 3) return Usage();
  if (command == L"files" && argc == 3) {
    inspector::WriteOut(inspector::ListFiles(argv[2]) + "\n");
    return 0;
  }
  const auto hwnd = inspector::ParseHandle(argv[2]);
  if (!hwnd) return Fail("no such window");
  if (command == L"measure") return Measure(*hwnd, argc - 3, argv + 3);
  if (command == L"click" && argc == 3) return Done(inspector::Click(*hwnd));
  if (command == L"dblclick" && argc == 3) return Done(inspector::DoubleClick(*hwnd));
  if (command == L"ok" && argc == 3) return Done(inspector::PressOk(*hwnd));
  if (command == L"select" && argc == 4) {
    wchar_t* end = nullptr;
    const long index = std::wcstol(argv[3], &end, 10);
    if (end == argv[3] || *end != L'\0') return Usage();
    return Done(inspector::Select(*hwnd, static_cast<int>(index)));
  }
  return Usage();
}
