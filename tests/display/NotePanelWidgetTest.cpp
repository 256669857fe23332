#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QPaintEvent>
#include <QRegion>
#include <QTest>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "core/QuietHost.h"
#include "display/NotePanel.h"
#include "engine/Lesson.h"
#include "engine/Notes.h"
#include "platform/FakeMidiOutStream.h"
#include "tests/display/QtApplication.h"

// Failure messages name colours as #rrggbb.
void PrintTo(const QColor& colour, std::ostream* out) {
  *out << colour.name().toStdString();
}

namespace auralis {
namespace {

using display::NoteView;

// Records the area of every paint, to see what a change repaints.
class RecordingPanel : public NotePanel {
 public:
  using NotePanel::NotePanel;
  QRegion painted;

 protected:
  void paintEvent(QPaintEvent* event) override {
    painted += event->region();
    NotePanel::paintEvent(event);
  }
};

constexpr int kWidth = 765;
constexpr int kHeight = 152;
constexpr int kColumnWidth = 63;
constexpr int kMargin = 4;
constexpr int kCellTop = 30;
constexpr int kCellBottom = 122;  // exclusive

int columnLeft(int column) {
  return column * kColumnWidth + kMargin;
}

const QColor kRed(255, 0, 0);
const QColor kDarkRed(128, 0, 0);
const QColor kBlue(0, 0, 255);
const QColor kGreen(0, 255, 0);
const QColor kBlack(0, 0, 0);
const QColor kWhite(255, 255, 255);

// The panel over a real lesson, answering clicks through the lesson as the window does.
class NotePanelWidget : public ::testing::Test {
 protected:
  NotePanelWidget() {
    player.midiOutPresent = true;
    player.OpenMidiOut(platform::kDefaultMidiDevice);
    lesson.random.RandomState = 20240611;
    panel.resize(kWidth, kHeight);
  }

  void finishPhrases() {
    for (int guard = 0; guard < 10 && stream.completePhrase(); ++guard) {
      while (posted > 0) {
        --posted;
        lesson.PlaybackDone();
      }
    }
  }

  void useView(NoteView view) {
    lesson.menus.Solfege1 = view == NoteView::Solfege;
    lesson.menus.Notes1 = view == NoteView::NoteNames;
    lesson.menus.Piano1 = view == NoteView::Piano;
  }

  QImage render() { return panel.grab().toImage(); }

  // A pixel of the cell clear of the label.
  static QColor cellColour(const QImage& image, int column) {
    return image.pixelColor(columnLeft(column) + 3, kCellTop + 2);
  }
  static QColor dotColour(const QImage& image, int column) {
    return image.pixelColor(columnLeft(column) + kColumnWidth / 2, kHeight / 2);
  }

  // Pixels inside a column's cell, borders excluded, that the predicate picks.
  template <typename Pick>
  static int countInCell(const QImage& image, int column, int fromRow, int toRow, Pick pick) {
    int count = 0;
    for (int y = fromRow; y < toRow; ++y) {
      for (int x = columnLeft(column) + 1; x < columnLeft(column) + kColumnWidth; ++x)
        if (pick(image.pixelColor(x, y))) ++count;
    }
    return count;
  }
  static int inkIn(const QImage& image, int column, int fromRow, int toRow) {
    return countInCell(image, column, fromRow, toRow,
                       [](QColor c) { return c.red() < 100 && c.green() < 100 && c.blue() < 100; });
  }
  static int blueIn(const QImage& image, int column) {
    return countInCell(image, column, kCellTop, kCellBottom,
                       [](QColor c) { return c.blue() > 200 && c.red() < 80 && c.green() < 80; });
  }
  static int nonWhiteIn(const QImage& image, int column) {
    return countInCell(image, column, kCellTop, kCellBottom, [](QColor c) { return c != kWhite; });
  }

