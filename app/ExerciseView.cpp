#include "app/ExerciseView.h"

#include "engine/Notes.h"

namespace auralis {

const ExerciseItem& exerciseItemOf(Exercise exercise) {
  return kExerciseItems[static_cast<std::size_t>(exercise)];
}

std::array<bool, 12> shownPitchClassesOf(const ExerciseQuestion& question) {
  std::array<bool, 12> shown{};
  if (question.referenceNote < 0) return shown;
  const int reference = pitchClassOf(question.referenceNote);
  const bool givesAway = question.direction == ExerciseDirection::Sing &&
                         question.targetNote >= 0 && pitchClassOf(question.targetNote) == reference;
  if (!givesAway) shown[reference] = true;
  return shown;
}

std::optional<display::TargetBand> targetBandOf(const ExerciseQuestion& question, bool octaveFree) {
  if (question.direction != ExerciseDirection::Sing || question.targetNote < 0) return std::nullopt;
  return display::TargetBand{question.targetNote, question.toleranceCents, octaveFree};
}

QString choiceToolTip(const ExerciseChoice& choice) {
  return QStringLiteral("%1 (key %2)")
      .arg(QString::fromUtf8(choice.name.data(), static_cast<qsizetype>(choice.name.size())),
           QString(QLatin1Char(choice.key)));
}

bool voiceRangeUsable(int lowNote, int highNote) {
  return lowNote >= kLowestVoiceNote && highNote <= kHighestVoiceNote && highNote - lowNote >= 12;
}

}  // namespace auralis
