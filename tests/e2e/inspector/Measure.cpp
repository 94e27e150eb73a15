#include "Measure.h"

#include "Fonts.h"
#include "Win.h"

namespace inspector {

std::optional<std::vector<SIZE>> MeasureTexts(HWND hwnd, const std::vector<std::wstring>& texts) {
  const auto logFont = FontReader().FontOf(hwnd);
  if (!logFont) return std::nullopt;
  // The window's font handle is the other process's; an equal font made here
  // measures the same, as both draw in the same mapping mode.
  const OwnedFont font(*logFont);
  const WindowDc dc(hwnd, font.get());
  if (!font.get() || !dc.get()) return std::nullopt;
  std::vector<SIZE> sizes;
  for (const auto& text : texts) {
    SIZE size{0, 0};
    ::GetTextExtentPoint32W(dc.get(), text.c_str(), static_cast<int>(text.size()), &size);
    sizes.push_back(size);
  }
  return sizes;
}

}  // namespace inspector
