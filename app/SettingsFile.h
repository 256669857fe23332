#pragma once

#include <QString>
#include <chrono>

namespace auralis {

// A save writes the whole file under a temporary name beside it (the file's name, a dot and six
// letters or digits) and renames it over the file in one step. A save takes milliseconds, so a
// temporary file this old was left by a writer that died.
inline constexpr std::chrono::seconds kStaleTemporaryAge{10};

// Removes the temporary files beside the settings file that are older than kStaleTemporaryAge.
void removeStaleTemporaries(const QString& settingsFile);

// Takes over the settings file's lock when no live writer holds it.
void clearStaleLock(const QString& settingsFile);

// Whether something other than a regular file, or a link to one, stands at the path: a folder
// or a named pipe, which reading would block on, is no settings file.
bool isOtherThanRegularFile(const QString& path);

}  // namespace auralis
