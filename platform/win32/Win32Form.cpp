#include "platform/win32/Win32Form.h"

#include "app/Unit1.h"

namespace platform::win32 {

namespace {

constexpr DWORD kFormStyle =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_CLIPCHILDREN;
constexpr int kListId = 1;
constexpr int kButtonId = 2;
constexpr int kIconId = 1;

// The window's own pixel density: per monitor where the system knows it
// (Windows 10), else the display's.
int DpiOf(HWND hwnd) {
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  const auto getDpi = reinterpret_cast<GetDpiForWindowFn>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
  if (getDpi) {
    if (const UINT dpi = getDpi(hwnd)) return static_cast<int>(dpi);
  }
  const HDC screen = ::GetDC(nullptr);
  const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
  ::ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : 96;
}

// A window's device context with a font selected, given back on scope exit.
class FontDc {
 public:
  FontDc(HWND hwnd, HFONT font)
      : hwnd_(hwnd), dc_(::GetDC(hwnd)), old_(::SelectObject(dc_, font)) {}
  FontDc(const FontDc&) = delete;
  FontDc& operator=(const FontDc&) = delete;
  ~FontDc() {
    ::SelectObject(dc_, old_);
    ::ReleaseDC(hwnd_, dc_);
  }
  HDC get() const { return dc_; }

 private:
  HWND hwnd_;
  HDC dc_;
  HGDIOBJ old_;
};

SIZE Extent(HWND hwnd, HFONT font, const std::wstring& text) {
  FontDc dc(hwnd, font);
  SIZE size{0, 0};
  ::GetTextExtentPoint32W(dc.get(), text.c_str(), static_cast<int>(text.size()), &size);
  return size;
}

}  // namespace

Win32Form::Win32Form(HINSTANCE instance) : instance_(instance) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  wc.hIcon = ::LoadIconW(instance, MAKEINTRESOURCEW(kIconId));
  wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kClassName;
  ::RegisterClassExW(&wc);

  hwnd_ = ::CreateWindowExW(0, kClassName, app::kFormCaption, kFormStyle, 0, 0, 0, 0, nullptr,
                            nullptr, instance, this);
  dpi_ = DpiOf(hwnd_);

  using D = app::Design;
  RECT frame{0, 0, Scale(D::kClientWidth), Scale(D::kClientHeight)};
  ::AdjustWindowRectEx(&frame, kFormStyle, FALSE, 0);
  ::SetWindowPos(hwnd_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);

  font_.reset(::CreateFontW(Scale(D::kFontHeight), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                            DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                            DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"Tahoma"));

  // The label sizes itself to its caption.
  label_ = CreateChild(L"STATIC", app::kLabelCaption, SS_LEFT | SS_NOPREFIX, 0, D::kLabel1, 0);
  const SIZE caption = Extent(hwnd_, font_.get(), app::kLabelCaption);
  ::SetWindowPos(label_, nullptr, 0, 0, caption.cx, caption.cy, SWP_NOMOVE | SWP_NOZORDER);
  list_ = CreateChild(L"LISTBOX", L"", WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT,
                      WS_EX_CLIENTEDGE, D::kListBox1, kListId);
  ::SendMessageW(list_, LB_SETITEMHEIGHT, 0, Scale(D::kItemHeight));
  button_ = CreateChild(L"BUTTON", app::kButtonCaption, WS_TABSTOP | BS_PUSHBUTTON, 0, D::kButton1,
                        kButtonId);
}

Win32Form::~Win32Form() {
  if (::IsWindow(hwnd_)) ::DestroyWindow(hwnd_);
}

HWND Win32Form::CreateChild(const wchar_t* className, const wchar_t* text, DWORD style,
                            DWORD exStyle, const Bounds& design, int id) {
  const HWND child =
      ::CreateWindowExW(exStyle, className, text, WS_CHILD | WS_VISIBLE | style, Scale(design.left),
                        Scale(design.top), Scale(design.width), Scale(design.height), hwnd_,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance_, nullptr);
  ::SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
  return child;
}

