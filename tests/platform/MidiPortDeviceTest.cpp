#include <RtMidi.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "DeviceServices.h"
#include "devices/MidiPorts.h"
#include "devices/RtMidiInput.h"
#include "devices/RtMidiOutStream.h"
#include "devices/StreamTiming.h"
#include "devices/SystemMidiOut.h"
#include "output/MidiEvent.h"

namespace auralis::platform::testing {
namespace {

using namespace std::chrono_literals;

// The messages an input hands on, as they come on libjack's thread. Declared before the input,
// so that it outlives the input's callbacks.
struct MessageLog {
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<std::uint32_t> messages;

  MidiInput::MessageFn fn() {
    return [this](std::uint32_t message) {
      std::lock_guard lock(mutex);
      messages.push_back(message);
      changed.notify_all();
    };
  }
  // All messages so far, once there are count or the timeout has passed.
  std::vector<std::uint32_t> waitFor(std::size_t count, std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex);
    changed.wait_for(lock, timeout, [&] { return messages.size() >= count; });
    return messages;
  }
};
using Clock = std::chrono::steady_clock;

// A JACK MIDI client of the test's own that receives on port "receiver:in", and remembers
// every message with the JACK time between it and the one before.
class MidiReceiver {
 public:
  struct Received {
    std::uint32_t message;
    double secondsAfterPrevious;
  };

  MidiReceiver() : port_(RtMidi::UNIX_JACK, "receiver") {
    port_.setCallback(&MidiReceiver::onMessage, this);
    port_.openVirtualPort("in");
  }

  static constexpr const char* kPortName = "receiver:in";

  std::vector<Received> wait(std::size_t count, std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, timeout, [&] { return received_.size() >= count; });
    return received_;
  }

  // Notes switched on and not yet off, by channel << 8 | note.
  std::vector<int> sounding() {
    std::lock_guard lock(mutex_);
    std::vector<int> notes;
    for (const Received& r : received_) {
      const int key = static_cast<int>((r.message & 0x0F) << 8 | ((r.message >> 8) & 0x7F));
      if (isNoteOn(r.message)) notes.push_back(key);
      if (isNoteOff(r.message)) std::erase(notes, key);
    }
    return notes;
  }

 private:
  static void onMessage(double delta, std::vector<unsigned char>* bytes, void* self) {
    auto* receiver = static_cast<MidiReceiver*>(self);
    const std::uint32_t message = packShortMessage(bytes->data(), bytes->size());
    std::lock_guard lock(receiver->mutex_);
    receiver->received_.push_back({message, delta});
    receiver->changed_.notify_all();
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Received> received_;
  // Last, so that it closes first: its callback runs on libjack's thread until then.
  RtMidiIn port_;
};

// A JACK MIDI client of the test's own that plays a keyboard on port "keyboard:out".
class MidiKeyboard {
 public:
  MidiKeyboard() : port_(RtMidi::UNIX_JACK, "keyboard") { port_.openVirtualPort("out"); }
  static constexpr const char* kPortName = "keyboard:out";

  void strike(int note, int velocity, int channel = 0) {
    const std::array<unsigned char, 3> bytes = {static_cast<unsigned char>(0x90 | channel),
                                                static_cast<unsigned char>(note),
                                                static_cast<unsigned char>(velocity)};
    port_.sendMessage(bytes.data(), bytes.size());
  }

