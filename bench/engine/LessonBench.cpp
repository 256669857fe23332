// Whole questions through the engine: draw, play, answer, judge, next question.

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "core/QuietHost.h"
#include "engine/Lesson.h"
#include "engine/Notes.h"
#include "platform/FakeMidiOutStream.h"

namespace {

std::atomic<long> allocations{0};

}  // namespace

// Counts every allocation so the benchmark can report how many one phrase costs.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
  allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}

namespace auralis {
namespace {

// A MIDI stream that completes every phrase at once and records nothing.
class InstantStream : public platform::MidiOutStream {
 public:
  int deviceCount() override { return 1; }
  std::string deviceName(int) override { return {}; }
  int open(int, DoneFn onDone) override {
    onDone_ = std::move(onDone);
    return 0;
  }
  int setTimeDivision(int) override { return 0; }
  int out(platform::MidiStreamHeader* header) override {
    onDone_(header);
    return 0;
  }
  int stop() override { return 0; }
  int close() override { return 0; }

 private:
  DoneFn onDone_;
};

// Answers every question of a two-note Identify level, one wrong attempt in five.
void BM_QuestionsWithAnswers(benchmark::State& state) {
  QuietHost host;
  NoMicrophone microphone;
  InstantStream stream;
  int posted = 0;
  MidiStreamPlayer player(stream, [&posted] { ++posted; });
  player.midiOutPresent = true;
  player.OpenMidiOut(-1);
  Lesson lesson(host, player, microphone);
  lesson.menus.PracticeMode1 = true;  // stay on one level
  lesson.random.RandomState = 20261208;
  lesson.mastery.IdentifyMastery95Percent = 40;
  lesson.Identify1Click();

  const auto drain = [&] {
    while (posted > 0) {
      --posted;
      lesson.PlaybackDone();
    }
  };
  long answers = 0;
  long phrases = 0;
  drain();
  const long before = allocations.load();
  for (auto _ : state) {
    for (int i = 0; i < 10000; ++i) {
      const bool wrong = i % 5 == 4;
      for (int k = 0; k < lesson.question.QuestionNoteCount; ++k) {
        const int pitchClass = pitchClassOf(lesson.question.QuestionNotes[k]);
        lesson.FormKeyPress(NoteLetters[(pitchClass + (wrong ? 1 : 0)) % 12]);
        phrases += posted;
        drain();
      }
      ++answers;
    }
  }
  const double perPhrase = phrases == 0 ? 0.0
                                        : static_cast<double>(allocations.load() - before) /
                                              static_cast<double>(phrases);
  state.counters["answers"] = benchmark::Counter(static_cast<double>(answers));
  state.counters["per_answer"] = benchmark::Counter(
      static_cast<double>(answers), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.counters["allocs_per_phrase"] = benchmark::Counter(perPhrase);
}
BENCHMARK(BM_QuestionsWithAnswers)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace auralis

BENCHMARK_MAIN();
