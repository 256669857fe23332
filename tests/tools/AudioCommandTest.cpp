#include <cmath>
#include <cstdio>
#include <filesystem>

#include "engine/Notes.h"
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

  // Sung notes a second and a quarter each with a breath between, `cents` off MIDI notes.
  std::string sungNotes(const std::vector<std::pair<int, double>>& notes) {
    std::vector<std::int16_t> sound(44100 / 2, 0);
    for (const auto& [midi, cents] : notes) {
      auralis::signals::Tone tone;
      tone.frequency = 440.0 * std::pow(2.0, (midi - 69 + cents / 100.0) / 12.0);
      tone.vibratoCents = 10.0;
      tone.noise = 200.0;
      const auto sung = auralis::signals::harmonicTone(tone, 55125);
      sound.insert(sound.end(), sung.begin(), sung.end());
      sound.insert(sound.end(), 44100 / 4, 0);
    }
    const fs::path file = dir_ / "notes.wav";
    EXPECT_EQ(writeWavFile(file, sound), "");
    return file.string();
  }

  fs::path dir_;
};

TEST_F(AudioCommandTest, HeldNotesTheirTuningAndTheVerdictArePrinted) {
  DriverSession session;
  session.run("seed 7\nmode mimic\ndone\n");
  const int asked = session.lesson().question.QuestionNotes[0];
  const std::vector<std::string> lines =
      session.run("audio " + sungNotes({{asked, -35.0}, {asked, 30.0}, {asked, 0.0}}) + "\n");
  EXPECT_EQ(session.status(), 0) << session.errors();
  const std::vector<std::string> held = linesStartingWith(lines, "held ");
  ASSERT_EQ(held.size(), 3u);
  const std::string note = "held note " + std::to_string(asked) + " cents ";
  EXPECT_EQ(held[0].rfind(note + "-3", 0), 0u) << held[0];
  EXPECT_NE(held[0].find(" accepted no judged none"), std::string::npos) << held[0];
  EXPECT_EQ(held[1].rfind(note + "+3", 0), 0u) << held[1];
  EXPECT_NE(held[2].find(" accepted yes judged right"), std::string::npos) << held[2];
  const std::vector<std::string> told = linesStartingWith(lines, "offtune ");
  ASSERT_EQ(told.size(), 4u);
  EXPECT_EQ(told[0].rfind("offtune note " + std::to_string(asked) + " cents -3", 0), 0u);
  EXPECT_EQ(told[1], "offtune over");
  EXPECT_EQ(told[2].rfind("offtune note " + std::to_string(asked) + " cents +", 0), 0u);
  const std::vector<std::string> verdicts = linesStartingWith(lines, "verdict ");
  ASSERT_EQ(verdicts.size(), 1u);
  const char letter = NoteLetters[pitchClassOf(asked)];
  EXPECT_EQ(verdicts[0].rfind(std::string("verdict right ") + letter + ' ' + letter +
                                  " sung note " + std::to_string(asked) + " cents ",
                              0),
            0u)
      << verdicts[0];
}

TEST_F(AudioCommandTest, ALongToneIsScoredWhenItsTimeIsUpAndABreathIsBridged) {
  DriverSession session;
  const std::vector<std::string> lines =
      session.run("longtone any 2000\naudio " + sungNotes({{62, 4.0}, {62, 4.0}}) + "\n");
  EXPECT_EQ(session.status(), 0) << session.errors();
  const std::vector<std::string> takes = linesStartingWith(lines, "longtone ");
  ASSERT_EQ(takes.size(), 1u);
  EXPECT_EQ(takes[0].rfind("longtone note 62 ms 2000 heard 17", 0), 0u)
      << "the quarter-second breath is bridged but not heard: " << takes[0];
  EXPECT_NE(takes[0].find(" completed yes"), std::string::npos) << takes[0];
  EXPECT_TRUE(linesStartingWith(lines, "offtune ").empty()) << "a take shows its own cents";
}

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
