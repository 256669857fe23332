// Synthesises the four feedback sounds and writes them as RIFF WAVE files into one folder:
//   auralis-make-sounds <folder>
// The output depends on nothing but this file, so running it again gives the same bytes.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <numbers>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "SoundingLevel.h"

using auralis::soundingRms;

namespace {

constexpr int kSampleRate = 22050;

// One partial of a voice: its frequency as a multiple of the note's, and its amplitude.
struct Partial {
  double ratio;
  double amplitude;
};

// The colour and shape of a note. Times are in seconds; decay is the exponential fall per
// second after the attack. The release fades the note to silence at its end, so no note
// stops on a click unless the voice asks for a short release.
struct Voice {
  std::span<const Partial> partials;
  double attack;
  double decay;
  double release;
};

struct Note {
  double start;   // seconds
  double length;  // seconds
  double frequency;
  double pan;  // -1 left .. 1 right; ignored in mono
};

struct Sound {
  const char* fileName;
  double seconds;
  int channels;
  double level;  // sounding RMS of the channels' mean, in dBFS
  Voice voice;
  std::span<const Note> notes;
};

// Where the built-in synthesiser's question notes sit at the default volume (velocity 80): from
// about -32 dBFS low on the keyboard to -25 dBFS two octaves above middle C. The feedback sounds
// sit in the middle, so that neither drowns the other.
constexpr double kFeedbackLevel = -28.5;
constexpr double kClipLevel = 0.9;  // of full scale; no sample may reach further

std::size_t frameCount(double seconds) {
  return static_cast<std::size_t>(seconds * kSampleRate);
}

double envelope(const Voice& voice, double t, double length) {
  const double attack = t < voice.attack ? t / voice.attack : 1.0;
  const double release = std::min(1.0, (length - t) / voice.release);
  return attack * release * std::exp(-voice.decay * t);
}

// Mixes the notes into interleaved channels of floating-point samples.
std::vector<double> render(const Sound& sound) {
  const auto channels = static_cast<std::size_t>(sound.channels);
  std::vector<double> mix(frameCount(sound.seconds) * channels, 0.0);
  for (const Note& note : sound.notes) {
    // Equal-power panning keeps a note equally loud wherever it sits.
    const double angle = (note.pan + 1.0) * std::numbers::pi / 4.0;
    const std::array<double, 2> gains =
        channels == 1 ? std::array<double, 2>{1.0, 0.0}
                      : std::array<double, 2>{std::cos(angle), std::sin(angle)};
    const std::size_t first = frameCount(note.start);
    const std::size_t last = std::min(frameCount(note.start + note.length), mix.size() / channels);
    for (std::size_t frame = first; frame < last; ++frame) {
      const double t = static_cast<double>(frame - first) / kSampleRate;
      double value = 0.0;
      for (const Partial& partial : sound.voice.partials) {
        value += partial.amplitude *
                 std::sin(2.0 * std::numbers::pi * note.frequency * partial.ratio * t);
      }
      value *= envelope(sound.voice, t, note.length);
      for (std::size_t channel = 0; channel < channels; ++channel) {
        mix[frame * channels + channel] += value * gains[channel];
      }
    }
  }
  return mix;
}

// The mean of the channels, as a mono output plays them.
std::vector<double> monoMix(const std::vector<double>& mix, int channels) {
  const auto width = static_cast<std::size_t>(channels);
  std::vector<double> mono;
  for (std::size_t frame = 0; frame + width <= mix.size(); frame += width) {
    double sum = 0.0;
    for (std::size_t c = 0; c < width; ++c) sum += mix[frame + c];
    mono.push_back(sum / channels);
  }
  return mono;
}

// Scales the mix to its sounding level, in 16-bit samples; none when a sample would pass the
// clipping limit.
std::optional<std::vector<std::int16_t>> toPcm16(const std::vector<double>& mix, int channels,
                                                 double levelDbfs) {
  const std::vector<double> mono = monoMix(mix, channels);
  const double rms = soundingRms(std::span<const double>(mono));
  const double scale = rms > 0.0 ? std::pow(10.0, levelDbfs / 20.0) * 32768.0 / rms : 0.0;
  double peak = 0.0;
  for (double value : mix) peak = std::max(peak, std::abs(value) * scale);
  if (peak > kClipLevel * 32767.0) return std::nullopt;
  std::vector<std::int16_t> pcm;
  pcm.reserve(mix.size());
  for (double value : mix) pcm.push_back(static_cast<std::int16_t>(std::lround(value * scale)));
  return pcm;
}

void putLittleEndian(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void putTag(std::vector<std::uint8_t>& out, const char (&tag)[5]) {
  out.insert(out.end(), tag, tag + 4);
}

// A canonical file: the RIFF header, a 16-byte PCM "fmt " chunk and the "data" chunk.
std::vector<std::uint8_t> waveFile(const std::vector<std::int16_t>& pcm, int channels) {
  const auto dataBytes = static_cast<std::uint32_t>(pcm.size() * 2);
  const auto blockAlign = static_cast<std::uint32_t>(channels * 2);
  std::vector<std::uint8_t> out;
  putTag(out, "RIFF");
  putLittleEndian(out, 36 + dataBytes, 4);
  putTag(out, "WAVE");
  putTag(out, "fmt ");
  putLittleEndian(out, 16, 4);
  putLittleEndian(out, 1, 2);  // PCM
  putLittleEndian(out, static_cast<std::uint32_t>(channels), 2);
  putLittleEndian(out, kSampleRate, 4);
  putLittleEndian(out, kSampleRate * blockAlign, 4);
  putLittleEndian(out, blockAlign, 2);
  putLittleEndian(out, 16, 2);
  putTag(out, "data");
  putLittleEndian(out, dataBytes, 4);
  for (std::int16_t sample : pcm) putLittleEndian(out, static_cast<std::uint16_t>(sample), 2);
  return out;
}

// Equal-tempered frequencies of the notes used below.
constexpr double kC3 = 130.81, kFSharp3 = 185.00, kC4 = 261.63, kEFlat4 = 311.13, kG4 = 392.00;
constexpr double kC5 = 523.25, kE5 = 659.26, kG5 = 783.99, kC6 = 1046.50;

// A dry wooden tap: two inharmonic partials that die within a few milliseconds. The sudden
// start is the click; the tail still fades to silence.
constexpr Partial kTap[] = {{1.0, 1.0}, {2.76, 0.45}};
constexpr Note kCorrectNotes[] = {{0.0, 0.013, 1500.0, 0.0}};

// A low buzz falling by a tritone: odd harmonics give it the hollow, reedy edge of a square
// wave without aliasing.
constexpr Partial kBuzz[] = {
    {1.0, 1.0}, {3.0, 1.0 / 3.0}, {5.0, 1.0 / 5.0}, {7.0, 1.0 / 7.0}, {9.0, 1.0 / 9.0}};
constexpr Note kIncorrectNotes[] = {{0.0, 0.165, kFSharp3, 0.0}, {0.175, 0.215, kC3, 0.0}};

// A bright major arpeggio rising to the octave and ringing on, moving from left to right.
constexpr Partial kBell[] = {{1.0, 1.0}, {2.0, 0.35}, {3.0, 0.12}, {4.0, 0.05}};
constexpr Note kPromoteNotes[] = {
    {0.0, 0.63, kC5, -0.6}, {0.1, 0.53, kE5, -0.2}, {0.2, 0.43, kG5, 0.2}, {0.3, 0.33, kC6, 0.6}};

// A soft minor figure falling to the tonic.
constexpr Partial kFlute[] = {{1.0, 1.0}, {2.0, 0.2}, {3.0, 1.0 / 9.0}, {5.0, 1.0 / 25.0}};
constexpr Note kDemoteNotes[] = {
    {0.0, 0.15, kG4, 0.0}, {0.15, 0.15, kEFlat4, 0.0}, {0.3, 0.21, kC4, 0.0}};

// clang-format off
constexpr Sound kSounds[] = {
    // file           seconds channels level           voice: partials attack  decay  release  notes
    {"correct.wav",   0.013,  1,       kFeedbackLevel, {kTap,   0.0003, 300.0, 0.004},  kCorrectNotes},
    {"incorrect.wav", 0.39,   1,       kFeedbackLevel, {kBuzz,  0.005,  2.0,   0.025},  kIncorrectNotes},
    {"promote.wav",   0.63,   2,       kFeedbackLevel, {kBell,  0.003,  2.5,   0.08},   kPromoteNotes},
    {"demote.wav",    0.51,   1,       kFeedbackLevel, {kFlute, 0.004,  3.0,   0.03},   kDemoteNotes},
};
// clang-format on

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: auralis-make-sounds <folder>\n";
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) {
    std::cerr << "cannot create " << folder << ": " << error.message() << '\n';
    return 1;
  }
  for (const Sound& sound : kSounds) {
    const std::optional<std::vector<std::int16_t>> pcm =
        toPcm16(render(sound), sound.channels, sound.level);
    if (!pcm) {
      std::cerr << sound.fileName << " would clip at its level\n";
      return 1;
    }
    const std::vector<std::uint8_t> bytes = waveFile(*pcm, sound.channels);
    const std::filesystem::path path = folder / sound.fileName;
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    if (!file.flush()) {
      std::cerr << "cannot write " << path << '\n';
      return 1;
    }
  }
  return 0;
}
