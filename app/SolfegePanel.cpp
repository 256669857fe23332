#include "app/SolfegePanel.h"

#include <QVBoxLayout>

namespace auralis {

namespace {

constexpr int kInstructionPanelHeight = 40;

QFont instructionFont() {
  QFont font(QStringLiteral("Times New Roman"));
  font.setStyleHint(QFont::Serif);
  font.setBold(true);
  font.setPixelSize(32);
  return font;
}

}  // namespace

SolfegePanel buildSolfegePanel(QWidget* parent, Lesson& lesson) {
  SolfegePanel panel;
  panel.panelSolfege = new QWidget(parent);
  panel.panelSolfege->setObjectName(QStringLiteral("panelSolfege"));
  auto* panelColumn = new QVBoxLayout(panel.panelSolfege);
  panelColumn->setContentsMargins(0, 0, 0, 0);
  panelColumn->setSpacing(0);
  panel.Panel1 = new QWidget(panel.panelSolfege);
  panel.Panel1->setObjectName(QStringLiteral("Panel1"));
  panel.Panel1->setFixedHeight(kInstructionPanelHeight);
  panel.lblListenFor = new QLabel(QStringLiteral("(instructions)"), panel.Panel1);
  panel.lblListenFor->setObjectName(QStringLiteral("lblListenFor"));
  panel.lblListenFor->setFont(instructionFont());
  panel.lblListenFor->setAlignment(Qt::AlignCenter);
  // A long line is cut at the panel's edges rather than widening the window.
  panel.lblListenFor->setMinimumWidth(1);
  panel.lblListenFor->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  auto* instructionRow = new QVBoxLayout(panel.Panel1);
  instructionRow->setContentsMargins(0, 0, 0, 0);
  instructionRow->addWidget(panel.lblListenFor);
  panelColumn->addWidget(panel.Panel1);
  panel.PaintBox1 = new NotePanel(
      lesson, [&lesson](int column) { lesson.NoteColumnClicked(column); }, panel.panelSolfege);
  // Typed answers belong to the note panel: it holds the focus, so that the menu bar hands the
  // focus back to it whenever the user leaves the menus.
  panel.PaintBox1->setFocusPolicy(Qt::StrongFocus);
  panelColumn->addWidget(panel.PaintBox1, 1);
  panel.pitchGraph = new PitchGraph(panel.panelSolfege);
  panel.pitchGraph->setObjectName(QStringLiteral("pitchGraph"));
  panel.pitchGraph->setFixedHeight(kPitchGraphHeight);
  panel.pitchGraph->hide();
  panelColumn->addWidget(panel.pitchGraph);
  return panel;
}

}  // namespace auralis
