#include "Win.h"

#include <cwchar>

namespace inspector {

namespace {
constexpr UINT kAnswerTimeoutMs = 5000;
}  // namespace

long long HandleNumber(HWND hwnd) {
  return static_cast<long long>(reinterpret_cast<std::uintptr_t>(hwnd));
}

std::optional<HWND> ParseHandle(const wchar_t* text) {
  wchar_t* end = nullptr;
  const unsigned long long value = std::wcstoull(text, &end, 0);
  if (end == text || *end != L'\0' || value == 0) return std::nullopt;
  const HWND hwnd = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(value));
  if (!::IsWindow(hwnd)) return std::nullopt;
  return hwnd;
}

std::optional<LRESULT> Ask(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD_PTR result = 0;
  if (!::SendMessageTimeoutW(hwnd, message, wParam, lParam, SMTO_ABORTIFHUNG | SMTO_BLOCK,
                             kAnswerTimeoutMs, &result)) {
    return std::nullopt;
  }
  return static_cast<LRESULT>(result);
}

std::wstring ClassOf(HWND hwnd) {
  wchar_t name[256] = L"";
  ::GetClassNameW(hwnd, name, 256);
  return name;
}

bool IsClass(HWND hwnd, const wchar_t* name) { return _wcsicmp(ClassOf(hwnd).c_str(), name) == 0; }

std::wstring TextOf(HWND hwnd) {
  // The caption the system keeps, read without sending the window a message:
  // a window whose thread is busy still answers at once.
  std::wstring text(1024, L'\0');
  for (;;) {
    const int copied = ::InternalGetWindowText(hwnd, text.data(), static_cast<int>(text.size()));
    if (copied + 1 < static_cast<int>(text.size())) {
      text.resize(static_cast<std::size_t>(copied));
      return text;
    }
    text.resize(text.size() * 2);
  }
}

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
  return dpi;
}

}  // namespace inspector
