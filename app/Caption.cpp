#include "app/Caption.h"

namespace auralis {

QString captionFor(const QString& versionText) {
  const qsizetype lastDot = versionText.lastIndexOf(QLatin1Char('.'));
  const QString shown = lastDot < 0 ? QString() : versionText.left(lastDot);
  return QStringLiteral("Auralis (") + shown + QLatin1Char(')');
}

}  // namespace auralis
