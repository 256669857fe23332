#include "input/PitchDetector.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace auralis {

namespace {

constexpr int kTableEntries = kDetectorNotes * kSubBands * kWindowSamples;
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

std::size_t rowOffset(int note, int subBand) {
  return (static_cast<std::size_t>(note) * kSubBands + static_cast<std::size_t>(subBand)) *
         kWindowSamples;
}

// Each table row holds every third sample from 0, then every third from 1, then from 2. The
// correlators read every third sample, so at that stride a row is read straight through and
// the tables they touch in one frame stay in cache.
constexpr int kLayoutStride = 3;
constexpr int kLayoutRun = (kWindowSamples + kLayoutStride - 1) / kLayoutStride;  // 683

std::size_t rowPosition(int n) {
  return static_cast<std::size_t>((n % kLayoutStride) * kLayoutRun + n / kLayoutStride);
}

// Takes every stride-th sample once per frame, so the correlators multiply doubles only.
int widenSamples(const std::int16_t* window, int stride, double* out) {
  int count = 0;
  for (int n = 0; n < kWindowSamples; n += stride) out[count++] = window[n];
  return count;
}

struct Correlation {
  double re;
  double im;
};

// Sums of the sample-by-table products in double. Eight partial sums each keep the additions
// independent, which lets the compiler use vector registers.
Correlation correlate(const double* samples, int count, const float* cosine, const float* sine) {
  constexpr int kLanes = 8;
  std::array<double, kLanes> re{};
  std::array<double, kLanes> im{};
  int t = 0;
  for (; t + kLanes <= count; t += kLanes) {
    for (int k = 0; k < kLanes; ++k) {
      re[k] += samples[t + k] * static_cast<double>(cosine[t + k]);
      im[k] += samples[t + k] * static_cast<double>(sine[t + k]);
    }
  }
  Correlation sum{0.0, 0.0};
  for (int k = 0; k < kLanes; ++k) {
    sum.re += re[k];
    sum.im += im[k];
  }
  for (; t < count; ++t) {
    sum.re += samples[t] * static_cast<double>(cosine[t]);
    sum.im += samples[t] * static_cast<double>(sine[t]);
  }
  return sum;
}

}  // namespace

struct PitchDetector::Tables {
  std::array<float, kWindowSamples> window;
  std::array<float, kTableEntries> cosine;  // cos(n w) x window, by note, sub-band, sample
  std::array<float, kTableEntries> sine;    // -sin(n w) x window, in the same layout
};

struct PitchDetector::State {
  std::array<float, kDetectorNotes> frequency{};
  std::array<std::array<float, kSubBands>, kDetectorNotes> subBand{};

  std::array<float, kDetectorNotes> magnitude{};
  std::array<float, kDetectorNotes> strongestMagnitude{};
  std::array<float, kDetectorNotes> strongestFrequency{};
  std::array<std::array<float, kSubBands>, kDetectorNotes> subBandMagnitude{};
  FrameResult result;

  // One spare slot after the last mirrors slot 0, so a window that starts in the last slot
  // reads on without a seam.
  std::array<std::int16_t, (kHistorySlots + 1) * kBufferSamples> history{};
  int slot = 0;
  std::int64_t buffersSinceStart = 0;

  std::array<double, kWindowSamples> widened{};
};

PitchDetector::PitchDetector() : state_(std::make_unique<State>()) {
  State& s = *state_;
  const double twelfth = 1.0 / 12.0;
  const double halfStep = std::pow(2.0, 1.0 / 24.0);
  for (int i = 0; i < kDetectorNotes; ++i) {
    const float frequency = static_cast<float>(std::pow(2.0, i * twelfth) * kBaseFrequency);
    s.frequency[i] = frequency;
    for (int j = 0; j < kSubBands; ++j)
      s.subBand[i][j] =
          static_cast<float>(frequency / halfStep * std::pow(2.0, j * twelfth * twelfth));
  }
}

PitchDetector::~PitchDetector() = default;

bool PitchDetector::tablesBuilt() const {
  return tables_ != nullptr;
}

std::size_t PitchDetector::tableBytes() const {
  return tables_ ? sizeof(Tables) : 0;
}

