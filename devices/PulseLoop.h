#pragma once

// libpulse's threaded main loop with one connection to the server on it, as the capture and the
// feedback sounds each keep one. Shared by the libpulse backends; not part of the library's
// interface.

#include <pulse/pulseaudio.h>

namespace auralis::platform {

bool gone(pa_context_state_t state);
bool gone(pa_stream_state_t state);

struct PulseLoop {
  pa_threaded_mainloop* loop = nullptr;
  pa_context* context = nullptr;

  PulseLoop() = default;
  // Disconnects and stops the loop's thread: no callback of the context's runs afterwards.
  ~PulseLoop();
  PulseLoop(const PulseLoop&) = delete;
  PulseLoop& operator=(const PulseLoop&) = delete;

  // Makes the loop and the context, asks for a connection to the server that PULSE_SERVER (or the
  // user's configuration) names, never starting one, and starts the loop's thread. onState runs
  // there at each change of the connection's state. False when a step fails.
  bool connect(pa_context_notify_cb_t onState, void* userdata);
};

}  // namespace auralis::platform
