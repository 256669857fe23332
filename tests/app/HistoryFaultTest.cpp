#include <sys/resource.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <QThread>
#include <csignal>
#include <functional>
#include <random>

#include "history/HistoryQueries.h"
#include "history/HistorySchema.h"
#include "history/HistoryStore.h"
#include "tests/app/HistoryFixture.h"

namespace auralis::testing {
namespace {

QByteArray bytesOf(const QString& path) {
  QFile f(path);
  f.open(QIODevice::ReadOnly);
  return f.readAll();
}

void writeBytes(const QString& path, const QByteArray& bytes, qint64 at = 0) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::ReadWrite));
  f.seek(at);
  f.write(bytes);
}

int countOf(const QString& path, const char* table = "answers") {
  return HistoryFile(path).value(QStringLiteral("SELECT COUNT(*) FROM %1").arg(table)).toInt();
}

QStringList setAside(const QString& folder) {
  return QDir(folder).entryList({QStringLiteral("history.sqlite.corrupt-*")}, QDir::Files);
}

struct Damage {
  const char* name;
  void (*make)(HistoryTest& test, const QString& path);
};

const std::vector<Damage> kDamages = {
    {"text in place of the file",
     [](HistoryTest&, const QString& path) {
       QDir().mkpath(QFileInfo(path).absolutePath());
       writeBytes(path,
                  QByteArray("these are not the answers you are looking for\n").repeated(200));
     }},
    {"pages scribbled over",
     [](HistoryTest& test, const QString& path) {
       HistoryStore& s = test.openStore(path);
       for (int i = 0; i < 2000; ++i)
         s.recordAnswer(HistoryTest::answer(i, 60 + i % 12, 'c', true));
       test.closeStore();
       // Page 1 holds the header and the schema; the tables' pages follow it.
       writeBytes(path, QByteArray(3 * 4096, '\xA5'), 4096);
     }},
};

class HistoryFaults : public HistoryTest {
 protected:
  // Runs the writer program to its end: it must go on through the fault to the end, and tell
  // of it once.
  void expectAnswersDroppedWithOneNotice(const QStringList& arguments) {
    QProcess writer;
    writer.start(QStringLiteral(AURALIS_HISTORY_WRITER), arguments);
    ASSERT_TRUE(writer.waitForFinished(60000));
    const QStringList lines = QString::fromLocal8Bit(writer.readAllStandardOutput())
                                  .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    const std::string output = lines.join('\n').toStdString();
    EXPECT_EQ(writer.exitStatus(), QProcess::NormalExit) << output;
    EXPECT_EQ(writer.exitCode(), 0) << output;
    EXPECT_TRUE(lines.contains(QStringLiteral("done"))) << output;
    const QStringList told = lines.filter(QRegularExpression(QStringLiteral("^notice: ")));
    ASSERT_EQ(told.size(), 1) << output;
    EXPECT_TRUE(told[0].startsWith(QStringLiteral("notice: Answers are not being kept"))) << output;
  }
};

TEST_F(HistoryFaults, ADamagedFileIsSetAsideAndANewOneStartedWithOneNotice) {
  for (const Damage& damage : kDamages) {
    SCOPED_TRACE(damage.name);
    QTemporaryDir folder;
    const QString file = folder.path() + QStringLiteral("/history.sqlite");
    damage.make(*this, file);
    const QByteArray damaged = bytesOf(file);
    notices.clear();

    openStore(file).recordAnswer(answer(noon(0), 62, 'd', true));
    settle();
    EXPECT_EQ(store->state(), HistoryState::Ready);
    closeStore();

    ASSERT_EQ(notices.size(), 1u);
    EXPECT_TRUE(notices[0].contains(QStringLiteral("damaged"))) << notices[0].toStdString();
    const QStringList aside = setAside(folder.path());
    ASSERT_EQ(aside.size(), 1);
    EXPECT_TRUE(notices[0].contains(aside[0])) << "the notice names the copy";
    EXPECT_EQ(bytesOf(folder.path() + QLatin1Char('/') + aside[0]), damaged)
        << "the damaged file is kept as it was";
    const HistoryFile fresh(file);
    EXPECT_EQ(fresh.value(QStringLiteral("PRAGMA integrity_check")).toString(), "ok");
    EXPECT_EQ(fresh.value(QStringLiteral("SELECT COUNT(*) FROM answers")).toInt(), 1);
  }
}

