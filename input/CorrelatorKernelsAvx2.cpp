#include "input/CorrelatorKernels.h"

#if defined(__x86_64__) || defined(__i386__)

#include <immintrin.h>

// Only the functions marked with this attribute use AVX2 and FMA, so the rest of the program
// runs on any x86-64 processor and this kernel is chosen at run time.
#define AURALIS_AVX2_FMA __attribute__((target("avx2,fma")))

namespace auralis::kernels {

namespace {

// Several rows share each load of the samples, and with three rows the twelve independent
// multiply-add chains keep both FMA units busy. Partial sums 0-3 of a row sit in one register
// and 4-7 in another, so each partial sum takes its terms in the same order as in the portable
// kernel.
template <int Rows>
AURALIS_AVX2_FMA void correlateGroup(const double* samples, int count, const TermBlock* const* rows,
                                     Correlation* sums) {
  __m256d re[Rows][2];
  __m256d im[Rows][2];
  for (int r = 0; r < Rows; ++r) re[r][0] = re[r][1] = im[r][0] = im[r][1] = _mm256_setzero_pd();
  const int wholeBlocks = count / kTermsPerBlock;
  for (int b = 0; b < wholeBlocks; ++b) {
    const __m256d low = _mm256_loadu_pd(samples + b * kTermsPerBlock);
    const __m256d high = _mm256_loadu_pd(samples + b * kTermsPerBlock + 4);
#pragma GCC unroll 4
    for (int r = 0; r < Rows; ++r) {
      const TermBlock& block = rows[r][b];
      re[r][0] = _mm256_fmadd_pd(low, _mm256_cvtps_pd(_mm_load_ps(&block.cosine[0])), re[r][0]);
      re[r][1] = _mm256_fmadd_pd(high, _mm256_cvtps_pd(_mm_load_ps(&block.cosine[4])), re[r][1]);
      im[r][0] = _mm256_fmadd_pd(low, _mm256_cvtps_pd(_mm_load_ps(&block.sine[0])), im[r][0]);
      im[r][1] = _mm256_fmadd_pd(high, _mm256_cvtps_pd(_mm_load_ps(&block.sine[4])), im[r][1]);
    }
  }
  for (int r = 0; r < Rows; ++r) {
    std::array<double, kTermsPerBlock> partialRe;
    std::array<double, kTermsPerBlock> partialIm;
    _mm256_storeu_pd(&partialRe[0], re[r][0]);
    _mm256_storeu_pd(&partialRe[4], re[r][1]);
    _mm256_storeu_pd(&partialIm[0], im[r][0]);
    _mm256_storeu_pd(&partialIm[4], im[r][1]);
    sums[r] = finishSums(partialRe, partialIm, samples, count, rows[r]);
  }
}

}  // namespace

bool avx2FmaSupported() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
}

AURALIS_AVX2_FMA void correlateRowsAvx2Fma(const double* samples, int count,
                                           const TermBlock* const* rows, int rowCount,
                                           Correlation* sums) {
  constexpr int kGroup = 3;
  int r = 0;
  for (; r + kGroup <= rowCount; r += kGroup)
    correlateGroup<kGroup>(samples, count, rows + r, sums + r);
  if (rowCount - r == 2) correlateGroup<2>(samples, count, rows + r, sums + r);
  if (rowCount - r == 1) correlateGroup<1>(samples, count, rows + r, sums + r);
}

}  // namespace auralis::kernels

#endif
