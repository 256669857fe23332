#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <thread>
#include <vector>

#include "tests/input/LiveRig.h"
#include "tests/platform/Gate.h"

namespace auralis::testing {
namespace {

using platform::kDefaultSoundInput;

// Buffer k of the recording holds k + 1 in every sample, so an analysed buffer tells which it was.
std::vector<std::int16_t> numberedBuffers(int count) {
  std::vector<std::int16_t> samples;
  for (int k = 0; k < count; ++k)
    samples.insert(samples.end(), kBufferSamples, static_cast<std::int16_t>(k + 1));
  return samples;
}

struct CaptureRig : LiveRig {
  explicit CaptureRig(int device = kDefaultSoundInput, bool onDeviceThread = false)
      : LiveRig(onDeviceThread) {
    microphone.devices = {"Headset", "Webcam"};
    microphone.setSamples(numberedBuffers(100));
    capture.DetectSoundInput();
    capture.OpenMicrophone(device);
  }
  // "Mic ON", and every buffer the microphone hears is analysed.
  void expectCapturing() {
    EXPECT_EQ(window.micPanel, "Mic ON");
    const std::size_t frames = frameNotes.size();
    EXPECT_EQ(deliverBuffers(10), 10);
    EXPECT_EQ(frameNotes.size(), frames + 10);
    EXPECT_TRUE(microphone.misuses.empty());
  }
  std::vector<int> queuedIndices() const {
    std::vector<int> indices;
    for (const platform::CaptureHeader* h : microphone.queue())
      indices.push_back(static_cast<int>(h - &capture.header(0)));
    return indices;
  }
};

TEST(CaptureTest, BuffersComeBackInOrderWhileSevenStayQueued) {
  CaptureRig rig(1);
  EXPECT_EQ(rig.microphone.openDevice(), 1);
  EXPECT_EQ(rig.queuedIndices(), (std::vector<int>{0, 1, 2, 3, 4, 5, 6}));
  rig.capture.StartMicrophone();
  for (int k = 0; k < 20; ++k) {
    ASSERT_TRUE(rig.deliverBuffer());
    const int held = k % kCaptureBuffers;
    EXPECT_EQ(rig.capture.currentIndex(), held);
    EXPECT_EQ(rig.detector.historySlot(rig.detector.slotCounter())[0], k + 1);
    // The buffer held before this one went back to the tail of the queue.
    std::vector<int> expected;
    for (int i = 1; i <= kQueuedCaptureBuffers; ++i) expected.push_back((held + i) % 8);
    EXPECT_EQ(rig.queuedIndices(), expected);
    // A late notice with nothing returned must not analyse the held buffer again.
    rig.microphone.sendStrayNotice();
    rig.pump();
  }
  EXPECT_EQ(rig.frameNotes.size(), 20u);
  EXPECT_TRUE(rig.microphone.misuses.empty());
}

TEST(CaptureTest, StopAndStartKeepTheNextIndexInStepWithTheDevice) {
  const struct {
    int buffersBefore;  // delivered in each run before the stop
    int heardAtStop;    // samples in the buffer being filled when it stops
  } cases[] = {{3, 0}, {3, 300}, {7, 1023}, {8, 1}, {13, 512}};
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.buffersBefore << " buffers, " << c.heardAtStop);
    CaptureRig rig;
    int expected = 1;
    for (int run = 0; run < 3; ++run) {
      rig.capture.StartMicrophone();
      EXPECT_EQ(rig.detector.buffersSinceStart(), 0);
      for (int k = 0; k < c.buffersBefore; ++k) {
        ASSERT_TRUE(rig.deliverBuffer());
        EXPECT_EQ(rig.capture.currentBuffer()[0], expected++);
      }
      rig.microphone.deliverSamples(static_cast<std::size_t>(c.heardAtStop));
      rig.capture.StopMicrophone();
      rig.pump();
      if (c.heardAtStop > 0) {
        // The cut-short buffer is analysed with what it holds, and silence after that.
        const std::int16_t* cut = rig.capture.currentBuffer();
        EXPECT_EQ(cut[c.heardAtStop - 1], expected);
        EXPECT_TRUE(std::all_of(cut + c.heardAtStop, cut + kBufferSamples,
                                [](std::int16_t s) { return s == 0; }));
      }
      rig.microphone.skipSamples(static_cast<std::size_t>(kBufferSamples - c.heardAtStop));
      ++expected;
      EXPECT_EQ(rig.queuedIndices().front(), rig.capture.nextIndex());
    }
    EXPECT_TRUE(rig.microphone.misuses.empty());
  }
}

