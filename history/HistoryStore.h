#pragma once

#include <QObject>
#include <QPointer>
#include <QSqlDatabase>
#include <QString>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <type_traits>
#include <utility>

#include "engine/AnswerRecord.h"
#include "engine/Coaching.h"

namespace auralis {

enum class HistoryState {
  Opening,      // the writer has not opened the file yet
  Ready,        // answers are being kept
  Waiting,      // the file cannot be opened now (full disk, locked): answers are held in memory
  Unavailable,  // the folder or file cannot be written: answers are dropped
  Newer,        // a newer program's file: left as it is, answers are dropped
};

// A file that cannot be opened at start for a passing reason (a full disk, a lock held by
// another program) is tried again after these, doubling from the first to the longest.
inline constexpr std::chrono::seconds kFirstOpenRetry{1};
inline constexpr std::chrono::seconds kLongestOpenRetry{30};
// Answers and level changes held in memory meanwhile; later ones are dropped.
inline constexpr std::size_t kHeldAnswerLimit = 10000;

// Keeps every answer in an SQLite file. Recording only queues the answer; a writer thread with a
// connection of its own writes whatever has queued in one transaction, into a file in WAL mode,
// so the interface thread never waits for the disk. Faults never reach the lessons: the store
// tells the user once per kind of fault (notice) and drops what it cannot write, except that
// while a file that cannot be opened is tried again, the answers wait in memory.
class HistoryStore : public QObject, public AnswerRecorder {
  Q_OBJECT

 public:
  explicit HistoryStore(QString databasePath, QObject* parent = nullptr);
  // Writes what is queued, and what is held if the file opens now, then closes the file.
  ~HistoryStore() override;
  HistoryStore(const HistoryStore&) = delete;
  HistoryStore& operator=(const HistoryStore&) = delete;

  void recordAnswer(const AnswerRecord& answer) override;
  void recordLevelEvent(const LevelEvent& event) override;
  void recordHeldNote(const HeldNote& note) override;
  void recordLongTone(const LongToneResult& take) override;
  // Removes every answer, level change, sung note, long tone and earlier session.
  void clearHistory();
  // Waits until everything queued so far has been written or dropped: for exit and tests.
  void flush();

  // Runs `query`, a plain function of a read-only connection to the file that returns a value, on
  // the writer's thread once everything recorded so far has been written, and then hands its
  // value to `done` on the interface thread, unless `receiver` has gone by then. The connection
  // is closed when the file could not be opened; a query then finds nothing.
  template <typename Query, typename Done>
  void ask(QObject* receiver, Query query, Done done);

  HistoryState state() const { return state_.load(); }
  // The row of this run in the sessions table; 0 until the file is open.
  std::int64_t sessionId() const { return sessionId_.load(); }
  const QString& databasePath() const { return path_; }

 Q_SIGNALS:
  // A fault the user should know of, once per kind; on the interface thread.
  void notice(const QString& text);
  // Answers reached the file, or the history was cleared.
  void changed();

 private:
  class Writer;
  friend class Writer;
  void postNotice(const QString& text);
  void postChanged();
  // Runs `read` on the writer's thread after what is queued; `reply` then runs on the store's.
  void read(std::function<void(const QSqlDatabase&)> read);
  void reply(std::function<void()> reply);

  QString path_;
  std::int64_t startedMs_;  // the run's start, the session's
  std::atomic<HistoryState> state_{HistoryState::Opening};
  std::atomic<std::int64_t> sessionId_{0};
  std::unique_ptr<Writer> writer_;
};

template <typename Query, typename Done>
void HistoryStore::ask(QObject* receiver, Query query, Done done) {
  using Value = std::invoke_result_t<Query&, const QSqlDatabase&>;
  // Looked at only on the interface thread, where the receiver lives.
  QPointer<QObject> target(receiver);
  read([this, target, query = std::move(query),
        done = std::move(done)](const QSqlDatabase& db) mutable {
    reply([target = std::move(target), done = std::move(done),
           value = std::make_shared<Value>(query(db))]() mutable {
      if (target) done(std::move(*value));
    });
  });
}

}  // namespace auralis
