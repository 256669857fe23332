#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStatusBar>
#include <QTimer>
#include <array>
#include <atomic>
#include <chrono>
#include <csignal>
#include <thread>

#include "tests/app/EventLoopProbes.h"
#include "tests/app/WindowFixture.h"

namespace auralis::testing {
namespace {

using SettingsTrouble = WindowTest;

// Opens the pipe for writing whenever somebody has it open for reading, which would end a read
// that blocks on it; says whether it ever found such a reader.
class PipeReaderWatch {
 public:
  explicit PipeReaderWatch(const QString& path)
      : path_(QFile::encodeName(path)), thread_([this] { watch(); }) {}
  ~PipeReaderWatch() {
    stop_ = true;
    thread_.join();
  }
  PipeReaderWatch(const PipeReaderWatch&) = delete;
  PipeReaderWatch& operator=(const PipeReaderWatch&) = delete;
  bool foundReader() const { return found_; }

 private:
  void watch() {
    while (!stop_) {
      const int fd = ::open(path_.constData(), O_WRONLY | O_NONBLOCK);
      if (fd >= 0) {
        found_ = true;
        ::close(fd);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }

  QByteArray path_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> found_{false};
  std::thread thread_;
};

TEST_F(SettingsTrouble, SomethingElseInPlaceOfTheFileIsNeitherReadNorReplaced) {
  struct Case {
    const char* what;
    std::function<bool(const QString&)> make;
    std::function<bool(const QFileInfo&)> stillThere;
  };
  const std::array cases = {
      Case{"a named pipe",
           [](const QString& path) { return ::mkfifo(QFile::encodeName(path), 0600) == 0; },
           [](const QFileInfo& info) {
             struct stat status {};
             return ::stat(QFile::encodeName(info.filePath()), &status) == 0 &&
                    S_ISFIFO(status.st_mode);
           }},
      Case{"a folder", [](const QString& path) { return QDir().mkpath(path); },
           [](const QFileInfo& info) { return info.isDir(); }},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(QDir().mkpath(QFileInfo(storeFile()).path()));
    ASSERT_TRUE(c.make(storeFile())) << c.what;
    const QString notRead =
        "Settings not read: " + storeFile() + " is not a regular file; the defaults are used";
    const QString notSaved = "Settings not saved: " + storeFile() + " is not a regular file";
    StandardErrorCapture errors;
    {
      const PipeReaderWatch watch(storeFile());
      TForm1& window = open();
      EXPECT_FALSE(watch.foundReader()) << c.what << " was opened to be read";
      EXPECT_EQ(window.size(), QSize(775, 355)) << c.what;
      EXPECT_EQ(lesson().mastery, Mastery{}) << c.what;
      EXPECT_TRUE(menus().Solfege1->isChecked()) << c.what;
      EXPECT_EQ(window.noticeLine()->wholeText(), notRead) << c.what;
      closeWindow();
      EXPECT_FALSE(watch.foundReader()) << c.what << " was opened to be read";
    }
    EXPECT_TRUE(c.stillThere(QFileInfo(storeFile()))) << c.what << " is left as it was";
    EXPECT_EQ(errors.problems(), (std::vector<std::string>{"auralis: " + notRead.toStdString(),
                                                           "auralis: " + notSaved.toStdString()}))
        << c.what;
    QFile::remove(storeFile());
    QDir(storeFile()).removeRecursively();
  }
}

class SettingsSaveTrouble : public WindowTest {
 protected:
  // Twenty right answers in a row; the last, which promotes and saves the mastery levels, runs
  // in the event loop, whose longest wait for it the heartbeat keeps.
  void promote(const std::string& what) {
    for (int answer = 0; answer < 19; ++answer) answerRight();
    const Heartbeat heartbeat;
    QTimer::singleShot(0, [this] { answerRight(); });
    QTest::qWait(30);
    heartbeat.report(what + "_gap_ms");
  }
};

TEST_F(SettingsSaveTrouble, AFailedSaveIsToldAndTheNextSaveTriesAgain) {
  struct Case {
    const char* what;
    const char* name;
    std::function<void(const QString& folder)> make;
    std::function<void(const QString& folder)> lift;
    bool oldFileStays;
  };
  static rlimit unlimited{};
  const std::array cases = {
      // No file may grow beyond 0 bytes: a full disk, for root too.
      Case{"a full disk", "full_disk",
           [](const QString&) {
             std::signal(SIGXFSZ, SIG_IGN);
             ::getrlimit(RLIMIT_FSIZE, &unlimited);
             rlimit none = unlimited;
             none.rlim_cur = 0;
             ::setrlimit(RLIMIT_FSIZE, &none);
           },
           [](const QString&) {
             ::setrlimit(RLIMIT_FSIZE, &unlimited);
             std::signal(SIGXFSZ, SIG_DFL);
           },
           true},
      // A file where the folder should be.
      Case{"a folder that cannot be made", "blocked_folder",
           [](const QString& folder) {
             QDir(folder + "/Auralis").removeRecursively();
             ASSERT_TRUE(writeFile(folder + "/Auralis", "not a folder"));
           },
           [](const QString& folder) { QFile::remove(folder + "/Auralis"); }, false},
  };
  for (const Case& c : cases) {
    open();
    closeWindow();
    const QByteArray before = contentsOf(storeFile());
    ASSERT_FALSE(before.isEmpty());
    TForm1& window = open();
    window.show();
    window.FormActivate();  // now, not when the event loop first runs
    type("i");
    const QString notSaved = "Settings not saved: could not write " + storeFile();

    c.make(configDir.path());
    StandardErrorCapture errors;
    promote(c.name);
    c.lift(configDir.path());
    EXPECT_EQ(errors.problems(), std::vector<std::string>{"auralis: " + notSaved.toStdString()})
        << c.what;
    // The answer history may tell of the full disk too.
    EXPECT_TRUE(window.noticeLine()->notices().contains(notSaved))
        << c.what << ": " << window.noticeLine()->wholeText().toStdString();
    EXPECT_EQ(panel(2), "2 of 67") << c.what << ": the panels keep their texts beside the notice";
    if (c.oldFileStays) {
      EXPECT_EQ(contentsOf(storeFile()), before) << c.what;
    }

    window.noticeLine()->dismiss();
    for (int i = 0; i < 5; ++i)
      EXPECT_TRUE(window.statusPanels().panel(i)->isVisible()) << c.what << ", panel " << i;
    promote(std::string(c.name) + "_lifted");
    EXPECT_EQ(panel(2), "3 of 67") << c.what;
    EXPECT_EQ(store()->value("IdentifyMastery95Percent").toInt(), 1)
        << c.what << ": the next save went through";
    EXPECT_FALSE(window.noticeLine()->notices().contains(notSaved)) << c.what;
    closeWindow();
    EXPECT_EQ(store()->value("Solfege1").toString(), "1") << c.what;
    QDir(configDir.path() + "/Auralis").removeRecursively();
  }
}

TEST_F(SettingsTrouble, TemporaryFilesOfDeadWritersGoAtTheNextStart) {
  open();
  closeWindow();
  const QString folder = QFileInfo(storeFile()).path();
  struct Case {
    const char* name;
    int ageSeconds;
    bool removed;
  };
  const std::array cases = {
      Case{"Auralis.ini.Ab12Cd", 3600, true},       Case{"Auralis.ini.x9Y8z7", 11, true},
      Case{"Auralis.ini.Zz99Yy", 0, false},  // a save under way
      Case{"Auralis.ini.Ab12Cd7", 3600, false},     Case{"Auralis.ini.bak", 3600, false},
      Case{"Auralis.ini.lock.rmlock", 3600, false}, Case{"Other.ini.Ab12Cd", 3600, false},
  };
  for (const Case& c : cases)
    ASSERT_TRUE(writeFile(folder + "/" + c.name, "[Auralis]\n", c.ageSeconds)) << c.name;
  open();
  for (const Case& c : cases) EXPECT_EQ(QFile::exists(folder + "/" + c.name), !c.removed) << c.name;
  EXPECT_TRUE(QFile::exists(storeFile()));
}

}  // namespace
}  // namespace auralis::testing
