#pragma once

// Shared by the RtAudio backends' sources; not part of the library's interface.

#include <RtAudio.h>

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace auralis::platform {

enum class AudioDirection { Input, Output };

// The audio library lists PulseAudio's devices through state that all its objects share, so two
// listings at once, on two devices' threads, can wait for each other for ever. Whatever lists,
// probes or opens a stream holds this lock (it may be taken again on the same thread). Starting,
// stopping and closing need not, so a stream that stalls holds up no other device.
std::unique_lock<std::recursive_mutex> lockAudioDevices();

// The audio service to use for a direction: the first of PulseAudio, ALSA and JACK that offers
// a device for it. A machine without sound hardware or sound server has none, which is not an
// error.
std::unique_ptr<RtAudio> openAudioService(AudioDirection direction);
// That one service, when it offers a device for the direction now.
std::unique_ptr<RtAudio> openAudioService(AudioDirection direction, RtAudio::Api api);

struct AudioDevice {
  unsigned int id;  // the service's device number
  std::string name;
};

// The service's devices for the direction, in the service's order.
std::vector<AudioDevice> audioDevices(RtAudio& service, AudioDirection direction);

// The service's device number for device -1 (the default) or 0 .. n - 1 of audioDevices().
std::optional<unsigned int> resolveAudioDevice(RtAudio& service, AudioDirection direction,
                                               int device);

// Closes the service's stream if one is open. A server that has gone leaves nothing to close: the
// stream's resources go with the service object.
void closeStreamOf(RtAudio& service);

// RtAudio reports a stream failure (the audio server gone, a device unplugged) to one plain
// function without user data, on the thread that met it. Each stream callback marks its own
// thread with its owner, so that a failure met there reaches that owner. Failures met on other
// threads come from calls whose results their callers check themselves, and are dropped.
class AudioStreamOwner {
 public:
  // Runs on the stream's thread.
  virtual void streamFailed() = 0;

 protected:
  ~AudioStreamOwner() = default;
};

void markStreamThread(AudioStreamOwner* owner);

// The error callback to hand to RtAudio::openStream.
void routeStreamError(RtAudioError::Type type, const std::string& text);

}  // namespace auralis::platform
