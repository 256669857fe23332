#include "app/SettingsStore.h"
#include "tests/app/WindowFixture.h"

namespace auralis::testing {
namespace {

using DeviceMenus = WindowTest;

std::vector<QString> captions(const QMenu* menu) {
  std::vector<QString> shown;
  for (const QAction* item : menu->actions()) shown.push_back(item->text());
  return shown;
}

QAction* itemCaptioned(const QMenu* menu, const QString& caption) {
  for (QAction* item : menu->actions())
    if (item->text() == caption) return item;
  return nullptr;
}

// Opening the menu reads the list again, as the devices are now.
void openMenu(QMenu* menu) {
  Q_EMIT menu->aboutToShow();
}

TEST_F(DeviceMenus, AnOpenedMenuListsTheDevicesAsTheyAreNowAndKeepsTheChosenOne) {
  soundInput.devices = {"Headset", "Webcam"};
  TForm1& window = open();
  window.FormActivate();
  QMenu* menu = menus().Microphone1;
  itemCaptioned(menu, QStringLiteral("Webcam"))->trigger();
  ASSERT_EQ(soundInput.openDevice(), 1);

  struct Step {
    const char* name;
    std::vector<std::string> devices;
    std::vector<QString> shown;
    bool webcamListed;
  };
  const Step steps[] = {
      {"a headset unplugged, a USB microphone plugged in",
       {"USB mic", "Webcam"},
       {"Default sound input", "USB mic", "Webcam"},
       true},
      {"the chosen webcam unplugged",
       {"USB mic"},
       {"Default sound input", "USB mic", "Webcam (not connected)"},
       false},
      {"the webcam back",
       {"USB mic", "Webcam"},
       {"Default sound input", "USB mic", "Webcam"},
       true},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.name);
    soundInput.devices = step.devices;
    openMenu(menu);
    EXPECT_EQ(captions(menu), step.shown);
    const QAction* webcam = itemCaptioned(menu, step.shown.back());
    ASSERT_NE(webcam, nullptr);
    EXPECT_TRUE(webcam->isChecked()) << "the chosen device stays chosen";
    EXPECT_EQ(webcam->isEnabled(), step.webcamListed);
    EXPECT_EQ(checkedDeviceName(menu), "Webcam");
    EXPECT_EQ(checkedDeviceId(menu), step.webcamListed ? 1 : -2);
    EXPECT_EQ(soundInput.openDevice(), 1) << "listing changes no device";
  }

  itemCaptioned(menu, QStringLiteral("USB mic"))->trigger();
  EXPECT_EQ(soundInput.openDevice(), 0) << "a device listed since is opened under its place";
  EXPECT_EQ(panel(1), "Mic ON");
  closeWindow();
  EXPECT_EQ(store()->value("Microphone").toString(), "USB mic");
}

TEST_F(DeviceMenus, AKeyboardPluggedInLaterCanBeChosenAndIsRememberedWhileUnplugged) {
  TForm1& window = open();
  window.FormActivate();
  QMenu* menu = menus().MIDIIn1;
  EXPECT_EQ(captions(menu), std::vector<QString>{"None detected"});

  midiInput.devices = {"Keys A"};
  openMenu(menu);
  ASSERT_EQ(captions(menu), std::vector<QString>{"Keys A"});
  itemCaptioned(menu, QStringLiteral("Keys A"))->trigger();
  EXPECT_EQ(midiInput.openDevice(), 0);
  EXPECT_TRUE(midiInput.started());

  const std::size_t calls = midiInput.calls.size();
  openMenu(menu);
  EXPECT_EQ(midiInput.calls.size(), calls) << "the same list leaves the menu and device alone";

  midiInput.devices.clear();
  openMenu(menu);
  EXPECT_EQ(captions(menu), std::vector<QString>{"Keys A (not connected)"})
      << "not \"None detected\": the chosen keyboard is still the one wanted";
  EXPECT_FALSE(menu->actions().front()->isEnabled());
  closeWindow();
  EXPECT_EQ(store()->value("MIDIIn").toString(), "Keys A");
}

}  // namespace
}  // namespace auralis::testing
