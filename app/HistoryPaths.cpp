#include "app/HistoryPaths.h"

#include <QDir>

namespace auralis {

QString historyDatabasePath() {
  QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
  if (dataHome.isEmpty() || !QDir::isAbsolutePath(dataHome))
    dataHome = QDir::homePath() + QStringLiteral("/.local/share");
  return QDir::cleanPath(dataHome + QStringLiteral("/Auralis/history.sqlite"));
}

QString corruptCopyPath(const QString& databasePath, const QDateTime& when) {
  return databasePath + QStringLiteral(".corrupt-") +
         when.toString(QStringLiteral("yyyyMMdd-HHmmss"));
}

}  // namespace auralis
