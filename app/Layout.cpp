#include "app/Layout.h"

namespace app {

namespace {
// Room for the list's border and scroll bar beside the text.
constexpr int kTextMargin = 35;
constexpr int kMinListWidth = 255;
}  // namespace

LayoutResult ComputeLayout(const LayoutInput& in) {
  LayoutResult out;
  out.listWidth = in.longestTextWidth + kTextMargin;
  if (out.listWidth < kMinListWidth) out.listWidth = kMinListWidth;
  out.formWidth = out.listWidth + 3 * in.listLeft;
  const int middle = out.formWidth / 2;
  out.listLeft = middle - out.listWidth / 2 - out.listWidth / 55;
  out.labelLeft = middle - in.labelWidth / 2;
  out.buttonLeft = middle - in.buttonWidth / 2;
  return out;
}

}  // namespace app
