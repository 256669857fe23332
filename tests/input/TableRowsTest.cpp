#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

#include "input/TableRows.h"

namespace auralis {
namespace {

constexpr int kWindow = 2048;

// The row as the expressions themselves give it, term by term from the C library.
std::vector<TermBlock> directRow(double omega, int stride, int terms, const float* window) {
  std::vector<TermBlock> row((terms + kTermsPerBlock - 1) / kTermsPerBlock);
  for (int t = 0; t < terms; ++t) {
    const double phase = (t * stride) * omega;
    const double weight = window[t];
    row[t / kTermsPerBlock].cosine[t % kTermsPerBlock] =
        static_cast<float>(std::cos(phase) * weight);
    row[t / kTermsPerBlock].sine[t % kTermsPerBlock] =
        static_cast<float>(-std::sin(phase) * weight);
  }
  for (int t = terms; t < static_cast<int>(row.size()) * kTermsPerBlock; ++t) {
    row[t / kTermsPerBlock].cosine[t % kTermsPerBlock] = 0.0f;
    row[t / kTermsPerBlock].sine[t % kTermsPerBlock] = 0.0f;
  }
  return row;
}

std::vector<float> hannWindow(int stride, int terms) {
  std::vector<float> window(static_cast<std::size_t>(terms));
  for (int t = 0; t < terms; ++t)
    window[t] =
        static_cast<float>((1.0 - std::cos(2.0 * std::numbers::pi * (t * stride) / kWindow)) * 0.5);
  return window;
}

// Every entry, bit for bit, over frequencies from 20 Hz to the Nyquist limit (and the detector's
// own grid lies inside that span), at the stride the detector uses and at others.
TEST(TableRows, EveryEntryIsTheLibrarysValueToTheLastBit) {
  constexpr double kRate = 44100.0;
  for (int stride : {1, 2, 3, 7}) {
    SCOPED_TRACE("stride " + std::to_string(stride));
    const int terms = (kWindow + stride - 1) / stride;
    const std::vector<float> window = hannWindow(stride, terms);
    int differing = 0;
    // 1.003 apart: 1,900 frequencies, none on a round number.
    for (double hz = 20.0; hz < kRate / 2; hz *= 1.003) {
      const double omega = static_cast<double>(static_cast<float>(hz)) *
                           static_cast<double>(static_cast<float>(2.0 * std::numbers::pi / kRate));
      const std::vector<TermBlock> expected = directRow(omega, stride, terms, window.data());
      std::vector<TermBlock> row(expected.size());
      fillTableRow(omega, stride, terms, window.data(), row.data());
      for (std::size_t b = 0; b < row.size(); ++b) {
        for (int k = 0; k < kTermsPerBlock; ++k) {
          const bool same = std::bit_cast<std::uint32_t>(row[b].cosine[k]) ==
                                std::bit_cast<std::uint32_t>(expected[b].cosine[k]) &&
                            std::bit_cast<std::uint32_t>(row[b].sine[k]) ==
                                std::bit_cast<std::uint32_t>(expected[b].sine[k]);
          if (!same && ++differing <= 5)
            ADD_FAILURE() << hz << " Hz, term " << b * kTermsPerBlock + k << ": "
                          << row[b].cosine[k] << ", " << row[b].sine[k] << " instead of "
                          << expected[b].cosine[k] << ", " << expected[b].sine[k];
        }
      }
    }
    EXPECT_EQ(differing, 0);
  }
}

}  // namespace
}  // namespace auralis
