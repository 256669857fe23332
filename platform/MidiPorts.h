#pragma once

// Shared by the RtMidi backends' sources; not part of the library's interface.

#include <RtMidi.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace auralis::platform {

inline constexpr const char* kMidiClientName = "Auralis";

// Whether the service can be reached now: the ALSA sequencer opens, or a JACK server runs. It
// asks quietly; the first time in the process that a service is missing, one line on standard
// error says so and what follows from it.
bool midiServiceReachable(RtMidi::Api api);

// Opens the MIDI service on the ALSA sequencer, or on JACK where the sequencer is missing (no
// /dev/snd/seq). With neither there is none, which is not an error. A service is tried only once
// it is known to be there, since the library complains on standard error about one that is not;
// its later warnings are dropped, and failures show in the results of its calls.
template <class Service>
std::unique_ptr<Service> openMidiService() {
  for (RtMidi::Api api : {RtMidi::LINUX_ALSA, RtMidi::UNIX_JACK}) {
    if (!midiServiceReachable(api)) continue;
    try {
      auto service = std::make_unique<Service>(api, kMidiClientName);
      service->setErrorCallback([](RtMidiError::Type, const std::string&, void*) {});
      return service;
    } catch (const std::exception&) {
      // This service is missing; try the next.
    }
  }
  return nullptr;
}

// The service's port names in its order, leaving out this program's own; none without a
// service.
std::vector<std::string> midiPortNames(RtMidi* service);

// Where the port of that name is now: ports come and go, so their numbers move.
std::optional<unsigned int> findMidiPort(RtMidi& service, const std::string& name);

}  // namespace auralis::platform
