#include "input/TableRows.h"

#include <cmath>

namespace auralis {

namespace {

// Terms between two starts from the library.
constexpr int kRestartEvery = 32;
// How far a rotated value may be from the library's, weighted or not: the two phases differ by
// their roundings (half a unit in the last place of a phase below 4096 each, 2.3e-13) and the
// rotation adds a few units of 1e-16 per step. Four times that sum.
constexpr double kLeeway = 2e-12;

// The float nearest to the value near which the exact one lies, when every value within the
// leeway rounds to the same float; otherwise the exact value's float.
template <class Exact>
float settled(double near, Exact exact) {
  const auto low = static_cast<float>(near - kLeeway);
  const auto high = static_cast<float>(near + kLeeway);
  return low == high ? low : static_cast<float>(exact());
}

}  // namespace

void fillTableRow(double omega, int stride, int terms, const float* window, TermBlock* row) {
  const double step = stride * omega;
  const double stepCos = std::cos(step);
  const double stepSin = std::sin(step);
  double cosine = 0.0;
  double sine = 0.0;
  for (int t = 0; t < terms; ++t) {
    const double phase = (t * stride) * omega;
    if (t % kRestartEvery == 0) {
      cosine = std::cos(phase);
      sine = std::sin(phase);
    } else {
      const double turned = cosine * stepCos - sine * stepSin;
      sine = sine * stepCos + cosine * stepSin;
      cosine = turned;
    }
    const double weight = window[t];
    TermBlock& block = row[t / kTermsPerBlock];
    block.cosine[t % kTermsPerBlock] =
        settled(cosine * weight, [&] { return std::cos(phase) * weight; });
    block.sine[t % kTermsPerBlock] =
        settled(-sine * weight, [&] { return -std::sin(phase) * weight; });
  }
  // The entries past the last term are never summed; zero keeps them defined.
  const int blocks = (terms + kTermsPerBlock - 1) / kTermsPerBlock;
  for (int t = terms; t < blocks * kTermsPerBlock; ++t) {
    row[t / kTermsPerBlock].cosine[t % kTermsPerBlock] = 0.0f;
    row[t / kTermsPerBlock].sine[t % kTermsPerBlock] = 0.0f;
  }
}

}  // namespace auralis
