#include <benchmark/benchmark.h>

#include <QDateTime>
#include <QTemporaryDir>
#include <memory>
#include <random>

#include "app/StatisticsWindow.h"
#include "engine/Notes.h"
#include "history/HistoryQueries.h"

namespace auralis {
namespace {

constexpr int kStoredAnswers = 200000;
constexpr std::int64_t kDayMs = 24 * 3600 * 1000;

AnswerRecord someAnswer(std::mt19937& random, std::int64_t atMs) {
  std::uniform_int_distribution<int> note(48, 83);
  std::uniform_int_distribution<int> percent(0, 99);
  AnswerRecord a;
  a.atMs = atMs;
  a.lesson = percent(random) < 50 ? LessonMode::Identify : LessonMode::Mimic;
  a.level = 1 + percent(random) % 40;
  a.questionNotes = {note(random), note(random)};
  a.questionNoteCount = 2;
  a.position = percent(random) % 2;
  a.correct = percent(random) < 80;
  const int asked = a.questionNotes[static_cast<std::size_t>(a.position)];
  a.letter = NoteLetters[pitchClassOf(a.correct ? asked : asked + 1)];
  a.responseMs = 300 + percent(random) * 30;
  if (a.lesson == LessonMode::Mimic) {
    a.source = AnswerSource::Sung;
    a.cents = percent(random) - 50;
    a.octave = asked / 12;
    a.detectedNote = asked - 21;
  }
  return a;
}

// What a judged answer costs the interface thread: the store only queues it. A fixed count, as
// the writer drains the queue at its own pace and millions would only measure its backlog.
void BM_RecordAnswer(benchmark::State& state) {
  QTemporaryDir dir;
  HistoryStore store(dir.path() + QStringLiteral("/history.sqlite"));
  std::mt19937 random(1);
  const AnswerRecord answer = someAnswer(random, QDateTime::currentMSecsSinceEpoch());
  for (auto _ : state) store.recordAnswer(answer);
  store.flush();
}
BENCHMARK(BM_RecordAnswer)->Iterations(100000);

// A year of practice: 200,000 answers, most of them within the last 30 days.
class StoredHistory : public benchmark::Fixture {
 public:
  void SetUp(const benchmark::State&) override {
    if (store_) return;
    dir_ = std::make_unique<QTemporaryDir>();
    store_ = std::make_unique<HistoryStore>(dir_->path() + QStringLiteral("/history.sqlite"));
    std::mt19937 random(2);
    const std::int64_t now = QDateTime::currentMSecsSinceEpoch();
    for (int i = 0; i < kStoredAnswers; ++i) {
      const std::int64_t age = i < kStoredAnswers / 2 ? (i % 365) * kDayMs : (i % 30) * kDayMs;
      store_->recordAnswer(someAnswer(random, now - age - i % 1000));
    }
    store_->flush();
  }

 protected:
  static inline std::unique_ptr<QTemporaryDir> dir_;
  static inline std::unique_ptr<HistoryStore> store_;
};

// From nothing to a painted window over the whole history.
BENCHMARK_DEFINE_F(StoredHistory, OpenStatisticsWindow)(benchmark::State& state) {
  for (auto _ : state) {
    StatisticsWindow window(*store_);
    benchmark::DoNotOptimize(window.grab());
  }
}
BENCHMARK_REGISTER_F(StoredHistory, OpenStatisticsWindow)->Unit(benchmark::kMillisecond);

// Each chart's query over the whole history, to see which one an opening waits for.
BENCHMARK_DEFINE_F(StoredHistory, Query)(benchmark::State& state) {
  HistoryFilter all;
  const HistoryQueries queries(store_->databasePath());
  for (auto _ : state) {
    switch (state.range(0)) {
      case 0:
        benchmark::DoNotOptimize(queries.noteAnswers(all));
        break;
      case 1:
        benchmark::DoNotOptimize(queries.progress(all));
        break;
      default:
        benchmark::DoNotOptimize(queries.intonation(all));
        break;
    }
  }
}
BENCHMARK_REGISTER_F(StoredHistory, Query)
    ->ArgName("notes/progress/intonation")
    ->DenseRange(0, 2)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace auralis
