#pragma once

#include <cstdint>

namespace auralis {

// The program's own generator. It borrows the constants of the minimal standard generator but
// keeps a full 64-bit state that wraps around, so its sequence is its own.
struct Random {
  std::uint64_t RandomState = 0;

  // Returns 0 to n - 1. Callers pass n = 2147483647 and reduce the result themselves.
  int DrawRandom(int n);

  // Seeds from a fraction of a day, 0 <= dayFraction < 1.
  void SeedRandom(long double dayFraction);
};

inline constexpr int kDrawRange = 2147483647;

// Seeds from the local time of day.
void SeedRandomFromClock(Random& random);

}  // namespace auralis
