#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "tests/input/LiveRig.h"

namespace auralis::testing {
namespace {

using platform::CaptureHeader;
using platform::kDefaultSoundInput;
using platform::kNoSoundInput;

// Buffer k of the recording holds the value k + 1 in every sample, so that each analysed buffer
// tells which one it was.
std::vector<std::int16_t> numberedBuffers(int count) {
  std::vector<std::int16_t> samples;
  for (int k = 0; k < count; ++k)
    samples.insert(samples.end(), kBufferSamples, std::int16_t(k + 1));
  return samples;
}

class CaptureTest : public ::testing::Test {
 protected:
  CaptureTest() {
    rig.microphone.devices = {"Headset", "Webcam"};
    rig.microphone.setSamples(numberedBuffers(200));
  }

  void openAndStart(int device = kDefaultSoundInput) {
    rig.capture.DetectSoundInput();
    rig.capture.OpenMicrophone(device);
    rig.capture.StartMicrophone();
  }

  // The number that the newest buffer in the detector's history carries.
  int lastAnalysedNumber() const { return rig.detector.historySlot(rig.detector.slotCounter())[0]; }

  std::vector<const CaptureHeader*> headers(std::initializer_list<int> indices) const {
    std::vector<const CaptureHeader*> out;
    for (int i : indices) out.push_back(&rig.capture.header(i));
    return out;
  }

  std::vector<const CaptureHeader*> queued() const {
    return {rig.microphone.queue().begin(), rig.microphone.queue().end()};
  }

  LiveRig rig;
};

TEST_F(CaptureTest, OpenQueuesBuffersZeroToSixAndKeepsTheEighthBack) {
  rig.capture.DetectSoundInput();
  rig.capture.OpenMicrophone(1);

  EXPECT_EQ(rig.microphone.openDevice(), 1);
  EXPECT_EQ(queued(), headers({0, 1, 2, 3, 4, 5, 6}));
  EXPECT_FALSE(rig.capture.header(7).prepared);
  EXPECT_EQ(rig.capture.nextIndex(), 0);
  for (int i = 0; i < kQueuedCaptureBuffers; ++i)
    EXPECT_EQ(rig.capture.header(i).bufferLength, 2048u) << i;
  EXPECT_TRUE(rig.microphone.misuses.empty());
}

TEST_F(CaptureTest, BuffersAreAnalysedInOrderAndTheHeldOneIsRequeuedAtTheTail) {
  openAndStart();
  for (int k = 0; k < 20; ++k) {
    ASSERT_TRUE(rig.deliverBuffer()) << k;
    const int held = k % kCaptureBuffers;
    EXPECT_EQ(rig.capture.currentIndex(), held);
    EXPECT_EQ(rig.capture.currentBuffer()[0], k + 1);
    EXPECT_EQ(lastAnalysedNumber(), k + 1);
    // Seven queued, the held one not among them, and the one held before it at the tail.
    ASSERT_EQ(rig.microphone.queue().size(), 7u);
    EXPECT_EQ(std::count(queued().begin(), queued().end(), &rig.capture.header(held)), 0);
    EXPECT_EQ(queued().back(), &rig.capture.header((held + 7) % 8));
  }
  EXPECT_EQ(rig.frameNotes.size(), 20u);
  EXPECT_TRUE(rig.microphone.misuses.empty());
}

TEST_F(CaptureTest, StopAndStartKeepTheNextIndexInStepWithTheDevice) {
  struct Case {
    int buffersBefore;  // delivered before the stop
    int heardAtStop;    // samples in the buffer being filled when it stops
  };
  const Case cases[] = {{3, 0}, {3, 300}, {7, 1023}, {8, 1}, {13, 512}};
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.buffersBefore << " buffers, " << c.heardAtStop);
    LiveRig fresh;
    fresh.microphone.setSamples(numberedBuffers(60));
    fresh.capture.DetectSoundInput();
    fresh.capture.OpenMicrophone(kDefaultSoundInput);
    int expected = 1;
    for (int cycle = 0; cycle < 3; ++cycle) {
      fresh.capture.StartMicrophone();
      EXPECT_EQ(fresh.detector.buffersSinceStart(), 0);
      for (int k = 0; k < c.buffersBefore; ++k) {
        ASSERT_TRUE(fresh.deliverBuffer());
        EXPECT_EQ(fresh.capture.currentBuffer()[0], expected++);
      }
      fresh.microphone.deliverSamples(static_cast<std::size_t>(c.heardAtStop));
      fresh.capture.StopMicrophone();
      fresh.pump();
      if (c.heardAtStop > 0) {
        // The cut-short buffer is analysed with what it holds and silence after it.
        const std::int16_t* cut = fresh.capture.currentBuffer();
        EXPECT_EQ(cut[0], expected);
        EXPECT_EQ(cut[c.heardAtStop - 1], expected);
        EXPECT_TRUE(std::all_of(cut + c.heardAtStop, cut + kBufferSamples,
                                [](std::int16_t s) { return s == 0; }));
      }
      // The rest of that buffer's sound was not heard; the next buffer starts afresh.
      fresh.microphone.skipSamples(static_cast<std::size_t>(kBufferSamples - c.heardAtStop));
      ++expected;
      EXPECT_EQ(fresh.microphone.queue().size(), 7u);
      EXPECT_EQ(fresh.microphone.queue().front(), &fresh.capture.header(fresh.capture.nextIndex()));
    }
    EXPECT_TRUE(fresh.microphone.misuses.empty());
  }
}

