#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>

#include "app/CommandLine.h"

namespace auralis::testing {
namespace {

using Action = CommandLine::Action;

TEST(CommandLine, NamesEveryLessonAndRefusesWhatItDoesNotKnow) {
  struct Case {
    QStringList arguments;
    Action action;
    std::optional<StartLesson> lesson;
  };
  const Case cases[] = {
      {{}, Action::Run, std::nullopt},
      {{"--lesson", "practice"}, Action::Run, LessonItem::Warmup1},
      {{"--lesson", "identify"}, Action::Run, LessonItem::Identify1},
      {{"--lesson", "mimic"}, Action::Run, LessonItem::MimicSing1},
      {{"--lesson", "sing"}, Action::Run, LessonItem::Sing1},
      {{"--lesson", "unlock"}, Action::Run, LessonItem::Unlock1},
      {{"--lesson", "meditate"}, Action::Run, LessonItem::Meditate1},
      {{"--lesson", "intervals"}, Action::Run, Exercise::Intervals},
      {{"--lesson=scale-degrees"}, Action::Run, Exercise::ScaleDegrees},
      {{"--lesson", "chord-tones"}, Action::Run, Exercise::ChordTones},
      // Qt's own options stay Qt's.
      {{"-platform", "offscreen", "--lesson", "sing"}, Action::Run, LessonItem::Sing1},
      {{"--help"}, Action::Help, std::nullopt},
      {{"-h"}, Action::Help, std::nullopt},
      {{"--lesson", "Intervals"}, Action::Refuse, std::nullopt},
      {{"--lesson", "scale_degrees"}, Action::Refuse, std::nullopt},
      {{"--lesson"}, Action::Refuse, std::nullopt},
      {{"--lesson="}, Action::Refuse, std::nullopt},
      {{"--lessons", "sing"}, Action::Refuse, std::nullopt},
  };
  for (const Case& c : cases) {
    const CommandLine line = parseCommandLine(QStringList{"auralis"} + c.arguments);
    const std::string shown = c.arguments.join(' ').toStdString();
    EXPECT_EQ(line.action, c.action) << shown;
    EXPECT_EQ(line.lesson, c.lesson) << shown;
    EXPECT_EQ(line.problem.isEmpty(), c.action != Action::Refuse) << shown;
  }
}

TEST(CommandLine, ARefusalNamesTheWrongNameAndEveryLesson) {
  const CommandLine line = parseCommandLine({"auralis", "--lesson", "scales"});
  EXPECT_TRUE(line.problem.contains("\"scales\"")) << line.problem.toStdString();
  for (const StartLessonName& row : kStartLessonNames)
    EXPECT_TRUE(line.problem.contains(QString::fromLatin1(row.name))) << row.name;
}

// The program itself: --help and a wrong name need no display, no settings and no devices.
TEST(CommandLine, TheProgramListsTheLessonsAndEndsWithStatusTwoOnAWrongName) {
  QTemporaryDir home;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.remove("DISPLAY");
  environment.remove("WAYLAND_DISPLAY");
  environment.insert("QT_QPA_PLATFORM", "xcb");  // which would fail if a window were made
  environment.insert("XDG_CONFIG_HOME", home.path());
  auto run = [&](const QStringList& arguments) {
    QProcess program;
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(AURALIS_PROGRAM), arguments);
    EXPECT_TRUE(program.waitForFinished(30000));
    return std::tuple(program.exitCode(), QString::fromLocal8Bit(program.readAllStandardOutput()),
                      QString::fromLocal8Bit(program.readAllStandardError()));
  };
  const auto [helpStatus, help, helpErrors] = run({"--help"});
  EXPECT_EQ(helpStatus, 0) << helpErrors.toStdString();
  EXPECT_TRUE(help.contains("--lesson NAME"));
  for (const StartLessonName& row : kStartLessonNames)
    EXPECT_TRUE(help.contains(QStringLiteral("\n  %1 ").arg(QString::fromLatin1(row.name))))
        << row.name;

  const auto [wrongStatus, wrong, wrongErrors] = run({"--lesson", "solfege"});
  EXPECT_EQ(wrongStatus, kUsageExitStatus);
  EXPECT_TRUE(wrong.isEmpty());
  EXPECT_TRUE(wrongErrors.startsWith("auralis: there is no lesson called \"solfege\""))
      << wrongErrors.toStdString();
}

}  // namespace
}  // namespace auralis::testing
