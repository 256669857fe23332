#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/SoundInput.h"

namespace auralis::platform {

// A scripted sound input. A test names the devices, can make the format query or the open fail,
// gives the samples the device "hears", and moves them into the queued buffers step by step.
// Buffers come back strictly in queue order, marked done, each with a data notice given on the
// calling thread. Every call is recorded.
class FakeSoundInput final : public SoundInput {
 public:
  explicit FakeSoundInput(bool callsOnDeviceThread = false) : onDeviceThread(callsOnDeviceThread) {}

  std::vector<std::string> devices = {"Fake Microphone"};
  bool refuseFormat = false;
  bool failOpen = false;
  // A lost device stays gone: reconnect() fails.
  bool stayGone = false;
  // The calls are treated as calls that may block: the program makes them on a device thread.
  const bool onDeviceThread;
  // With onDeviceThread: buffers may still be requeued on any thread, as a real device's may.
  bool requeueAtOnce = false;
  // The thread of every addBuffer call, in order.
  std::vector<std::thread::id> addThreads;
  // Runs as open, start, stop and close begin, and as the devices are listed ("list"), with the
  // call's name: a test may hold the call there, as a device that stalls would.
  std::function<void(const std::string& call)> onCall;

  // e.g. "query -1", "open 0", "prepare", "add", "unprepare", "start", "stop", "close",
  // "reconnect"
  std::vector<std::string> calls;
  // Uses that a device would reject or that would corrupt its queue, e.g. "add while queued".
  std::vector<std::string> misuses;

  std::vector<std::string> deviceNames() override {
    enter("list");
    return devices;
  }
  bool supportsFormat(int device, const WaveFormat& format) override;
  bool open(int device, const WaveFormat& format, DataFn onData) override;
  void prepare(CaptureHeader* header) override;
  void unprepare(CaptureHeader* header) override;
  void addBuffer(CaptureHeader* header) override;
  void start() override;
  // Returns the buffer being filled when it holds something, as the real backends do.
  void stop() override;
  // Returns every queued buffer marked done, without data notices.
  void close() override;
  bool isOpen() const override { return open_; }
  void setDeviceLostFn(LostFn onLost) override { onLost_ = std::move(onLost); }
  bool reconnect() override;
  bool callsMayBlock() const override { return onDeviceThread; }
  bool requeuesWithoutBlocking() const override { return !onDeviceThread || requeueAtOnce; }

  // The samples the microphone will hear from now on, from their start.
  void setSamples(std::vector<std::int16_t> samples);
  void rewind() { cursor_ = 0; }
  std::size_t samplesLeft() const { return source_.size() - cursor_; }

  // Moves up to `count` samples from the source into the queued buffers, returning each buffer
  // that fills. Samples that find no queued buffer are lost, as on a real device. Nothing moves
  // unless the device is open and started. Returns the number of samples taken from the source.
  std::size_t deliverSamples(std::size_t count);
  // Fills the buffer at the head of the queue and returns it; false when it could not be filled
  // (not capturing, nothing queued, or the source ran out part way).
  bool deliverBuffer();
  // Sound that goes by unheard, as it does while the device is stopped.
  void skipSamples(std::size_t count) { cursor_ += std::min(count, samplesLeft()); }
  // A data notice with no buffer returned, as a late notice of an earlier stream would be.
  void sendStrayNotice();
  // The device stops working, as an unplugged one does: capture ends and the lost notice given
  // at open time is told. Its buffers stay queued until the close, or until a reconnect brings
  // the device back.
  void loseDevice();

  int openDevice() const { return openDevice_; }
  bool started() const { return started_; }
  const std::deque<CaptureHeader*>& queue() const { return queue_; }
  std::size_t lostSamples() const { return lost_; }

 private:
  bool accepts(int device, const WaveFormat& format) const;
  void enter(const std::string& call);
  void returnHead();

  DataFn onData_;
  LostFn onLost_;
  LostFn openLost_;  // the notice in force when the device opened
  std::deque<CaptureHeader*> queue_;
  std::size_t filled_ = 0;  // samples already in the buffer at the head
  std::vector<std::int16_t> source_;
  std::size_t cursor_ = 0;
  std::size_t lost_ = 0;
  bool open_ = false;
  bool gone_ = false;  // lost since it opened; it cannot start again
  bool started_ = false;
  int openDevice_ = kNoSoundInput;
};

}  // namespace auralis::platform
