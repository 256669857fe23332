#pragma once

#include <RtMidi.h>
#include <QTemporaryDir>
#include <QTimer>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "DeviceServices.h"
#include "app/Main.h"
#include "devices/FluidSynthMidiOut.h"
#include "devices/RtAudioFeedbackSoundPlayer.h"
#include "devices/RtAudioSoundInput.h"
#include "devices/RtMidiInput.h"
#include "devices/StreamTiming.h"
#include "devices/SystemMidiOut.h"
#include "platform/FakeFeedbackSoundPlayer.h"
#include "tests/app/EventLoopProbes.h"
#include "tests/app/WindowFixture.h"

namespace auralis {

// A failure message shows the nine values, in field order.
inline void PrintTo(const Mastery& m, std::ostream* out) {
  *out << "{" << m.IdentifyMastery95Percent << ", " << m.IdentifyMastery100Percent << ", "
       << m.IdentifyMastery1Minute << ", " << m.MimicMastery95Percent << ", "
       << m.MimicMastery1Minute << ", " << m.UnlockMastery95Percent << ", "
       << m.UnlockMastery1Minute << ", " << m.SingingMastery95Percent << ", "
       << m.SingingMastery1Minute << "}";
}

}  // namespace auralis

namespace auralis::testing {

using Clock = std::chrono::steady_clock;

// Distinct values, each inside its lesson's table, none of them near a promotion: the mastery
// stored before a fault, which it must leave as it was.
inline constexpr Mastery kFaultMastery = {.IdentifyMastery95Percent = 3,
                                          .IdentifyMastery100Percent = 1,
                                          .IdentifyMastery1Minute = 2,
                                          .MimicMastery95Percent = 4,
                                          .MimicMastery1Minute = 5,
                                          .UnlockMastery95Percent = 6,
                                          .UnlockMastery1Minute = 7,
                                          .SingingMastery95Percent = 8,
                                          .SingingMastery1Minute = 9};
using platform::testing::HangGuard;

// The system's MIDI output, with a record of every phrase it was handed and of every done
// notice it gave.
class RecordingMidiOut final : public platform::MidiOutStream {
 public:
  struct Phrase {
    platform::TimedPhrase timed;
    Clock::time_point queued;
    bool accepted = false;
  };

  explicit RecordingMidiOut(std::vector<std::string> soundFonts);

  int deviceCount() override { return device_.deviceCount(); }
  std::string deviceName(int device) override { return device_.deviceName(device); }
  int open(int device, DoneFn onDone) override;
  int setTimeDivision(int ticksPerQuarterNote) override {
    return device_.setTimeDivision(ticksPerQuarterNote);
  }
  int out(platform::MidiStreamHeader* header) override;
  int stop() override { return device_.stop(); }
  int close() override { return device_.close(); }
  void setDeviceLostFn(LostFn onLost) override { device_.setDeviceLostFn(std::move(onLost)); }
  int reconnect() override { return device_.reconnect(); }

  std::vector<Phrase> phrases() const;
  std::vector<Clock::time_point> doneNotices() const;
  std::size_t phraseCount() const;
  // The note-ons of the phrase most recently handed over.
  std::vector<int> lastNotes() const;

 private:
  mutable std::mutex mutex_;
  std::vector<Phrase> phrases_;
  std::vector<Clock::time_point> dones_;
  platform::SystemMidiOut device_;  // last, so that it has gone before the record it writes to
};

// The real feedback sound player, with a record of which sound it was asked for.
class RecordingFeedbackSounds final : public platform::FeedbackSoundPlayer {
 public:
  void playSync(const std::uint8_t* wave, std::size_t bytes) override;

  std::vector<FeedbackSound> heard() const;
  void clearHeard();

 private:
  mutable std::mutex mutex_;
  std::vector<FeedbackSound> heard_;
  platform::FakeFeedbackSoundPlayer silent_;
  FeedbackSounds reference_{silent_};
  platform::RtAudioFeedbackSoundPlayer speaker_;
};

// The real window on the real audio and MIDI backends, with a settings store of its own below
// the private XDG_CONFIG_HOME. A singer feeds the pipe-source microphone for as long as the
// window lives: capture cannot stop while its FIFO is dry.
class DeviceWindowTest : public platform::testing::DeviceTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Builds the backends, after any change of PULSE_SERVER, and the window on them, and activates
  // it the first time, which starts Practice Singing.
  TForm1& open(
      std::vector<std::string> soundFonts = platform::FluidSynthMidiOut::standardSoundFonts(),
      const std::function<void(TForm1&)>& beforeActivation = {});
  // Ends the run as quitting does, saving the settings, and releases the backends.
  void closeWindow();

  // Starts feeding the microphone FIFO, silence until sing() says otherwise.
  void startSinger(const std::string& fifo);
  // 0 Hz is silence.
  void sing(double frequency);

  // Handles the window's events until condition holds; false when timeout passes first.
  static bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout);
  // Handles the window's events for the whole span.
  static void keepRunning(std::chrono::milliseconds span);
  // No phrase sounds and none waits to be played.
  bool quiet();
  bool waitUntilQuiet(std::chrono::milliseconds timeout) {
    return waitFor([this] { return quiet(); }, timeout);
  }

  void type(std::string_view keys);
  Lesson& lesson() { return form->lesson(); }
  const MainMenu& menus() { return form->menus(); }
  QString panel(int index) { return form->statusPanels().text(index); }
  std::string rightAnswer();
  // A triggered item of a device menu, as a click on it, once the device's calls it set off have
  // returned; false when no item has that caption.
  bool chooseDevice(QMenu* menu, const QString& caption);
  // The menu opens, and reads its list again; true once an item captioned `caption` shows.
  bool openMenuUntilListed(QMenu* menu, const QString& caption, std::chrono::milliseconds timeout);
  // Every call into the microphone and the MIDI devices has returned.
  bool devicesSettled();

  QString storeFile() const;
  void storeValue(std::string_view key, const QVariant& value) const;
  QVariant storedValue(std::string_view key) const;
  void storeMastery(const Mastery& mastery) const;
  Mastery storedMastery() const;

  std::unique_ptr<QTemporaryDir> configDir;
  std::optional<platform::testing::ScopedEnvironment> configHome;
  std::unique_ptr<platform::testing::FifoWriter> singer;
  std::unique_ptr<RecordingMidiOut> midiOut;
  std::unique_ptr<platform::RtAudioSoundInput> soundInput;
  std::unique_ptr<platform::RtMidiInput> midiInput;
  std::unique_ptr<RecordingFeedbackSounds> sounds;
  RecordingOpener documents;
  std::unique_ptr<TForm1> form;
};

// Records the null sink's monitor, where everything the built-in synthesiser plays arrives,
// while the window goes on handling its events.
class SinkListener {
 public:
  SinkListener();
  // Opens the monitor and records until it delivers at the pace of real time.
  bool start(std::chrono::milliseconds timeout);
  void listen(std::chrono::milliseconds span);
  bool listenUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout);
  const std::vector<std::int16_t>& samples() const { return recorder_.samples; }

 private:
  platform::RtAudioSoundInput input_;
  platform::testing::CaptureRecorder recorder_;
};

using platform::testing::JackKeyboard;

// Start of the first 10 ms holding sound in samples, from index from on.
std::optional<std::size_t> soundOnset(const std::vector<std::int16_t>& samples, std::size_t from);

// The readout's text for a sung MIDI note, as the window's detector names its frequency.
QString readoutOf(const TForm1& window, int note);

}  // namespace auralis::testing
