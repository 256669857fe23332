#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <span>
#include <variant>

#include "engine/LessonMode.h"
#include "exercises/Exercise.h"

namespace auralis {

// A lesson the program can start in: one of the Lesson menu's six, or an exercise.
using StartLesson = std::variant<LessonItem, Exercise>;

struct StartLessonName {
  const char* name;  // as typed after --lesson
  StartLesson lesson;
  const char* what;  // one line of --help
};

// clang-format off
inline constexpr StartLessonName kStartLessonNames[] = {
    {"practice",      LessonItem::Warmup1,      "sing freely and see the pitch you sing"},
    {"identify",      LessonItem::Identify1,    "hear notes and name them"},
    {"mimic",         LessonItem::MimicSing1,   "hear notes and sing them back"},
    {"sing",          LessonItem::Sing1,        "sing the notes named on screen"},
    {"unlock",        LessonItem::Unlock1,      "sing what you hear, quickly"},
    {"meditate",      LessonItem::Meditate1,    "sing a note and hear it repeated"},
    {"intervals",     Exercise::Intervals,      "sing or name intervals above and below a note"},
    {"scale-degrees", Exercise::ScaleDegrees,   "sing or name the degrees of a key"},
    {"chord-tones",   Exercise::ChordTones,     "sing a chord's root, third or fifth, or name it"},
};
// clang-format on

// What the command line asks for. Arguments of one dash are Qt's own (-platform, -style) and are
// left to it; of those with two dashes only ours are known.
struct CommandLine {
  enum class Action { Run, Help, Refuse };
  Action action = Action::Run;
  std::optional<StartLesson> lesson;
  QString problem;  // Refuse: what was wrong, one line
};

// The exit status of a refused command line.
inline constexpr int kUsageExitStatus = 2;

CommandLine parseCommandLine(const QStringList& arguments);  // the program's name first
QString commandLineHelp();
std::optional<StartLesson> startLessonNamed(const QString& name);

}  // namespace auralis
