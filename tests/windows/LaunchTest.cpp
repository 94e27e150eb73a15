#include <gtest/gtest.h>

#include "Support.h"
#include "launch/Launch.h"
#include "platform/win32/Win32Os.h"

namespace {

using platform::win32::Win32Os;

const std::wstring kSleeper = testsupport::FromBuild(SLEEPER_EXE);

LRESULT CALLBACK CountTimers(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_TIMER) {
    ++*reinterpret_cast<int*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    return 0;
  }
  return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

// A window that counts the timer messages it gets.
struct CountingWindow {
  CountingWindow() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = CountTimers;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"CountingWindow";
    ::RegisterClassW(&wc);
    hwnd = ::CreateWindowW(L"CountingWindow", L"", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                           nullptr, wc.hInstance, nullptr);
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&ticks));
    ::SetTimer(hwnd, 1, 20, nullptr);
  }
  ~CountingWindow() { ::DestroyWindow(hwnd); }
  HWND hwnd;
  int ticks = 0;
};

TEST(ExecAndWait, KeepsTheWindowServicedWhileTheChildRuns) {
  Win32Os os;
  CountingWindow window;
  const DWORD start = ::GetTickCount();
  launch::ExecAndWait(os, reinterpret_cast<platform::WindowHandle>(window.hwnd), kSleeper, L"2",
                      L"", launch::kHidden);
  const DWORD elapsed = ::GetTickCount() - start;
  EXPECT_GE(elapsed, 1900u) << "returned before the child ended";
  EXPECT_LT(elapsed, 10000u);
  // A 20 ms timer over two seconds: dozens of ticks when the window is serviced,
  // none when it is not.
  EXPECT_GE(window.ticks, 20) << "handled " << window.ticks << " timer messages";
}

TEST(ExecNoWait, ReturnsTheChildsHandle) {
  Win32Os os;
  const auto process = launch::ExecNoWait(os, 0, L"cmd.exe", L"/d /c exit 7", L"", launch::kHidden);
  ASSERT_NE(process, 0u) << "cmd.exe is found in System32 by name";
  const HANDLE handle = reinterpret_cast<HANDLE>(process);
  ASSERT_EQ(::WaitForSingleObject(handle, 10000), WAIT_OBJECT_0);
  DWORD code = 0;
  ::GetExitCodeProcess(handle, &code);
  EXPECT_EQ(code, 7u);
  ::CloseHandle(handle);
}

TEST(ExecNoWait, ProgramFoundNowhereStartsNothing) {
  Win32Os os;
  const DWORD start = ::GetTickCount();
  EXPECT_EQ(launch::ExecNoWait(os, 0, L"no-such-program-4711", L"", L"", launch::kShown), 0u);
  launch::ExecAndWait(os, 0, L"no-such-program-4711", L"", L"", launch::kShown);
  EXPECT_LT(::GetTickCount() - start, 1000u);
}

TEST(ShellExecuteInfo, RequestMapsFieldForField) {
  static_assert(sizeof(SHELLEXECUTEINFOW) == 60, "the request's cbSize is the 32-bit record's");
  const auto request = launch::MakeShellRequest(0x10, L"a.exe", L"", L"", launch::kShown);
  SHELLEXECUTEINFOW info;
  platform::win32::FillShellExecuteInfo(request, info);
  EXPECT_EQ(info.cbSize, sizeof info);
  EXPECT_EQ(info.fMask, static_cast<ULONG>(SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI));
  EXPECT_EQ(info.hwnd, reinterpret_cast<HWND>(0x10));
  EXPECT_STREQ(info.lpVerb, L"open");
  EXPECT_STREQ(info.lpFile, L"a.exe");
  ASSERT_NE(info.lpParameters, nullptr);
  EXPECT_STREQ(info.lpParameters, L"");
  EXPECT_EQ(info.lpDirectory, nullptr);
  EXPECT_EQ(info.nShow, SW_SHOW);
  EXPECT_EQ(info.hProcess, nullptr);
}

}  // namespace
