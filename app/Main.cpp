#include "app/Main.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMenuBar>
#include <QStatusBar>
#include <QThread>
#include <QVBoxLayout>
#include <array>
#include <utility>
#include <variant>

#include "app/Caption.h"
#include "app/HelpPage.h"
#include "app/MasteryReset.h"
#include "app/ScreenFit.h"
#include "app/Version.h"

namespace auralis {

namespace {

QString textOf(std::string_view text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

QFont interfaceFont() {
  QFont font(QStringLiteral("MS Sans Serif"));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(11);
  return font;
}

using Clock = std::chrono::steady_clock;

// The keys with which the lesson switches lessons.
constexpr std::string_view kLessonKeys = "0iumstp";

// The mode commands of the Lesson items and of their tool buttons.
constexpr std::array<std::pair<LessonItem, void (Lesson::*)()>, 6> kLessonCommands = {{
    {LessonItem::Warmup1, &Lesson::Warmup1Click},
    {LessonItem::Identify1, &Lesson::Identify1Click},
    {LessonItem::Unlock1, &Lesson::Unlock1Click},
    {LessonItem::MimicSing1, &Lesson::MimicSing1Click},
    {LessonItem::Sing1, &Lesson::Sing1Click},
    {LessonItem::Meditate1, &Lesson::Meditate1Click},
}};

}  // namespace

TForm1::TForm1(Services services, QWidget* parent)
    : QMainWindow(parent),
      services_(std::move(services)),
      messageWindow_([this](const Notice& notice) { core_.UtilityWndProc(notice); }),
      feedbackSounds_(services_.feedbackSounds),
      core_(*this, messageWindow_, {services_.midiOut, services_.soundInput, services_.midiInput}),
      // On standard error and in the notice line.
      settingsStore_([this](const QString& problem) {
        printProblem(problem);
        showNotice(problem);
      }),
      deviceMenus_(menus_, core_, {services_.midiOut, services_.soundInput, services_.midiInput},
                   settingsStore_) {
  if (!services_.pause) services_.pause = blockingPause;
  lesson().setRecorder(&history_.recorder());
  lesson().SeedRandomFromClock();
  buildWindow();
  FormCreate();
  connectCommands();
  Timer1_.setInterval(kTimerInterval);
  connect(&Timer1_, &QTimer::timeout, this, [this] { lesson().Timer1Timer(); });
  Timer1_.start();
  // The desktop session may end the program without letting the window close.
  connect(qApp, &QGuiApplication::commitDataRequest, this, [this] { saveSettings(); });
}

TForm1::~TForm1() {
  // Typed keys no longer reach a lesson that is going.
  keyPreview_.reset();
  Timer1_.stop();
  // First: a device that never answers must not cost the settings.
  saveSettings();
  closeDevices();
}

void TForm1::closeDevices() {
  // The note sounding and the sung answers waiting for it reach the history before it closes.
  core_.finishListening();
  core_.capture().StopMicrophone();
  core_.capture().CloseMicrophone();
  core_.player().CloseMidiOut();
  core_.midiKeyboard().CloseMidiIn();
  const auto deadline = Clock::now() + kDeviceCloseWait;
  const bool closed = core_.FinishDeviceCalls(deadline);
  if ((!feedbackSounds_.FinishPlaying(deadline) || !closed) && services_.devicesStuck)
    services_.devicesStuck();
}

void TForm1::saveSettings() {
  settingsStore_.saveSettings(menus_, *this, lesson().mastery);
}

void TForm1::showNotice(const QString& text) {
  noticeLine_->addNotice(text);
}

void TForm1::buildWindow() {
  setObjectName(QStringLiteral("Form1"));
  setFont(interfaceFont());
  // Where the screen is smaller than the window's least size, the window fits the screen.
  setMinimumSize(boundedByScreen(*this, {kFormWidth, kFormHeight}));
  resize(minimumSize());
  menus_ = buildMainMenu(menuBar());

  auto* central = new QWidget(this);
  auto* rows = new QVBoxLayout(central);
  rows->setContentsMargins(0, 0, 0, 0);
  rows->setSpacing(0);
  toolBar_ = buildToolBar(central);
  rows->addWidget(toolBar_.ToolBar1);
  panel_ = buildSolfegePanel(central, lesson());
  pitchGraphRow_ = std::make_unique<PitchGraphRow>(*this, QSize(kFormWidth, kFormHeight),
                                                   *panel_.pitchGraph, *menus_.mnuView);
  rows->addWidget(panel_.panelSolfege, 1);
  exercises_.addMenuItems(menus_);
  rows->addWidget(exercises_.buildChoiceRow(central));
  QFrame* coachingLine = buildCoachingLine(central);
  rows->addWidget(coachingLine);
  coachingRow_ = std::make_unique<CoachingRow>(
      *this, *pitchGraphRow_, *panel_.pitchGraph, *coachingLine, *menus_.mnuView,
      [this] { return display::panelInputsOf(lesson()).view; });
  noticeLine_ = new NoticeLine(central);
  rows->addWidget(noticeLine_);
  setCentralWidget(central);
  panel_.PaintBox1->setFocus();
  keyPreview_ =
      std::make_unique<KeyPreview>(*this, *panel_.PaintBox1, [this](char ch) { typed(ch); });

  statusPanels_ = std::make_unique<StatusPanels>(statusBar());
  history_.addHistoryActions(menus_, toolBar_);
  history_.showNoticesIn(noticeLine_);
}

void TForm1::FormCreate() {
  toolBar_.toolButtonPractice->setChecked(true);
  for (QWidget* hidden : {static_cast<QWidget*>(toolBar_.toolButtonMeditate), toolBar_.ToolButton11,
                          static_cast<QWidget*>(toolBar_.toolButtonUnlock), toolBar_.ToolButton5})
    hidden->hide();
  for (QAction* hidden : {menus_.Meditate1, menus_.Unlock1}) {
    hidden->setVisible(false);
    hidden->setEnabled(false);
  }
  menus_.Warmup1->setChecked(true);
  lesson().UpdateLevelPanels();
  FormResize();

  versionText_ = QString::fromLatin1(kFileVersion);
  setWindowTitle(captionFor(versionText_));

  // The chosen devices are remembered until their menus are filled.
  Mastery stored = lesson().mastery;
  settingsStore_.loadSettings(menus_, *this, stored);
  lesson().setMastery(stored);
  exercises_.loadOptions(menus_.Solfege1->isChecked());
  syncMenuChecks();
  panel_.pitchGraph->setView(display::panelInputsOf(lesson()).view);
  // The stored height is the whole window's, the graph's share included.
  pitchGraphRow_->showPitchGraph(pitchGraphRow_->PitchGraph1()->isChecked(), true);
  coachingRow_->showCoachingLine(coachingRow_->CoachingLine1()->isChecked(), true);

  core_.player().SetVolumeFromMenu(volumeChecks(menus_));
  core_.player().SetChannelFromMenu(channelChecks(menus_));
  takeThresholdFromMenu();
  core_.detector().DetectorStride = 3;

  lesson().ResetLevelScores();
  lesson().UpdateTexts();

  // Asked once the event loop runs, after the window has been shown: the services' answers keep
  // both cores busy for a while (a copy of the program lists the MIDI ports), which would hold
  // back the building and showing of the window. Nothing is opened before the lists are in.
  QTimer::singleShot(0, this, [this] {
    deviceMenus_.listDevices([this] {
      if (std::exchange(lessonWaitsForDevices_, false)) startFirstLesson();
    });
  });
}

void TForm1::connectCommands() {
  const MainMenu& m = menus_;
  connect(m.Playnewquestion1, &QAction::triggered, this,
          [this] { lessonCommand(&Lesson::Playnewquestion1Click); });
  connect(m.Quit1, &QAction::triggered, this, [this] { Quit1Click(); });
  for (const auto& [item, command] : kLessonCommands) {
    connect(m.lessonAction(item), &QAction::triggered, this, [this, item] { startLesson(item); });
    connect(toolBar_.lessonButton(item), &QToolButton::clicked, this,
            [this, item] { startLesson(item); });
  }
  connect(m.Levelup1, &QAction::triggered, this, [this] { lessonCommand(&Lesson::Levelup1Click); });
  connect(m.Leveldown1, &QAction::triggered, this,
          [this] { lessonCommand(&Lesson::Leveldown1Click); });
  connect(m.ResetCorvinmasterylevel1, &QAction::triggered, this, [this] {
    if (confirmMasteryReset(this)) lesson().ResetCorvinmasterylevel1Click();
  });
  connect(m.LongTones1, &QAction::triggered, this, [this] { LongTones1Click(); });
  connect(m.Solfege1, &QAction::triggered, this, [this] { Solfege1Click(); });
  connect(m.Notes1, &QAction::triggered, this, [this] { Notes1Click(); });
  connect(m.Piano1, &QAction::triggered, this, [this] { Piano1Click(); });
  for (QAction* option : {m.Solfege1, m.Notes1, m.Piano1, m.PracticeMode1, m.DisplayAlways})
    connect(option, &QAction::toggled, this, [this] { syncMenuChecks(); });
  for (QAction* channel : m.channelItems)
    connect(channel, &QAction::triggered, this,
            [this] { core_.player().SetChannelFromMenu(channelChecks(menus_)); });
  for (QAction* volume : m.volumeItems)
    connect(volume, &QAction::triggered, this,
            [this] { core_.player().SetVolumeFromMenu(volumeChecks(menus_)); });
  connect(m.High1, &QAction::triggered, this, [this] { High1Click(); });
  connect(m.Medium1, &QAction::triggered, this, [this] { Medium1Click(); });
  connect(m.Low1, &QAction::triggered, this, [this] { Low1Click(); });
  connect(m.Help2, &QAction::triggered, this, [this] { Help2Click(); });
  connect(toolBar_.toolButtonHelp, &QToolButton::clicked, this, [this] { toolButtonHelpClick(); });
}

void TForm1::FormActivate() {
  if (!firstActivation_) return;
  show();
  firstActivation_ = false;
  repaint();
  // The lesson starts the microphone, which needs its device chosen first.
  if (deviceMenus_.listed())
    startFirstLesson();
  else
    lessonWaitsForDevices_ = true;
}

// Practice Singing or the lesson the command line named, unless the user has chosen a lesson
// meanwhile: that one stays.
void TForm1::startFirstLesson() {
  if (lessonChosen_) return;
  if (firstLesson_)
    startLesson(*firstLesson_);
  else
    lesson().setLessonMode(LessonMode::Practice);
}

void TForm1::startLesson(StartLesson chosen) {
  if (const auto* exercise = std::get_if<Exercise>(&chosen)) {
    lessonChosen_ = true;
    exercises_.start(*exercise);
    return;
  }
  const LessonItem item = std::get<LessonItem>(chosen);
  stopExercise();
  for (const auto& [lessonItem, command] : kLessonCommands)
    if (lessonItem == item) (lesson().*command)();
}

void TForm1::lessonCommand(void (Lesson::*command)()) {
  ExerciseLesson& exercise = core_.exercise();
  if (!exercise.active()) {
    (lesson().*command)();
  } else if (command == &Lesson::Levelup1Click) {
    exercise.levelUp();
  } else if (command == &Lesson::Leveldown1Click) {
    exercise.levelDown();
  } else {
    exercise.replay();
  }
}

// The lesson's own keys reach the lesson from an exercise too: they end the exercise, as the
// lesson items do. The item the lesson names is checked again, for the key that switches no item.
void TForm1::typed(char key) {
  if (core_.exercise().active() && kLessonKeys.find(key) != std::string_view::npos) {
    stopExercise();
    menus_.lessonAction(lesson().menus.checkedLesson)->setChecked(true);
  }
  core_.keyPressed(key);
}

void TForm1::stopExercise() {
  if (!core_.exercise().active()) return;
  core_.stopExercise();
  exercises_.stopped();
  showExerciseMarks();
}

void TForm1::FormResize() {
  toolBar_.setIndent((width() - toolBar_.rowWidth()) / 2);
}

void TForm1::Quit1Click() {
  close();
}

// Closing the main window ends the program, whatever other windows are open: the statistics,
// a question box. The settings are saved as the window goes.
void TForm1::closeEvent(QCloseEvent* event) {
  QMainWindow::closeEvent(event);
  if (!event->isAccepted()) return;
  history_.closeStatistics();
  // Ends the event loop with every nested one (a question box's); a window closed while no loop
  // runs has nothing to end.
  if (QThread::currentThread()->loopLevel() > 0) QCoreApplication::quit();
}

void TForm1::toolButtonHelpClick() {
  const QString page = QString::fromLatin1(kHelpPageFileName);
  writeHelpPage(page);
  services_.documents.openDocument(page);
}

void TForm1::Help2Click() {
  toolButtonHelpClick();
}

void TForm1::viewCommand(QAction* item) {
  item->setChecked(true);
  exercises_.setSolfegeNames(menus_.Solfege1->isChecked());
  panel_.pitchGraph->setView(display::panelInputsOf(lesson()).view);
  coachingRow_->refresh();
  if (longTones_) longTones_->setView(display::panelInputsOf(lesson()).view);
  repaintNotePanel();
  // A running exercise keeps its task on the instruction line.
  if (!core_.exercise().active()) lesson().UpdateTexts();
}

// Long tones are sung in Practice Singing, which a take switches to if need be.
void TForm1::LongTones1Click() {
  if (!longTones_) {
    LongToneDialog::Actions actions;
    actions.start = [this](int midiNote, int durationMs) {
      if (lesson().lessonMode != LessonMode::Practice) lesson().Warmup1Click();
      core_.startLongTone(midiNote, durationMs);
      return core_.longToneRunning();
    };
    actions.stop = [this] { core_.stopLongTone(); };
    actions.best = [this](int midiNote, QObject* receiver,
                          std::function<void(std::optional<LongToneBest>)> show) {
      history_.store().ask(
          receiver, [midiNote](const QSqlDatabase& db) { return bestLongTone(db, midiNote); },
          std::move(show));
    };
    longTones_ =
        new LongToneDialog(std::move(actions), display::panelInputsOf(lesson()).view, this);
    connect(&history_.store(), &HistoryStore::changed, longTones_,
            [this] { longTones_->refreshBest(); });
  }
  longTones_->show();
  longTones_->raise();
  longTones_->activateWindow();
}

void TForm1::Solfege1Click() {
  viewCommand(menus_.Solfege1);
}

void TForm1::Notes1Click() {
  viewCommand(menus_.Notes1);
}

void TForm1::Piano1Click() {
  viewCommand(menus_.Piano1);
}

void TForm1::sensitivityCommand(QAction* item) {
  item->setChecked(true);
  takeThresholdFromMenu();
}

void TForm1::High1Click() {
  sensitivityCommand(menus_.High1);
}

void TForm1::Medium1Click() {
  sensitivityCommand(menus_.Medium1);
}

void TForm1::Low1Click() {
  sensitivityCommand(menus_.Low1);
}

void TForm1::takeThresholdFromMenu() {
  int threshold = 0;
  if (menus_.High1->isChecked()) threshold = kThresholdHigh;
  if (menus_.Medium1->isChecked()) threshold = kThresholdMedium;
  if (menus_.Low1->isChecked()) threshold = kThresholdLow;
  core_.detector().detectionThreshold = threshold;
}

void TForm1::syncMenuChecks() {
  MenuChecks checks = lesson().menus;
  checks.Solfege1 = menus_.Solfege1->isChecked();
  checks.Notes1 = menus_.Notes1->isChecked();
  checks.Piano1 = menus_.Piano1->isChecked();
  checks.PracticeMode1 = menus_.PracticeMode1->isChecked();
  checks.DisplayAlways = menus_.DisplayAlways->isChecked();
  lesson().setMenuChecks(checks);
}

void TForm1::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && isActiveWindow()) FormActivate();
}

