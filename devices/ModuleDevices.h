#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "devices/DeviceModule.h"
#include "platform/FeedbackSoundPlayer.h"
#include "platform/MidiInput.h"
#include "platform/MidiOutStream.h"
#include "platform/SoundInput.h"

namespace auralis::platform {

// The system's devices for the program: each is made by the device module at its first call,
// which the program makes on a device thread. Until then nothing of the audio and MIDI libraries
// is loaded. Where the module cannot be loaded, there are no devices: the lists are empty and
// every open fails.
template <typename Device>
class ModuleDevice {
 public:
  explicit ModuleDevice(SystemDevice kind) : kind_(kind) {}
  // Null when the module could not be loaded.
  Device* get() const;

 private:
  SystemDevice kind_;
  mutable std::once_flag made_;
  mutable std::unique_ptr<Device> device_;
};

class ModuleMidiOut final : public MidiOutStream {
 public:
  int deviceCount() override;
  std::string deviceName(int device) override;
  int open(int device, DoneFn onDone) override;
  int setTimeDivision(int ticksPerQuarterNote) override;
  int out(MidiStreamHeader* header) override;
  int stop() override;
  int close() override;
  void setDeviceLostFn(LostFn onLost) override;
  int reconnect() override;

 private:
  ModuleDevice<MidiOutStream> device_{SystemDevice::MidiOut};
};

class ModuleSoundInput final : public SoundInput {
 public:
  std::vector<std::string> deviceNames() override;
  bool supportsFormat(int device, const WaveFormat& format) override;
  bool open(int device, const WaveFormat& format, DataFn onData) override;
  void prepare(CaptureHeader* header) override;
  void unprepare(CaptureHeader* header) override;
  void addBuffer(CaptureHeader* header) override;
  void start() override;
  void stop() override;
  void close() override;
  bool isOpen() const override;
  void setDeviceLostFn(LostFn onLost) override;
  bool reconnect() override;
  bool requeuesWithoutBlocking() const override;

 private:
  ModuleDevice<SoundInput> device_{SystemDevice::SoundInput};
};

class ModuleMidiInput final : public MidiInput {
 public:
  std::vector<std::string> deviceNames() override;
  int open(int device, MessageFn onMessage) override;
  int start() override;
  void stop() override;
  void close() override;
  bool isOpen() const override;
  void setDeviceLostFn(LostFn onLost) override;
  int reconnect() override;

 private:
  ModuleDevice<MidiInput> device_{SystemDevice::MidiInput};
};

class ModuleFeedbackSoundPlayer final : public FeedbackSoundPlayer {
 public:
  void playSync(const std::uint8_t* wave, std::size_t bytes) override;

 private:
  ModuleDevice<FeedbackSoundPlayer> device_{SystemDevice::FeedbackSounds};
};

}  // namespace auralis::platform
