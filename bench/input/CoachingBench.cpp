#include <benchmark/benchmark.h>

#include <optional>
#include <vector>

#include "core/Core.h"
#include "core/QuietHost.h"
#include "input/HeldNoteTracker.h"
#include "input/LongTone.h"
#include "platform/FakeMidiInput.h"
#include "platform/FakeMidiOutStream.h"
#include "platform/FakeSoundInput.h"
#include "tests/input/Signals.h"

// What keeping every sung note and coaching cost while listening, per analysed frame: the
// readout alone (as before), the readout with the held-note tracker and the hand-over of each
// ended note, and the long-tone scorer. "core_ppm_21.5fps" is the share of one core, in
// millionths, at 21.5 frames a second (0.1 % is 1000); capture delivers a frame per buffer, 43.07
// a second, twice that. (The counter prints with an "s", being a time turned about.)

namespace auralis {
namespace {

struct HeardFrame {
  FrameResult result;
  std::optional<SungPitch> pitch;
  std::int64_t buffer;
};

// Notes in and out of the band with breaths between, as the detector and the estimate between
// sub-bands hear them, once.
const std::vector<HeardFrame>& singing() {
  static const std::vector<HeardFrame> frames = [] {
    std::vector<std::int16_t> sound;
    const double offsets[] = {0.0, -35.0, 12.0, 30.0, -20.0, 5.0};
    int note = 57;
    for (const double cents : offsets) {
      signals::Tone tone;
      tone.frequency = signals::detune(signals::noteHz(note - 21), cents);
      tone.amplitude = 5000;
      tone.vibratoCents = 20;
      tone.noise = 200;
      const auto sung = signals::harmonicTone(tone, 40 * kBufferSamples);
      sound.insert(sound.end(), sung.begin(), sung.end());
      sound.insert(sound.end(), 8 * kBufferSamples, 0);
      note += 2;
    }
    PitchDetector detector;
    detector.BuildDetectorTables();
    std::vector<HeardFrame> heard;
    for (std::size_t at = 0; at + kBufferSamples <= sound.size(); at += kBufferSamples) {
      detector.ProcessCaptureBuffer(sound.data() + at);
      heard.push_back(
          {detector.result(), estimateLatestPitch(detector), detector.buffersSinceStart()});
    }
    return heard;
  }();
  return frames;
}

// A listening lesson over devices that do nothing; what it posts is dropped.
struct Listening {
  QuietHost host;
  platform::FakeMidiOutStream midiOut;
  platform::FakeSoundInput microphone;
  platform::FakeMidiInput keyboard;
  Core core{host, host, {midiOut, microphone, keyboard, false}};

  Listening() {
    core.capture().soundInPresent = true;
    core.lesson().listenForAnyNote();
  }
};

void reportShare(benchmark::State& state) {
  // Seconds per frame times 21.5 frames a second, in millionths.
  state.counters["core_ppm_21.5fps"] = benchmark::Counter(
      1.0 / 21.5e6, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_ReadoutAlone(benchmark::State& state) {
  const std::vector<HeardFrame>& frames = singing();
  Listening listening;
  std::size_t i = 0;
  for (auto _ : state) {
    const HeardFrame& f = frames[i];
    listening.core.readout().ShowPitchReadout(f.result, f.pitch, f.buffer);
    i = i + 1 == frames.size() ? 0 : i + 1;
  }
  reportShare(state);
}
BENCHMARK(BM_ReadoutAlone)->Unit(benchmark::kNanosecond);

void BM_ReadoutAndHeldNotes(benchmark::State& state) {
  const std::vector<HeardFrame>& frames = singing();
  Listening listening;
  Lesson& lesson = listening.core.lesson();
  lesson.setSungAnswersWaitForTheirNote(true);
  HeldNoteTracker tracker;
  std::size_t i = 0;
  std::int64_t round = 0;  // buffers keep rising from one pass over the frames to the next
  int ended = 0;
  int told = 0;
  for (auto _ : state) {
    const HeardFrame& f = frames[i];
    const std::int64_t buffer = f.buffer + round;
    const HeldNoteEvents events = tracker.frame(f.pitch, buffer, lesson.answerWindow());
    if (events.ended) {
      HeldNote note;
      note.midiNote = events.ended->midiNote;
      note.meanCents = events.ended->meanCents;
      lesson.heldNoteEnded(note, events.ended->firstBuffer, events.ended->lastBuffer);
      ++ended;
    }
    if (events.offTune) ++told;
    listening.core.readout().ShowPitchReadout(f.result, f.pitch, buffer);
    if (++i == frames.size()) {
      i = 0;
      round += static_cast<std::int64_t>(frames.size());
    }
  }
  reportShare(state);
  state.counters["held_notes"] = ended;
  state.counters["told"] = told;
}
BENCHMARK(BM_ReadoutAndHeldNotes)->Unit(benchmark::kNanosecond);

void BM_LongToneFrame(benchmark::State& state) {
  const std::vector<HeardFrame>& frames = singing();
  LongToneScorer scorer;
  std::size_t i = 0;
  for (auto _ : state) {
    if (!scorer.running() || scorer.finished()) {
      scorer.stop();
      scorer.start(-1, 10000, 0);
    }
    benchmark::DoNotOptimize(scorer.frame(frames[i].pitch));
    i = i + 1 == frames.size() ? 0 : i + 1;
  }
  reportShare(state);
}
BENCHMARK(BM_LongToneFrame)->Unit(benchmark::kNanosecond);

}  // namespace
}  // namespace auralis
