#include "app/ConfigLocation.h"

#include <QDir>

namespace auralis {

std::optional<QString> configHomeFrom(const QString& xdgConfigHome, const QString& home) {
  if (QDir::isAbsolutePath(xdgConfigHome)) return QDir::cleanPath(xdgConfigHome);
  if (QDir::isAbsolutePath(home)) return QDir::cleanPath(home + QStringLiteral("/.config"));
  return std::nullopt;
}

std::optional<QString> settingsFilePath() {
  const auto folder =
      configHomeFrom(qEnvironmentVariable("XDG_CONFIG_HOME"), qEnvironmentVariable("HOME"));
  if (!folder) return std::nullopt;
  return *folder + QStringLiteral("/Auralis/Auralis.ini");
}

}  // namespace auralis
