#include <gtest/gtest.h>

#include "app/Layout.h"

namespace {

struct LayoutCase {
  const char* what;
  app::LayoutInput in;
  app::LayoutResult out;
};

class Layout : public testing::TestWithParam<LayoutCase> {};

TEST_P(Layout, FollowsTheRule) {
  const auto& c = GetParam();
  const auto got = app::ComputeLayout(c.in);
  EXPECT_EQ(got.formWidth, c.out.formWidth) << c.what;
  EXPECT_EQ(got.listWidth, c.out.listWidth) << c.what;
  EXPECT_EQ(got.listLeft, c.out.listLeft) << c.what;
  EXPECT_EQ(got.labelLeft, c.out.labelLeft) << c.what;
  EXPECT_EQ(got.buttonLeft, c.out.buttonLeft) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Layout,
    testing::Values(
        // Short names at 96 dpi: the list keeps its minimum, the list moves from 17 to 22.
        LayoutCase{"96 dpi minimum", {60, 17, 108, 121}, {306, 255, 22, 99, 93}},
        // Exactly at the minimum: 220 + 35 = 255.
        LayoutCase{"96 dpi at the minimum", {220, 17, 108, 121}, {306, 255, 22, 99, 93}},
        LayoutCase{"96 dpi just past it", {221, 17, 108, 121}, {307, 256, 21, 99, 93}},
        // 144 dpi: scaled Left 26, but the rule's 255 is not scaled.
        LayoutCase{"144 dpi minimum", {60, 26, 162, 182}, {333, 255, 35, 85, 75}},
        LayoutCase{"text width 400", {400, 17, 108, 121}, {486, 435, 19, 189, 183}}),
    [](const auto& info) {
      std::string name = info.param.what;
      for (auto& ch : name) {
        if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
      }
      return name;
    });

}  // namespace
