#pragma once

#include <QLabel>
#include <QMainWindow>
#include <QTimer>
#include <array>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

#include "app/FeedbackSounds.h"
#include "app/HelpPage.h"
#include "app/HistoryFeature.h"
#include "app/Menus.h"
#include "app/MessageWindow.h"
#include "app/NoticeLine.h"
#include "app/SettingsStore.h"
#include "app/StatusPanels.h"
#include "app/ToolBar.h"
#include "core/Core.h"
#include "display/NotePanel.h"
#include "display/PitchGraph.h"
#include "platform/FeedbackSoundPlayer.h"
#include "platform/MidiInput.h"
#include "platform/MidiOutStream.h"
#include "platform/SoundInput.h"

class QKeyEvent;

namespace auralis {

// Ends the process at once: at exit, once the settings are saved, when a device has not let go
// within the wait for it. What would follow could only wait for that device for ever.
[[noreturn]] void endProcessNow();

// The devices and desktop services the window runs on, real or scripted.
struct Services {
  platform::MidiOutStream& midiOut;
  platform::SoundInput& soundInput;
  platform::MidiInput& midiInput;
  platform::FeedbackSoundPlayer& feedbackSounds;
  DocumentOpener& documents;
  // The short wait after an answer. It blocks, which keeps the feedback sound, the wait and the
  // next question in their order.
  std::function<void(int milliseconds)> pause;
  // At exit, after the settings are saved: a device's calls did not return within
  // kDeviceCloseWait. Whatever holds the devices must not be destroyed while they run.
  std::function<void()> devicesStuck = endProcessNow;
};

void blockingPause(int milliseconds);

inline constexpr int kFormWidth = 775;
inline constexpr int kFormHeight = 355;
inline constexpr int kTimerInterval = 1000;  // ms
inline constexpr int kPitchGraphHeight = 150;
inline constexpr const char* kDefaultSoundInputCaption = "Default sound input";
// How long start-up waits for the devices' lists before it builds the menus without the missing
// ones. The window is shown meanwhile.
inline constexpr std::chrono::milliseconds kDeviceListingWait{2000};
// How long the window waits at exit for the devices to close.
inline constexpr std::chrono::milliseconds kDeviceCloseWait{1000};

// The character a key press types for the lesson: a printable character or Escape, without
// Ctrl, Alt or Meta, which belong to the menus' shortcuts.
std::optional<char> typedCharacter(const QKeyEvent& event);

// The main window. It owns the run's core and the widgets that show it; its handlers translate
// window events and delegate.
class TForm1 : public QMainWindow, private CoreHost {
 public:
  explicit TForm1(Services services, QWidget* parent = nullptr);
  ~TForm1() override;
  TForm1(const TForm1&) = delete;
  TForm1& operator=(const TForm1&) = delete;

  void FormActivate();
  void FormResize();
  void Quit1Click();
  void toolButtonHelpClick();
  void Help2Click();
  void Solfege1Click();
  void Notes1Click();
  void Piano1Click();
  void High1Click();
  void Medium1Click();
  void Low1Click();
  int SelectedMidiInDevice() const;
  void ReopenMidiIn();
  // Writes every setting now, as quitting does.
  void saveSettings();
  // A message in the notice line, until it is dismissed.
  void showNotice(const QString& text);
  // The device menus are filled and the chosen devices opened. Until then the window is shown
  // but the first lesson waits: the devices are listed off the interface thread.
  bool devicesListed() const { return devicesListed_; }

