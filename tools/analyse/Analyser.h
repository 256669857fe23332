#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "input/PitchDetector.h"

namespace auralis::analyse {

// One frame notice of the live path: the detector's result after one capture buffer, and what
// the readout made of it.
struct AnalysedFrame {
  int frame = 0;         // 1 for the first buffer
  double seconds = 0.0;  // end of the frame's newest buffer, from the start of the recording
  FrameResult result;
  float nominalHz = 0.0f;  // of DetectedNote; 0 with no note
  char accepted = 0;       // the letter the readout passed on in this frame, or 0
  // What the frame told of the singing: a held note that ended, the tuning message or its end;
  // one line each.
  std::string told;
};

// "High", "Medium" or "Low" to the detection threshold.
std::optional<int> thresholdOf(std::string_view sensitivity);

// Runs the samples through the live path buffer by buffer: a sound input device that hears
// them, capture, the detector, and the readout with all twelve pitch classes active and a
// question that started playing with the first buffer. A last part shorter than a buffer comes
// back as the device returns it at a stop.
std::vector<AnalysedFrame> analyseRecording(std::span<const std::int16_t> samples, int threshold);

void writeFrames(std::ostream& out, std::span<const AnalysedFrame> frames);

// The command line without the program name. Returns the exit status: 0 done, 1 the file could
// not be analysed, 2 wrong usage.
int runAnalyser(std::span<const std::string> args, std::ostream& out, std::ostream& err);

}  // namespace auralis::analyse
