// A child for the launch tests: sleeps the given seconds, then exits with the
// given code.
#include <windows.h>

#include <cwchar>

int wmain(int argc, wchar_t** argv) {
  const int seconds = argc > 1 ? static_cast<int>(std::wcstol(argv[1], nullptr, 10)) : 0;
  ::Sleep(static_cast<DWORD>(seconds) * 1000);
  return argc > 2 ? static_cast<int>(std::wcstol(argv[2], nullptr, 10)) : 0;
}
