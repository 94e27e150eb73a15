// Whole numbers as text, without the C library's printf machinery, which
// would more than double the size of the launcher.
#pragma once

#include <string>

namespace platform {

inline std::wstring Decimal(unsigned long value) {
  std::wstring digits;
  do {
    digits.insert(digits.begin(), static_cast<wchar_t>(L'0' + value % 10));
    value /= 10;
  } while (value);
  return digits;
}

}  // namespace platform
