#include <QDir>
#include <QFontMetrics>
#include <QStatusBar>

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

// A settings file that cannot be read and a damaged history: both are told at start, and every
// panel keeps its whole text all the while.
TEST_F(StatusBar, NoticesLeaveEveryPanelWhole) {
  ASSERT_TRUE(QDir().mkpath(storeFile()));
  const QString history = dataDir.path() + "/Auralis/history.sqlite";
  ASSERT_TRUE(QDir().mkpath(dataDir.path() + "/Auralis"));
  ASSERT_TRUE(writeFile(history, QByteArray(4096, 'x')));
  StandardErrorCapture errors;
  TForm1& window = open();
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  window.history().store().flush();
  QCoreApplication::sendPostedEvents();
  type("i");
  finishPhrases();
  QTest::qWait(50);

  const StatusPanels& panels = window.statusPanels();
  EXPECT_EQ(window.statusBar()->currentMessage(), "") << "nothing over the panels";
  for (int i = 0; i < 5; ++i) {
    const QLabel* label = panels.panel(i);
    EXPECT_TRUE(label->isVisible()) << i;
    EXPECT_GE(label->contentsRect().width(),
              QFontMetrics(label->font()).horizontalAdvance(label->text()))
        << i << ": " << label->text().toStdString();
  }

  // Both notices, whole, above the status bar, until dismissed.
  NoticeLine* line = window.noticeLine();
  ASSERT_TRUE(line->isVisible());
  ASSERT_EQ(line->notices().size(), 2);
  EXPECT_TRUE(line->notices()[0].startsWith("Settings not read: " + storeFile()));
  const QStringList aside =
      QDir(dataDir.path() + "/Auralis").entryList({"history.sqlite.corrupt-*"}, QDir::Files);
  ASSERT_EQ(aside.size(), 1);
  EXPECT_TRUE(line->notices()[1].contains(aside[0])) << line->notices()[1].toStdString();
  EXPECT_TRUE(line->textLabel()->text().contains(aside[0])) << "the file name shows whole";
  EXPECT_EQ(line->textLabel()->toolTip(), line->wholeText());
  EXPECT_LE(line->geometry().bottom(), window.statusBar()->geometry().top());
  EXPECT_FALSE(line->iconLabel()->pixmap().isNull()) << "the warning sign shows with the notice";
  EXPECT_FALSE(line->dismissButton()->icon().isNull());
  line->dismissButton()->click();
  EXPECT_FALSE(line->isVisible());
  EXPECT_TRUE(line->notices().isEmpty());
}

TEST(NoticeWords, AWordTooWideIsShortenedInItsMiddleAndTheRestStays) {
  const QFontMetrics metrics{QFont()};
  const QString path = "/home/someone/.local/share/Auralis/history.sqlite.corrupt-20250101-120000";
  const int room = metrics.horizontalAdvance(path) / 2;
  const QString shown = withLongWordsElided("Moved to " + path + " today", metrics, room);
  EXPECT_TRUE(shown.startsWith("Moved to /home")) << shown.toStdString();
  EXPECT_TRUE(shown.endsWith("120000 today")) << shown.toStdString();
  EXPECT_TRUE(shown.contains(QChar(0x2026)));
  for (const QString& word : shown.split(' '))
    EXPECT_LE(metrics.horizontalAdvance(word), room) << word.toStdString();
  EXPECT_EQ(withLongWordsElided("Moved to " + path, metrics, 4 * room), "Moved to " + path);
}

}  // namespace
}  // namespace auralis::testing
