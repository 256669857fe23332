#include <algorithm>

#include "tests/app/DeviceWindow.h"

namespace auralis::testing {
namespace {

using namespace std::chrono_literals;
using platform::testing::noteFrequency;

using SingingDeviceTest = DeviceWindowTest;

TEST_F(SingingDeviceTest, ASungQuestionNoteIsRightAndAnotherNoteOfTheLevelWrong) {
  TForm1& window = open();
  type("m");
  ASSERT_EQ(panel(1), "Mic ON");
  ASSERT_TRUE(waitUntilQuiet(3s)) << "the question ends";
  ASSERT_EQ(lesson().question.QuestionNoteCount, 1) << "the first level asks single notes";
  const int asked = lesson().question.QuestionNotes[0];

  std::vector<QString> readouts;
  auto watch = [&](const char* score) {
    return [&, score] {
      readouts.push_back(panel(1));
      return panel(4).startsWith(QString::fromLatin1(score));
    };
  };
  sing(noteFrequency(asked));
  ASSERT_TRUE(waitFor(watch("1/1 this level"), 5s)) << panel(4).toStdString();
  sing(0);
  EXPECT_NE(std::find(readouts.begin(), readouts.end(), readoutOf(window, asked)), readouts.end())
      << "the readout showed the sung note's frequency";
  ASSERT_FALSE(sounds->heard().empty());
  EXPECT_EQ(sounds->heard().back(), FeedbackSound::Correct);

  // The next question follows at once. The first level asks C or E; the other one is wrong.
  ASSERT_TRUE(waitUntilQuiet(3s));
  const int next = lesson().question.QuestionNotes[0];
  const int wrong = 60 + (pitchClassOf(next) == 0 ? 4 : 0);
  sounds->clearHeard();
  sing(noteFrequency(wrong));
  ASSERT_TRUE(waitFor(watch("1/2 this level"), 5s)) << panel(4).toStdString();
  sing(0);
  EXPECT_EQ(sounds->heard(), std::vector<FeedbackSound>{FeedbackSound::Incorrect});
  EXPECT_EQ(lesson().question.QuestionNotes[0], next) << "the same question stays";
}

}  // namespace
}  // namespace auralis::testing
