#pragma once

#include <array>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "display/NotePanelLayout.h"
#include "input/PitchHistory.h"

namespace auralis::display {

// The readout's in-tune offsets around a note, in semitones: -25 to +16 2/3 cents.
extern const double kInTuneBelow;
extern const double kInTuneAbove;

// Lighter kin of the note panel's colours, so that the sung line stands out.
struct GraphPalette {
  Rgb background;
  Rgb blackKeyRow;
  Rgb questionRow;
  Rgb inTuneBand;
  Rgb targetBand;
  Rgb noteLine;
  Rgb octaveLine;  // through every C
  Rgb questionLine;
  Rgb sungLine;
  Rgb inTuneText;
  Rgb outOfTuneText;
};
inline constexpr GraphPalette kGraphPalette = {
    .background = {255, 255, 255},
    .blackKeyRow = {240, 240, 240},
    .questionRow = {255, 226, 226},
    .inTuneBand = {150, 225, 150},
    .targetBand = {120, 170, 235},
    .noteLine = {215, 215, 215},
    .octaveLine = {140, 140, 140},
    .questionLine = {220, 0, 0},
    .sungLine = {0, 0, 255},
    .inTuneText = {0, 140, 0},
    .outOfTuneText = {200, 0, 0},
};

// The semitones the graph shows, low at the bottom edge and high at the top.
struct PitchRange {
  double low = 53.0;
  double high = 67.0;

  double span() const { return high - low; }
  bool operator==(const PitchRange&) const = default;
};

// An octave with a semitone to spare either side, so every pitch class is on the graph.
inline constexpr double kShortestSpan = 14.0;
// Past two octaves the view follows the latest frames instead of the whole history.
inline constexpr double kLongestSpan = 26.0;

// Chooses the graph's range once a frame. It follows what was sung in the history, or the
// question when nothing was, and keeps its target until the content leaves it, so that a held
// note or a vibrato leaves the view still. The shown range glides toward the target.
class PitchRangeFollower {
 public:
  // `kept`, the note an exercise asks to sing, stays in view with what was sung.
  void follow(const PitchHistory& history, std::span<const int> questionNotes,
              std::optional<int> kept = std::nullopt);

  PitchRange range() const { return range_; }
  PitchRange target() const { return target_; }

 private:
  PitchRange target_;
  PitchRange range_;
  bool placed_ = false;
};

// The plot between the gutter of note names on the left and the deviation on the right, and
// where semitones and frames fall on it.
struct PitchGraphLayout {
  int width = 0;
  int height = 0;
  int plotLeft = 0;
  int plotRight = 0;  // exclusive
  PitchRange range;

  int plotWidth() const { return plotRight - plotLeft; }
  double pixelsPerSemitone() const { return range.span() > 0 ? height / range.span() : 0.0; }
  double yOf(double semitones) const { return (range.high - semitones) * pixelsPerSemitone(); }
  // Frame i of a history holding `size` frames; the newest lies on the plot's last column and a
  // full history spans the plot.
  double xOfFrame(int i, int size) const {
    const int age = size - 1 - i;
    return (plotRight - 1) - age * (plotWidth() - 1) / double{kPitchHistoryFrames - 1};
  }
  // The notes whose rows lie at least partly on the graph.
  int lowestNote() const;
  int highestNote() const;
};

PitchGraphLayout pitchGraphLayoutFor(int width, int height, int gutterWidth, int deviationWidth,
                                     PitchRange range);

// The sung line, rasterised column by column: in each column of the plot it covers rows from
// top to bottom, fractions at the ends. Consecutive frames are joined unless one is a gap or
// they lie more than a leap apart.
struct TraceSpan {
  int column = 0;
  double top = 0.0;
  double bottom = 0.0;

  bool operator==(const TraceSpan&) const = default;
};
inline constexpr double kLeapSemitones = 1.5;
inline constexpr double kSungLineWidth = 2.0;  // pixels
// The latest frame is a dot at the line's end.
inline constexpr double kNowDotRadius = 3.0;  // pixels
// Enough spans for any history and its dot on a plot of this many columns.
constexpr int traceCapacityFor(int plotWidth) {
  return plotWidth + kPitchHistoryFrames + 2 * static_cast<int>(kNowDotRadius) + 2;
}
// Writes the spans of the line, columns ascending, then those of the dot, and returns how many;
// stops when `out` is full.
int traceSpansOf(const PitchHistory& history, const PitchGraphLayout& layout,
                 std::span<TraceSpan> out);

// Whether a note's row carries its name: every row while names of textHeight fit, else the
// rows of C and G, else those of C.
bool noteLabelled(const PitchGraphLayout& layout, int note, int textHeight);

// The graph names notes as the view does; the piano view by their letters.
std::string_view graphNameOf(NoteView view, int note);

// What the graph marks besides the sung line: the question's pitch classes in every octave, and
// the in-tune band around each of them, or around the note nearest the latest sung frame when
// there is no question.
struct GraphMarks {
  std::array<bool, 12> questionPitchClasses{};
  bool hasQuestion = false;
  std::optional<int> nearestSung;  // without a question only

  bool operator==(const GraphMarks&) const = default;
  bool questionRow(int note) const;
  bool inTuneBandAround(int note) const;
};

GraphMarks graphMarksOf(std::span<const int> questionNotes, const PitchHistory& history);

// The notes the note panel shows as the question, and so the graph may show without giving an
// answer away: the note to sing in Sing, the target once Unlock reveals it, and the question's
// notes while "Always display off-notes" is checked. None otherwise.
struct ShownQuestion {
  std::array<int, 5> notes{};
  int count = 0;

  std::span<const int> span() const { return {notes.data(), static_cast<std::size_t>(count)}; }
};
ShownQuestion shownQuestionOf(const PanelInputs& inputs);

// The band around the note an exercise asks to sing.
struct TargetBand {
  int note = 0;
  double cents = 50;  // either side
  bool everyOctave = false;

  bool operator==(const TargetBand&) const = default;
};
// The notes of the band the layout shows, each as its MIDI note.
std::vector<int> targetNotesIn(const TargetBand& band, int lowestNote, int highestNote);

// The frames the deviation is averaged over, a tenth of a second, so that the number can be
// read while it moves.
inline constexpr int kDeviationFrames = 4;

// The note nearest the latest frame, and the cents from it averaged over the latest frames that
// hold that same note; none when the latest frame has no note.
struct Deviation {
  int note = 0;
  int cents = 0;

  bool operator==(const Deviation&) const = default;
};
std::optional<Deviation> shownDeviation(const PitchHistory& history);
// "+7 cents", "-12 cents", "0 cents".
std::string deviationText(int cents);
// Within the readout's in-tune offsets of the nearest note.
bool deviationInTune(int cents);

}  // namespace auralis::display
