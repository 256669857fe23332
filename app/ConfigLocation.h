#pragma once

#include <QString>
#include <optional>

namespace auralis {

// The folder of the user's configuration: XDG_CONFIG_HOME when it is an absolute path, otherwise
// .config in HOME when that is one; nothing when neither is. A relative path would depend on the
// folder the program happens to be started from, so it counts as unset.
std::optional<QString> configHomeFrom(const QString& xdgConfigHome, const QString& home);

// The settings file in the configuration folder that this process's environment names.
std::optional<QString> settingsFilePath();

}  // namespace auralis
