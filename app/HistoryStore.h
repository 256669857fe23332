#pragma once

#include <QObject>
#include <QString>
#include <atomic>
#include <cstdint>
#include <memory>

#include "engine/AnswerRecord.h"

namespace auralis {

enum class HistoryState {
  Opening,      // the writer has not opened the file yet
  Ready,        // answers are being kept
  Unavailable,  // the folder or file cannot be written: answers are dropped
  Newer,        // a newer program's file: left as it is, answers are dropped
};

// Keeps every answer in an SQLite file. Recording only queues the answer; a writer thread with a
// connection of its own writes whatever has queued in one transaction, into a file in WAL mode,
// so the interface thread never waits for the disk. Faults never reach the lessons: the store
// tells the user once per kind of fault (notice) and drops what it cannot write.
class HistoryStore : public QObject, public AnswerRecorder {
  Q_OBJECT

 public:
  explicit HistoryStore(QString databasePath, QObject* parent = nullptr);
  // Writes what is queued, then closes the file.
  ~HistoryStore() override;
  HistoryStore(const HistoryStore&) = delete;
  HistoryStore& operator=(const HistoryStore&) = delete;

  void recordAnswer(const AnswerRecord& answer) override;
  void recordLevelEvent(const LevelEvent& event) override;
  // Removes every answer, level change and earlier session.
  void clearHistory();
  // Waits until everything queued so far has been written or dropped: for exit and tests.
  void flush();

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

  QString path_;
  std::atomic<HistoryState> state_{HistoryState::Opening};
  std::atomic<std::int64_t> sessionId_{0};
  std::unique_ptr<Writer> writer_;
};

}  // namespace auralis
