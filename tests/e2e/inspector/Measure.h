// Text widths as a window would draw them: in the font the window uses.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace inspector {

// The pixel size of each text in `hwnd`'s font, or nothing when the window
// keeps no font to measure with.
std::optional<std::vector<SIZE>> MeasureTexts(HWND hwnd, const std::vector<std::wstring>& texts);

}  // namespace inspector
