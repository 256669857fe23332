#include <QFontMetrics>
#include <QHelpEvent>
#include <QStatusTipEvent>
#include <QToolTip>
#include <array>
#include <functional>

#include "tests/app/WindowFixture.h"

namespace auralis::testing {
namespace {

using Tips = WindowTest;

// Every item of the menu tree, submenus' own entries included, in menu order.
void forEachMenuItem(const QMenu* menu, const std::function<void(QAction*)>& visit) {
  for (QAction* action : menu->actions()) {
    if (action->isSeparator()) continue;
    visit(action);
    if (action->menu() != nullptr) forEachMenuItem(action->menu(), visit);
  }
}

std::vector<QAction*> menuItems(const MainMenu& menus) {
  std::vector<QAction*> items;
  for (QAction* top : menus.MainMenu1->actions()) {
    items.push_back(top);
    forEachMenuItem(top->menu(), [&](QAction* item) { items.push_back(item); });
  }
  return items;
}

QString nameOf(const QAction* item) {
  return item->objectName().isEmpty() ? item->text() : item->objectName();
}

// The options that only carry a check mark are never shown; Unlock and Meditate are hidden too,
// but their keys still switch to them.
bool everShown(const MainMenu& menus, const QAction* item) {
  for (LessonItem lesson : kLessonItems)
    if (menus.lessonAction(lesson) == item) return true;
  return item->isVisible();
}

int textWidth(const QWidget* widget, const QString& text) {
  return QFontMetrics(widget->font()).horizontalAdvance(text);
}

TEST_F(Tips, EveryMenuItemAndToolButtonSaysWhatItDoesWithinTheStatusBar) {
  // A device menu with devices, and two with "None detected" alone.
  soundInput.devices = {"USB & Co Microphone"};
  AbsentMidiOut noOutput;
  TForm1& window = open(noOutput);
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

  std::vector<QString> tips;
  for (QAction* item : menuItems(menus())) {
    if (!everShown(menus(), item)) continue;
    EXPECT_FALSE(item->statusTip().isEmpty()) << nameOf(item).toStdString();
    tips.push_back(item->statusTip());
  }
  EXPECT_GT(tips.size(), 55u) << "device, channel and volume items included";
  const ToolBar& bar = window.toolBar();
  for (QToolButton* button : bar.ToolBar1->findChildren<QToolButton*>()) {
    EXPECT_FALSE(button->statusTip().isEmpty()) << button->objectName().toStdString();
    tips.push_back(button->statusTip());
  }
  EXPECT_EQ(bar.toolButtonMimic->statusTip(), menus().MimicSing1->statusTip());
  EXPECT_EQ(deviceItemsOf(menus().Microphone1).back()->statusTip(),
            "Sing into USB & Co Microphone");
  EXPECT_EQ(menus().MIDIOut1->actions().front()->statusTip(), "No MIDI output was found");

  // At the smallest window, beside the widest text panel 2 shows.
  const StatusPanels& panels = window.statusPanels();
  for (const QString& tip : tips) {
    QStatusTipEvent shown(tip);
    QCoreApplication::sendEvent(&window, &shown);
    QCoreApplication::processEvents();
    EXPECT_LE(textWidth(panels.statusTip(), tip), panels.statusTip()->contentsRect().width())
        << tip.toStdString();
  }
}

TEST_F(Tips, AStatusTipTakesTheScoresPlaceWhileThePartsGoOnWritingThePanels) {
  TForm1& window = open();
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  storeValue("IdentifyMastery95Percent", 0);
  type("i");
  finishPhrases();
  const StatusPanels& panels = window.statusPanels();
  const QString scores = panel(4);
  const QString microphone = panel(1);

  QToolButton* mimic = window.toolBar().toolButtonMimic;
  QTest::mouseMove(mimic, mimic->rect().center());
  QCoreApplication::processEvents();
  ASSERT_TRUE(panels.statusTip()->isVisible()) << "hovering a tool button shows its tip";
  EXPECT_EQ(panels.statusTip()->text(), mimic->statusTip());
  EXPECT_TRUE(window.statusBar()->currentMessage().isEmpty()) << "nothing covers the bar";
  EXPECT_FALSE(panels.panel(4)->isVisible());
  EXPECT_EQ(panel(4), scores);

  // The clocks tick and a wrong answer is scored while the tip shows.
  lesson().Timer1Timer();
  type(lesson().question.QuestionNotes[0] % 12 == 0 ? "e" : "c");
  finishPhrases();
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(panels.panel(i)->isVisible()) << i;
  EXPECT_EQ(panel(0), "0:00 / 0:00 / 0:01");
  EXPECT_EQ(panel(1), microphone);
  EXPECT_EQ(panel(2), "1 of 67");
  EXPECT_EQ(panel(3), "1 / 1 / 1");
  const QString scored = panel(4);
  EXPECT_TRUE(scored.startsWith("0/1 this level")) << scored.toStdString();

  QTest::mouseMove(window.notePanel(), window.notePanel()->rect().center());
  QCoreApplication::processEvents();
  EXPECT_FALSE(panels.statusTip()->isVisible());
  EXPECT_TRUE(panels.panel(4)->isVisible());
  EXPECT_EQ(panel(4), scored);
}

// The Statistics button opens a window over the main one: the button never hears that the
// pointer has left it, and its tip must go all the same.
TEST_F(Tips, ATipGoesWhenAnotherWindowTakesOver) {
  TForm1& window = open();
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  const StatusPanels& panels = window.statusPanels();
  QToolButton* statistics = window.history().toolButtonStatistics;
  QTest::mouseMove(statistics, statistics->rect().center());
  QCoreApplication::processEvents();
  ASSERT_TRUE(panels.statusTip()->isVisible());

  QTest::mouseClick(statistics, Qt::LeftButton);
  ASSERT_NE(window.history().statisticsWindow(), nullptr);
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.history().statisticsWindow()));
  QTest::qWait(400);
  EXPECT_FALSE(panels.statusTip()->isVisible()) << panels.statusTip()->text().toStdString();
  EXPECT_TRUE(panels.panel(4)->isVisible());
  window.history().statisticsWindow()->close();
}