  QApplication& app = QtApplication::get();  // before any widget
  QuietHost host;
  NoMicrophone microphone;
  platform::FakeMidiOutStream stream;
  int posted = 0;
  MidiStreamPlayer player{stream, [this] { ++posted; }};
  Lesson lesson{host, player, microphone};
  std::vector<int> clicked;
  RecordingPanel panel{lesson, [this](int column) {
                         clicked.push_back(column);
                         lesson.NoteColumnClicked(column);
                       }};
};

TEST_F(NotePanelWidget, EveryViewDrawsBordersTicksAndGreenInTuneBands) {
  EXPECT_EQ(panel.objectName(), "PaintBox1");
  lesson.Identify1Click();
  for (NoteView view : {NoteView::Solfege, NoteView::NoteNames, NoteView::Piano}) {
    SCOPED_TRACE(static_cast<int>(view));
    useView(view);
    const QImage image = render();
    ASSERT_EQ(image.size(), QSize(kWidth, kHeight));
    for (int x : {4, 67, 697, 760}) {
      for (int y : {0, 7, 75, 151}) EXPECT_EQ(image.pixelColor(x, y), kBlack) << x;
    }
    EXPECT_EQ(image.pixelColor(3, 75), kWhite);
    EXPECT_EQ(image.pixelColor(761, 75), kWhite);
    for (int column = 0; column < 12; ++column) {
      const display::TuningScale scale =
          display::tuningScaleOf(display::layoutFor(kWidth, kHeight), column);
      for (int y : {15, 29, 122, 136}) {
        EXPECT_EQ(image.pixelColor(scale.bandLeft + 1, y), kGreen) << column;
        EXPECT_EQ(image.pixelColor(scale.bandRight - 1, y), kGreen) << column;
        EXPECT_EQ(image.pixelColor(scale.bandRight + 1, y), kWhite) << column;
        EXPECT_EQ(image.pixelColor(scale.ticks[1], y), kBlack) << column;
        EXPECT_EQ(image.pixelColor(scale.ticks[5], y), kBlack) << column;
      }
      // The marker zones hold nothing but the borders.
      EXPECT_EQ(image.pixelColor(scale.bandLeft + 1, 14), kWhite);
      EXPECT_EQ(image.pixelColor(scale.bandLeft + 1, 137), kWhite);
    }
  }
}

TEST_F(NotePanelWidget, IdentifyShowsTheLevelRedAndTheNotesAnsweredSoFarBlue) {
  lesson.mastery.IdentifyMastery95Percent = 42;  // white keys with D# and G#, two notes
  lesson.Identify1Click();
  finishPhrases();
  ASSERT_EQ(lesson.question.QuestionNoteCount, 2);
  const int first = pitchClassOf(lesson.question.QuestionNotes[0]);

  render();
  QTest::mouseClick(&panel, Qt::LeftButton, {}, QPoint(columnLeft(first) + 30, 76));
  ASSERT_EQ(lesson.question.AnswerPosition, 1);

  for (NoteView view : {NoteView::Solfege, NoteView::NoteNames}) {
    SCOPED_TRACE(static_cast<int>(view));
    useView(view);
    const QImage image = render();
    for (int column = 0; column < 12; ++column) {
      SCOPED_TRACE(column);
      const bool inLevel = column != 1 && column != 6 && column != 10;
      EXPECT_EQ(cellColour(image, column), inLevel ? kRed : kWhite);
      if (column == first) {
        EXPECT_GT(blueIn(image, column), 20);
      } else {
        EXPECT_EQ(blueIn(image, column), 0);
        EXPECT_GT(inkIn(image, column, kCellTop, kCellBottom), 20);
      }
    }
  }

  useView(NoteView::Piano);
  const QImage piano = render();
  for (int column = 0; column < 12; ++column) {
    SCOPED_TRACE(column);
    const bool inLevel = column != 1 && column != 6 && column != 10;
    // A black key outside the level shows no dot.
    EXPECT_EQ(dotColour(piano, column), column == first ? kBlue : inLevel ? kRed : kBlack);
  }
}

TEST_F(NotePanelWidget, SingShowsTheFirstNoteRedTheLevelDarkRedAndHidesTheRest) {
  lesson.Sing1Click();
  const int first = lesson.question.FirstNotePitchClass;
  const auto& level = lesson.level.ActivePitchClasses;
  ASSERT_EQ(level[first], 1);

  const QImage names = render();
  useView(NoteView::Piano);
  const QImage piano = render();
  int hidden = 0;
  for (int column = 0; column < 12; ++column) {
    SCOPED_TRACE(column);
    if (column == first) {
      EXPECT_EQ(cellColour(names, column), kRed);
      EXPECT_GT(inkIn(names, column, kCellTop, kCellBottom), 20);
      EXPECT_EQ(dotColour(piano, column), kRed);
    } else if (level[column] != 0) {
      EXPECT_EQ(cellColour(names, column), kDarkRed);
      EXPECT_EQ(dotColour(piano, column), kDarkRed);
    } else {
      ++hidden;
      EXPECT_EQ(nonWhiteIn(names, column), 0);  // no label either
      EXPECT_EQ(dotColour(piano, column), isBlackKey(column) ? kBlack : kWhite);
    }
  }
  EXPECT_GT(hidden, 0);
}

TEST_F(NotePanelWidget, UnlockRevealsTheExpectedNoteFromTheSixthTimerTick) {
  lesson.Unlock1Click();
  const int target = pitchClassOf(lesson.question.QuestionNotes[0]);
  const auto& level = lesson.level.ActivePitchClasses;
  auto expectCells = [&](const QImage& image, bool revealed) {
    for (int column = 0; column < 12; ++column) {
      SCOPED_TRACE(column);
      const QColor expected = level[column] == 0              ? kWhite
                              : !revealed || column == target ? kRed
                                                              : kDarkRed;
      EXPECT_EQ(cellColour(image, column), expected);
    }
  };

  for (int tick = 0; tick < 5; ++tick) lesson.Timer1Timer();
  expectCells(render(), false);
  lesson.Timer1Timer();
  expectCells(render(), true);
}

TEST_F(NotePanelWidget, NoteNamesStackSharpOverFlatAndCentreANaturalAlone) {
  lesson.Warmup1Click();
  useView(NoteView::NoteNames);
  const QImage image = render();
  // Two names use the upper and lower thirds of the cell; one name only the middle.
  const int upperEnd = kCellTop + 30;
  const int lowerStart = kCellBottom - 30;
  EXPECT_GT(inkIn(image, 1, kCellTop, upperEnd), 20);
  EXPECT_EQ(inkIn(image, 1, upperEnd, lowerStart), 0);
  EXPECT_GT(inkIn(image, 1, lowerStart, kCellBottom), 20);

  EXPECT_EQ(inkIn(image, 0, kCellTop, upperEnd), 0);
  EXPECT_GT(inkIn(image, 0, upperEnd, lowerStart), 20);
  EXPECT_EQ(inkIn(image, 0, lowerStart, kCellBottom), 0);

  // Practice colours nothing.
  for (int column = 0; column < 12; ++column)
    EXPECT_EQ(cellColour(image, column), kWhite) << column;
}

TEST_F(NotePanelWidget, TuningTrianglesStayThroughRepaintsUntilMovedOrErased) {
  lesson.Identify1Click();
  EXPECT_EQ(panel.markerPitchClass(), -1);

  panel.DrawTuningMarker(9, 0.5f);
  EXPECT_EQ(panel.markerPitchClass(), 9);
  EXPECT_FLOAT_EQ(panel.markerOffset(), 0.5f);
  QImage image = render();
  // Left edge 603, tip at 604 on the scales' edges.
  for (int y : {1, 5, 12}) EXPECT_EQ(image.pixelColor(604, y), kRed) << y;
  for (int y : {140, 146, 150}) EXPECT_EQ(image.pixelColor(604, y), kRed) << y;
  EXPECT_EQ(image.pixelColor(600, 5), kWhite);
  EXPECT_EQ(image.pixelColor(608, 5), kWhite);

  panel.PaintNotePanel();
  image = render();
  EXPECT_EQ(image.pixelColor(604, 5), kRed);

  panel.DrawTuningMarker(2, 0.5f);  // left edge 2 * 63 + 4 + 31.5 + 1 = 162
  image = render();
  EXPECT_EQ(image.pixelColor(604, 5), kWhite);
  EXPECT_EQ(image.pixelColor(163, 5), kRed);
  EXPECT_EQ(image.pixelColor(163, 146), kRed);

  panel.DrawTuningMarker(-1, -1.0f);
  EXPECT_EQ(panel.markerPitchClass(), -1);
  image = render();
  EXPECT_EQ(image.pixelColor(163, 5), kWhite);
  EXPECT_EQ(image.pixelColor(163, 146), kWhite);
}

TEST_F(NotePanelWidget, MovingTheMarkerRepaintsOnlyAroundTheOldAndNewTriangles) {
  lesson.Identify1Click();
  panel.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel));
  auto settle = [&] {
    panel.painted = QRegion();
    QApplication::processEvents();
  };
  settle();