TEST(CaptureTest, StartWhileCapturingAndStopWhileStoppedChangeNothing) {
  CaptureRig rig;
  rig.capture.ShowMicStatus();
  EXPECT_EQ(rig.window.micPanel, "Mic OFF");
  rig.capture.StopMicrophone();
  EXPECT_EQ(rig.microphone.calls.back(), "add");

  rig.capture.StartMicrophone();
  EXPECT_EQ(rig.window.micPanel, "Mic ON");
  rig.deliverBuffers(3);
  const std::vector<std::string> calls = rig.microphone.calls;
  rig.capture.StartMicrophone();
  EXPECT_EQ(rig.microphone.calls, calls);
  EXPECT_EQ(rig.detector.buffersSinceStart(), 3);

  rig.capture.StopMicrophone();
  EXPECT_EQ(rig.window.micPanel, "Mic OFF");
  const std::vector<std::string> stopped = rig.microphone.calls;
  rig.capture.StopMicrophone();
  EXPECT_EQ(rig.microphone.calls, stopped);
}

TEST(CaptureTest, AMicrophoneThatCannotCaptureShowsNoMic) {
  const struct {
    const char* name;
    bool noDevices;
    bool refuseFormat;
    bool failOpen;
    int device;
  } cases[] = {{"no input device", true, false, false, kDefaultSoundInput},
               {"format refused", false, true, false, kDefaultSoundInput},
               {"open fails", false, false, true, 0},
               {"no device chosen", false, false, false, platform::kNoSoundInput},
               {"device gone from the list", false, false, false, 5}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    LiveRig rig;
    if (c.noDevices) rig.microphone.devices.clear();
    rig.microphone.refuseFormat = c.refuseFormat;
    rig.microphone.failOpen = c.failOpen;
    rig.microphone.setSamples(numberedBuffers(4));
    rig.capture.DetectSoundInput();
    rig.capture.OpenMicrophone(c.device);
    rig.capture.StartMicrophone();
    EXPECT_FALSE(rig.capture.soundInPresent);
    EXPECT_EQ(std::count(rig.microphone.calls.begin(), rig.microphone.calls.end(), "add"), 0);
    EXPECT_EQ(rig.window.micPanel, "No Mic");
    EXPECT_EQ(rig.deliverBuffers(4), 0);
  }
}

TEST(CaptureTest, ChoosingAnotherMicrophoneEndsWithItCapturing) {
  enum Before { Capturing, Stopped, Refused };
  for (Before before : {Capturing, Stopped, Refused}) {
    SCOPED_TRACE(before);
    CaptureRig rig;
    rig.microphone.refuseFormat = before == Refused;
    rig.capture.OpenMicrophone(0);
    if (before != Stopped) rig.capture.StartMicrophone();
    rig.deliverBuffers(5);
    rig.microphone.deliverSamples(100);
    rig.microphone.refuseFormat = false;
    rig.microphone.calls.clear();

    rig.capture.MicrophoneChanged(1);
    rig.pump();
    // Every buffer is back from the old device before the new one opens.
    const auto& calls = rig.microphone.calls;
    const auto opened = std::find(calls.begin(), calls.end(), "open 1");
    ASSERT_NE(opened, calls.end());
    EXPECT_EQ(std::count(calls.begin(), opened, "unprepare"), before == Refused ? 0 : 7);
    EXPECT_EQ(calls.back(), "start");
    rig.expectCapturing();
  }
}

