#include "tools/driver/Driver.h"

#include <array>
#include <climits>
#include <string>
#include <utility>

#include "engine/Notes.h"
#include "input/WavFile.h"
#include "tools/driver/EffectText.h"
#include "tools/driver/ScriptWords.h"

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
    {"show", "show counters|question|level|mastery|phrase|texts", 1, 1, &Driver::show},
    {"audio", "audio FILE.wav [BUFFERS]", 1, 2, &Driver::audio},
    {"longtone", "longtone NOTE|any MILLISECONDS | longtone stop", 1, 2, &Driver::longTone},
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
  MicrophoneCapture& capture = core_.capture();
  if (!capture.captureRunning()) {
    if (!capture.deviceOpen()) {
      capture.DetectSoundInput();
      capture.OpenMicrophone(platform::kDefaultSoundInput);
    }
    capture.StartMicrophone();
  }
  for (long long i = 0; i < count && microphone_.deliverBuffer(); ++i) drainPostedNotices();
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
    lesson_.FormKeyPress(kEscape);
  } else if (word == "space") {
    lesson_.FormKeyPress(' ');
  } else if (word.size() == 1) {
    lesson_.FormKeyPress(word[0]);
  } else {
    throw ScriptError("KEY must be one character, Escape or space, not '" + std::string(word) +
                      "'");
  }
}

void Driver::type(Args args) {
  for (char ch : args[0]) {
    lesson_.FormKeyPress(ch);
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
  const auto note = static_cast<std::uint32_t>(parseNumber(args[0], 0, 127, "NOTE"));
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
  lesson_.Levelup1Click();
}

void Driver::levelDown(Args) {
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
  switch (parseChoice(args[0], {"counters", "question", "level", "mastery", "phrase", "texts"},
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
    default:
      host_.printTexts();
      break;
  }
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
