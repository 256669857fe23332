#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <chrono>
#include <map>
#include <memory>
#include <random>

#include "app/StatisticsWindow.h"
#include "engine/Notes.h"
#include "history/HistoryQueries.h"
#include "history/HistorySchema.h"

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

// The answers as the store's writer writes them, in one transaction on a connection of the
// benchmark's own: the writer runs at a low priority, and on a busy machine a million answers
// through it would take most of the run.
void insertAnswers(const QString& path, std::int64_t session, int count) {
  const QString name = QStringLiteral("history-bench-fill");
  {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
    db.setDatabaseName(path);
    db.open();
    db.transaction();
    QSqlQuery insert(db);
    insert.prepare(QStringLiteral(
        "INSERT INTO answers(session, at, day, lesson, level, question, position, answer, source,"
        " correct, response_ms, cents, octave, detected_note, offset_step, expected, answered)"
        " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    std::mt19937 random(2);
    const std::int64_t now = QDateTime::currentMSecsSinceEpoch();
    for (int i = 0; i < count; ++i) {
      const std::int64_t age = i < count / 2 ? (i % 365) * kDayMs : (i % 30) * kDayMs;
      const AnswerRecord a = someAnswer(random, now - age - i % 1000);
      const bool sung = a.source == AnswerSource::Sung;
      const QVariant none;
      const QVariantList values = {
          qlonglong(session),
          isoUtc(a.atMs),
          localDay(a.atMs),
          lessonName(a.lesson),
          a.level,
          questionText(a),
          a.position,
          QString(QLatin1Char(a.letter)),
          sourceName(a.source),
          a.correct ? 1 : 0,
          a.responseMs,
          sung ? QVariant(a.cents) : none,
          sung ? QVariant(a.octave) : none,
          sung ? QVariant(a.detectedNote) : none,
          sung ? QVariant(a.offsetStep) : none,
          pitchClassOf(a.questionNotes[static_cast<std::size_t>(a.position)]),
          LetterToPitchClass(a.letter)};
      for (int v = 0; v < values.size(); ++v) insert.bindValue(v, values[v]);
      insert.exec();
    }
    db.commit();
    db.close();
  }
  QSqlDatabase::removeDatabase(name);
}

// A year of practice, most of it within the last 30 days: 200,000 answers, or 1,000,000 for a
// player of many years.
HistoryStore& storedHistory(int answers) {
  struct Stored {
    QTemporaryDir dir;
    std::unique_ptr<HistoryStore> store;
  };
  static std::map<int, Stored> stored;
  // The stores are QObjects with threads of their own: they end before the application does.
  if (stored.empty()) qAddPostRoutine([] { stored.clear(); });
  Stored& s = stored[answers];
  if (s.store) return *s.store;
  s.store = std::make_unique<HistoryStore>(s.dir.path() + QStringLiteral("/history.sqlite"));
  s.store->flush();  // the file and its tables exist
  insertAnswers(s.store->databasePath(), s.store->sessionId(), answers);
  return *s.store;
}

// The longest the interface thread goes without its events: a timer on it ticks every
// millisecond, and the first tick counts from the given start.
class Heartbeat {
 public:
  using Clock = std::chrono::steady_clock;

  explicit Heartbeat(Clock::time_point start) : last_(start) {
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      const Clock::time_point now = Clock::now();
      longest_ = std::max(longest_, now - last_);
      last_ = now;
    });
    timer_.start(1);
  }
  Clock::duration longestGap() const { return std::max(longest_, Clock::now() - last_); }

 private:
  QTimer timer_;
  Clock::time_point last_;
  Clock::duration longest_{};
};

double msOf(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

// From the menu item to a window whose every chart has drawn, over the whole history: the
// longest the interface thread was held (gap_ms), until the window was mapped and painted
// (mapped_ms) and until the last chart drew (drawn_ms, the time reported).
void BM_OpenStatisticsWindow(benchmark::State& state) {
  HistoryStore& store = storedHistory(static_cast<int>(state.range(0)));
  double gap = 0;
  double mapped = 0;
  double drawn = 0;
  for (auto _ : state) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    const Heartbeat heartbeat(start);
    StatisticsWindow window(store);
    window.show();
    while (window.windowHandle() == nullptr || !window.windowHandle()->isExposed())
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    QCoreApplication::processEvents();  // the first paint
    const Clock::time_point shown = Clock::now();
    while (window.waiting()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    QCoreApplication::processEvents();  // the last chart's paint
    const Clock::time_point done = Clock::now();
    state.SetIterationTime(std::chrono::duration<double>(done - start).count());
    gap = std::max(gap, msOf(heartbeat.longestGap()));
    mapped += msOf(shown - start);
    drawn += msOf(done - start);
  }
  const auto runs = static_cast<double>(state.iterations());
  state.counters["gap_ms"] = gap;  // the longest of the run
  state.counters["mapped_ms"] = mapped / runs;
  state.counters["drawn_ms"] = drawn / runs;
}
BENCHMARK(BM_OpenStatisticsWindow)
    ->ArgName("answers")
    ->Arg(200000)
    ->Arg(1000000)
    ->Iterations(5)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// Each chart's query over the whole history, to see which one an opening waits for.
void BM_Query(benchmark::State& state) {
  HistoryFilter all;
  const HistoryConnection connection(storedHistory(200000).databasePath());
  for (auto _ : state) {
    switch (state.range(0)) {
      case 0:
        benchmark::DoNotOptimize(noteAnswers(connection.database(), all));
        break;
      case 1:
        benchmark::DoNotOptimize(progress(connection.database(), all));
        break;
      default:
        benchmark::DoNotOptimize(intonation(connection.database(), all));
        break;
    }
  }
}
BENCHMARK(BM_Query)
    ->ArgName("notes/progress/intonation")
    ->DenseRange(0, 2)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace auralis
