// TOLVEX: attaches an ISO image from its own folder, runs the program the
// image carries, and detaches the image when that program ends.
#include <windows.h>

#include <commctrl.h>

#include "app/Unit1.h"
#include "platform/win32/Win32Form.h"
#include "platform/win32/Win32Os.h"

namespace {

// The program runs elevated from a folder anybody may write to (a flash
// drive, a download folder): the system's libraries are loaded from System32
// only, never found beside the program.  Vista without the update that adds
// the call keeps the default search.
void LoadLibrariesFromSystem32Only() {
  using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
  const auto set = reinterpret_cast<SetDefaultDllDirectoriesFn>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
  if (set) set(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  LoadLibrariesFromSystem32Only();
  const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES};
  ::InitCommonControlsEx(&controls);

  platform::win32::Win32Os os;
  platform::win32::Win32Form window(instance);
  app::TForm1 Form1(os, window);
  window.onButton1Click = [&Form1] { Form1.Button1Click(); };
  window.onListBox1DblClick = [&Form1] { Form1.ListBox1DblClick(); };

  Form1.Create();
  window.ShowCentred();
  return window.RunMessageLoop();
}
