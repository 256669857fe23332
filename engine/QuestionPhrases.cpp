#include <algorithm>
#include <functional>

#include "engine/Notes.h"
#include "engine/Question.h"

namespace auralis {

int PickFrom(const std::uint8_t* flags, int size, Random& random) {
  const int count = static_cast<int>(std::count(flags, flags + size, 1));
  if (count == 0) return -1;
  const int k = random.DrawRandom(kDrawRange) % count + 1;
  int seen = 0;
  for (int i = 0; i < size; ++i) {
    if (flags[i] == 1 && ++seen == k) return i;
  }
  return -1;
}

int PickPitchClass(const LevelState& level, Random& random) {
  return PickFrom(level.ActivePitchClasses.data(), 12, random);
}

int PickNoteCount(const LevelState& level, Random& random) {
  const int i = PickFrom(level.NoteCountChoices.data(), 5, random);
  return i < 0 ? -1 : i + 1;
}

int PickOctave(const LevelState& level, Random& random) {
  const int i = PickFrom(level.OctaveChoices.data(), 8, random);
  return i < 0 ? -1 : i + 1;
}

void PushChord(MidiEventList& list, const int* notes, int count, int channel, int delay,
               int velocity, int length) {
  for (int i = 0; i < count; ++i) PushNoteOn(list, notes[i], channel, i == 0 ? delay : 0, velocity);
  for (int i = 0; i < count; ++i) PushNoteOff(list, notes[i], channel, i == 0 ? length : 0);
}

void PushMelody(MidiEventList& list, const int* notes, int count, int channel, int delay,
                int velocity, int length) {
  for (int i = 0; i < count; ++i)
    PushNote(list, notes[i], channel, i == 0 ? delay : 0, velocity, length);
}

namespace {

constexpr int kMaxRedraws = 10000;

template <typename IsNew>
int lowestNewNote(const LevelState& level, int octaveBase, IsNew isNew) {
  for (int octave = 1; octave <= 8; ++octave) {
    if (level.SameOctave != 1 && level.OctaveChoices[octave - 1] != 1) continue;
    const int base = level.SameOctave == 1 ? octaveBase : 12 * octave;
    for (int pitchClass = 0; pitchClass < 12; ++pitchClass)
      if (level.ActivePitchClasses[pitchClass] == 1 && isNew(base + pitchClass))
        return base + pitchClass;
    if (level.SameOctave == 1) break;
  }
  return -1;
}

bool hasChoices(const LevelState& level) {
  auto any = [](const auto& flags) {
    return std::find(flags.begin(), flags.end(), 1) != flags.end();
  };
  return any(level.ActivePitchClasses) && any(level.OctaveChoices) && any(level.NoteCountChoices);
}

}  // namespace

bool GenerateQuestion(QuestionState& q, Phrases& phrases, const LevelState& level,
                      const QuestionSettings& settings, Random& random) {
  if (!hasChoices(level)) return false;
  ClearEvents(phrases.QuestionPhrase);
  ClearEvents(phrases.AnswerPhrase);
  q.NoteLength = level.PaceCode == kPaceMeditate ? kMeditateNoteLength : kNoteLength;
  q.NoteVelocity = settings.velocity;
  q.NoteChannel = settings.channel;

  q.HarmonicPlay = false;
  q.MelodicPlay = false;
  if (level.PlayStyle == 1) {
    q.HarmonicPlay = true;
  } else if (level.PlayStyle >= 2 && level.PlayStyle <= 4) {
    q.MelodicPlay = true;
  } else if (level.PlayStyle == 5) {
    (random.DrawRandom(kDrawRange) % 2 == 0 ? q.HarmonicPlay : q.MelodicPlay) = true;
  }

  q.QuestionNoteCount = PickNoteCount(level, random);
  const int rootPitchClass = PickPitchClass(level, random);
  int octaveBase = 12 * PickOctave(level, random);
  q.QuestionNotes[0] = rootPitchClass + octaveBase;
  const bool singOrMeditate =
      settings.lessonMode == LessonMode::Sing || settings.lessonMode == LessonMode::Meditate;
  if (singOrMeditate && settings.SungOctave > 0) octaveBase = 12 * settings.SungOctave;

  int root = rootPitchClass;
  if (settings.lessonMode == LessonMode::Meditate) {
    if (q.MeditationNote == -1) return true;  // nothing sounds until a note is chosen
    root = q.MeditationNote;
    q.QuestionNotes[0] = octaveBase + q.MeditationNote;
    q.QuestionNoteCount = 1;
  } else if (level.QuestionType >= 1 && level.QuestionType <= 4) {
    for (int i = 1; i < q.QuestionNoteCount; ++i) {
      const auto isNew = [&](int note) {
        return std::find(q.QuestionNotes.begin(), q.QuestionNotes.begin() + i, note) ==
               q.QuestionNotes.begin() + i;
      };
      int note = 0;
      int draws = 0;
      do {
        const int pitchClass = PickPitchClass(level, random);
        note = pitchClass + (level.SameOctave == 1 ? octaveBase : 12 * PickOctave(level, random));
      } while (!isNew(note) && ++draws < kMaxRedraws);
      // The generator can settle on a value it repeats for ever (a zero state does), so the
      // redraw is bounded and then takes the lowest note not yet in the question.
      if (!isNew(note)) note = lowestNewNote(level, octaveBase, isNew);
      if (note < 0) {
        q.QuestionNoteCount = i;  // the level has no further distinct note
        break;
      }
      q.QuestionNotes[i] = note;
    }
  }

  const int degree = DegreeOfPitchClass[root];
  if (level.QuestionType == 5) q.QuestionNotes[1] = octaveBase + MajorScaleSteps[degree + 1];
  if (level.QuestionType == 6) q.QuestionNotes[1] = octaveBase + MajorScaleSteps[degree + 2];

  auto first = q.QuestionNotes.begin();
  auto last = first + q.QuestionNoteCount;
  if (level.PlayStyle == 2 || q.HarmonicPlay) {
    std::sort(first, last);
  } else if (level.PlayStyle == 3) {
    std::sort(first, last, std::greater<>());
  }

  q.AnswerNotes = q.QuestionNotes;
  q.FirstNotePitchClass = pitchClassOf(q.QuestionNotes[0]);
  q.ExpectedLetter = NoteLetters[q.FirstNotePitchClass];
  q.AnswerPosition = 0;

  if (q.HarmonicPlay) {
    PushChord(phrases.QuestionPhrase, q.QuestionNotes.data(), q.QuestionNoteCount, q.NoteChannel, 0,
              q.NoteVelocity, q.NoteLength);
  } else if (q.MelodicPlay) {
    PushMelody(phrases.QuestionPhrase, q.QuestionNotes.data(), q.QuestionNoteCount, q.NoteChannel,
               0, q.NoteVelocity, q.NoteLength);
  }
  return true;
}

void BuildAnswerPhrases(const QuestionState& q, const LevelState& level, Phrases& phrases) {
  MidiEventList& answer = phrases.AnswerPhrase;
  MidiEventList& correction = phrases.CorrectionPhrase;
  ClearEvents(answer);
  ClearEvents(correction);
  const int n = q.QuestionNoteCount;
  const int length = q.NoteLength;
  const int gap = length / 3;
  const int channel = q.NoteChannel;
  const int velocity = q.NoteVelocity;

  if (q.AnswerPosition == 0 && (level.QuestionType == 5 || level.QuestionType == 6)) {
    // The answer is heard as the level's interval built on its first note.
    const int a = q.AnswerNotes[0];
    const int base = 12 * (a / 12);
    const int degree = DegreeOfPitchClass[pitchClassOf(a)];
    const int steps = level.QuestionType - 4;
    const int b = level.PlayStyle == 3 ? base + MajorScaleSteps[degree + 7 - steps] - 12
                                       : base + MajorScaleSteps[degree + steps];
    const int interval[2] = {a, b};
    if (q.HarmonicPlay) {
      PushChord(answer, interval, 2, channel, 0, velocity, length);
      PushChord(correction, interval, 2, channel, 0, velocity, length);
      PushChord(correction, q.QuestionNotes.data(), n, channel, gap, velocity, length);
    } else if (q.MelodicPlay) {
      PushMelody(answer, interval, 2, channel, 0, velocity, length);
      PushMelody(correction, interval, 2, channel, 0, velocity, length);
      PushMelody(correction, q.AnswerNotes.data(), n, channel, 0, velocity, length);
      PushMelody(correction, q.QuestionNotes.data(), n, channel, gap, velocity, length);
    }
    return;
  }

  if (q.HarmonicPlay) {
    PushChord(answer, q.AnswerNotes.data(), n, channel, 0, velocity, length);
    PushChord(correction, q.AnswerNotes.data(), n, channel, 0, velocity, length);
    PushChord(correction, q.QuestionNotes.data(), n, channel, gap, velocity, length);
  } else if (q.MelodicPlay) {
    PushMelody(answer, q.AnswerNotes.data(), n, channel, 0, velocity, length);
    PushMelody(correction, q.AnswerNotes.data(), n, channel, 0, velocity, length);
    PushMelody(correction, q.QuestionNotes.data(), n, channel, gap, velocity, length);
  }
}

}  // namespace auralis
