#include "platform/MidiOutStream.h"

namespace auralis::platform {

static std::uint32_t littleEndianWord(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

StreamEvent eventAt(const MidiStreamHeader& header, int index) {
  const std::uint8_t* p = header.data + static_cast<std::size_t>(index) * 12;
  return {littleEndianWord(p), littleEndianWord(p + 4), littleEndianWord(p + 8)};
}

}  // namespace auralis::platform
