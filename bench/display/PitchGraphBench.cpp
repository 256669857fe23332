// What the pitch graph adds to each analysed frame while listening: the pitch estimate, the
// history and the graph's repaint. Frames come about 43 times a second, so each 23 us of CPU
// time a frame is a tenth of a percent of one core.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPaintEvent>
#include <QPainter>
#include <cmath>
#include <numbers>
#include <vector>

#include "display/PitchGraph.h"
#include "input/PitchEstimate.h"
#include "tests/input/SungVoices.h"

namespace auralis {
namespace {

constexpr double kFramesPerSecond = 44100.0 / kBufferSamples;

// A detector that has just analysed a frame of a voice at the given pitch.
struct AnalysedFrame {
  explicit AnalysedFrame(double semitones) {
    detector.BuildDetectorTables();
    signals::Tone timbre;
    timbre.amplitude = 4000.0;
    timbre.noise = 200.0;
    const auto voice = signals::sungVoice(
        timbre, [&](double) { return semitones; }, 4 * kBufferSamples);
    for (int b = 0; b < 4; ++b) detector.ProcessCaptureBuffer(voice.data() + b * kBufferSamples);
  }
  PitchDetector detector;
};

// Per frame: one estimate of an analysed frame. The second-harmonic peak is always measured;
// a peak at a note's edge needs a few more correlators.
void BM_EstimatePitch(benchmark::State& state, double semitones) {
  const AnalysedFrame frame(semitones);
  for (auto _ : state) benchmark::DoNotOptimize(estimateLatestPitch(frame.detector));
}
BENCHMARK_CAPTURE(BM_EstimatePitch, a2_in_tune, 45.0)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_EstimatePitch, a4_plus_20_cents, 69.2)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_EstimatePitch, a4_plus_48_cents, 69.48)->Unit(benchmark::kMicrosecond);

void BM_PitchHistoryAdd(benchmark::State& state) {
  PitchHistory history;
  double semitones = 60.0;
  for (auto _ : state) {
    history.add(semitones);
    semitones = semitones > 70.0 ? 60.0 : semitones + 0.01;
    benchmark::DoNotOptimize(history.latest());
  }
}
BENCHMARK(BM_PitchHistoryAdd)->Unit(benchmark::kNanosecond);

// Ten seconds of singing, as the graph is most of the time: a phrase of held notes with vibrato,
// glides between them and breaths, repeated.
std::vector<std::optional<SungPitch>> tenSecondsOfFrames() {
  std::vector<std::optional<SungPitch>> frames;
  for (int i = 0; i < kPitchHistoryFrames; ++i) {
    const double seconds = i / kFramesPerSecond;
    const double within = std::fmod(seconds, 2.5);
    if (within > 2.2) {
      frames.emplace_back(std::nullopt);
      continue;
    }
    const double note = 57.0 + 2.0 * std::floor(seconds / 2.5) + std::min(within / 0.3, 1.0) * 2;
    frames.emplace_back(
        sungPitchAt(note + 0.25 * std::sin(2.0 * std::numbers::pi * 5.5 * seconds)));
  }
  return frames;
}

// Per frame: the frame handed to the graph and the repaint it asks for, with a full history and
// a question. Off screen this is the painting alone; under a display it includes handing the
// picture to the window system.
void BM_PitchGraphFrame(benchmark::State& state) {
  const std::vector<std::optional<SungPitch>> frames = tenSecondsOfFrames();
  PitchGraph graph;
  graph.resize(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  const int question[] = {57, 61, 64};
  graph.setQuestionNotes(question);
  graph.show();
  for (const auto& frame : frames) graph.addFrame(frame);
  QApplication::processEvents();
  std::size_t next = 0;
  for (auto _ : state) {
    graph.addFrame(frames[next]);
    QApplication::processEvents();  // the repaint the frame asked for
    next = (next + 1) % frames.size();
  }
}
BENCHMARK(BM_PitchGraphFrame)
    ->Args({765, 150})
    ->Args({765, 300})
    ->Args({1400, 500})
    ->Unit(benchmark::kMicrosecond);

// The floors the graph's figures stand on: a pass of the event loop with nothing to do, and the
// repaint of a widget of the same size that only fills itself.
void BM_EventLoopPass(benchmark::State& state) {
  QWidget idle;
  idle.resize(200, 100);
  idle.show();
  QApplication::processEvents();
  for (auto _ : state) QApplication::processEvents();
}
BENCHMARK(BM_EventLoopPass)->Unit(benchmark::kMicrosecond);

class FilledWidget : public QWidget {
 public:
  FilledWidget() { setAttribute(Qt::WA_OpaquePaintEvent); }

 protected:
  void paintEvent(QPaintEvent* event) override {
    QPainter painter(this);
    painter.fillRect(event->rect(), Qt::white);
  }
};

void BM_FilledWidgetRepaint(benchmark::State& state) {
  FilledWidget widget;
  widget.resize(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  widget.show();
  QApplication::processEvents();
  for (auto _ : state) {
    widget.update();
    QApplication::processEvents();
  }
}
BENCHMARK(BM_FilledWidgetRepaint)
    ->Args({765, 150})
    ->Args({765, 300})
    ->Args({1400, 500})
    ->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace auralis
