#pragma once

#include <array>

namespace auralis {

// A correlator table row is a run of blocks, each holding the cosine entries of eight
// consecutive terms and then their sine entries: one 64-byte line feeds both sums of eight terms.
inline constexpr int kTermsPerBlock = 8;

struct alignas(64) TermBlock {
  std::array<float, kTermsPerBlock> cosine;
  std::array<float, kTermsPerBlock> sine;
};

struct Correlation {
  double re;
  double im;
};

// The ways of summing a row: plain C++ for any processor, and AVX2 with FMA for x86-64
// processors that have both.
enum class CorrelatorKernel { Portable, Avx2Fma };

// Whether this build has the kernel and this processor can run it.
bool kernelAvailable(CorrelatorKernel kernel);
// The fastest available kernel.
CorrelatorKernel fastestKernel();

// For each of rowCount rows, the sums over terms t < count of samples[t] times the row's cosine
// and sine entries of term t, in double precision.
//
// Every kernel adds in the same order: eight partial sums, partial sum k taking the terms
// t = k (mod 8) of the whole blocks in term order; then the partial sums 0 to 7; then the terms
// of the last, partial block in order. A 16-bit sample times a float is exact in double, so fused
// and separate multiply-adds round alike, and every kernel gives the same sums to the last bit.
void correlateRows(CorrelatorKernel kernel, const double* samples, int count,
                   const TermBlock* const* rows, int rowCount, Correlation* sums);

namespace kernels {

void correlateRowsPortable(const double* samples, int count, const TermBlock* const* rows,
                           int rowCount, Correlation* sums);

#if defined(__x86_64__) || defined(__i386__)
bool avx2FmaSupported();
void correlateRowsAvx2Fma(const double* samples, int count, const TermBlock* const* rows,
                          int rowCount, Correlation* sums);
#endif

// The eight partial sums of the whole blocks added 0 to 7, then the terms of the last, partial
// block in order.
inline Correlation finishSums(const std::array<double, kTermsPerBlock>& re,
                              const std::array<double, kTermsPerBlock>& im, const double* samples,
                              int count, const TermBlock* row) {
  Correlation sum{0.0, 0.0};
  for (int k = 0; k < kTermsPerBlock; ++k) {
    sum.re += re[k];
    sum.im += im[k];
  }
  for (int t = count - count % kTermsPerBlock; t < count; ++t) {
    const TermBlock& block = row[t / kTermsPerBlock];
    sum.re += samples[t] * static_cast<double>(block.cosine[t % kTermsPerBlock]);
    sum.im += samples[t] * static_cast<double>(block.sine[t % kTermsPerBlock]);
  }
  return sum;
}

}  // namespace kernels

}  // namespace auralis
