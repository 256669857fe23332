#pragma once

#include <memory>

#include "platform/SoundInput.h"

namespace auralis::platform {

// Sound input through RtAudio, on the first of PulseAudio, ALSA and JACK that has an input
// device. The device's callback copies into the queued buffers in queue order, marks each full
// one done and gives the data notice on the device's thread. Stop and start keep the device open
// with its queue; the stream to the audio server itself is held only while capturing. A device
// that fails while capturing (unplugged, audio server gone), or that cannot be reached again at
// a start, ends capture and gives the lost notice; reconnect() tries the same device on the same
// audio service again, or a later close and open try anew.
class RtAudioSoundInput final : public SoundInput {
 public:
  RtAudioSoundInput();
  ~RtAudioSoundInput() override;
  RtAudioSoundInput(const RtAudioSoundInput&) = delete;
  RtAudioSoundInput& operator=(const RtAudioSoundInput&) = delete;

  std::vector<std::string> deviceNames() override;
  bool supportsFormat(int device, const WaveFormat& format) override;
  bool open(int device, const WaveFormat& format, DataFn onData) override;
  void prepare(CaptureHeader* header) override;
  void unprepare(CaptureHeader* header) override;
  // A buffer that is not prepared, or one beyond the queue's sixteen places, is not queued.
  void addBuffer(CaptureHeader* header) override;
  void start() override;
  // The buffer being filled comes back only when it holds something.
  void stop() override;
  // The queued buffers come back marked done but without data notices, so that no notice of the
  // closed device can reach the program after a new one has opened.
  void close() override;
  bool isOpen() const override;
  // Takes effect at the next open.
  void setDeviceLostFn(LostFn onLost) override;
  // Reaches the device again; capture stays off until the next start.
  bool reconnect() override;
  // The queue's tail is the caller's, its head the stream's.
  bool requeuesWithoutBlocking() const override { return true; }

 private:
  class Stream;
  std::unique_ptr<Stream> stream_;
  LostFn onLost_;
};

}  // namespace auralis::platform
