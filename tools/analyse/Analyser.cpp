#include "tools/analyse/Analyser.h"

#include <array>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <utility>
#include <vector>

#include "core/Core.h"
#include "core/QuietHost.h"
#include "input/WavFile.h"
#include "platform/FakeMidiInput.h"
#include "platform/FakeMidiOutStream.h"
#include "platform/FakeSoundInput.h"
#include "tools/driver/EffectText.h"

namespace auralis::analyse {

namespace {

constexpr const char* kUsage = "usage: auralis-analyse [--sensitivity High|Medium|Low] FILE.wav\n";

// A window that shows nothing and hears no sound; it keeps the notices in their queue order and
// notes the letter the readout passed on, and what it is told of the singing.
class AnalyserHost final : public QuietHost, public AnswerRecorder {
 public:
  std::deque<Notice> posted;
  char letter = 0;
  std::string told;

  void offTuneHeld(const OffTuneNote& note) override { tell(driver::offTuneText(note)); }
  void offTuneOver() override { tell(driver::kOffTuneOverText); }
  void recordAnswer(const AnswerRecord&) override {}
  void recordLevelEvent(const LevelEvent&) override {}
  void recordHeldNote(const HeldNote& note) override { tell(driver::heldNoteText(note)); }
  void tell(std::string_view line) {
    told += line;
    told += '\n';
  }

  void post(Notice notice) override {
    if (const auto* character = std::get_if<notice::Character>(&notice))
      letter = character->sung.letter();
    posted.push_back(std::move(notice));
  }
};

// The pieces of the running program that a sung note passes through, over a scripted device.
class LivePath {
 public:
  LivePath(std::span<const std::int16_t> samples, int threshold)
      : core_(host_, host_, {midiOut_, microphone_, keyboard_}), total_(samples.size()) {
    Lesson& lesson = core_.lesson();
    MicrophoneCapture& capture = core_.capture();
    microphone_.setSamples({samples.begin(), samples.end()});
    core_.detector().detectionThreshold = threshold;
    lesson.listenForAnyNote();
    lesson.setRecorder(&host_);
    capture.DetectSoundInput();
    capture.OpenMicrophone(platform::kDefaultSoundInput);
    capture.StartMicrophone();
  }

  std::vector<AnalysedFrame> run() {
    std::vector<AnalysedFrame> frames;
    frames.reserve(total_ / kBufferSamples + 1);
    while (microphone_.deliverBuffer()) handleNotices(frames);
    // The end of the recording stops the microphone with the last part in the buffer.
    microphone_.deliverSamples(microphone_.samplesLeft());
    core_.capture().StopMicrophone();
    handleNotices(frames);
    // The note still sounding at the end is kept there.
    core_.finishListening();
    if (!frames.empty()) frames.back().told += std::exchange(host_.told, {});
    return frames;
  }

 private:
  // The interface thread's message loop; every frame notice is recorded with what the readout
  // made of it.
  void handleNotices(std::vector<AnalysedFrame>& frames) {
    while (!host_.posted.empty()) {
      const Notice notice = host_.posted.front();
      host_.posted.pop_front();
      host_.letter = 0;
      core_.UtilityWndProc(notice);
      if (const auto* frame = std::get_if<notice::MicFrame>(&notice))
        frames.push_back(frameRecord(static_cast<int>(frames.size()) + 1, frame->frame));
    }
  }

  AnalysedFrame frameRecord(int number, const FrameResult& result) {
    AnalysedFrame frame;
    frame.frame = number;
    frame.seconds = static_cast<double>(total_ - microphone_.samplesLeft()) / kWavSampleRate;
    frame.result = result;
    const int note = result.DetectedNote;
    frame.nominalHz = note > 0 ? core_.detector().noteFrequency(note) : 0.0f;
    frame.accepted = host_.letter;
    frame.told = std::exchange(host_.told, {});
    return frame;
  }

  AnalyserHost host_;
  platform::FakeMidiOutStream midiOut_;
  platform::FakeSoundInput microphone_;
  platform::FakeMidiInput keyboard_;
  Core core_;
  std::size_t total_;
};

struct Options {
  std::string file;
  std::string sensitivity = "High";
  int threshold = kThresholdHigh;
};

// Returns what is wrong with the command line, or nothing.
std::optional<std::string> parseOptions(std::span<const std::string> args, Options& options) {
  bool haveFile = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    std::string value;
    if (arg == "--sensitivity") {
      if (i + 1 == args.size()) return "--sensitivity needs a value";
      value = args[++i];
    } else if (arg.starts_with("--sensitivity=")) {
      value = arg.substr(std::string_view("--sensitivity=").size());
    } else if (arg.starts_with("-")) {
      return "unknown option " + arg;
    } else {
      if (haveFile) return "only one file can be analysed at a time";
      options.file = arg;
      haveFile = true;
      continue;
    }
    const std::optional<int> threshold = thresholdOf(value);
    if (!threshold) return "sensitivity must be High, Medium or Low, not '" + value + "'";
    options.sensitivity = value;
    options.threshold = *threshold;
  }
  if (!haveFile) return "no file given";
  return std::nullopt;
}

}  // namespace

std::optional<int> thresholdOf(std::string_view sensitivity) {
  if (sensitivity == "High") return kThresholdHigh;
  if (sensitivity == "Medium") return kThresholdMedium;
  if (sensitivity == "Low") return kThresholdLow;
  return std::nullopt;
}

std::vector<AnalysedFrame> analyseRecording(std::span<const std::int16_t> samples, int threshold) {
  return LivePath(samples, threshold).run();
}

void writeFrames(std::ostream& out, std::span<const AnalysedFrame> frames) {
  out << "# frame   time_s note  pc step nominal_hz accept\n";
  std::array<char, 96> line{};
  for (const AnalysedFrame& f : frames) {
    const char accepted[2] = {f.accepted != 0 ? f.accepted : '-', '\0'};
    std::snprintf(line.data(), line.size(), "%7d %8.3f %4d %3d %4d %10.1f %s\n", f.frame, f.seconds,
                  f.result.DetectedNote, f.result.DetectedPitchClass, f.result.DetectedOffsetStep,
                  static_cast<double>(f.nominalHz), accepted);
    out << line.data();
    // Comment lines, so that whatever reads the columns passes over them.
    for (std::size_t start = 0; start < f.told.size();) {
      const std::size_t end = f.told.find('\n', start);
      out << "#   " << f.told.substr(start, end - start) << '\n';
      start = end == std::string::npos ? f.told.size() : end + 1;
    }
  }
}

int runAnalyser(std::span<const std::string> args, std::ostream& out, std::ostream& err) {
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
    out << kUsage;
    return 0;
  }
  Options options;
  if (const std::optional<std::string> wrong = parseOptions(args, options)) {
    err << "auralis-analyse: " << *wrong << "\n" << kUsage;
    return 2;
  }
  std::error_code error;
  if (!std::filesystem::exists(options.file, error)) {
    err << "auralis-analyse: " << options.file << ": no such file\n";
    return 1;
  }
  const WavReadResult wav = readWavFile(options.file);
  if (!wav.ok()) {
    err << "auralis-analyse: " << wav.error << "\n";
    return 1;
  }
  out << "# " << options.file << ": " << wav.samples.size() << " samples, sensitivity "
      << options.sensitivity << " (threshold " << options.threshold << ")\n";
  writeFrames(out, analyseRecording(wav.samples, options.threshold));
  return out.good() ? 0 : 1;
}

}  // namespace auralis::analyse
