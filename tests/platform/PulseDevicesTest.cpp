#include "devices/PulseDevices.h"

#include <gtest/gtest.h>
#include <pulse/introspect.h>
#include <pulse/proplist.h>

#include <array>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace auralis::platform {
namespace {

using Properties = std::vector<std::pair<const char*, const char*>>;

struct ProplistFree {
  void operator()(pa_proplist* properties) const { pa_proplist_free(properties); }
};
using Proplist = std::unique_ptr<pa_proplist, ProplistFree>;

Proplist proplistOf(const Properties& properties) {
  Proplist list(pa_proplist_new());
  for (const auto& [key, value] : properties) pa_proplist_sets(list.get(), key, value);
  return list;
}

// The property the audio library reads as a C string: PipeWire leaves it out on virtual sources,
// and the library then copied a null pointer, which ended the process.
TEST(PulseDevices, TheDescriptionPropertyIsNeverMissing) {
  struct Case {
    Properties properties;
    std::string answer;
  };
  const std::array cases = {
      Case{{{PA_PROP_DEVICE_DESCRIPTION, "Built-in Audio"}}, "Built-in Audio"},
      // A pipe source under PipeWire.
      Case{{{"node.name", "auralis_mic"}, {PA_PROP_DEVICE_STRING, "/tmp/mic.fifo"}}, "auralis_mic"},
      Case{{{"node.name", "echo_cancel"}, {"node.description", "Echo-Cancel Source"}},
           "Echo-Cancel Source"},
      Case{{{"node.name", "bluez_input"}, {"node.nick", "Headset"}}, "Headset"},
      Case{{}, ""},
  };
  for (const Case& c : cases) {
    const Proplist properties = proplistOf(c.properties);
    const char* answer = pa_proplist_gets(properties.get(), PA_PROP_DEVICE_DESCRIPTION);
    ASSERT_NE(answer, nullptr) << c.answer;
    EXPECT_EQ(answer, c.answer);
  }
}

TEST(PulseDevices, OtherPropertiesAreAnsweredAsLibpulseAnswers) {
  const Proplist properties = proplistOf({{"node.name", "auralis_mic"}});
  EXPECT_STREQ(pa_proplist_gets(properties.get(), "node.name"), "auralis_mic");
  EXPECT_EQ(pa_proplist_gets(properties.get(), PA_PROP_DEVICE_ICON_NAME), nullptr);
}

TEST(PulseDevices, OddSourcesAreReadWithoutFault) {
  struct Case {
    const char* name;
    const char* description;
    Properties properties;
    bool withProperties;
    std::uint32_t monitorOf;
    PulseDevice expected;
  };
  const std::array cases = {
      Case{"alsa_input.pci",
           "Built-in Audio",
           {{PA_PROP_DEVICE_DESCRIPTION, "Built-in Audio"}},
           true,
           PA_INVALID_INDEX,
           {"alsa_input.pci", "Built-in Audio", "Built-in Audio", 1, false}},
      // A pipe source under PipeWire: no property, the description is its name.
      Case{"auralis_mic",
           "auralis_mic",
           {{"node.name", "auralis_mic"}},
           true,
           PA_INVALID_INDEX,
           {"auralis_mic", "auralis_mic", "auralis_mic", 1, false}},
      Case{"loopback",
           nullptr,
           {{PA_PROP_DEVICE_DESCRIPTION, "Loopback"}},
           true,
           PA_INVALID_INDEX,
           {"loopback", "Loopback", "Loopback", 1, false}},
      Case{"virtual", "", {}, false, PA_INVALID_INDEX, {"virtual", "virtual", "", 1, false}},
      Case{nullptr, nullptr, {}, false, PA_INVALID_INDEX, {std::nullopt, "", "", 1, false}},
      // PipeWire gives a monitor its sink's property; the server's description tells them apart.
      Case{"sink.monitor",
           "Monitor of Sink",
           {{PA_PROP_DEVICE_DESCRIPTION, "Sink"}},
           true,
           3,
           {"sink.monitor", "Monitor of Sink", "Sink", 1, true}},
  };
  for (const Case& c : cases) {
    const Proplist properties = proplistOf(c.properties);
    pa_source_info info{};
    info.name = c.name;
    info.description = c.description;
    info.proplist = c.withProperties ? properties.get() : nullptr;
    info.sample_spec.channels = 1;
    info.monitor_of_sink = c.monitorOf;
    const PulseDevice device = pulseDeviceOf(info);
    EXPECT_EQ(device.name, c.expected.name) << c.expected.description;
    EXPECT_EQ(device.description, c.expected.description);
    EXPECT_EQ(device.libraryName, c.expected.libraryName) << c.expected.description;
    EXPECT_EQ(device.channels, c.expected.channels);
    EXPECT_EQ(device.monitor, c.expected.monitor) << c.expected.description;
  }
}

TEST(PulseDevices, TheAudioLibraryListsOnlyWhereEveryNameIsThere) {
  const PulseDevice named{"auralis_mic", "auralis_mic", "auralis_mic", 1, false};
  const PulseDevice nameless{std::nullopt, "", "", 1, false};
  struct Case {
    PulseServerDevices devices;
    bool canList;
  };
  const std::array cases = {
      Case{{"sink", "source", {named}, {named}}, true},
      Case{{"sink", "source", {}, {}}, true},
      // A server without a sink names no default sink.
      Case{{std::nullopt, "source", {}, {named}}, false},
      Case{{"sink", std::nullopt, {named}, {}}, false},
      Case{{"sink", "source", {named}, {named, nameless}}, false},
      Case{{"sink", "source", {nameless}, {named}}, false},
  };
  for (std::size_t i = 0; i < cases.size(); ++i)
    EXPECT_EQ(audioLibraryCanList(cases[i].devices), cases[i].canList) << "case " << i;
}

TEST(PulseDevices, NoServerGivesNoList) {
  // No server at this address; the listing must neither wait nor start one.
  const char* server = std::getenv("PULSE_SERVER");
  const std::optional<std::string> before =
      server ? std::optional<std::string>(server) : std::nullopt;
  ASSERT_EQ(::setenv("PULSE_SERVER", "unix:/nonexistent/native", 1), 0);
  EXPECT_FALSE(listPulseDevices(std::chrono::seconds(2)).has_value());
  if (before)
    ::setenv("PULSE_SERVER", before->c_str(), 1);
  else
    ::unsetenv("PULSE_SERVER");
}

}  // namespace
}  // namespace auralis::platform