TEST_F(CaptureTest, TheFirstBufferAfterAStartIsOnlyStored) {
  openAndStart();
  rig.deliverBuffers(5);
  rig.capture.StopMicrophone();
  rig.capture.StartMicrophone();
  rig.deliverBuffer();
  EXPECT_EQ(rig.detector.buffersSinceStart(), 1);
  rig.deliverBuffer();
  EXPECT_EQ(rig.detector.buffersSinceStart(), 2);
}

TEST_F(CaptureTest, StartWhileCapturingAndStopWhileStoppedChangeNothing) {
  rig.capture.DetectSoundInput();
  rig.capture.OpenMicrophone(kDefaultSoundInput);
  rig.capture.ShowMicStatus();
  EXPECT_EQ(rig.window.micPanel, "Mic OFF");

  rig.capture.StopMicrophone();
  EXPECT_EQ(rig.window.micPanel, "Mic OFF");

  rig.capture.StartMicrophone();
  EXPECT_EQ(rig.window.micPanel, "Mic ON");
  rig.deliverBuffers(3);
  const std::vector<std::string> calls = rig.microphone.calls;
  const std::size_t panels = rig.window.micPanels.size();
  const int next = rig.capture.nextIndex();
  rig.capture.StartMicrophone();
  EXPECT_EQ(rig.microphone.calls, calls);
  EXPECT_EQ(rig.window.micPanels.size(), panels);
  EXPECT_EQ(rig.capture.nextIndex(), next);
  EXPECT_EQ(rig.detector.buffersSinceStart(), 3);

  rig.capture.StopMicrophone();
  EXPECT_EQ(rig.window.micPanel, "Mic OFF");
  const std::vector<std::string> stopped = rig.microphone.calls;
  rig.capture.StopMicrophone();
  EXPECT_EQ(rig.microphone.calls, stopped);
  EXPECT_FALSE(rig.capture.captureRunning());
}

TEST_F(CaptureTest, ARefusedFormatOrAFailedOpenClearsSoundInPresent) {
  struct Case {
    const char* name;
    bool refuseFormat;
    bool failOpen;
    int device;
  };
  const Case cases[] = {{"format refused", true, false, kDefaultSoundInput},
                        {"open fails", false, true, 0},
                        {"no device chosen", false, false, kNoSoundInput},
                        {"device gone from the list", false, false, 5}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LiveRig fresh;
    fresh.microphone.refuseFormat = c.refuseFormat;
    fresh.microphone.failOpen = c.failOpen;
    fresh.microphone.setSamples(numberedBuffers(4));
    fresh.capture.DetectSoundInput();
    ASSERT_TRUE(fresh.capture.soundInPresent);
    fresh.capture.OpenMicrophone(c.device);
    EXPECT_FALSE(fresh.capture.soundInPresent);
    EXPECT_FALSE(fresh.capture.deviceOpen());
    EXPECT_EQ(std::count(fresh.microphone.calls.begin(), fresh.microphone.calls.end(), "add"), 0);

    fresh.capture.StartMicrophone();
    EXPECT_EQ(fresh.window.micPanel, "No Mic");
    EXPECT_EQ(fresh.deliverBuffers(4), 0);
    EXPECT_TRUE(fresh.frameNotes.empty());
  }
}

TEST_F(CaptureTest, WithoutAnyInputDeviceTheMicrophoneStaysSilent) {
  rig.microphone.devices.clear();
  rig.capture.DetectSoundInput();
  rig.capture.ShowMicStatus();
  EXPECT_EQ(rig.window.micPanel, "No Mic");
  rig.capture.OpenMicrophone(kDefaultSoundInput);
  rig.capture.StartMicrophone();
  EXPECT_TRUE(rig.microphone.calls.empty());
  EXPECT_EQ(rig.window.micPanel, "No Mic");
  rig.capture.StopMicrophone();
  EXPECT_EQ(rig.window.micPanel, "No Mic");
}

