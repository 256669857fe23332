#pragma once

namespace auralis {

enum class LessonMode : int {
  Practice = 0,
  Identify = 1,
  Unlock = 2,
  Sing = 3,
  Meditate = 4,
  Mimic = 5,
  // The relative-pitch exercises; the six lessons never take these.
  Intervals = 6,
  ScaleDegrees = 7,
  ChordTones = 8
};

// The six radio items of the Lesson menu, of which the checked one names the lesson in the texts.
enum class LessonItem : int { Warmup1, Identify1, Unlock1, MimicSing1, Sing1, Meditate1 };

}  // namespace auralis
