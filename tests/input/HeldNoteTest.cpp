#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "engine/Notes.h"
#include "input/HeldNoteTracker.h"
#include "tests/input/LiveRig.h"
#include "tests/input/Signals.h"

// Held notes: how the pitch is cut into notes and measured, the tuning message, and what a
// voice sung through the whole input path leaves in the history.

namespace auralis::testing {
namespace {

// A stretch of identical frames: a pitch in semitones, none for silence.
struct Stretch {
  std::optional<double> semitones;
  int count;
};

struct Fed {
  std::vector<HeldNoteSpan> notes;
  std::vector<OffTuneNote> told;
  int overs = 0;
};

Fed feed(HeldNoteTracker& tracker, const std::vector<Stretch>& stretches, int answerWindow = 0) {
  Fed fed;
  std::int64_t buffer = 0;
  auto take = [&](const HeldNoteEvents& events) {
    if (events.ended) fed.notes.push_back(*events.ended);
    if (events.offTune) fed.told.push_back(*events.offTune);
    if (events.offTuneOver) ++fed.overs;
  };
  for (const Stretch& s : stretches) {
    for (int i = 0; i < s.count; ++i) {
      const std::optional<SungPitch> pitch =
          s.semitones ? std::optional<SungPitch>(sungPitchAt(*s.semitones)) : std::nullopt;
      take(tracker.frame(pitch, ++buffer, answerWindow));
    }
  }
  return fed;
}

// "60 +10.0 0.0 15": each note kept, its mean cents, spread and steady frames.
std::string kept(const std::vector<HeldNoteSpan>& notes) {
  std::string text;
  for (const HeldNoteSpan& n : notes) {
    char line[64];
    std::snprintf(line, sizeof line, "%s%d %+.1f %.1f %d", text.empty() ? "" : ", ", n.midiNote,
                  n.meanCents, n.spreadCents, n.steadyFrames);
    text += line;
  }
  return text;
}

TEST(HeldNoteTracker, CutsTheVoiceIntoHeldNotes) {
  const std::optional<double> none;
  std::vector<Stretch> wavering = {{60.0, 2}};  // 10 cents either side in turn
  for (int i = 0; i < 20; ++i) wavering.push_back({i % 2 == 0 ? 59.9 : 60.1, 1});
  wavering.insert(wavering.end(), {{60.0, 2}, {none, 3}});
  const std::pair<std::vector<Stretch>, const char*> cases[] = {
      {{{60.0, 20}, {none, 3}}, "60 +0.0 0.0 16"},
      // A short gap is bridged, a longer one ends the note.
      {{{60.0, 10}, {none, 2}, {60.0, 10}, {none, 3}}, "60 +0.0 0.0 16"},
      {{{60.0, 10}, {none, 3}, {60.0, 10}, {none, 3}}, "60 +0.0 0.0 6, 60 +0.0 0.0 6"},
      // A jump is the next note; one stray frame is nothing.
      {{{60.0, 10}, {64.2, 10}, {none, 3}}, "60 +0.0 0.0 6, 64 +20.0 0.0 6"},
      {{{60.0, 10}, {72.0, 1}, {60.0, 10}, {none, 3}}, "60 +0.0 0.0 16"},
      {{{60.0, 5}, {none, 3}}, ""},  // too short to be held
      // The scoop and the fall are left out of the mean.
      {{{59.5, 1}, {59.7, 1}, {60.1, 15}, {59.8, 1}, {59.5, 1}, {none, 3}}, "60 +10.0 0.0 15"},
      {{{59.6, 30}, {none, 3}}, "60 -40.0 0.0 26"},
      {wavering, "60 +0.0 10.0 20"},
  };
  for (const auto& [stretches, expected] : cases) {
    SCOPED_TRACE(expected);
    HeldNoteTracker tracker;
    EXPECT_EQ(kept(feed(tracker, stretches).notes), expected);
    EXPECT_FALSE(tracker.sounding());
  }
}

TEST(HeldNoteTracker, ANoteHeldOutsideTheBandIsToldOnceUntilItComesBack) {
  const std::optional<double> none;
  std::vector<Stretch> swinging;  // -50 and -10 cents in turn
  for (int i = 0; i < 30; ++i) swinging.push_back({i % 2 == 0 ? 59.5 : 59.9, 1});
  swinging.push_back({none, 3});
  struct Case {
    const char* what;
    std::vector<Stretch> stretches;
    std::size_t told;
    double cents;
    int overs;
  };
  const Case cases[] = {
      {"35 flat, then in tune", {{59.65, 40}, {60.0, 40}, {none, 3}}, 1, -35.0, 1},
      {"30 sharp, to its end", {{60.3, 40}, {none, 3}}, 1, 30.0, 1},
      {"too short to tell", {{60.3, 20}, {none, 3}}, 0, 0.0, 0},
      {"in the band", {{60.1, 60}, {none, 3}}, 0, 0.0, 0},
      {"just inside the lower edge", {{59.76, 60}, {none, 3}}, 0, 0.0, 0},
      {"just outside the upper edge", {{60.18, 60}, {none, 3}}, 1, 18.0, 1},
      {"swinging across the edge", swinging, 1, -30.0, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    HeldNoteTracker tracker;
    const Fed fed = feed(tracker, c.stretches);
    ASSERT_EQ(fed.told.size(), c.told);
    if (c.told > 0) {
      EXPECT_EQ(fed.told[0].midiNote, 60);
      EXPECT_NEAR(fed.told[0].cents, c.cents, 0.01);
    }
    EXPECT_EQ(fed.overs, c.overs);
    EXPECT_EQ(fed.notes.size(), 1u) << "kept, told or not";
  }
  // A note the readout took is not told, though it drift out afterwards.
  HeldNoteTracker tracker;
  feed(tracker, {{60.1, 8}});
  tracker.markAccepted();
  const Fed fed = feed(tracker, {{60.3, 60}, {std::nullopt, 3}});
  EXPECT_TRUE(fed.told.empty());
  ASSERT_EQ(fed.notes.size(), 1u);
  EXPECT_TRUE(fed.notes[0].accepted);
}

// A voice with harmonics, vibrato and a little noise, `cents` off `midiNote`.
std::vector<std::int16_t> voice(int midiNote, double cents, int buffers) {
  signals::Tone tone;
  tone.frequency = signals::detune(signals::noteHz(midiNote - 21), cents);
  tone.amplitude = 6000;
  tone.vibratoCents = 20.0;
  tone.noise = 150;
  tone.seed = static_cast<std::uint64_t>(midiNote);
  return signals::harmonicTone(tone, buffers * kBufferSamples);
}

std::vector<std::int16_t> silence(int buffers) {
  return std::vector<std::int16_t>(static_cast<std::size_t>(buffers * kBufferSamples), 0);
}

std::vector<std::int16_t> then(std::vector<std::int16_t> sound,
                               const std::vector<std::int16_t>& more) {
  sound.insert(sound.end(), more.begin(), more.end());
  return sound;
}

// The microphone hears the sound to its end; each phrase ends as soon as it has started.
void hear(LiveRig& rig, std::vector<std::int16_t> sound) {
  rig.microphone.setSamples(std::move(sound));
  while (rig.deliverBuffer()) {
    if (rig.midiOut.completePhrase()) rig.pump();
  }
}

struct SingingRig : LiveRig {
  KeptHistory history;

  explicit SingingRig(LessonMode mode) {
    lesson.setRecorder(&history);
    capture.DetectSoundInput();
    lesson.mastery.MimicMastery95Percent = 0;
    if (mode == LessonMode::Mimic) {
      lesson.MimicSing1Click();
      EXPECT_TRUE(midiOut.completePhrase());
      pump();
    } else {
      lesson.Warmup1Click();
    }
    EXPECT_TRUE(capture.captureRunning());
  }
  int askedNote() const { return lesson.question.QuestionNotes[0]; }
};

TEST(HeldNotes, TheKeptMeanIsTheSungOffsetAndOnlyNotesInTheBandAreJudged) {
  struct Case {
    LessonMode lesson;
    double cents;
    bool inBand;
  };
  const Case cases[] = {
      {LessonMode::Mimic, -40.0, false},    {LessonMode::Mimic, -30.0, false},
      {LessonMode::Mimic, -20.0, true},     {LessonMode::Mimic, 0.0, true},
      {LessonMode::Mimic, 20.0, false},     {LessonMode::Mimic, 30.0, false},
      {LessonMode::Practice, -35.0, false}, {LessonMode::Practice, 30.0, false},
      {LessonMode::Practice, 0.0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << (c.lesson == LessonMode::Mimic ? "Mimic " : "Practice ")
                                      << c.cents << " cents");
    SingingRig rig(c.lesson);
    const int note = c.lesson == LessonMode::Mimic ? rig.askedNote() : 64;
    hear(rig, then(then(silence(kFramesBeforeAnswer + 1), voice(note, c.cents, 60)), silence(8)));

    ASSERT_EQ(rig.history.heldNotes.size(), 1u);
    const HeldNote& kept = rig.history.heldNotes[0];
    EXPECT_EQ(kept.midiNote, note);
    EXPECT_NEAR(kept.meanCents, c.cents, 3.0);
    EXPECT_EQ(kept.lesson, c.lesson);
    EXPECT_NEAR(kept.durationMs, 60 * kFrameMs, 4 * kFrameMs);
    const bool judged = c.inBand && c.lesson == LessonMode::Mimic;
    EXPECT_EQ(kept.accepted, judged);
    EXPECT_EQ(kept.judged, judged ? HeldJudgement::Right : HeldJudgement::None);
    EXPECT_EQ(rig.window.verdicts.size(), judged ? 1u : 0u);
    ASSERT_EQ(rig.history.answers.size(), judged ? 1u : 0u);
    if (judged) {
      EXPECT_NEAR(rig.history.answers[0].cents, kept.meanCents, 1e-9);
      EXPECT_TRUE(rig.window.verdicts[0].correct);
      EXPECT_EQ(rig.window.verdicts[0].sungMidiNote, note);
      // So far, at the acceptance: within the vibrato's depth.
      EXPECT_NEAR(rig.window.verdicts[0].sungCents, c.cents, 20.0);
    }
    // Told, and then over when the note ended; never a sound.
    ASSERT_EQ(rig.window.offTune.size(), c.inBand ? 0u : 1u);
    if (!c.inBand) {
      EXPECT_EQ(rig.window.offTune[0].midiNote, note);
      EXPECT_NEAR(rig.window.offTune[0].cents, c.cents, 3.0);
      EXPECT_EQ(rig.window.offTuneOvers, 1);
      EXPECT_EQ(rig.lesson.scores.TotalAsked, 0);
    }
  }
}

TEST(HeldNotes, ANoteHeldAcrossTheNextQuestionOrTheRetryAnswersOnce) {
  for (const bool right : {true, false}) {
    SCOPED_TRACE(right ? "the right note" : "a wrong note");
    SingingRig rig(LessonMode::Mimic);
    ASSERT_EQ(rig.lesson.question.QuestionNoteCount, 1);
    const int asked = rig.askedNote();
    int note = asked;
    for (int pitchClass = 0; !right && note == asked && pitchClass < 12; ++pitchClass)
      if (rig.lesson.level.ActivePitchClasses[pitchClass] == 1 && pitchClass != asked % 12)
        note = asked - asked % 12 + pitchClass;
    ASSERT_NE(note == asked, !right) << "the level offers a wrong note to sing";
    // Far longer than the hold-off after an answer and the frames while a question sounds.
    hear(rig, then(then(silence(kFramesBeforeAnswer + 1), voice(note, 0.0, 200)), silence(8)));

    EXPECT_EQ(rig.window.characters.size(), 1u);
    EXPECT_EQ(rig.lesson.scores.TotalAsked, 1);
    EXPECT_EQ(rig.lesson.scores.TotalCorrect, right ? 1 : 0);
    ASSERT_EQ(rig.history.answers.size(), 1u);
    ASSERT_EQ(rig.history.heldNotes.size(), 1u);
    EXPECT_EQ(rig.history.heldNotes[0].judged, right ? HeldJudgement::Right : HeldJudgement::Wrong);

    // A new note after it answers again.
    hear(rig, then(voice(rig.askedNote(), 0.0, 30), silence(8)));
    EXPECT_EQ(rig.lesson.scores.TotalAsked, 2);
    EXPECT_EQ(rig.window.characters.size(), 2u);
  }
}

TEST(HeldNotes, AnAnswerWaitingForItsNoteIsWrittenWhenListeningEnds) {
  SingingRig rig(LessonMode::Mimic);
  hear(rig, then(silence(kFramesBeforeAnswer + 1), voice(rig.askedNote(), -12.0, 40)));
  EXPECT_EQ(rig.window.characters.size(), 1u);
  EXPECT_TRUE(rig.history.answers.empty()) << "the note still sounds";

  rig.core.finishListening();
  ASSERT_EQ(rig.history.answers.size(), 1u);
  ASSERT_EQ(rig.history.heldNotes.size(), 1u);
  EXPECT_NEAR(rig.history.answers[0].cents, -12.0, 3.0);
  EXPECT_EQ(rig.history.heldNotes[0].judged, HeldJudgement::Right);
}

}  // namespace
}  // namespace auralis::testing
