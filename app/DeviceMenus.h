#pragma once

#include <QMenu>
#include <QObject>
#include <array>
#include <chrono>
#include <functional>
#include <optional>
#include <vector>

#include "app/Menus.h"
#include "app/SettingsStore.h"
#include "core/Core.h"

namespace auralis {

inline constexpr const char* kDefaultSoundInputCaption = "Default sound input";
// How long start-up waits for the devices' lists before it builds the menus without the missing
// ones. The window is shown meanwhile.
inline constexpr std::chrono::milliseconds kDeviceListingWait{2000};

// The MIDI Out, MIDI In and Microphone menus: their devices, listed off the interface thread
// because the audio and MIDI services may take their time, the devices chosen in them, and the
// commands of their items. Owned by the main window, which builds the menus.
class DeviceMenus : public QObject {
 public:
  DeviceMenus(const MainMenu& menus, Core& core, CoreDevices devices,
              const SettingsStore& settings);

  // Lists the three kinds of device and, once the menus are filled, the stored devices chosen
  // and opened, runs listed. From then on a menu reads its list again whenever it opens.
  void listDevices(std::function<void()> listed);
  bool listed() const { return listed_; }

  int SelectedMidiInDevice() const;

 private:
  // The three kinds of device, in the order their menus come and their devices open.
  enum DeviceKind { MidiOutputs, MidiInputs, Microphones };
  static constexpr std::array kDeviceKinds = {MidiOutputs, MidiInputs, Microphones};

  // Reads the list of one kind on its device's worker; take gets it on the interface thread.
  void listDevicesOf(DeviceKind kind, std::function<void(std::vector<DeviceItem>)> take);
  QMenu* deviceMenu(DeviceKind kind) const;
  void setPresent(DeviceKind kind, bool present);
  void takeDeviceLists();
  void takeDeviceList(DeviceKind kind, const std::vector<DeviceItem>& items);
  // A list of the start that comes after the wait for it.
  void takeLateDeviceList(DeviceKind kind, const std::vector<DeviceItem>& items);
  void openCheckedDevice(DeviceKind kind);
  void refreshDeviceMenus();
  void showDeviceList(QMenu* menu, const std::vector<DeviceItem>& devices);
  void connectDeviceItems(QMenu* menu);
  void MIDIOutItemClick();
  void ReopenMidiIn();
  void MicrophoneItemClick();

  const MainMenu& menus_;
  Core& core_;
  CoreDevices devices_;
  const SettingsStore& settings_;
  std::function<void()> whenListed_;
  // The lists of each kind as they come in at start.
  std::array<std::optional<std::vector<DeviceItem>>, kDeviceKinds.size()> startLists_;
  bool listed_ = false;
};

}  // namespace auralis
