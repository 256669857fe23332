#include "exercises/ExerciseTables.h"

#include <algorithm>
#include <cmath>

#include "engine/Notes.h"

namespace auralis {

namespace {

// Intervals: the typed keys run along the number row from the smallest to the octave.
constexpr std::array<ExerciseItem, 12> kIntervals = {{
    {"m2", "minor second", "minor second", 1, '1'},
    {"M2", "major second", "major second", 2, '2'},
    {"m3", "minor third", "minor third", 3, '3'},
    {"M3", "major third", "major third", 4, '4'},
    {"P4", "perfect fourth", "perfect fourth", 5, '5'},
    {"TT", "tritone", "tritone", 6, '6'},
    {"P5", "perfect fifth", "perfect fifth", 7, '7'},
    {"m6", "minor sixth", "minor sixth", 8, '8'},
    {"M6", "major sixth", "major sixth", 9, '9'},
    {"m7", "minor seventh", "minor seventh", 10, '['},
    {"M7", "major seventh", "major seventh", 11, '-'},
    {"P8", "octave", "octave", 12, '='},
}};

constexpr std::array<ExerciseContext, 2> kDirections = {{
    {"up", "above", 1, -1, {0, 0, 0}, '\0'},
    {"down", "below", -1, -1, {0, 0, 0}, '\0'},
}};

constexpr std::uint32_t bits(std::initializer_list<int> indexes) {
  std::uint32_t mask = 0;
  for (int i : indexes) mask |= 1u << i;
  return mask;
}

// Fifths and octaves, then thirds and fourths, sixths, seconds, sevenths and the tritone; each
// set ascending, then descending, then both; the later sets to 25 cents.
constexpr std::uint32_t kFifthsOctaves = bits({6, 11});
constexpr std::uint32_t kThirdsFourths = kFifthsOctaves | bits({2, 3, 4});
constexpr std::uint32_t kSixths = kThirdsFourths | bits({7, 8});
constexpr std::uint32_t kSeconds = kSixths | bits({0, 1});
constexpr std::uint32_t kSevenths = kSeconds | bits({9, 10});
constexpr std::uint32_t kAllIntervals = kSevenths | bits({5});
constexpr std::uint32_t kUp = bits({0});
constexpr std::uint32_t kDown = bits({1});
constexpr std::uint32_t kBoth = kUp | kDown;

constexpr std::array<ExerciseLevel, 18> kIntervalLevels = {{
    {kFifthsOctaves, kUp, 50.0},
    {kFifthsOctaves, kDown, 50.0},
    {kFifthsOctaves, kBoth, 50.0},
    {kThirdsFourths, kUp, 50.0},
    {kThirdsFourths, kDown, 50.0},
    {kThirdsFourths, kBoth, 50.0},
    {kSixths, kUp, 50.0},
    {kSixths, kDown, 50.0},
    {kSixths, kBoth, 50.0},
    {kSeconds, kUp, 25.0},
    {kSeconds, kDown, 25.0},
    {kSeconds, kBoth, 25.0},
    {kSevenths, kUp, 25.0},
    {kSevenths, kDown, 25.0},
    {kSevenths, kBoth, 25.0},
    {kAllIntervals, kUp, 25.0},
    {kAllIntervals, kDown, 25.0},
    {kAllIntervals, kBoth, 25.0},
}};

// Degrees of the major scale, named movable-do or by number.
constexpr std::array<ExerciseItem, 7> kDegrees = {{
    {"1", "DO", "1", 0, '1'},
    {"2", "RE", "2", 2, '2'},
    {"3", "MI", "3", 4, '3'},
    {"4", "FA", "4", 5, '4'},
    {"5", "SO", "5", 7, '5'},
    {"6", "LA", "6", 9, '6'},
    {"7", "TI", "7", 11, '7'},
}};

// Major keys by their tonic's pitch class.
constexpr std::array<ExerciseContext, 12> kKeys = {{
    {"C", "C major", 1, 0, {0, 0, 0}, '\0'},
    {"Db", "Db major", 1, 1, {0, 0, 0}, '\0'},
    {"D", "D major", 1, 2, {0, 0, 0}, '\0'},
    {"Eb", "Eb major", 1, 3, {0, 0, 0}, '\0'},
    {"E", "E major", 1, 4, {0, 0, 0}, '\0'},
    {"F", "F major", 1, 5, {0, 0, 0}, '\0'},
    {"F#", "F# major", 1, 6, {0, 0, 0}, '\0'},
    {"G", "G major", 1, 7, {0, 0, 0}, '\0'},
    {"Ab", "Ab major", 1, 8, {0, 0, 0}, '\0'},
    {"A", "A major", 1, 9, {0, 0, 0}, '\0'},
    {"Bb", "Bb major", 1, 10, {0, 0, 0}, '\0'},
    {"B", "B major", 1, 11, {0, 0, 0}, '\0'},
}};

constexpr std::uint32_t kTonicTriad = bits({0, 2, 4});
constexpr std::uint32_t kFirstFive = bits({0, 1, 2, 3, 4});
constexpr std::uint32_t kAllDegrees = bits({0, 1, 2, 3, 4, 5, 6});
constexpr std::uint32_t kEasyKeys = bits({0, 7, 5});                  // C, G, F
constexpr std::uint32_t kNearKeys = kEasyKeys | bits({2, 10, 9, 3});  // D, Bb, A, Eb
constexpr std::uint32_t kAllKeys = 0xFFFu;

constexpr std::array<ExerciseLevel, 7> kDegreeLevels = {{
    {kTonicTriad, kEasyKeys, 50.0},
    {kFirstFive, kEasyKeys, 50.0},
    {kAllDegrees, kEasyKeys, 50.0},
    {kAllDegrees, kNearKeys, 50.0},
    {kAllDegrees, kAllKeys, 50.0},
    {kTonicTriad, kAllKeys, 25.0},
    {kAllDegrees, kAllKeys, 25.0},
}};

constexpr std::array<ExerciseItem, 3> kChordTones = {{
    {"root", "root", "root", 0, '1'},
    {"3rd", "third", "third", 1, '3'},
    {"5th", "fifth", "fifth", 2, '5'},
}};

constexpr std::array<ExerciseContext, 4> kQualities = {{
    {"major", "major", 1, -1, {0, 4, 7}, '1'},
    {"minor", "minor", 1, -1, {0, 3, 7}, '2'},
    {"diminished", "diminished", 1, -1, {0, 3, 6}, '3'},
    {"augmented", "augmented", 1, -1, {0, 4, 8}, '4'},
}};

constexpr std::uint32_t kRootFifth = bits({0, 2});
constexpr std::uint32_t kAllTones = bits({0, 1, 2});
constexpr std::uint32_t kMajorMinor = bits({0, 1});
constexpr std::uint32_t kWithDiminished = kMajorMinor | bits({2});
constexpr std::uint32_t kAllQualities = kWithDiminished | bits({3});

constexpr std::array<ExerciseLevel, 6> kChordLevels = {{
    {kRootFifth, kMajorMinor, 50.0},
    {kAllTones, kMajorMinor, 50.0},
    {kAllTones, kWithDiminished, 50.0},
    {kAllTones, kAllQualities, 50.0},
    {kAllTones, kMajorMinor, 25.0},
    {kAllTones, kAllQualities, 25.0},
}};

const std::array<ExerciseTable, kExerciseCount> kTables = {{
    {Exercise::Intervals, LessonMode::Intervals, "intervals", "Intervals", Prelude::ReferenceNote,
     false, kIntervals, kDirections, kIntervalLevels},
    {Exercise::ScaleDegrees, LessonMode::ScaleDegrees, "scale-degrees", "Scale degrees",
     Prelude::Cadence, false, kDegrees, kKeys, kDegreeLevels},
    {Exercise::ChordTones, LessonMode::ChordTones, "chord-tones", "Chord tones", Prelude::Chord,
     true, kChordTones, kQualities, kChordLevels},
}};

int drawBelow(Random& random, int count) {
  return random.DrawRandom(kDrawRange) % count;
}

bool has(std::uint32_t mask, std::size_t index) {
  return index < 32 && (mask >> index & 1u) != 0;
}

std::string_view noteOf(int midiNote, bool solfege) {
  const auto pitchClass = static_cast<std::size_t>(pitchClassOf(midiNote));
  return solfege ? SolfegeSharpNames[pitchClass] : LetterSharpNames[pitchClass];
}

std::string withArticle(std::string_view name) {
  const bool vowel = !name.empty() && std::string_view("aeiou").find(name[0]) != name.npos;
  return std::string(vowel ? "an " : "a ") + std::string(name);
}

// The prelude of a question whose reference (a tonic or a chord's root) is `reference`.
std::vector<int> preludeNotes(const ExerciseTable& table, const ExerciseContext& context,
                              int reference) {
  switch (table.prelude) {
    case Prelude::Cadence:
      // I, IV (second inversion), V (first inversion) and I, voiced close about the tonic.
      return {reference,     reference + 4, reference + 7, reference, reference + 5, reference + 9,
              reference - 1, reference + 2, reference + 7, reference, reference + 4, reference + 7};
    case Prelude::Chord:
      return {reference + context.chord[0], reference + context.chord[1],
              reference + context.chord[2]};
    case Prelude::ReferenceNote:
      break;
  }
  return {reference};
}

}  // namespace

const ExerciseTable& exerciseTable(Exercise exercise) {
  return kTables[static_cast<std::size_t>(exercise)];
}

std::span<const ExerciseTable> exerciseTables() {
  return kTables;
}

std::optional<Exercise> exerciseNamed(std::string_view name) {
  for (const ExerciseTable& table : kTables)
    if (table.name == name) return table.exercise;
  return std::nullopt;
}

int itemOffset(const ExerciseItem& item, const ExerciseContext& context) {
  if (context.chord != std::array<int, 3>{0, 0, 0})
    return context.chord[static_cast<std::size_t>(std::clamp(item.step, 0, 2))];
  return context.sign * item.step;
}

ExerciseSettings saneSettings(ExerciseSettings settings) {
  constexpr int kLowest = 24;
  constexpr int kHighest = 108;
  settings.lowNote = std::clamp(settings.lowNote, kLowest, kHighest - 12);
  settings.highNote = std::clamp(settings.highNote, settings.lowNote + 12, kHighest);
  return settings;
}

std::vector<ExerciseChoice> levelChoices(const ExerciseTable& table, int level, bool solfegeNames) {
  const int count = static_cast<int>(table.levels.size());
  const ExerciseLevel& row =
      table.levels[static_cast<std::size_t>(std::clamp(level, 1, count) - 1)];
  std::vector<ExerciseChoice> choices;
  if (table.namesContext) {
    for (std::size_t i = 0; i < table.contexts.size(); ++i)
      if (has(row.contexts, i))
        choices.push_back({table.contexts[i].label, table.contexts[i].name, table.contexts[i].key});
  } else {
    for (std::size_t i = 0; i < table.items.size(); ++i) {
      const ExerciseItem& item = table.items[i];
      if (has(row.items, i))
        choices.push_back({item.label, solfegeNames ? item.name : item.numberName, item.key});
    }
  }
  return choices;
}

DrawnQuestion drawQuestion(const ExerciseTable& table, ExerciseDirection direction, int level,
                           const ExerciseSettings& given, Random& random) {
  const ExerciseSettings settings = saneSettings(given);
  const int count = static_cast<int>(table.levels.size());
  level = std::clamp(level, 1, count);
  const ExerciseLevel& row = table.levels[static_cast<std::size_t>(level - 1)];

  // Every note that may be asked, the prelude's reference with it, must lie in the voice range.
  struct Pair {
    int item;
    int context;
  };
  const auto references = [&](const Pair& pair) {
    const ExerciseItem& item = table.items[static_cast<std::size_t>(pair.item)];
    const ExerciseContext& context = table.contexts[static_cast<std::size_t>(pair.context)];
    const int offset = itemOffset(item, context);
    std::vector<int> found;
    for (int note = settings.lowNote; note <= settings.highNote; ++note) {
      if (context.tonic >= 0 && pitchClassOf(note) != context.tonic) continue;
      // A chord sounds whole inside the range, so that any of its tones may be asked.
      const int top = note + context.chord[2];
      const int target = note + offset;
      if (target < settings.lowNote || target > settings.highNote) continue;
      if (top > settings.highNote) continue;
      found.push_back(note);
    }
    return found;
  };
  std::vector<Pair> pairs;
  for (std::size_t i = 0; i < table.items.size(); ++i) {
    if (!has(row.items, i)) continue;
    for (std::size_t c = 0; c < table.contexts.size(); ++c) {
      const Pair pair{static_cast<int>(i), static_cast<int>(c)};
      if (has(row.contexts, c) && !references(pair).empty()) pairs.push_back(pair);
    }
  }

  DrawnQuestion drawn;
  ExerciseQuestion& q = drawn.question;
  q.exercise = table.exercise;
  q.direction = direction;
  q.level = level;
  q.toleranceCents = row.toleranceCents;
  if (pairs.empty()) return drawn;  // saneSettings makes every level drawable

  const Pair pair =
      pairs[static_cast<std::size_t>(drawBelow(random, static_cast<int>(pairs.size())))];
  const std::vector<int> candidates = references(pair);
  const int reference =
      candidates[static_cast<std::size_t>(drawBelow(random, static_cast<int>(candidates.size())))];
  const ExerciseItem& item = table.items[static_cast<std::size_t>(pair.item)];
  const ExerciseContext& context = table.contexts[static_cast<std::size_t>(pair.context)];
  drawn.item = pair.item;
  drawn.context = pair.context;
  drawn.askedNote = reference + itemOffset(item, context);
  drawn.prelude = preludeNotes(table, context, reference);
  q.referenceNote = reference;

  const bool sing = direction == ExerciseDirection::Sing;
  const std::string itemName(settings.solfegeNames ? item.name : item.numberName);
  switch (table.prelude) {
    case Prelude::ReferenceNote:
      q.task = std::string(item.label) + (context.sign > 0 ? " up from " : " down from ") +
               noteName(reference);
      q.instruction = sing ? "Sing " + withArticle(item.name) + " " + std::string(context.name) +
                                 " " + std::string(noteOf(reference, settings.solfegeNames))
                           : std::string("Name the interval you hear");
      break;
    case Prelude::Cadence:
      q.task = "deg " + std::string(item.label) + " in " + std::string(context.label) + " from " +
               noteName(reference);
      q.instruction =
          sing ? (settings.solfegeNames ? "Sing " + itemName : "Sing degree " + itemName) + " in " +
                     std::string(context.name)
               : "Name the degree you hear in " + std::string(context.name);
      break;
    case Prelude::Chord:
      q.task = sing ? std::string(item.label) + " of " + noteName(reference) + " " +
                          std::string(context.label)
                    : noteName(reference) + " " + std::string(context.label);
      q.instruction = sing ? "Sing the " + std::string(item.name) + " of the chord"
                           : std::string("Name the chord you hear");
      break;
  }

  q.played = drawn.prelude;
  if (sing) {
    q.targetNote = drawn.askedNote;
  } else {
    if (!table.namesContext) q.played.push_back(drawn.askedNote);
    const std::vector<ExerciseChoice> choices = levelChoices(table, level, settings.solfegeNames);
    const std::string_view answer = table.namesContext ? context.label : item.label;
    for (std::size_t i = 0; i < choices.size(); ++i)
      if (choices[i].label == answer) q.answerChoice = static_cast<int>(i);
  }
  return drawn;
}

bool sungNoteMatches(int askedNote, int sungNote, double cents, double toleranceCents,
                     bool octaveFree) {
  if (std::isnan(cents)) return false;
  double off = (sungNote - askedNote) * 100.0 + cents;
  if (octaveFree) off -= 1200.0 * std::round(off / 1200.0);
  return std::abs(off) <= toleranceCents;
}

bool promotionDue(int streak, int level, int levelCount) {
  return streak >= kPromotionRun && level < levelCount;
}

std::string itemOfNote(const ExerciseTable& table, const DrawnQuestion& drawn, int note,
                       bool octaveFree) {
  const ExerciseContext& context = table.contexts[static_cast<std::size_t>(drawn.context)];
  const int offset = note - drawn.question.referenceNote;
  for (const ExerciseItem& item : table.items) {
    const int wanted = itemOffset(item, context);
    if (wanted == offset || (octaveFree && pitchClassOf(wanted) == pitchClassOf(offset)))
      return std::string(item.label);
  }
  std::string text = offset >= 0 ? "+" : "-";
  text += std::to_string(std::abs(offset));
  return text;
}

int noteOfChoice(const ExerciseTable& table, const DrawnQuestion& drawn,
                 const ExerciseChoice& choice) {
  if (table.namesContext) return -1;
  const ExerciseContext& context = table.contexts[static_cast<std::size_t>(drawn.context)];
  for (const ExerciseItem& item : table.items)
    if (item.label == choice.label) return drawn.question.referenceNote + itemOffset(item, context);
  return -1;
}

std::string noteName(int midiNote) {
  return std::string(LetterSharpNames[static_cast<std::size_t>(pitchClassOf(midiNote))]) +
         std::to_string(midiNote / 12 - 1);
}

}  // namespace auralis