TEST(CaptureTest, ALostMicrophoneIsTriedAgainUntilItComesBackAsListeningWasLeft) {
  for (const bool listening : {true, false}) {
    SCOPED_TRACE(listening ? "listening" : "not listening");
    CaptureRig rig;
    rig.capture.StartMicrophone();
    rig.deliverBuffers(3);
    if (!listening) rig.capture.StopMicrophone();
    rig.microphone.stayGone = true;
    rig.microphone.loseDevice();
    rig.pump();
    EXPECT_EQ(rig.window.micPanel, "No Mic");
    EXPECT_TRUE(rig.capture.deviceLost());
    EXPECT_EQ(rig.capture.captureRunning(), listening) << "the lesson's switch is kept";
    EXPECT_EQ(rig.deliverBuffers(2), 0) << "nothing is captured meanwhile";
    rig.microphone.calls.clear();

    for (int attempt = 0; attempt < 2; ++attempt) {
      rig.capture.worker().runDelayedCalls();
      rig.pump();
    }
    EXPECT_EQ(rig.microphone.calls, (std::vector<std::string>{"reconnect", "reconnect"}));
    EXPECT_EQ(rig.window.micPanel, "No Mic");

    rig.microphone.stayGone = false;
    rig.capture.worker().runDelayedCalls();
    rig.pump();
    EXPECT_FALSE(rig.capture.deviceLost());
    EXPECT_EQ(rig.window.micPanel, listening ? "Mic ON" : "Mic OFF");
    if (!listening) rig.capture.StartMicrophone();
    // The same device with the same queue: no close, no open, and the buffers still in step.
    EXPECT_EQ(std::count(rig.microphone.calls.begin(), rig.microphone.calls.end(), "close"), 0);
    rig.expectCapturing();
    rig.capture.worker().runDelayedCalls();
    EXPECT_EQ(std::count(rig.microphone.calls.begin(), rig.microphone.calls.end(), "reconnect"), 3)
        << "no attempt once it is back";
  }
}

TEST(CaptureTest, ChoosingAMicrophoneWhileOneIsLostEndsTheAttempts) {
  CaptureRig rig;
  rig.capture.StartMicrophone();
  rig.microphone.stayGone = true;
  rig.microphone.loseDevice();
  rig.pump();
  rig.capture.MicrophoneChanged(1);
  rig.expectCapturing();
  rig.microphone.calls.clear();
  for (int attempt = 0; attempt < 3; ++attempt) {
    rig.capture.worker().runDelayedCalls();
    rig.pump();
  }
  EXPECT_LE(std::count(rig.microphone.calls.begin(), rig.microphone.calls.end(), "reconnect"), 1)
      << "at most the attempt already under way";
  EXPECT_EQ(rig.microphone.openDevice(), 1);
  rig.expectCapturing();
}

TEST(CaptureTest, ALostNoticeAboutAReplacedMicrophoneChangesNothing) {
  CaptureRig rig;
  rig.capture.StartMicrophone();
  rig.microphone.loseDevice();
  // The user picks another microphone before the notice is handled.
  rig.capture.MicrophoneChanged(1);
  rig.pump();
  EXPECT_TRUE(rig.capture.captureRunning());
  EXPECT_TRUE(rig.capture.deviceOpen());
  EXPECT_EQ(rig.window.micPanel, "Mic ON");
  EXPECT_EQ(rig.deliverBuffers(3), 3);
}

