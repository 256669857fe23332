#include "input/CorrelatorKernels.h"

namespace auralis {

namespace kernels {

// Eight partial sums each keep the additions independent, which lets the compiler use vector
// registers.
void correlateRowsPortable(const double* samples, int count, const TermBlock* const* rows,
                           int rowCount, Correlation* sums) {
  const int wholeBlocks = count / kTermsPerBlock;
  for (int r = 0; r < rowCount; ++r) {
    std::array<double, kTermsPerBlock> re{};
    std::array<double, kTermsPerBlock> im{};
    for (int b = 0; b < wholeBlocks; ++b) {
      const TermBlock& block = rows[r][b];
      const double* x = samples + b * kTermsPerBlock;
      for (int k = 0; k < kTermsPerBlock; ++k) {
        re[k] += x[k] * static_cast<double>(block.cosine[k]);
        im[k] += x[k] * static_cast<double>(block.sine[k]);
      }
    }
    sums[r] = finishSums(re, im, samples, count, rows[r]);
  }
}

}  // namespace kernels

bool kernelAvailable(CorrelatorKernel kernel) {
  switch (kernel) {
    case CorrelatorKernel::Portable:
      return true;
    case CorrelatorKernel::Avx2Fma:
#if defined(__x86_64__) || defined(__i386__)
      return kernels::avx2FmaSupported();
#else
      return false;
#endif
  }
  return false;
}

CorrelatorKernel fastestKernel() {
  return kernelAvailable(CorrelatorKernel::Avx2Fma) ? CorrelatorKernel::Avx2Fma
                                                    : CorrelatorKernel::Portable;
}

void correlateRows(CorrelatorKernel kernel, const double* samples, int count,
                   const TermBlock* const* rows, int rowCount, Correlation* sums) {
#if defined(__x86_64__) || defined(__i386__)
  if (kernel == CorrelatorKernel::Avx2Fma) {
    kernels::correlateRowsAvx2Fma(samples, count, rows, rowCount, sums);
    return;
  }
#endif
  kernels::correlateRowsPortable(samples, count, rows, rowCount, sums);
}

}  // namespace auralis
