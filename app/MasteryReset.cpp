#include "app/MasteryReset.h"

#include <QMessageBox>

namespace auralis {

bool confirmMasteryReset(QWidget* parent) {
  QMessageBox question(QMessageBox::Warning, QStringLiteral("Reset mastery levels"),
                       QString::fromLatin1(kMasteryResetQuestion),
                       QMessageBox::Reset | QMessageBox::Cancel, parent);
  question.setInformativeText(
      QStringLiteral("The levels you have reached there are lost. Mimic keeps its levels."));
  question.setDefaultButton(QMessageBox::Cancel);
  question.setEscapeButton(QMessageBox::Cancel);
  return question.exec() == QMessageBox::Reset;
}

}  // namespace auralis