// A device that stalls in its stop, as RtAudio does while a capture source delivers nothing: the
// interface thread goes on, and the calls given meanwhile follow in their order once it returns.
TEST(CaptureTest, AStalledDeviceHoldsUpNeitherTheInterfaceNorTheOrderOfItsCalls) {
  CaptureRig rig(kDefaultSoundInput, true);
  rig.capture.StartMicrophone();
  EXPECT_EQ(rig.deliverBuffers(5), 5);
  auto gate = std::make_shared<platform::testing::Gate>();
  rig.microphone.onCall = [gate](const std::string& call) {
    if (call == "stop") gate->pass();
  };
  rig.microphone.calls.clear();

  rig.capture.StopMicrophone();
  ASSERT_TRUE(gate->waitUntilEntered());
  EXPECT_EQ(rig.window.micPanel, "Mic OFF");
  rig.capture.StartMicrophone();
  EXPECT_EQ(rig.window.micPanel, "Mic ON");
  rig.capture.MicrophoneChanged(1);
  EXPECT_EQ(rig.window.micPanel, "Mic ON");
  EXPECT_FALSE(rig.capture.worker().idle()) << "the stop still waits";
  EXPECT_TRUE(rig.microphone.calls.empty());

  gate->open();
  rig.pump();
  const std::vector<std::string>& calls = rig.microphone.calls;
  ASSERT_GE(calls.size(), 6u);
  EXPECT_EQ((std::vector<std::string>(calls.begin(), calls.begin() + 4)),
            (std::vector<std::string>{"stop", "start", "stop", "close"}));
  const auto opened = std::find(calls.begin(), calls.end(), "open 1");
  ASSERT_NE(opened, calls.end());
  EXPECT_EQ(std::count(calls.begin(), opened, "unprepare"), 7)
      << "every buffer came back from the old device before the new one opened";
  EXPECT_EQ(calls.back(), "start");
  rig.expectCapturing();
}

// A device whose buffers may be requeued from any thread gets each returned buffer back at once,
// on the interface thread; but while an earlier call is still on its way (a stop that stalls),
// the requeue waits behind it, so that the buffers come back from the stop first.
TEST(CaptureTest, ABufferGoesBackAtOnceUnlessAnEarlierCallIsOnItsWay) {
  CaptureRig rig(kDefaultSoundInput, true);
  rig.microphone.requeueAtOnce = true;
  rig.capture.StartMicrophone();
  EXPECT_EQ(rig.deliverBuffers(3), 3);
  rig.microphone.addThreads.clear();
  ASSERT_TRUE(rig.microphone.deliverBuffer());
  rig.pump();
  ASSERT_EQ(rig.microphone.addThreads.size(), 1u);
  EXPECT_EQ(rig.microphone.addThreads.back(), std::this_thread::get_id());
  EXPECT_EQ(rig.queuedIndices().size(), static_cast<std::size_t>(kQueuedCaptureBuffers));

  auto gate = std::make_shared<platform::testing::Gate>();
  rig.microphone.onCall = [gate](const std::string& call) {
    if (call == "stop") gate->pass();
  };
  ASSERT_TRUE(rig.microphone.deliverBuffer());
  rig.capture.StopMicrophone();
  ASSERT_TRUE(gate->waitUntilEntered());
  rig.microphone.calls.clear();
  rig.microphone.addThreads.clear();
  // The notice of the buffer returned before the stop is handled while the stop stalls.
  while (const std::optional<Notice> notice = rig.window.take()) rig.core.UtilityWndProc(*notice);
  EXPECT_TRUE(rig.microphone.addThreads.empty()) << "no requeue ahead of the stop";
  gate->open();
  rig.pump();
  EXPECT_EQ(rig.microphone.calls,
            (std::vector<std::string>{"stop", "unprepare", "prepare", "add"}));
  ASSERT_EQ(rig.microphone.addThreads.size(), 1u);
  EXPECT_NE(rig.microphone.addThreads.back(), std::this_thread::get_id());
  EXPECT_TRUE(rig.microphone.misuses.empty());
}

TEST(CaptureTest, OnlyTheFirstStartShowsInitializingMicrophone) {
  CaptureRig rig;
  rig.window.setInstructionText("Sing the note you hear");
  rig.capture.StartMicrophone();
  using Shown = std::pair<std::string, bool>;  // the text, and whether the tables were ready
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

}  // namespace
}  // namespace auralis::testing
