#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "DeviceServices.h"
#include "devices/PulseCapture.h"

namespace auralis::platform::testing {
namespace {

using namespace std::chrono_literals;

constexpr std::size_t kFragment = 1024;
const std::string kMicrophone = "auralis_mic";  // the pipe source of tools/pulse-server.sh

// Records through libpulse from the test's own server, which the test may kill.
class PulseCaptureDeviceTest : public PrivatePulseServerTest {
 protected:
  std::unique_ptr<PulseCapture> open(const std::string& source) {
    return PulseCapture::open(
        source, kFragment,
        [this](const std::int16_t* samples, std::size_t count) {
          std::lock_guard lock(mutex);
          heard.insert(heard.end(), samples, samples + count);
        },
        [this] { failures.raise(); }, 2s);
  }

  std::size_t samplesHeard() {
    std::lock_guard lock(mutex);
    return heard.size();
  }

  std::mutex mutex;
  std::vector<std::int16_t> heard;
  Signal failures;
};

TEST_F(PulseCaptureDeviceTest, NothingComesBeforeTheStartThenTheSungNote) {
  FifoWriter singer(server.fifo(), harmonicTone(noteFrequency(69)), kFragment);
  std::unique_ptr<PulseCapture> capture = open(kMicrophone);
  ASSERT_NE(capture, nullptr);
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(samplesHeard(), 0u) << "opened paused";

  capture->start();
  for (int i = 0; i < 200 && samplesHeard() < 20 * kFragment; ++i)
    std::this_thread::sleep_for(10ms);
  capture.reset();
  std::lock_guard lock(mutex);
  ASSERT_GE(heard.size(), 20 * kFragment) << "about half a second of sound";
  const auto loud = std::count_if(heard.begin(), heard.end(),
                                  [](std::int16_t s) { return s > 1000 || s < -1000; });
  EXPECT_GT(loud, static_cast<long>(heard.size() / 4)) << "the tone, not silence";
  EXPECT_EQ(detectedNote(heard.data() + heard.size() - kWindowSamples), 69) << "A4, whole";
  EXPECT_FALSE(failures.waitFor(1, 0ms)) << "its own end is not a failure";
}

// A name the server does not know, and a server that is not there, are refused within the answer
// time rather than waited for.
TEST_F(PulseCaptureDeviceTest, AnUnknownSourceOrAMissingServerIsRefused) {
  EXPECT_EQ(open("no_such_source"), nullptr);
  server.kill();
  EXPECT_EQ(open(kMicrophone), nullptr);
  EXPECT_FALSE(failures.waitFor(1, 0ms)) << "a refused open is not a loss";
}

TEST_F(PulseCaptureDeviceTest, TheServerGoingWhileRecordingIsToldOnce) {
  FifoWriter singer(server.fifo(), harmonicTone(440.0), kFragment);
  std::unique_ptr<PulseCapture> capture = open(kMicrophone);
  ASSERT_NE(capture, nullptr);
  capture->start();
  server.kill();
  EXPECT_TRUE(failures.waitFor(1, 2s)) << "the loss is told";
  std::this_thread::sleep_for(200ms);
  EXPECT_FALSE(failures.waitFor(2, 0ms)) << "and told once";
  capture.reset();
}

}  // namespace
}  // namespace auralis::platform::testing
