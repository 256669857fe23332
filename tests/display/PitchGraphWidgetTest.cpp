#include <gtest/gtest.h>

#include <QImage>
#include <QScreen>
#include <cmath>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

#include "display/PitchGraph.h"
#include "tests/display/QtApplication.h"

namespace auralis {
namespace {

using display::kGraphPalette;
using display::PitchGraphLayout;
using display::Rgb;

constexpr int kWidth = 700;
constexpr int kHeight = 400;

class PitchGraphWidgetTest : public testing::Test {
 protected:
  void SetUp() override { graph.resize(kWidth, kHeight); }

  void sing(std::optional<double> semitones, int frames) {
    for (int i = 0; i < frames; ++i)
      graph.addFrame(semitones ? std::optional(sungPitchAt(*semitones)) : std::nullopt);
  }

  QImage picture() { return graph.grab().toImage().convertToFormat(QImage::Format_RGB32); }

  QApplication& application = QtApplication::get();  // before any widget
  PitchGraph graph;
};

bool is(QRgb pixel, Rgb colour) {
  return qRed(pixel) == colour.red && qGreen(pixel) == colour.green && qBlue(pixel) == colour.blue;
}

bool isSungLine(QRgb pixel) {
  return qBlue(pixel) >= 200 && qRed(pixel) <= 80 && qGreen(pixel) <= 80;
}

bool isReddish(QRgb pixel) {
  return qRed(pixel) >= 150 && qGreen(pixel) <= 100 && qBlue(pixel) <= 100;
}

bool isGreenish(QRgb pixel) {
  return qGreen(pixel) >= 100 && qRed(pixel) <= 60 && qBlue(pixel) <= 60;
}

bool isDark(QRgb pixel) {
  return qRed(pixel) <= 100 && qGreen(pixel) <= 100 && qBlue(pixel) <= 100;
}

int rowOf(const PitchGraphLayout& layout, double semitones) {
  return static_cast<int>(std::lround(layout.yOf(semitones)));
}

// Whether any pixel of the area (right and bottom exclusive) passes the test.
template <typename Test>
bool anyIn(const QImage& image, int left, int top, int right, int bottom, Test test) {
  for (int y = std::max(top, 0); y < std::min(bottom, image.height()); ++y)
    for (int x = std::max(left, 0); x < std::min(right, image.width()); ++x)
      if (test(image.pixel(x, y))) return true;
  return false;
}

TEST_F(PitchGraphWidgetTest, InTuneBandRunsFromMinus25ToPlus17CentsAroundTheQuestionsNotes) {
  const std::vector<int> question = {57};
  graph.setQuestionNotes(question);
  sing(60.0, 20);  // the line stays right of where the band is read
  const QImage image = picture();
  const PitchGraphLayout layout = graph.graphLayout();
  const int x = layout.plotLeft + 10;
  for (const int note : {57, 69}) {  // the question's pitch class in every octave shown
    if (note > layout.highestNote()) continue;
    for (const double cents : {-20.0, -10.0, 10.0, 13.0})
      EXPECT_TRUE(is(image.pixel(x, rowOf(layout, note + cents / 100)), kGraphPalette.inTuneBand))
          << note << " " << cents;
    for (const double cents : {-32.0, 24.0, 40.0})
      EXPECT_TRUE(is(image.pixel(x, rowOf(layout, note + cents / 100)), kGraphPalette.questionRow))
          << note << " " << cents;
  }
  EXPECT_FALSE(is(image.pixel(x, rowOf(layout, 58.0 - 0.1)), kGraphPalette.inTuneBand));
}

TEST_F(PitchGraphWidgetTest, WithoutAQuestionTheBandIsAroundTheNearestSungNote) {
  sing(62.3, 20);
  QImage image = picture();
  PitchGraphLayout layout = graph.graphLayout();
  const int x = layout.plotLeft + 10;
  EXPECT_TRUE(is(image.pixel(x, rowOf(layout, 62.0 - 0.2)), kGraphPalette.inTuneBand));
  EXPECT_FALSE(is(image.pixel(x, rowOf(layout, 63.0 - 0.2)), kGraphPalette.inTuneBand));

  sing(std::nullopt, 1);
  image = picture();
  layout = graph.graphLayout();
  EXPECT_FALSE(is(image.pixel(x, rowOf(layout, 62.0 - 0.2)), kGraphPalette.inTuneBand));
}

TEST_F(PitchGraphWidgetTest, SungLineLiesAtItsPitchBreaksAtGapsAndLeapsAndEndsOnTheRight) {
  sing(60.3, 100);
  sing(std::nullopt, 20);
  sing(60.3, 30);
  sing(67.2, 30);  // a leap of a fifth in one frame
  const QImage image = picture();
  const PitchGraphLayout layout = graph.graphLayout();
  const int size = graph.history().size();
  const auto columnOf = [&](int frame) {
    return static_cast<int>(std::lround(layout.xOfFrame(frame, size)));
  };
  const auto lineNear = [&](int frame, double semitones) {
    const int x = columnOf(frame);
    const int y = rowOf(layout, semitones);
    return anyIn(image, x - 1, y - 2, x + 2, y + 3, isSungLine);
  };
  EXPECT_TRUE(lineNear(50, 60.3));
  EXPECT_TRUE(lineNear(135, 60.3));
  EXPECT_TRUE(lineNear(size - 1, 67.2));
  EXPECT_EQ(columnOf(size - 1), layout.plotRight - 1);
  // Nothing in the gap, and no stroke joining the leap.
  EXPECT_FALSE(anyIn(image, columnOf(103), 0, columnOf(117), kHeight, isSungLine));
  const int leap = (columnOf(149) + columnOf(150)) / 2;
  EXPECT_FALSE(anyIn(image, leap, rowOf(layout, 66.0), leap + 1, rowOf(layout, 61.5), isSungLine));
}

// Each frame repaints only what changed. Shown on screen frame by frame, through glides, leaps,
// gaps, a change of range and a change of question, the window must hold the very picture a
// full paint gives: no piece of an earlier line or deviation may stay behind.
TEST_F(PitchGraphWidgetTest, TheScreenAfterEachFrameIsTheWholePicture) {
  graph.resize(765, 150);
  graph.show();
  QApplication::processEvents();
  const auto onScreen = [&] {
    return graph.screen()
        ->grabWindow(graph.winId())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
  };
  struct Phase {
    const char* name;
    int frames;
    std::function<std::optional<double>(int)> pitch;
  };
  const std::vector<Phase> phases = {
      {"vibrato", 200, [](int i) { return 60.0 + 0.3 * std::sin(i * 0.7); }},
      {"glide up", 60, [](int i) { return 60.0 + i * 0.1; }},
      {"gap", 15, [](int) { return std::nullopt; }},
      {"leaps", 60, [](int i) { return i % 20 < 10 ? 57.0 : 64.5; }},
      {"far above: the range moves", 80, [](int i) { return 79.0 + 0.2 * std::sin(i * 0.3); }},
      {"back down", 120, [](int i) { return 62.0 - i * 0.02; }},
  };
  for (const Phase& phase : phases) {
    for (int i = 0; i < phase.frames; ++i) {
      const std::optional<double> pitch = phase.pitch(i);
      graph.addFrame(pitch ? std::optional(sungPitchAt(*pitch)) : std::nullopt);
      QApplication::processEvents();
      if (i % 10 != 9) continue;
      ASSERT_EQ(onScreen(), picture()) << phase.name << ", frame " << i;
    }
    if (std::string_view(phase.name) == "leaps") {
      const std::vector<int> question = {57, 64};
      graph.setQuestionNotes(question);
      QApplication::processEvents();
      ASSERT_EQ(onScreen(), picture()) << "a new question";
    }
  }
}

TEST_F(PitchGraphWidgetTest, NamesSitOnTheirRowsAndQuestionNamesAreRed) {
  graph.setView(display::NoteView::NoteNames);
  const std::vector<int> question = {57};
  graph.setQuestionNotes(question);
  sing(60.0, 5);
  const QImage image = picture();
  const PitchGraphLayout layout = graph.graphLayout();
  ASSERT_GE(layout.pixelsPerSemitone(), graph.nameHeight());  // every row is named
  for (int note = layout.lowestNote() + 1; note < layout.highestNote(); ++note) {
    const int y = rowOf(layout, note);
    const bool red = anyIn(image, 0, y - 2, layout.plotLeft, y + 3, isReddish);
    EXPECT_EQ(red, note % 12 == 57 % 12) << note;
    if (!red) {
      EXPECT_TRUE(anyIn(image, 0, y - 2, layout.plotLeft, y + 3, isDark)) << note;
    }
  }
  // Halfway between rows the gutter is empty.
  const int between = rowOf(layout, 60.5);
  EXPECT_FALSE(anyIn(image, 0, between, layout.plotLeft, between + 1, isDark));
}

TEST_F(PitchGraphWidgetTest, ChangingTheViewRenamesTheRows) {
  sing(60.0, 5);
  const QImage solfege = picture();
  const PitchGraphLayout before = graph.graphLayout();
  graph.setView(display::NoteView::NoteNames);
  const QImage letters = picture();
  const PitchGraphLayout after = graph.graphLayout();
  const int y = rowOf(before, 60.0);
  const int gutter = std::min(before.plotLeft, after.plotLeft) - 1;
  EXPECT_NE(solfege.copy(0, y - 6, gutter, 12), letters.copy(0, y - 6, gutter, 12));
  graph.setView(display::NoteView::Solfege);
  EXPECT_EQ(picture(), solfege);
}

// The graph starts hidden and measures its text only when first laid out: what it was given while
// hidden shows once it is shown, as on a graph that was shown all along.
TEST_F(PitchGraphWidgetTest, WhatAHiddenGraphWasGivenShowsOnceItIsShown) {
  PitchGraph shownAllAlong;
  shownAllAlong.resize(kWidth, kHeight);
  shownAllAlong.show();
  for (PitchGraph* each : {&graph, &shownAllAlong}) {
    each->setView(display::NoteView::NoteNames);
    each->setCaption(QStringLiteral("Sing higher"), QColor(200, 0, 0));
  }
  graph.show();
  QApplication::processEvents();
  EXPECT_EQ(graph.graphLayout().plotLeft, shownAllAlong.graphLayout().plotLeft);
  const QImage image = picture();
  EXPECT_EQ(image, shownAllAlong.grab().toImage().convertToFormat(QImage::Format_RGB32));
  const PitchGraphLayout layout = graph.graphLayout();
  EXPECT_TRUE(anyIn(image, layout.plotLeft, 0, layout.plotLeft + 150, 30, isReddish))
      << "the caption";
}

TEST_F(PitchGraphWidgetTest, DeviationIsGreenInTuneAndRedOutOfTune) {
  const auto deviationArea = [&](const QImage& image, auto test) {
    const PitchGraphLayout layout = graph.graphLayout();
    return anyIn(image, layout.plotRight + 1, 0, kWidth, kHeight / 3, test);
  };
  sing(69.07, 5);
  QImage image = picture();
  EXPECT_TRUE(deviationArea(image, isGreenish));
  EXPECT_FALSE(deviationArea(image, isReddish));
  sing(68.6, 5);
  image = picture();
  EXPECT_TRUE(deviationArea(image, isReddish));
  EXPECT_FALSE(deviationArea(image, isGreenish));
  sing(std::nullopt, 1);
  image = picture();
  EXPECT_FALSE(deviationArea(image, isReddish));
  EXPECT_FALSE(deviationArea(image, isGreenish));
}

}  // namespace
}  // namespace auralis
