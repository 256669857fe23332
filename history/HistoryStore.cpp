#include "history/HistoryStore.h"

#include <sys/resource.h>
#include <unistd.h>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <mutex>
#include <optional>
#include <vector>

#include "engine/Notes.h"
#include "history/HistoryPaths.h"
#include "history/HistoryQueries.h"
#include "history/HistorySchema.h"
#include "platform/OrderedWorker.h"

namespace auralis {

namespace {

// SQLite's primary result codes that say the file itself is damaged.
constexpr int kSqliteBusy = 5;
constexpr int kSqliteLocked = 6;
constexpr int kSqliteIoError = 10;
constexpr int kSqliteCorrupt = 11;
constexpr int kSqliteFull = 13;
constexpr int kSqliteNotADatabase = 26;

int primaryCode(const QSqlError& error) {
  return error.nativeErrorCode().toInt() & 0xff;
}

bool isDamage(const QSqlError& error) {
  const int code = primaryCode(error);
  return code == kSqliteCorrupt || code == kSqliteNotADatabase;
}

// Faults that go by themselves: space freed, another program's lock released. A write past the
// size limit of a file fails as an I/O error.
bool passes(const QSqlError& error) {
  const int code = primaryCode(error);
  return code == kSqliteBusy || code == kSqliteLocked || code == kSqliteIoError ||
         code == kSqliteFull;
}

QString reasonOf(const QSqlError& error) {
  switch (primaryCode(error)) {
    case kSqliteFull:
      return QStringLiteral("the disk is full.");
    case kSqliteBusy:
    case kSqliteLocked:
      return QStringLiteral("another program holds it locked.");
    default:
      return error.text();
  }
}

QString connectionName() {
  static std::atomic<int> count{0};
  return QStringLiteral("auralis-history-writer-%1").arg(++count);
}

QVariant nullable(bool present, const QVariant& value) {
  return present ? value : QVariant(value.metaType());
}

struct Item {
  enum class Kind { Answer, Event, Clear, HeldNote, LongTone } kind;
  AnswerRecord answer;
  LevelEvent event;
  HeldNote note;
  LongToneResult take;
};

enum class Opened { Ready, Damaged, Newer, Failed };

// The writes and the counts of the statistics can wait; the interface thread, which shares the
// cores with them, should not. Linux gives each thread a niceness of its own.
constexpr int kWriterNiceness = 10;

void yieldToTheInterface() {
  setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), kWriterNiceness);
}

}  // namespace

// The writer's work runs on an OrderedWorker of its own: the opening, each batch of what has
// queued, the tries to open the file again, and the last try and the closing at the end.
class HistoryStore::Writer {
 public:
  explicit Writer(HistoryStore& store) : store_(store), name_(connectionName()) {
    queue_.reserve(64);
    worker_.run([] { yieldToTheInterface(); });
    worker_.run([this] { open(); });
  }

  ~Writer() {
    // The retries end here; one last try follows what is queued.
    worker_.dropDelayed();
    worker_.run([this] { finish(); });
    worker_.stop();
  }

  Writer(const Writer&) = delete;
  Writer& operator=(const Writer&) = delete;

  // Whatever queues while a batch is written goes into the next batch, in one transaction.
  void push(const Item& item) {
    bool first = false;
    {
      std::lock_guard lock(mutex_);
      first = queue_.empty();
      queue_.push_back(item);
    }
    if (first) worker_.run([this] { writeQueued(); });
  }

  void flush() { worker_.waitUntilIdle(); }

  // After every batch handed over before it, so a read sees what was recorded before it.
  void read(std::function<void(const QSqlDatabase&)> task) {
    worker_.run([this, task = std::move(task)] {
      if (!reader_) reader_.emplace(store_.path_);
      task(reader_->database());
    });
  }

 private:
  void writeQueued() {
    std::vector<Item> batch;
    {
      std::lock_guard lock(mutex_);
      batch.swap(queue_);
    }
    if (store_.state() == HistoryState::Waiting)
      hold(batch);
    else if (store_.state() == HistoryState::Ready)
      writeOrRecover(batch);
  }

  void finish() {
    // So that what was held is not lost when the file opens by now.
    if (store_.state() == HistoryState::Waiting && !held_.empty()) retryOpen();
    close();
    closed_ = true;
  }

