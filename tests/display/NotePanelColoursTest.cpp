#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "display/NotePanelLayout.h"

namespace auralis::display {
namespace {

using enum PanelColour;

// One letter a column: R red/black, D dark red/black, - plain/black, h plain/white (hidden).
std::string codesOf(const std::array<ColumnColours, 12>& colours) {
  std::string codes;
  for (const auto& c : colours) {
    if (c == ColumnColours{Red, Black}) {
      codes += 'R';
    } else if (c == ColumnColours{DarkRed, Black}) {
      codes += 'D';
    } else if (c == ColumnColours{Plain, Black}) {
      codes += '-';
    } else if (c == ColumnColours{Plain, White}) {
      codes += 'h';
    } else {
      codes += '?';
    }
  }
  return codes;
}

// Level flags written C to B.
std::array<std::uint8_t, 12> levelOf(std::string_view cToB) {
  std::array<std::uint8_t, 12> flags{};
  for (int i = 0; i < 12; ++i) flags[i] = cToB[i] == '1' ? 1 : 0;
  return flags;
}

PanelInputs whiteKeyLevel(LessonMode mode) {
  PanelInputs inputs;
  inputs.lessonMode = mode;
  inputs.ActivePitchClasses = levelOf("101011010101");
  inputs.QuestionNotes = {64, 67, 0, 0, 0};  // E and G
  inputs.QuestionNoteCount = 2;
  inputs.FirstNotePitchClass = 4;
  return inputs;
}

TEST(NotePanelColours, EachLessonSituationColoursTheColumnsByTheFirstRuleThatApplies) {
  struct Case {
    const char* situation;
    PanelInputs inputs;
    const char* expected;  // C to B
  };
  auto unlock = [](int age, int answerPosition) {
    PanelInputs inputs = whiteKeyLevel(LessonMode::Unlock);
    inputs.unlockChecked = true;
    inputs.QuestionAge = age;
    inputs.AnswerPosition = answerPosition;
    return inputs;
  };
  auto with = [](PanelInputs inputs, auto change) {
    change(inputs);
    return inputs;
  };
  const Case cases[] = {
      {"Sing: first note red, level dark red, the rest hidden", whiteKeyLevel(LessonMode::Sing),
       "DhDhRDhDhDhD"},
      {"Sing keeps the first note red even outside the level",
       with(whiteKeyLevel(LessonMode::Sing), [](PanelInputs& i) { i.FirstNotePitchClass = 1; }),
       "DRDhDDhDhDhD"},
      {"Meditate shows no level", whiteKeyLevel(LessonMode::Meditate), "------------"},
      {"Practice shows no level", whiteKeyLevel(LessonMode::Practice), "------------"},
      {"Identify: every level note red", whiteKeyLevel(LessonMode::Identify), "R-R-RR-R-R-R"},
      {"Mimic: every level note red", whiteKeyLevel(LessonMode::Mimic), "R-R-RR-R-R-R"},
      {"Unlock before the sixth tick: all level notes red", unlock(5, 0), "R-R-RR-R-R-R"},
      {"Unlock from the sixth tick: the target red, the level dark red", unlock(6, 0),
       "D-D-RD-D-D-D"},
      {"Unlock revealed: the target follows the answer position", unlock(9, 1), "D-D-DD-R-D-D"},
      {"Unlock revealed after the last note: no target, nothing read past the question",
       unlock(6, 5), "D-D-DD-D-D-D"},
      {"DisplayAlways: only the asked notes red",
       with(whiteKeyLevel(LessonMode::Identify), [](PanelInputs& i) { i.DisplayAlways = true; }),
       "----R--R----"},
      {"DisplayAlways counts only the notes of this question",
       with(whiteKeyLevel(LessonMode::Identify),
            [](PanelInputs& i) {
              i.DisplayAlways = true;
              i.QuestionNoteCount = 1;
            }),
       "----R-------"},
      {"DisplayAlways gives way to the reveal",
       with(unlock(6, 0), [](PanelInputs& i) { i.DisplayAlways = true; }), "D-D-RD-D-D-D"},
      {"DisplayAlways gives way to Sing",
       with(whiteKeyLevel(LessonMode::Sing), [](PanelInputs& i) { i.DisplayAlways = true; }),
       "DhDhRDhDhDhD"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.situation);
    EXPECT_EQ(codesOf(columnColoursOf(c.inputs)), c.expected);
  }
}

TEST(NotePanelColours, NotesAnsweredInThisQuestionTurnBlue) {
  PanelInputs inputs = whiteKeyLevel(LessonMode::Identify);
  inputs.QuestionNotes = {60, 64, 67, 0, 0};
  inputs.QuestionNoteCount = 3;
  inputs.AnswerNotes = {62, 76, 71, 0, 0};  // D, then E an octave up; B is not given yet
  inputs.AnswerPosition = 2;
  struct Case {
    int column;
    PanelColour given;
    PanelColour shown;
  };
  const Case cases[] = {
      {2, Black, Blue},  {4, Black, Blue},      {4, Red, Blue},
      {4, White, Blue},  {11, Black, Black},  // beyond the answer position
      {0, Black, Black}, {0, DarkRed, DarkRed},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.column);
    EXPECT_EQ(labelColourOf(inputs, c.column, c.given), c.shown);
  }

  inputs.AnswerPosition = 0;
  EXPECT_EQ(labelColourOf(inputs, 2, Black), Black);
  inputs.AnswerPosition = 5;
  EXPECT_EQ(labelColourOf(inputs, 11, Black), Blue);
}

TEST(NotePanelColours, PianoDotsShowHighlightsAndNothingForPlainColumns) {
  struct Case {
    ColumnColours colours;
    std::optional<PanelColour> dot;
  };
  const Case cases[] = {
      {{Red, Black}, Red},
      {{DarkRed, Black}, DarkRed},
      {{Plain, Black}, std::nullopt},
      {{Plain, White}, std::nullopt},
      {{Plain, Blue}, Blue},
      {{Red, White}, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message()
                 << static_cast<int>(c.colours.cell) << "/" << static_cast<int>(c.colours.label));
    EXPECT_EQ(pianoDotColourOf(c.colours), c.dot);
  }
}

}  // namespace
}  // namespace auralis::display
