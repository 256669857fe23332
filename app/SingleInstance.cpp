#include "app/SingleInstance.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <utility>

#include "app/ProblemReport.h"

namespace auralis {

namespace {

constexpr int kConnectMilliseconds = 500;
constexpr unsigned long kRetryMilliseconds = 100;
const QByteArray kShown = "front\n";
const QByteArray kEnding = "ending\n";

bool isBlankAndOld(const QLockFile& lock) {
  if (lock.getLockInfo(nullptr, nullptr, nullptr)) return false;
  const QDateTime written = QFileInfo(lock.fileName()).lastModified();
  return written.isValid() && written.secsTo(QDateTime::currentDateTime()) >= kBlankLockAge.count();
}

// The kind of what lies at the path, without opening it or following a link; 0 when nothing.
mode_t kindAt(const QString& path) {
  struct stat status {};
  if (::lstat(QFile::encodeName(path).constData(), &status) != 0) return 0;
  return status.st_mode & S_IFMT;
}

// Moves whatever lies at the path out of the way unopened: a pipe would block whoever opens it,
// and a folder can be neither a lock nor a socket. False when it stays.
bool setAside(const QString& path) {
  const QString aside = path + QStringLiteral(".stale-%1").arg(QDateTime::currentMSecsSinceEpoch());
  return ::rename(QFile::encodeName(path).constData(), QFile::encodeName(aside).constData()) == 0;
}

// True when nothing but a regular file (or nothing) is left at the lock's path.
bool clearLockPath(const QString& path) {
  const mode_t kind = kindAt(path);
  return kind == 0 || kind == S_IFREG || setAside(path);
}

// A socket or file left there by a program that died is removed; anything else is moved aside.
void clearSocketPath(const QString& path) {
  const mode_t kind = kindAt(path);
  if (kind == S_IFSOCK || kind == S_IFREG || kind == S_IFLNK || kind == S_IFIFO)
    ::unlink(QFile::encodeName(path).constData());
  else if (kind != 0)
    setAside(path);
}

// Made owner-only when this start makes it; one that exists is used as it is.
void makePrivateFolder(const QString& folder) {
  if (QFileInfo::exists(folder) || !QDir().mkpath(folder)) return;
  QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

QString cannotBeCreated(const QStringList& lockFiles) {
  if (lockFiles.size() == 1) return QStringLiteral("%1 cannot be created").arg(lockFiles[0]);
  return QStringLiteral("neither %1 can be created").arg(lockFiles.join(QStringLiteral(" nor ")));
}

}  // namespace

QString runtimeFolder() {
  return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
}

QString fallbackLockFolder() {
  const QString cache = qEnvironmentVariable("XDG_CACHE_HOME");
  if (!cache.isEmpty() && QDir::isAbsolutePath(cache)) return cache + QStringLiteral("/auralis");
  return QDir::homePath() + QStringLiteral("/.cache/auralis");
}

QStringList lockFolders() {
  return {runtimeFolder(), fallbackLockFolder()};
}

SingleInstance::SingleInstance(QStringList folders, std::chrono::milliseconds patience)
    : folders_(std::move(folders)), patience_(patience) {
  useFolder(folders_.value(0));
  QObject::connect(&server_, &QLocalServer::newConnection, [this] {
    while (QLocalSocket* start = server_.nextPendingConnection()) answer(start);
  });
}

SingleInstance::SingleInstance(const QString& folder, std::chrono::milliseconds patience)
    : SingleInstance(QStringList{folder}, patience) {}

void SingleInstance::useFolder(const QString& folder) {
  folder_ = folder;
  lock_ = std::make_unique<QLockFile>(folder_ + QStringLiteral("/auralis.lock"));
  // A running program holds the lock for hours: only a lock whose process is gone is stale.
  lock_->setStaleLockTime(0);
}

SingleInstance::Start SingleInstance::claim() {
  QStringList unusable;
  bool held = false;
  for (int i = 0; i < folders_.size() && !held; ++i) {
    useFolder(folders_[i]);
    if (i > 0) makePrivateFolder(folder_);
    if (clearLockPath(lockFileName()) && takeLock()) {
      listen();
      return Start::First;
    }
    held = lock_->error() == QLockFile::LockFailedError;
    if (!held) unusable << lockFileName();
  }
  if (!held) {
    problem_ = QStringLiteral("Cannot make sure that Auralis runs only once: %1")
                   .arg(cannotBeCreated(unusable));
    printProblem(problem_);
    return Start::First;
  }
  const QDeadlineTimer deadline(patience_);
  Start failure = Start::NoAnswer;
  for (;;) {
    switch (askRunning(deadline)) {
      case Reply::Front:
        return Start::HandedOver;
      case Reply::Ending:
        failure = Start::Ending;
        break;
      case Reply::Absent:
        // A live program that no longer listens is ending; a lock naming nobody is being written.
        failure = holder() != 0 ? Start::Ending : Start::NoAnswer;
        break;
      case Reply::Silent:
        failure = Start::NoAnswer;
        break;
    }
    if (clearLockPath(lockFileName()) && takeLock()) {
      listen();
      return Start::First;
    }
    if (deadline.hasExpired()) return failure;
    QThread::msleep(kRetryMilliseconds);
  }
}

bool SingleInstance::takeLock() {
  if (lock_->tryLock(0)) return true;
  if (lock_->error() == QLockFile::LockFailedError && isBlankAndOld(*lock_))
    return lock_->removeStaleLockFile() && lock_->tryLock(0);
  return false;
}

SingleInstance::Reply SingleInstance::askRunning(const QDeadlineTimer& deadline) const {
  // A pipe or a folder there refuses the connection; nothing at that path is ever opened.
  QLocalSocket socket;
  socket.connectToServer(socketName());
  if (!socket.waitForConnected(kConnectMilliseconds)) return Reply::Absent;
  // The connection alone proves nothing: a program that is ending may still have its socket
  // open while it no longer handles any event.
  while (!socket.canReadLine() && socket.state() == QLocalSocket::ConnectedState &&
         !deadline.hasExpired())
    socket.waitForReadyRead(static_cast<int>(std::max<qint64>(deadline.remainingTime(), 1)));
  if (socket.canReadLine()) return socket.readLine() == kShown ? Reply::Front : Reply::Ending;
  return socket.state() == QLocalSocket::ConnectedState ? Reply::Silent : Reply::Ending;
}

void SingleInstance::listen() {
  // Whatever is there was left by a program that died, or put there by mistake: the lock is ours.
  clearSocketPath(socketName());
  server_.setSocketOptions(QLocalServer::UserAccessOption);
  if (!server_.listen(socketName()))
    printProblem(QStringLiteral("Another start of Auralis cannot reach this one: %1")
                     .arg(server_.errorString()));
  answering_ = server_.isListening();
  QObject::connect(qApp, &QCoreApplication::aboutToQuit, &server_, [this] { stopAnswering(); });
}

void SingleInstance::answer(QLocalSocket* start) {
  QObject::connect(start, &QLocalSocket::disconnected, start, &QObject::deleteLater);
  // Decided a turn of the event loop later: a quit asked for meanwhile ends the loop first, and
  // the later start then sees the connection close and waits for the lock.
  QTimer::singleShot(0, start, [this, start] {
    const bool shown = answering_ && (!onAnotherStart_ || onAnotherStart_());
    start->write(shown ? kShown : kEnding);
    start->disconnectFromServer();
    if (!shown) stopAnswering();
  });
}

void SingleInstance::stopAnswering() {
  answering_ = false;
  server_.close();
}

void SingleInstance::setOnAnotherStart(std::function<bool()> onAnotherStart) {
  onAnotherStart_ = std::move(onAnotherStart);
}

QString SingleInstance::lockFileName() const {
  return lock_->fileName();
}

QString SingleInstance::socketName() const {
  return folder_ + QStringLiteral("/auralis.socket");
}

qint64 SingleInstance::holder() const {
  qint64 pid = 0;
  if (kindAt(lockFileName()) != S_IFREG) return 0;
  return lock_->getLockInfo(&pid, nullptr, nullptr) ? pid : 0;
}

void bringToFront(QWidget& window) {
  window.setWindowState((window.windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
  window.show();
  window.raise();
  window.activateWindow();
}

}  // namespace auralis
