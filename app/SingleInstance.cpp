#include "app/SingleInstance.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>
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

// The socket's address, or nothing when the path is too long for one.
std::optional<sockaddr_un> addressOf(const QString& path) {
  const QByteArray name = QFile::encodeName(path);
  sockaddr_un address{};
  if (name.size() >= static_cast<qsizetype>(sizeof address.sun_path)) return std::nullopt;
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, name.constData(), static_cast<size_t>(name.size()));
  return address;
}

int unixSocket() {
  return ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
}

// A connected socket, or -1 when nobody listens at the path. A pipe or a folder there refuses
// the connection unopened.
int connectTo(const QString& path) {
  const std::optional<sockaddr_un> address = addressOf(path);
  if (!address) return -1;
  const QDeadlineTimer patience(kConnectMilliseconds);
  for (;;) {
    const int socket = unixSocket();
    if (socket < 0) return -1;
    if (::connect(socket, reinterpret_cast<const sockaddr*>(&*address), sizeof *address) == 0)
      return socket;
    const int error = errno;
    ::close(socket);
    // A full queue of starts waiting to be taken: the running program is busy for a moment.
    if ((error != EAGAIN && error != EINTR) || patience.hasExpired()) return -1;
    QThread::msleep(10);
  }
}

// Listens at the path with a socket that only this user can reach. It is made in a private
// folder and then moved into place, so that nobody else can connect while it is being set up.
int listenAt(const QString& path, QString& problem) {
  const auto failed = [&problem](int error) {
    problem = QString::fromLocal8Bit(std::strerror(error));
    return -1;
  };
  // mkdtemp rather than QTemporaryDir, whose name costs the start the seeding of Qt's random
  // generator.
  QByteArray setUp = QFile::encodeName(QFileInfo(path).absolutePath()) + "/.XXXXXX";
  if (::mkdtemp(setUp.data()) == nullptr) return failed(errno);
  const auto removing = qScopeGuard([&setUp] { ::rmdir(setUp.constData()); });
  const std::optional<sockaddr_un> address = addressOf(QFile::decodeName(setUp + "/s"));
  if (!address || !addressOf(path)) return failed(ENAMETOOLONG);
  const int listener = unixSocket();
  if (listener < 0) return failed(errno);
  if (::bind(listener, reinterpret_cast<const sockaddr*>(&*address), sizeof *address) != 0 ||
      ::listen(listener, SOMAXCONN) != 0 || ::chmod(address->sun_path, S_IRWXU) != 0 ||
      ::rename(address->sun_path, QFile::encodeName(path).constData()) != 0) {
    const int error = errno;
    ::close(listener);
    ::unlink(address->sun_path);
    return failed(error);
  }
  return listener;
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
}

SingleInstance::~SingleInstance() {
  stopAnswering();
  // A later start still waiting sees the connection close, and waits for the lock.
  for (const int start : unanswered_) ::close(start);
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
  const int socket = connectTo(socketName());
  if (socket < 0) return Reply::Absent;
  const auto closing = qScopeGuard([socket] { ::close(socket); });
  // The connection alone proves nothing: a program that is ending may still have its socket
  // open while it no longer handles any event.
  QByteArray received;
  for (;;) {
    const qsizetype end = received.indexOf('\n');
    if (end >= 0) return received.left(end + 1) == kShown ? Reply::Front : Reply::Ending;
    if (deadline.hasExpired()) return Reply::Silent;
    pollfd wait{socket, POLLIN, 0};
    if (::poll(&wait, 1, static_cast<int>(std::max<qint64>(deadline.remainingTime(), 1))) <= 0)
      continue;
    char buffer[64];
    const ssize_t got = ::read(socket, buffer, sizeof buffer);
    if (got == 0) return Reply::Ending;  // closed without a word
    if (got > 0)
      received.append(buffer, got);
    else if (errno != EAGAIN && errno != EINTR)
      return Reply::Ending;
  }
}

void SingleInstance::listen() {
  // Whatever is there was left by a program that died, or put there by mistake: the lock is ours.
  clearSocketPath(socketName());
  QString problem;
  listener_ = listenAt(socketName(), problem);
  if (listener_ < 0) {
    printProblem(QStringLiteral("Another start of Auralis cannot reach this one: %1").arg(problem));
    return;
  }
  accepting_ = std::make_unique<QSocketNotifier>(listener_, QSocketNotifier::Read);
  QObject::connect(accepting_.get(), &QSocketNotifier::activated, &context_,
                   [this] { acceptStarts(); });
  QObject::connect(qApp, &QCoreApplication::aboutToQuit, &context_, [this] { stopAnswering(); });
}

void SingleInstance::acceptStarts() {
  for (;;) {
    const int start = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (start >= 0)
      answer(start);
    else if (errno != EINTR && errno != ECONNABORTED)
      return;
  }
}

void SingleInstance::answer(int start) {
  unanswered_.push_back(start);
  // Decided a turn of the event loop later: a quit asked for meanwhile ends the loop first, and
  // the later start then sees the connection close and waits for the lock.
  QTimer::singleShot(0, &context_, [this, start] {
    const bool shown = listener_ >= 0 && (!onAnotherStart_ || onAnotherStart_());
    const QByteArray& reply = shown ? kShown : kEnding;
    // A later start that has given up and gone must not take this program with it.
    (void)::send(start, reply.constData(), static_cast<size_t>(reply.size()), MSG_NOSIGNAL);
    std::erase(unanswered_, start);
    ::close(start);
    if (!shown) stopAnswering();
  });
}

void SingleInstance::stopAnswering() {
  if (listener_ < 0) return;
  accepting_.reset();
  ::close(std::exchange(listener_, -1));
  if (kindAt(socketName()) == S_IFSOCK) ::unlink(QFile::encodeName(socketName()).constData());
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
