#include "tools/analyse/Analyser.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "engine/Lesson.h"
#include "input/MicrophoneCapture.h"
#include "input/PitchReadout.h"
#include "input/WavFile.h"
#include "input/WindowMessages.h"
#include "platform/FakeMidiOutStream.h"
#include "platform/FakeSoundInput.h"

namespace auralis::analyse {

namespace {

constexpr const char* kUsage = "usage: auralis-analyse [--sensitivity High|Medium|Low] FILE.wav\n";

// A window that shows nothing and hears no sound; it only keeps the notices in their queue
// order and the letter the readout passed on.
class QuietWindow final : public LessonHost, public CaptureHost, public ReadoutHost {
 public:
  int captureNotices = 0;
  int micFrames = 0;
  char posted = 0;

  void playFeedbackSound(FeedbackSound) override {}
  void pause(int) override {}
  void repaintNotePanel() override {}
  void repaintWindowNow() override {}
  void setInstructionText(std::string_view text) override { instruction_ = text; }
  std::string instructionText() const override { return instruction_; }
  void setStatusText(int, std::string_view) override {}
  void startMicrophone() override {}
  void stopMicrophone() override {}
  void showMicStatus() override {}
  void saveMastery(const Mastery&) override {}
  void lessonItemChecked(LessonItem) override {}
  void setMicPanelText(std::string_view) override {}
  void postCaptureNotice() override { ++captureNotices; }
  void postMicFrame(int) override { ++micFrames; }
  void drawTuningMarker(int, float) override {}
  void postCharacter(char letter) override { posted = letter; }

 private:
  std::string instruction_;
};

// The pieces of the running program that a sung note passes through, over a scripted device.
class LivePath {
 public:
  LivePath(std::span<const std::int16_t> samples, int threshold)
      : player_(midiOut_, [] {}),
        lesson_(window_, player_),
        capture_(microphone_, detector_, window_),
        readout_(lesson_, detector_, capture_, window_),
        total_(samples.size()) {
    microphone_.setSamples({samples.begin(), samples.end()});
    detector_.detectionThreshold = threshold;
    lesson_.micWanted = true;
    lesson_.level.ActivePitchClasses.fill(1);
    lesson_.level.PaceCode = kPaceNone;
    lesson_.FramesSincePlay = 0;
    capture_.DetectSoundInput();
    capture_.OpenMicrophone(platform::kDefaultSoundInput);
    capture_.StartMicrophone();
  }

  std::vector<AnalysedFrame> run() {
    std::vector<AnalysedFrame> frames;
    frames.reserve(total_ / kBufferSamples + 1);
    while (microphone_.deliverBuffer()) handleNotices(frames);
    // The end of the recording stops the microphone with the last part in the buffer.
    microphone_.deliverSamples(microphone_.samplesLeft());
    capture_.StopMicrophone();
    handleNotices(frames);
    return frames;
  }

 private:
  // The interface thread's message loop: each capture notice, then the frame notice it posts.
  void handleNotices(std::vector<AnalysedFrame>& frames) {
    while (window_.captureNotices > 0) {
      --window_.captureNotices;
      capture_.CaptureWndProc(MM_WIM_DATA);
      while (window_.micFrames > 0) {
        --window_.micFrames;
        window_.posted = 0;
        readout_.UtilityWndProc(WM_MICFRAME);
        frames.push_back(frameRecord(static_cast<int>(frames.size()) + 1));
      }
    }
  }

  AnalysedFrame frameRecord(int number) const {
    AnalysedFrame frame;
    frame.frame = number;
    frame.seconds = static_cast<double>(total_ - microphone_.samplesLeft()) / kWavSampleRate;
    frame.result = detector_.result();
    const int note = frame.result.DetectedNote;
    frame.nominalHz = note > 0 ? detector_.noteFrequency(note) : 0.0f;
    frame.accepted = window_.posted;
    return frame;
  }

  QuietWindow window_;
  platform::FakeMidiOutStream midiOut_;
  platform::FakeSoundInput microphone_;
  PitchDetector detector_;
  MidiStreamPlayer player_;
  Lesson lesson_;
  MicrophoneCapture capture_;
  PitchReadout readout_;
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
