// Renders the pitch graph off screen after ten seconds of a generated singer, to look at:
//   pitch_graph_picture OUT.png [solfege|names|piano] [question|none] [WIDTHxHEIGHT]

#include <QApplication>
#include <QImage>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <string_view>

#include "display/PitchGraph.h"
#include "input/PitchEstimate.h"
#include "tests/input/SungVoices.h"

namespace {

using namespace auralis;

// A singer slides up into A3 and holds it with vibrato, breathes, lands sharp on E4 and
// settles, drops an octave for a moment and comes back a little flat.
double pitchAt(double seconds) {
  if (seconds < 0.6) return 55.0 + 2.0 * seconds / 0.6;
  if (seconds < 4.0) return 57.05 + 0.3 * std::sin(2 * std::numbers::pi * 5.5 * seconds);
  if (seconds < 6.0) return 64.35 - 0.3 * std::min(1.0, (seconds - 4.5) / 1.0);
  if (seconds > 7.6 && seconds < 8.0) return 52.05;
  if (seconds > 8.0) return 63.88 + 0.05 * std::sin(2 * std::numbers::pi * 5.0 * seconds);
  return 64.05 + 0.15 * std::sin(2 * std::numbers::pi * 5.0 * seconds);
}

bool silentAt(double seconds) {
  return seconds > 4.0 && seconds < 4.5;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s OUT.png [solfege|names|piano] [question|none] [WxH]\n",
                 argv[0]);
    return 2;
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  const std::string_view viewName = argc > 2 ? argv[2] : "solfege";
  const bool question = argc <= 3 || std::string_view(argv[3]) == "question";
  int width = 765;
  int height = 180;
  if (argc > 4) std::sscanf(argv[4], "%dx%d", &width, &height);

  PitchDetector detector;
  detector.BuildDetectorTables();
  signals::Tone timbre;
  timbre.amplitude = 5000.0;
  constexpr int kBuffers = 440;
  const auto voice = signals::sungVoice(timbre, pitchAt, kBuffers * kBufferSamples);

  PitchGraph graph;
  graph.resize(width, height);
  graph.setView(viewName == "names"   ? display::NoteView::NoteNames
                : viewName == "piano" ? display::NoteView::Piano
                                      : display::NoteView::Solfege);
  const int notes[] = {57, 64};
  if (question) graph.setQuestionNotes(notes);

  std::vector<std::int16_t> buffer(kBufferSamples);
  for (int b = 0; b < kBuffers; ++b) {
    const double seconds = b * kBufferSamples / signals::kRate;
    for (int n = 0; n < kBufferSamples; ++n)
      buffer[n] = silentAt(seconds) ? 0 : voice[b * kBufferSamples + n];
    detector.ProcessCaptureBuffer(buffer.data());
    if (b > 0) graph.addFrame(estimateLatestPitch(detector));
  }

  QImage image(graph.size(), QImage::Format_ARGB32_Premultiplied);
  graph.render(&image);
  return image.save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
