#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/MidiOutStream.h"

class RtMidiOut;

namespace auralis::platform {

class JackServerWatch;
class PhraseScheduler;

// The system's MIDI output ports (ALSA sequencer, or JACK where there is no sequencer) as the
// devices 0 .. n - 1, under their port names. A phrase is played by a scheduler thread at
// steady-clock deadlines; stop() sends a note-off for every note still sounding. A port on JACK
// is lost with its server, and reconnect() finds it again by its name once it is back.
class RtMidiOutStream final : public MidiOutStream {
 public:
  RtMidiOutStream();
  ~RtMidiOutStream() override;
  RtMidiOutStream(const RtMidiOutStream&) = delete;
  RtMidiOutStream& operator=(const RtMidiOutStream&) = delete;

  // Lists the ports afresh; the numbers given to open() refer to the latest list.
  int deviceCount() override;
  std::string deviceName(int device) override;
  int open(int device, DoneFn onDone) override;
  int setTimeDivision(int ticksPerQuarterNote) override;
  // Each phrase starts from its own time zero anyway.
  // Fails while a phrase plays, when no port is open and once the port is lost.
  int out(MidiStreamHeader* header) override;
  int stop() override;
  int close() override;
  int reconnect() override;

 private:
  int openPort();
  void send(std::uint32_t message);

  std::vector<std::string> portNames_;
  std::string openName_;  // the port asked for at the open, until the close
  // The scheduler's thread sends through the port while a reconnect replaces it.
  std::mutex portMutex_;
  std::unique_ptr<RtMidiOut> port_;
  std::unique_ptr<JackServerWatch> watch_;  // on JACK
  std::atomic<bool> portLost_{false};
  std::unique_ptr<PhraseScheduler> scheduler_;
  int ticksPerQuarter_ = 96;
};

}  // namespace auralis::platform