  panel.DrawTuningMarker(9, 0.5f);
  settle();
  EXPECT_TRUE(panel.painted.contains(QRect(603, 1, 3, 15)));
  EXPECT_TRUE(panel.painted.contains(QRect(603, 136, 3, 15)));
  EXPECT_LT(panel.painted.boundingRect().width(), 10);

  panel.painted = QRegion();
  panel.DrawTuningMarker(2, 0.5f);
  QApplication::processEvents();
  EXPECT_TRUE(panel.painted.contains(QRect(603, 1, 3, 15)));
  EXPECT_TRUE(panel.painted.contains(QRect(162, 1, 3, 15)));
  EXPECT_FALSE(panel.painted.contains(QPoint(380, 76)));

  panel.painted = QRegion();
  panel.DrawTuningMarker(2, 0.5f);
  QApplication::processEvents();
  EXPECT_TRUE(panel.painted.isEmpty());
}

TEST_F(NotePanelWidget, ClicksAreMappedWithTheLayoutOfTheLastPaint) {
  lesson.Warmup1Click();
  render();
  for (int x : {2, 70, 759, 762}) QTest::mouseClick(&panel, Qt::LeftButton, {}, QPoint(x, 76));
  EXPECT_EQ(clicked, (std::vector<int>{1, 11}));

  // A wider panel is clicked as it was last painted.
  clicked.clear();
  panel.resize(1200, kHeight);
  QTest::mouseClick(&panel, Qt::LeftButton, {}, QPoint(900, 76));
  render();
  QTest::mouseClick(&panel, Qt::LeftButton, {}, QPoint(900, 76));
  EXPECT_EQ(clicked, (std::vector<int>{9}));
}

}  // namespace
}  // namespace auralis
