#include "display/PitchGraphLayout.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "engine/Notes.h"
#include "input/PitchReadout.h"

namespace auralis::display {

const double kInTuneBelow = (kInTuneLowestStep - kNominalSubBand) / double{kSubBands};
const double kInTuneAbove = (kInTuneHighestStep - kNominalSubBand) / double{kSubBands};

namespace {

// A target wider than its content by more than this shrinks to it.
constexpr double kSpareSpan = 6.0;
// The share of the way to the target the view moves each frame: most of it within a fifth of a
// second, without a visible jump.
constexpr double kGlidePerFrame = 0.15;
constexpr double kSettled = 0.01;
constexpr int kQuestionSize = 5;

struct Extent {
  double lowest = HUGE_VAL;
  double highest = -HUGE_VAL;

  bool empty() const { return lowest > highest; }
  void include(double value) {
    lowest = std::min(lowest, value);
    highest = std::max(highest, value);
  }
};

Extent sungExtent(const PitchHistory& history) {
  Extent extent;
  for (int i = 0; i < history.size(); ++i)
    if (const auto value = history.at(i)) extent.include(*value);
  return extent;
}

std::optional<double> latestSung(const PitchHistory& history) {
  for (int i = history.size() - 1; i >= 0; --i)
    if (const auto value = history.at(i)) return value;
  return std::nullopt;
}

// The rows of the extreme notes with a row to spare either side; a note's row spans half a
// semitone either side of it.
PitchRange neededFor(Extent extent) {
  return {std::round(extent.lowest) - 1.5, std::round(extent.highest) + 1.5};
}

bool covers(PitchRange outer, PitchRange inner) {
  return outer.low <= inner.low && outer.high >= inner.high;
}

// A range of at least the shortest span centred on the needed one, its edges on row borders.
PitchRange targetFor(PitchRange needed) {
  const double span = std::max(kShortestSpan, std::round(needed.span()));
  const double centre = (needed.low + needed.high) / 2;
  const double low = std::round(centre - span / 2 - 0.5) + 0.5;
  return {low, low + span};
}

double glide(double from, double to) {
  const double moved = from + (to - from) * kGlidePerFrame;
  return std::abs(to - moved) < kSettled ? to : moved;
}

}  // namespace

void PitchRangeFollower::follow(const PitchHistory& history, std::span<const int> questionNotes,
                                std::optional<int> kept) {
  Extent extent = sungExtent(history);
  if (extent.empty())
    for (const int note : questionNotes) extent.include(note);
  if (kept) extent.include(*kept);
  if (extent.empty()) return;

  PitchRange needed = neededFor(extent);
  if (needed.span() > kLongestSpan) {
    // Wider than two octaves, say after octave errors: stay with the latest singing.
    const double latest = latestSung(history).value_or(extent.highest);
    Extent near{latest, latest};
    if (kept) near.include(*kept);
    needed = neededFor(near);
  }
  const bool fits = covers(target_, needed) &&
                    target_.span() <= std::max(kShortestSpan, needed.span() + kSpareSpan);
  if (!placed_ || !fits) target_ = targetFor(needed);
  if (!placed_) {
    range_ = target_;
    placed_ = true;
    return;
  }
  range_ = {glide(range_.low, target_.low), glide(range_.high, target_.high)};
}

int PitchGraphLayout::lowestNote() const {
  return static_cast<int>(std::floor(range.low - 0.5)) + 1;
}

int PitchGraphLayout::highestNote() const {
  return static_cast<int>(std::ceil(range.high + 0.5)) - 1;
}

PitchGraphLayout pitchGraphLayoutFor(int width, int height, int gutterWidth, int deviationWidth,
                                     PitchRange range) {
  PitchGraphLayout layout;
  layout.width = width;
  layout.height = height;
  layout.plotLeft = std::clamp(gutterWidth, 0, width);
  layout.plotRight = std::clamp(width - deviationWidth, layout.plotLeft, width);
  layout.range = range;
  return layout;
}

namespace {

// Adds a span, merged with the last one where they share a column and touch.
class TraceWriter {
 public:
  TraceWriter(const PitchGraphLayout& layout, std::span<TraceSpan> out)
      : layout_(layout), out_(out) {}

  int count() const { return count_; }

  void add(int column, double top, double bottom) {
    if (column < layout_.plotLeft || column >= layout_.plotRight) return;
    top = std::max(top, 0.0);
    bottom = std::min(bottom, static_cast<double>(layout_.height));
    if (bottom <= top) return;
    if (count_ > 0 && joining_) {
      TraceSpan& last = out_[count_ - 1];
      if (last.column == column && top <= last.bottom && bottom >= last.top) {
        last.top = std::min(last.top, top);
        last.bottom = std::max(last.bottom, bottom);
        return;
      }
    }
    if (count_ < static_cast<int>(out_.size())) out_[count_++] = {column, top, bottom};
  }

  // A filled circle, not merged with the line.
  void dot(double x, double y, double radius) {
    joining_ = false;
    const int first = static_cast<int>(std::floor(x - radius));
    const int last = static_cast<int>(std::ceil(x + radius));
    for (int column = first; column < last; ++column) {
      const double across = column + 0.5 - x;
      const double half = std::sqrt(std::max(0.0, radius * radius - across * across));
      if (half > 0.0) add(column, y - half, y + half);
    }
  }

