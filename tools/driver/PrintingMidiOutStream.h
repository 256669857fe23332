#pragma once

#include <ostream>

#include "platform/FakeMidiOutStream.h"

namespace auralis::driver {

// The scripted MIDI output that also prints every phrase handed to it, as the user would hear
// it: "phrase 4: 0 90 3C 50 | 30 90 3C 00 | ...". A phrase ends only when the script says so.
class PrintingMidiOutStream : public platform::FakeMidiOutStream {
 public:
  explicit PrintingMidiOutStream(std::ostream& out) : out_(out) {}

  int out(platform::MidiStreamHeader* header) override;

 private:
  std::ostream& out_;
};

}  // namespace auralis::driver
