#include "devices/AudioDevices.h"

#include <algorithm>
#include <array>
#include <chrono>

#include "devices/PulseDevices.h"
#include "devices/SoundLibraries.h"

namespace auralis::platform {

namespace {

constexpr std::array kServiceOrder = {RtAudio::LINUX_PULSE, RtAudio::LINUX_ALSA,
                                      RtAudio::UNIX_JACK};

// A server that has not answered by then would hold up the audio library's listing for ever.
constexpr std::chrono::seconds kPulseAnswerTime{2};

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

// The audio library's PulseAudio listing, which every open of a stream repeats, ends the process
// on an answer it cannot read; such a server is not used.
bool audioLibraryMayAsk(RtAudio::Api api) {
  if (api != RtAudio::LINUX_PULSE) return true;
  const std::optional<PulseServerDevices> devices = listPulseDevices(kPulseAnswerTime);
  return devices && audioLibraryCanList(*devices);
}

// The audio library names a PulseAudio device by its "device.description" property, which
// PipeWire gives a sink's monitor unchanged, so that the monitor reads like its sink. Where the
// name is one device's of the direction, that device is shown as the server describes it
// ("Monitor of ..."), as the server's other programs show it.
std::string shownName(const std::string& libraryName,
                      const std::optional<PulseServerDevices>& server, AudioDirection direction) {
  if (!server) return libraryName;
  const std::vector<PulseDevice>& devices =
      direction == AudioDirection::Input ? server->sources : server->sinks;
  const PulseDevice* match = nullptr;
  for (const PulseDevice& device : devices) {
    if (device.libraryName != libraryName) continue;
    if (match != nullptr) return libraryName;
    match = &device;
  }
  return match != nullptr && !match->description.empty() ? match->description : libraryName;
}

struct OfferedDevice {
  unsigned int id;
  std::string libraryName;
  bool isDefault;  // the server's default of the direction
};

// The devices of the direction in the service's order, without the server's descriptions: only
// the menus show names, and asking the server for them, or for its default device apart from
// the listing, costs every stream's opening another exchange with the server.
std::vector<OfferedDevice> offeredDevices(RtAudio& service, AudioDirection direction) {
  std::vector<OfferedDevice> devices;
  const unsigned int count = service.getDeviceCount();
  for (unsigned int id = 0; id < count; ++id) {
    try {
      const RtAudio::DeviceInfo info = service.getDeviceInfo(id);
      if (offers(info, direction))
        devices.push_back(
            {id, info.name,
             direction == AudioDirection::Input ? info.isDefaultInput : info.isDefaultOutput});
    } catch (const std::exception&) {
      // A device that cannot be probed is not offered.
    }
  }
  return devices;
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
  if (!audioLibraryMayAsk(api)) return nullptr;
  try {
    auto service = std::make_unique<RtAudio>(api);
    service->showWarnings(false);
    if (!offeredDevices(*service, direction).empty()) return service;
  } catch (const std::exception&) {
    // The service is missing.
  }
  return nullptr;
}

std::vector<AudioDevice> audioDevices(RtAudio& service, AudioDirection direction) {
  const auto lock = lockAudioDevices();
  const std::optional<PulseServerDevices> server = service.getCurrentApi() == RtAudio::LINUX_PULSE
                                                       ? listPulseDevices(kPulseAnswerTime)
                                                       : std::nullopt;
  std::vector<AudioDevice> devices;
  for (const OfferedDevice& device : offeredDevices(service, direction))
    devices.push_back({device.id, shownName(device.libraryName, server, direction)});
  return devices;
}

std::optional<unsigned int> resolveAudioDevice(RtAudio& service, AudioDirection direction,
                                               int device) {
  const auto lock = lockAudioDevices();
  const std::vector<OfferedDevice> devices = offeredDevices(service, direction);
  if (device == -1) {
    for (const OfferedDevice& d : devices)
      if (d.isDefault) return d.id;
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
