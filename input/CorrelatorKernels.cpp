#include "input/CorrelatorKernels.h"

namespace auralis {

namespace kernels {

namespace {

using Entries = std::array<float, kTermsPerBlock> TermBlock::*;

// The eight partial sums over one kind of entries of a row. Eight independent sums let the
// compiler use vector registers, and summing the cosine and the sine entries in separate passes
// keeps all eight in registers.
template <Entries entries>
std::array<double, kTermsPerBlock> partialSums(const double* samples, int wholeBlocks,
                                               const TermBlock* row) {
  std::array<double, kTermsPerBlock> sums{};
  for (int b = 0; b < wholeBlocks; ++b) {
    const std::array<float, kTermsPerBlock>& entry = row[b].*entries;
    const double* x = samples + b * kTermsPerBlock;
    for (int k = 0; k < kTermsPerBlock; ++k) sums[k] += x[k] * static_cast<double>(entry[k]);
  }
  return sums;
}

}  // namespace

void correlateRowsPortable(const double* samples, int count, const TermBlock* const* rows,
                           int rowCount, Correlation* sums) {
  const int wholeBlocks = count / kTermsPerBlock;
  for (int r = 0; r < rowCount; ++r)
    sums[r] = finishSums(partialSums<&TermBlock::cosine>(samples, wholeBlocks, rows[r]),
                         partialSums<&TermBlock::sine>(samples, wholeBlocks, rows[r]), samples,
                         count, rows[r]);
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

void correlateRows([[maybe_unused]] CorrelatorKernel kernel, const double* samples, int count,
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
