#pragma once

// A PulseAudio server's sinks and sources, read through libpulse itself. PipeWire's PulseAudio
// server answers the same questions, but leaves out what PulseAudio always gives: a virtual source
// (a pipe source, a loopback) has no "device.description" property there. The audio library's
// own PulseAudio listing copies that property, the device names and the server's default names
// without looking whether they are there, and a missing one takes the whole process down; every
// stream it opens lists first. This listing tolerates every gap, and tells whether the library's
// own listing would meet one.

#include <chrono>
#include <optional>
#include <string>
#include <vector>

struct pa_server_info;
struct pa_sink_info;
struct pa_source_info;

namespace auralis::platform {

// One sink or source as the server describes it; a text the server leaves out is empty.
struct PulseDevice {
  std::optional<std::string> name;  // what a stream is opened on
  std::string description;          // what a user is shown
  std::string libraryName;          // what the audio library names it
  unsigned int channels = 0;
  bool monitor = false;  // a sink's monitor, offered as an input
};

struct PulseServerDevices {
  std::optional<std::string> defaultSink;
  std::optional<std::string> defaultSource;
  std::vector<PulseDevice> sinks;
  std::vector<PulseDevice> sources;
};

PulseDevice pulseDeviceOf(const pa_sink_info& info);
PulseDevice pulseDeviceOf(const pa_source_info& info);
void takeServerDefaults(const pa_server_info& info, PulseServerDevices& devices);

// Asks the server that PULSE_SERVER (or the user's configuration) names; nothing when none
// answers within the time given. Never starts a server.
std::optional<PulseServerDevices> listPulseDevices(std::chrono::milliseconds answerTime);

// Whether the audio library can list this server without reading a text that is not there.
bool audioLibraryCanList(const PulseServerDevices& devices);

}  // namespace auralis::platform
