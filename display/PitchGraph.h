#pragma once

#include <QFont>
#include <QImage>
#include <QStaticText>
#include <QWidget>
#include <array>
#include <optional>
#include <span>
#include <vector>

#include "display/PitchGraphLayout.h"
#include "input/PitchEstimate.h"
#include "input/PitchHistory.h"

namespace auralis {

// The last ten seconds of sung pitch as a line over a semitone grid, with the question's notes,
// the readout's in-tune band and the current deviation in cents. It moves on with every frame
// handed to it and stands still between frames.
//
// It repaints at the frame rate, so it keeps its picture: the grid is drawn again only when the
// view, the marks or the size change, and a frame rewrites only the pixels of the sung line and
// repaints only the area they span.
class PitchGraph : public QWidget {
 public:
  explicit PitchGraph(QWidget* parent = nullptr);

  // Once per analysed frame, none for a frame without a note. Schedules a repaint.
  void addFrame(std::optional<SungPitch> pitch);
  // MIDI note numbers; their pitch classes are marked in every octave. At most five are kept.
  void setQuestionNotes(std::span<const int> notes);
  // The band around the note an exercise asks to sing: `cents` either side of `note`, in every
  // octave when any octave counts. None by default.
  void setTargetBand(std::optional<display::TargetBand> band);
  const std::optional<display::TargetBand>& targetBand() const { return target_; }
  // Names as the view shows them; the piano view uses note names.
  void setView(display::NoteView view);
  // A short message in the plot's top left corner, over the oldest part of the line, where the
  // newest pitch is never drawn; empty for none.
  void setCaption(const QString& text, const QColor& colour);
  const QString& caption() const { return caption_; }

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
  // Measures the fonts and lays out the names, once per view. Left until the graph is first laid
  // out: the graph starts hidden, and loading its three fonts would hold back the window's start.
  void prepareText() const;
  std::span<const int> questionNotes() const;
  std::optional<int> keptNote() const;
  // Brings the picture up to date and returns the area that changed.
  QRect updatePicture();
  void paintGrid(const display::PitchGraphLayout& layout, const display::GraphMarks& marks);
  void paintRows(QPainter& painter, const display::PitchGraphLayout& layout,
                 const display::GraphMarks& marks) const;
  void paintNames(QPainter& painter, const display::PitchGraphLayout& layout,
                  const display::GraphMarks& marks) const;
  void paintTargetBand(QPainter& painter, const display::PitchGraphLayout& layout) const;
  void paintSungLine(const display::PitchGraphLayout& layout);
  // The top of the strip right of the plot, where the nearest note and its deviation are written.
  QRect deviationArea(const display::PitchGraphLayout& layout) const;
  void paintDeviation(const display::PitchGraphLayout& layout);
  QImage lineOverGrid(const QRect& rows, const QStaticText& text, const QFont& font,
                      const QColor& colour, QPointF at) const;
  void copyRows(const QImage& from, const QRect& area);
  QRect captionArea(const display::PitchGraphLayout& layout) const;
  void paintCaption(QPainter& painter, const display::PitchGraphLayout& layout) const;

  PitchHistory history_;
  display::PitchRangeFollower follower_;
  std::array<int, 5> questionNotes_{};
  int questionCount_ = 0;
  std::optional<display::TargetBand> target_;
  std::optional<display::TargetBand> gridTarget_;
  display::NoteView view_ = display::NoteView::Solfege;

  QFont nameFont_;
  QFont deviationFont_;
  QFont sungNameFont_;
  QFont captionFont_;
  QString caption_;
  QColor captionColour_;
  // What prepareText() measures and lays out, once per view instead of on every paint.
  mutable bool textStale_ = true;
  mutable int gutterWidth_ = 0;
  mutable int deviationWidth_ = 0;
  mutable int deviationHeight_ = 0;
  mutable std::array<QStaticText, 12> names_;
  mutable std::array<QStaticText, 12> sungNames_;
  std::array<QStaticText, 101> centsTexts_;  // -50 to +50, each laid out when first shown
  // The deviation's lines as drawn over the grid of `area`, each when first shown: the names by
  // pitch class, out of tune and in tune; the cents from -50 to +50.
  struct DeviationLines {
    QRect area;
    std::array<QImage, 24> names;
    std::array<QImage, 101> cents;
  };
  DeviationLines deviationLines_;

  // The grid without the sung line, and the picture shown; both of the widget's size.
  QImage grid_;
  QImage picture_;
  // What the grid was drawn for; none until it is drawn.
  std::optional<display::PitchRange> gridRange_;
  display::GraphMarks gridMarks_;
  // The sung line now in the picture, to be taken out again, and the deviation written over it.
  std::vector<display::TraceSpan> trace_;
  int traceCount_ = 0;
  std::optional<display::Deviation> deviationShown_;
  bool deviationStale_ = true;
  // Frames, questions or views arrived while the picture was not kept up to date.
  bool pictureStale_ = true;
};

}  // namespace auralis
