#pragma once

// Shared by the RtMidi backends' sources; not part of the library's interface.

#include <RtMidi.h>
#include <jack/jack.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "devices/MidiPortLister.h"

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

// The ports a device of the direction can use, as midiPortNames() of a fresh service lists them.
// On JACK a short-lived copy of this program lists them (see MidiPortLister.h); where no copy can
// be started, this process does. A copy that crashes or hangs lists none.
std::vector<std::string> listMidiPorts(MidiDirection direction);

// Where the port of that name is now: ports come and go, so their numbers move.
std::optional<unsigned int> findMidiPort(RtMidi& service, const std::string& name);

// Watches the JACK server through a client of its own. When the server goes, every JACK client of
// the process goes with it, and libjack frees them all as the process next opens a client (even
// one that finds no server): a port opened before must then never be called into again, nor
// closed. RtMidi does not tell that its server has gone; this does.
class JackServerWatch {
 public:
  using LostFn = std::function<void()>;

  // onLost runs once, on libjack's thread, when the server goes.
  explicit JackServerWatch(LostFn onLost);
  ~JackServerWatch();
  JackServerWatch(const JackServerWatch&) = delete;
  JackServerWatch& operator=(const JackServerWatch&) = delete;

  // False when no server answered at the start, and once it has gone.
  bool alive() const;

 private:
  static void onShutdown(jack_status_t code, const char* reason, void* self);

  LostFn onLost_;
  jack_client_t* client_ = nullptr;
  std::atomic<bool> gone_{false};
};

// Whether the JACK server of a port watched since its open has gone.
inline bool serverGone(const std::unique_ptr<JackServerWatch>& watch) {
  return watch != nullptr && !watch->alive();
}

// Keeps the RtMidi object of a port whose JACK server has gone for the rest of the run.
void keepUnclosed(const void* port);

// Longer than a JACK cycle at any period a desktop server uses.
inline constexpr std::chrono::milliseconds kJackCycleWait{50};

// Closes the port. One whose JACK server has gone is kept unclosed for the rest of the run
// instead: its client may already be freed. That costs a few kilobytes per port and server loss.
template <class Service>
void closeWatchedPort(std::unique_ptr<Service> port, std::unique_ptr<JackServerWatch>& watch) {
  if (port && serverGone(watch)) {
    keepUnclosed(port.release());
  } else if (port) {
    const bool jack = port->getCurrentApi() == RtMidi::UNIX_JACK;
    try {
      port->closePort();
    } catch (const std::exception&) {
      // The port is gone with its service.
    }
    // libjack's process thread may be inside a cycle that saw the port still open; the service
    // frees the buffer that cycle reads, so it goes only once such a cycle has ended.
    if (jack) std::this_thread::sleep_for(kJackCycleWait);
    port.reset();
  }
  watch.reset();
}

// Opens the port called name, under this program's port name own, through a fresh service. On
// JACK its server is watched from then on, and onLost runs once, on libjack's thread, when it
// goes. prepare readies the service before the port opens. False, with nothing held, when the
// port is not there or does not open.
template <class Service>
bool openWatchedPort(std::unique_ptr<Service>& port, std::unique_ptr<JackServerWatch>& watch,
                     const std::string& name, const std::string& own,
                     JackServerWatch::LostFn onLost,
                     const std::function<void(Service&)>& prepare = {}) {
  port = openMidiService<Service>();
  if (!port) return false;
  if (port->getCurrentApi() == RtMidi::UNIX_JACK)
    watch = std::make_unique<JackServerWatch>(std::move(onLost));
  bool opened = false;
  if (const std::optional<unsigned int> number =
          serverGone(watch) ? std::nullopt : findMidiPort(*port, name)) {
    try {
      if (prepare) prepare(*port);
      port->openPort(*number, own);
      opened = port->isPortOpen();
    } catch (const std::exception&) {
      // Not opened.
    }
  }
  if (!opened) closeWatchedPort(std::move(port), watch);
  return opened;
}

}  // namespace auralis::platform
