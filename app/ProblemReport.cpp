#include "app/ProblemReport.h"

#include <cstdio>

namespace auralis {

void printProblem(const QString& text) {
  std::fprintf(stderr, "auralis: %s\n", text.toLocal8Bit().constData());
}

}  // namespace auralis
