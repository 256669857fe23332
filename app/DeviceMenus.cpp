#include "app/DeviceMenus.h"

#include <QTimer>
#include <algorithm>
#include <utility>

namespace auralis {

namespace {

// The lists below run on the devices' workers: listing asks the audio and MIDI services, which
// may take their time.

// The MIDI Out items: the default output first. It counts as a device of its own when it has a
// name: the built-in synthesiser is there without any MIDI port.
std::vector<DeviceItem> listMidiOutputs(platform::MidiOutStream& midiOut) {
  const int outputs = midiOut.deviceCount();
  std::vector<DeviceItem> items;
  if (outputs == 0 && midiOut.deviceName(platform::kDefaultMidiDevice).empty()) return items;
  for (int id = platform::kDefaultMidiDevice; id < outputs; ++id)
    items.push_back({id, QString::fromStdString(midiOut.deviceName(id))});
  return items;
}

std::vector<DeviceItem> numberedItems(const std::vector<std::string>& names) {
  std::vector<DeviceItem> items;
  for (std::size_t i = 0; i < names.size(); ++i)
    items.push_back({static_cast<int>(i), QString::fromStdString(names[i])});
  return items;
}

// The Microphone items: the default input first, when there is any input at all.
std::vector<DeviceItem> listMicrophones(platform::SoundInput& soundInput) {
  std::vector<DeviceItem> items = numberedItems(soundInput.deviceNames());
  if (!items.empty())
    items.insert(items.begin(),
                 {platform::kDefaultSoundInput, QString::fromLatin1(kDefaultSoundInputCaption)});
  return items;
}

}  // namespace

DeviceMenus::DeviceMenus(const MainMenu& menus, Core& core, CoreDevices devices,
                         const SettingsStore& settings)
    : menus_(menus), core_(core), devices_(devices), settings_(settings) {}

// The three lists are read at once, each on its device's worker. The menus are built, the chosen
// devices opened and the microphone's state shown once all three have come, or at the deadline
// with those that have; a list that comes after the deadline is taken when it comes.
void DeviceMenus::listDevices(std::function<void()> listed) {
  whenListed_ = std::move(listed);
  for (DeviceKind kind : kDeviceKinds)
    listDevicesOf(kind, [this, kind](std::vector<DeviceItem> items) {
      if (listed_) {
        takeLateDeviceList(kind, items);
        return;
      }
      startLists_[kind] = std::move(items);
      if (std::ranges::all_of(startLists_, [](const auto& list) { return list.has_value(); }))
        takeDeviceLists();
    });
  if (!listed_) QTimer::singleShot(kDeviceListingWait, this, [this] { takeDeviceLists(); });
  refreshDeviceMenus();
}

void DeviceMenus::listDevicesOf(DeviceKind kind,
                                std::function<void(std::vector<DeviceItem>)> take) {
  switch (kind) {
    case MidiOutputs:
      core_.player().worker().call(
          [&midiOut = devices_.midiOut] { return listMidiOutputs(midiOut); }, std::move(take));
      break;
    case MidiInputs:
      core_.midiKeyboard().worker().call(
          [&midiInput = devices_.midiInput] { return numberedItems(midiInput.deviceNames()); },
          std::move(take));
      break;
    case Microphones:
      core_.capture().worker().call(
          [&soundInput = devices_.soundInput] { return listMicrophones(soundInput); },
          std::move(take));
      break;
  }
}

QMenu* DeviceMenus::deviceMenu(DeviceKind kind) const {
  return std::array{menus_.MIDIOut1, menus_.MIDIIn1, menus_.Microphone1}[kind];
}

void DeviceMenus::takeDeviceLists() {
  if (listed_) return;
  listed_ = true;
  for (DeviceKind kind : kDeviceKinds) {
    takeDeviceList(kind, startLists_[kind].value_or(std::vector<DeviceItem>{}));
    // A list still on its way shows no device until it comes, and the stored choice stands.
    setListPending(deviceMenu(kind), !startLists_[kind].has_value());
  }
  startLists_ = {};
  core_.ShowMicStatus();
  for (DeviceKind kind : kDeviceKinds) openCheckedDevice(kind);
  whenListed_();
}

void DeviceMenus::takeDeviceList(DeviceKind kind, const std::vector<DeviceItem>& items) {
  setPresent(kind, !items.empty());
  fillDeviceMenu(deviceMenu(kind), items);
  setListPending(deviceMenu(kind), false);
  connectDeviceItems(deviceMenu(kind));
  settings_.selectStoredDevice(deviceMenu(kind));
}

void DeviceMenus::takeLateDeviceList(DeviceKind kind, const std::vector<DeviceItem>& items) {
  if (!listPending(deviceMenu(kind))) return;
  takeDeviceList(kind, items);
  openCheckedDevice(kind);
  core_.ShowMicStatus();
}

// Capture starts on the microphone once a lesson mode wants it, or at once when one already does.
void DeviceMenus::openCheckedDevice(DeviceKind kind) {
  switch (kind) {
    case MidiOutputs:
      core_.player().ReopenMidiOut(checkedDeviceId(menus_.MIDIOut1));
      break;
    case MidiInputs:
      ReopenMidiIn();
      break;
    case Microphones:
      core_.capture().OpenMicrophone(checkedDeviceId(menus_.Microphone1));
      break;
  }
}

void DeviceMenus::setPresent(DeviceKind kind, bool present) {
  switch (kind) {
    case MidiOutputs:
      core_.player().midiOutPresent = present;
      break;
    case MidiInputs:
      core_.midiKeyboard().midiInPresent = present;
      break;
    case Microphones:
      core_.capture().soundInPresent = present;
      break;
  }
}

// Whenever a device menu opens, its list is read again, so that a device plugged in since shows,
// and one that went shows as gone. The menu changes once the list has come. The microphone's
// presence stays as its last open left it, unless the menu had no device at all: the device that
// the menu then checks is opened, as at start.
void DeviceMenus::refreshDeviceMenus() {
  for (DeviceKind kind : kDeviceKinds)
    connect(deviceMenu(kind), &QMenu::aboutToShow, this, [this, kind] {
      if (!listed_ || listPending(deviceMenu(kind))) return;  // the start's list is on its way
      listDevicesOf(kind, [this, kind](const std::vector<DeviceItem>& items) {
        const bool hadNone = deviceItemsOf(deviceMenu(kind)).empty();
        if (kind != Microphones || hadNone) setPresent(kind, !items.empty());
        showDeviceList(deviceMenu(kind), items);
        if (hadNone && !items.empty()) openCheckedDevice(kind);
      });
    });
}

void DeviceMenus::showDeviceList(QMenu* menu, const std::vector<DeviceItem>& devices) {
  if (refreshDeviceMenu(menu, devices)) connectDeviceItems(menu);
}

void DeviceMenus::connectDeviceItems(QMenu* menu) {
  for (QAction* item : deviceItemsOf(menu)) {
    if (menu == menus_.MIDIOut1)
      connect(item, &QAction::triggered, this, [this] { MIDIOutItemClick(); });
    else if (menu == menus_.MIDIIn1)
      connect(item, &QAction::triggered, this, [this] { ReopenMidiIn(); });
    else
      connect(item, &QAction::triggered, this, [this] { MicrophoneItemClick(); });
  }
}

int DeviceMenus::SelectedMidiInDevice() const {
  return checkedDeviceId(menus_.MIDIIn1);
}

void DeviceMenus::MIDIOutItemClick() {
  core_.player().ReopenMidiOut(checkedDeviceId(menus_.MIDIOut1));
}

void DeviceMenus::ReopenMidiIn() {
  core_.midiKeyboard().ReopenMidiIn(SelectedMidiInDevice());
}

void DeviceMenus::MicrophoneItemClick() {
  core_.capture().MicrophoneChanged(checkedDeviceId(menus_.Microphone1));
}

}  // namespace auralis
