#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QVariant>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <ostream>
#include <vector>

#include "engine/AnswerRecord.h"
#include "history/HistoryQueries.h"
#include "history/HistoryStore.h"

// Readable failures.
inline void PrintTo(const QString& text, std::ostream* out) {
  *out << '"' << text.toStdString() << '"';
}

namespace auralis::testing {

// A second look at a history file, apart from the store and the window's queries.
class HistoryFile {
 public:
  explicit HistoryFile(const QString& path) : name_(QStringLiteral("inspect-%1").arg(++count_)) {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name_);
    db.setDatabaseName(path);
    db.open();
  }
  ~HistoryFile() {
    QSqlDatabase::database(name_, false).close();
    QSqlDatabase::removeDatabase(name_);
  }
  HistoryFile(const HistoryFile&) = delete;
  HistoryFile& operator=(const HistoryFile&) = delete;

  // The first value of the first row; invalid on an error or no row.
  QVariant value(const QString& sql) const {
    QSqlQuery q(QSqlDatabase::database(name_, false));
    if (!q.exec(sql) || !q.next()) return {};
    return q.value(0);
  }
  // Every row, each as its values.
  std::vector<QVariantList> rows(const QString& sql) const {
    QSqlQuery q(QSqlDatabase::database(name_, false));
    std::vector<QVariantList> result;
    if (!q.exec(sql)) return result;
    while (q.next()) {
      QVariantList row;
      for (int i = 0; i < q.record().count(); ++i) row << q.value(i);
      result.push_back(row);
    }
    return result;
  }
  bool exec(const QString& sql) const {
    QSqlQuery q(QSqlDatabase::database(name_, false));
    return q.exec(sql);
  }

 private:
  static inline int count_ = 0;
  QString name_;
};

// Keeps the history's thread busy in a question of its own, as a long count over a large history
// would, until released; whatever is asked meanwhile waits behind it.
class HistoryThreadHold {
 public:
  explicit HistoryThreadHold(HistoryStore& store) : state_(std::make_shared<State>()) {
    store.ask(
        &store,
        [state = state_](const QSqlDatabase&) {
          std::unique_lock lock(state->mutex);
          state->wake.wait(lock, [&] { return state->released; });
          return 0;
        },
        [](int) {});
  }
  ~HistoryThreadHold() { release(); }
  HistoryThreadHold(const HistoryThreadHold&) = delete;
  HistoryThreadHold& operator=(const HistoryThreadHold&) = delete;

  void release() {
    {
      std::lock_guard lock(state_->mutex);
      state_->released = true;
    }
    state_->wake.notify_all();
  }

 private:
  struct State {
    std::mutex mutex;
    std::condition_variable wake;
    bool released = false;
  };
  std::shared_ptr<State> state_;
};

// A history file in a private folder, the store's notices collected as they arrive.
class HistoryTest : public ::testing::Test {
 public:
  QString path() const { return dir.path() + QStringLiteral("/Auralis/history.sqlite"); }

  HistoryStore& openStore() { return openStore(path()); }
  HistoryStore& openStore(const QString& file) {
    store = std::make_unique<HistoryStore>(file);
    QObject::connect(store.get(), &HistoryStore::notice,
                     [this](const QString& text) { notices.push_back(text); });
    return *store;
  }
  // Everything recorded so far is in the file, and every notice has arrived.
  void settle() {
    store->flush();
    QCoreApplication::sendPostedEvents();
  }
  void closeStore() {
    store.reset();
    QCoreApplication::sendPostedEvents();
  }

  // Local noon `daysAgo` days before 2024-06-15, clear of any day boundary.
  static std::int64_t noon(int daysAgo, int minutes = 0) {
    return QDateTime(QDate(2024, 6, 15).addDays(-daysAgo), QTime(12, minutes)).toMSecsSinceEpoch();
  }
  static QDateTime now() { return QDateTime(QDate(2024, 6, 15), QTime(18, 0)); }
  // What the statistics ask for, as of now(), in this run's session.
  HistoryFilter filter(HistoryRange range = HistoryRange::All,
                       std::optional<LessonMode> lesson = std::nullopt) const {
    HistoryFilter f;
    f.range = range;
    f.lesson = lesson;
    f.sessionId = store ? store->sessionId() : 0;
    f.now = now();
    return f;
  }

  static AnswerRecord answer(std::int64_t atMs, int questionNote, char letter, bool correct,
                             LessonMode lesson = LessonMode::Identify, int level = 1,
                             int responseMs = 900) {
    AnswerRecord a;
    a.atMs = atMs;
    a.lesson = lesson;
    a.level = level;
    a.questionNotes = {questionNote};
    a.questionNoteCount = 1;
    a.letter = letter;
    a.correct = correct;
    a.responseMs = responseMs;
    return a;
  }
  static AnswerRecord sung(std::int64_t atMs, int questionNote, char letter, double cents) {
    AnswerRecord a = answer(atMs, questionNote, letter, true, LessonMode::Mimic);
    a.source = AnswerSource::Sung;
    a.cents = cents;
    a.octave = questionNote / 12;
    a.detectedNote = questionNote - 21;
    return a;
  }

  QTemporaryDir dir;
  std::unique_ptr<HistoryStore> store;
  std::vector<QString> notices;
};

}  // namespace auralis::testing
