#include "app/SettingsFile.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QRegularExpression>

namespace auralis {

void removeStaleTemporaries(const QString& settingsFile) {
  const QFileInfo file(settingsFile);
  const QRegularExpression temporaryName(QRegularExpression::anchoredPattern(
      QRegularExpression::escape(file.fileName()) + QStringLiteral("\\.[A-Za-z0-9]{6}")));
  const QDateTime oldest = QDateTime::currentDateTime().addSecs(-kStaleTemporaryAge.count());
  const QFileInfoList candidates = file.dir().entryInfoList(
      {file.fileName() + QStringLiteral(".*")}, QDir::Files | QDir::NoSymLinks);
  for (const QFileInfo& candidate : candidates) {
    if (!temporaryName.match(candidate.fileName()).hasMatch()) continue;
    if (candidate.lastModified() < oldest) QFile::remove(candidate.filePath());
  }
}

// A program killed while saving can leave the settings file's lock behind before it wrote its
// owner into it. The settings library would then wait half a minute before taking such a lock
// over, freezing the window at the next save; a save takes milliseconds, so a lock older than a
// second is taken over here instead. A lock whose owner is dead is taken over at once.
void clearStaleLock(const QString& settingsFile) {
  const QString lockName = settingsFile + QStringLiteral(".lock");
  if (!QFileInfo::exists(lockName)) return;
  QLockFile lock(lockName);
  lock.setStaleLockTime(1000);
  if (lock.tryLock(2000)) lock.unlock();
}

bool isOtherThanRegularFile(const QString& path) {
  const QFileInfo info(path);
  return info.exists() && !info.isFile();
}

}  // namespace auralis
