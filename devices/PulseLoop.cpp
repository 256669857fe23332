#include "devices/PulseLoop.h"

#include <algorithm>

namespace auralis::platform {

bool gone(pa_context_state_t state) {
  return state == PA_CONTEXT_FAILED || state == PA_CONTEXT_TERMINATED;
}

bool gone(pa_stream_state_t state) {
  return state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED;
}

PulseLoop::~PulseLoop() {
  if (loop == nullptr) return;
  pa_threaded_mainloop_lock(loop);
  if (context != nullptr) {
    pa_context_set_state_callback(context, nullptr, nullptr);
    pa_context_disconnect(context);
    pa_context_unref(context);
  }
  pa_threaded_mainloop_unlock(loop);
  pa_threaded_mainloop_stop(loop);
  pa_threaded_mainloop_free(loop);
}

bool PulseLoop::connect(pa_context_notify_cb_t onState, void* userdata) {
  loop = pa_threaded_mainloop_new();
  if (loop == nullptr) return false;
  context = pa_context_new(pa_threaded_mainloop_get_api(loop), "Auralis");
  if (context == nullptr) return false;
  pa_context_set_state_callback(context, onState, userdata);
  return pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0 &&
         pa_threaded_mainloop_start(loop) >= 0;
}

pa_time_event* PulseLoop::startTimer(std::chrono::steady_clock::time_point deadline) {
  timedOut_ = false;
  const auto left = std::chrono::duration_cast<std::chrono::microseconds>(
      deadline - std::chrono::steady_clock::now());
  const auto wait =
      static_cast<pa_usec_t>(std::max<std::chrono::microseconds::rep>(left.count(), 0));
  return pa_context_rttime_new(context, pa_rtclock_now() + wait, &onTimer, this);
}

void PulseLoop::onTimer(pa_mainloop_api*, pa_time_event*, const timeval*, void* self) {
  auto* pulse = static_cast<PulseLoop*>(self);
  pulse->timedOut_ = true;
  pa_threaded_mainloop_signal(pulse->loop, 0);
}

}  // namespace auralis::platform
