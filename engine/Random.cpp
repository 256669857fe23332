#include "engine/Random.h"

#include <chrono>
#include <ctime>

namespace auralis {

int Random::DrawRandom(int n) {
  const std::uint64_t q = RandomState / 127773u;
  const std::uint64_t r = RandomState - q * 127773u;
  RandomState = 16807u * r - 2836u * q;
  if (RandomState == 0) RandomState = 2147483647u;
  const auto v = static_cast<std::int32_t>(static_cast<std::uint32_t>(RandomState));
  const std::int64_t magnitude = v < 0 ? -static_cast<std::int64_t>(v) : v;
  return static_cast<int>(magnitude % n);
}

void Random::SeedRandom(long double dayFraction) {
  RandomState = static_cast<std::uint64_t>(dayFraction * 2147483647.0L * 4294967295.0L);
}

void SeedRandomFromClock(Random& random) {
  using namespace std::chrono;
  const auto now = system_clock::now();
  const std::time_t seconds = system_clock::to_time_t(now);
  std::tm local{};
  localtime_r(&seconds, &local);
  const auto millis = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
  const long double msOfDay =
      ((local.tm_hour * 60.0L + local.tm_min) * 60.0L + local.tm_sec) * 1000.0L + millis;
  random.SeedRandom(msOfDay / 86400000.0L);
  // Exactly midnight would seed 0, from which every draw is 0.
  if (random.RandomState == 0) random.RandomState = 1;
}

}  // namespace auralis
