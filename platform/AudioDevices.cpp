#include "platform/AudioDevices.h"

#include <algorithm>
#include <array>

#include "platform/SoundLibraries.h"

namespace auralis::platform {

namespace {

constexpr std::array kServiceOrder = {RtAudio::LINUX_PULSE, RtAudio::LINUX_ALSA,
                                      RtAudio::UNIX_JACK};

thread_local AudioStreamOwner* streamThreadOwner = nullptr;

bool offers(const RtAudio::DeviceInfo& info, AudioDirection direction) {
  if (!info.probed) return false;
  return direction == AudioDirection::Input ? info.inputChannels > 0 : info.outputChannels > 0;
}

bool compiledIn(RtAudio::Api api) {
  std::vector<RtAudio::Api> apis;
  RtAudio::getCompiledApi(apis);
  return std::find(apis.begin(), apis.end(), api) != apis.end();
}

}  // namespace

std::unique_lock<std::recursive_mutex> lockAudioDevices() {
  static std::recursive_mutex listing;
  return std::unique_lock(listing);
}

std::unique_ptr<RtAudio> openAudioService(AudioDirection direction) {
  for (RtAudio::Api api : kServiceOrder)
    if (auto service = openAudioService(direction, api)) return service;
  return nullptr;
}

std::unique_ptr<RtAudio> openAudioService(AudioDirection direction, RtAudio::Api api) {
  silenceSoundLibraries();
  if (!compiledIn(api)) return nullptr;
  const auto lock = lockAudioDevices();
  try {
    auto service = std::make_unique<RtAudio>(api);
    service->showWarnings(false);
    if (!audioDevices(*service, direction).empty()) return service;
  } catch (const std::exception&) {
    // The service is missing.
  }
  return nullptr;
}

std::vector<AudioDevice> audioDevices(RtAudio& service, AudioDirection direction) {
  const auto lock = lockAudioDevices();
  std::vector<AudioDevice> devices;
  const unsigned int count = service.getDeviceCount();
  for (unsigned int id = 0; id < count; ++id) {
    try {
      const RtAudio::DeviceInfo info = service.getDeviceInfo(id);
      if (offers(info, direction)) devices.push_back({id, info.name});
    } catch (const std::exception&) {
      // A device that cannot be probed is not offered.
    }
  }
  return devices;
}

std::optional<unsigned int> resolveAudioDevice(RtAudio& service, AudioDirection direction,
                                               int device) {
  const auto lock = lockAudioDevices();
  const std::vector<AudioDevice> devices = audioDevices(service, direction);
  if (device == -1) {
    const unsigned int preferred = direction == AudioDirection::Input
                                       ? service.getDefaultInputDevice()
                                       : service.getDefaultOutputDevice();
    for (const AudioDevice& d : devices)
      if (d.id == preferred) return d.id;
    // The service names no usable default: its first device serves.
    if (!devices.empty()) return devices.front().id;
    return std::nullopt;
  }
  if (device < 0 || device >= static_cast<int>(devices.size())) return std::nullopt;
  return devices[static_cast<std::size_t>(device)].id;
}

void closeStreamOf(RtAudio& service) {
  try {
    if (service.isStreamOpen()) service.closeStream();
  } catch (const std::exception&) {
    // The server is gone.
  }
}

void markStreamThread(AudioStreamOwner* owner) {
  streamThreadOwner = owner;
}

void routeStreamError(RtAudioError::Type, const std::string&) {
  if (streamThreadOwner != nullptr) streamThreadOwner->streamFailed();
}

}  // namespace auralis::platform
