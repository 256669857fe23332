#include "devices/MidiPorts.h"

#include <alsa/asoundlib.h>
#include <jack/jack.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <string_view>

#include "devices/SoundLibraries.h"

namespace auralis::platform {

namespace {

bool alsaSequencerOpens() {
  snd_seq_t* sequencer = nullptr;
  if (snd_seq_open(&sequencer, "default", SND_SEQ_OPEN_DUPLEX, SND_SEQ_NONBLOCK) < 0) return false;
  snd_seq_close(sequencer);
  return true;
}

// Long enough for a copy of the program to start and list on a busy machine; one that takes
// longer is stuck with its server.
constexpr std::chrono::seconds kListerWait{10};

// Opening a JACK client takes as long as the listing itself (about 0.1 s on a busy machine), and
// the listings at start come one after the other: a server found running counts as running for a
// few seconds.
constexpr std::chrono::seconds kJackRecheck{5};
std::atomic<std::chrono::steady_clock::rep> jackFoundAt{0};

bool jackServerRuns() {
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  const auto found = std::chrono::steady_clock::duration(jackFoundAt.load());
  if (found.count() != 0 && now - found < kJackRecheck) return true;
  jack_status_t status{};
  jack_client_t* client = jack_client_open("Auralis probe", JackNoStartServer, &status);
  if (client == nullptr) return false;
  jack_client_close(client);
  jackFoundAt.store(now.count());
  return true;
}

struct MidiService {
  RtMidi::Api api;
  bool (*reachable)();
  const char* missing;  // said once when it is not there
};

// In the order they are tried: JACK is asked only where the sequencer is missing.
constexpr std::array<MidiService, 2> kMidiServices = {{
    {RtMidi::LINUX_ALSA, alsaSequencerOpens,
     "auralis: no ALSA sequencer; MIDI ports through JACK only"},
    {RtMidi::UNIX_JACK, jackServerRuns, "auralis: no JACK server either; no MIDI ports"},
}};

std::array<std::atomic<bool>, kMidiServices.size()> missingTold{};

// Says once in the process that the service is missing.
void tellMissing(std::size_t service) {
  if (!missingTold[service].exchange(true))
    std::fprintf(stderr, "%s\n", kMidiServices[service].missing);
}

// This program's own ports ("Auralis:...", or "Auralis-01:..." when the name was taken) are
// listed by the service like any other, but are no device to choose.
bool isOwnPort(std::string_view name) {
  const std::string_view client(kMidiClientName);
  if (name.substr(0, client.size()) != client) return false;
  const std::string_view rest = name.substr(client.size());
  return !rest.empty() && (rest.front() == ':' || rest.front() == '-');
}

std::vector<std::string> allPortNames(RtMidi& service) {
  std::vector<std::string> names;
  try {
    const unsigned int count = service.getPortCount();
    for (unsigned int port = 0; port < count; ++port) names.push_back(service.getPortName(port));
  } catch (const std::exception&) {
    // A port that went away while being listed ends the list.
  }
  return names;
}

// The RtMidi objects of ports whose JACK server went, for the rest of the run. Reachable, so that
// a leak checker does not count them.
std::vector<const void*>& unclosedPorts() {
  static auto* ports = new std::vector<const void*>;
  return *ports;
}
std::mutex unclosedPortsMutex;

template <class Service>
std::vector<std::string> portNamesOf(std::unique_ptr<Service> service) {
  return midiPortNames(service.get());
}

std::vector<std::string> listHere(MidiDirection direction) {
  return direction == MidiDirection::Input ? portNamesOf(openMidiService<RtMidiIn>())
                                           : portNamesOf(openMidiService<RtMidiOut>());
}

// In the copy that lists: JACK only, since the program asks for a copy only where the sequencer
// is missing. One client both finds the server and lists what RtMidi lists: the MIDI ports that
// send, for an input, or receive, for an output, in the server's order. Each client locks the
// server's shared memory once more, so the copy opens no second one.
ApartListing listJackPorts(MidiDirection direction) {
  silenceSoundLibraries();
  ApartListing listing;
  jack_status_t status{};
  jack_client_t* client = jack_client_open(kMidiClientName, JackNoStartServer, &status);
  if (client == nullptr) return listing;
  listing.serverRuns = true;
  const unsigned long sending =
      direction == MidiDirection::Input ? JackPortIsOutput : JackPortIsInput;
  if (const char** ports = jack_get_ports(client, nullptr, JACK_DEFAULT_MIDI_TYPE, sending)) {
    for (const char** port = ports; *port != nullptr; ++port)
      if (!isOwnPort(*port)) listing.names.emplace_back(*port);
    jack_free(ports);
  }
  jack_client_close(client);
  return listing;
}

// A copy of the program started to list ends here, before main().
[[maybe_unused]] const bool listerChecked = (listAndEndIfAsked(&listJackPorts), true);

}  // namespace

void listJackPortsAndEndIfAsked() {
  listAndEndIfAsked(&listJackPorts);
}

std::vector<std::string> listMidiPorts(MidiDirection direction) {
  silenceSoundLibraries();
  constexpr std::size_t kAlsa = 0;
  constexpr std::size_t kJack = 1;
  if (alsaSequencerOpens()) return listHere(direction);
  tellMissing(kAlsa);
  const ApartResult apart = listMidiPortsApart(direction, kListerWait);
  switch (apart.outcome) {
    case ApartOutcome::Listed:
      if (!apart.listing.serverRuns) {
        tellMissing(kJack);
        return {};
      }
      jackFoundAt.store(std::chrono::steady_clock::now().time_since_epoch().count());
      return apart.listing.names;
    case ApartOutcome::Failed:
      return {};
    case ApartOutcome::NotRun:
      break;
  }
  return listHere(direction);
}

JackServerWatch::JackServerWatch(LostFn onLost) : onLost_(std::move(onLost)) {
  silenceSoundLibraries();
  jack_status_t status{};
  client_ = jack_client_open("Auralis watch", JackNoStartServer, &status);
  if (client_ == nullptr) {
    gone_.store(true);
    return;
  }
  jack_on_info_shutdown(client_, &JackServerWatch::onShutdown, this);
}

JackServerWatch::~JackServerWatch() {
  if (client_ != nullptr && !gone_.load()) jack_client_close(client_);
}

bool JackServerWatch::alive() const {
  return !gone_.load(std::memory_order_acquire);
}

void JackServerWatch::onShutdown(jack_status_t, const char*, void* self) {
  auto* watch = static_cast<JackServerWatch*>(self);
  // A server that comes back under the same name is a new one, to be found anew.
  jackFoundAt.store(0);
  watch->gone_.store(true, std::memory_order_release);
  if (watch->onLost_) watch->onLost_();
}

void keepUnclosed(const void* port) {
  const std::lock_guard lock(unclosedPortsMutex);
  unclosedPorts().push_back(port);
}

bool midiServiceReachable(RtMidi::Api api) {
  silenceSoundLibraries();
  for (std::size_t i = 0; i < kMidiServices.size(); ++i) {
    const MidiService& service = kMidiServices[i];
    if (service.api != api) continue;
    if (service.reachable()) return true;
    tellMissing(i);
    return false;
  }
  return false;
}

std::vector<std::string> midiPortNames(RtMidi* service) {
  std::vector<std::string> names;
  if (service == nullptr) return names;
  for (std::string& name : allPortNames(*service))
    if (!isOwnPort(name)) names.push_back(std::move(name));
  return names;
}

std::optional<unsigned int> findMidiPort(RtMidi& service, const std::string& name) {
  const std::vector<std::string> names = allPortNames(service);
  for (std::size_t port = 0; port < names.size(); ++port)
    if (names[port] == name) return static_cast<unsigned int>(port);
  return std::nullopt;
}

}  // namespace auralis::platform
