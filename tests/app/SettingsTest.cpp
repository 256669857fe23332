#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <array>

#include "app/SettingsStore.h"
#include "tests/app/WindowFixture.h"

namespace auralis::testing {
namespace {

using Settings = WindowTest;

const std::array<const char*, 9> kMasteryKeys = {
    "IdentifyMastery95Percent", "IdentifyMastery100Percent", "IdentifyMastery1Minute",
    "MimicMastery95Percent",    "MimicMastery1Minute",       "UnlockMastery95Percent",
    "UnlockMastery1Minute",     "SingingMastery95Percent",   "SingingMastery1Minute"};

TEST_F(Settings, AFirstRunKeepsTheDefaultsAndStoresEveryKeyInOneSection) {
  midiOut.devices = {"Synth A"};
  midiInput.devices = {"Keys 1"};
  soundInput.devices.clear();
  TForm1& window = open();
  EXPECT_EQ(window.size(), QSize(775, 355));
  EXPECT_EQ(lesson().mastery, Mastery{});
  EXPECT_TRUE(deviceItemsOf(menus().MIDIOut1).front()->isChecked());
  EXPECT_TRUE(deviceItemsOf(menus().MIDIIn1).front()->isChecked());
  closeWindow();

  QSettings file(storeFile(), QSettings::IniFormat);
  EXPECT_EQ(file.childGroups(), QStringList{"Auralis"});
  EXPECT_TRUE(file.childKeys().isEmpty());
  const auto s = store();
  const QStringList checked = {"Solfege1", "DisplayAfter", "High1", "N801"};
  for (const char* key : kStoredChecks) {
    const QString name = QString::fromLatin1(key);
    EXPECT_EQ(s->value(name).toString(), checked.contains(name) ? "1" : "0") << key;
  }
  EXPECT_EQ(s->value("MIDIOut").toString(), "Default MIDI output");
  EXPECT_EQ(s->value("MIDIIn").toString(), "Keys 1");
  EXPECT_EQ(s->value("Microphone").toString(), "") << "written also when empty";
  EXPECT_TRUE(s->contains("Microphone"));
  EXPECT_EQ(s->value("Height").toString(), "355");
  EXPECT_EQ(s->value("Width").toString(), "775");
  for (const char* key : kMasteryKeys) EXPECT_EQ(s->value(key).toString(), "0") << key;
  EXPECT_EQ(s->allKeys().size(), 30 + 3 + 2 + 9);
}

TEST_F(Settings, AChangedRunIsRestoredAtTheNextStart) {
  midiInput.devices = {"Keys 1", "Keys 2"};
  midiOut.devices = {"Synth A", "Synth B"};
  TForm1& first = open();
  menus().Piano1->trigger();
  menus().Low1->trigger();
  menus().volumeItems[4]->trigger();
  deviceItemsOf(menus().MIDIIn1)[1]->trigger();
  deviceItemsOf(menus().MIDIOut1)[2]->trigger();
  first.resize(790, 500);
  closeWindow();

  TForm1& second = open();
  EXPECT_TRUE(menus().Piano1->isChecked());
  EXPECT_FALSE(menus().Solfege1->isChecked());
  EXPECT_TRUE(lesson().menus.Piano1);
  EXPECT_TRUE(menus().Low1->isChecked());
  EXPECT_EQ(second.core().detector().detectionThreshold, 1000);
  EXPECT_TRUE(menus().volumeItems[4]->isChecked());
  EXPECT_EQ(second.core().player().MidiOutVolume, 50);
  EXPECT_EQ(second.SelectedMidiInDevice(), 1);
  EXPECT_EQ(midiInput.openDevice(), 1);
  EXPECT_EQ(checkedDeviceId(menus().MIDIOut1), 1);
  EXPECT_EQ(midiOut.calls.back(), "timediv 96");
  EXPECT_EQ(second.size(), QSize(790, 500));
}

TEST_F(Settings, TwoRunsWithoutChangeWriteTheSameFile) {
  open();
  closeWindow();
  const QByteArray first = contentsOf(storeFile());
  open();
  closeWindow();
  EXPECT_FALSE(first.isEmpty());
  EXPECT_EQ(contentsOf(storeFile()), first);
}

TEST_F(Settings, ADeviceThatIsGoneLeavesTheDefaultCheckedAndIsReplacedAtExit) {
  midiOut.devices = {"Synth A"};
  storeValue("MIDIOut", "Removed Synth");
  storeValue("MIDIIn", "Removed Keys");
  midiInput.devices = {"Keys 1"};
  open();
  EXPECT_EQ(checkedDeviceId(menus().MIDIOut1), -1);
  EXPECT_EQ(form->SelectedMidiInDevice(), 0);
  closeWindow();
  EXPECT_EQ(store()->value("MIDIOut").toString(), "Default MIDI output");
  EXPECT_EQ(store()->value("MIDIIn").toString(), "Keys 1");
}

TEST_F(Settings, StoredWindowSizesAreKeptBetweenTheMinimumAndTheScreen) {
  // The screen the window opens on; the test needs it larger than the window's minimum.
  const QSize room = QGuiApplication::primaryScreen()->availableGeometry().size();
  ASSERT_GT(room.width(), 790);
  ASSERT_GT(room.height(), 400);
  const auto number = [](int value) { return QByteArray::number(value); };
  struct Case {
    QByteArray height;
    QByteArray width;
    QSize size;
  };
  const std::array cases = {
      Case{"400", "500", {775, 400}},  // never narrower than the minimum
      Case{"abc", "790", {790, 355}},  // text that is no number is ignored
      Case{"400", "12x", {775, 400}},
      Case{"", "", {775, 355}},          // empty: skipped
      Case{"-5", "-99999", {775, 355}},  // never smaller than the minimum
      Case{"32767", "32767", room},      // never larger than the screen
      Case{number(room.height() + 1), number(room.width() + 1), room},
      Case{number(room.height()), number(room.width()), room},
      Case{"99999999", "2147483647", room},
      Case{"99999999999", "790", {790, 355}},  // beyond 32 bits: not an integer
  };
  for (const Case& c : cases) {
    storeValue("Height", c.height);
    storeValue("Width", c.width);
    TForm1& window = open();
    EXPECT_EQ(window.size(), c.size) << c.height.constData() << " x " << c.width.constData();
    closeWindow();
    EXPECT_EQ(store()->value("Height").toString(), QString::number(c.size.height()))
        << "the size shown is the size saved";
    EXPECT_EQ(store()->value("Width").toString(), QString::number(c.size.width()));
    store()->remove(QString());  // start afresh
  }
}

TEST_F(Settings, ThePitchGraphAddsItsHeightOnceAndTheStoredHeightHoldsIt) {
  TForm1& first = open();
  ASSERT_EQ(first.height(), kFormHeight);
  // Each step: shown or hidden, then the window's height.
  const std::array<std::pair<bool, int>, 4> steps = {{{true, kFormHeight + kPitchGraphHeight},
                                                      {false, kFormHeight},
                                                      {true, kFormHeight + kPitchGraphHeight},
                                                      {false, kFormHeight}}};
  for (const auto& [shown, height] : steps) {
    first.pitchGraphItem()->setChecked(shown);
    EXPECT_EQ(first.height(), height) << (shown ? "shown" : "hidden");
  }
  first.pitchGraphItem()->setChecked(true);
  closeWindow();
  EXPECT_EQ(store()->value("Height").toString(), QString::number(kFormHeight + kPitchGraphHeight));

  // The next run opens at the stored height, the graph's share already in it.
  TForm1& second = open();
  EXPECT_TRUE(second.pitchGraph()->isVisibleTo(&second));
  EXPECT_EQ(second.height(), kFormHeight + kPitchGraphHeight);
  second.pitchGraphItem()->setChecked(false);
  EXPECT_EQ(second.height(), kFormHeight);
}

TEST_F(Settings, MasteryValuesAreKeptInsideTheirLessonTables) {
  struct Case {
    const char* key;
    QVariant stored;
    int Mastery::*field;
    int loaded;
  };
  const std::array cases = {
      Case{"IdentifyMastery95Percent", -7, &Mastery::IdentifyMastery95Percent, 0},
      Case{"IdentifyMastery100Percent", 2147483647, &Mastery::IdentifyMastery100Percent, 66},
      Case{"IdentifyMastery1Minute", "99999999999", &Mastery::IdentifyMastery1Minute, 0},
      Case{"MimicMastery95Percent", "twelve", &Mastery::MimicMastery95Percent, 0},
      Case{"MimicMastery1Minute", 40, &Mastery::MimicMastery1Minute, 40},
      Case{"UnlockMastery95Percent", 18, &Mastery::UnlockMastery95Percent, 17},
      Case{"UnlockMastery1Minute", -2147483647 - 1, &Mastery::UnlockMastery1Minute, 0},
      Case{"SingingMastery95Percent", 30, &Mastery::SingingMastery95Percent, 21},
      Case{"SingingMastery1Minute", 21, &Mastery::SingingMastery1Minute, 21},
  };
  for (const Case& c : cases) storeValue(c.key, c.stored);
  open();
  for (const Case& c : cases) EXPECT_EQ(lesson().mastery.*c.field, c.loaded) << c.key;
  // Every lesson starts and shows its levels with such a store.
  type("i");
  EXPECT_EQ(panel(3), "1 / 67 / 1");
  type("s");
  EXPECT_EQ(panel(2), "22 of 22");
  EXPECT_EQ(panel(3), "22 / 22");
  type("u");
  EXPECT_EQ(panel(3), "1");
}

TEST_F(Settings, CheckMarksAreReadInOrderSoTheLastOfAGroupWins) {
  storeValue("Solfege1", "1");
  storeValue("Notes1", "1");  // read after Solfege1
  storeValue("High1", "0");   // the whole group unchecked
  storeValue("Medium1", "0");
  storeValue("Low1", "0");
  storeValue("N801", "yes");  // not an integer: the default stays
  storeValue("DisplayAlways", "7");
  storeValue("Offtones1", "1");  // written, never read
  open();
  EXPECT_TRUE(menus().Notes1->isChecked());
  EXPECT_FALSE(menus().Solfege1->isChecked());
  EXPECT_FALSE(menus().High1->isChecked() || menus().Medium1->isChecked() ||
               menus().Low1->isChecked());
  EXPECT_EQ(form->core().detector().detectionThreshold, 0);
  EXPECT_TRUE(menus().volumeItems[7]->isChecked());
  EXPECT_TRUE(menus().DisplayAlways->isChecked());
  EXPECT_TRUE(lesson().menus.DisplayAlways);
  EXPECT_FALSE(menus().Offtones1->isChecked());
  EXPECT_TRUE(menus().Corvin1->isChecked());
  closeWindow();
  EXPECT_EQ(store()->value("Offtones1").toString(), "0");
}

TEST_F(Settings, MasteryIsStoredAtEveryPromotion) {
  open();
  type("i");
  for (int answer = 0; answer < 20; ++answer) answerRight();
  EXPECT_EQ(panel(2), "2 of 67") << "twenty in a row promote";
  for (const char* key : kMasteryKeys) EXPECT_TRUE(store()->contains(key)) << key;
  EXPECT_FALSE(store()->contains("Solfege1")) << "only the mastery keys are written then";
  // Leaving the second level raises the levels reached.
  for (int answer = 0; answer < 20; ++answer) answerRight();
  EXPECT_EQ(panel(2), "3 of 67");
  EXPECT_EQ(store()->value("IdentifyMastery95Percent").toInt(), 1);
  EXPECT_EQ(store()->value("IdentifyMastery100Percent").toInt(), 1);
  EXPECT_EQ(store()->value("IdentifyMastery1Minute").toInt(), 1);
}

TEST(DeviceMenuTranslation, NamesAndIdentifiersComeFromTheCheckedItem) {
  QMenu menu;
  const auto items =
      fillDeviceMenu(&menu, {{-1, "Default"}, {0, "Rock & Roll"}, {1, "Plain"}, {2, "Plain"}});
  EXPECT_EQ(items[1]->text(), "Rock && Roll") << "shown with its ampersand";
  EXPECT_EQ(checkedDeviceName(&menu), "Default");
  EXPECT_EQ(checkedDeviceId(&menu), -1);

  EXPECT_TRUE(selectDeviceByName(&menu, "Rock & Roll"));
  EXPECT_EQ(checkedDeviceName(&menu), "Rock & Roll");
  EXPECT_EQ(checkedDeviceId(&menu), 0);

  EXPECT_TRUE(selectDeviceByName(&menu, "Plain"));
  EXPECT_EQ(checkedDeviceId(&menu), 1) << "the first item of that name";

  EXPECT_FALSE(selectDeviceByName(&menu, "plain"));
  EXPECT_FALSE(selectDeviceByName(&menu, "Plai"));
  EXPECT_EQ(checkedDeviceId(&menu), 1) << "no match changes nothing";

  items[2]->setChecked(false);
  EXPECT_EQ(checkedDeviceId(&menu), -2);
  EXPECT_EQ(checkedDeviceName(&menu), "");
}

}  // namespace
}  // namespace auralis::testing
