// From the moment a sung note's first sample is written into the microphone's pipe to the moment
// its letter reaches Judge, through the real window in Mimic: PulseAudio's pipe source, RtAudio,
// the capture ring, the detector, the readout, the posted letter and the key handler.
//
// The readout accepts a note on its sixth steady frame (the run must exceed the required run of
// four), and frames come one capture buffer apart: six frames are the detection rules' own share,
// rules_ms. The first of them holds the note's beginning only in part; when the onset falls early
// in its capture buffer that frame already counts, so the rules' share of a single note lies
// between five and six frames, by the onset's phase. The watched device tells each note's phase
// exactly: "heard" is the time from the onset to the writing of the last sample of the buffer
// whose frame accepted the note, and "path" is everything after it, split into "server" (until
// RtAudio hands that buffer over) and "program" (from there to Judge).
//
// Counters, in milliseconds unless named otherwise: median, p95, min and max of the latency;
// rules_ms and added_median_ms and added_p95_ms (the latency less rules_ms); the medians of heard,
// and of path, server and program with their 95th percentiles; the median to the CORRECT sound
// being asked for (after the judge's texts and the window's repaint); the frames from the onset's
// to the accepting one; the notes judged, those not accepted within two seconds, those judged
// wrong, and those whose onset the device log placed.

#include <benchmark/benchmark.h>

#include <QTimer>
#include <algorithm>
#include <random>

#include "LiveWindow.h"
#include "WatchedSoundInput.h"
#include "devices/RtAudioSoundInput.h"
#include "devices/RtMidiInput.h"
#include "devices/SystemMidiOut.h"
#include "input/PitchReadout.h"

