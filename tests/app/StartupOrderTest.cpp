// The window comes up before the audio and MIDI services are asked for their devices; the lists
// are asked for once the event loop runs, and the devices and the first lesson follow once they
// are in.

#include <array>
#include <memory>

#include "app/SettingsStore.h"
#include "tests/app/WindowFixture.h"
#include "tests/platform/Gate.h"

namespace auralis::testing {
namespace {

using platform::testing::Gate;

std::vector<QString> captions(const QMenu* menu) {
  std::vector<QString> shown;
  for (const QAction* item : menu->actions()) shown.push_back(item->text());
  return shown;
}

// The microphone's service answers on its own thread and holds its list until the test lets
// it go, as a slow or stalled audio server does.
class StartupOrder : public WindowTest {
 protected:
  StartupOrder() {
    slowInput.devices = {"Headset", "Webcam"};
    slowInput.onCall = [gate = gate](const std::string& call) {
      if (call == "list") gate->pass();
    };
  }
  ~StartupOrder() override {
    gate->open();
    form.reset();  // before the input it runs on
  }

  TForm1& openSlowly() {
    form = std::make_unique<TForm1>(
        Services{midiOut, slowInput, midiInput, sounds, documents, [](int) {},
                 [] { ADD_FAILURE() << "a device was still busy when the window closed"; }});
    form->show();
    form->FormActivate();
    return *form;
  }
  // The event loop runs, and the microphone's service is asked for its list.
  bool listAsked() {
    return QTest::qWaitFor([this] { return gate->entered(); }, 5000);
  }
  // The held list is handed back and its reply reaches the window.
  void letTheListCome() {
    gate->open();
    ASSERT_TRUE(QTest::qWaitFor([this] { return form->devicesListed(); }, 5000));
  }

