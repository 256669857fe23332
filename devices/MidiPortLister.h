#pragma once

// Shared by the RtMidi backends' sources; not part of the library's interface.
//
// A JACK client locks its server's whole shared memory into its process: about 100 MB under
// jackd, resident for as long as the client lives. Listing the ports needs a client, so the
// ports are listed by a short-lived copy of this program, and the program itself holds that
// memory only while a JACK port is open.

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace auralis::platform {

enum class MidiDirection { Input, Output };

// Set to "input" or "output" in the copy's environment: it lists and ends before main().
inline constexpr const char* kMidiListerVariable = "AURALIS_LIST_JACK_MIDI_PORTS";

struct ApartListing {
  bool serverRuns = false;
  std::vector<std::string> names;  // in the service's order, without this program's own
};

// What the copy writes on its standard output: a header line, "1" or "0" on a line for whether
// the server runs, then every name ended by a NUL (a port name may hold any other character).
std::string apartListingReply(const ApartListing& listing);
// None for anything else, such as a reply cut short.
std::optional<ApartListing> parseApartListing(std::string_view reply);

enum class ApartOutcome {
  Listed,
  Failed,  // the copy crashed, or had not answered within the wait and was ended
  NotRun,  // no copy could be started, or it did not know the request
};

struct ApartResult {
  ApartOutcome outcome = ApartOutcome::NotRun;
  ApartListing listing;
};

// Runs program with arguments (by default this program's own executable, with none) and the
// direction in kMidiListerVariable, and reads its reply. Its standard error goes nowhere: the
// libraries' complaints are dropped as in this process.
ApartResult listMidiPortsApart(MidiDirection direction, std::chrono::milliseconds wait,
                               const std::string& program = "/proc/self/exe",
                               const std::vector<std::string>& arguments = {});

// The copy's side: when kMidiListerVariable names a direction, lists through list, writes the
// reply and ends the process. Returns otherwise.
using ApartLister = ApartListing (*)(MidiDirection direction);
void listAndEndIfAsked(ApartLister list);

// listAndEndIfAsked() with the JACK lister of MidiPorts.cpp. Every program that links that file
// checks before main(); a program that loads it in a module calls this once the module is loaded.
void listJackPortsAndEndIfAsked();

}  // namespace auralis::platform