void TForm1::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  FormResize();
}

void TForm1::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (!firstShow_) return;
  firstShow_ = false;
  fitOnScreen(*this, true);
}

void TForm1::playFeedbackSound(FeedbackSound sound) {
  feedbackSounds_.play(sound);
}

// The pause holds the interface thread, so whatever the lesson has changed is painted first: a
// partial answer's mark must be seen during the pause, not after it.
void TForm1::pause(int milliseconds) {
  repaint();
  services_.pause(milliseconds);
}

void TForm1::repaintNotePanel() {
  panel_.PaintBox1->PaintNotePanel();
  // An exercise's marks stand until it asks again.
  if (core_.exercise().active()) return;
  panel_.pitchGraph->setQuestionNotes(
      display::shownQuestionOf(display::panelInputsOf(lesson())).span());
}

void TForm1::exerciseLevelChanged(Exercise exercise, int level) {
  exercises_.levelChanged(exercise, level);
}

void TForm1::exerciseQuestionReady(const ExerciseQuestion& question) {
  exercises_.questionReady(question);
  showExerciseMarks();
}

void TForm1::showExerciseMarks() {
  const ExerciseLesson& exercise = core_.exercise();
  if (!exercise.active()) {
    panel_.PaintBox1->setFramedColumns({});
    panel_.pitchGraph->setTargetBand(std::nullopt);
    repaintNotePanel();
    return;
  }
  panel_.PaintBox1->setFramedColumns(shownPitchClassesOf(exercise.question()));
  panel_.pitchGraph->setTargetBand(
      targetBandOf(exercise.question(), exercise.settings().octaveFree));
}

