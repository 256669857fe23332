#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <algorithm>
#include <random>

#include "tests/app/WindowFixture.h"

namespace auralis::testing {
namespace {

constexpr std::string_view kAnswerKeys = "cCdDefFgGaAbrw0123456789 xyz";
constexpr std::string_view kModeKeys = "pimsut";

class Monkey : public WindowTest {
 protected:
  void SetUp() override {
    midiInput.devices = {"Keys"};
    midiOut.devices = {"Synth"};
    soundInput.devices = {"Headset"};
    TForm1& window = open();
    window.show();
    window.FormActivate();
    QCoreApplication::processEvents();
    // Quitting ends the run, and the export asks for a file in a dialog of its own.
    const QAction* left[] = {menus().Quit1, window.history().ExportHistory1};
    for (QAction* action : window.findChildren<QAction*>())
      if (std::find(std::begin(left), std::end(left), action) == std::end(left) &&
          !action->menu() && !action->isSeparator())
        actions.push_back(action);
    // A command that asks first gets any of its answers.
    QObject::connect(&answerer, &QTimer::timeout, [this] {
      if (auto* question = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        const QList<QAbstractButton*> answers = question->buttons();
        answers[pick(static_cast<int>(answers.size()))]->click();
      }
    });
    answerer.start(1);
  }

  void randomEvent(bool modeKeys) {
    TForm1& window = *form;
    switch (pick(8)) {
      case 0:
      case 1: {
        const std::string_view keys = modeKeys && pick(4) == 0 ? kModeKeys : kAnswerKeys;
        QTest::keyClick(window.notePanel(), keys[pick(static_cast<int>(keys.size()))]);
        break;
      }
      case 2:
        QTest::keyClick(window.notePanel(), Qt::Key_Escape);
        break;
      case 3: {
        // Anywhere below the menu bar: tool bar, instruction line, note panel, status bar.
        QWidget* central = window.centralWidget();
        const QPoint at(pick(window.width()), central->y() + pick(window.height() - central->y()));
        QWidget* target = window.childAt(at);
        if (target == nullptr) target = &window;
        QTest::mouseClick(target, Qt::LeftButton, {}, target->mapFrom(&window, at));
        break;
      }
      case 4: {
        QAction* action = actions[pick(static_cast<int>(actions.size()))];
        const bool isModeItem = action->actionGroup() == menus().Identify1->actionGroup();
        if (modeKeys || !isModeItem) action->trigger();
        break;
      }
      case 5:
        midiOut.completePhrase();
        break;
      case 6:
        midiInput.noteOn(30 + pick(70), 1 + pick(126), pick(16));
        break;
      case 7:
        lesson().Timer1Timer();
        break;
    }
    deliverNotices();
  }

  void checkInvariants(int step) {
    const Lesson& l = form->lesson();
    const auto mode = static_cast<int>(l.lessonMode);
    ASSERT_TRUE(mode >= 0 && mode <= 5) << "step " << step;
    int checkedItems = 0;
    for (QAction* item : menus().Identify1->actionGroup()->actions())
      checkedItems += item->isChecked() ? 1 : 0;
    ASSERT_EQ(checkedItems, 1) << "step " << step;
    // An exercise runs over Practice Singing, its own item checked in the lessons' place.
    const ExerciseLesson& exercise = form->core().exercise();
    if (exercise.active())
      ASSERT_TRUE(form->exercises().item(exercise.exercise())->isChecked()) << "step " << step;
    else
      ASSERT_TRUE(menus().lessonAction(l.menus.checkedLesson)->isChecked()) << "step " << step;
    ASSERT_TRUE(form->toolBar().lessonButton(l.menus.checkedLesson)->isChecked())
        << "step " << step;
    ASSERT_EQ(l.menus.Solfege1, menus().Solfege1->isChecked()) << "step " << step;
    ASSERT_EQ(l.menus.Piano1, menus().Piano1->isChecked()) << "step " << step;
    // The next answer always refers to a note of the question's arrays.
    ASSERT_GE(l.question.AnswerPosition, 0);
    ASSERT_LT(l.question.AnswerPosition, static_cast<int>(l.question.QuestionNotes.size()))
        << "step " << step;
    ASSERT_GE(l.level.currentLevel, 0);
    ASSERT_FALSE(panel(4).isEmpty()) << "step " << step;
  }

  int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); }

  std::mt19937 random{1234567};
  std::vector<QAction*> actions;
  QTimer answerer;
};

TEST_F(Monkey, EveryKeyClickAndCommandInEveryModeKeepsTheWindowWhole) {
  for (char mode : kModeKeys) {
    QTest::keyClick(form->notePanel(), mode);
    for (int step = 0; step < 800; ++step) {
      randomEvent(false);
      checkInvariants(step);
      if (HasFatalFailure()) return;
    }
  }
  for (int step = 0; step < 3000; ++step) {
    randomEvent(true);
    checkInvariants(step);
    if (HasFatalFailure()) return;
  }
  form->repaint();
  closeWindow();
  EXPECT_TRUE(store()->contains("Solfege1")) << "the run ended with its settings saved";
}

}  // namespace
}  // namespace auralis::testing
