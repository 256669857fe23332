#pragma once

#include <cmath>
#include <span>

namespace auralis {

// How loud a sound is heard: the RMS of the stretch that holds the middle 90 % of its energy, from
// where 5 % has passed to where 95 % has. The silence around a sound and its faint tail do not
// count, however short the sound. In the samples' own unit; 0 for silence.
template <class Sample>
double soundingRms(std::span<const Sample> samples) {
  double total = 0.0;
  for (Sample value : samples) total += static_cast<double>(value) * static_cast<double>(value);
  double energy = 0.0;
  double startEnergy = 0.0;
  std::size_t start = 0;
  for (std::size_t i = 0; i < samples.size(); ++i) {
    if (energy < 0.05 * total) {
      start = i;
      startEnergy = energy;
    }
    const auto value = static_cast<double>(samples[i]);
    energy += value * value;
    if (total > 0.0 && energy >= 0.95 * total)
      return std::sqrt((energy - startEnergy) / static_cast<double>(i + 1 - start));
  }
  return 0.0;
}

}  // namespace auralis