 private:
  RtMidiOut port_;
};

int deviceNamed(MidiOutStream& stream, const std::string& name) {
  const int count = stream.deviceCount();
  for (int device = 0; device < count; ++device)
    if (stream.deviceName(device) == name) return device;
  return -1;
}

class MidiPortDeviceTest : public DeviceTest {};

TEST_F(MidiPortDeviceTest, APhraseReachesAnExternalPortWithItsEventsAndTiming) {
  MidiReceiver receiver;
  DoneLog done;
  RtMidiOutStream stream;
  const int device = deviceNamed(stream, MidiReceiver::kPortName);
  ASSERT_NE(device, -1) << "the receiving port is listed";
  ASSERT_EQ(stream.open(device, done.fn()), kMidiOk);
  ASSERT_EQ(stream.setTimeDivision(96), kMidiOk);

  MidiEventList phrase;
  PushNote(phrase, 60, 0, 0, 80, 30);
  PushNote(phrase, 64, 0, 10, 80, 30);
  PushNote(phrase, 67, 9, 20, 120, 30);
  MidiStreamHeader header = headerOf(phrase);
  ASSERT_EQ(stream.out(&header), kMidiOk);
  ASSERT_TRUE(done.waitFor(1, 2s));
  EXPECT_EQ(done.headers[0], &header);

  const auto received = receiver.wait(6, 1s);
  const TimedPhrase sent = timedPhrase(header);
  ASSERT_EQ(received.size(), sent.messages.size());
  for (std::size_t i = 0; i < received.size(); ++i) {
    EXPECT_EQ(received[i].message, sent.messages[i].message) << "event " << i;
    if (i == 0) continue;
    const double ideal =
        std::chrono::duration<double>(ticksToDuration(sent.messages[i].ticks, 96) -
                                      ticksToDuration(sent.messages[i - 1].ticks, 96))
            .count();
    // JACK hands messages on once per period of 128 frames, 2.9 ms.
    EXPECT_NEAR(received[i].secondsAfterPrevious, ideal, 0.008) << "event " << i;
  }
  EXPECT_TRUE(receiver.sounding().empty());
  EXPECT_EQ(stream.stop(), kMidiOk);
  EXPECT_EQ(stream.close(), kMidiOk);
}

TEST_F(MidiPortDeviceTest, StoppingOrChangingDeviceDuringAPhraseLeavesNoNoteSounding) {
  MidiReceiver receiver;
  DoneLog done;
  SystemMidiOut midiOut;
  const int device = deviceNamed(midiOut, MidiReceiver::kPortName);
  ASSERT_NE(device, -1);
  ASSERT_EQ(midiOut.open(device, done.fn()), kMidiOk);
  midiOut.setTimeDivision(96);

  // A chord on two channels, held for a minute.
  MidiEventList phrase;
  PushNoteOn(phrase, 60, 0, 0, 80);
  PushNoteOn(phrase, 64, 0, 0, 80);
  PushNoteOn(phrase, 43, 5, 0, 80);
  PushNoteOff(phrase, 60, 0, 96 * 120);
  PushNoteOff(phrase, 64, 0, 0);
  PushNoteOff(phrase, 43, 5, 0);
  MidiStreamHeader header = headerOf(phrase);
  ASSERT_EQ(midiOut.out(&header), kMidiOk);
  receiver.wait(3, 5s);
  EXPECT_EQ(receiver.sounding().size(), 3u);

  // As the player does before a device change: stop, then close and open the other device.
  midiOut.stop();
  receiver.wait(6, 5s);
  EXPECT_TRUE(receiver.sounding().empty());
  midiOut.close();
  EXPECT_EQ(midiOut.open(kDefaultMidiDevice, done.fn()), kMidiOk) << "the built-in synthesiser";
  EXPECT_FALSE(done.waitFor(1, 100ms));
  EXPECT_EQ(receiver.wait(7, 100ms).size(), 6u);

  // Closing in the middle of a phrase releases its notes as well.
  midiOut.close();
  ASSERT_EQ(midiOut.open(device, done.fn()), kMidiOk);
  ASSERT_EQ(midiOut.out(&header), kMidiOk);
  receiver.wait(9, 5s);
  midiOut.close();
  receiver.wait(12, 5s);
  EXPECT_TRUE(receiver.sounding().empty());
}

TEST_F(MidiPortDeviceTest, KeysFromAJackKeyboardArriveInOrderWhileStarted) {
  MidiKeyboard keyboard;
  MessageLog log;
  RtMidiInput input;
  const std::vector<std::string> names = input.deviceNames();
  const auto found = std::find(names.begin(), names.end(), MidiKeyboard::kPortName);
  ASSERT_NE(found, names.end()) << "the keyboard's port is listed";

  ASSERT_EQ(input.open(static_cast<int>(found - names.begin()), log.fn()), 0);
  EXPECT_TRUE(input.isOpen());

  keyboard.strike(50, 100);  // before start: not delivered
  EXPECT_TRUE(log.waitFor(1, 100ms).empty());

  ASSERT_EQ(input.start(), 0);
  const std::vector<std::uint32_t> struck = {0x00643C90, 0x00403D90, 0x00013699, 0x00002490};
  for (std::uint32_t m : struck)
    keyboard.strike(static_cast<int>((m >> 8) & 0xFF), static_cast<int>(m >> 16),
                    static_cast<int>(m & 0x0F));
  EXPECT_EQ(log.waitFor(4, 1s), struck);

  input.stop();
  keyboard.strike(62, 100);
  EXPECT_EQ(log.waitFor(5, 100ms).size(), 4u);
  input.close();
  EXPECT_FALSE(input.isOpen());
}

TEST_F(MidiPortDeviceTest, ACopyOfTheProgramListsTheJackPortsAsTheProgramItselfWould) {
  MidiKeyboard keyboard;
  MidiReceiver receiver;
  struct Case {
    MidiDirection direction;
    const char* port;
    std::vector<std::string> here;
  };
  const std::vector<Case> cases = {
      {MidiDirection::Input, MidiKeyboard::kPortName,
       midiPortNames(openMidiService<RtMidiIn>().get())},
      {MidiDirection::Output, MidiReceiver::kPortName,
       midiPortNames(openMidiService<RtMidiOut>().get())},
  };
  for (const Case& c : cases) {
    const ApartResult apart = listMidiPortsApart(c.direction, 10s);
    ASSERT_EQ(apart.outcome, ApartOutcome::Listed);
    EXPECT_TRUE(apart.listing.serverRuns);
    EXPECT_EQ(apart.listing.names, c.here);
    EXPECT_NE(std::find(c.here.begin(), c.here.end(), c.port), c.here.end()) << c.port;
  }
}

TEST_F(MidiPortDeviceTest, NoMidiServiceMeansNoPorts) {
  EXPECT_IN_FRESH_PROCESS({
    const ScopedEnvironment noJack("JACK_DEFAULT_SERVER", "auralis-nonexistent");
    RtMidiOutStream output;
    EXPECT_EQ(output.deviceCount(), 0);
    EXPECT_NE(output.open(0, [](MidiStreamHeader*) {}), kMidiOk);
    RtMidiInput input;
    EXPECT_TRUE(input.deviceNames().empty());
    EXPECT_NE(input.open(0, [](std::uint32_t) {}), 0);
    EXPECT_NE(input.start(), 0);
  });
}

// The MIDI ports on a JACK server of the test's own, which it kills and starts again under the
// same name. The test's own clients go and come back with it, as the ports of a MIDI interface do.
class JackLossDeviceTest : public DeviceTest {
 protected:
  void SetUp() override {
    DeviceTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    ASSERT_FALSE(server.name().empty()) << "a free name for a JACK server of the test's own";
    ASSERT_TRUE(server.start()) << "a private JACK server, " << server.name() << ": "
                                << server.log();
    jack.emplace("JACK_DEFAULT_SERVER", server.name());
  }

