#include "tools/driver/PrintingMidiOutStream.h"

#include "tools/driver/EffectText.h"

namespace auralis::driver {

int PrintingMidiOutStream::out(platform::MidiStreamHeader* header) {
  const int result = FakeMidiOutStream::out(header);
  // A refused buffer is never heard.
  if (result == platform::kMidiOk) {
    const auto& events = phrases.back();
    out_ << "phrase " << eventsText(events.data(), static_cast<int>(events.size())) << '\n';
  }
  return result;
}

}  // namespace auralis::driver
