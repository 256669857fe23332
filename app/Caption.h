#pragma once

#include <QString>

namespace auralis {

inline constexpr const char* kApplicationTitle = "Auralis";

// "Auralis (1.0.0)" for the version 1.0.0.0: the version up to its last ".", in brackets.
// A version without a "." leaves the brackets empty.
QString captionFor(const QString& versionText);

}  // namespace auralis