TEST_F(Tips, AMenuItemsTipGoesWithItsMenu) {
  TForm1& window = open();
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  const StatusPanels& panels = window.statusPanels();
  QMenu* lessons = menus().mnuLesson;
  QMenuBar* bar = menus().MainMenu1;
  QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(lessons->menuAction()).center());
  ASSERT_TRUE(QTest::qWaitForWindowExposed(lessons));
  QTest::mouseMove(lessons, lessons->actionGeometry(menus().Levelup1).center());
  QCoreApplication::processEvents();
  EXPECT_TRUE(panels.statusTip()->isVisible());
  EXPECT_EQ(panels.statusTip()->text(), menus().Levelup1->statusTip());

  lessons->hide();
  QCoreApplication::processEvents();
  EXPECT_FALSE(panels.statusTip()->isVisible()) << panels.statusTip()->text().toStdString();
  EXPECT_TRUE(panels.panel(4)->isVisible());
  EXPECT_EQ(panel(4), "0/0 this level (0.0%);  0 in a row (0 highest);  0/0 total (0.0%)");
}

TEST_F(Tips, EachPanelSaysWhatItShowsAndTheMasteryPanelFollowsItsLesson) {
  TForm1& window = open();
  const StatusPanels& panels = window.statusPanels();
  for (int i = 0; i < 5; ++i) EXPECT_FALSE(panels.panel(i)->toolTip().isEmpty()) << i;
  EXPECT_TRUE(panels.panel(0)->toolTip().contains("time at this level"));

  struct Case {
    const char* key;
    const char* mastery;
    const char* toolTip;
  };
  const std::array cases = {
      Case{"i", "1 / 1 / 1", "Levels mastered: with 95% right / with all right / within a minute"},
      Case{"m", "1 / 1", "Levels mastered: with 95% right / within a minute"},
      Case{"s", "1 / 1", "Levels mastered: with 95% right / within a minute"},
      Case{"u", "1", "Level mastered within a minute"},
      Case{"t", "", "Levels mastered in the lesson; none in this one"},
  };
  for (const Case& c : cases) {
    type(c.key);
    finishPhrases();
    EXPECT_EQ(panel(3), c.mastery) << c.key;
    EXPECT_EQ(panels.panel(3)->toolTip(), c.toolTip) << c.key;
  }
}

