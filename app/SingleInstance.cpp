#include "app/SingleInstance.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>
#include <QWidget>
#include <utility>

#include "app/ProblemReport.h"

namespace auralis {

namespace {

constexpr int kConnectMilliseconds = 500;
constexpr unsigned long kRetryMilliseconds = 100;

bool isBlankAndOld(const QLockFile& lock) {
  if (lock.getLockInfo(nullptr, nullptr, nullptr)) return false;
  const QDateTime written = QFileInfo(lock.fileName()).lastModified();
  return written.isValid() && written.secsTo(QDateTime::currentDateTime()) >= kBlankLockAge.count();
}

}  // namespace

QString runtimeFolder() {
  return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
}

SingleInstance::SingleInstance(QString folder, std::chrono::milliseconds patience)
    : folder_(std::move(folder)),
      patience_(patience),
      lock_(folder_ + QStringLiteral("/auralis.lock")) {
  // A running program holds the lock for hours: only a lock whose process is gone is stale.
  lock_.setStaleLockTime(0);
  QObject::connect(&server_, &QLocalServer::newConnection, [this] {
    while (QLocalSocket* start = server_.nextPendingConnection()) start->deleteLater();
    if (onAnotherStart_) onAnotherStart_();
  });
}

SingleInstance::Start SingleInstance::claim() {
  const QDeadlineTimer deadline(patience_);
  for (;;) {
    if (takeLock()) {
      listen();
      return Start::First;
    }
    if (lock_.error() != QLockFile::LockFailedError) {
      printProblem(QStringLiteral("Cannot make sure that Auralis runs only once: %1 cannot be "
                                  "created")
                       .arg(lockFileName()));
      return Start::First;
    }
    if (reachRunning()) return Start::HandedOver;
    if (deadline.hasExpired()) return Start::NoAnswer;
    QThread::msleep(kRetryMilliseconds);
  }
}

bool SingleInstance::takeLock() {
  if (lock_.tryLock(0)) return true;
  if (lock_.error() == QLockFile::LockFailedError && isBlankAndOld(lock_))
    return lock_.removeStaleLockFile() && lock_.tryLock(0);
  return false;
}

bool SingleInstance::reachRunning() const {
  QLocalSocket socket;
  socket.connectToServer(socketName());
  if (!socket.waitForConnected(kConnectMilliseconds)) return false;
  socket.disconnectFromServer();
  return true;
}

void SingleInstance::listen() {
  // Whatever socket is there was left by a program that died: the lock is ours.
  QLocalServer::removeServer(socketName());
  server_.setSocketOptions(QLocalServer::UserAccessOption);
  if (!server_.listen(socketName()))
    printProblem(QStringLiteral("Another start of Auralis cannot reach this one: %1")
                     .arg(server_.errorString()));
  QObject::connect(qApp, &QCoreApplication::aboutToQuit, &server_, [this] { stopAnswering(); });
}

void SingleInstance::stopAnswering() {
  server_.close();
}

void SingleInstance::setOnAnotherStart(std::function<void()> onAnotherStart) {
  onAnotherStart_ = std::move(onAnotherStart);
}

QString SingleInstance::lockFileName() const {
  return lock_.fileName();
}

QString SingleInstance::socketName() const {
  return folder_ + QStringLiteral("/auralis.socket");
}

qint64 SingleInstance::holder() const {
  qint64 pid = 0;
  return lock_.getLockInfo(&pid, nullptr, nullptr) ? pid : 0;
}

void bringToFront(QWidget& window) {
  window.setWindowState((window.windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
  window.show();
  window.raise();
  window.activateWindow();
}

}  // namespace auralis