TEST_F(HistoryFaults, ANewerProgramsFileIsLeftAsItIsAndStillShown) {
  openStore().recordAnswer(answer(noon(0), 64, 'e', true));
  closeStore();
  {
    const HistoryFile file(path());
    ASSERT_TRUE(file.exec(QStringLiteral("ALTER TABLE answers ADD COLUMN mood TEXT")));
    ASSERT_TRUE(
        file.exec(QStringLiteral("PRAGMA user_version = %1").arg(kHistorySchemaVersion + 1)));
  }
  const QByteArray before = bytesOf(path());

  HistoryStore& s = openStore();
  s.recordAnswer(answer(noon(0, 1), 60, 'c', false));
  s.recordLevelEvent({noon(0, 1), LessonMode::Identify, 1, 2, LevelEventKind::LevelUp});
  settle();
  EXPECT_EQ(s.state(), HistoryState::Newer);
  HistoryFilter all;
  all.now = now();
  EXPECT_EQ(noteAnswers(HistoryConnection(path()).database(), all).asked(), 1)
      << "the window still reads it";
  closeStore();

  EXPECT_EQ(bytesOf(path()), before);
  // Reading a file in WAL mode may leave an empty journal beside it, never one with pages.
  EXPECT_EQ(bytesOf(path() + QStringLiteral("-wal")).size(), 0);
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_TRUE(notices[0].contains(QStringLiteral("newer version")));
}

TEST_F(HistoryFaults, AFolderThatCannotBeMadeDropsAnswersWithOneNotice) {
  writeBytes(dir.path() + QStringLiteral("/blocker"), "a file where the folder should be");
  HistoryStore& s = openStore(dir.path() + QStringLiteral("/blocker/Auralis/history.sqlite"));
  for (int i = 0; i < 5; ++i) s.recordAnswer(answer(noon(0, i), 60, 'c', true));
  settle();
  EXPECT_EQ(s.state(), HistoryState::Unavailable);
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_TRUE(notices[0].startsWith(QStringLiteral("Answers are not being kept")));
}

TEST_F(HistoryFaults, NoFolderNamedDropsAnswersWithOneNoticeAndWritesNothing) {
  const QString before = QDir::currentPath();
  QDir::setCurrent(dir.path());
  HistoryStore& s = openStore(QString());
  for (int i = 0; i < 5; ++i) s.recordAnswer(answer(noon(0, i), 60, 'c', true));
  settle();
  QDir::setCurrent(before);
  EXPECT_EQ(s.state(), HistoryState::Unavailable);
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_TRUE(notices[0].contains(QStringLiteral("HOME"))) << notices[0].toStdString();
  EXPECT_TRUE(QDir(dir.path()).isEmpty()) << "nothing lands in the working folder";
}

TEST_F(HistoryFaults, AReadOnlyFolderOrFileDropsAnswersWithOneNotice) {
  struct Case {
    const char* name;
    bool existingFile;
    QFile::Permissions folder;
  };
  const QFile::Permissions all = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                 QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                 QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
  const QFile::Permissions readOnly =
      all & ~(QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther);
  const std::vector<Case> cases = {
      {"an empty read-only folder", false, readOnly},
      {"a read-only file in a read-only folder", true, readOnly},
  };
  QFile::setPermissions(dir.path(), all);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const QString folder =
        dir.path() + QLatin1Char('/') + QString::fromLatin1(c.name).replace(' ', '-');
    QDir().mkpath(folder);
    const QString file = folder + QStringLiteral("/history.sqlite");
    if (c.existingFile) {
      openStore(file).recordAnswer(answer(noon(0), 60, 'c', true));
      closeStore();
      QFile::setPermissions(file, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    }
    QFile::setPermissions(folder, c.folder);
    const int before = c.existingFile ? countOf(file) : 0;

    expectAnswersDroppedWithOneNotice(
        {QStringLiteral("count"), file, QStringLiteral("50"), QStringLiteral("--as-nobody")});
    if (c.existingFile) {
      EXPECT_EQ(countOf(file), before) << "the file is not changed";
    }
    QFile::setPermissions(folder, all);
  }
}

TEST_F(HistoryFaults, AFullDiskDropsAnswersWithOneNoticeAndTheFileStaysWhole) {
  expectAnswersDroppedWithOneNotice({QStringLiteral("count"), path(), QStringLiteral("20000"),
                                     QStringLiteral("--file-limit"), QStringLiteral("262144")});
  const HistoryFile file(path());
  EXPECT_EQ(file.value(QStringLiteral("PRAGMA integrity_check")).toString(), "ok");
  EXPECT_LT(file.value(QStringLiteral("SELECT COUNT(*) FROM answers")).toInt(), 20000);
}

