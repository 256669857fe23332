#include "input/PitchEstimate.h"

#include <algorithm>
#include <cmath>

namespace auralis {

namespace {

constexpr int kMidiOfNoteIndex = 21;  // detector index 0 is A0, MIDI note 21
constexpr int kLastPosition = kDetectorNotes * kSubBands - 1;
constexpr int kOctavePositions = 12 * kSubBands;
// A peak at a note's edge may lie past it; the walk across the edge stops after this many
// sub-bands, a quarter tone.
constexpr int kLongestWalk = 3;

// Sub-bands continue evenly across notes: sub-band 11 of one note is one step below sub-band 0
// of the next. A position counts sub-bands from sub-band 0 of note 0.
class SubBandLine {
 public:
  SubBandLine(const PitchDetector& detector, const std::int16_t* window, int detectedNote)
      : detector_(detector), window_(window), detectedNote_(detectedNote) {}

  // The logarithm of the magnitude at a position: the detected note's own sub-bands as the
  // detector found them, any other measured on the window. -infinity for silence or off the
  // grid.
  double logMagnitude(int position) const {
    if (position < 0 || position > kLastPosition) return -HUGE_VAL;
    const int note = position / kSubBands;
    const int subBand = position % kSubBands;
    const double magnitude = note == detectedNote_
                                 ? detector_.subBandMagnitude(note, subBand)
                                 : detector_.BandMagnitude(window_, note, subBand);
    return magnitude > 0.0 ? std::log(magnitude) : -HUGE_VAL;
  }

 private:
  const PitchDetector& detector_;
  const std::int16_t* window_;
  int detectedNote_;
};

// The offset, in steps from the middle one, of the vertex of the parabola through three
// equally spaced values whose middle one is the largest.
double vertexOffset(double below, double middle, double above) {
  if (!std::isfinite(below) || !std::isfinite(above)) return 0.0;
  const double curvature = below - 2.0 * middle + above;
  if (curvature >= 0.0) return 0.0;
  return std::clamp(0.5 * (below - above) / curvature, -0.5, 0.5);
}

struct Peak {
  double position = 0.0;  // between sub-bands
  double magnitude = 0.0;
};

// Climbs from a position to the nearest peak, then places it between sub-bands by a parabola
// through the logarithms of the magnitudes, the shape of a windowed correlator's main lobe.
Peak peakNear(const SubBandLine& line, int position) {
  double below = line.logMagnitude(position - 1);
  double middle = line.logMagnitude(position);
  double above = line.logMagnitude(position + 1);
  for (int walk = 0; walk < kLongestWalk && above > middle; ++walk) {
    ++position;
    below = middle;
    middle = above;
    above = line.logMagnitude(position + 1);
  }
  for (int walk = 0; walk < kLongestWalk && below > middle; ++walk) {
    --position;
    above = middle;
    middle = below;
    below = line.logMagnitude(position - 1);
  }
  return {position + vertexOffset(below, middle, above), std::exp(middle)};
}

double semitonesAt(double position) {
  return kMidiOfNoteIndex + (position - kNominalSubBand) / kSubBands;
}

}  // namespace

int SungPitch::nearestNote() const {
  return static_cast<int>(std::lround(semitones));
}

SungPitch sungPitchAt(double semitones) {
  return {semitones, 100.0 * (semitones - std::round(semitones))};
}

std::optional<SungPitch> estimatePitch(const PitchDetector& detector, const std::int16_t* window) {
  const FrameResult& frame = detector.result();
  if (frame.DetectedNote <= 0 || frame.DetectedOffsetStep >= kSubBands) return std::nullopt;
  const SubBandLine line(detector, window, frame.DetectedNote);
  const Peak first = peakNear(line, frame.DetectedNote * kSubBands + frame.DetectedOffsetStep);
  // A low voice's fundamental is pulled by its strong octave a few correlator widths away; the
  // octave itself is twice as fine in cents and pulled half as far. Each harmonic counts by its
  // magnitude times its number, squared.
  const Peak second =
      peakNear(line, static_cast<int>(std::lround(first.position)) + kOctavePositions);
  const double firstWeight = first.magnitude * first.magnitude;
  const double secondWeight = 4.0 * second.magnitude * second.magnitude;
  const double total = firstWeight + secondWeight;
  if (!(total > 0.0)) return sungPitchAt(semitonesAt(first.position));
  return sungPitchAt((firstWeight * semitonesAt(first.position) +
                      secondWeight * (semitonesAt(second.position) - 12.0)) /
                     total);
}

std::optional<SungPitch> estimateLatestPitch(const PitchDetector& detector) {
  // The latest frame is the buffer before the newest followed by the newest; the history's
  // mirror slot keeps a frame that starts in the last slot contiguous.
  const int newest = detector.slotCounter();
  const int previous = newest == 0 ? kHistorySlots - 1 : newest - 1;
  return estimatePitch(detector, detector.historySlot(previous));
}

}  // namespace auralis
