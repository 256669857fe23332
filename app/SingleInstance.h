#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QString>
#include <chrono>
#include <functional>

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

// One running program per user, so that no two windows write the same settings file over each
// other. The first start holds a lock in the runtime folder and listens on a socket beside it. A
// later start finds the lock held, connects, which tells the running program to come to the
// front, and ends. The lock of a program that died (killed, crashed) names a process that is
// gone, and is taken over.
class SingleInstance {
 public:
  enum class Start {
    First,       // this start runs the program
    HandedOver,  // the running program was told and comes to the front
    NoAnswer,    // the lock is held, but nobody answers within the patience
  };

  explicit SingleInstance(QString folder, std::chrono::milliseconds patience = kAnswerPatience);
  SingleInstance(const SingleInstance&) = delete;
  SingleInstance& operator=(const SingleInstance&) = delete;

  Start claim();
  // From now on a later start finds nobody to hand over to, and waits for the lock instead: a
  // program that is ending no longer comes to the front.
  void stopAnswering();
  // Runs on the interface thread whenever a later start hands over to this one.
  void setOnAnotherStart(std::function<void()> onAnotherStart);

  QString lockFileName() const;
  QString socketName() const;
  // The process that holds the lock, as the lock names it; 0 when it names none.
  qint64 holder() const;

 private:
  bool takeLock();
  bool reachRunning() const;
  void listen();

  QString folder_;
  std::chrono::milliseconds patience_;
  QLockFile lock_;
  QLocalServer server_;
  std::function<void()> onAnotherStart_;
};

// Shows the window in front of the others: restored when minimised, raised and activated.
void bringToFront(QWidget& window);

}  // namespace auralis
