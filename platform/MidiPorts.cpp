#include "platform/MidiPorts.h"

#include <string_view>

namespace auralis::platform {

namespace {

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

}  // namespace

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
