#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "DeviceServices.h"
#include "devices/AudioDevices.h"

namespace auralis::platform::testing {
namespace {

using AudioDevicesDeviceTest = PrivatePulseServerTest;

// Runs pactl against the test's own server.
bool pactl(const std::string& arguments) {
  return std::system(("pactl " + arguments + " >/dev/null 2>&1").c_str()) == 0;
}

std::string resolvedName(AudioDirection direction) {
  const std::unique_ptr<RtAudio> service = openAudioService(direction, RtAudio::LINUX_PULSE);
  if (!service) return "(no service)";
  const std::optional<unsigned int> device = resolveAudioDevice(*service, direction, -1);
  return device ? service->getDeviceInfo(*device).name : "(no device)";
}

// Every stream opens on the device the server calls its default at that moment, as the audio
// library itself would choose it, and a device chosen in a menu is the one listed there.
TEST_F(AudioDevicesDeviceTest, StreamsFollowTheServersDefaultAndTheMenusOrder) {
  for (const AudioDirection direction : {AudioDirection::Output, AudioDirection::Input}) {
    const std::unique_ptr<RtAudio> service = openAudioService(direction, RtAudio::LINUX_PULSE);
    ASSERT_NE(service, nullptr);
    EXPECT_EQ(resolveAudioDevice(*service, direction, -1), direction == AudioDirection::Output
                                                               ? service->getDefaultOutputDevice()
                                                               : service->getDefaultInputDevice());
    const std::vector<AudioDevice> listed = audioDevices(*service, direction);
    ASSERT_FALSE(listed.empty());
    for (std::size_t i = 0; i < listed.size(); ++i)
      EXPECT_EQ(resolveAudioDevice(*service, direction, static_cast<int>(i)), listed[i].id);
    EXPECT_EQ(resolveAudioDevice(*service, direction, static_cast<int>(listed.size())),
              std::nullopt);
  }

  ASSERT_TRUE(pactl(
      "load-module module-null-sink sink_name=second sink_properties=device.description=Second"));
  EXPECT_NE(resolvedName(AudioDirection::Output), "Second");
  ASSERT_TRUE(pactl("set-default-sink second"));
  ASSERT_TRUE(pactl("set-default-source second.monitor"));
  EXPECT_EQ(resolvedName(AudioDirection::Output), "Second");
  EXPECT_EQ(resolvedName(AudioDirection::Input), "Monitor of Second");
  ASSERT_TRUE(pactl("set-default-sink auralis_sink"));
  EXPECT_NE(resolvedName(AudioDirection::Output), "Second");
}

}  // namespace
}  // namespace auralis::platform::testing
