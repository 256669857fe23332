#include "tests/app/DeviceWindow.h"

#include <QCoreApplication>
#include <QFile>
#include <QSettings>
#include <QTest>
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "app/SettingsStore.h"

namespace auralis::testing {

using namespace std::chrono_literals;
using platform::testing::environment;

namespace {

QString configRoot() {
  const std::string root = environment("XDG_CONFIG_HOME");
  return root.empty() ? QDir::tempPath() : QString::fromStdString(root);
}

}  // namespace

RecordingMidiOut::RecordingMidiOut(std::vector<std::string> soundFonts)
    : device_(std::move(soundFonts)) {}

int RecordingMidiOut::open(int device, DoneFn onDone) {
  return device_.open(device, [this, onDone](platform::MidiStreamHeader* header) {
    {
      std::lock_guard lock(mutex_);
      dones_.push_back(Clock::now());
    }
    onDone(header);
  });
}

int RecordingMidiOut::out(platform::MidiStreamHeader* header) {
  Phrase phrase{platform::timedPhrase(*header), Clock::now()};
  const int result = device_.out(header);
  phrase.accepted = result == platform::kMidiOk;
  std::lock_guard lock(mutex_);
  phrases_.push_back(std::move(phrase));
  return result;
}

std::vector<RecordingMidiOut::Phrase> RecordingMidiOut::phrases() const {
  std::lock_guard lock(mutex_);
  return phrases_;
}

std::vector<Clock::time_point> RecordingMidiOut::doneNotices() const {
  std::lock_guard lock(mutex_);
  return dones_;
}

std::size_t RecordingMidiOut::phraseCount() const {
  std::lock_guard lock(mutex_);
  return phrases_.size();
}

std::vector<int> RecordingMidiOut::lastNotes() const {
  std::lock_guard lock(mutex_);
  std::vector<int> notes;
  if (phrases_.empty()) return notes;
  for (const platform::TimedMessage& m : phrases_.back().timed.messages)
    if (platform::isNoteOn(m.message)) notes.push_back(noteOf(m.message));
  return notes;
}

void RecordingFeedbackSounds::playSync(const std::uint8_t* wave, std::size_t bytes) {
  bool known = false;
  for (FeedbackSound sound : {FeedbackSound::Correct, FeedbackSound::Incorrect,
                              FeedbackSound::Promote, FeedbackSound::Demote}) {
    const QByteArray& loaded = reference_.wave(sound);
    if (!loaded.isEmpty() && bytes == static_cast<std::size_t>(loaded.size()) &&
        std::memcmp(loaded.constData(), wave, bytes) == 0) {
      std::lock_guard lock(mutex_);
      heard_.push_back(sound);
      known = true;
    }
  }
  EXPECT_TRUE(known) << "a sound that is none of the four";
  speaker_.playSync(wave, bytes);
}

std::vector<FeedbackSound> RecordingFeedbackSounds::heard() const {
  std::lock_guard lock(mutex_);
  return heard_;
}

void RecordingFeedbackSounds::clearHeard() {
  std::lock_guard lock(mutex_);
  heard_.clear();
}

void DeviceWindowTest::SetUp() {
  DeviceTest::SetUp();
  if (IsSkipped() || HasFatalFailure()) return;
  configDir =
      std::make_unique<QTemporaryDir>(configRoot() + QStringLiteral("/auralis-test-XXXXXX"));
  ASSERT_TRUE(configDir->isValid());
  // Each test's own folder, given back at its end: the next test in this process makes its own
  // beside the services' one, not inside this one once it has gone.
  configHome.emplace("XDG_CONFIG_HOME", QFile::encodeName(configDir->path()).toStdString());
  startSinger(environment("AURALIS_TEST_MIC_FIFO"));
}

void DeviceWindowTest::TearDown() {
  closeWindow();
  singer.reset();
  configHome.reset();
}

TForm1& DeviceWindowTest::open(std::vector<std::string> soundFonts,
                               const std::function<void(TForm1&)>& beforeActivation) {
  midiOut = std::make_unique<RecordingMidiOut>(std::move(soundFonts));
  soundInput = std::make_unique<platform::RtAudioSoundInput>();
  midiInput = std::make_unique<platform::RtMidiInput>();
  sounds = std::make_unique<RecordingFeedbackSounds>();
  form = std::make_unique<TForm1>(
      Services{*midiOut, *soundInput, *midiInput, *sounds, documents, blockingPause,
               [] { ADD_FAILURE() << "a device did not close within the wait at exit"; }});
  if (beforeActivation) beforeActivation(*form);
  form->show();
  form->FormActivate();
  // The devices are listed, and the first lesson starts, after the window has been shown.
  EXPECT_TRUE(waitFor([this] { return form->devicesListed(); },
                      kDeviceListingWait + std::chrono::seconds(1)));
  return *form;
}

void DeviceWindowTest::closeWindow() {
  form.reset();
  sounds.reset();
  midiInput.reset();
  soundInput.reset();
  midiOut.reset();
}

void DeviceWindowTest::startSinger(const std::string& fifo) {
  singer = std::make_unique<platform::testing::FifoWriter>(fifo, platform::testing::sungTone(0));
}

void DeviceWindowTest::sing(double frequency) {
  singer->setSource(platform::testing::sungTone(frequency));
}

bool DeviceWindowTest::waitFor(const std::function<bool()>& condition,
                               std::chrono::milliseconds timeout) {
  return QTest::qWaitFor(condition, static_cast<int>(timeout.count()));
}

void DeviceWindowTest::keepRunning(std::chrono::milliseconds span) {
  QTest::qWait(static_cast<int>(span.count()));
}

bool DeviceWindowTest::quiet() {
  return form->core().player().PlaybackIdle() && !lesson().ReplayPending;
}

void DeviceWindowTest::type(std::string_view keys) {
  for (char ch : keys) QTest::keyClick(form->notePanel(), ch);
}

std::string DeviceWindowTest::rightAnswer() {
  std::string letters;
  for (int i = 0; i < lesson().question.QuestionNoteCount; ++i)
    letters += NoteLetters[pitchClassOf(lesson().question.QuestionNotes[i])];
  return letters;
}

bool DeviceWindowTest::chooseDevice(QMenu* menu, const QString& caption) {
  for (QAction* item : deviceItemsOf(menu))
    if (item->text() == caption) {
      item->trigger();
      return devicesSettled();
    }
  return false;
}

bool DeviceWindowTest::openMenuUntilListed(QMenu* menu, const QString& caption,
                                           std::chrono::milliseconds timeout) {
  const auto listed = [&] {
    for (const QAction* item : menu->actions())
      if (item->text() == caption) return true;
    return false;
  };
  const auto deadline = Clock::now() + timeout;
  while (Clock::now() < deadline) {
    Q_EMIT menu->aboutToShow();
    if (waitFor(listed, 500ms)) return true;
  }
  return false;
}

bool DeviceWindowTest::devicesSettled() {
  return form->core().FinishDeviceCalls(Clock::now() + 5s);
}

QString DeviceWindowTest::storeFile() const {
  return configDir->path() + QStringLiteral("/Auralis/Auralis.ini");
}

void DeviceWindowTest::storeValue(std::string_view key, const QVariant& value) const {
  QSettings store(storeFile(), QSettings::IniFormat);
  store.beginGroup(QString::fromLatin1(settingsSection));
  store.setValue(QString::fromLatin1(key.data(), static_cast<qsizetype>(key.size())), value);
}

QVariant DeviceWindowTest::storedValue(std::string_view key) const {
  QSettings store(storeFile(), QSettings::IniFormat);
  store.beginGroup(QString::fromLatin1(settingsSection));
  return store.value(QString::fromLatin1(key.data(), static_cast<qsizetype>(key.size())));
}

void DeviceWindowTest::storeMastery(const Mastery& mastery) const {
  for (const MasteryField& field : kMasteryFields) storeValue(field.name, mastery.*field.value);
}

Mastery DeviceWindowTest::storedMastery() const {
  Mastery mastery;
  for (const MasteryField& field : kMasteryFields) {
    bool ok = false;
    mastery.*field.value = storedValue(field.name).toString().toInt(&ok);
    if (!ok) mastery.*field.value = -1;
  }
  return mastery;
}

SinkListener::SinkListener() : recorder_(input_) {}

bool SinkListener::start(std::chrono::milliseconds timeout) {
  const int monitor = platform::testing::inputDeviceNamed(input_, "Monitor of");
  if (monitor < 0 || !recorder_.open(monitor)) return false;
  recorder_.start();
  const auto deadline = Clock::now() + timeout;
  while (Clock::now() < deadline) {
    if (recorder_.settle(100ms)) return true;
    QCoreApplication::processEvents();
  }
  return false;
}

void SinkListener::listen(std::chrono::milliseconds span) {
  listenUntil([] { return false; }, span);
}

bool SinkListener::listenUntil(const std::function<bool()>& condition,
                               std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  while (Clock::now() < deadline) {
    recorder_.pump(1, 10ms);
    QCoreApplication::processEvents();
    if (condition()) return true;
  }
  return false;
}

std::optional<std::size_t> soundOnset(const std::vector<std::int16_t>& samples, std::size_t from) {
  constexpr std::size_t kStep = platform::testing::kRate / 100;
  for (std::size_t at = from; at + kStep <= samples.size(); at += kStep / 4)
    if (platform::testing::rootMeanSquare(samples.data() + at, kStep) > 300) return at;
  return std::nullopt;
}

QString readoutOf(const TForm1& window, int note) {
  return QString::asprintf("%1.1f Hz",
                           static_cast<double>(window.core().detector().noteFrequency(note - 21)));
}

}  // namespace auralis::testing
