#include "display/NotePanelLayout.h"

#include <algorithm>

#include "engine/Lesson.h"
#include "engine/Notes.h"

namespace auralis::display {

namespace {

constexpr std::array<Rgb, 7> kPanelColours = {{
    {255, 255, 255},  // Plain
    {255, 0, 0},      // Red
    {128, 0, 0},      // DarkRed
    {0, 0, 255},      // Blue
    {0, 255, 0},      // Green
    {0, 0, 0},        // Black
    {255, 255, 255},  // White
}};

constexpr int kQuestionSize = 5;

constexpr int truncated(double value) {
  return static_cast<int>(value);
}

// The pitch class the next answer refers to; none once the answer is complete.
int targetPitchClass(const PanelInputs& inputs) {
  if (inputs.AnswerPosition < 0 || inputs.AnswerPosition >= kQuestionSize) return -1;
  return pitchClassOf(inputs.QuestionNotes[inputs.AnswerPosition]);
}

bool isAsked(const PanelInputs& inputs, int column) {
  const int count = std::clamp(inputs.QuestionNoteCount, 0, kQuestionSize);
  for (int j = 0; j < count; ++j) {
    if (pitchClassOf(inputs.QuestionNotes[j]) == column) return true;
  }
  return false;
}

ColumnColours coloursOf(const PanelInputs& inputs, int column, bool revealed, int target) {
  using enum PanelColour;
  const bool sing = inputs.lessonMode == LessonMode::Sing;
  const bool inLevel = inputs.ActivePitchClasses[column] != 0;
  if (sing && column == inputs.FirstNotePitchClass) return {Red, Black};
  if (inputs.lessonMode == LessonMode::Meditate || inputs.lessonMode == LessonMode::Practice)
    return {Plain, Black};
  if (sing && inLevel) return {DarkRed, Black};
  if (sing) return {Plain, White};
  if (revealed && column == target) return {Red, Black};
  if (revealed && inLevel) return {DarkRed, Black};
  if (inputs.DisplayAlways && inLevel) return {isAsked(inputs, column) ? Red : Plain, Black};
  if (!revealed && inLevel) return {Red, Black};
  return {Plain, Black};
}

}  // namespace

int NotePanelLayout::fontPointSize() const {
  return std::min(truncated(columnWidth * 0.4), truncated(height * 0.13333333333333333));
}

NotePanelLayout layoutFor(int width, int height) {
  NotePanelLayout layout;
  layout.width = width;
  layout.height = height;
  layout.columnWidth = width / 12;
  layout.leftMargin = (width - 12 * layout.columnWidth) / 2;
  layout.stripHeight = truncated(height * 0.1);
  return layout;
}

std::optional<int> columnAt(const NotePanelLayout& layout, int x) {
  // Integer division truncates toward zero, so the margin needs its own test.
  if (layout.columnWidth <= 0 || x < layout.leftMargin) return std::nullopt;
  const int column = (x - layout.leftMargin) / layout.columnWidth;
  if (column > 11) return std::nullopt;
  return column;
}

TuningScale tuningScaleOf(const NotePanelLayout& layout, int column) {
  const double step = layout.columnWidth / 12.0;
  const int x0 = layout.columnLeft(column);
  TuningScale scale;
  scale.bandLeft = truncated(3 * step + x0);
  scale.bandRight = truncated(9 * step + x0);
  for (int t = 0; t < 12; ++t) scale.ticks[t] = truncated(t * step + x0);
  return scale;
}

Box cellBoxOf(const NotePanelLayout& layout, int column) {
  const int x0 = layout.columnLeft(column);
  return {x0 + 1, layout.cellTop(), x0 + layout.columnWidth, layout.cellBottom()};
}

Box dotBoxOf(const NotePanelLayout& layout, int column) {
  const int x0 = layout.columnLeft(column);
  const double radius = layout.columnWidth * 1.5 * 0.2;
  const int middle = layout.height / 2;
  return {x0 + layout.columnWidth / 5, truncated(middle - radius),
          x0 + (4 * layout.columnWidth) / 5, truncated(radius + middle)};
}

LabelSpots labelSpotsOf(const NotePanelLayout& layout, int column, int textHeight, int firstWidth,
                        std::optional<int> secondWidth) {
  const int x0 = layout.columnLeft(column);
  const int centre = layout.height / 2 - textHeight / 2;
  const int x1 = x0 + (layout.columnWidth - firstWidth) / 2;
  if (!secondWidth) return {{x1, centre}, std::nullopt};
  const int x2 = x0 + (layout.columnWidth - *secondWidth) / 2;
  return {{x1, centre - textHeight}, Point{x2, centre + textHeight}};
}

NoteNames namesOf(NoteView view, int column) {
  switch (view) {
    case NoteView::Solfege:
      return {SolfegeSharpNames[column], SolfegeFlatNames[column]};
    case NoteView::NoteNames:
      return {LetterSharpNames[column], LetterFlatNames[column]};
    case NoteView::Piano:
      break;
  }
  return {};
}

Rgb rgbOf(PanelColour colour) {
  return kPanelColours[static_cast<int>(colour)];
}

PanelInputs panelInputsOf(const Lesson& lesson) {
  PanelInputs inputs;
  inputs.lessonMode = lesson.lessonMode;
  inputs.ActivePitchClasses = lesson.level.ActivePitchClasses;
  inputs.QuestionNotes = lesson.question.QuestionNotes;
  inputs.AnswerNotes = lesson.question.AnswerNotes;
  inputs.QuestionNoteCount = lesson.question.QuestionNoteCount;
  inputs.AnswerPosition = lesson.question.AnswerPosition;
  inputs.FirstNotePitchClass = lesson.question.FirstNotePitchClass;
  inputs.QuestionAge = lesson.QuestionAge;
  inputs.unlockChecked = lesson.menus.checkedLesson == LessonItem::Unlock1;
  inputs.DisplayAlways = lesson.menus.DisplayAlways;
  if (lesson.menus.Piano1) {
    inputs.view = NoteView::Piano;
  } else if (lesson.menus.Notes1) {
    inputs.view = NoteView::NoteNames;
  } else {
    inputs.view = NoteView::Solfege;
  }
  return inputs;
}

bool answerRevealed(const PanelInputs& inputs) {
  return inputs.unlockChecked && inputs.QuestionAge >= 6;
}

std::array<ColumnColours, 12> columnColoursOf(const PanelInputs& inputs) {
  const bool revealed = answerRevealed(inputs);
  const int target = targetPitchClass(inputs);
  std::array<ColumnColours, 12> colours;
  for (int i = 0; i < 12; ++i) colours[i] = coloursOf(inputs, i, revealed, target);
  return colours;
}

PanelColour labelColourOf(const PanelInputs& inputs, int column, PanelColour colour) {
  const int answered = std::clamp(inputs.AnswerPosition, 0, kQuestionSize);
  for (int j = 0; j < answered; ++j) {
    if (pitchClassOf(inputs.AnswerNotes[j]) == column) return PanelColour::Blue;
  }
  return colour;
}

std::optional<PanelColour> pianoDotColourOf(ColumnColours colours) {
  using enum PanelColour;
  if (colours.label != Plain && colours.label != Black && colours.label != White)
    return colours.label;
  if (colours.label == Black && colours.cell != Plain) return colours.cell;
  return std::nullopt;
}

bool markerShown(int pitchClass, float offset) {
  // The comparisons also reject a NaN offset.
  return pitchClass >= 0 && pitchClass < 12 && offset >= 0.0f && offset <= 1.0f;
}

int markerLeftEdge(const NotePanelLayout& layout, int pitchClass, float offset) {
  return truncated(pitchClass * layout.columnWidth + layout.leftMargin +
                   layout.columnWidth * static_cast<double>(offset) + 1.0);
}

MarkerTriangles markerTrianglesOf(const NotePanelLayout& layout, int pitchClass, float offset) {
  const int left = markerLeftEdge(layout, pitchClass, offset);
  const int width = layout.columnWidth / 12 - 3;
  const int h = layout.stripHeight;
  const int bottomRow = layout.height - 2;
  return {{{{left, 1}, {left + width / 2, h}, {left + width, 1}}},
          {{{left, bottomRow}, {left + width / 2, bottomRow - h + 1}, {left + width, bottomRow}}}};
}

}  // namespace auralis::display
