#include <cmath>
#include <cstdio>
#include <filesystem>

#include "input/WavFile.h"
#include "tests/input/Signals.h"
#include "tests/tools/DriverSession.h"

namespace auralis::driver::testing {
namespace {

namespace fs = std::filesystem;

class AudioCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("auralis-audio-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  // A sung note a second long at the frequency of MIDI note midi, written as a WAV file.
  std::string sungNote(int midi) {
    auralis::signals::Tone tone;
    tone.frequency = 440.0 * std::pow(2.0, (midi - 69) / 12.0);
    tone.vibratoCents = 10.0;
    tone.noise = 200.0;
    const fs::path file = dir_ / ("note" + std::to_string(midi) + ".wav");
    EXPECT_EQ(writeWavFile(file, auralis::signals::harmonicTone(tone, 44100)), "");
    return file.string();
  }

  fs::path dir_;
};

TEST_F(AudioCommandTest, ASungNoteAnswersAMimicQuestionThroughCaptureDetectorAndReadout) {
  DriverSession session;
  session.run("seed 7\nmode mimic\ndone\n");
  const int asked = session.lesson().question.QuestionNotes[0];
  const std::vector<std::string> lines = session.run("audio " + sungNote(asked) + " 40\n");
  EXPECT_EQ(session.status(), 0) << session.errors();
  EXPECT_EQ(session.lesson().scores.LevelCorrect, 1);
  EXPECT_FALSE(linesStartingWith(lines, "marker ").empty());
  EXPECT_FALSE(linesStartingWith(lines, "sound CORRECT").empty());
}

TEST_F(AudioCommandTest, AWrongSungNoteIsJudgedWrongAndTheTimerStillInterleaves) {
  DriverSession session;
  session.run("seed 7\nmode mimic\ndone\n");
  const int asked = session.lesson().question.QuestionNotes[0];
  // Mimic's first level asks C4 and E4; the other one of the two is wrong.
  const std::string wrong = sungNote(asked == 60 ? 64 : 60);
  session.run("audio " + wrong + " 10\ntick\naudio " + wrong + " 30\n");
  EXPECT_EQ(session.status(), 0) << session.errors();
  EXPECT_EQ(session.lesson().scores.LevelCorrect, 0);
  EXPECT_GE(session.lesson().scores.LevelAsked, 1);
  EXPECT_EQ(session.lesson().scores.LevelStreak, 0);
  EXPECT_EQ(session.lesson().scores.ElapsedSeconds, 1);
}

TEST_F(AudioCommandTest, AMissingOrMalformedFileStopsTheScriptWithAMessage) {
  DriverSession session;
  session.run("audio " + (dir_ / "missing.wav").string() + "\n");
  EXPECT_NE(session.status(), 0);
  EXPECT_NE(session.errors().find("line 1: audio:"), std::string::npos);

  const fs::path bad = dir_ / "bad.wav";
  std::FILE* f = std::fopen(bad.c_str(), "wb");
  std::fputs("RIFF\x10\0\0\0WAVEjunk", f);
  std::fclose(f);
  DriverSession second;
  second.run("audio " + bad.string() + "\n");
  EXPECT_NE(second.status(), 0);
  EXPECT_NE(second.errors().find("line 1: audio:"), std::string::npos);
}

}  // namespace
}  // namespace auralis::driver::testing
