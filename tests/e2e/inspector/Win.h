// Reading and poking another process's windows: the calls the inspector's
// commands share.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace inspector {

// A window handle as the reports print it, and back.
long long HandleNumber(HWND hwnd);
std::optional<HWND> ParseHandle(const wchar_t* text);

// A message to another process's window that gives up when that process
// hangs, so that a stuck TOLVEX fails a test instead of stalling it.
std::optional<LRESULT> Ask(HWND hwnd, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

std::wstring ClassOf(HWND hwnd);
std::wstring TextOf(HWND hwnd);
bool IsClass(HWND hwnd, const wchar_t* name);

// The window's pixel density: per window where the system knows it, else the
// display's.
int DpiOf(HWND hwnd);

// A GDI font owned by the inspector.
class OwnedFont {
 public:
  explicit OwnedFont(const LOGFONTW& logFont) : font_(::CreateFontIndirectW(&logFont)) {}
  OwnedFont(const OwnedFont&) = delete;
  OwnedFont& operator=(const OwnedFont&) = delete;
  ~OwnedFont() {
    if (font_) ::DeleteObject(font_);
  }
  HFONT get() const { return font_; }

 private:
  HFONT font_;
};

// A window's device context with a font selected, both given back on scope
// exit.
class WindowDc {
 public:
  WindowDc(HWND hwnd, HFONT font)
      : hwnd_(hwnd), dc_(::GetDC(hwnd)), old_(dc_ ? ::SelectObject(dc_, font) : nullptr) {}
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  ~WindowDc() {
    if (!dc_) return;
    ::SelectObject(dc_, old_);
    ::ReleaseDC(hwnd_, dc_);
  }
  HDC get() const { return dc_; }

 private:
  HWND hwnd_;
  HDC dc_;
  HGDIOBJ old_;
};

}  // namespace inspector
