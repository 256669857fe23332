#include <QPushButton>
#include <array>

#include "app/MasteryReset.h"
#include "tests/app/EventLoopProbes.h"
#include "tests/app/WindowFixture.h"

namespace auralis::testing {
namespace {

using MasteryReset = WindowTest;

const Mastery kReached = {4, 4, 4, 4, 4, 4, 4, 4, 4};
const Mastery kAfterReset = {0, 0, 0, 4, 4, 0, 0, 0, 0};  // Mimic keeps its two

TEST_F(MasteryReset, OnlyAnsweringResetResetsTheLevels) {
  struct Case {
    const char* answer;
    std::function<void(QMessageBox&)> give;
    Mastery after;
  };
  const std::array cases = {
      Case{"Escape", [](QMessageBox& q) { QTest::keyClick(&q, Qt::Key_Escape); }, kReached},
      Case{"Return, the default button",
           [](QMessageBox& q) { QTest::keyClick(&q, Qt::Key_Return); }, kReached},
      Case{"Cancel", [](QMessageBox& q) { q.button(QMessageBox::Cancel)->click(); }, kReached},
      Case{"closing the question", [](QMessageBox& q) { q.close(); }, kReached},
      Case{"Reset", [](QMessageBox& q) { q.button(QMessageBox::Reset)->click(); }, kAfterReset},
  };
  for (const Case& c : cases) {
    TForm1& window = open();
    window.show();
    window.FormActivate();
    lesson().mastery = kReached;
    type("i");
    const int level = lesson().level.currentLevel;
    QString text;
    const AnswerWhenAsked answer([&](QMessageBox& question) {
      text = question.text();
      EXPECT_EQ(question.defaultButton(), question.button(QMessageBox::Cancel)) << c.answer;
      EXPECT_EQ(question.escapeButton(), question.button(QMessageBox::Cancel)) << c.answer;
      c.give(question);
    });
    const Heartbeat heartbeat;
    menus().ResetCorvinmasterylevel1->trigger();
    ASSERT_TRUE(answer.asked()) << c.answer;
    EXPECT_EQ(text, kMasteryResetQuestion) << c.answer;
    EXPECT_EQ(lesson().mastery, c.after) << c.answer;
    EXPECT_EQ(lesson().level.currentLevel, level) << c.answer << ": the level stays";
    heartbeat.report("reset_question_gap_ms");
    closeWindow();
  }
}

}  // namespace
}  // namespace auralis::testing