  platform::FakeSoundInput slowInput{true};
  std::shared_ptr<Gate> gate = std::make_shared<Gate>();
};

TEST_F(StartupOrder, TheWindowIsUpBeforeTheListsAndTheDevicesAndLessonFollowInTheirOrder) {
  midiInput.devices = {"Keys"};
  storeValue("Microphone", QStringLiteral("Webcam"));
  TForm1& window = openSlowly();
  // Shown, and nothing asked of the services while the event loop has not run.
  EXPECT_FALSE(gate->waitUntilEntered(std::chrono::milliseconds(200)));
  ASSERT_TRUE(listAsked());

  // Shown, with its texts, while the microphone's service has not answered.
  EXPECT_TRUE(window.isVisible());
  EXPECT_FALSE(window.devicesListed());
  EXPECT_EQ(panel(1), QStringLiteral("Mic Off"));
  EXPECT_TRUE(menus().Microphone1->actions().isEmpty());
  EXPECT_TRUE(menus().MIDIOut1->actions().isEmpty());
  EXPECT_TRUE(midiOut.calls.empty()) << "no device opens before every list is in";
  EXPECT_TRUE(midiInput.calls.empty());
  EXPECT_FALSE(lesson().micWanted) << "the first lesson waits for the devices";
  // Opening a menu meanwhile waits for the lists of the start.
  Q_EMIT menus().Microphone1->aboutToShow();
  EXPECT_TRUE(menus().Microphone1->actions().isEmpty());

  letTheListCome();
  EXPECT_EQ(captions(menus().Microphone1),
            (std::vector<QString>{QStringLiteral("Default sound input"), QStringLiteral("Headset"),
                                  QStringLiteral("Webcam")}));
  EXPECT_EQ(checkedDeviceName(menus().Microphone1), QStringLiteral("Webcam"));
  ASSERT_FALSE(midiOut.calls.empty());
  EXPECT_EQ(midiOut.calls.front(), "open -1");
  ASSERT_FALSE(midiInput.calls.empty());
  EXPECT_EQ(midiInput.calls.front(), "open 0");
  // The first lesson, held back at the first activation, starts the chosen microphone.
  ASSERT_TRUE(QTest::qWaitFor([this] { return slowInput.started(); }, 5000));
  EXPECT_EQ(slowInput.openDevice(), 1);
  EXPECT_TRUE(lesson().micWanted);
  EXPECT_EQ(panel(1), QStringLiteral("Mic ON"));
}

TEST_F(StartupOrder, QuittingBeforeTheListsAreInKeepsTheChosenDevices) {
  storeValue("Microphone", QStringLiteral("Webcam"));
  storeValue("MIDIOut", QStringLiteral("Fake Synth"));
  storeValue("N501", 1);
  openSlowly();
  ASSERT_TRUE(listAsked());
  // The list is back on the device's side, but the window has not taken it when it quits.
  gate->open();
  closeWindow();

  EXPECT_EQ(store()->value(QStringLiteral("Microphone")).toString(), QStringLiteral("Webcam"));
  EXPECT_EQ(store()->value(QStringLiteral("MIDIOut")).toString(), QStringLiteral("Fake Synth"));
  EXPECT_EQ(store()->value(QStringLiteral("N501")).toString(), QStringLiteral("1"));
}

TEST_F(StartupOrder, AListThatNeverComesLeavesItsMenuEmptyAndTheOthersWork) {
  storeValue("Microphone", QStringLiteral("Webcam"));
  openSlowly();
  ASSERT_TRUE(listAsked());
  ASSERT_TRUE(QTest::qWaitFor([this] { return form->devicesListed(); },
                              static_cast<int>((kDeviceListingWait * 2).count())));

  EXPECT_EQ(captions(menus().Microphone1), std::vector<QString>{kNoDeviceCaption});
  EXPECT_EQ(panel(1), QStringLiteral("No Mic"));
  ASSERT_FALSE(midiOut.calls.empty());
  EXPECT_EQ(midiOut.calls.front(), "open -1");
  EXPECT_TRUE(lesson().micWanted);
  form->saveSettings();
  EXPECT_EQ(store()->value("Microphone").toString(), QStringLiteral("Webcam"))
      << "a quit while the list is on its way keeps the stored microphone";
  // Once the service answers, the menu shows its devices.
  gate->open();
  Q_EMIT menus().Microphone1->aboutToShow();
  EXPECT_TRUE(QTest::qWaitFor([this] { return menus().Microphone1->actions().size() == 3; }, 5000));
}

TEST_F(StartupOrder, ALessonChosenBeforeTheListsAreInIsKeptAndListensOnlyWhenItCaptures) {
  struct Case {
    const char* name;
    LessonItem item;
    LessonMode mode;
    bool listens;
  };
  const std::array cases = {Case{"Identify", LessonItem::Identify1, LessonMode::Identify, false},
                            Case{"Mimic", LessonItem::MimicSing1, LessonMode::Mimic, true}};
  for (const Case& c : cases) {
    gate = std::make_shared<Gate>();
    slowInput.onCall = [gate = gate](const std::string& call) {
      if (call == "list") gate->pass();
    };
    openSlowly();
    ASSERT_TRUE(listAsked()) << c.name;
    form->toolBar().lessonButton(c.item)->click();
    EXPECT_NE(panel(1), QStringLiteral("Mic ON")) << c.name << ": no device is open yet";

    letTheListCome();
    EXPECT_EQ(lesson().lessonMode, c.mode) << c.name;
    EXPECT_TRUE(menus().lessonAction(c.item)->isChecked()) << c.name;
    EXPECT_EQ(lesson().micWanted, c.listens) << c.name;
    if (c.listens) {
      EXPECT_TRUE(QTest::qWaitFor([this] { return slowInput.started(); }, 5000)) << c.name;
      EXPECT_EQ(panel(1), QStringLiteral("Mic ON")) << c.name;
    } else {
      QTest::qWait(50);
      EXPECT_FALSE(slowInput.started()) << c.name;
      EXPECT_EQ(panel(1), QStringLiteral("Mic OFF")) << c.name;
    }
    gate->open();
    form.reset();
  }
}

TEST_F(StartupOrder, AListThatComesAfterTheWaitIsTakenThenAndItsStoredDeviceOpens) {
  storeValue("Microphone", QStringLiteral("Webcam"));
  openSlowly();
  ASSERT_TRUE(listAsked());
  ASSERT_TRUE(QTest::qWaitFor([this] { return form->devicesListed(); },
                              static_cast<int>((kDeviceListingWait * 2).count())));
  ASSERT_TRUE(lesson().micWanted);
  EXPECT_EQ(panel(1), QStringLiteral("No Mic"));

  // No menu is opened: the list is taken as it comes.
  gate->open();
  ASSERT_TRUE(QTest::qWaitFor([this] { return menus().Microphone1->actions().size() == 3; }, 5000));
  EXPECT_EQ(checkedDeviceName(menus().Microphone1), QStringLiteral("Webcam"));
  ASSERT_TRUE(QTest::qWaitFor([this] { return slowInput.started(); }, 5000));
  EXPECT_EQ(slowInput.openDevice(), 1);
  EXPECT_EQ(panel(1), QStringLiteral("Mic ON"));
  closeWindow();
  EXPECT_EQ(store()->value(QStringLiteral("Microphone")).toString(), QStringLiteral("Webcam"));
}

}  // namespace
}  // namespace auralis::testing
