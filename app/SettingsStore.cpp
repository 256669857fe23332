#include "app/SettingsStore.h"

#include <QScreen>
#include <QSettings>
#include <algorithm>
#include <memory>
#include <string_view>
#include <utility>

#include "app/ConfigLocation.h"
#include "app/ExerciseView.h"
#include "app/SettingsFile.h"
#include "engine/Levels.h"

namespace auralis {

namespace {

constexpr const char* kDeviceKeys[] = {"MIDIOut", "MIDIIn", "Microphone"};
// The largest window when there is no screen to fit: X11's coordinate limit.
constexpr int kLargestWindow = 32767;

std::unique_ptr<QSettings> openStore(const QString& file) {
  clearStaleLock(file);
  auto store = std::make_unique<QSettings>(file, QSettings::IniFormat);
  // Never fall back to rewriting the file in place.
  store->setAtomicSyncRequired(true);
  store->beginGroup(QString::fromLatin1(settingsSection));
  return store;
}

QString keyOf(std::string_view name) {
  return QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
}

// A stored 32-bit decimal integer; nothing when the key is absent or holds anything else.
std::optional<int> readInteger(const QSettings& store, std::string_view key) {
  const QVariant value = store.value(keyOf(key));
  if (!value.isValid()) return std::nullopt;
  bool ok = false;
  const int number = value.toString().toInt(&ok);
  if (!ok) return std::nullopt;
  return number;
}

void readCheck(const QSettings& store, QAction* item) {
  const auto value = readInteger(store, item->objectName().toLatin1().constData());
  if (value) item->setChecked(*value != 0);
}

void writeMastery(QSettings& store, const Mastery& mastery) {
  for (const MasteryField& field : kMasteryFields)
    store.setValue(keyOf(field.name), mastery.*field.value);
}

std::array<QMenu*, 3> deviceMenus(const MainMenu& menus) {
  return {menus.MIDIOut1, menus.MIDIIn1, menus.Microphone1};
}

// The room the window's screen offers it, without the panels of the desktop.
QSize largestWindow(const QWidget& window) {
  if (const QScreen* screen = window.screen()) return screen->availableGeometry().size();
  return {kLargestWindow, kLargestWindow};
}

int storedSize(int value, int minimum, int largest) {
  return std::clamp(value, minimum, std::max(minimum, largest));
}

QString notRegularText(const char* what, const QString& file) {
  return QStringLiteral("Settings not %1: %2 is not a regular file")
      .arg(QString::fromLatin1(what), file);
}

}  // namespace

SettingsStore::SettingsStore(ProblemReport report)
    : file_(settingsFilePath()), report_(std::move(report)) {}

void SettingsStore::loadSettings(MainMenu& menus, QWidget& window, Mastery& mastery) {
  if (!file_) {
    report_(QStringLiteral(
        "Settings are not kept: neither XDG_CONFIG_HOME nor HOME names an absolute folder"));
    return;
  }
  if (isOtherThanRegularFile(*file_)) {
    report_(notRegularText("read", *file_) + QStringLiteral("; the defaults are used"));
    return;
  }
  removeStaleTemporaries(*file_);
  const auto store = openStore(*file_);
  for (std::size_t i = 0; i + 1 < kStoredChecks.size(); ++i)
    readCheck(*store, menus.item(QString::fromLatin1(kStoredChecks[i])));

  const auto menusOfDevices = deviceMenus(menus);
  for (std::size_t i = 0; i < menusOfDevices.size(); ++i) {
    storedDevices_[i] = store->value(QString::fromLatin1(kDeviceKeys[i])).toString();
    selectStoredDevice(menusOfDevices[i]);
  }

  for (const MasteryField& field : kMasteryFields)
    mastery.*field.value =
        std::clamp(readInteger(*store, field.name).value_or(0), 0, field.levelCount - 1);

  const QSize largest = largestWindow(window);
  if (const auto height = readInteger(*store, "Height"))
    window.resize(window.width(), storedSize(*height, window.minimumHeight(), largest.height()));
  if (const auto width = readInteger(*store, "Width"))
    window.resize(storedSize(*width, window.minimumWidth(), largest.width()), window.height());
}

void SettingsStore::selectStoredDevice(QMenu* menu) const {
  const QString key = menu->objectName().chopped(1);  // the menu "MIDIOut1" is kept as "MIDIOut"
  for (std::size_t i = 0; i < std::size(kDeviceKeys); ++i)
    if (key == QLatin1String(kDeviceKeys[i]) && !storedDevices_[i].isEmpty())
      selectDeviceByName(menu, storedDevices_[i]);
}

void SettingsStore::save(const std::function<void(QSettings&)>& write) const {
  if (!file_) return;
  if (isOtherThanRegularFile(*file_)) {
    report_(notRegularText("saved", *file_));
    return;
  }
  const auto store = openStore(*file_);
  write(*store);
  store->sync();
  // A file that does not parse is rewritten all the same; only a failed write loses the save.
  if (store->status() == QSettings::AccessError)
    report_(QStringLiteral("Settings not saved: could not write %1").arg(*file_));
}

void SettingsStore::saveSettings(const MainMenu& menus, const QWidget& window,
                                 const Mastery& mastery) const {
  save([&](QSettings& store) {
    for (const char* key : kStoredChecks) {
      const bool checked = menus.item(QString::fromLatin1(key))->isChecked();
      store.setValue(QString::fromLatin1(key), checked ? QStringLiteral("1") : QStringLiteral("0"));
    }
    const auto menusOfDevices = deviceMenus(menus);
    for (std::size_t i = 0; i < menusOfDevices.size(); ++i) {
      const QMenu* menu = menusOfDevices[i];
      store.setValue(QString::fromLatin1(kDeviceKeys[i]),
                     listPending(menu) ? storedDevices_[i] : checkedDeviceName(menu));
    }
    store.setValue(QStringLiteral("Height"), QString::number(window.height()));
    store.setValue(QStringLiteral("Width"), QString::number(window.width()));
    writeMastery(store, mastery);
  });
}

void SettingsStore::saveMastery(const Mastery& mastery) const {
  save([&](QSettings& store) { writeMastery(store, mastery); });
}

bool ExerciseOptions::operator==(const ExerciseOptions& other) const {
  return levels == other.levels && direction == other.direction &&
         settings.lowNote == other.settings.lowNote &&
         settings.highNote == other.settings.highNote &&
         settings.octaveFree == other.settings.octaveFree &&
         settings.solfegeNames == other.settings.solfegeNames;
}

ExerciseOptions SettingsStore::loadExerciseOptions() const {
  ExerciseOptions options;
  if (!file_ || isOtherThanRegularFile(*file_)) return options;
  const auto store = openStore(*file_);
  for (std::size_t i = 0; i < options.levels.size(); ++i)
    if (const auto level = readInteger(*store, kExerciseItems[i].levelKey); level && *level >= 1)
      options.levels[i] = *level;
  if (const auto direction = readInteger(*store, "ExerciseDirection"); direction == 1)
    options.direction = ExerciseDirection::Name;
  const auto low = readInteger(*store, "VoiceLow");
  const auto high = readInteger(*store, "VoiceHigh");
  if (low && high && voiceRangeUsable(*low, *high)) {
    options.settings.lowNote = *low;
    options.settings.highNote = *high;
  }
  if (const auto octaveFree = readInteger(*store, "OctaveFree"))
    options.settings.octaveFree = *octaveFree != 0;
  return options;
}

void SettingsStore::saveExerciseOptions(const ExerciseOptions& options) const {
  save([&](QSettings& store) {
    for (std::size_t i = 0; i < options.levels.size(); ++i)
      store.setValue(QString::fromLatin1(kExerciseItems[i].levelKey),
                     QString::number(options.levels[i]));
    store.setValue(QStringLiteral("ExerciseDirection"),
                   QString::number(options.direction == ExerciseDirection::Name ? 1 : 0));
    store.setValue(QStringLiteral("VoiceLow"), QString::number(options.settings.lowNote));
    store.setValue(QStringLiteral("VoiceHigh"), QString::number(options.settings.highNote));
    store.setValue(QStringLiteral("OctaveFree"),
                   options.settings.octaveFree ? QStringLiteral("1") : QStringLiteral("0"));
  });
}

QString checkedDeviceName(const QMenu* menu) {
  QString name;
  for (const QAction* item : deviceItemsOf(menu))
    if (item->isChecked()) name = deviceNameOf(item);
  return name;
}

bool selectDeviceByName(QMenu* menu, const QString& name) {
  for (QAction* item : deviceItemsOf(menu)) {
    if (deviceNameOf(item) == name) {
      item->setChecked(true);
      return true;
    }
  }
  return false;
}

int checkedDeviceId(const QMenu* menu) {
  for (const QAction* item : deviceItemsOf(menu))
    if (item->isChecked()) return deviceIdOf(item);
  return -2;
}

}  // namespace auralis