void PitchDetector::BuildDetectorTables() {
  if (tables_) return;
  // Left uninitialised on purpose: every entry is written below, and zeroing 21 MB first would
  // only lengthen the start-up pause.
  std::unique_ptr<Tables> tables(new Tables);
  const float k = static_cast<float>(2.0 * std::numbers::pi / kSampleRate);
  for (int n = 0; n < kWindowSamples; ++n)
    tables->window[n] =
        static_cast<float>((1.0 - std::cos(2.0 * std::numbers::pi * n / kWindowSamples)) * 0.5);
  for (int i = 0; i < kDetectorNotes; ++i) {
    for (int j = 0; j < kSubBands; ++j) {
      const double omega = static_cast<double>(state_->subBand[i][j]) * static_cast<double>(k);
      float* cosine = tables->cosine.data() + rowOffset(i, j);
      float* sine = tables->sine.data() + rowOffset(i, j);
      for (int n = 0; n < kWindowSamples; ++n) {
        const double phase = n * omega;
        const double window = tables->window[n];
        cosine[rowPosition(n)] = static_cast<float>(std::cos(phase) * window);
        sine[rowPosition(n)] = static_cast<float>(-std::sin(phase) * window);
      }
    }
  }
  tables_ = std::move(tables);
}

int PitchDetector::effectiveStride() const {
  return std::clamp(DetectorStride, 1, kWindowSamples);
}

double PitchDetector::correlatorMagnitude(const double* samples, int count, int stride, int note,
                                          int subBand) const {
  const float* cosine = tables_->cosine.data() + rowOffset(note, subBand);
  const float* sine = tables_->sine.data() + rowOffset(note, subBand);
  Correlation sum;
  if (stride == kLayoutStride) {
    sum = correlate(samples, count, cosine, sine);
  } else {
    // Any other stride gathers its entries into order first; only tests use other strides.
    std::array<float, kWindowSamples> cosineTerms;
    std::array<float, kWindowSamples> sineTerms;
    for (int t = 0; t < count; ++t) {
      cosineTerms[t] = cosine[rowPosition(t * stride)];
      sineTerms[t] = sine[rowPosition(t * stride)];
    }
    sum = correlate(samples, count, cosineTerms.data(), sineTerms.data());
  }
  const double divisor = kWindowSamples / stride;
  const double re = sum.re / divisor;
  const double im = sum.im / divisor;
  const double power = re * re + im * im;
  return power > 0 ? std::sqrt(power) : 0.0;
}

double PitchDetector::BandMagnitude(const std::int16_t* window, int note, int subBand) const {
  if (!tables_ || !onGrid(note) || subBand < 0 || subBand >= kSubBands) return 0.0;
  std::array<double, kWindowSamples> widened;
  const int stride = effectiveStride();
  const int count = widenSamples(window, stride, widened.data());
  return correlatorMagnitude(widened.data(), count, stride, note, subBand);
}

void PitchDetector::refine(int note, int count, int stride) {
  State& s = *state_;
  s.magnitude[note] = 0.0f;
  double largest = 0.0;
  float strongest = 0.0f;
  for (int j = 0; j < kSubBands; ++j) {
    const double m = correlatorMagnitude(s.widened.data(), count, stride, note, j);
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
  const int stride = effectiveStride();
  const int count = widenSamples(window, stride, s.widened.data());

  for (int i = 0; i < kDetectorNotes; ++i)
    if (belowCeiling(s.frequency[i]))
      s.magnitude[i] = static_cast<float>(
          correlatorMagnitude(s.widened.data(), count, stride, i, kNominalSubBand));

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
      if (belowCeiling(s.frequency[n])) refine(n, count, stride);
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
  std::copy_n(samples, kBufferSamples, history + next * kBufferSamples);
  if (next == 0) std::copy_n(samples, kBufferSamples, history + kHistorySlots * kBufferSamples);
  s.slot = next;
  if (s.buffersSinceStart++ == 0) return;
  DetectPitch(history + previous * kBufferSamples);
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
  return state_->history.data() + slot * kBufferSamples;
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
