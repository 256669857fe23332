#pragma once

// libpulse's threaded main loop with one connection to the server on it, as the capture and the
// feedback sounds each keep one. Shared by the libpulse backends; not part of the library's
// interface.

#include <pulse/pulseaudio.h>

#include <chrono>

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

  // With the loop's lock held: waits, letting go of the lock meanwhile, until done() or the
  // deadline, and says whether done() holds. done() is looked at again each time a callback
  // signals the loop (pa_threaded_mainloop_signal), and at the deadline, by a timer on the loop.
  template <class Done>
  bool waitUntil(Done done, std::chrono::steady_clock::time_point deadline) {
    if (done()) return true;
    pa_time_event* timer = startTimer(deadline);
    if (timer == nullptr) return false;
    while (!done() && !timedOut_) pa_threaded_mainloop_wait(loop);
    pa_threaded_mainloop_get_api(loop)->time_free(timer);
    return done();
  }

 private:
  pa_time_event* startTimer(std::chrono::steady_clock::time_point deadline);
  static void onTimer(pa_mainloop_api*, pa_time_event*, const timeval*, void* self);

  bool timedOut_ = false;  // under the loop's lock
};

}  // namespace auralis::platform