namespace auralis::bench {
namespace {

using namespace std::chrono_literals;

constexpr int kNotes = 50;
// The 60th Identify level: one note of any of the twelve pitch classes, in middle C's octave.
constexpr int kAllPitchClassesLevel = 59;
constexpr int kFramesToAccept = kRequiredRun + 2;
constexpr double kFrameMs = 1000.0 * kBufferSamples / platform::WaveFormat{}.sampleRate;
constexpr auto kLetterTimeout = 2s;

struct Figures {
  std::vector<double> latency;
  std::vector<double> toSound;
  std::vector<double> heard;
  std::vector<double> path;
  std::vector<double> server;
  std::vector<double> program;
  std::vector<double> frames;
  int missed = 0;
  int wrong = 0;
};

// Where the take's sound begins, and the device's log around one note: the buffer that held the
// beginning and the last one handed over before the letter reached the judge.
void splitLatency(Figures& figures, const Singer& singer, const std::vector<std::int16_t>& take,
                  const WatchedSoundInput& device, std::size_t armedAt, Clock::time_point judged) {
  const auto firstSound = std::find_if(take.begin(), take.end(), [](auto s) { return s != 0; });
  if (firstSound == take.end()) return;
  std::size_t onsetBuffer = armedAt;
  const std::size_t delivered = device.deliveries();
  while (onsetBuffer < delivered && device.delivery(onsetBuffer).firstSound < 0) ++onsetBuffer;
  std::size_t acceptingBuffer = delivered;
  while (acceptingBuffer > onsetBuffer && device.delivery(acceptingBuffer - 1).time > judged)
    --acceptingBuffer;
  if (onsetBuffer >= delivered || acceptingBuffer <= onsetBuffer) return;
  --acceptingBuffer;
  const WatchedSoundInput::Delivery& onset = device.delivery(onsetBuffer);
  if (onset.firstSoundValue != *firstSound) return;  // not the take's beginning
  const std::size_t lastSample =
      static_cast<std::size_t>(firstSound - take.begin()) +
      static_cast<std::size_t>(kBufferSamples - 1 - onset.firstSound) +
      static_cast<std::size_t>(kBufferSamples) * (acceptingBuffer - onsetBuffer);
  const std::optional<Clock::time_point> lastWritten = singer.writtenAt(lastSample);
  if (!lastWritten) return;
  const Clock::time_point handedOver = device.delivery(acceptingBuffer).time;
  figures.heard.push_back(milliseconds(*lastWritten - *singer.onset()));
  figures.path.push_back(milliseconds(judged - *lastWritten));
  figures.server.push_back(milliseconds(handedOver - *lastWritten));
  figures.program.push_back(milliseconds(judged - handedOver));
  figures.frames.push_back(static_cast<double>(acceptingBuffer - onsetBuffer + 1));
}

void report(benchmark::State& state, const Figures& figures) {
  const double rules = kFramesToAccept * kFrameMs;
  state.counters["median_ms"] = percentile(figures.latency, 0.5);
  state.counters["p95_ms"] = percentile(figures.latency, 0.95);
  state.counters["min_ms"] = percentile(figures.latency, 0);
  state.counters["max_ms"] = percentile(figures.latency, 1);
  state.counters["rules_ms"] = rules;
  state.counters["added_median_ms"] = percentile(figures.latency, 0.5) - rules;
  state.counters["added_p95_ms"] = percentile(figures.latency, 0.95) - rules;
  state.counters["heard_median_ms"] = percentile(figures.heard, 0.5);
  state.counters["path_median_ms"] = percentile(figures.path, 0.5);
  state.counters["path_p95_ms"] = percentile(figures.path, 0.95);
  state.counters["server_median_ms"] = percentile(figures.server, 0.5);
  state.counters["server_p95_ms"] = percentile(figures.server, 0.95);
  state.counters["program_median_ms"] = percentile(figures.program, 0.5);
  state.counters["program_p95_ms"] = percentile(figures.program, 0.95);
  state.counters["to_sound_median_ms"] = percentile(figures.toSound, 0.5);
  state.counters["frames_median"] = percentile(figures.frames, 0.5);
  state.counters["judged"] = static_cast<double>(figures.latency.size());
  state.counters["missed"] = figures.missed;
  state.counters["wrong"] = figures.wrong;
  state.counters["placed"] = static_cast<double>(figures.path.size());
}

void BM_SungNoteToJudge(benchmark::State& state) {
  if (!servicesPresent(state)) return;
  PrivateSettings settings({{"MimicMastery95Percent", kAllPitchClassesLevel}});
  Singer singer;
  platform::SystemMidiOut midiOut;
  platform::RtAudioSoundInput microphone;
  WatchedSoundInput soundInput(microphone);
  platform::RtMidiInput midiInput;
  TimedFeedbackSounds sounds;
  NoDocuments documents;
  std::mt19937 random(7);
  std::uniform_int_distribution<int> phase(0, static_cast<int>(kFrameMs));
  Figures figures;

  for (auto _ : state) {
    TForm1 window({midiOut, soundInput, midiInput, sounds, documents, [](int) {}});
    window.FormActivate();
    if (!capturing(state, window)) return;
    NoticeWatch watch(window);
    // Practice Mode keeps the level: no promotion brings two-note questions.
    window.menus().PracticeMode1->setChecked(true);
    window.menus().MimicSing1->trigger();
    Lesson& lesson = window.lesson();
    for (int note = 0; note < kNotes; ++note) {
      // The question has sounded and the readout takes answers again.
      const bool answerable = runEventsUntil(
          [&] {
            return window.core().player().PlaybackIdle() &&
                   lesson.framesSincePlay() > kFramesBeforeAnswer;
          },
          5s);
      if (!answerable || lesson.question.QuestionNoteCount != 1) {
        state.SkipWithError("the Mimic question did not become answerable");
        return;
      }
      std::vector<std::int16_t> take =
          sungNote(lesson.question.QuestionNotes[0], 1.5, static_cast<std::uint64_t>(note + 1));
      // Onsets at every phase of the capture buffers.
      runEvents(std::chrono::milliseconds(phase(random)));

      const int correctBefore = lesson.scores.LevelCorrect;
      const int lettersBefore = watch.letters;
      const std::size_t soundsBefore = sounds.times.size();
      QEventLoop untilJudged;
      watch.quitOnLetter = &untilJudged;
      QTimer::singleShot(kLetterTimeout, &untilJudged, &QEventLoop::quit);
      const std::size_t armedAt = soundInput.deliveries();
      soundInput.armForSound();
      singer.sing(take);
      untilJudged.exec();
      watch.quitOnLetter = nullptr;

      const std::optional<Clock::time_point> onset = singer.onset();
      if (watch.letters == lettersBefore || !onset) {
        ++figures.missed;
      } else if (lesson.scores.LevelCorrect == correctBefore) {
        ++figures.wrong;
      } else {
        figures.latency.push_back(milliseconds(watch.lastLetter - *onset));
        if (sounds.times.size() > soundsBefore)
          figures.toSound.push_back(milliseconds(sounds.times[soundsBefore] - *onset));
        splitLatency(figures, singer, take, soundInput, armedAt, watch.lastLetter);
      }
      singer.stop();
    }
  }
  report(state, figures);
}
BENCHMARK(BM_SungNoteToJudge)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace
}  // namespace auralis::bench
