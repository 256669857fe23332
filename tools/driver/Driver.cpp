#include "tools/driver/Driver.h"

#include <array>
#include <climits>
#include <string>
#include <utility>

#include "engine/Notes.h"
#include "exercises/ExerciseTables.h"
#include "input/WavFile.h"
#include "tools/driver/EffectText.h"
#include "tools/driver/ScriptWords.h"
#include "tools/driver/SungVoice.h"

namespace auralis::driver {

// One row per command: adding a command means one row here and one handler.
const Driver::Command Driver::kCommands[] = {
    {"seed", "seed N", 1, 1, &Driver::seed},
    {"mode", "mode identify|mimic|sing|unlock|meditate|practice", 1, 1, &Driver::mode},
    {"key", "key CHAR|Escape|space", 1, 1, &Driver::key},
    {"type", "type CHARS", 1, 1, &Driver::type},
    {"click", "click COLUMN", 1, 1, &Driver::click},
    {"tick", "tick [COUNT]", 0, 1, &Driver::tick},
    {"done", "done [COUNT]", 0, 1, &Driver::done},
    {"sing", "sing LETTER OCTAVE", 2, 2, &Driver::sing},
    {"midi", "midi NOTE [VELOCITY [CHANNEL]]", 1, 3, &Driver::midi},
    {"mastery", "mastery NAME VALUE", 2, 2, &Driver::setMastery},
    {"check", "check Solfege1|Notes1|Piano1|PracticeMode1|DisplayAlways on|off", 2, 2,
     &Driver::check},
    {"levelup", "levelup", 0, 0, &Driver::levelUp},
    {"leveldown", "leveldown", 0, 0, &Driver::levelDown},
    {"new", "new", 0, 0, &Driver::newQuestion},
    {"resetmastery", "resetmastery", 0, 0, &Driver::resetMastery},
    {"volume", "volume 10|20|...|120", 1, 1, &Driver::volume},
    {"channel", "channel 0..15", 1, 1, &Driver::channel},
    {"midiout", "midiout none|present", 1, 1, &Driver::midiOut},
    {"show", "show counters|question|level|mastery|phrase|texts|exercise", 1, 1, &Driver::show},
    {"audio", "audio FILE.wav [BUFFERS]", 1, 2, &Driver::audio},
    {"longtone", "longtone NOTE|any MILLISECONDS | longtone stop", 1, 2, &Driver::longTone},
    {"exercise", "exercise intervals|scale-degrees|chord-tones sing|name | exercise stop", 1, 2,
     &Driver::exercise},
    {"exlevel", "exlevel LEVEL", 1, 1, &Driver::exerciseLevel},
    {"range", "range LOW HIGH", 2, 2, &Driver::voiceRange},
    {"octavefree", "octavefree on|off", 1, 1, &Driver::octaveFree},
    {"degreenames", "degreenames solfege|numbers", 1, 1, &Driver::degreeNames},
    {"voice", "voice NOTE|target[+N|-N] CENTS [MILLISECONDS]", 2, 3, &Driver::voice},
    {"answer", "answer right|wrong", 1, 1, &Driver::answer},
    {"choose", "choose CHOICE|right|wrong", 1, 1, &Driver::choose},
    {"expect", "expect right|wrong|none | expect level LEVEL", 1, 2, &Driver::expect},
};

namespace {

constexpr long long kMaxRepeat = 100000;

const char* yesNo(bool value) {
  return value ? "yes" : "no";
}

std::string lettersOf(const std::array<int, 5>& notes, int count) {
  std::string letters;
  for (int i = 0; i < count; ++i) letters += NoteLetters[pitchClassOf(notes[i])];
  return letters;
}

}  // namespace

Driver::Driver(std::ostream& out, std::ostream& err)
    : out_(out),
      err_(err),
      host_(out),
      stream_(out),
      // The microphone starts when a script first plays a recording.
      core_(host_, host_, {stream_, microphone_, keyboard_, false}),
      lesson_(core_.lesson()) {
  core_.player().midiOutPresent = true;
  core_.player().OpenMidiOut(platform::kDefaultMidiDevice);
  keyboard_.devices = {"Script keyboard"};
  core_.midiKeyboard().midiInPresent = true;
  core_.midiKeyboard().OpenMidiIn(0);
  lesson_.UpdateTexts();
  lesson_.UpdateLevelPanels();
  lesson_.setLessonMode(LessonMode::Practice);
  lesson_.setRecorder(&host_);
  host_.exerciseChoices = [this] { return core_.exercise().choices(); };
}

int Driver::run(std::istream& script) {
  std::string line;
  while (std::getline(script, line)) {
    ++lineNumber_;
    try {
      runLine(line);
    } catch (const ScriptError& error) {
      err_ << "line " << lineNumber_ << ": " << error.what() << '\n';
      return kScriptError;
    }
  }
  return 0;
}

void Driver::runLine(std::string_view line) {
  const std::vector<std::string_view> words = splitWords(line);
  if (words.empty()) return;
  for (const Command& command : kCommands) {
    if (command.name != words[0]) continue;
    const Args args(words.data() + 1, words.size() - 1);
    const std::string usage = " (usage: " + std::string(command.usage) + ")";
    if (static_cast<int>(args.size()) < command.minArgs)
      throw ScriptError(std::string(command.name) + ": missing argument" + usage);
    if (static_cast<int>(args.size()) > command.maxArgs)
      throw ScriptError(std::string(command.name) + ": too many arguments" + usage);
    try {
      (this->*command.run)(args);
    } catch (const ScriptError& error) {
      throw ScriptError(std::string(command.name) + ": " + error.what());
    }
    drainPostedNotices();
    return;
  }
  throw ScriptError("unknown command '" + std::string(words[0]) + "'");
}

void Driver::post(Notice notice) {
  host_.post(std::move(notice));
  drainPostedNotices();
}

// The notices posted meanwhile reach the core in order, as the message loop would hand them.
void Driver::drainPostedNotices() {
  while (!host_.posted.empty()) {
    const Notice notice = host_.posted.front();
    host_.posted.pop_front();
    core_.UtilityWndProc(notice);
  }
}

// The microphone hears FILE from where it left off: the next BUFFERS capture buffers of 1024
// samples, or all that are left. Each buffer goes through capture, the detector and the readout,
// and a letter the readout accepts reaches the key handler, as in the window.
void Driver::audio(Args args) {
  const std::string file(args[0]);
  if (file != audioFile_) {
    WavReadResult read = readWavFile(file);
    if (!read.error.empty()) throw ScriptError(read.error);
    microphone_.setSamples(std::move(read.samples));
    audioFile_ = file;
  }
  const long long count =
      args.size() > 1 ? parseNumber(args[1], 1, kMaxRepeat, "BUFFERS") : kMaxRepeat;
  startCapture();
  for (long long i = 0; i < count && microphone_.deliverBuffer(); ++i) drainPostedNotices();
}

void Driver::startCapture() {
  MicrophoneCapture& capture = core_.capture();
  if (capture.captureRunning()) return;
  if (!capture.deviceOpen()) {
    capture.DetectSoundInput();
    capture.OpenMicrophone(platform::kDefaultSoundInput);
  }
  capture.StartMicrophone();
}

void Driver::hear(std::vector<std::int16_t> samples) {
  microphone_.setSamples(std::move(samples));
  audioFile_.clear();  // a recording named next is read afresh
  startCapture();
  while (microphone_.deliverBuffer()) drainPostedNotices();
}

void Driver::exercise(Args args) {
  if (args[0] == "stop") {
    if (args.size() > 1) throw ScriptError("stop takes nothing after it");
    core_.stopExercise();
    return;
  }
  if (args.size() < 2) throw ScriptError("missing sing or name");
  const int which =
      parseChoice(args[0], {"intervals", "scale-degrees", "chord-tones"}, "the exercise");
  const int direction = parseChoice(args[1], {"sing", "name"}, "the direction");
  core_.exercise().setSettings(exerciseSettings_);
  core_.startExercise(static_cast<Exercise>(which),
                      direction == 0 ? ExerciseDirection::Sing : ExerciseDirection::Name);
}

void Driver::exerciseLevel(Args args) {
  ExerciseLesson& exercise = core_.exercise();
  if (!exercise.active()) throw ScriptError("no exercise is running");
  const int count = exercise.levelCount(exercise.exercise());
  exercise.setLevel(exercise.exercise(), static_cast<int>(parseNumber(args[0], 1, count, "LEVEL")));
}

void Driver::voiceRange(Args args) {
  const int low = static_cast<int>(parseNumber(args[0], 24, 96, "LOW"));
  const int high = static_cast<int>(parseNumber(args[1], low + 12, 108, "HIGH"));
  exerciseSettings_.lowNote = low;
  exerciseSettings_.highNote = high;
  core_.exercise().setSettings(exerciseSettings_);
}

void Driver::octaveFree(Args args) {
  exerciseSettings_.octaveFree = parseOnOff(args[0], "octave-free");
  core_.exercise().setSettings(exerciseSettings_);
}

void Driver::degreeNames(Args args) {
  exerciseSettings_.solfegeNames = parseChoice(args[0], {"solfege", "numbers"}, "the names") == 0;
  core_.exercise().setSettings(exerciseSettings_);
}

int Driver::parseNote(std::string_view word) const {
  if (!word.starts_with("target")) return static_cast<int>(parseNumber(word, 0, 127, "NOTE"));
  const ExerciseLesson& exercise = core_.exercise();
  if (!exercise.active()) throw ScriptError("no exercise is running to take its target");
  const ExerciseQuestion& q = exercise.question();
  const int target = q.targetNote >= 0 ? q.targetNote : q.played.empty() ? -1 : q.played.back();
  std::string_view shift = word.substr(6);
  int semitones = 0;
  if (!shift.empty()) {
    const bool down = shift[0] == '-';
    if (shift[0] != '+' && !down)
      throw ScriptError("NOTE must be a number or target, target+N or target-N, not '" +
                        std::string(word) + "'");
    semitones = static_cast<int>(parseNumber(shift.substr(1), 0, 24, "N"));
    if (down) semitones = -semitones;
  }
  const int note = target + semitones;
  if (note < 0 || note > 127) throw ScriptError("the note is outside 0 to 127");
  return note;
}

// A generated voice sings NOTE, CENTS off, into the microphone; each buffer goes through
// capture, the detector and the readout as a recording's would.
void Driver::voice(Args args) {
  const int note = parseNote(args[0]);
  const int cents = static_cast<int>(parseNumber(args[1], -50, 50, "CENTS"));
  const int ms =
      args.size() > 2 ? static_cast<int>(parseNumber(args[2], 100, 10000, "MILLISECONDS")) : 700;
  hear(sungVoice(note + cents / 100.0, ms, ++voices_));
}

// The naming direction's typed key: the right choice's, or the next choice's.
void Driver::answer(Args args) {
  const ExerciseLesson& exercise = core_.exercise();
  const int right = parseChoice(args[0], {"wrong", "right"}, "the answer");
  if (!exercise.active() || exercise.direction() != ExerciseDirection::Name)
    throw ScriptError("no exercise is asking for a name");
  const std::span<const ExerciseChoice> choices = exercise.choices();
  const int asked = exercise.question().answerChoice;
  const int index = right == 1 ? asked : (asked + 1) % static_cast<int>(choices.size());
  core_.keyPressed(choices[static_cast<std::size_t>(index)].key);
}

// A script checks the exercise as it goes: how the answer since the last check was judged (none:
// no answer was), or the level reached. A check that fails stops the script as a bad line does.
void Driver::expect(Args args) {
  const int what = parseChoice(args[0], {"right", "wrong", "none", "level"}, "what to expect");
  if (what == 3) {
    if (args.size() < 2) throw ScriptError("missing LEVEL");
    const ExerciseLesson& exercise = core_.exercise();
    const int wanted = static_cast<int>(parseNumber(args[1], 1, 100, "LEVEL"));
    const int level = exercise.level(exercise.exercise());
    if (level != wanted)
      throw ScriptError("level " + std::to_string(level) + ", not " + std::to_string(wanted));
    return;
  }
  if (args.size() > 1) throw ScriptError("too many arguments");
  const std::optional<bool> judged = std::exchange(host_.lastExerciseAnswer, std::nullopt);
  const std::string_view found = !judged ? "none" : *judged ? "right" : "wrong";
  if (found != args[0]) throw ScriptError("the answer was judged " + std::string(found));
}

// A click on a naming choice: its index, or the right one or the next.
void Driver::choose(Args args) {
  ExerciseLesson& exercise = core_.exercise();
  if (!exercise.active() || exercise.direction() != ExerciseDirection::Name)
    throw ScriptError("no exercise is asking for a name");
  const int count = static_cast<int>(exercise.choices().size());
  const int asked = exercise.question().answerChoice;
  if (args[0] == "right") {
    exercise.clicked(asked);
  } else if (args[0] == "wrong") {
    exercise.clicked((asked + 1) % count);
  } else {
    exercise.clicked(static_cast<int>(parseNumber(args[0], 0, count - 1, "CHOICE")));
  }
}

// A long-tone take in Practice Singing: a note and its length, or the first note sung.
void Driver::longTone(Args args) {
  if (args[0] == "stop") {
    if (args.size() > 1) throw ScriptError("stop takes nothing after it");
    core_.stopLongTone();
    return;
  }
  if (args.size() < 2) throw ScriptError("missing MILLISECONDS");
  const int note = args[0] == "any" ? -1 : static_cast<int>(parseNumber(args[0], 0, 127, "NOTE"));
  const int ms = static_cast<int>(
      parseNumber(args[1], kShortestLongToneMs, kLongestLongToneMs, "MILLISECONDS"));
  core_.startLongTone(note, ms);
}

void Driver::seed(Args args) {
  lesson_.setRandomState(parseUnsigned64(args[0], "N"));
}

void Driver::mode(Args args) {
  // A lesson chosen ends the exercise running.
  core_.stopExercise();
  switch (parseChoice(args[0], {"identify", "mimic", "sing", "unlock", "meditate", "practice"},
                      "the mode")) {
    case 0:
      lesson_.Identify1Click();
      break;
    case 1:
      lesson_.MimicSing1Click();
      break;
    case 2:
      lesson_.Sing1Click();
      break;
    case 3:
      lesson_.Unlock1Click();
      break;
    case 4:
      lesson_.Meditate1Click();
      break;
    default:
      lesson_.Warmup1Click();
      break;
  }
}

void Driver::key(Args args) {
  const std::string_view word = args[0];
  if (word == "Escape") {
    core_.keyPressed(kEscape);
  } else if (word == "space") {
    core_.keyPressed(' ');
  } else if (word.size() == 1) {
    core_.keyPressed(word[0]);
  } else {
    throw ScriptError("KEY must be one character, Escape or space, not '" + std::string(word) +
                      "'");
  }
}

void Driver::type(Args args) {
  for (char ch : args[0]) {
    core_.keyPressed(ch);
    drainPostedNotices();
  }
}

void Driver::click(Args args) {
  lesson_.NoteColumnClicked(static_cast<int>(parseNumber(args[0], 0, 11, "COLUMN")));
}

void Driver::tick(Args args) {
  const long long count = args.empty() ? 1 : parseNumber(args[0], 1, kMaxRepeat, "COUNT");
  for (long long i = 0; i < count; ++i) {
    lesson_.Timer1Timer();
    drainPostedNotices();
  }
}

void Driver::done(Args args) {
  const long long count = args.empty() ? 1 : parseNumber(args[0], 1, kMaxRepeat, "COUNT");
  // With nothing sounding there is nothing to finish.
  for (long long i = 0; i < count && stream_.completePhrase(); ++i) drainPostedNotices();
}

void Driver::sing(Args args) {
  const std::string_view letter = args[0];
  if (letter.size() != 1 || !isAnswerLetter(letter[0]))
    throw ScriptError("LETTER must be one of " + std::string(NoteLetters) + ", not '" +
                      std::string(letter) + "'");
  const int octave = static_cast<int>(parseNumber(args[1], 1, 9, "OCTAVE"));
  // As a note the pitch readout accepted, sung at its centre; the next frame ends it.
  lesson_.SungKeyPress(SungNote::centred(letter[0], octave));
  lesson_.SungNoteOver();
}

void Driver::midi(Args args) {
  const auto note = static_cast<std::uint32_t>(parseNote(args[0]));
  const auto velocity =
      static_cast<std::uint32_t>(args.size() > 1 ? parseNumber(args[1], 0, 127, "VELOCITY") : 100);
  const auto channel =
      static_cast<std::uint32_t>(args.size() > 2 ? parseNumber(args[2], 0, 15, "CHANNEL") : 0);
  // The keyboard's callback decodes and hands the key to the interface thread.
  keyboard_.send((0x90 + channel) | note << 8 | velocity << 16);
}

void Driver::setMastery(Args args) {
  for (const MasteryField& field : kMasteryFields) {
    if (field.name != args[0]) continue;
    Mastery mastery = lesson_.mastery;
    mastery.*field.value = static_cast<int>(parseNumber(args[1], INT_MIN, INT_MAX, "VALUE"));
    lesson_.setMastery(mastery);
    return;
  }
  std::string names;
  for (const MasteryField& field : kMasteryFields)
    names += (names.empty() ? "" : ", ") + std::string(field.name);
  throw ScriptError("NAME must be one of " + names + ", not '" + std::string(args[0]) + "'");
}

void Driver::check(Args args) {
  MenuChecks menus = lesson_.menus;
  const int item = parseChoice(
      args[0], {"Solfege1", "Notes1", "Piano1", "PracticeMode1", "DisplayAlways"}, "ITEM");
  const bool on = parseOnOff(args[1], "the mark");
  if (item == 3) {
    menus.PracticeMode1 = on;
    lesson_.setMenuChecks(menus);
    return;
  }
  if (item == 4) {
    menus.DisplayAlways = on;
    lesson_.setMenuChecks(menus);
    return;
  }
  // The three views are one radio group; the View command repaints and rewrites the texts.
  bool* views[] = {&menus.Solfege1, &menus.Notes1, &menus.Piano1};
  if (on)
    for (bool* view : views) *view = false;
  *views[item] = on;
  lesson_.setMenuChecks(menus);
  host_.repaintNotePanel();
  lesson_.UpdateTexts();
}

void Driver::levelUp(Args) {
  if (core_.exercise().active()) {
    core_.exercise().levelUp();
    return;
  }
  lesson_.Levelup1Click();
}

void Driver::levelDown(Args) {
  if (core_.exercise().active()) {
    core_.exercise().levelDown();
    return;
  }
  lesson_.Leveldown1Click();
}

void Driver::newQuestion(Args) {
  lesson_.Playnewquestion1Click();
}

void Driver::resetMastery(Args) {
  lesson_.ResetCorvinmasterylevel1Click();
}

void Driver::volume(Args args) {
  const long long velocity = parseNumber(args[0], 10, 120, "VELOCITY");
  if (velocity % 10 != 0)
    throw ScriptError("VELOCITY must be a multiple of 10, not '" + std::string(args[0]) + "'");
  std::array<bool, 12> checked{};
  checked[static_cast<std::size_t>(velocity / 10 - 1)] = true;
  core_.player().SetVolumeFromMenu(checked);
}

void Driver::channel(Args args) {
  std::array<bool, 16> checked{};
  checked[static_cast<std::size_t>(parseNumber(args[0], 0, 15, "CHANNEL"))] = true;
  core_.player().SetChannelFromMenu(checked);
}

void Driver::midiOut(Args args) {
  core_.player().midiOutPresent = parseChoice(args[0], {"none", "present"}, "the output") == 1;
  core_.player().ReopenMidiOut(platform::kDefaultMidiDevice);
}

void Driver::show(Args args) {
  switch (parseChoice(args[0],
                      {"counters", "question", "level", "mastery", "phrase", "texts", "exercise"},
                      "what to show")) {
    case 0:
      showCounters();
      break;
    case 1:
      showQuestion();
      break;
    case 2:
      showLevel();
      break;
    case 3:
      out_ << "mastery " << masteryText(lesson_.mastery) << '\n';
      break;
    case 4:
      showPhrases();
      break;
    case 5:
      host_.printTexts();
      break;
    default:
      showExercise();
      break;
  }
}

void Driver::showExercise() {
  const ExerciseLesson& exercise = core_.exercise();
  if (!exercise.active()) {
    out_ << "exercise none\n";
    return;
  }
  const Exercise which = exercise.exercise();
  out_ << "exercise " << exerciseTable(which).name << " level " << exercise.level(which) << " of "
       << exercise.levelCount(which) << " asked " << exercise.levelAsked() << " right "
       << exercise.levelCorrect() << " streak " << exercise.streak() << " choices";
  for (const ExerciseChoice& choice : exercise.choices())
    out_ << ' ' << choice.key << '=' << choice.label;
  out_ << '\n';
}

void Driver::showCounters() {
  const Scores& s = lesson_.scores;
  out_ << "counters LevelCorrect=" << s.LevelCorrect << " LevelAsked=" << s.LevelAsked
       << " LevelStreak=" << s.LevelStreak << " LevelBestStreak=" << s.LevelBestStreak
       << " TotalCorrect=" << s.TotalCorrect << " TotalAsked=" << s.TotalAsked
       << " ElapsedSeconds=" << s.ElapsedSeconds << " LevelSeconds=" << s.LevelSeconds
       << " FastRunSeconds=" << s.FastRunSeconds << " QuestionAge=" << lesson_.QuestionAge
       << " ReplayDelayTicks=" << lesson_.ReplayDelayTicks
       << " MeditationTicks=" << lesson_.MeditationTicks << '\n';
}

void Driver::showQuestion() {
  const QuestionState& q = lesson_.question;
  out_ << "question QuestionNotes=";
  for (int i = 0; i < q.QuestionNoteCount; ++i) out_ << (i == 0 ? "" : ",") << q.QuestionNotes[i];
  out_ << " QuestionNoteCount=" << q.QuestionNoteCount << " AnswerPosition=" << q.AnswerPosition
       << " ExpectedLetter=" << q.ExpectedLetter
       << " RightAnswer=" << lettersOf(q.QuestionNotes, q.QuestionNoteCount)
       << " PlaybackIdle=" << yesNo(core_.player().PlaybackIdle())
       << " ReplayPending=" << yesNo(lesson_.ReplayPending)
       << " DeferredAnswer=" << yesNo(lesson_.DeferredAnswer);
  if (lesson_.DeferredAnswer) out_ << " DeferredLetter=" << keyName(lesson_.DeferredLetter);
  out_ << '\n';
}

void Driver::showLevel() {
  const LevelState& level = lesson_.level;
  std::string active;
  for (int i = 0; i < 12; ++i)
    if (level.ActivePitchClasses[i] == 1) active += NoteLetters[i];
  out_ << "level lessonMode=" << lessonModeName(lesson_.lessonMode)
       << " currentLevel=" << level.currentLevel << " PaceCode=" << level.PaceCode
       << " EchoCode=" << level.EchoCode << " QuestionType=" << level.QuestionType
       << " PlayStyle=" << level.PlayStyle << " SameOctave=" << level.SameOctave
       << " ActivePitchClasses=" << active << '\n';
}

void Driver::showPhrases() {
  const Phrases& p = lesson_.phrases;
  const std::pair<const char*, const MidiEventList*> lists[] = {
      {"QuestionPhrase", &p.QuestionPhrase},
      {"AnswerPhrase", &p.AnswerPhrase},
      {"CorrectionPhrase", &p.CorrectionPhrase}};
  for (const auto& [name, list] : lists)
    out_ << name << ' ' << eventsText(list->events.data(), list->count) << '\n';
}

}  // namespace auralis::driver
