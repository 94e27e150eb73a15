// Sizing the window to the longest image name.
#pragma once

namespace app {

// The inputs are the window's current values, already scaled to the display;
// the rule's own constants are not scaled.
struct LayoutInput {
  int longestTextWidth = 0;  // the longest name, measured in the window's font
  int listLeft = 0;
  int labelWidth = 0;
  int buttonWidth = 0;
};

struct LayoutResult {
  int formWidth = 0;  // outer width, frame included
  int listWidth = 0;
  int listLeft = 0;
  int labelLeft = 0;
  int buttonLeft = 0;
};

LayoutResult ComputeLayout(const LayoutInput& in);

}  // namespace app
