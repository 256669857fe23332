#include "engine/Texts.h"

#include <cstdint>

#include "engine/Notes.h"
#include "engine/Question.h"

namespace auralis {

void ScoreText(const Scores& s, FixedText& out) {
  const double levelPercent = s.LevelAsked == 0 ? 0.0 : 100.0 * s.LevelCorrect / s.LevelAsked;
  const double totalPercent = s.TotalAsked == 0 ? 0.0 : 100.0 * s.TotalCorrect / s.TotalAsked;
  out.appendFormat("%d/%d this level (%1.1f%%);  %d in a row (%d highest);  %d/%d total (%1.1f%%)",
                   s.LevelCorrect, s.LevelAsked, levelPercent, s.LevelStreak, s.LevelBestStreak,
                   s.TotalCorrect, s.TotalAsked, totalPercent);
}

void appendClock(int seconds, FixedText& out) {
  out.appendFormat("%d:%02d", seconds / 60, seconds % 60);
}

void ClockText(const Scores& s, FixedText& out) {
  appendClock(s.FastRunSeconds, out);
  out.append(" / ");
  appendClock(s.LevelSeconds, out);
  out.append(" / ");
  appendClock(s.ElapsedSeconds, out);
}

namespace {

bool allActive(const LevelState& level, const auto& keys) {
  for (int pitchClass : keys)
    if (level.ActivePitchClasses[pitchClass] != 1) return false;
  return true;
}

void appendLevelDescription(const LevelState& level, bool solfege, FixedText& out) {
  const bool white = allActive(level, WhiteKeys);
  const bool black = allActive(level, BlackKeys);
  if (level.QuestionType == 6) {
    out.append(" white thirds");
  } else if (level.QuestionType == 5) {
    out.append(" white seconds");
  } else if (white && black) {
    out.append(" all notes");
  } else if (white) {
    out.append(" all white notes");
  } else if (black) {
    out.append(" all black notes");
  } else {
    out.append(":  ");
    const auto& names = solfege ? SolfegeSharpNames : LetterSharpNames;
    bool first = true;
    for (int i = 0; i < 12; ++i) {
      if (level.ActivePitchClasses[i] != 1) continue;
      if (!first) out.append(", ");
      out.append(names[i]);
      first = false;
    }
  }
}

}  // namespace

void InstructionText(const InstructionInputs& in, Random& random, FixedText& out) {
  switch (in.level.PaceCode) {
    case kPaceSing: {
      out.append("Sing ");
      const auto& sharp = in.solfegeNames ? SolfegeSharpNames : LetterSharpNames;
      const auto& flat = in.solfegeNames ? SolfegeFlatNames : LetterFlatNames;
      for (int i = 0; i < in.question.QuestionNoteCount; ++i) {
        if (i > 0) out.append(" then ");
        const int pitchClass = pitchClassOf(in.question.QuestionNotes[i]);
        const bool spellFlat = isBlackKey(pitchClass) && random.DrawRandom(kDrawRange) % 2 == 0;
        out.append(spellFlat ? flat[pitchClass] : sharp[pitchClass]);
      }
      return;
    }
    case kPaceIdentify:
      out.append(in.mimicChecked ? "Mimic" : "Identify");
      break;
    case kPaceUnlock:
      out.append("Unlock");
      break;
    case kPaceMeditate:
      out.append("Meditate");
      break;
    default:
      out.append("Sing 'DO' then choose a lesson");
      break;
  }
  appendLevelDescription(in.level, in.solfegeNames, out);
}

void LevelPanelText(LessonMode mode, int currentLevel, FixedText& out) {
  if (mode == LessonMode::Practice) {
    out.append("Practice singing (no questions)");
  } else if (mode == LessonMode::Meditate) {
    out.append("Sing a pitch to meditate on.");
  } else {
    out.appendFormat("%d of %d", currentLevel + 1, levelCountOf(mode));
  }
}

namespace {

// Stored values are not range-checked, so the shown value is formed without overflow.
void appendLevelNumber(int level, FixedText& out) {
  out.appendFormat("%lld", static_cast<long long>(level) + 1);
}

}  // namespace

void MasteryPanelText(LessonItem checked, const Mastery& m, FixedText& out) {
  switch (checked) {
    case LessonItem::Identify1:
      appendLevelNumber(m.IdentifyMastery95Percent, out);
      out.append(" / ");
      appendLevelNumber(m.IdentifyMastery100Percent, out);
      out.append(" / ");
      appendLevelNumber(m.IdentifyMastery1Minute, out);
      break;
    case LessonItem::Unlock1:
      appendLevelNumber(m.UnlockMastery1Minute, out);
      break;
    case LessonItem::MimicSing1:
      appendLevelNumber(m.MimicMastery95Percent, out);
      out.append(" / ");
      appendLevelNumber(m.MimicMastery1Minute, out);
      break;
    case LessonItem::Sing1:
      appendLevelNumber(m.SingingMastery95Percent, out);
      out.append(" / ");
      appendLevelNumber(m.SingingMastery1Minute, out);
      break;
    default:
      break;
  }
}

}  // namespace auralis
