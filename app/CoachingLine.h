#pragma once

#include <QAction>
#include <QFrame>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QObject>
#include <QTimer>
#include <functional>
#include <optional>

#include "app/PitchGraphRow.h"
#include "display/NotePanelLayout.h"
#include "engine/Coaching.h"

namespace auralis {

inline constexpr int kCoachingLineHeight = 26;
// How long a verdict stays.
inline constexpr int kVerdictMs = 1200;

// How a coaching message reads: right green, wrong red, an off-tune note blue when flat and red
// when sharp.
enum class CoachingTone { None, Right, Wrong, Flat, Sharp };

struct CoachingMessage {
  QString text;
  CoachingTone tone = CoachingTone::None;
  bool operator==(const CoachingMessage&) const = default;
};

QColor coachingColour(CoachingTone tone);

// Tells the singer how an answer was judged and which held note lies off the accepted band.
//
// The window the user first sees has no room of its own for this, so it is shown where it hides
// nothing: in the coaching line, a strip above the status bar that the View item "Coa&ching
// line" adds (off until chosen, and remembered), or, while that line is hidden, in the top left
// corner of the pitch graph's plot, where the newest sung pitch never is. With neither shown the
// answer is told by its sound alone, as before.
class CoachingRow : public QObject {
 public:
  CoachingRow(QMainWindow& window, PitchGraphRow& graphRow, PitchGraph& graph, QFrame& line,
              QMenu& viewMenu, std::function<display::NoteView()> view);

  QAction* CoachingLine1() const { return CoachingLine1_; }
  // Shows or hides the line; the window grows or shrinks by its height unless keepHeight.
  void showCoachingLine(bool shown, bool keepHeight = false);

  // A judged answer, for kVerdictMs; then the off-tune note again, if one is still held.
  void showVerdict(const Verdict& verdict);
  void offTuneHeld(const OffTuneNote& note);
  void offTuneOver();
  // The view's names changed.
  void refresh();
  // What is told now, wherever it shows.
  const CoachingMessage& message() const { return message_; }
  QLabel* lineLabel() const { return label_; }

 private:
  void verdictOver();

  QMainWindow& window_;
  PitchGraphRow& graphRow_;
  PitchGraph& graph_;
  QFrame& line_;
  QLabel* label_ = nullptr;
  std::function<display::NoteView()> view_;
  QAction* CoachingLine1_ = nullptr;
  QTimer verdictTimer_;
  std::optional<Verdict> verdict_;
  std::optional<OffTuneNote> offTune_;
  CoachingMessage message_;
};

// The coaching line's frame with its label; hidden until the View item shows it.
QFrame* buildCoachingLine(QWidget* parent);

}  // namespace auralis
