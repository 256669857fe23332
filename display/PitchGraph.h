#pragma once

#include <QFont>
#include <QPointF>
#include <QStaticText>
#include <QWidget>
#include <array>
#include <optional>
#include <span>

#include "display/PitchGraphLayout.h"
#include "input/PitchEstimate.h"
#include "input/PitchHistory.h"

namespace auralis {

// The last ten seconds of sung pitch as a line over a semitone grid, with the question's notes,
// the readout's in-tune band and the current deviation in cents. It moves on with every frame
// handed to it and stands still between frames.
class PitchGraph : public QWidget {
 public:
  explicit PitchGraph(QWidget* parent = nullptr);

  // Once per analysed frame, none for a frame without a note. Schedules a repaint.
  void addFrame(std::optional<SungPitch> pitch);
  // MIDI note numbers; their pitch classes are marked in every octave. At most five are kept.
  void setQuestionNotes(std::span<const int> notes);
  // Names as the view shows them; the piano view uses note names.
  void setView(display::NoteView view);

  const PitchHistory& history() const { return history_; }
  display::PitchRange range() const { return follower_.range(); }
  display::NoteView view() const { return view_; }
  // The layout of the widget's current size and range, as the next paint will use it.
  display::PitchGraphLayout graphLayout() const;
  int nameHeight() const;

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  std::span<const int> questionNotes() const;
  void paintRows(QPainter& painter, const display::PitchGraphLayout& layout,
                 const display::GraphMarks& marks) const;
  void paintNames(QPainter& painter, const display::PitchGraphLayout& layout,
                  const display::GraphMarks& marks);
  void paintSungLine(QPainter& painter, const display::PitchGraphLayout& layout);
  void paintDeviation(QPainter& painter, const display::PitchGraphLayout& layout);

  PitchHistory history_;
  display::PitchRangeFollower follower_;
  std::array<int, 5> questionNotes_{};
  int questionCount_ = 0;
  display::NoteView view_ = display::NoteView::Solfege;

  QFont nameFont_;
  QFont deviationFont_;
  QFont sungNameFont_;
  int gutterWidth_ = 0;
  int deviationWidth_ = 0;
  // Laid out once per view or value instead of on every paint.
  std::array<QStaticText, 12> names_;
  QStaticText deviation_;
  QStaticText sungName_;
  std::optional<display::Deviation> deviationShown_;
  std::array<QPointF, kPitchHistoryFrames> linePoints_;
};

}  // namespace auralis
