#include <array>
#include <fstream>
#include <iterator>
#include <set>
#include <string_view>

#include "exercises/ExerciseTables.h"
#include "tests/tools/DriverSession.h"

namespace auralis::driver::testing {
namespace {

std::string readText(const std::string& path) {
  std::ifstream in(path);
  EXPECT_TRUE(in.good()) << path;
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// What a user hears and reads of an exercise, and what is kept: the lines an exercise script's
// expected output holds. The tuning marker and the microphone panel follow the detector's every
// frame and are left to the detector's own tests.
bool exerciseLine(const std::string& line) {
  static constexpr std::array<std::string_view, 10> kKept = {
      "exercise ",    "answer ",   "verdict ",  "sound ",    "phrase ",
      "instruction ", "status 2 ", "status 3 ", "status 4 ", "held note "};
  for (std::string_view start : kKept)
    if (line.starts_with(start)) return true;
  return false;
}

std::vector<std::string> keptLines(const std::vector<std::string>& lines) {
  std::vector<std::string> found;
  for (const std::string& line : lines)
    if (exerciseLine(line)) found.push_back(line);
  return found;
}

std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

const std::string kFolder = std::string(AURALIS_DRIVER_SCRIPTS) + "/exercises/";

// Each script checks every answer as it goes ("expect"); its output must stay as kept beside it.
TEST(ExerciseScripts, EveryLevelOfEachExerciseBothWaysRunsAsKept) {
  for (const ExerciseTable& table : exerciseTables()) {
    for (const std::string direction : {"sing", "name"}) {
      const std::string name = std::string(table.name) + "-" + direction;
      SCOPED_TRACE(name);
      DriverSession session;
      const std::vector<std::string> lines = session.run(readText(kFolder + name + ".txt"));
      ASSERT_EQ(session.status(), 0) << session.errors();
      const std::vector<std::string> kept = keptLines(lines);
      const std::vector<std::string> expected = splitLines(readText(kFolder + name + ".out"));
      EXPECT_EQ(kept.size(), expected.size());
      for (std::size_t i = 0; i < std::min(kept.size(), expected.size()); ++i)
        ASSERT_EQ(kept[i], expected[i]) << "line " << i + 1 << " of " << name << ".out";

      // Every level was asked in this direction, and answered both ways.
      std::set<int> levels;
      const std::string question =
          "exercise question " + std::string(table.name) + " " + direction + " level ";
      for (const std::string& line : kept)
        if (line.starts_with(question)) levels.insert(std::stoi(line.substr(question.size())));
      EXPECT_EQ(levels.size(), table.levels.size());
      EXPECT_FALSE(linesStartingWith(kept, "sound CORRECT").empty());
      EXPECT_FALSE(linesStartingWith(kept, "sound INCORRECT").empty());
    }
  }
}

TEST(ExerciseScripts, AFailedExpectationStopsTheScript) {
  struct Case {
    const char* script;
    const char* error;
  };
  const Case cases[] = {
      {"seed 3\nexercise intervals sing\nvoice target+1 0\nexpect right\n",
       "line 4: expect: the answer was judged wrong"},
      {"seed 3\nexercise intervals sing\nvoice target 0\nexpect wrong\n",
       "line 4: expect: the answer was judged right"},
      {"seed 3\nexercise intervals name\nexpect right\n",
       "line 3: expect: the answer was judged none"},
      {"exercise chord-tones sing\nexpect level 2\n", "line 2: expect: level 1, not 2"},
      {"exercise intervals\n", "line 1: exercise: missing sing or name"},
      {"exercise jazz sing\n", "line 1: exercise: the exercise must be one of intervals, "},
      {"exlevel 2\n", "line 1: exlevel: no exercise is running"},
      {"exercise intervals sing\nexlevel 19\n",
       "line 2: exlevel: LEVEL must be a whole number from 1 to 18, not '19'"},
      {"range 60 70\n", "line 1: range: HIGH must be a whole number from 72 to 108, not '70'"},
      {"voice target 0\n", "line 1: voice: no exercise is running to take its target"},
      {"exercise intervals sing\nvoice target*2 0\n", "line 2: voice: NOTE must be a number or "},
      {"exercise intervals sing\nanswer right\n",
       "line 2: answer: no exercise is asking for a name"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.script);
    DriverSession s;
    s.run(c.script);
    EXPECT_EQ(s.status(), Driver::kScriptError);
    EXPECT_EQ(s.errors().rfind(c.error, 0), 0u) << s.errors();
  }
}

// A note held on answers once: not the retry after it, nor the next question.
TEST(ExerciseScripts, OneHeldNoteAnswersOnceAndOnlyAQuestionAskedBeforeIt) {
  for (const char* shift : {"target", "target+1"}) {
    SCOPED_TRACE(shift);
    DriverSession s;
    const std::vector<std::string> lines =
        s.run(std::string("seed 5\nexercise intervals sing\ndone\nvoice ") + shift + " 0 2500\n");
    ASSERT_EQ(s.status(), 0) << s.errors();
    EXPECT_EQ(linesStartingWith(lines, "answer ").size(), 1u);
    EXPECT_EQ(linesStartingWith(lines, "verdict ").size(), 1u);
  }
}

// While an exercise runs, the lesson hears none of its answers; chosen again, it answers as ever.
TEST(ExerciseScripts, TheLessonIsLeftAloneWhileAnExerciseRuns) {
  DriverSession s;
  s.run("seed 11\nmode identify\ndone\nexercise intervals name\ndone\ntype cdefgab\nmidi 64\n");
  ASSERT_EQ(s.status(), 0) << s.errors();
  EXPECT_EQ(s.lesson().scores.TotalAsked, 0);
  s.run("mode identify\ndone\n");
  s.answerRight();
  EXPECT_EQ(s.status(), 0) << s.errors();
  EXPECT_EQ(s.lesson().scores.TotalCorrect, 1);
}

}  // namespace
}  // namespace auralis::driver::testing
