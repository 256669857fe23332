#include "input/PitchDetector.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <system_error>
#include <thread>

#include "input/TableRows.h"

namespace auralis {

namespace {

constexpr double kSampleRate = 44100.0;
constexpr double kBaseFrequency = 27.5;  // A0
constexpr float kCeilingHz = 7000.0f;    // above this the decimated correlators would alias
constexpr int kLowestCandidate = 20;     // F2
constexpr int kHighestCandidate = 88;    // C sharp 8
constexpr float kPresentMagnitude = 0.25f;
constexpr int kOctave = 12;
constexpr int kTwelfth = 19;

bool onGrid(int note) {
  return note >= 0 && note < kDetectorNotes;
}

bool belowCeiling(float frequency) {
  return frequency >= 0.0f && frequency <= kCeilingHz;
}

// The correlators read n = 0, stride, 2 stride, ... below 2048: 683 terms at stride 3.
int termsAt(int stride) {
  return (kWindowSamples + stride - 1) / stride;
}

// Takes every stride-th sample once per frame, so the correlators multiply doubles only.
void widenSamples(const std::int16_t* window, int stride, double* out) {
  for (int n = 0; n < kWindowSamples; n += stride) *out++ = window[n];
}

double magnitudeOf(Correlation sum, int stride) {
  const double divisor = kWindowSamples / stride;
  const double re = sum.re / divisor;
  const double im = sum.im / divisor;
  const double power = re * re + im * im;
  return power > 0 ? std::sqrt(power) : 0.0;
}

using SubBandGrid = std::array<std::array<float, kSubBands>, kDetectorNotes>;

}  // namespace

// cos(n w) x window and -sin(n w) x window for the terms read at one stride, by sub-band, note
// and term. The rows of one sub-band lie side by side, so the coarse pass over the nominal
// sub-band reads one contiguous run.
struct PitchDetector::Tables {
  Tables(const SubBandGrid& subBand, int tableStride);
  // The rows of notes firstNote, firstNote + noteStep, ...
  void fillNotes(const SubBandGrid& subBand, const std::array<float, kWindowSamples>& window,
                 int firstNote, int noteStep);

  std::size_t rowStart(int note, int subBand) const {
    return (static_cast<std::size_t>(subBand) * kDetectorNotes + note) * blocksPerRow;
  }
  const TermBlock* row(int note, int subBand) const { return &blocks[rowStart(note, subBand)]; }
  TermBlock* row(int note, int subBand) { return &blocks[rowStart(note, subBand)]; }
  std::size_t bytes() const {
    return sizeof(Tables) + sizeof(TermBlock) * kDetectorNotes * kSubBands * blocksPerRow;
  }

  int stride;
  int terms;
  int blocksPerRow;
  std::unique_ptr<TermBlock[]> blocks;
};

// Left uninitialised on purpose: every entry is written, and zeroing 7 MB first would only
// lengthen the start-up pause. The rows are independent, so a second thread fills every other
// note where the processor has a second core; that halves the pause.
PitchDetector::Tables::Tables(const SubBandGrid& subBand, int tableStride)
    : stride(tableStride),
      terms(termsAt(tableStride)),
      blocksPerRow((terms + kTermsPerBlock - 1) / kTermsPerBlock),
      blocks(new TermBlock[static_cast<std::size_t>(kDetectorNotes) * kSubBands * blocksPerRow]) {
  std::array<float, kWindowSamples> window;
  for (int t = 0; t < terms; ++t)
    window[t] = static_cast<float>(
        (1.0 - std::cos(2.0 * std::numbers::pi * (t * stride) / kWindowSamples)) * 0.5);
  std::thread helper;
  if (std::thread::hardware_concurrency() > 1) {
    try {
      helper = std::thread([&] { fillNotes(subBand, window, 1, 2); });
    } catch (const std::system_error&) {
      // No thread to be had: this one fills every note.
    }
  }
  fillNotes(subBand, window, 0, helper.joinable() ? 2 : 1);
  if (helper.joinable()) helper.join();
}

void PitchDetector::Tables::fillNotes(const SubBandGrid& subBand,
                                      const std::array<float, kWindowSamples>& window,
                                      int firstNote, int noteStep) {
  const float k = static_cast<float>(2.0 * std::numbers::pi / kSampleRate);
  for (int i = firstNote; i < kDetectorNotes; i += noteStep) {
    for (int j = 0; j < kSubBands; ++j) {
      const double omega = static_cast<double>(subBand[i][j]) * static_cast<double>(k);
      fillTableRow(omega, stride, terms, window.data(), row(i, j));
    }
  }
}

struct PitchDetector::State {
  std::array<float, kDetectorNotes> frequency{};
  SubBandGrid subBand{};
  // The notes that the coarse pass evaluates: those at or below the ceiling.
  std::array<int, kDetectorNotes> coarseNotes{};
  int coarseCount = 0;

