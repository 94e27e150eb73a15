// The Win32 face of the launcher's window: a plain top-level window with a
// label, a list box and a button, laid out from the window definition at the
// display's pixel density.
#pragma once

#include <windows.h>

#include <functional>

#include "platform/Os.h"
#include "platform/win32/UniqueHandle.h"

namespace platform::win32 {

class Win32Form : public FormWindow {
 public:
  static constexpr const wchar_t* kClassName = L"TForm1";

  // Creates the window hidden, sized and scaled for the display it is on.
  explicit Win32Form(HINSTANCE instance);
  Win32Form(const Win32Form&) = delete;
  Win32Form& operator=(const Win32Form&) = delete;
  ~Win32Form() override;

  std::function<void()> onButton1Click;
  std::function<void()> onListBox1DblClick;

  // Centres the window in its monitor's work area and shows it.
  void ShowCentred();
  // Runs until the window is closed; returns the exit code.
  int RunMessageLoop();
  int Dpi() const { return dpi_; }

  WindowHandle Handle() override { return reinterpret_cast<WindowHandle>(hwnd_); }
  Bounds GetBounds(Control control) override;
  void SetLeft(Control control, int left) override;
  void SetWidth(Control control, int width) override;
  int TextWidth(const std::wstring& text) override;
  void AddItem(const std::wstring& text) override;
  int ItemCount() override;
  std::wstring ItemText(int index) override;
  bool Selected(int index) override;
  void Select(int index) override;
  void SetEnabled(bool enabled) override;
  void SetCaption(Control control, const std::wstring& text) override;
  void Hide() override;

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  HWND Window(Control control) const;
  int Scale(int value) const { return ::MulDiv(value, dpi_, 96); }
  HWND CreateChild(const wchar_t* className, const wchar_t* text, DWORD style, DWORD exStyle,
                   const Bounds& design, int id);

  HINSTANCE instance_;
  HWND hwnd_ = nullptr;
  HWND label_ = nullptr;
  HWND list_ = nullptr;
  HWND button_ = nullptr;
  UniqueFont font_;
  int dpi_ = 96;
};

}  // namespace platform::win32
