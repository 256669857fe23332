#pragma once

#include <array>
#include <cstdint>
#include <memory>

namespace auralis {

inline constexpr int kDetectorNotes = 108;   // semitones from A0 = 27.5 Hz; MIDI = index + 21
inline constexpr int kSubBands = 12;         // 8 1/3 cents apart; sub-band 6 is nominal
inline constexpr int kWindowSamples = 2048;  // two capture buffers
inline constexpr int kBufferSamples = 1024;  // one capture buffer, 23.2 ms at 44100 Hz
inline constexpr int kHistorySlots = 2583;   // about 60 s of capture buffers

inline constexpr int kThresholdHigh = 333;
inline constexpr int kThresholdMedium = 666;
inline constexpr int kThresholdLow = 1000;

// The result of one analysed frame.
struct FrameResult {
  int DetectedNote = 0;         // detector note index; 0 means no note
  int DetectedPitchClass = -1;  // (DetectedNote - 3) mod 12, -1 when no note
  int DetectedOffsetStep = 0;   // strongest sub-band, 0 to 11; 6 is in tune
  float DetectedOffset = 0.0f;  // DetectedOffsetStep / 12
};

// A bank of windowed single-frequency correlators on a semitone grid. No heap allocation and
// no trigonometric function once the tables are built.
class PitchDetector {
 public:
  PitchDetector();
  ~PitchDetector();
  PitchDetector(const PitchDetector&) = delete;
  PitchDetector& operator=(const PitchDetector&) = delete;

  bool tablesBuilt() const;
  // The first call builds the tables (about 21 MB); later calls return at once.
  void BuildDetectorTables();

  // One capture buffer of 1024 samples. The first buffer after resetBuffersSinceStart() is only
  // stored; every later one is analysed together with the buffer before it.
  void ProcessCaptureBuffer(const std::int16_t* samples);
  void resetBuffersSinceStart();

  // Analyses 2048 consecutive samples and writes the frame result.
  void DetectPitch(const std::int16_t* window);
  double BandMagnitude(const std::int16_t* window, int note, int subBand) const;

  const FrameResult& result() const;
  float noteFrequency(int note) const;  // nominal frequency of a detector note index

  int detectionThreshold = kThresholdHigh;
  int DetectorStride = 3;

 private:
  struct Tables;
  std::unique_ptr<Tables> tables_;
};

}  // namespace auralis