TEST_F(HistoryFaults, AKillDuringWritesLosesAtMostTheAnswerBeingWritten) {
  std::mt19937 random(20240615);
  std::uniform_int_distribution<int> delay(2, 60);
  int total = 0;
  for (int round = 0; round < 20; ++round) {
    SCOPED_TRACE(round);
    QProcess writer;
    writer.start(QStringLiteral(AURALIS_HISTORY_WRITER), {QStringLiteral("forever"), path()});
    ASSERT_TRUE(writer.waitForStarted());
    QDeadlineTimer patience(20000);
    while (!writer.canReadLine() && !patience.hasExpired()) writer.waitForReadyRead(100);
    ASSERT_TRUE(writer.canReadLine()) << "the first answer";
    QThread::msleep(static_cast<unsigned long>(delay(random)));
    ::kill(static_cast<pid_t>(writer.processId()), SIGKILL);
    ASSERT_TRUE(writer.waitForFinished());

    const QStringList lines = QString::fromLocal8Bit(writer.readAllStandardOutput())
                                  .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    // The last line may have been cut by the kill.
    int written = 0;
    for (const QString& line : lines)
      if (line.startsWith(QStringLiteral("written ")) && line.size() > 8)
        written = std::max(written, line.mid(8).toInt());
    const HistoryFile file(path());
    ASSERT_EQ(file.value(QStringLiteral("PRAGMA integrity_check")).toString(), "ok");
    const int count = file.value(QStringLiteral("SELECT COUNT(*) FROM answers")).toInt();
    EXPECT_GE(count, total + written) << "an answer reported written was lost";
    EXPECT_LE(count, total + written + 1);
    total = count;
  }
  EXPECT_GT(total, 20);
}

// The file cannot be opened at start, and later can: the run's answers wait in memory, up to
// the bound, and reach the file in order, with the times they were given.
TEST_F(HistoryFaults, AHistoryThatOpensLateKeepsTheRunsAnswersUpToTheBound) {
  struct Fault {
    const char* what;
    std::function<void(HistoryFile& other)> make;
    std::function<void(HistoryFile& other)> clear;
  };
  rlimit unlimited{};
  getrlimit(RLIMIT_FSIZE, &unlimited);
  const std::vector<Fault> faults = {
      {"locked by another program for longer than the store waits",
       [](HistoryFile& other) { ASSERT_TRUE(other.exec(QStringLiteral("BEGIN EXCLUSIVE"))); },
       [](HistoryFile& other) { ASSERT_TRUE(other.exec(QStringLiteral("COMMIT"))); }},
      // Writing past the limit fails as a full disk fails a write.
      {"on a full disk",
       [&](HistoryFile&) {
         std::signal(SIGXFSZ, SIG_IGN);
         const rlimit full = {0, unlimited.rlim_max};
         ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &full), 0);
       },
       [&](HistoryFile&) {
         ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &unlimited), 0);
         std::signal(SIGXFSZ, SIG_DFL);
       }},
  };
  const std::int64_t start = noon(0);
  const int given = static_cast<int>(kHeldAnswerLimit) + 5;
  for (const Fault& fault : faults) {
    SCOPED_TRACE(fault.what);
    QTemporaryDir folder;
    const QString file = folder.path() + QStringLiteral("/history.sqlite");
    openStore(file).recordAnswer(answer(noon(1), 60, 'c', true));
    closeStore();
    notices.clear();
    HistoryFile other(file);
    fault.make(other);

    HistoryStore& s = openStore(file);
    for (int i = 0; i < given; ++i)
      s.recordAnswer(answer(start + i * 1000, 60 + i % 12, 'c', i % 3 != 0));
    const bool waited = QTest::qWaitFor([&] { return s.state() == HistoryState::Waiting; }, 30000);
    fault.clear(other);
    ASSERT_TRUE(waited) << "state " << static_cast<int>(s.state());
    EXPECT_TRUE(QTest::qWaitFor([&] { return s.state() == HistoryState::Ready; }, 60000));
    settle();

    const std::vector<QVariantList> rows =
        other.rows(QStringLiteral("SELECT at, response_ms FROM answers WHERE session = %1 "
                                  "ORDER BY id")
                       .arg(s.sessionId()));
    ASSERT_EQ(rows.size(), kHeldAnswerLimit) << "the oldest are kept";
    for (std::size_t i = 0; i < rows.size(); ++i)
      ASSERT_EQ(rows[i][0].toString(), isoUtc(start + static_cast<std::int64_t>(i) * 1000)) << i;
    EXPECT_EQ(countOf(file), static_cast<int>(kHeldAnswerLimit) + 1) << "the earlier run's too";
    ASSERT_EQ(notices.size(), 3u);
    EXPECT_TRUE(notices[0].startsWith(QStringLiteral("The answer history cannot be opened now")))
        << notices[0].toStdString();
    EXPECT_TRUE(notices[1].startsWith(QStringLiteral("Answers are not being kept: 10000")))
        << notices[1].toStdString();
    EXPECT_TRUE(notices[2].startsWith(QStringLiteral("The answer history has opened")))
        << notices[2].toStdString();
    closeStore();
  }
}

}  // namespace
}  // namespace auralis::testing
