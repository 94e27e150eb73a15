// TOLVEX: attaches an ISO image from its own folder, runs the program the
// image carries, and detaches the image when that program ends.
#include <windows.h>
#include <commctrl.h>

#include "app/Unit1.h"
#include "platform/win32/Win32Form.h"
#include "platform/win32/Win32Os.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
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
