#include "history/HistoryPaths.h"

#include <QDir>

namespace auralis {

QString historyDatabasePath() {
  QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
  if (!QDir::isAbsolutePath(dataHome)) {
    const QString home = qEnvironmentVariable("HOME");
    // Without either, the file would land wherever the program was started, or in /.
    if (!QDir::isAbsolutePath(home)) return {};
    dataHome = home + QStringLiteral("/.local/share");
  }
  return QDir::cleanPath(dataHome + QStringLiteral("/Auralis/history.sqlite"));
}

QString corruptCopyPath(const QString& databasePath, const QDateTime& when) {
  return databasePath + QStringLiteral(".corrupt-") +
         when.toString(QStringLiteral("yyyyMMdd-HHmmss"));
}

}  // namespace auralis
