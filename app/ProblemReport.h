#pragma once

#include <QString>
#include <functional>

namespace auralis {

// What the user is told when the program cannot do what it should: one line of text.
using ProblemReport = std::function<void(const QString& text)>;

// Writes the text as one line on standard error.
void printProblem(const QString& text);

}  // namespace auralis
