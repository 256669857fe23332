#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "tests/tools/DriverSession.h"

namespace auralis::driver::testing {
namespace {

TEST(Script, BadLinesStopTheScriptWithTheirLineNumberAndReason) {
  struct Case {
    const char* script;
    const char* error;
  };
  const Case cases[] = {
      {"bogus\n", "line 1: unknown command 'bogus'"},
      {"\n# a comment\ntick x\n",
       "line 3: tick: COUNT must be a whole number from 1 to 100000, not 'x'"},
      {"click 12\n", "line 1: click: COLUMN must be a whole number from 0 to 11, not '12'"},
      {"key\n", "line 1: key: missing argument (usage: key CHAR|Escape|space)"},
      {"levelup now\n", "line 1: levelup: too many arguments (usage: levelup)"},
      {"volume 85\n", "line 1: volume: VELOCITY must be a multiple of 10, not '85'"},
      {"mode jazz\n",
       "line 1: mode: the mode must be one of identify, mimic, sing, unlock, "
       "meditate, practice, not 'jazz'"},
      {"sing E 5\n", "line 1: sing: LETTER must be one of cCdDefFgGaAb, not 'E'"},
      {"mastery IdentifyMastery95Percent 2147483648\n",
       "line 1: mastery: VALUE must be a whole number from -2147483648 to 2147483647, not "
       "'2147483648'"},
      {"mastery Speed 1\n", "line 1: mastery: NAME must be one of IdentifyMastery95Percent, "},
      {"seed -1\n", "line 1: seed: N must be a whole number from 0 to 18446744073709551615"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.script);
    DriverSession s;
    s.run(c.script);
    EXPECT_EQ(s.status(), Driver::kScriptError);
    EXPECT_EQ(s.errors().rfind(c.error, 0), 0u) << s.errors();
  }
}

TEST(Script, NothingAfterABadLineRuns) {
  DriverSession s;
  const auto lines = s.run("mode identify\ndone\ntick x\nkey c\nkey e\n");
  EXPECT_TRUE(linesStartingWith(lines, "sound ").empty());
  EXPECT_EQ(s.status(), Driver::kScriptError);
  EXPECT_EQ(s.lesson().scores.TotalAsked, 0);
}

TEST(Script, CommentsBlankLinesAndWithoutMidiOutput) {
  DriverSession s;
  const auto lines = s.run("  # set up\n\nmidiout none   # no synthesiser\nmode identify\nkey c\n");
  EXPECT_EQ(s.status(), 0);
  // Nothing is heard from the MIDI output, and answers are not held back waiting for it.
  EXPECT_TRUE(linesStartingWith(lines, "phrase ").empty());
  EXPECT_EQ(s.lesson().scores.TotalAsked, 1);
}

std::string readFile(const std::string& path) {
  std::ifstream in(path);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Runs the built program on a script file; returns its exit status.
int runDriverProgram(const std::string& script, std::string& out, std::string& err) {
  const std::string dir = ::testing::TempDir();
  const std::string outPath = dir + "driver-out.txt";
  const std::string errPath = dir + "driver-err.txt";
  const std::string command = std::string("'") + AURALIS_DRIVER_PROGRAM + "' < '" + script +
                              "' > '" + outPath + "' 2> '" + errPath + "'";
  const int status = std::system(command.c_str());
  out = readFile(outPath);
  err = readFile(errPath);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(Script, TheProgramRunsAScriptFileFromStandardInput) {
  std::string out;
  std::string err;
  ASSERT_EQ(runDriverProgram(std::string(AURALIS_DRIVER_SCRIPTS) + "/identify.txt", out, err), 0)
      << err;
  EXPECT_EQ(err, "");
  EXPECT_NE(out.find("\nstatus 2 \"1 of 67\"\n"), std::string::npos);
  EXPECT_NE(out.find("\nsound INCORRECT\nphrase 4: "), std::string::npos);
  EXPECT_NE(out.find("\ncounters LevelCorrect=1 LevelAsked=2 "), std::string::npos);

  EXPECT_EQ(runDriverProgram(std::string(AURALIS_DRIVER_SCRIPTS) + "/bad-line.txt", out, err),
            Driver::kScriptError);
  EXPECT_EQ(err, "line 3: unknown command 'levelupp'\n");
}

}  // namespace
}  // namespace auralis::driver::testing
