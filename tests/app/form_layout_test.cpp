#include "app/form_layout.h"

#include <gtest/gtest.h>

namespace vestrel {
namespace {

TEST(FormLayout, MacroColumns) {
  struct Case {
    int panel, width, firstX, lastX;
  };
  // (W - 26) / 12 wide; the spare pixels (W - 26) mod 12, plus 4, are split to both sides.
  const Case cases[] = {
      {146, 10, 2, 2 + 11 * 12},       // narrow: fixed 10-pixel buttons at 2, 14, ...
      {0, 10, 2, 134},
      {147, 10, (1 + 4) / 2, 2 + 11 * 12},  // 121 / 12 = 10 rest 1
      {626, 50, 2, 2 + 11 * 52},       // 600 / 12 = 50 rest 0
      {640, 51, 3, 3 + 11 * 53},       // 614 / 12 = 51 rest 2
      {1000, 81, (2 + 4) / 2, 3 + 11 * 83},  // 974 / 12 = 81 rest 2
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.panel);
    const MacroColumns m = ComputeMacroColumns(c.panel);
    EXPECT_EQ(m.width, c.width);
    EXPECT_EQ(m.ColumnX(0), c.firstX);
    EXPECT_EQ(m.ColumnX(1), c.firstX + c.width + 2);
    EXPECT_EQ(m.ColumnX(11), c.lastX);
  }
}

TEST(FormLayout, OtherEditWidth) {
  EXPECT_EQ(OtherEditWidth(100), 25);
  EXPECT_EQ(OtherEditWidth(435), 25);
  EXPECT_EQ(OtherEditWidth(436), 26);
  EXPECT_EQ(OtherEditWidth(800), 390);
}

TEST(FormLayout, TuningButtonsAreCentredAndNeverLeftOfZero) {
  const auto at = [](int a) { return std::array<int, 6>{a, a + 32, a + 64, a + 96, a + 136, a + 198}; };
  EXPECT_EQ(TuningButtonsX(258), at(0));
  EXPECT_EQ(TuningButtonsX(259), at(0));   // 1 / 2 rounds toward zero
  EXPECT_EQ(TuningButtonsX(260), at(1));
  EXPECT_EQ(TuningButtonsX(600), at(171));
  EXPECT_EQ(TuningButtonsX(100), at(0));   // -79 becomes 0
  EXPECT_EQ(TuningButtonsX(257), at(0));   // -1 / 2 is 0 toward zero
}

}  // namespace
}  // namespace vestrel
