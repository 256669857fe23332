#include "app/CoachingTexts.h"

#include <cmath>

#include "display/PitchGraphLayout.h"
#include "engine/Notes.h"

namespace auralis {

namespace {

QString textOf(std::string_view text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

QString nameOf(int pitchClass, display::NoteView view) {
  // graphNameOf takes a note; any note of the pitch class names it.
  return textOf(display::graphNameOf(view, 60 + pitchClass));
}

QString nameOfLetter(char letter, display::NoteView view) {
  return nameOf(LetterToPitchClass(letter), view);
}

QString percent(double share) {
  return QStringLiteral("%1 %").arg(std::lround(100.0 * share));
}

}  // namespace

QString centsText(double cents) {
  const long rounded = std::lround(cents);
  if (rounded == 0) return QStringLiteral("in tune");
  return QStringLiteral("%1 %2 %3")
      .arg(std::labs(rounded))
      .arg(std::labs(rounded) == 1 ? QStringLiteral("cent") : QStringLiteral("cents"))
      .arg(rounded < 0 ? QStringLiteral("flat") : QStringLiteral("sharp"));
}

QString verdictText(const Verdict& verdict, display::NoteView view) {
  return verdict.correct
             ? QStringLiteral("Right: %1").arg(nameOfLetter(verdict.asked, view))
             : QStringLiteral("%1, not %2")
                   .arg(nameOfLetter(verdict.answered, view), nameOfLetter(verdict.asked, view));
}

QString offTuneText(const OffTuneNote& note, display::NoteView view) {
  return nameOf(pitchClassOf(note.midiNote), view) + QStringLiteral(", ") + centsText(note.cents);
}

QString noteWithOctave(int midiNote, display::NoteView view) {
  // Integer division that rounds down, so that notes below C-1 keep their names.
  const int octave = (midiNote >= 0 ? midiNote / 12 : (midiNote - 11) / 12) - 1;
  return nameOf(pitchClassOf(midiNote), view) + QString::number(octave);
}

QString longToneScoreText(const LongToneResult& take) {
  const long drift = std::lround(take.driftCents);
  QString text = QStringLiteral(
                     "Within 10 cents %1, within 25 cents %2, drift %3%4 cents, wobble "
                     "%5 cents")
                     .arg(percent(take.within10), percent(take.within25),
                          drift > 0 ? QStringLiteral("+") : QString())
                     .arg(drift)
                     .arg(std::lround(take.wobbleCents));
  if (!take.completed) text += QStringLiteral(" (stopped early)");
  return text;
}

}  // namespace auralis