  std::array<float, kDetectorNotes> magnitude{};
  std::array<float, kDetectorNotes> strongestMagnitude{};
  std::array<float, kDetectorNotes> strongestFrequency{};
  std::array<std::array<float, kSubBands>, kDetectorNotes> subBandMagnitude{};
  FrameResult result;

  // The kept slots: slot n of the history is held at n mod kHeldSlots. One spare after the last
  // mirrors the first, so a window that starts in the last reads on without a seam.
  std::array<std::int16_t, (kHeldSlots + 1) * kBufferSamples> history{};
  int slot = 0;
  std::int64_t buffersSinceStart = 0;

  std::array<double, kWindowSamples> widened{};
};

PitchDetector::PitchDetector() : state_(std::make_unique<State>()), kernel_(fastestKernel()) {
  State& s = *state_;
  const double twelfth = 1.0 / 12.0;
  const double halfStep = std::pow(2.0, 1.0 / 24.0);
  for (int i = 0; i < kDetectorNotes; ++i) {
    const float frequency = static_cast<float>(std::pow(2.0, i * twelfth) * kBaseFrequency);
    s.frequency[i] = frequency;
    for (int j = 0; j < kSubBands; ++j)
      s.subBand[i][j] =
          static_cast<float>(frequency / halfStep * std::pow(2.0, j * twelfth * twelfth));
    if (belowCeiling(frequency)) s.coarseNotes[s.coarseCount++] = i;
  }
}

PitchDetector::~PitchDetector() = default;

bool PitchDetector::tablesBuilt() const {
  return tables_ != nullptr;
}

std::size_t PitchDetector::tableBytes() const {
  return tables_ ? tables_->bytes() : 0;
}

bool PitchDetector::useKernel(CorrelatorKernel kernel) {
  if (!kernelAvailable(kernel)) return false;
  kernel_ = kernel;
  return true;
}

CorrelatorKernel PitchDetector::kernel() const {
  return kernel_;
}

void PitchDetector::BuildDetectorTables() {
  if (!tables_) tables_ = std::make_unique<Tables>(state_->subBand, effectiveStride());
}

int PitchDetector::effectiveStride() const {
  return std::clamp(DetectorStride, 1, kWindowSamples);
}

const PitchDetector::Tables& PitchDetector::currentTables() const {
  const int stride = effectiveStride();
  if (tables_->stride != stride) {
    // The old tables go first, so that the two never take memory at once.
    tables_.reset();
    tables_ = std::make_unique<Tables>(state_->subBand, stride);
  }
  return *tables_;
}

void PitchDetector::correlate(const Tables& tables, const double* samples,
                              const TermBlock* const* rows, int rowCount,
                              double* magnitudes) const {
  std::array<Correlation, kDetectorNotes> sums;
  correlateRows(kernel_, samples, tables.terms, rows, rowCount, sums.data());
  for (int r = 0; r < rowCount; ++r) magnitudes[r] = magnitudeOf(sums[r], tables.stride);
}

double PitchDetector::BandMagnitude(const std::int16_t* window, int note, int subBand) const {
  if (window == nullptr || !tables_ || !onGrid(note) || subBand < 0 || subBand >= kSubBands)
    return 0.0;
  const Tables& tables = currentTables();
  std::array<double, kWindowSamples> widened;
  widenSamples(window, tables.stride, widened.data());
  const TermBlock* row = tables.row(note, subBand);
  double magnitude = 0.0;
  correlate(tables, widened.data(), &row, 1, &magnitude);
  return magnitude;
}

void PitchDetector::refine(const Tables& tables, int note) {
  State& s = *state_;
  std::array<const TermBlock*, kSubBands> rows;
  for (int j = 0; j < kSubBands; ++j) rows[j] = tables.row(note, j);
  std::array<double, kSubBands> bands;
  correlate(tables, s.widened.data(), rows.data(), kSubBands, bands.data());
  s.magnitude[note] = 0.0f;
  double largest = 0.0;
  float strongest = 0.0f;
  for (int j = 0; j < kSubBands; ++j) {
    const double m = bands[j];
    s.subBandMagnitude[note][j] = static_cast<float>(m);
    s.magnitude[note] = static_cast<float>(s.magnitude[note] + m);
    if (m > largest) {
      largest = m;
      strongest = s.subBand[note][j];
    }
  }
  s.strongestMagnitude[note] = static_cast<float>(largest);
  s.strongestFrequency[note] = strongest;
}

void PitchDetector::DetectPitch(const std::int16_t* window) {
  State& s = *state_;
  if (!tables_) {
    s.result = FrameResult{};
    return;
  }
  const Tables& tables = currentTables();
  widenSamples(window, tables.stride, s.widened.data());

  std::array<const TermBlock*, kDetectorNotes> rows;
  for (int c = 0; c < s.coarseCount; ++c) rows[c] = tables.row(s.coarseNotes[c], kNominalSubBand);
  std::array<double, kDetectorNotes> coarse;
  correlate(tables, s.widened.data(), rows.data(), s.coarseCount, coarse.data());
  for (int c = 0; c < s.coarseCount; ++c)
    s.magnitude[s.coarseNotes[c]] = static_cast<float>(coarse[c]);

  // A candidate needs its octave and twelfth present and the notes an octave and a twelfth below
  // it weak; this keeps a voice's harmonics from being taken for the note.
  float best = 0.0f;
  int candidate = 0;
  for (int j = kLowestCandidate; j <= kHighestCandidate; ++j) {
    const float m = s.magnitude[j];
    if (belowCeiling(s.frequency[j]) && m > best && s.magnitude[j + kOctave] > kPresentMagnitude &&
        s.magnitude[j + kTwelfth] > kPresentMagnitude &&
        m * (1.0 / 3.0) > s.magnitude[j - kOctave] && m * (1.0 / 3.0) > s.magnitude[j - kTwelfth]) {
      best = m;
      candidate = j;
    }
  }

  int detected = 0;
  if (candidate > 0) {
    // The note below is refined too because a voice between two notes often peaks in the upper
    // one's coarse band; the note above keeps its single coarse magnitude.
    for (const int n : {candidate - 1, candidate})
      if (belowCeiling(s.frequency[n])) refine(tables, n);
    int top = 0;
    for (int n = candidate + 1; n >= candidate - 1; --n) {
      const int v = static_cast<int>(s.magnitude[n]);
      const int f = static_cast<int>(s.frequency[n]);
      if (v > top && f > 0 && f < static_cast<int>(kCeilingHz) && v > detectionThreshold) {
        top = v;
        detected = n;
      }
    }
  }

  FrameResult& r = s.result;
  if (detected <= 0) {
    r = FrameResult{};
    return;
  }
  r.DetectedNote = detected;
  r.DetectedPitchClass = (detected - 3) % 12;
  const auto& bands = s.subBand[detected];
  const auto found = std::find(bands.begin(), bands.end(), s.strongestFrequency[detected]);
  r.DetectedOffsetStep =
      found == bands.end() ? kNeverRefinedStep : static_cast<int>(found - bands.begin());
  r.DetectedOffset = static_cast<float>(r.DetectedOffsetStep * (1.0 / 12.0));
}

void PitchDetector::ProcessCaptureBuffer(const std::int16_t* samples) {
  State& s = *state_;
  const int previous = s.slot;
  const int next = previous + 1 == kHistorySlots ? 0 : previous + 1;
  std::int16_t* history = s.history.data();
  const int held = next % kHeldSlots;
  std::copy_n(samples, kBufferSamples, history + held * kBufferSamples);
  if (held == 0) std::copy_n(samples, kBufferSamples, history + kHeldSlots * kBufferSamples);
  s.slot = next;
  if (s.buffersSinceStart++ == 0) return;
  DetectPitch(history + (previous % kHeldSlots) * kBufferSamples);
}

void PitchDetector::resetBuffersSinceStart() {
  state_->buffersSinceStart = 0;
}

std::int64_t PitchDetector::buffersSinceStart() const {
  return state_->buffersSinceStart;
}

int PitchDetector::slotCounter() const {
  return state_->slot;
}

const std::int16_t* PitchDetector::historySlot(int slot) const {
  if (slot < 0 || slot > kHistorySlots) return nullptr;
  const bool mirror = slot == kHistorySlots;
  const int numbered = mirror ? 0 : slot;
  const int age = (state_->slot - numbered + kHistorySlots) % kHistorySlots;
  if (age >= kHeldSlots) return nullptr;
  const int held = mirror ? kHeldSlots : numbered % kHeldSlots;
  return state_->history.data() + held * kBufferSamples;
}

const FrameResult& PitchDetector::result() const {
  return state_->result;
}

float PitchDetector::noteFrequency(int note) const {
  return onGrid(note) ? state_->frequency[note] : 0.0f;
}

float PitchDetector::subBandFrequency(int note, int subBand) const {
  if (!onGrid(note) || subBand < 0 || subBand >= kSubBands) return 0.0f;
  return state_->subBand[note][subBand];
}

float PitchDetector::noteMagnitude(int note) const {
  return onGrid(note) ? state_->magnitude[note] : 0.0f;
}

float PitchDetector::strongestSubBandMagnitude(int note) const {
  return onGrid(note) ? state_->strongestMagnitude[note] : 0.0f;
}

float PitchDetector::strongestSubBandFrequency(int note) const {
  return onGrid(note) ? state_->strongestFrequency[note] : 0.0f;
}

float PitchDetector::subBandMagnitude(int note, int subBand) const {
  if (!onGrid(note) || subBand < 0 || subBand >= kSubBands) return 0.0f;
  return state_->subBandMagnitude[note][subBand];
}

}  // namespace auralis
