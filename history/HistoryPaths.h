#pragma once

#include <QDateTime>
#include <QString>

namespace auralis {

// $XDG_DATA_HOME/Auralis/history.sqlite, or $HOME/.local/share/Auralis/history.sqlite when the
// variable is unset, empty or not an absolute path (a relative one is to be ignored); empty when
// HOME is not an absolute path either.
QString historyDatabasePath();

// Where a damaged database is moved: "<path>.corrupt-YYYYMMDD-HHMMSS" in local time.
QString corruptCopyPath(const QString& databasePath, const QDateTime& when);

}  // namespace auralis
