#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <optional>
#include <vector>

#include "input/HeldNoteTracker.h"
#include "input/LongTone.h"
#include "tests/input/LiveRig.h"
#include "tests/input/Signals.h"

namespace auralis::testing {
namespace {

// Feeds the scorer a pitch per frame (none: no voice) until it ends by itself or the frames run
// out, then stops it.
LongToneResult take(int target, int durationMs, int frames,
                    const std::function<std::optional<double>(int)>& pitchAt) {
  LongToneScorer scorer;
  scorer.start(target, durationMs, 1000);
  for (int i = 0; i < frames && !scorer.finished(); ++i) {
    const std::optional<double> semitones = pitchAt(i);
    scorer.frame(semitones ? std::optional<SungPitch>(sungPitchAt(*semitones)) : std::nullopt);
  }
  return scorer.stop();
}

TEST(LongTone, ScoresTheShareNearTheCentreTheDriftAndTheWobble) {
  struct Case {
    const char* what;
    int target;
    int durationMs;
    int frames;
    std::function<std::optional<double>(int)> pitchAt;
    int note;
    bool completed;
    double within10, within25, drift, wobble;
  };
  const Case cases[] = {
      {"steady, 5 sharp", 60, 2000, 200, [](int) { return 60.05; }, 60, true, 1.0, 1.0, 0.0, 0.0},
      {"20 flat", 60, 2000, 200, [](int) { return 59.8; }, 60, true, 0.0, 1.0, 0.0, 0.0},
      {"half near, half 15 off", 67, 2000, 200, [](int i) { return i % 2 == 0 ? 67.0 : 67.15; }, 67,
       true, 0.5, 1.0, 0.0, 7.5},
      {"sinking by 30 cents", 60, 4000, 400,
       [](int i) { return 60.15 - 0.3 * i / (4000 / kFrameMs); }, 60, true, -1, -1, -22.5, -1},
      {"the breath before is free", 60, 2000, 400,
       [](int i) { return i < 50 ? std::nullopt : std::optional<double>(60.0); }, 60, true, 1.0,
       1.0, 0.0, 0.0},
      {"a short catch is bridged", 60, 2000, 400,
       [](int i) { return i % 20 < 3 ? std::nullopt : std::optional<double>(60.0); }, 60, true, 1.0,
       1.0, 0.0, 0.0},
      {"the voice falls away", 60, 2000, 400,
       [](int i) { return i > 30 ? std::nullopt : std::optional<double>(60.0); }, 60, false, 1.0,
       1.0, 0.0, 0.0},
      {"stopped early, asked for too short a take", 60, 500, 20, [](int) { return 60.0; }, 60,
       false, 1.0, 1.0, 0.0, 0.0},
      {"the first steady note is the target", -1, 2000, 400,
       [](int i) { return i < 3 ? 55.0 : 62.08; }, 62, true, 1.0, 1.0, 0.0, 0.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const LongToneResult result = take(c.target, c.durationMs, c.frames, c.pitchAt);
    EXPECT_EQ(result.midiNote, c.note);
    EXPECT_EQ(result.completed, c.completed);
    EXPECT_EQ(result.atMs, 1000);
    EXPECT_EQ(result.targetMs, std::clamp(c.durationMs, 2000, 10000));
    if (c.completed) {
      EXPECT_GE(result.heardMs, c.durationMs * 0.8) << "gaps are not heard time";
    }
    if (c.within10 >= 0) {
      EXPECT_NEAR(result.within10, c.within10, 0.02);
    }
    if (c.within25 >= 0) {
      EXPECT_NEAR(result.within25, c.within25, 0.02);
    }
    EXPECT_NEAR(result.driftCents, c.drift, 1.5);
    if (c.wobble >= 0) {
      EXPECT_NEAR(result.wobbleCents, c.wobble, 0.1);
    }
  }
}

TEST(LongTone, OnlyPracticeSingingTakesOneAndItIsScoredToldAndKept) {
  LiveRig rig;
  KeptHistory history;
  rig.lesson.setRecorder(&history);
  rig.capture.DetectSoundInput();
  rig.lesson.MimicSing1Click();
  rig.core.startLongTone(60, 2000);
  EXPECT_FALSE(rig.core.longToneRunning());
  rig.lesson.Warmup1Click();
  ASSERT_TRUE(rig.capture.captureRunning());
  rig.core.startLongTone(-1, 2000);
  ASSERT_TRUE(rig.core.longToneRunning());

  signals::Tone tone;
  tone.frequency = signals::detune(signals::noteHz(60 - 21), 2.0);
  tone.amplitude = 6000;
  tone.vibratoCents = 8.0;
  tone.noise = 150;
  std::vector<std::int16_t> sound(10 * kBufferSamples, 0);
  const auto sung = signals::harmonicTone(tone, 150 * kBufferSamples);
  sound.insert(sound.end(), sung.begin(), sung.end());
  rig.microphone.setSamples(std::move(sound));
  while (rig.deliverBuffer()) {
  }

  EXPECT_FALSE(rig.core.longToneRunning());
  ASSERT_EQ(rig.window.longTones.size(), 1u);
  const LongToneResult& result = rig.window.longTones[0];
  EXPECT_EQ(result.midiNote, 60);
  EXPECT_TRUE(result.completed);
  EXPECT_GT(result.within10, 0.8);
  EXPECT_GT(result.within25, 0.98);
  EXPECT_NEAR(result.driftCents, 0.0, 4.0);
  ASSERT_EQ(history.longTones.size(), 1u);
  EXPECT_EQ(history.longTones[0].midiNote, 60);
  EXPECT_FALSE(rig.window.progress.empty());
  EXPECT_EQ(rig.window.progress.back().targetMs, 2000);
  EXPECT_TRUE(rig.window.offTune.empty());
}

}  // namespace
}  // namespace auralis::testing
