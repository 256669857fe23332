#include "app/SettingsStore.h"

#include <QFileInfo>
#include <QLockFile>
#include <QSettings>
#include <algorithm>
#include <memory>
#include <optional>
#include <string_view>

#include "engine/Levels.h"

namespace auralis {

namespace {

constexpr const char* kDeviceKeys[] = {"MIDIOut", "MIDIIn", "Microphone"};

// A program killed while saving can leave the settings file's lock behind before it wrote its
// owner into it. The settings library would then wait half a minute before taking such a lock
// over, freezing the window at the next save; a save takes milliseconds, so a lock older than a
// second is taken over here instead.
void clearStaleLock(const QString& settingsFile) {
  const QString lockName = settingsFile + QStringLiteral(".lock");
  if (!QFileInfo::exists(lockName)) return;
  QLockFile lock(lockName);
  lock.setStaleLockTime(1000);
  if (lock.tryLock(2000)) lock.unlock();
}

std::unique_ptr<QSettings> openStore() {
  auto store = std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                           QStringLiteral("Auralis"), QStringLiteral("Auralis"));
  clearStaleLock(store->fileName());
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

int storedSize(int value, int minimum) {
  return std::clamp(value, minimum, kLargestStoredSize);
}

}  // namespace

void SettingsStore::loadSettings(MainMenu& menus, QWidget& window, Mastery& mastery) const {
  const auto store = openStore();
  for (std::size_t i = 0; i + 1 < kStoredChecks.size(); ++i)
    readCheck(*store, menus.item(QString::fromLatin1(kStoredChecks[i])));

  const auto menusOfDevices = deviceMenus(menus);
  for (std::size_t i = 0; i < menusOfDevices.size(); ++i) {
    const QString name = store->value(QString::fromLatin1(kDeviceKeys[i])).toString();
    if (!name.isEmpty()) selectDeviceByName(menusOfDevices[i], name);
  }

  for (const MasteryField& field : kMasteryFields)
    mastery.*field.value =
        std::clamp(readInteger(*store, field.name).value_or(0), 0, field.levelCount - 1);

  if (const auto height = readInteger(*store, "Height"))
    window.resize(window.width(), storedSize(*height, window.minimumHeight()));
  if (const auto width = readInteger(*store, "Width"))
    window.resize(storedSize(*width, window.minimumWidth()), window.height());
}

void SettingsStore::saveSettings(const MainMenu& menus, const QWidget& window,
                                 const Mastery& mastery) const {
  const auto store = openStore();
  for (const char* key : kStoredChecks) {
    const bool checked = menus.item(QString::fromLatin1(key))->isChecked();
    store->setValue(QString::fromLatin1(key), checked ? QStringLiteral("1") : QStringLiteral("0"));
  }
  const auto menusOfDevices = deviceMenus(menus);
  for (std::size_t i = 0; i < menusOfDevices.size(); ++i)
    store->setValue(QString::fromLatin1(kDeviceKeys[i]), checkedDeviceName(menusOfDevices[i]));
  store->setValue(QStringLiteral("Height"), QString::number(window.height()));
  store->setValue(QStringLiteral("Width"), QString::number(window.width()));
  writeMastery(*store, mastery);
}

void SettingsStore::saveMastery(const Mastery& mastery) const {
  const auto store = openStore();
  writeMastery(*store, mastery);
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