  // The columns a segment crosses, each covering the rows the segment passes in it.
  void segment(double x0, double y0, double x1, double y1) {
    constexpr double half = kSungLineWidth / 2;
    const int first = static_cast<int>(std::floor(x0));
    const int last = static_cast<int>(std::floor(x1));
    const double slope = x1 > x0 ? (y1 - y0) / (x1 - x0) : 0.0;
    for (int column = first; column <= last; ++column) {
      const double ya = y0 + slope * (std::max(x0, static_cast<double>(column)) - x0);
      const double yb = y0 + slope * (std::min(x1, column + 1.0) - x0);
      add(column, std::min(ya, yb) - half, std::max(ya, yb) + half);
    }
  }

 private:
  const PitchGraphLayout& layout_;
  std::span<TraceSpan> out_;
  int count_ = 0;
  bool joining_ = true;
};

}  // namespace

int traceSpansOf(const PitchHistory& history, const PitchGraphLayout& layout,
                 std::span<TraceSpan> out) {
  TraceWriter trace(layout, out);
  const int size = history.size();
  bool afterNote = false;
  double previous = 0.0;
  double previousX = 0.0;
  for (int i = 0; i < size; ++i) {
    const auto value = history.at(i);
    if (!value) {
      afterNote = false;
      continue;
    }
    const double x = layout.xOfFrame(i, size);
    const double y = layout.yOf(*value);
    if (afterNote && std::abs(*value - previous) <= kLeapSemitones)
      trace.segment(previousX, layout.yOf(previous), x, y);
    else
      trace.segment(x, y, x, y);
    afterNote = true;
    previous = *value;
    previousX = x;
  }
  if (const auto latest = history.latest())
    trace.dot(layout.xOfFrame(size - 1, size), layout.yOf(*latest), kNowDotRadius);
  return trace.count();
}

bool noteLabelled(const PitchGraphLayout& layout, int note, int textHeight) {
  const double rowHeight = layout.pixelsPerSemitone();
  const int pitchClass = pitchClassOf(note);
  if (rowHeight >= textHeight) return true;
  // C to G is seven semitones, G to C five.
  if (5 * rowHeight >= textHeight) return pitchClass == 0 || pitchClass == 7;
  return pitchClass == 0;
}

std::string_view graphNameOf(NoteView view, int note) {
  const int pitchClass = pitchClassOf(note);
  return view == NoteView::Solfege ? SolfegeSharpNames[pitchClass] : LetterSharpNames[pitchClass];
}

std::vector<int> targetNotesIn(const TargetBand& band, int lowestNote, int highestNote) {
  std::vector<int> notes;
  for (int note = lowestNote; note <= highestNote; ++note)
    if (note == band.note || (band.everyOctave && pitchClassOf(note) == pitchClassOf(band.note)))
      notes.push_back(note);
  return notes;
}

bool GraphMarks::questionRow(int note) const {
  return questionPitchClasses[pitchClassOf(note)];
}

bool GraphMarks::inTuneBandAround(int note) const {
  return hasQuestion ? questionRow(note) : nearestSung == note;
}

GraphMarks graphMarksOf(std::span<const int> questionNotes, const PitchHistory& history) {
  GraphMarks marks;
  for (const int note : questionNotes) {
    marks.questionPitchClasses[pitchClassOf(note)] = true;
    marks.hasQuestion = true;
  }
  // Only marked without a question; a grid that depends on it is drawn again more often.
  const auto latest = history.latest();
  if (latest && !marks.hasQuestion) marks.nearestSung = static_cast<int>(std::lround(*latest));
  return marks;
}

ShownQuestion shownQuestionOf(const PanelInputs& inputs) {
  ShownQuestion shown;
  const int count = std::clamp(inputs.QuestionNoteCount, 0, kQuestionSize);
  if (count == 0) return shown;
  switch (inputs.lessonMode) {
    case LessonMode::Sing:
      shown.notes[shown.count++] = inputs.QuestionNotes[0];
      return shown;
    case LessonMode::Practice:
    case LessonMode::Meditate:
      return shown;
    default:
      break;
  }
  if (answerRevealed(inputs)) {
    if (inputs.AnswerPosition >= 0 && inputs.AnswerPosition < count)
      shown.notes[shown.count++] = inputs.QuestionNotes[inputs.AnswerPosition];
    return shown;
  }
  if (inputs.DisplayAlways)
    for (int j = 0; j < count; ++j) shown.notes[shown.count++] = inputs.QuestionNotes[j];
  return shown;
}

std::optional<Deviation> shownDeviation(const PitchHistory& history) {
  const auto latest = history.latest();
  if (!latest) return std::nullopt;
  const long nearest = std::lround(*latest);
  double sum = 0.0;
  int frames = 0;
  for (int i = history.size() - 1; i >= 0 && frames < kDeviationFrames; --i) {
    const auto value = history.at(i);
    if (!value || std::lround(*value) != nearest) break;
    sum += *value - static_cast<double>(nearest);
    ++frames;
  }
  return Deviation{static_cast<int>(nearest), static_cast<int>(std::lround(100.0 * sum / frames))};
}

std::string deviationText(int cents) {
  std::array<char, 24> text{};
  std::snprintf(text.data(), text.size(), cents > 0 ? "+%d cents" : "%d cents", cents);
  return text.data();
}

bool deviationInTune(int cents) {
  return cents >= 100.0 * kInTuneBelow && cents <= 100.0 * kInTuneAbove;
}

}  // namespace auralis::display
