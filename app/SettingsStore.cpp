#include "app/SettingsStore.h"

#include <QFileInfo>
#include <QLockFile>
#include <QSettings>
#include <algorithm>
#include <memory>
#include <optional>

#include "engine/Levels.h"

namespace auralis {

namespace {

struct MasteryKey {
  const char* key;
  int Mastery::*field;
  int levelCount;  // the size of the lesson table the value is a level of
};

// In the order they are written.
constexpr std::array<MasteryKey, 9> kMasteryKeys = {{
    {"IdentifyMastery95Percent", &Mastery::IdentifyMastery95Percent, identifyLevelCount},
    {"IdentifyMastery100Percent", &Mastery::IdentifyMastery100Percent, identifyLevelCount},
    {"IdentifyMastery1Minute", &Mastery::IdentifyMastery1Minute, identifyLevelCount},
    {"MimicMastery95Percent", &Mastery::MimicMastery95Percent, identifyLevelCount},
    {"MimicMastery1Minute", &Mastery::MimicMastery1Minute, identifyLevelCount},
    {"UnlockMastery95Percent", &Mastery::UnlockMastery95Percent, unlockLevelCount},
    {"UnlockMastery1Minute", &Mastery::UnlockMastery1Minute, unlockLevelCount},
    {"SingingMastery95Percent", &Mastery::SingingMastery95Percent, singLevelCount},
    {"SingingMastery1Minute", &Mastery::SingingMastery1Minute, singLevelCount},
}};

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

// A stored 32-bit decimal integer; nothing when the key is absent or holds anything else.
std::optional<int> readInteger(const QSettings& store, const char* key) {
  const QVariant value = store.value(QString::fromLatin1(key));
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
  for (const MasteryKey& entry : kMasteryKeys)
    store.setValue(QString::fromLatin1(entry.key), mastery.*entry.field);
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

  for (const MasteryKey& entry : kMasteryKeys)
    mastery.*entry.field =
        std::clamp(readInteger(*store, entry.key).value_or(0), 0, entry.levelCount - 1);

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
