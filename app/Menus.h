#pragma once

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QMenuBar>
#include <QString>
#include <array>
#include <vector>

#include "engine/LessonMode.h"

namespace auralis {

inline constexpr const char* kNoDeviceCaption = "None detected";
inline constexpr const char* kHelpStatusTip = "Open the help page in the web browser";

// Ctrl+X, Ctrl+Q and the desktop's own quit key.
QList<QKeySequence> quitShortcuts();

inline constexpr std::array<LessonItem, 6> kLessonItems = {
    LessonItem::Warmup1,    LessonItem::Identify1, LessonItem::Unlock1,
    LessonItem::MimicSing1, LessonItem::Sing1,     LessonItem::Meditate1};

// What a lesson does, for its menu item and its tool button.
QString lessonStatusTip(LessonItem item);
// Follows the name of a chosen device that is no longer listed.
inline constexpr const char* kNotConnectedSuffix = " (not connected)";
// The identifier of a device that is not listed: every open refuses it.
inline constexpr int kUnlistedDevice = -2;

// A device as its menu item lists it: the identifier the device is opened with and its name.
struct DeviceItem {
  int id;
  QString name;
};

// MainMenu1 and every item of it, by component name. The check marks are the options; the
// items' object names are their keys in the settings store.
struct MainMenu {
  QMenuBar* MainMenu1 = nullptr;

  QMenu* mnuFile = nullptr;
  QAction* Playnewquestion1 = nullptr;
  QAction* Quit1 = nullptr;

  QMenu* mnuLesson = nullptr;
  QAction* Warmup1 = nullptr;
  QAction* Identify1 = nullptr;
  QAction* Unlock1 = nullptr;
  QAction* MimicSing1 = nullptr;
  QAction* Sing1 = nullptr;
  QAction* Meditate1 = nullptr;
  QAction* Levelup1 = nullptr;
  QAction* Leveldown1 = nullptr;
  QAction* PracticeMode1 = nullptr;
  QAction* ResetCorvinmasterylevel1 = nullptr;
  QAction* LongTones1 = nullptr;  // the program's own addition
  // Options without a visible entry.
  QAction* Corvin1 = nullptr;
  QAction* Offtones1 = nullptr;
  QAction* Beginning1 = nullptr;
  QAction* Intermediate1 = nullptr;
  QAction* Advanced1 = nullptr;
  QAction* Harmonic1 = nullptr;
  QAction* Melodic1 = nullptr;
  QAction* Both1 = nullptr;

  QMenu* mnuView = nullptr;
  QAction* Solfege1 = nullptr;
  QAction* Notes1 = nullptr;
  QAction* Piano1 = nullptr;
  QAction* DisplayNever = nullptr;
  QAction* DisplayAfter = nullptr;
  QAction* DisplayAlways = nullptr;

  QMenu* mnuMIDI = nullptr;
  QMenu* MIDIIn1 = nullptr;
  QMenu* MIDIOut1 = nullptr;
  QMenu* MIDIOutChannel1 = nullptr;
  QMenu* MIDIOutVolume1 = nullptr;
  std::array<QAction*, 16> channelItems{};  // N01 to N151: channels 0 to 15
  std::array<QAction*, 12> volumeItems{};   // N101 to N1201: velocities 10 to 120

  QMenu* mnuMicrophone = nullptr;
  QMenu* Microphone1 = nullptr;
  QMenu* Sensitivity1 = nullptr;
  QAction* High1 = nullptr;
  QAction* Medium1 = nullptr;
  QAction* Low1 = nullptr;

  QMenu* mnuHelp = nullptr;
  QAction* Help2 = nullptr;

  QAction* lessonAction(LessonItem item) const;
  // The item of an object name, searched through every menu; null when there is none.
  QAction* item(const QString& componentName) const;
};

// Builds the menus with their captions, shortcuts, radio groups and design defaults; the device
// menus are left empty, their lists pending.
MainMenu buildMainMenu(QMenuBar* bar);

// Fills a device menu with one self-checking radio item per device, the first checked, or with
// the single disabled item "None detected" when there are none. Returns the device items.
std::vector<QAction*> fillDeviceMenu(QMenu* menu, const std::vector<DeviceItem>& devices);

// Shows a device menu's devices as they are listed now, keeping the checked device checked under
// its new identifier. A checked device that is no longer listed stays checked, disabled, as its
// name followed by " (not connected)", so that it is still the one remembered. False when the
// list is the one already shown, which leaves the menu as it was.
bool refreshDeviceMenu(QMenu* menu, const std::vector<DeviceItem>& devices);

// A device menu whose list has not come shows no device of its own, and the stored choice stands
// for it.
bool listPending(const QMenu* menu);
void setListPending(QMenu* menu, bool pending);

// The device items of a menu, in order ("None detected" is not one).
std::vector<QAction*> deviceItemsOf(const QMenu* menu);
// The identifier and the name of the device a device item stands for.
int deviceIdOf(const QAction* item);
QString deviceNameOf(const QAction* item);

// The check marks of the volume and channel items, in menu order.
std::array<bool, 12> volumeChecks(const MainMenu& menus);
std::array<bool, 16> channelChecks(const MainMenu& menus);

}  // namespace auralis