  Core& core() { return core_; }
  const Core& core() const { return core_; }
  Lesson& lesson() { return core_.lesson(); }
  MessageWindow& messageWindow() { return messageWindow_; }
  const MainMenu& menus() const { return menus_; }
  const ToolBar& toolBar() const { return toolBar_; }
  const StatusPanels& statusPanels() const { return *statusPanels_; }
  NoticeLine* noticeLine() const { return noticeLine_; }
  QLabel* instructionLine() const { return lblListenFor_; }
  NotePanel* notePanel() const { return PaintBox1_; }
  PitchGraph* pitchGraph() const { return pitchGraph_; }
  QAction* pitchGraphItem() const { return PitchGraph1_; }
  QTimer& timer() { return Timer1_; }
  const QString& versionText() const { return versionText_; }
  HistoryFeature& history() { return history_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void changeEvent(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  // CoreHost
  void playFeedbackSound(FeedbackSound sound) override;
  void pause(int milliseconds) override;
  void repaintNotePanel() override;
  void repaintWindowNow() override;
  void setInstructionText(std::string_view text) override;
  void setStatusText(int panel, std::string_view text) override;
  void saveMastery(const Mastery& mastery) override;
  void lessonItemChecked(LessonItem item) override;
  std::string instructionText() const override;
  void drawTuningMarker(int pitchClass, float offset) override;
  void showSungPitch(std::optional<SungPitch> pitch) override;

  void FormCreate();
  void buildWindow();
  void leaveMenuBarWhenMenusClose();
  void startFirstLesson();
  // The three kinds of device, in the order their menus come and their devices open.
  enum DeviceKind { MidiOutputs, MidiInputs, Microphones };
  static constexpr std::array kDeviceKinds = {MidiOutputs, MidiInputs, Microphones};
  void listDevices();
  // Reads the list of one kind on its device's worker; take gets it on the interface thread.
  void listDevicesOf(DeviceKind kind, std::function<void(std::vector<DeviceItem>)> take);
  QMenu* deviceMenu(DeviceKind kind) const;
  void setPresent(DeviceKind kind, bool present);
  void takeDeviceLists();
  void takeDeviceList(DeviceKind kind, const std::vector<DeviceItem>& items);
  // A list of the start that comes after the wait for it.
  void takeLateDeviceList(DeviceKind kind, const std::vector<DeviceItem>& items);
  void openCheckedDevice(DeviceKind kind);
  void connectCommands();
  void connectDeviceItems(QMenu* menu);
  void refreshDeviceMenus();
  void showDeviceList(QMenu* menu, const std::vector<DeviceItem>& devices);
  void closeDevices();
  void runLessonCommand(LessonItem item);
  void viewCommand(QAction* item);
  void sensitivityCommand(QAction* item);
  void takeThresholdFromMenu();
  void syncMenuChecks();
  void MIDIOutItemClick();
  void MicrophoneItemClick();
  void buildPitchGraph(QWidget* parent);
  // Shows or hides the graph below the note panel; the window grows or shrinks by its height
  // unless keepHeight.
  void showPitchGraph(bool shown, bool keepHeight = false);
  // On standard error and in the notice line.
  void reportSettingsProblem(const QString& text);

  Services services_;
  MessageWindow messageWindow_;  // before everything that posts to it
  FeedbackSounds feedbackSounds_;
  HistoryFeature history_{this};  // outlives the lesson that records into it
  Core core_;
  SettingsStore settingsStore_;
  QTimer Timer1_;

  MainMenu menus_;
  ToolBar toolBar_;
  std::unique_ptr<StatusPanels> statusPanels_;
  NoticeLine* noticeLine_ = nullptr;
  QWidget* panelSolfege_ = nullptr;
  QWidget* Panel1_ = nullptr;
  QLabel* lblListenFor_ = nullptr;
  NotePanel* PaintBox1_ = nullptr;
  PitchGraph* pitchGraph_ = nullptr;
  QAction* PitchGraph1_ = nullptr;

  QString versionText_;
  bool firstActivation_ = true;
  // The lists of each kind as they come in at start.
  std::array<std::optional<std::vector<DeviceItem>>, kDeviceKinds.size()> startLists_;
  bool devicesListed_ = false;
  // The lists of the start that had not come when the wait for them ended.
  std::array<bool, kDeviceKinds.size()> listLate_{};
  bool lessonWaitsForDevices_ = false;
  bool lessonChosen_ = false;  // by a mode command: the first activation leaves it
  bool firstShow_ = true;
};

}  // namespace auralis
