#pragma once

#include <QLabel>
#include <QWidget>

#include "display/NotePanel.h"
#include "display/PitchGraph.h"
#include "engine/Lesson.h"

namespace auralis {

inline constexpr int kPitchGraphHeight = 150;

// panelSolfege, the window's middle: Panel1 with the instruction line lblListenFor on top, the
// note panel PaintBox1 below it taking the room that is left, and at the bottom the pitch graph,
// hidden until the View item shows it.
struct SolfegePanel {
  QWidget* panelSolfege = nullptr;
  QWidget* Panel1 = nullptr;
  QLabel* lblListenFor = nullptr;
  NotePanel* PaintBox1 = nullptr;
  PitchGraph* pitchGraph = nullptr;
};

// A click on a note column of the note panel goes to the lesson.
SolfegePanel buildSolfegePanel(QWidget* parent, Lesson& lesson);

}  // namespace auralis
