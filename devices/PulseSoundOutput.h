#pragma once

// Short sounds played on a PulseAudio (or PipeWire) server's default sink through libpulse
// itself, over one connection and one stream kept between sounds of the same format. The stream
// waits corked, and is handed a whole sound before it starts, so a sound neither waits for a
// device listing, a connection or a new stream's link to the sink, nor runs dry at its start.
// It is corked again only once the sink has played what it was given: a sink takes back, at
// once, whatever a corked or removed stream left in its queue, and the end of a short sound, or
// all of it, would go unheard. A stereo sound on a mono sink plays as the mean of its two sides,
// whichever server it is.

#include <chrono>
#include <memory>

namespace auralis::platform {

struct WaveSound;

class PulseSoundOutput {
 public:
  using Clock = std::chrono::steady_clock;

  enum class Outcome {
    Played,    // heard, or the deadline came first
    Failed,    // the server, the sink or the stream went while it played
    NoServer,  // no server answered, or it offers no sink: the sound may be played elsewhere
  };

  PulseSoundOutput();
  // Disconnects; waits for nothing the server does.
  ~PulseSoundOutput();
  PulseSoundOutput(const PulseSoundOutput&) = delete;
  PulseSoundOutput& operator=(const PulseSoundOutput&) = delete;

  // Plays the sound and returns once the sink has played it, or at the deadline. Connects first
  // when there is no connection, or the last one was lost: a server that comes back is found
  // again. Never starts a server.
  Outcome play(const WaveSound& sound, Clock::time_point deadline);

 private:
  struct Connection;
  std::unique_ptr<Connection> connection_;
};

}  // namespace auralis::platform
