#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "devices/RtMidiInput.h"

namespace auralis::platform {
namespace {

TEST(MidiInputPacking, ShortMessagesPackLowByteFirstAndAllElseIsDropped) {
  struct Case {
    std::vector<unsigned char> bytes;
    std::uint32_t packed;
  };
  const std::array cases = {
      Case{{0x90, 60, 100}, 0x00643C90},  // note-on
      Case{{0x99, 36, 1}, 0x00012499},    // note-on, channel 10
      Case{{0x80, 60, 0}, 0x00003C80},    // note-off
      Case{{0xC3, 5}, 0x000005C3},        // program change: one data byte
      Case{{0xF8}, 0x000000F8},           // clock: no data byte
      Case{{}, 0},                        // nothing
      Case{{60, 100}, 0},                 // data without status
      Case{{0x90, 200, 1}, 0},            // a data byte with its top bit set
      Case{{0xF0, 1, 0xF7}, 0},           // system exclusive
      Case{{0x90, 60, 100, 1}, 0},        // too long
  };
  for (const Case& c : cases)
    EXPECT_EQ(packShortMessage(c.bytes.data(), c.bytes.size()), c.packed)
        << "message of " << c.bytes.size() << " bytes";
}

}  // namespace
}  // namespace auralis::platform
