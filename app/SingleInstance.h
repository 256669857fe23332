#pragma once

#include <QDeadlineTimer>
#include <QLockFile>
#include <QObject>
#include <QString>
#include <QStringList>
#include <chrono>
#include <functional>
#include <memory>
#include <vector>

class QSocketNotifier;
class QWidget;

namespace auralis {

// How long a later start keeps trying to reach the running program, or to take over from one
// that is ending, before it gives up.
inline constexpr std::chrono::milliseconds kAnswerPatience{5000};
// A lock file with no owner written into it, this old, was left by a start that died between
// creating and writing it (the two happen microseconds apart).
inline constexpr std::chrono::seconds kBlankLockAge{5};

// The folder for this user's lock and socket: XDG_RUNTIME_DIR, or a private one that Qt makes
// when that is not set.
QString runtimeFolder();
// Where the lock goes when the runtime folder takes none (read-only, say):
// $XDG_CACHE_HOME/auralis, or ~/.cache/auralis.
QString fallbackLockFolder();
// The folders a start tries for its lock, in order.
QStringList lockFolders();

// One running program per user, so that no two windows write the same settings file over each
// other. The first start holds a lock in the first folder that takes one and listens on a socket
// beside it. A later start finds the lock held, connects, and the running program comes to the
// front and says so; then the later start ends. A program that is ending says so instead, and
// the later start waits for its lock. The lock of a program that died (killed, crashed) names a
// process that is gone, and is taken over. Whatever else lies where the lock or the socket
// should be (a folder, a pipe, a link) is moved aside unopened.
class SingleInstance {
 public:
  enum class Start {
    First,       // this start runs the program
    HandedOver,  // the running program came to the front
    Ending,      // the running program is ending, and has not ended within the patience
    NoAnswer,    // the lock is held, but nobody answers within the patience
  };

  explicit SingleInstance(QStringList folders,
                          std::chrono::milliseconds patience = kAnswerPatience);
  explicit SingleInstance(const QString& folder,
                          std::chrono::milliseconds patience = kAnswerPatience);
  ~SingleInstance();
  SingleInstance(const SingleInstance&) = delete;
  SingleInstance& operator=(const SingleInstance&) = delete;

  Start claim();
  // Why this start runs without a lock, after it was printed; empty while it holds one.
  const QString& problem() const { return problem_; }
  // From now on a later start finds nobody to hand over to, and waits for the lock instead: a
  // program that is ending no longer comes to the front.
  void stopAnswering();
  // Runs on the interface thread whenever a later start connects: true when the program came to
  // the front, false when it is ending. Until it is set, the program counts as shown.
  void setOnAnotherStart(std::function<bool()> onAnotherStart);

  // In the folder in use: the first until a claim chooses another.
  QString lockFileName() const;
  QString socketName() const;
  // The process that holds the lock, as the lock names it; 0 when it names none.
  qint64 holder() const;

 private:
  enum class Reply { Absent, Front, Ending, Silent };
  void useFolder(const QString& folder);
  bool takeLock();
  Reply askRunning(const QDeadlineTimer& deadline) const;
  void listen();
  void acceptStarts();
  void answer(int start);

  QStringList folders_;
  std::chrono::milliseconds patience_;
  QString folder_;
  std::unique_ptr<QLockFile> lock_;
  // The socket is a plain one, not Qt Network's: that library and the ten it brings cost a few
  // milliseconds of every start, for a socket that carries one line.
  int listener_ = -1;  // -1 once the program no longer answers
  std::unique_ptr<QSocketNotifier> accepting_;
  std::vector<int> unanswered_;
  QObject context_;  // what the answers queued on the event loop belong to
  std::function<bool()> onAnotherStart_;
  QString problem_;
};

// Shows the window in front of the others: restored when minimised, raised and activated.
void bringToFront(QWidget& window);

}  // namespace auralis
