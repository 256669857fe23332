#pragma once

#include <QSqlDatabase>
#include <QSqlError>
#include <QString>
#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "engine/AnswerRecord.h"
#include "engine/Coaching.h"
#include "engine/LessonMode.h"

namespace auralis {

// The schema this program writes; PRAGMA user_version holds it. A file with a higher number was
// written by a newer program and is never changed.
inline constexpr int kHistorySchemaVersion = 2;

// The lessons as the history names them, in the order the statistics window lists them.
struct LessonName {
  LessonMode lesson;
  std::string_view name;     // in the file
  std::string_view caption;  // in the window
};
inline constexpr std::array<LessonName, 5> kLessonNames = {{
    {LessonMode::Identify, "identify", "Identify"},
    {LessonMode::Mimic, "mimic", "Mimic"},
    {LessonMode::Sing, "sing", "Sing"},
    {LessonMode::Unlock, "unlock", "Unlock"},
    {LessonMode::Meditate, "meditate", "Meditate"},
}};

inline constexpr std::array<std::string_view, 4> kSourceNames = {"typed", "click", "midi", "sung"};
inline constexpr std::array<std::string_view, 4> kLevelEventNames = {"promotion", "level-up",
                                                                     "level-down", "reset"};

QString lessonName(LessonMode lesson);
std::optional<LessonMode> lessonNamed(const QString& name);
QString sourceName(AnswerSource source);
QString levelEventName(LevelEventKind kind);
QString judgementName(HeldJudgement judged);

// "2024-06-11T09:15:02.123Z": sorts as text in time order.
QString isoUtc(std::int64_t msSinceEpoch);
// The local calendar day of an instant, "2024-06-11".
QString localDay(std::int64_t msSinceEpoch);
// "60 64 67"; "" for no question
QString questionText(const std::array<int, 5>& questionNotes, int questionNoteCount);
QString questionText(const AnswerRecord& answer);

// Brings a file of schema `from` (0 for a new file) up to `to` in one transaction. False, with
// the file unchanged, on any error.
bool migrateHistory(QSqlDatabase& db, int from, QSqlError* error, int to = kHistorySchemaVersion);

}  // namespace auralis
