#include "app/Main.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMenuBar>
#include <QStatusBar>
#include <QThread>
#include <QVBoxLayout>
#include <algorithm>

#include <cstdio>
#include <cstdlib>

#include "app/Caption.h"
#include "app/MasteryReset.h"
#include "app/ScreenFit.h"
#include "app/Version.h"
#include "engine/Notes.h"

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

QFont instructionFont() {
  QFont font(QStringLiteral("Times New Roman"));
  font.setStyleHint(QFont::Serif);
  font.setBold(true);
  font.setPixelSize(32);
  return font;
}

constexpr int kInstructionPanelHeight = 40;

using Clock = std::chrono::steady_clock;

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

void endProcessNow() {
  std::fflush(nullptr);
  std::_Exit(0);
}

void blockingPause(int milliseconds) {
  QThread::msleep(static_cast<unsigned long>(milliseconds));
}

std::optional<char> typedCharacter(const QKeyEvent& event) {
  if (event.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
    return std::nullopt;
  if (event.key() == Qt::Key_Escape) return kEscape;
  const QString text = event.text();
  if (text.size() != 1) return std::nullopt;
  const char16_t ch = text.front().unicode();
  if (ch < 0x20 || ch > 0x7E) return std::nullopt;
  return static_cast<char>(ch);
}

TForm1::TForm1(Services services, QWidget* parent)
    : QMainWindow(parent),
      services_(std::move(services)),
      messageWindow_([this](const Notice& notice) { core_.UtilityWndProc(notice); }),
      feedbackSounds_(services_.feedbackSounds),
      core_(*this, messageWindow_, {services_.midiOut, services_.soundInput, services_.midiInput}),
      settingsStore_([this](const QString& problem) { reportSettingsProblem(problem); }) {
  if (!services_.pause) services_.pause = blockingPause;
  lesson().recorder = &history_.recorder();
  SeedRandomFromClock(lesson().random);
  buildWindow();
  FormCreate();
  connectCommands();
  Timer1_.setInterval(kTimerInterval);
  connect(&Timer1_, &QTimer::timeout, this, [this] { lesson().Timer1Timer(); });
  Timer1_.start();
  // Key preview: every typed character reaches the key handler before any child control.
  qApp->installEventFilter(this);
  // The desktop session may end the program without letting the window close.
  connect(qApp, &QGuiApplication::commitDataRequest, this, [this] { saveSettings(); });
}

TForm1::~TForm1() {
  qApp->removeEventFilter(this);
  Timer1_.stop();
  // First: a device that never answers must not cost the settings.
  saveSettings();
  closeDevices();
}

void TForm1::closeDevices() {
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

void TForm1::reportSettingsProblem(const QString& text) {
  printProblem(text);
  showNotice(text);
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

  panelSolfege_ = new QWidget(central);
  panelSolfege_->setObjectName(QStringLiteral("panelSolfege"));
  auto* panelColumn = new QVBoxLayout(panelSolfege_);
  panelColumn->setContentsMargins(0, 0, 0, 0);
  panelColumn->setSpacing(0);
  Panel1_ = new QWidget(panelSolfege_);
  Panel1_->setObjectName(QStringLiteral("Panel1"));
  Panel1_->setFixedHeight(kInstructionPanelHeight);
  lblListenFor_ = new QLabel(QStringLiteral("(instructions)"), Panel1_);
  lblListenFor_->setObjectName(QStringLiteral("lblListenFor"));
  lblListenFor_->setFont(instructionFont());
  lblListenFor_->setAlignment(Qt::AlignCenter);
  // A long line is cut at the panel's edges rather than widening the window.
  lblListenFor_->setMinimumWidth(1);
  lblListenFor_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  auto* instructionRow = new QVBoxLayout(Panel1_);
  instructionRow->setContentsMargins(0, 0, 0, 0);
  instructionRow->addWidget(lblListenFor_);
  panelColumn->addWidget(Panel1_);
  PaintBox1_ = new NotePanel(
      lesson(), [this](int column) { lesson().NoteColumnClicked(column); }, panelSolfege_);
  // Typed answers belong to the note panel: it holds the focus, so that the menu bar hands the
  // focus back to it whenever the user leaves the menus.
  PaintBox1_->setFocusPolicy(Qt::StrongFocus);
  panelColumn->addWidget(PaintBox1_, 1);
  buildPitchGraph(panelSolfege_);
  panelColumn->addWidget(pitchGraph_);
  rows->addWidget(panelSolfege_, 1);
  noticeLine_ = new NoticeLine(central);
  rows->addWidget(noticeLine_);
  setCentralWidget(central);
  PaintBox1_->setFocus();
  leaveMenuBarWhenMenusClose();

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
  settingsStore_.loadSettings(menus_, *this, lesson().mastery);
  syncMenuChecks();
  pitchGraph_->setView(display::panelInputsOf(lesson()).view);
  // The stored height is the whole window's, the graph's share included.
  showPitchGraph(PitchGraph1_->isChecked(), true);

  core_.player().SetVolumeFromMenu(volumeChecks(menus_));
  core_.player().SetChannelFromMenu(channelChecks(menus_));
  takeThresholdFromMenu();
  core_.detector().DetectorStride = 3;

  lesson().ResetLevelScores();
  lesson().UpdateTexts();

  // Last, so that the window can be shown before the audio and MIDI services have answered.
  listDevices();
}

// The three lists are read at once, each on its device's worker. The menus are built, the chosen
// devices opened and the microphone's state shown once all three have come, or at the deadline
// with those that have; a list that comes after the deadline is taken when it comes.
void TForm1::listDevices() {
  for (DeviceKind kind : kDeviceKinds)
    listDevicesOf(kind, [this, kind](std::vector<DeviceItem> items) {
      if (devicesListed_) {
        takeLateDeviceList(kind, items);
        return;
      }
      startLists_[kind] = std::move(items);
      if (std::ranges::all_of(startLists_, [](const auto& list) { return list.has_value(); }))
        takeDeviceLists();
    });
  if (!devicesListed_) QTimer::singleShot(kDeviceListingWait, this, [this] { takeDeviceLists(); });
}

void TForm1::listDevicesOf(DeviceKind kind, std::function<void(std::vector<DeviceItem>)> take) {
  switch (kind) {
    case MidiOutputs:
      core_.player().worker().call(
          [&midiOut = services_.midiOut] { return listMidiOutputs(midiOut); }, std::move(take));
      break;
    case MidiInputs:
      core_.midiKeyboard().worker().call(
          [&midiInput = services_.midiInput] { return numberedItems(midiInput.deviceNames()); },
          std::move(take));
      break;
    case Microphones:
      core_.capture().worker().call(
          [&soundInput = services_.soundInput] { return listMicrophones(soundInput); },
          std::move(take));
      break;
  }
}

QMenu* TForm1::deviceMenu(DeviceKind kind) const {
  return std::array{menus_.MIDIOut1, menus_.MIDIIn1, menus_.Microphone1}[kind];
}

void TForm1::takeDeviceLists() {
  if (devicesListed_) return;
  devicesListed_ = true;
  // A list still on its way shows no device until it comes.
  for (DeviceKind kind : kDeviceKinds) {
    listLate_[kind] = !startLists_[kind].has_value();
    takeDeviceList(kind, startLists_[kind].value_or(std::vector<DeviceItem>{}));
  }
  startLists_ = {};
  core_.ShowMicStatus();
  for (DeviceKind kind : kDeviceKinds) openCheckedDevice(kind);
  if (std::exchange(lessonWaitsForDevices_, false)) startFirstLesson();
}

void TForm1::takeDeviceList(DeviceKind kind, const std::vector<DeviceItem>& items) {
  setPresent(kind, !items.empty());
  fillDeviceMenu(deviceMenu(kind), items);
  connectDeviceItems(deviceMenu(kind));
  settingsStore_.selectStoredDevice(deviceMenu(kind));
}

void TForm1::takeLateDeviceList(DeviceKind kind, const std::vector<DeviceItem>& items) {
  if (!std::exchange(listLate_[kind], false)) return;
  takeDeviceList(kind, items);
  openCheckedDevice(kind);
  core_.ShowMicStatus();
}

// Capture starts on the microphone once a lesson mode wants it, or at once when one already does.
void TForm1::openCheckedDevice(DeviceKind kind) {
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

void TForm1::setPresent(DeviceKind kind, bool present) {
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
void TForm1::refreshDeviceMenus() {
  for (DeviceKind kind : kDeviceKinds)
    connect(deviceMenu(kind), &QMenu::aboutToShow, this, [this, kind] {
      if (!devicesListed_ || listLate_[kind]) return;  // the list of the start is on its way
      listDevicesOf(kind, [this, kind](const std::vector<DeviceItem>& items) {
        const bool hadNone = deviceItemsOf(deviceMenu(kind)).empty();
        if (kind != Microphones || hadNone) setPresent(kind, !items.empty());
        showDeviceList(deviceMenu(kind), items);
        if (hadNone && !items.empty()) openCheckedDevice(kind);
      });
    });
}

void TForm1::showDeviceList(QMenu* menu, const std::vector<DeviceItem>& devices) {
  if (refreshDeviceMenu(menu, devices)) connectDeviceItems(menu);
}

void TForm1::connectCommands() {
  const MainMenu& m = menus_;
  connect(m.Playnewquestion1, &QAction::triggered, this,
          [this] { lesson().Playnewquestion1Click(); });
  connect(m.Quit1, &QAction::triggered, this, [this] { Quit1Click(); });
  for (LessonItem item : {LessonItem::Warmup1, LessonItem::Identify1, LessonItem::Unlock1,
                          LessonItem::MimicSing1, LessonItem::Sing1, LessonItem::Meditate1}) {
    connect(m.lessonAction(item), &QAction::triggered, this,
            [this, item] { runLessonCommand(item); });
    connect(toolBar_.lessonButton(item), &QToolButton::clicked, this,
            [this, item] { runLessonCommand(item); });
  }
  connect(m.Levelup1, &QAction::triggered, this, [this] { lesson().Levelup1Click(); });
  connect(m.Leveldown1, &QAction::triggered, this, [this] { lesson().Leveldown1Click(); });
  connect(m.ResetCorvinmasterylevel1, &QAction::triggered, this, [this] {
    if (confirmMasteryReset(this)) lesson().ResetCorvinmasterylevel1Click();
  });
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
  refreshDeviceMenus();
}

void TForm1::connectDeviceItems(QMenu* menu) {
  for (QAction* item : deviceItemsOf(menu)) {
    if (menu == menus_.MIDIOut1)
      connect(item, &QAction::triggered, this, [this] { MIDIOutItemClick(); });
    else if (menu == menus_.MIDIIn1)
      connect(item, &QAction::triggered, this, [this] { ReopenMidiIn(); });
    else
      connect(item, &QAction::triggered, this, [this] { MicrophoneItemClick(); });
  }
}

void TForm1::runLessonCommand(LessonItem item) {
  switch (item) {
    case LessonItem::Warmup1:
      lesson().Warmup1Click();
      break;
    case LessonItem::Identify1:
      lesson().Identify1Click();
      break;
    case LessonItem::Unlock1:
      lesson().Unlock1Click();
      break;
    case LessonItem::MimicSing1:
      lesson().MimicSing1Click();
      break;
    case LessonItem::Sing1:
      lesson().Sing1Click();
      break;
    case LessonItem::Meditate1:
      lesson().Meditate1Click();
      break;
  }
}

void TForm1::FormActivate() {
  if (!firstActivation_) return;
  show();
  firstActivation_ = false;
  repaint();
  // The lesson starts the microphone, which needs its device chosen first.
  if (devicesListed_)
    startFirstLesson();
  else
    lessonWaitsForDevices_ = true;
}

// Practice Singing, unless the user has chosen a lesson meanwhile: that one stays.
void TForm1::startFirstLesson() {
  if (!lessonChosen_) lesson().setLessonMode(LessonMode::Practice);
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
  pitchGraph_->setView(display::panelInputsOf(lesson()).view);
  repaintNotePanel();
  lesson().UpdateTexts();
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
  MenuChecks& checks = lesson().menus;
  checks.Solfege1 = menus_.Solfege1->isChecked();
  checks.Notes1 = menus_.Notes1->isChecked();
  checks.Piano1 = menus_.Piano1->isChecked();
  checks.PracticeMode1 = menus_.PracticeMode1->isChecked();
  checks.DisplayAlways = menus_.DisplayAlways->isChecked();
}

int TForm1::SelectedMidiInDevice() const {
  return checkedDeviceId(menus_.MIDIIn1);
}

void TForm1::ReopenMidiIn() {
  core_.midiKeyboard().ReopenMidiIn(SelectedMidiInDevice());
}

void TForm1::MIDIOutItemClick() {
  core_.player().ReopenMidiOut(checkedDeviceId(menus_.MIDIOut1));
}

void TForm1::MicrophoneItemClick() {
  core_.capture().MicrophoneChanged(checkedDeviceId(menus_.Microphone1));
}

// A menu that Escape closes leaves the menu bar holding the focus with its title marked, where
// plain letters open menus. Once no menu is open, the focus goes back to the note panel, which
// ends that state: the letters are the lesson's again.
void TForm1::leaveMenuBarWhenMenusClose() {
  for (QAction* title : menuBar()->actions()) {
    if (title->menu() == nullptr) continue;
    connect(title->menu(), &QMenu::aboutToHide, this, [this] {
      // After the menu has handled its key: a menu bar that moves on to the next menu keeps it.
      QTimer::singleShot(0, this, [this] {
        if (QApplication::activePopupWidget() == nullptr && menuBar()->hasFocus())
          PaintBox1_->setFocus(Qt::OtherFocusReason);
      });
    });
  }
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return false;
  auto* widget = qobject_cast<QWidget*>(watched);
  // Keys meant for an open menu stay its own, and so do those of a menu bar that the user is
  // moving through (after Alt or F10, a title marked).
  if (widget == nullptr || widget->window() != this) return false;
  if (const auto* bar = qobject_cast<QMenuBar*>(widget); bar != nullptr && bar->activeAction())
    return false;
  const auto ch = typedCharacter(*static_cast<QKeyEvent*>(event));
  if (!ch) return false;
  lesson().FormKeyPress(*ch);
  return true;
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
  PaintBox1_->PaintNotePanel();
  pitchGraph_->setQuestionNotes(display::shownQuestionOf(display::panelInputsOf(lesson())).span());
}

void TForm1::showSungPitch(std::optional<SungPitch> pitch) {
  pitchGraph_->addFrame(pitch);
}

void TForm1::buildPitchGraph(QWidget* parent) {
  pitchGraph_ = new PitchGraph(parent);
  pitchGraph_->setObjectName(QStringLiteral("pitchGraph"));
  pitchGraph_->setFixedHeight(kPitchGraphHeight);
  pitchGraph_->hide();
  menus_.mnuView->addSeparator();
  PitchGraph1_ = menus_.mnuView->addAction(QStringLiteral("&Pitch graph"));
  PitchGraph1_->setObjectName(QStringLiteral("PitchGraph1"));
  PitchGraph1_->setCheckable(true);
  PitchGraph1_->setStatusTip(
      QStringLiteral("Show the sung pitch of the last ten seconds below the notes"));
  connect(PitchGraph1_, &QAction::toggled, this, [this](bool on) { showPitchGraph(on); });
}

void TForm1::showPitchGraph(bool shown, bool keepHeight) {
  if (pitchGraph_->isVisibleTo(this) == shown) return;
  // Taken before the new minimum, which already makes a smaller window taller.
  int height = this->height();
  if (!keepHeight) height += shown ? kPitchGraphHeight : -kPitchGraphHeight;
  pitchGraph_->setVisible(shown);
  setMinimumSize(
      boundedByScreen(*this, {kFormWidth, kFormHeight + (shown ? kPitchGraphHeight : 0)}));
  resize(width(), std::max(minimumHeight(), height));
  if (isVisible()) fitOnScreen(*this, false);
}

void TForm1::repaintWindowNow() {
  repaint();
}

void TForm1::setInstructionText(std::string_view text) {
  lblListenFor_->setText(textOf(text));
}

void TForm1::setStatusText(int panel, std::string_view text) {
  statusPanels_->setText(panel, textOf(text));
}

std::string TForm1::instructionText() const {
  return lblListenFor_->text().toStdString();
}

void TForm1::drawTuningMarker(int pitchClass, float offset) {
  PaintBox1_->DrawTuningMarker(pitchClass, offset);
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
