#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "engine/LessonMode.h"

namespace auralis {

class Lesson;

namespace display {

// Geometry of the note panel: twelve equal columns, C to B, centred in the paint area.
//
// Rows of every column, from the top: marker zone [0, h), top tuning scale [h, 2h), note cell
// [2h, H - 2h), bottom tuning scale [H - 2h, H - h), marker zone [H - h, H).
struct NotePanelLayout {
  int width = 0;
  int height = 0;
  int columnWidth = 0;
  int leftMargin = 0;
  int stripHeight = 0;

  int columnLeft(int column) const { return column * columnWidth + leftMargin; }
  int lastBorder() const { return columnLeft(12); }
  int cellTop() const { return 2 * stripHeight; }
  int cellBottom() const { return height - 2 * stripHeight; }
  int topScaleTop() const { return stripHeight; }
  int bottomScaleTop() const { return height - 2 * stripHeight; }
  int fontPointSize() const;
};

NotePanelLayout layoutFor(int width, int height);

// The column under x, or none in the margins or on a panel too narrow for columns.
std::optional<int> columnAt(const NotePanelLayout& layout, int x);

// Right and bottom edges are exclusive.
struct Box {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
};

// Horizontal extent of one column's tuning scales: the green in-tune band covers sub-band
// positions 3 to 9 of twelve, and a black tick marks the start of each sub-band.
struct TuningScale {
  int bandLeft = 0;
  int bandRight = 0;
  std::array<int, 12> ticks{};
};

TuningScale tuningScaleOf(const NotePanelLayout& layout, int column);
Box cellBoxOf(const NotePanelLayout& layout, int column);
Box dotBoxOf(const NotePanelLayout& layout, int column);

// Top-left corners of a column's names. A black key's two names sit one text height above and
// below the centre line; a single name is centred.
struct Point {
  int x = 0;
  int y = 0;
};
struct LabelSpots {
  Point first;
  std::optional<Point> second;
};
LabelSpots labelSpotsOf(const NotePanelLayout& layout, int column, int textHeight, int firstWidth,
                        std::optional<int> secondWidth);

enum class NoteView { Solfege, NoteNames, Piano };

struct NoteNames {
  std::string_view first;
  std::string_view second;  // empty for the white keys
};
// The names a name view shows for a column; nothing in the piano view.
NoteNames namesOf(NoteView view, int column);

enum class PanelColour { Plain, Red, DarkRed, Blue, Green, Black, White };

struct Rgb {
  int red;
  int green;
  int blue;
};
// Plain cells are filled white.
Rgb rgbOf(PanelColour colour);

// What the panel shows, read from the lesson engine.
struct PanelInputs {
  LessonMode lessonMode = LessonMode::Practice;
  std::array<std::uint8_t, 12> ActivePitchClasses{};
  std::array<int, 5> QuestionNotes{};
  std::array<int, 5> AnswerNotes{};
  int QuestionNoteCount = 0;
  int AnswerPosition = 0;
  int FirstNotePitchClass = 0;
  int QuestionAge = 0;
  bool unlockChecked = false;
  bool DisplayAlways = false;
  NoteView view = NoteView::Solfege;
};

PanelInputs panelInputsOf(const Lesson& lesson);

// In Unlock, the asked note is shown from the sixth timer tick of a question on.
bool answerRevealed(const PanelInputs& inputs);

struct ColumnColours {
  PanelColour cell = PanelColour::Plain;
  PanelColour label = PanelColour::Black;

  bool operator==(const ColumnColours&) const = default;
};

std::array<ColumnColours, 12> columnColoursOf(const PanelInputs& inputs);

// A note already answered in this question is drawn blue whatever colour it was given.
PanelColour labelColourOf(const PanelInputs& inputs, int column, PanelColour colour);

// The colour handed to the piano view's dot: a real label colour, else the cell's highlight
// under a black label; none for plain and hidden columns.
std::optional<PanelColour> pianoDotColourOf(ColumnColours colours);

// The pair of red tuning triangles: one hanging from row 1 down to the top scale, one standing
// on row H - 2 up to the bottom scale.
struct MarkerTriangles {
  std::array<Point, 3> top;
  std::array<Point, 3> bottom;
};

// A pitch class of -1 or an offset of -1.0 means no marker; anything outside a column's range
// is not drawn either.
bool markerShown(int pitchClass, float offset);
// The offset is the position within the column, 0 at its left border.
int markerLeftEdge(const NotePanelLayout& layout, int pitchClass, float offset);
MarkerTriangles markerTrianglesOf(const NotePanelLayout& layout, int pitchClass, float offset);

}  // namespace display
}  // namespace auralis
