#pragma once

#include <QPainter>
#include <QWidget>
#include <array>
#include <functional>

#include "display/NotePanelLayout.h"

namespace auralis {

class Lesson;

// What a column's tool tip says: its names, and the key that answers with it, as in
// "DO — key c" or "C# / Db — key C (Shift+c)". The piano view names the notes by letter, as its
// instruction line does. Where typed answers do not count, the lessons answered by singing, the
// tip says so instead of naming a key.
QString columnToolTip(display::NoteView view, int column, bool keysAnswer);

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

  // Columns framed as the given notes of an exercise's question (the note it is sung from);
  // none by default. Schedules a repaint.
  void setFramedColumns(const std::array<bool, 12>& framed);
  const std::array<bool, 12>& framedColumns() const { return framed_; }

  // The layout of the last paint, which clicks are mapped with.
  const display::NotePanelLayout& panelLayout() const { return layout_; }

  // The tool tip of the column under x, in the current view; empty in the margins.
  QString toolTipAt(int x) const;

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  void updateMarkerArea(int pitchClass, float offset);
  void paintFrames(QPainter& painter) const;

  const Lesson& lesson_;
  std::function<void(int)> onColumnClicked_;
  display::NotePanelLayout layout_;
  std::array<bool, 12> framed_{};
  int markerPitchClass_ = -1;
  float markerOffset_ = -1.0f;
};

}  // namespace auralis
