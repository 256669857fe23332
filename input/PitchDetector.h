#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "input/CorrelatorKernels.h"

namespace auralis {

inline constexpr int kDetectorNotes = 108;   // semitones from A0 = 27.5 Hz; MIDI = index + 21
inline constexpr int kSubBands = 12;         // 8 1/3 cents apart; sub-band 6 is nominal
inline constexpr int kWindowSamples = 2048;  // two capture buffers
inline constexpr int kBufferSamples = 1024;  // one capture buffer, 23.2 ms at 44100 Hz
inline constexpr int kHistorySlots = 2583;   // about 60 s of capture buffers
// Of the history, only the two newest slots are ever read, so only the newest three are kept:
// 3 divides 2583, so the kept slots wrap exactly where the numbered slots do.
inline constexpr int kHeldSlots = 3;
static_assert(kHistorySlots % kHeldSlots == 0);

inline constexpr int kThresholdHigh = 333;
inline constexpr int kThresholdMedium = 666;
inline constexpr int kThresholdLow = 1000;

inline constexpr int kNominalSubBand = 6;
inline constexpr int kNeverRefinedStep =
    12;  // offset step of a note whose sub-bands were never read

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
  // The first call builds the tables (about 7 MB at stride 3); later calls return at once. The
  // tables hold only the terms that the correlators read at DetectorStride; an analysis at
  // another stride rebuilds them for that stride first.
  void BuildDetectorTables();
  // Bytes held by the correlation tables once built; 0 before.
  std::size_t tableBytes() const;

  // The correlator kernel in use: the fastest that this processor runs, unless a test or a
  // benchmark forces another. Returns false, and keeps the kernel, when it cannot run here.
  bool useKernel(CorrelatorKernel kernel);
  CorrelatorKernel kernel() const;

  // One capture buffer of 1024 samples. The first buffer after resetBuffersSinceStart() is only
  // stored; every later one is analysed together with the buffer before it.
  void ProcessCaptureBuffer(const std::int16_t* samples);
  void resetBuffersSinceStart();
  std::int64_t buffersSinceStart() const;
  // The history slot that holds the newest buffer, 0 to kHistorySlots - 1. It starts at 0 and is
  // kept for the life of the detector.
  int slotCounter() const;
  // The 1024 samples of a history slot, 0 to kHistorySlots; slot kHistorySlots mirrors slot 0.
  // Null for any other slot, and for a slot older than the newest kHeldSlots, which is no longer
  // kept. The slot before the newest is followed in memory by the newest: the two are a window.
  const std::int16_t* historySlot(int slot) const;

  // Analyses 2048 consecutive samples and writes the frame result. Before the tables are built
  // every frame reports no note.
  void DetectPitch(const std::int16_t* window);
  // One correlator's magnitude over 2048 samples; 0 for a note or sub-band off the grid, for no
  // window (a history slot no longer kept), or before the tables are built.
  double BandMagnitude(const std::int16_t* window, int note, int subBand) const;

  const FrameResult& result() const;
  // The note grid is ready from construction; 0 for a note or sub-band off the grid.
  float noteFrequency(int note) const;  // nominal frequency of a detector note index
  float subBandFrequency(int note, int subBand) const;
  // Per-note working values, kept between frames: the coarse magnitude, or the sum of the twelve
  // sub-band magnitudes for a note refined in the latest frame that reached it.
  float noteMagnitude(int note) const;
  float strongestSubBandMagnitude(int note) const;  // 0 until the note is first refined
  float strongestSubBandFrequency(int note) const;  // 0 until the note is first refined
  // One of the twelve magnitudes of a note's latest refinement; 0 until then or off the grid.
  float subBandMagnitude(int note, int subBand) const;

  int detectionThreshold = kThresholdHigh;
  // Decimation of the correlators; values below 1 count as 1 and above 2048 as 2048.
  int DetectorStride = 3;

 private:
  struct Tables;
  struct State;
  // The tables for the current stride, rebuilt first if they were built for another.
  const Tables& currentTables() const;
  void correlate(const Tables& tables, const double* samples, const TermBlock* const* rows,
                 int rowCount, double* magnitudes) const;
  void refine(const Tables& tables, int note);
  int effectiveStride() const;

  std::unique_ptr<State> state_;
  // Rebuilt from a const analysis when the stride changed: the tables are a cache of values
  // fixed by the note grid and the stride.
  mutable std::unique_ptr<Tables> tables_;
  CorrelatorKernel kernel_;
};

}  // namespace auralis