TEST_F(Tips, TheNotePanelNamesTheKeyOfTheColumnUnderTheMouseInEachView) {
  TForm1& window = open();
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  NotePanel* notes = window.notePanel();
  const display::NotePanelLayout layout = display::layoutFor(notes->width(), notes->height());
  auto centreOf = [&](int column) { return layout.columnLeft(column) + layout.columnWidth / 2; };

  struct Case {
    QAction* view;
    int column;
    const char* tip;
  };
  const std::array cases = {
      Case{menus().Solfege1, 0, "DO \u2014 key c"},
      Case{menus().Solfege1, 1, "DI / RA \u2014 key C (Shift+c)"},
      Case{menus().Solfege1, 4, "MI \u2014 key e"},
      Case{menus().Solfege1, 10, "LI / TE \u2014 key A (Shift+a)"},
      Case{menus().Solfege1, 11, "TI \u2014 key b"},
      Case{menus().Notes1, 0, "C \u2014 key c"},
      Case{menus().Notes1, 3, "D# / Eb \u2014 key D (Shift+d)"},
      Case{menus().Notes1, 7, "G \u2014 key g"},
      Case{menus().Piano1, 6, "F# / Gb \u2014 key F (Shift+f)"},
      Case{menus().Piano1, 9, "A \u2014 key a"},
  };
  for (const Case& c : cases) {
    c.view->trigger();
    EXPECT_EQ(notes->toolTipAt(centreOf(c.column)), QString::fromUtf8(c.tip))
        << c.view->objectName().toStdString() << " " << c.column;
  }
  EXPECT_EQ(notes->toolTipAt(layout.leftMargin - 1), "") << "the margin answers nothing";

  // Every column names the letter a click on it answers with.
  for (int column = 0; column < 12; ++column) {
    const QString key = QStringLiteral(" \u2014 key ") + QChar::fromLatin1(NoteLetters[column]);
    EXPECT_TRUE(notes->toolTipAt(centreOf(column)).contains(key)) << column;
  }

  // The tip the window shows when the mouse rests over a column.
  menus().Solfege1->trigger();
  const QPoint over(centreOf(2), notes->height() / 2);
  QHelpEvent rest(QEvent::ToolTip, over, notes->mapToGlobal(over));
  QCoreApplication::sendEvent(notes, &rest);
  EXPECT_EQ(QToolTip::text(), QString::fromUtf8("RE \u2014 key d"));
  QToolTip::hideText();

  // In the lessons answered by singing, keys and clicks do not answer.
  type("m");
  finishPhrases();
  EXPECT_EQ(notes->toolTipAt(centreOf(2)), QString::fromUtf8("RE \u2014 sing it"));
}

TEST_F(Tips, CtrlQQuitsBesideCtrlX) {
  TForm1& window = open();
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  EXPECT_TRUE(menus().Quit1->shortcuts().contains(QKeySequence(Qt::CTRL | Qt::Key_X)));
  QTest::keyClick(&window, Qt::Key_Q, Qt::ControlModifier);
  EXPECT_FALSE(window.isVisible());
}

}  // namespace
}  // namespace auralis::testing