TEST_F(CaptureTest, ChoosingAnotherMicrophoneEndsWithItCapturing) {
  openAndStart(kDefaultSoundInput);
  rig.deliverBuffers(5);
  rig.microphone.deliverSamples(100);
  rig.microphone.calls.clear();

  rig.capture.MicrophoneChanged(1);
  rig.pump();
  // The buffers come back with the close and only then are unprepared; the new device gets seven.
  std::vector<std::string> expected = {"stop", "close"};
  expected.insert(expected.end(), 7, "unprepare");
  expected.insert(expected.end(), {"query 1", "open 1"});
  for (int i = 0; i < kQueuedCaptureBuffers; ++i)
    expected.insert(expected.end(), {"prepare", "add"});
  expected.push_back("start");
  EXPECT_EQ(rig.microphone.calls, expected);
  EXPECT_EQ(rig.microphone.openDevice(), 1);
  EXPECT_TRUE(rig.microphone.started());
  EXPECT_EQ(queued(), headers({0, 1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(rig.window.micPanel, "Mic ON");

  const std::size_t frames = rig.frameNotes.size();
  EXPECT_EQ(rig.deliverBuffers(10), 10);
  EXPECT_EQ(rig.frameNotes.size(), frames + 10);
  EXPECT_TRUE(rig.microphone.misuses.empty());
}

TEST_F(CaptureTest, ChoosingAnotherMicrophoneWorksAfterOneThatRefused) {
  rig.microphone.refuseFormat = true;
  openAndStart(0);
  EXPECT_EQ(rig.window.micPanel, "No Mic");

  rig.microphone.refuseFormat = false;
  rig.capture.MicrophoneChanged(1);
  EXPECT_TRUE(rig.capture.soundInPresent);
  EXPECT_TRUE(rig.microphone.started());
  EXPECT_EQ(rig.window.micPanel, "Mic ON");
  EXPECT_EQ(rig.deliverBuffers(3), 3);
}

TEST_F(CaptureTest, ChoosingAnotherMicrophoneWhileStoppedStartsIt) {
  rig.capture.DetectSoundInput();
  rig.capture.OpenMicrophone(kDefaultSoundInput);
  rig.capture.MicrophoneChanged(0);
  EXPECT_TRUE(rig.capture.captureRunning());
  EXPECT_EQ(rig.microphone.openDevice(), 0);
  EXPECT_EQ(rig.deliverBuffers(2), 2);
}

TEST_F(CaptureTest, OnlyTheFirstStartShowsInitializingMicrophone) {
  rig.window.setInstructionText("Sing the note you hear");
  openAndStart();
  using Shown = std::pair<std::string, bool>;
  const std::vector<Shown> expected = {{"Sing the note you hear", false},
                                       {"Initializing microphone...", false},
                                       {"Sing the note you hear", true}};
  EXPECT_EQ(rig.window.instructions, expected);
  EXPECT_EQ(rig.window.events, std::vector<std::string>{"repaint window"});

  rig.capture.StopMicrophone();
  rig.capture.StartMicrophone();
  rig.capture.MicrophoneChanged(1);
  EXPECT_EQ(rig.window.instructions, expected);
  EXPECT_EQ(rig.window.events.size(), 1u);
}

TEST_F(CaptureTest, ANoticeWithoutAReturnedBufferChangesNothing) {
  openAndStart();
  rig.deliverBuffers(2);
  const std::size_t frames = rig.frameNotes.size();
  const std::int64_t stored = rig.detector.buffersSinceStart();
  rig.microphone.sendStrayNotice();
  rig.capture.CaptureWndProc(MM_WIM_OPEN);
  rig.capture.CaptureWndProc(MM_WIM_CLOSE);
  rig.pump();
  EXPECT_EQ(rig.frameNotes.size(), frames);
  EXPECT_EQ(rig.detector.buffersSinceStart(), stored);
  EXPECT_EQ(rig.capture.currentIndex(), 1);
  EXPECT_EQ(rig.capture.nextIndex(), 2);
  EXPECT_EQ(rig.deliverBuffer(), true);
  EXPECT_EQ(rig.capture.currentBuffer()[0], 3);
}

TEST_F(CaptureTest, ClosingGivesEveryBufferBackBeforeUnpreparingIt) {
  openAndStart();
  rig.deliverBuffers(4);
  rig.capture.StopMicrophone();
  rig.capture.CloseMicrophone();
  rig.pump();
  EXPECT_FALSE(rig.microphone.isOpen());
  EXPECT_TRUE(rig.microphone.queue().empty());
  for (int i = 0; i < kCaptureBuffers; ++i) EXPECT_FALSE(rig.capture.header(i).prepared) << i;
  EXPECT_TRUE(rig.microphone.misuses.empty());

  rig.capture.OpenMicrophone(0);
  rig.capture.StartMicrophone();
  EXPECT_EQ(queued(), headers({0, 1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(rig.deliverBuffers(9), 9);
  EXPECT_TRUE(rig.microphone.misuses.empty());
}

}  // namespace
}  // namespace auralis::testing
