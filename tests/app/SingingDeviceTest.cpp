#include <QSqlDatabase>
#include <QSqlQuery>
#include <algorithm>

#include "app/CommandLine.h"

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

// As `auralis --lesson intervals` starts: the first question is an interval to sing. A note sung
// in tune is right, one a semitone off is wrong, and both are kept with the task and the cents.
TEST_F(SingingDeviceTest, TheIntervalsLessonOfTheCommandLineJudgesAndKeepsSungNotes) {
  const platform::testing::ScopedEnvironment data(
      "XDG_DATA_HOME", QFile::encodeName(configDir->path() + "/data").toStdString());
  const CommandLine line = parseCommandLine({"auralis", "--lesson", "intervals"});
  ASSERT_TRUE(line.lesson.has_value());
  open(platform::FluidSynthMidiOut::standardSoundFonts(),
       [&](TForm1& window) { window.setFirstLesson(*line.lesson); });
  const ExerciseLesson& exercise = form->core().exercise();
  ASSERT_TRUE(waitFor([&] { return exercise.active(); }, 3s));
  ASSERT_EQ(panel(1), "Mic ON");
  ASSERT_TRUE(waitUntilQuiet(5s)) << "the reference note ends";
  const ExerciseQuestion first = exercise.question();
  ASSERT_EQ(first.direction, ExerciseDirection::Sing);
  EXPECT_TRUE(form->instructionLine()->text().startsWith("Sing a"));

  sing(noteFrequency(first.targetNote));
  ASSERT_TRUE(waitFor([&] { return panel(4).startsWith("1/1 this level"); }, 6s))
      << panel(4).toStdString();
  sing(0);
  EXPECT_EQ(sounds->heard().back(), FeedbackSound::Correct);

  keepRunning(300ms);  // the sung note ends before the next question
  ASSERT_TRUE(waitUntilQuiet(5s));
  const ExerciseQuestion second = exercise.question();
  sounds->clearHeard();
  sing(noteFrequency(second.targetNote + 1));
  ASSERT_TRUE(waitFor([&] { return panel(4).startsWith("1/2 this level"); }, 6s))
      << panel(4).toStdString();
  sing(0);
  EXPECT_EQ(sounds->heard(), std::vector<FeedbackSound>{FeedbackSound::Incorrect});
  closeWindow();

  const QString connection = QStringLiteral("intervals-sung");
  {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
    db.setDatabaseName(configDir->path() + "/data/Auralis/history.sqlite");
    ASSERT_TRUE(db.open());
    QSqlQuery rows(db);
    ASSERT_TRUE(
        rows.exec("SELECT question, correct, source, cents FROM answers"
                  " WHERE lesson = 'intervals' ORDER BY id"));
    std::vector<std::tuple<std::string, int, std::string, bool>> kept;
    while (rows.next())
      kept.emplace_back(rows.value(0).toString().toStdString(), rows.value(1).toInt(),
                        rows.value(2).toString().toStdString(), !rows.value(3).isNull());
    const std::vector<std::tuple<std::string, int, std::string, bool>> expected = {
        {first.task, 1, "sung", true}, {second.task, 0, "sung", true}};
    EXPECT_EQ(kept, expected);
  }
  QSqlDatabase::removeDatabase(connection);
}

}  // namespace
}  // namespace auralis::testing