void TForm1::showSungPitch(std::optional<SungPitch> pitch) {
  panel_.pitchGraph->addFrame(pitch);
}

void TForm1::showVerdict(const Verdict& verdict) {
  coachingRow_->showVerdict(verdict);
}

void TForm1::offTuneHeld(const OffTuneNote& note) {
  coachingRow_->offTuneHeld(note);
}

void TForm1::offTuneOver() {
  coachingRow_->offTuneOver();
}

void TForm1::longToneProgress(const LongToneProgress& progress) {
  if (longTones_) longTones_->showProgress(progress);
}

void TForm1::longToneDone(const LongToneResult& result) {
  if (longTones_) longTones_->showResult(result);
}

void TForm1::repaintWindowNow() {
  repaint();
}

void TForm1::setInstructionText(std::string_view text) {
  panel_.lblListenFor->setText(textOf(text));
}

void TForm1::setStatusText(int panel, std::string_view text) {
  statusPanels_->setText(panel, textOf(text));
}

std::string TForm1::instructionText() const {
  return panel_.lblListenFor->text().toStdString();
}

void TForm1::drawTuningMarker(int pitchClass, float offset) {
  panel_.PaintBox1->DrawTuningMarker(pitchClass, offset);
}

void TForm1::saveMastery(const Mastery& mastery) {
  settingsStore_.saveMastery(mastery);
}

void TForm1::lessonItemChecked(LessonItem item) {
  lessonChosen_ = true;
  menus_.lessonAction(item)->setChecked(true);
  toolBar_.lessonButton(item)->setChecked(true);
}

}  // namespace auralis
