#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QThread>
#include <chrono>
#include <csignal>
#include <future>
#include <random>
#include <set>

#include "app/SettingsStore.h"
#include "tests/app/WindowFixture.h"

namespace auralis::testing {
namespace {

using SettingsCrash = WindowTest;

TEST_F(SettingsCrash, AKillDuringASaveLeavesTheOldOrTheNewFileWhole) {
  open();
  menus().Piano1->trigger();
  closeWindow();
  const int keys = static_cast<int>(store()->allKeys().size());

  std::mt19937 random(20240611);
  std::uniform_int_distribution<int> delay(5, 80);
  std::set<int> seen;
  for (int round = 0; round < 25; ++round) {
    QProcess writer;
    writer.start(QStringLiteral(AURALIS_SETTINGS_WRITER), {configDir.path()});
    ASSERT_TRUE(writer.waitForStarted());
    QDeadlineTimer patience(10000);
    while (!writer.canReadLine() && !patience.hasExpired()) writer.waitForReadyRead(100);
    ASSERT_TRUE(writer.canReadLine()) << "the first save, round " << round;
    QThread::msleep(static_cast<unsigned long>(delay(random)));
    ::kill(static_cast<pid_t>(writer.processId()), SIGKILL);
    ASSERT_TRUE(writer.waitForFinished());

    const auto s = store();
    ASSERT_EQ(s->status(), QSettings::NoError) << "round " << round;
    ASSERT_EQ(s->allKeys().size(), keys) << "round " << round;
    EXPECT_EQ(s->value("Piano1").toString(), "1");
    const int value = s->value("IdentifyMastery95Percent").toInt();
    for (const QString& key : s->allKeys()) {
      if (!key.contains(QStringLiteral("Mastery"))) continue;
      EXPECT_EQ(s->value(key).toInt(), value) << key.toStdString() << ", round " << round;
    }
    seen.insert(value);
  }
  EXPECT_GT(seen.size(), 1u) << "the writer was killed at different saves";

  // What the kills left beside the file, once older than any live save's, goes at the next start.
  const QDir folder = QFileInfo(storeFile()).dir();
  const QStringList leftovers = folder.entryList({"Auralis.ini.*"}, QDir::Files);
  RecordProperty("files_left_by_kills", static_cast<int>(leftovers.size()));
  for (const QString& name : leftovers)
    ASSERT_TRUE(makeOlder(folder.filePath(name), 60)) << name.toStdString();
  open();
  EXPECT_EQ(folder.entryList(QDir::Files), QStringList{"Auralis.ini"})
      << leftovers.join(", ").toStdString();
}

TEST_F(SettingsCrash, ALockLeftEmptyByACrashDoesNotHoldUpTheNextSave) {
  open();
  closeWindow();
  // A writer killed between creating the lock and writing its owner into it.
  QFile lock(storeFile() + QStringLiteral(".lock"));
  ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
  lock.close();

  const Mastery levels = {3, 3, 3, 3, 3, 3, 3, 3, 3};
  auto saved = std::async(std::launch::async, [&] { SettingsStore().saveMastery(levels); });
  // The settings library alone would wait half a minute for the lock to age.
  ASSERT_EQ(saved.wait_for(std::chrono::seconds(10)), std::future_status::ready)
      << "the save waits for the lost lock";
  EXPECT_EQ(store()->value("MimicMastery1Minute").toInt(), 3);
  EXPECT_FALSE(QFile::exists(lock.fileName())) << "the lost lock is gone";
}

}  // namespace
}  // namespace auralis::testing