  void open() {
    if (store_.path_.isEmpty()) {
      notKept(QStringLiteral("neither XDG_DATA_HOME nor HOME names an absolute folder."));
      return;
    }
    const QString folder = QFileInfo(store_.path_).absolutePath();
    if (!QDir().mkpath(folder)) {
      notKept(QStringLiteral("the folder %1 cannot be created.").arg(folder));
      return;
    }
    for (int attempt = 0; attempt < 2; ++attempt) {
      switch (tryOpen()) {
        case Opened::Ready:
          writeHeld();
          if (store_.state() != HistoryState::Unavailable) store_.state_ = HistoryState::Ready;
          return;
        case Opened::Newer:
          close();
          store_.state_ = HistoryState::Newer;
          store_.postNotice(QStringLiteral(
              "The answer history was written by a newer version of Auralis. It is left as it "
              "is, and the answers of this run are not kept."));
          return;
        case Opened::Damaged:
          if (attempt == 0 && setAside()) break;
          close();
          notKept(QStringLiteral("the damaged file %1 cannot be moved aside.").arg(store_.path_));
          return;
        case Opened::Failed:
          close();
          if (passes(failureError_)) {
            waitToOpen();
            return;
          }
          notKept(failure_);
          return;
      }
    }
  }

  Opened fail(const QSqlError& error) {
    failureError_ = error;
    failure_ = error.text();
    return isDamage(error) ? Opened::Damaged : Opened::Failed;
  }

  // Until the file opens, answers wait in memory and the opening is tried again, each time after
  // twice the wait before, up to the longest.
  void waitToOpen() {
    if (store_.state() == HistoryState::Waiting) return;  // a retry, which goes on by itself
    store_.state_ = HistoryState::Waiting;
    worker_.retry(
        [this] {
          if (closed_) return true;
          retryOpen();
          return store_.state() != HistoryState::Waiting;
        },
        {kFirstOpenRetry, kLongestOpenRetry});
    store_.postNotice(QStringLiteral("The answer history cannot be opened now: %1 The answers "
                                     "of this run are kept in memory and written to it once "
                                     "it opens.")
                          .arg(reasonOf(failureError_)));
  }

  void retryOpen() {
    open();
    // Written, or dropped with the file.
    if (store_.state() != HistoryState::Waiting) held_.clear();
  }

  // Before the store counts as ready, so that what was held comes before any later answer.
  void writeHeld() {
    if (store_.state() != HistoryState::Waiting) return;
    store_.postNotice(QStringLiteral("The answer history has opened; the %1 answers and level "
                                     "changes kept in memory meanwhile are written to it.")
                          .arg(held_.size()));
    if (!held_.empty()) writeOrRecover(held_);
  }

  // The oldest are kept: they are the start of the run's history.
  void hold(const std::vector<Item>& batch) {
    for (const Item& item : batch) {
      if (held_.size() < kHeldAnswerLimit) {
        held_.push_back(item);
      } else if (!toldHeldFull_) {
        toldHeldFull_ = true;
        store_.postNotice(QStringLiteral("Answers are not being kept: %1 answers wait for the "
                                         "answer history to open, and later ones are dropped.")
                              .arg(kHeldAnswerLimit));
      }
    }
  }

