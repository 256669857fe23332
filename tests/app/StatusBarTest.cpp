#include <QFontMetrics>

#include "tests/app/WindowFixture.h"

namespace auralis::testing {
namespace {

using StatusBar = WindowTest;

int textWidth(const StatusPanels& panels, int panel) {
  return QFontMetrics(panels.bar()->font()).horizontalAdvance(panels.text(panel));
}

TEST_F(StatusBar, PanelsFollowTheirTextsAndTheLastTakesTheRest) {
  TForm1& window = open();
  window.show();
  type("i");
  QCoreApplication::processEvents();
  const StatusPanels& panels = window.statusPanels();
  EXPECT_EQ(panels.bar()->height(), 19);
  EXPECT_EQ(panels.panel(0)->width(), 65) << "until the first tick";
  EXPECT_EQ(panels.panel(1)->width(), 70);
  for (int panel : {2, 3})
    EXPECT_EQ(panels.panel(panel)->width(), textWidth(panels, panel) + 20) << panel;
  EXPECT_EQ(panel(2), "1 of 67");
  EXPECT_EQ(panel(3), "1 / 1 / 1");
  for (int panel = 0; panel < 5; ++panel)
    EXPECT_EQ(panels.panel(panel)->alignment(), Qt::AlignCenter) << panel;

  QLabel* last = panels.panel(4);
  const int right = last->mapTo(panels.bar(), QPoint(last->width(), 0)).x();
  EXPECT_GE(right, panels.bar()->width() - 8) << "the score panel reaches the right end";
  EXPECT_GT(last->width(), 400);

  // A longer text widens its panel at once.
  type("0");
  type("p");
  EXPECT_EQ(panel(2), "Practice singing (no questions)");
  EXPECT_EQ(panels.panel(2)->width(), textWidth(panels, 2) + 20);
}

TEST_F(StatusBar, TheTimerAdvancesTheClocksEverySecond) {
  TForm1& window = open();
  window.show();
  EXPECT_EQ(panel(0), "0:00 / 0:00");
  QTest::qWait(1100);
  EXPECT_EQ(panel(0), "0:00 / 0:00 / 0:01");
  EXPECT_EQ(window.statusPanels().panel(0)->width(), textWidth(window.statusPanels(), 0) + 20);
}

}  // namespace
}  // namespace auralis::testing