  PrivateJackServer server;
  std::optional<ScopedEnvironment> jack;
};

TEST_F(JackLossDeviceTest, AnInputLostWithItsServerIsToldAndFindsItsPortAgainOnceItIsBack) {
  auto keyboard = std::make_unique<MidiKeyboard>();
  MessageLog log;
  Signal lost;
  RtMidiInput input;
  input.setDeviceLostFn([&lost] { lost.raise(); });
  const std::vector<std::string> names = input.deviceNames();
  const auto found = std::find(names.begin(), names.end(), MidiKeyboard::kPortName);
  ASSERT_NE(found, names.end());
  ASSERT_EQ(input.open(static_cast<int>(found - names.begin()), log.fn()), 0);
  ASSERT_EQ(input.start(), 0);
  EXPECT_EQ(input.reconnect(), 0) << "an input never lost needs nothing";
  // The new connection carries events from the server's next cycles on, whenever those come.
  for (int attempt = 0; attempt < 40 && log.waitFor(1, 0ms).empty(); ++attempt) {
    keyboard->strike(60, 100);
    log.waitFor(1, 50ms);
  }
  const std::size_t beforeLoss = log.waitFor(1, 0ms).size();
  ASSERT_GE(beforeLoss, 1u);

  server.kill();
  ASSERT_TRUE(lost.waitFor(1, 2s)) << "the lost notice";
  keepDeadClient(std::move(keyboard));
  const HangGuard guard("the input after its server went", 30s);
  // Nothing to list; the listing also has libjack free the clients of the server that went.
  EXPECT_TRUE(input.deviceNames().empty());
  EXPECT_TRUE(input.isOpen()) << "lost, not closed";
  EXPECT_NE(input.reconnect(), 0) << "the server is still gone";

  ASSERT_TRUE(server.start()) << server.log();
  EXPECT_NE(input.reconnect(), 0) << "the keyboard's port is not back yet";
  keyboard = std::make_unique<MidiKeyboard>();
  ASSERT_EQ(input.reconnect(), 0);
  // A new connection carries events from the server's next cycles on, whenever those come.
  for (int attempt = 0; attempt < 40 && log.waitFor(beforeLoss + 1, 0ms).size() <= beforeLoss;
       ++attempt) {
    keyboard->strike(62, 100);
    log.waitFor(beforeLoss + 1, 50ms);
  }
  const std::vector<std::uint32_t> received = log.waitFor(beforeLoss + 1, 0ms);
  ASSERT_GT(received.size(), beforeLoss) << "keys arrive again, started as it was";
  EXPECT_EQ(received[beforeLoss], 0x00643E90u);
  EXPECT_EQ(lost.count, 1);

  // Lost again, then closed after a listing: the client that went is not called into.
  server.kill();
  ASSERT_TRUE(lost.waitFor(2, 2s));
  keepDeadClient(std::move(keyboard));
  EXPECT_TRUE(input.deviceNames().empty());
  input.close();
  EXPECT_FALSE(input.isOpen());
  EXPECT_NE(input.reconnect(), 0) << "a closed input is not opened again";
}

TEST_F(JackLossDeviceTest, AnOutputLostWithItsServerRefusesPhrasesUntilItsPortIsBack) {
  auto receiver = std::make_unique<MidiReceiver>();
  Signal lost;
  DoneLog done;
  SystemMidiOut midiOut;
  midiOut.setDeviceLostFn([&lost] { lost.raise(); });
  const int device = deviceNamed(midiOut, MidiReceiver::kPortName);
  ASSERT_NE(device, -1);
  ASSERT_EQ(midiOut.open(device, done.fn()), kMidiOk);
  midiOut.setTimeDivision(96);
  MidiEventList phrase;
  PushNote(phrase, 60, 0, 0, 80, 30);
  MidiStreamHeader header = headerOf(phrase);
  // A new connection carries events from the server's next cycles on, whenever those come.
  std::size_t played = 0;
  while (played < 20 && receiver->wait(1, 0ms).empty()) {
    ASSERT_EQ(midiOut.out(&header), kMidiOk);
    ASSERT_TRUE(done.waitFor(++played, 2s));
    receiver->wait(1, 100ms);
  }
  const std::size_t heard = receiver->wait(1, 0ms).size();
  ASSERT_GE(heard, 1u) << "the port is connected";
  // A note held for two seconds sounds when the server goes.
  MidiEventList held;
  PushNote(held, 64, 0, 0, 80, 96 * 4);
  MidiStreamHeader heldHeader = headerOf(held);
  ASSERT_EQ(midiOut.out(&heldHeader), kMidiOk);
  ASSERT_GT(receiver->wait(heard + 1, 2s).size(), heard);

  server.kill();
  ASSERT_TRUE(lost.waitFor(1, 2s)) << "the lost notice";
  keepDeadClient(std::move(receiver));
  const HangGuard guard("the output after its server went", 30s);
  EXPECT_TRUE(done.waitFor(++played, 4s))
      << "the phrase that sounded still ends with its done notice";
  EXPECT_NE(midiOut.out(&header), kMidiOk) << "a lost output takes no phrase";
  EXPECT_EQ(midiOut.deviceCount(), 0);
  EXPECT_NE(midiOut.reconnect(), kMidiOk) << "the server is still gone";

  ASSERT_TRUE(server.start()) << server.log();
  receiver = std::make_unique<MidiReceiver>();
  ASSERT_EQ(midiOut.reconnect(), kMidiOk);
  // A new connection carries events from the server's next cycles on, whenever those come.
  for (int attempt = 0; attempt < 20 && receiver->wait(2, 100ms).size() < 2; ++attempt) {
    ASSERT_EQ(midiOut.out(&header), kMidiOk);
    ASSERT_TRUE(done.waitFor(++played, 2s));
  }
  const auto received = receiver->wait(2, 0ms);
  EXPECT_TRUE(std::any_of(received.begin(), received.end(), [](const MidiReceiver::Received& r) {
    return r.message == 0x00503C90u;
  })) << "the phrase reaches the port on the new server";
  EXPECT_EQ(lost.count, 1);

  // Lost again and closed in the middle of a phrase.
  ASSERT_EQ(midiOut.out(&heldHeader), kMidiOk);
  server.kill();
  ASSERT_TRUE(lost.waitFor(2, 2s));
  keepDeadClient(std::move(receiver));
  EXPECT_EQ(midiOut.deviceCount(), 0);
  EXPECT_EQ(midiOut.close(), kMidiOk);
}

}  // namespace
}  // namespace auralis::platform::testing