  Opened tryOpen() {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name_);
    db.setDatabaseName(store_.path_);
    // Another running copy of the program may hold the write lock for a moment.
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    if (!db.open()) return fail(db.lastError());
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("PRAGMA user_version")) || !query.next())
      return fail(query.lastError());
    const int version = query.value(0).toInt();
    // Nothing may be written to a newer program's file, not even the journal mode.
    if (version > kHistorySchemaVersion) return Opened::Newer;
    if (!query.exec(QStringLiteral("PRAGMA journal_mode = WAL")) ||
        !query.exec(QStringLiteral("PRAGMA synchronous = NORMAL")))
      return fail(query.lastError());
    if (!query.exec(QStringLiteral("PRAGMA quick_check")) || !query.next())
      return fail(query.lastError());
    if (query.value(0).toString() != QStringLiteral("ok")) return Opened::Damaged;
    query.finish();
    if (version < kHistorySchemaVersion) {
      QSqlError error;
      if (!migrateHistory(db, version, &error)) return fail(error);
    }
    query.prepare(QStringLiteral("INSERT INTO sessions(started) VALUES (?)"));
    query.addBindValue(isoUtc(store_.startedMs_));
    if (!query.exec()) return fail(query.lastError());
    store_.sessionId_ = query.lastInsertId().toLongLong();
    return prepareStatements(db) ? Opened::Ready : Opened::Failed;
  }

  bool prepareStatements(const QSqlDatabase& db) {
    insertAnswer_.emplace(db);
    insertEvent_.emplace(db);
    insertNote_.emplace(db);
    insertTake_.emplace(db);
    const bool ok =
        insertAnswer_->prepare(QStringLiteral(
            "INSERT INTO answers(session, at, day, lesson, level, question, position, answer,"
            " source, correct, response_ms, cents, octave, detected_note, offset_step, expected,"
            " answered, item, answered_item, direction)"
            " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")) &&
        insertEvent_->prepare(QStringLiteral(
            "INSERT INTO level_events(session, at, day, lesson, from_level, to_level, kind)"
            " VALUES (?, ?, ?, ?, ?, ?, ?)")) &&
        insertNote_->prepare(QStringLiteral(
            "INSERT INTO sung_notes(session, at, day, lesson, level, question, note, pitch_class,"
            " cents, spread, frames, duration_ms, accepted, judged)"
            " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")) &&
        insertTake_->prepare(QStringLiteral(
            "INSERT INTO long_tones(session, at, day, note, target_ms, heard_ms, within10,"
            " within25, drift, wobble, completed) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    if (!ok)
      failure_ = insertAnswer_->lastError().text() + insertEvent_->lastError().text() +
                 insertNote_->lastError().text() + insertTake_->lastError().text();
    return ok;
  }

  // The reader goes too, so that it never holds a file set aside; the next read opens it again.
  void close() {
    reader_.reset();
    insertAnswer_.reset();
    insertEvent_.reset();
    insertNote_.reset();
    insertTake_.reset();
    if (QSqlDatabase::contains(name_)) {
      QSqlDatabase::database(name_, false).close();
      QSqlDatabase::removeDatabase(name_);
    }
  }

  // Moves the damaged file aside, with its journal, which belongs to it and must not be applied
  // to the new file. False when the file cannot be moved.
  bool setAside() {
    close();
    const QString& path = store_.path_;
    QString aside = corruptCopyPath(path, QDateTime::currentDateTime());
    for (int n = 2; QFileInfo::exists(aside); ++n)
      aside = corruptCopyPath(path, QDateTime::currentDateTime()) + QStringLiteral("-%1").arg(n);
    if (!QFile::rename(path, aside)) return false;
    if (QFileInfo::exists(path + QStringLiteral("-wal")))
      QFile::rename(path + QStringLiteral("-wal"), aside + QStringLiteral("-wal"));
    QFile::remove(path + QStringLiteral("-shm"));
    store_.postNotice(QStringLiteral("The answer history was damaged. It has been moved to %1 "
                                     "and a new history has been started.")
                          .arg(QFileInfo(aside).fileName()));
    return true;
  }

  void notKept(const QString& reason) {
    store_.state_ = HistoryState::Unavailable;
    tellNotKept(reason);
  }

  void tellNotKept(const QString& reason) {
    if (toldNotKept_) return;
    toldNotKept_ = true;
    store_.postNotice(QStringLiteral("Answers are not being kept: %1").arg(reason));
  }

  void writeOrRecover(const std::vector<Item>& batch) {
    const std::optional<QSqlError> error = write(batch);
    if (!error) {
      store_.postChanged();
      return;
    }
    if (isDamage(*error)) {
      // A file damaged while the program runs: start a new one and keep this batch there.
      if (setAside() && tryOpen() == Opened::Ready) {
        if (!write(batch)) store_.postChanged();
        return;
      }
      close();
      notKept(failure_);
      return;
    }
    // A full disk or a lost folder may come back: later answers try again.
    tellNotKept(primaryCode(*error) == kSqliteFull ? QStringLiteral("the disk is full.")
                                                   : error->text());
  }

  std::optional<QSqlError> write(const std::vector<Item>& batch) {
    QSqlDatabase db = QSqlDatabase::database(name_, false);
    if (!db.transaction()) return db.lastError();
    for (const Item& item : batch) {
      const std::optional<QSqlError> error = writeItem(db, item);
      if (error) {
        db.rollback();
        return error;
      }
    }
    if (!db.commit()) {
      const QSqlError error = db.lastError();
      db.rollback();
      return error;
    }
    return std::nullopt;
  }

  std::optional<QSqlError> writeItem(const QSqlDatabase& db, const Item& item) {
    const qlonglong session = store_.sessionId();
    if (item.kind == Item::Kind::Clear) {
      QSqlQuery query(db);
      for (const QString& statement :
           {QStringLiteral("DELETE FROM answers"), QStringLiteral("DELETE FROM level_events"),
            QStringLiteral("DELETE FROM sung_notes"), QStringLiteral("DELETE FROM long_tones"),
            QStringLiteral("DELETE FROM sessions WHERE id <> %1").arg(session)})
        if (!query.exec(statement)) return query.lastError();
      return std::nullopt;
    }
    if (item.kind == Item::Kind::Event) {
      const LevelEvent& e = item.event;
      QSqlQuery& q = *insertEvent_;
      const QVariantList values = {
          session,     isoUtc(e.atMs), localDay(e.atMs),      lessonName(e.lesson),
          e.fromLevel, e.toLevel,      levelEventName(e.kind)};
      for (int i = 0; i < values.size(); ++i) q.bindValue(i, values[i]);
      if (!q.exec()) return q.lastError();
      return std::nullopt;
    }
    if (item.kind == Item::Kind::HeldNote)
      return exec(*insertNote_, heldNoteRow(session, item.note));
    if (item.kind == Item::Kind::LongTone)
      return exec(*insertTake_, longToneRow(session, item.take));
    const AnswerRecord& a = item.answer;
    const bool sung = a.source == AnswerSource::Sung;
    const int position = std::clamp(a.position, 0, static_cast<int>(a.questionNotes.size()) - 1);
    QSqlQuery& q = *insertAnswer_;
    const QVariantList values = {
        session,
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
        nullable(sung && !std::isnan(a.cents), a.cents),
        nullable(sung, a.octave),
        nullable(sung, a.detectedNote),
        nullable(sung, a.offsetStep),
        pitchClassOf(a.questionNotes[static_cast<std::size_t>(position)]),
        LetterToPitchClass(a.letter),
        nullable(!a.item.empty(), QString::fromStdString(a.item)),
        nullable(!a.answeredItem.empty(), QString::fromStdString(a.answeredItem)),
        nullable(!a.direction.empty(), QString::fromStdString(a.direction))};
    for (int i = 0; i < values.size(); ++i) q.bindValue(i, values[i]);
    if (!q.exec()) return q.lastError();
    return std::nullopt;
  }

  static std::optional<QSqlError> exec(QSqlQuery& q, const QVariantList& values) {
    for (int i = 0; i < values.size(); ++i) q.bindValue(i, values[i]);
    if (!q.exec()) return q.lastError();
    return std::nullopt;
  }

  static QVariantList heldNoteRow(qlonglong session, const HeldNote& n) {
    return {session,
            isoUtc(n.startMs),
            localDay(n.startMs),
            lessonName(n.lesson),
            n.level,
            questionText(n.questionNotes, n.questionNoteCount),
            n.midiNote,
            pitchClassOf(n.midiNote),
            n.meanCents,
            n.spreadCents,
            n.frames,
            n.durationMs,
            n.accepted ? 1 : 0,
            judgementName(n.judged)};
  }

  static QVariantList longToneRow(qlonglong session, const LongToneResult& t) {
    return {session,      isoUtc(t.atMs), localDay(t.atMs),   t.midiNote,
            t.targetMs,   t.heardMs,      t.within10,         t.within25,
            t.driftCents, t.wobbleCents,  t.completed ? 1 : 0};
  }

  HistoryStore& store_;
  const QString name_;

  std::mutex mutex_;
  std::vector<Item> queue_;  // not yet taken by a batch

  // The writer thread's own.
  std::optional<QSqlQuery> insertAnswer_;
  std::optional<QSqlQuery> insertEvent_;
  std::optional<HistoryConnection> reader_;
  std::optional<QSqlQuery> insertNote_;
  std::optional<QSqlQuery> insertTake_;
  QString failure_;
  QSqlError failureError_;
  bool toldNotKept_ = false;
  std::vector<Item> held_;
  bool toldHeldFull_ = false;
  bool closed_ = false;  // for good, at the end

  // Last, so that it ends before what its tasks use.
  platform::OrderedWorker worker_;
};

HistoryStore::HistoryStore(QString databasePath, QObject* parent)
    : QObject(parent),
      path_(std::move(databasePath)),
      startedMs_(QDateTime::currentMSecsSinceEpoch()),
      writer_(std::make_unique<Writer>(*this)) {}

HistoryStore::~HistoryStore() {
  writer_.reset();
}

void HistoryStore::recordAnswer(const AnswerRecord& answer) {
  writer_->push({Item::Kind::Answer, answer, {}, {}, {}});
}

void HistoryStore::recordLevelEvent(const LevelEvent& event) {
  writer_->push({Item::Kind::Event, {}, event, {}, {}});
}

void HistoryStore::recordHeldNote(const HeldNote& note) {
  writer_->push({Item::Kind::HeldNote, {}, {}, note, {}});
}

void HistoryStore::recordLongTone(const LongToneResult& take) {
  writer_->push({Item::Kind::LongTone, {}, {}, {}, take});
}

void HistoryStore::clearHistory() {
  writer_->push({Item::Kind::Clear, {}, {}, {}, {}});
}

void HistoryStore::flush() {
  writer_->flush();
}

void HistoryStore::read(std::function<void(const QSqlDatabase&)> read) {
  writer_->read(std::move(read));
}

void HistoryStore::reply(std::function<void()> reply) {
  QMetaObject::invokeMethod(this, std::move(reply), Qt::QueuedConnection);
}

void HistoryStore::postNotice(const QString& text) {
  QMetaObject::invokeMethod(
      this, [this, text] { Q_EMIT notice(text); }, Qt::QueuedConnection);
}

void HistoryStore::postChanged() {
  QMetaObject::invokeMethod(
      this, [this] { Q_EMIT changed(); }, Qt::QueuedConnection);
}

}  // namespace auralis
