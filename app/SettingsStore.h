#pragma once

#include <QMenu>
#include <QSettings>
#include <QString>
#include <QWidget>
#include <array>
#include <functional>
#include <optional>

#include "app/Menus.h"
#include "app/ProblemReport.h"
#include "engine/Scores.h"

namespace auralis {

inline constexpr const char* settingsSection = "Auralis";

// The check marks kept between runs, by component name, in the order they are written. All but
// the last are read at start; the last is written only.
// PitchGraph1 and CoachingLine1 are the program's own additions; the last item is written but
// never read back.
inline constexpr std::array<const char*, 30> kStoredChecks = {
    "Beginning1", "Intermediate1", "Advanced1",    "Harmonic1",    "Melodic1",      "Both1",
    "Solfege1",   "Notes1",        "DisplayNever", "DisplayAfter", "DisplayAlways", "High1",
    "Medium1",    "Low1",          "N101",         "N201",         "N301",          "N401",
    "N501",       "N601",          "N701",         "N801",         "N901",          "N1001",
    "N1101",      "N1201",         "Piano1",       "PitchGraph1",  "CoachingLine1", "Offtones1"};

// The per-user store: one INI file below the user's configuration folder
// ($XDG_CONFIG_HOME/Auralis/Auralis.ini) with the one section "Auralis". Each operation opens
// the store afresh. A save writes a new file and renames it over the old one, so that a crash
// or power loss during a save leaves the old or the new file, never a broken one.
class SettingsStore {
 public:
  // The file that the environment names; without one, nothing is read or kept.
  explicit SettingsStore(ProblemReport report = printProblem);

  const std::optional<QString>& fileName() const { return file_; }

  // Check marks, chosen devices, mastery levels and then the window's height and width. A
  // stored value that is not a decimal integer counts as absent. Mastery levels are kept
  // inside their lesson's table, and the window size between its minimum and the room its
  // screen offers. Temporary files of saves cut short by a crash are removed first. Without a
  // file, or when something other than a regular file has its name, the defaults stay and the
  // report says so. A device menu not filled yet keeps its stored choice for
  // selectStoredDevice, and a save before then writes that choice back unchanged.
  void loadSettings(MainMenu& menus, QWidget& window, Mastery& mastery);
  // Checks the device item that the store names, when the menu has it.
  void selectStoredDevice(QMenu* menu) const;
  // A save that fails is reported and leaves the old file as it was; the next save tries again.
  // Without a file nothing is saved and nothing more is said.
  void saveSettings(const MainMenu& menus, const QWidget& window, const Mastery& mastery) const;
  void saveMastery(const Mastery& mastery) const;

 private:
  void save(const std::function<void(QSettings&)>& write) const;

  std::optional<QString> file_;
  ProblemReport report_;
  std::array<QString, 3> storedDevices_;  // MIDI Out, MIDI In, Microphone, as read
};

// The name of a device menu's checked device, the last when several are; empty when none is.
QString checkedDeviceName(const QMenu* menu);
// Checks the first device item whose name is `name` exactly; false, changing nothing, if none.
bool selectDeviceByName(QMenu* menu, const QString& name);
// The identifier of the first checked device item: -1 is the system default of the MIDI Out and
// Microphone menus; -2 when no item is checked.
int checkedDeviceId(const QMenu* menu);

}  // namespace auralis
