#pragma once

#include <QWidget>
#include <functional>

#include "display/NotePanelLayout.h"

namespace auralis {

class Lesson;

// The note panel: twelve columns in the solfege, note-name or piano view, coloured from the
// lesson's state, with the live tuning triangles over their scales. It only reads the lesson;
// a mouse-down over a column is handed to onColumnClicked.
class NotePanel : public QWidget {
 public:
  NotePanel(const Lesson& lesson, std::function<void(int column)> onColumnClicked,
            QWidget* parent = nullptr);

  // The lesson's state changed: schedules a repaint of the whole panel.
  void PaintNotePanel();
  // Repaints the whole panel before returning.
  void repaintNow();

  // Moves the tuning triangles to the column of pitchClass at offset (0 to 1 across the
  // column); -1 or -1.0 removes them. The triangles stay through repaints until moved.
  void DrawTuningMarker(int pitchClass, float offset);
  int markerPitchClass() const { return markerPitchClass_; }
  float markerOffset() const { return markerOffset_; }

  // The layout of the last paint, which clicks are mapped with.
  const display::NotePanelLayout& panelLayout() const { return layout_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  void updateMarkerArea(int pitchClass, float offset);

  const Lesson& lesson_;
  std::function<void(int)> onColumnClicked_;
  display::NotePanelLayout layout_;
  int markerPitchClass_ = -1;
  float markerOffset_ = -1.0f;
};

}  // namespace auralis
