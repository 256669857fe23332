#pragma once

#include <QLabel>
#include <QMainWindow>
#include <QTimer>
#include <chrono>
#include <memory>
#include <optional>

#include "app/CoachingLine.h"
#include "app/CommandLine.h"
#include "app/DeviceMenus.h"
#include "app/ExerciseFeature.h"
#include "app/FeedbackSounds.h"
#include "app/HistoryFeature.h"
#include "app/KeyPreview.h"
#include "app/LongToneDialog.h"
#include "app/Menus.h"
#include "app/MessageWindow.h"
#include "app/NoticeLine.h"
#include "app/PitchGraphRow.h"
#include "app/Services.h"
#include "app/SettingsStore.h"
#include "app/SolfegePanel.h"
#include "app/StatusPanels.h"
#include "app/ToolBar.h"
#include "core/Core.h"

namespace auralis {

inline constexpr int kFormWidth = 775;
inline constexpr int kFormHeight = 355;
inline constexpr int kTimerInterval = 1000;  // ms
// How long the window waits at exit for the devices to close.
inline constexpr std::chrono::milliseconds kDeviceCloseWait{1000};

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
  // The lesson the first activation starts instead of Practice Singing, as --lesson names it.
  void setFirstLesson(StartLesson lesson) { firstLesson_ = lesson; }
  // Starts a lesson of the Lesson menu or an exercise, as its menu item does.
  void startLesson(StartLesson lesson);
  int SelectedMidiInDevice() const { return deviceMenus_.SelectedMidiInDevice(); }
  // Writes every setting now, as quitting does.
  void saveSettings();
  // A message in the notice line, until it is dismissed.
  void showNotice(const QString& text);
  // The device menus are filled and the chosen devices opened. Until then the window is shown
  // but the first lesson waits: the devices are listed off the interface thread.
  bool devicesListed() const { return deviceMenus_.listed(); }

  Core& core() { return core_; }
  const Core& core() const { return core_; }
  Lesson& lesson() { return core_.lesson(); }
  MessageWindow& messageWindow() { return messageWindow_; }
  const MainMenu& menus() const { return menus_; }
  const ToolBar& toolBar() const { return toolBar_; }
  const StatusPanels& statusPanels() const { return *statusPanels_; }
  NoticeLine* noticeLine() const { return noticeLine_; }
  QLabel* instructionLine() const { return panel_.lblListenFor; }
  NotePanel* notePanel() const { return panel_.PaintBox1; }
  PitchGraph* pitchGraph() const { return panel_.pitchGraph; }
  QAction* pitchGraphItem() const { return pitchGraphRow_->PitchGraph1(); }
  CoachingRow& coaching() const { return *coachingRow_; }
  // The long-tone window of Practice Singing, once it was opened.
  LongToneDialog* longTones() const { return longTones_; }
  void LongTones1Click();
  QTimer& timer() { return Timer1_; }
  const QString& versionText() const { return versionText_; }
  HistoryFeature& history() { return history_; }
  ExerciseFeature& exercises() { return exercises_; }

 protected:
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
  // ExerciseHost
  void exerciseLevelChanged(Exercise exercise, int level) override;
  void exerciseQuestionReady(const ExerciseQuestion& question) override;
  void showVerdict(const Verdict& verdict) override;
  void offTuneHeld(const OffTuneNote& note) override;
  void offTuneOver() override;
  void longToneProgress(const LongToneProgress& progress) override;
  void longToneDone(const LongToneResult& result) override;

  void FormCreate();
  void buildWindow();
  void startFirstLesson();
  void connectCommands();
  void closeDevices();
  void viewCommand(QAction* item);
  void sensitivityCommand(QAction* item);
  void takeThresholdFromMenu();
  void syncMenuChecks();
  // A command that the exercise takes while one runs, and the lesson otherwise.
  void lessonCommand(void (Lesson::*command)());
  void typed(char key);
  void stopExercise();
  void showExerciseMarks();

  Services services_;
  MessageWindow messageWindow_;  // before everything that posts to it
  FeedbackSounds feedbackSounds_;
  HistoryFeature history_{this};  // outlives the lesson that records into it
  Core core_;
  SettingsStore settingsStore_;
  ExerciseFeature exercises_{core_, settingsStore_, *this};
  QTimer Timer1_;

  MainMenu menus_;
  DeviceMenus deviceMenus_;  // lists into menus_ once it is built
  ToolBar toolBar_;
  std::unique_ptr<StatusPanels> statusPanels_;
  NoticeLine* noticeLine_ = nullptr;
  SolfegePanel panel_;
  std::unique_ptr<PitchGraphRow> pitchGraphRow_;
  std::unique_ptr<CoachingRow> coachingRow_;
  LongToneDialog* longTones_ = nullptr;
  std::unique_ptr<KeyPreview> keyPreview_;

  QString versionText_;
  bool firstActivation_ = true;
  bool lessonWaitsForDevices_ = false;
  bool lessonChosen_ = false;  // by a mode command: the first activation leaves it
  bool firstShow_ = true;
  std::optional<StartLesson> firstLesson_;
};

}  // namespace auralis
