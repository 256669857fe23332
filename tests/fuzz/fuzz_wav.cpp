// Any bytes as a WAV file: the reader must return samples or an error, never read outside the
// input, and what it returns must survive a write and a second read unchanged.
#include <cstdlib>
#include <span>

#include "input/WavFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auralis::WavReadResult result = auralis::parseWav(std::span(data, size));
  if (!result.ok()) {
    if (!result.samples.empty()) std::abort();
    return 0;
  }
  if (result.samples.size() * 2 + 44 > size) std::abort();
  const std::vector<std::uint8_t> again = auralis::encodeWav(result.samples);
  const auralis::WavReadResult reread = auralis::parseWav(again);
  if (!reread.ok() || reread.samples != result.samples) std::abort();
  return 0;
}
