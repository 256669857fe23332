#include <gtest/gtest.h>

#include <cmath>
#include <optional>

#include "display/NotePanelLayout.h"

namespace auralis::display {
namespace {

TEST(NotePanelLayout, SizesTruncateToColumnsMarginStripsAndFont) {
  struct Case {
    int width, height;
    int columnWidth, margin, strip, font;
  };
  const Case cases[] = {
      {765, 152, 63, 4, 15, 20},  // the window's initial panel
      {770, 152, 64, 1, 15, 20},  // the margin halves the 2 spare pixels
      {800, 300, 66, 4, 30, 26},  // wide and tall: the column width limits the font
      {1000, 99, 83, 2, 9, 13},   // 9.9 and 13.2 truncate
      {11, 10, 0, 5, 1, 0},       // narrower than twelve pixels: no columns
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.width << "x" << c.height);
    const NotePanelLayout layout = layoutFor(c.width, c.height);
    EXPECT_EQ(layout.columnWidth, c.columnWidth);
    EXPECT_EQ(layout.leftMargin, c.margin);
    EXPECT_EQ(layout.stripHeight, c.strip);
    EXPECT_EQ(layout.fontPointSize(), c.font);
  }
  const NotePanelLayout initial = layoutFor(765, 152);
  EXPECT_EQ(initial.lastBorder(), 760);
  EXPECT_EQ(initial.cellTop(), 30);
  EXPECT_EQ(initial.cellBottom(), 122);
}

TEST(NotePanelLayout, ClicksMapToTheColumnUnderThePointerAndNotToTheMargins) {
  const NotePanelLayout layout = layoutFor(765, 152);
  struct Case {
    int x;
    std::optional<int> column;
  };
  const Case cases[] = {
      {-70, std::nullopt},  // would truncate to column 0 without the margin test
      {3, std::nullopt},   {4, 0}, {66, 0}, {67, 1}, {70, 1}, {759, 11}, {760, std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(columnAt(layout, c.x), c.column) << c.x;
  EXPECT_EQ(columnAt(layoutFor(11, 100), 5), std::nullopt);
}

TEST(NotePanelLayout, TuningScaleHasTwelveTicksAndAGreenBandOverPositionsThreeToNine) {
  // The step is 63 / 12 = 5.25 pixels; every position truncates separately.
  const TuningScale scale = tuningScaleOf(layoutFor(765, 152), 0);
  EXPECT_EQ(scale.bandLeft, 19);
  EXPECT_EQ(scale.bandRight, 51);
  const std::array<int, 12> ticks = {4, 9, 14, 19, 25, 30, 35, 40, 46, 51, 56, 61};
  EXPECT_EQ(scale.ticks, ticks);
}

TEST(TuningMarker, TrianglesFollowPitchClassAndOffsetFromBothMarkerZones) {
  const NotePanelLayout layout = layoutFor(765, 152);
  struct Case {
    int pitchClass;
    float offset;
    int left;
  };
  const Case cases[] = {
      {0, 0.0f, 5},      // one pixel right of the first border
      {9, 0.5f, 603},    // the middle of A: 571 + 31.5 + 1
      {11, 0.99f, 760},  // 697 + 62.37 + 1
      {4, 0.25f, 272},   // 256 + 15.75 + 1
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.pitchClass << " at " << c.offset);
    const MarkerTriangles t = markerTrianglesOf(layout, c.pitchClass, c.offset);
    // 63 div 12 - 3 = 2 pixels wide; the tips reach row h = 15 and row 150 - 15 + 1.
    EXPECT_EQ(t.top[0].x, c.left);
    EXPECT_EQ(t.top[0].y, 1);
    EXPECT_EQ(t.top[1].x, c.left + 1);
    EXPECT_EQ(t.top[1].y, 15);
    EXPECT_EQ(t.top[2].x, c.left + 2);
    EXPECT_EQ(t.bottom[0].y, 150);
    EXPECT_EQ(t.bottom[1].x, c.left + 1);
    EXPECT_EQ(t.bottom[1].y, 136);
    EXPECT_EQ(t.bottom[2].x, c.left + 2);
  }
  // 100 div 12 - 3 = 5: the tip sits two pixels in.
  const MarkerTriangles wide = markerTrianglesOf(layoutFor(1200, 300), 0, 0.0f);
  EXPECT_EQ(wide.top[1].x - wide.top[0].x, 2);
  EXPECT_EQ(wide.top[2].x - wide.top[0].x, 5);
}

TEST(TuningMarker, OnlyAPitchClassOfTheOctaveWithAnOffsetInItsColumnIsShown) {
  struct Case {
    int pitchClass;
    float offset;
    bool shown;
  };
  const Case cases[] = {
      {0, 0.0f, true},   {11, 0.999f, true}, {-1, -1.0f, false},        {-1, 0.5f, false},
      {3, -1.0f, false}, {12, 0.5f, false},  {3, std::nanf(""), false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(markerShown(c.pitchClass, c.offset), c.shown) << c.pitchClass << " " << c.offset;
}

}  // namespace
}  // namespace auralis::display
