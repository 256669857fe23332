// The keyboard as a user meets it: keys go through the window system to whatever has the focus,
// menus open and close by Alt letters, the mouse and Escape, and the lesson's letters must reach
// the lesson whenever no menu is open.

#include <QApplication>
#include <QMenuBar>
#include <array>

#include "tests/app/WindowFixture.h"

namespace auralis::testing {
namespace {

class Keyboard : public WindowTest {
 protected:
  TForm1& openActive() {
    TForm1& window = open();
    window.show();
    window.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
    window.FormActivate();
    return window;
  }
  // As the keyboard does: to the window, which hands the key to its focus or its open menu.
  void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(form->windowHandle(), key, modifiers);
    QCoreApplication::processEvents();
  }
  void press(char letter) {
    QTest::keyClick(form->windowHandle(), letter);
    QCoreApplication::processEvents();
  }
  void clickMenuTitle(QMenu* menu) {
    QMenuBar* bar = menus().MainMenu1;
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(menu->menuAction()).center());
    QCoreApplication::processEvents();
  }
  static QWidget* openMenu() { return QApplication::activePopupWidget(); }
};

TEST_F(Keyboard, AfterAMenuClosesWithEscapeTheLettersReachTheLesson) {
  openActive();
  struct Way {
    const char* name;
    QMenu* MainMenu::*menu;
    bool byMouse;  // else by its Alt letter
  };
  const std::array ways = {
      Way{"Alt+V", &MainMenu::mnuView, false}, Way{"View by mouse", &MainMenu::mnuView, true},
      Way{"Alt+F", &MainMenu::mnuFile, false}, Way{"Lesson by mouse", &MainMenu::mnuLesson, true},
      Way{"Alt+M", &MainMenu::mnuMIDI, false}, Way{"Alt+V", &MainMenu::mnuView, false}};
  for (const Way& way : ways) {
    menus().Identify1->trigger();
    finishPhrases();
    QMenu* menu = menus().*way.menu;
    if (way.byMouse) {
      clickMenuTitle(menu);
    } else {
      const QString title = menu->title();
      const QChar letter = title.at(title.indexOf(QLatin1Char('&')) + 1).toUpper();
      press(static_cast<Qt::Key>(letter.unicode()), Qt::AltModifier);
    }
    ASSERT_EQ(openMenu(), menu) << way.name;
    press(Qt::Key_Escape);
    ASSERT_EQ(openMenu(), nullptr) << way.name;

    const std::size_t played = sounds.played.size();
    press('f');
    EXPECT_EQ(openMenu(), nullptr) << way.name << ": f opened a menu";
    EXPECT_EQ(sounds.played.size(), played + 1) << way.name << ": f was not judged";
    press('m');
    EXPECT_EQ(openMenu(), nullptr) << way.name << ": m opened a menu";
    EXPECT_EQ(lesson().lessonMode, LessonMode::Mimic) << way.name;
    if (QWidget* open = openMenu()) open->close();
  }
}

TEST_F(Keyboard, AMenuChosenByKeysRunsItsItemAndGivesTheLettersBack) {
  openActive();
  menus().Identify1->trigger();
  finishPhrases();
  // Alt+L, then the item's own letter.
  press(Qt::Key_L, Qt::AltModifier);
  ASSERT_EQ(openMenu(), menus().mnuLesson);
  press('m');
  EXPECT_EQ(openMenu(), nullptr);
  EXPECT_EQ(lesson().lessonMode, LessonMode::Mimic);
  press('i');
  EXPECT_EQ(lesson().lessonMode, LessonMode::Identify) << "i reaches the lesson again";
}

TEST_F(Keyboard, EveryMenuOpensByItsAltLetterWhichNoAnswerKeyUses) {
  openActive();
  const std::string answerKeys = "cdefgabrw0iumstp";
  for (QMenu* menu : {menus().mnuFile, menus().mnuLesson, menus().mnuView, menus().mnuMIDI,
                      menus().mnuMicrophone, menus().mnuHelp}) {
    const QString title = menu->title();
    const qsizetype mark = title.indexOf(QLatin1Char('&'));
    ASSERT_GE(mark, 0) << title.toStdString() << " has no Alt letter";
    const QChar letter = title.at(mark + 1).toLower();
    press(static_cast<Qt::Key>(letter.toUpper().unicode()), Qt::AltModifier);
    EXPECT_EQ(openMenu(), menu) << title.toStdString();
    press(Qt::Key_Escape);
    ASSERT_EQ(openMenu(), nullptr);
    // File, Lesson, View and MIDI keep the letters they have always had.
    if (menu == menus().mnuMicrophone || menu == menus().mnuHelp) {
      EXPECT_EQ(answerKeys.find(static_cast<char>(letter.unicode())), std::string::npos)
          << title.toStdString();
    }
  }
}

TEST_F(Keyboard, EveryVisibleLessonItemHasItsOwnLetterInItsMenu) {
  open();
  std::vector<QChar> letters;
  for (const QAction* item : menus().mnuLesson->actions()) {
    if (item->isSeparator() || !item->isVisible()) continue;
    const qsizetype mark = item->text().indexOf(QLatin1Char('&'));
    ASSERT_GE(mark, 0) << item->text().toStdString() << " has no letter";
    const QChar letter = item->text().at(mark + 1).toLower();
    EXPECT_EQ(std::count(letters.begin(), letters.end(), letter), 0) << item->text().toStdString();
    letters.push_back(letter);
  }
}

TEST_F(Keyboard, F1OpensTheHelpPage) {
  openActive();
  press(Qt::Key_F1);
  ASSERT_EQ(documents.opened.size(), 1U);
  EXPECT_EQ(documents.opened.front(), QString::fromLatin1(kHelpPageFileName));
}

}  // namespace
}  // namespace auralis::testing