void Win32Form::ShowCentred() {
  RECT window;
  ::GetWindowRect(hwnd_, &window);
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  ::GetMonitorInfoW(::MonitorFromWindow(hwnd_, MONITOR_DEFAULTTOPRIMARY), &monitor);
  const RECT& work = monitor.rcWork;
  const int width = window.right - window.left;
  const int height = window.bottom - window.top;
  ::SetWindowPos(hwnd_, nullptr, work.left + (work.right - work.left - width) / 2,
                 work.top + (work.bottom - work.top - height) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  ::ShowWindow(hwnd_, SW_SHOWNORMAL);
  ::SetFocus(list_);
}

int Win32Form::RunMessageLoop() {
  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (::IsDialogMessageW(hwnd_, &msg)) continue;
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}

LRESULT CALLBACK Win32Form::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<Win32Form*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    self->hwnd_ = hwnd;
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<Win32Form*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  return self ? self->OnMessage(message, wParam, lParam)
              : ::DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT Win32Form::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND: {
      const HWND from = reinterpret_cast<HWND>(lParam);
      if (from == button_ && HIWORD(wParam) == BN_CLICKED && onButton1Click) onButton1Click();
      if (from == list_ && HIWORD(wParam) == LBN_DBLCLK && onListBox1DblClick) {
        onListBox1DblClick();
      }
      return 0;
    }
    case WM_CTLCOLORSTATIC:
      ::SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
      return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
    case WM_DESTROY:
      ::SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
      ::PostQuitMessage(0);
      return 0;
    default:
      return ::DefWindowProcW(hwnd_, message, wParam, lParam);
  }
}

HWND Win32Form::Window(Control control) const {
  switch (control) {
    case Control::Label1:
      return label_;
    case Control::ListBox1:
      return list_;
    case Control::Button1:
      return button_;
    case Control::Form:
    default:
      return hwnd_;
  }
}

Bounds Win32Form::GetBounds(Control control) {
  RECT r;
  ::GetWindowRect(Window(control), &r);
  if (control != Control::Form) ::MapWindowPoints(nullptr, hwnd_, reinterpret_cast<POINT*>(&r), 2);
  return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

void Win32Form::SetLeft(Control control, int left) {
  const Bounds b = GetBounds(control);
  ::SetWindowPos(Window(control), nullptr, left, b.top, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32Form::SetWidth(Control control, int width) {
  const Bounds b = GetBounds(control);
  ::SetWindowPos(Window(control), nullptr, 0, 0, width, b.height,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int Win32Form::TextWidth(const std::wstring& text) { return Extent(hwnd_, font_.get(), text).cx; }

void Win32Form::AddItem(const std::wstring& text) {
  ::SendMessageW(list_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

int Win32Form::ItemCount() { return static_cast<int>(::SendMessageW(list_, LB_GETCOUNT, 0, 0)); }

std::wstring Win32Form::ItemText(int index) {
  const LRESULT length = ::SendMessageW(list_, LB_GETTEXTLEN, index, 0);
  if (length == LB_ERR) return std::wstring();
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  ::SendMessageW(list_, LB_GETTEXT, index, reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<std::size_t>(length));
  return text;
}

bool Win32Form::Selected(int index) { return ::SendMessageW(list_, LB_GETCURSEL, 0, 0) == index; }

void Win32Form::Select(int index) { ::SendMessageW(list_, LB_SETCURSEL, index, 0); }

void Win32Form::SetEnabled(bool enabled) { ::EnableWindow(hwnd_, enabled); }

void Win32Form::SetCaption(Control control, const std::wstring& text) {
  ::SetWindowTextW(Window(control), text.c_str());
  ::UpdateWindow(Window(control));
}

void Win32Form::Hide() { ::ShowWindow(hwnd_, SW_HIDE); }

}  // namespace platform::win32
