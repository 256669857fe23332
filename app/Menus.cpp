#include "app/Menus.h"

#include <algorithm>
#include <optional>

namespace auralis {

namespace {

constexpr const char* kListPendingProperty = "auralisListPending";

constexpr const char* kDeviceIdProperty = "deviceId";

struct StatusTip {
  const char* component;  // the object name of a menu or an item
  const char* tip;
};

// What each menu and item does, shown in the status bar while the mouse is over it. The lesson
// items share theirs with the tool buttons.
// clang-format off
constexpr StatusTip kStatusTips[] = {
    {"mnuFile",                  "Ask a new question, or quit"},
    {"Playnewquestion1",         "Ask a new question and play it"},
    {"Quit1",                    "Save the settings and quit Auralis"},
    {"mnuLesson",                "Choose a lesson and move between its levels"},
    {"Levelup1",                 "Go on to the next level of this lesson"},
    {"Leveldown1",               "Go back to the level before this one"},
    {"PracticeMode1",            "Practise a level without being promoted out of it"},
    {"ResetCorvinmasterylevel1", "Start Identify, Unlock and Sing from their first levels again"},
    {"LongTones1",               "Hold one note steady in Practice Singing and see how well"},
    {"mnuView",                  "Choose how the note panel shows the notes"},
    {"Solfege1",                 "Name the notes DO, RE, MI..."},
    {"Notes1",                   "Name the notes C, D, E..."},
    {"Piano1",                   "Show the notes as piano keys"},
    {"mnuMIDI",                  "Choose the MIDI devices, channel and volume"},
    {"MIDIIn1",                  "Choose the MIDI keyboard that answers"},
    {"MIDIOut1",                 "Choose the MIDI output that plays the questions"},
    {"MIDIOutChannel1",          "Choose the MIDI channel the questions play on"},
    {"MIDIOutVolume1",           "Choose how loud the questions play"},
    {"mnuMicrophone",            "Choose the microphone and how readily it hears a note"},
    {"Microphone1",              "Choose the sound input you sing into"},
    {"Sensitivity1",             "Choose how readily a sung note counts"},
    {"High1",                    "Hear quiet singing too; noise may count as a note"},
    {"Medium1",                  "Hear singing of middle strength"},
    {"Low1",                     "Hear only clear, strong singing"},
    {"mnuHelp",                  "How to use Auralis"},
    {"Help2",                    kHelpStatusTip},
};

// In the order of LessonItem.
constexpr std::array<const char*, 6> kLessonStatusTips = {
    "Sing freely and see the pitch you sing; no questions",       // Warmup1
    "Hear notes and name them: type, click or play them",         // Identify1
    "Sing what you hear; a minute of quick answers moves on",     // Unlock1
    "Hear notes and sing them back",                              // MimicSing1
    "Sing the notes named on screen; the question plays later",   // Sing1
    "Sing a note and hear it repeated",                           // Meditate1
};

// The items of a device menu, and its single item when there is no device.
struct DeviceMenuTips {
  const char* menu;
  const char* device;  // %1 is the device's name
  const char* none;
};
constexpr DeviceMenuTips kDeviceMenuTips[] = {
    {"MIDIIn1",     "Answer on %1",             "No MIDI keyboard was found"},
    {"MIDIOut1",    "Play the questions on %1", "No MIDI output was found"},
    {"Microphone1", "Sing into %1",             "No sound input was found"},
};
// clang-format on

const DeviceMenuTips* deviceMenuTipsOf(const QMenu* menu) {
  for (const DeviceMenuTips& tips : kDeviceMenuTips)
    if (menu->objectName() == QLatin1String(tips.menu)) return &tips;
  return nullptr;
}

// A menu's own entry takes the menu's tip.
void setStatusTips(const MainMenu& m) {
  for (const StatusTip& row : kStatusTips) {
    const QString name = QString::fromLatin1(row.component);
    QAction* target = m.MainMenu1->findChild<QAction*>(name);
    if (target == nullptr) target = m.MainMenu1->findChild<QMenu*>(name)->menuAction();
    target->setStatusTip(QString::fromLatin1(row.tip));
  }
  for (LessonItem item : kLessonItems) m.lessonAction(item)->setStatusTip(lessonStatusTip(item));
  for (std::size_t i = 0; i < m.channelItems.size(); ++i)
    m.channelItems[i]->setStatusTip(QStringLiteral("Play the questions on MIDI channel %1").arg(i));
  for (std::size_t i = 0; i < m.volumeItems.size(); ++i)
    m.volumeItems[i]->setStatusTip(
        QStringLiteral("Play the questions at velocity %1 of 127").arg(10 * i + 10));
}

QAction* addItem(QMenu* menu, const char* component, const char* caption, bool checkable = false) {
  auto* action = menu->addAction(QString::fromLatin1(caption));
  action->setObjectName(QString::fromLatin1(component));
  action->setCheckable(checkable);
  return action;
}

QAction* addRadioItem(QMenu* menu, QActionGroup* group, const char* component,
                      const char* caption) {
  QAction* action = addItem(menu, component, caption, true);
  group->addAction(action);
  return action;
}

// Never shown and without a command: only its check mark counts.
QAction* addHiddenOption(QMenu* menu, QActionGroup* group, const char* component,
                         const char* caption) {
  QAction* action = addRadioItem(menu, group, component, caption);
  action->setVisible(false);
  return action;
}

QActionGroup* radioGroup(QMenu* menu) {
  auto* group = new QActionGroup(menu);
  group->setExclusionPolicy(QActionGroup::ExclusionPolicy::Exclusive);
  return group;
}

void buildFileMenu(MainMenu& m) {
  m.mnuFile = m.MainMenu1->addMenu(QStringLiteral("&File"));
  m.mnuFile->setObjectName(QStringLiteral("mnuFile"));
  m.Playnewquestion1 = addItem(m.mnuFile, "Playnewquestion1", "&Play new question");
  m.Playnewquestion1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
  m.mnuFile->addSeparator();
  m.Quit1 = addItem(m.mnuFile, "Quit1", "&Quit");
  m.Quit1->setShortcuts(quitShortcuts());
}

void buildLessonMenu(MainMenu& m) {
  m.mnuLesson = m.MainMenu1->addMenu(QStringLiteral("&Lesson"));
  m.mnuLesson->setObjectName(QStringLiteral("mnuLesson"));
  QMenu* menu = m.mnuLesson;
  QActionGroup* lessons = radioGroup(menu);
  // Inside the open menu the letters are the menu's; most are the lessons' own keys.
  m.Warmup1 = addRadioItem(menu, lessons, "Warmup1", "&Practice Singing");
  m.Identify1 = addRadioItem(menu, lessons, "Identify1", "&Identify");
  m.Unlock1 = addRadioItem(menu, lessons, "Unlock1", "U&nlock");
  m.MimicSing1 = addRadioItem(menu, lessons, "MimicSing1", "&Mimic");
  m.Sing1 = addRadioItem(menu, lessons, "Sing1", "&Sing");
  m.Meditate1 = addRadioItem(menu, lessons, "Meditate1", "Medi&tate");
  menu->addSeparator();
  m.Levelup1 = addItem(menu, "Levelup1", "Level &up");
  m.Levelup1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_U));
  m.Leveldown1 = addItem(menu, "Leveldown1", "Level &down");
  m.Leveldown1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
  menu->addSeparator();
  m.PracticeMode1 = addItem(menu, "PracticeMode1", "Practice M&ode", true);
  menu->addSeparator();
  m.ResetCorvinmasterylevel1 = addItem(menu, "ResetCorvinmasterylevel1", "&Reset mastery levels");
  menu->addSeparator();
  m.LongTones1 = addItem(menu, "LongTones1", "&Long tones...");
  m.LongTones1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));

  QActionGroup* method = radioGroup(menu);
  m.Corvin1 = addHiddenOption(menu, method, "Corvin1", "Corvin Perfect Pitch");
  m.Offtones1 = addHiddenOption(menu, method, "Offtones1", "Offtones");
  m.Beginning1 = addHiddenOption(menu, method, "Beginning1", "Beginning");
  m.Intermediate1 = addHiddenOption(menu, method, "Intermediate1", "Intermediate");
  m.Advanced1 = addHiddenOption(menu, method, "Advanced1", "Advanced");
  m.Corvin1->setChecked(true);
  QActionGroup* style = radioGroup(menu);
  m.Harmonic1 = addHiddenOption(menu, style, "Harmonic1", "Harmonic");
  m.Melodic1 = addHiddenOption(menu, style, "Melodic1", "Melodic");
  m.Both1 = addHiddenOption(menu, style, "Both1", "Both");
}

void buildViewMenu(MainMenu& m) {
  m.mnuView = m.MainMenu1->addMenu(QStringLiteral("&View"));
  m.mnuView->setObjectName(QStringLiteral("mnuView"));
  QActionGroup* views = radioGroup(m.mnuView);
  m.Solfege1 = addRadioItem(m.mnuView, views, "Solfege1", "&Solfege names");
  m.Solfege1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
  m.Notes1 = addRadioItem(m.mnuView, views, "Notes1", "&Note names");
  m.Notes1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
  m.Piano1 = addRadioItem(m.mnuView, views, "Piano1", "Piano");
  m.Piano1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
  m.Solfege1->setChecked(true);

  QActionGroup* offNotes = radioGroup(m.mnuView);
  m.DisplayNever = addHiddenOption(m.mnuView, offNotes, "DisplayNever", "Never display off-notes");
  m.DisplayAfter = addHiddenOption(m.mnuView, offNotes, "DisplayAfter",
                                   "Display off-notes after correct answer");
  m.DisplayAlways =
      addHiddenOption(m.mnuView, offNotes, "DisplayAlways", "Always display off-notes");
  m.DisplayAfter->setChecked(true);
}

void buildMidiMenu(MainMenu& m) {
  m.mnuMIDI = m.MainMenu1->addMenu(QStringLiteral("&MIDI"));
  m.mnuMIDI->setObjectName(QStringLiteral("mnuMIDI"));
  m.MIDIIn1 = m.mnuMIDI->addMenu(QStringLiteral("MIDI &In"));
  m.MIDIIn1->setObjectName(QStringLiteral("MIDIIn1"));
  m.mnuMIDI->addSeparator();
  m.MIDIOut1 = m.mnuMIDI->addMenu(QStringLiteral("MIDI &Out"));
  m.MIDIOut1->setObjectName(QStringLiteral("MIDIOut1"));
  setListPending(m.MIDIIn1, true);
  setListPending(m.MIDIOut1, true);

  m.MIDIOutChannel1 = m.mnuMIDI->addMenu(QStringLiteral("MIDI Out &Channel"));
  m.MIDIOutChannel1->setObjectName(QStringLiteral("MIDIOutChannel1"));
  QActionGroup* channels = radioGroup(m.MIDIOutChannel1);
  for (int i = 0; i < 16; ++i) {
    const QByteArray component = "N" + QByteArray::number(i) + "1";
    const QByteArray caption = QByteArray::number(i);
    m.channelItems[i] =
        addRadioItem(m.MIDIOutChannel1, channels, component.constData(), caption.constData());
  }
  m.channelItems[0]->setChecked(true);

  m.MIDIOutVolume1 = m.mnuMIDI->addMenu(QStringLiteral("MIDI Out &Volume"));
  m.MIDIOutVolume1->setObjectName(QStringLiteral("MIDIOutVolume1"));
  QActionGroup* volumes = radioGroup(m.MIDIOutVolume1);
  for (int i = 0; i < 12; ++i) {
    const QByteArray velocity = QByteArray::number(10 * i + 10);
    const QByteArray component = "N" + velocity + "1";
    m.volumeItems[i] =
        addRadioItem(m.MIDIOutVolume1, volumes, component.constData(), velocity.constData());
  }
  m.volumeItems[7]->setChecked(true);  // 80
}

void buildMicrophoneMenu(MainMenu& m) {
  // Alt+O and Alt+H: letters that answer no question and switch no lesson.
  m.mnuMicrophone = m.MainMenu1->addMenu(QStringLiteral("Micr&ophone"));
  m.mnuMicrophone->setObjectName(QStringLiteral("mnuMicrophone"));
  m.Microphone1 = m.mnuMicrophone->addMenu(QStringLiteral("Microphone"));
  m.Microphone1->setObjectName(QStringLiteral("Microphone1"));
  setListPending(m.Microphone1, true);
  m.Sensitivity1 = m.mnuMicrophone->addMenu(QStringLiteral("Sensitivity"));
  m.Sensitivity1->setObjectName(QStringLiteral("Sensitivity1"));
  QActionGroup* sensitivity = radioGroup(m.Sensitivity1);
  m.High1 = addRadioItem(m.Sensitivity1, sensitivity, "High1", "High");
  m.Medium1 = addRadioItem(m.Sensitivity1, sensitivity, "Medium1", "Medium");
  m.Low1 = addRadioItem(m.Sensitivity1, sensitivity, "Low1", "Low");
  m.High1->setChecked(true);
}

void buildHelpMenu(MainMenu& m) {
  m.mnuHelp = m.MainMenu1->addMenu(QStringLiteral("&Help"));
  m.mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
  m.Help2 = addItem(m.mnuHelp, "Help2", "&Help");
  m.Help2->setShortcut(QKeySequence(Qt::Key_F1));
}

}  // namespace

QList<QKeySequence> quitShortcuts() {
  // Ctrl+Q is what quits a program on this desktop; the desktop's own quit key, where it has
  // another, works too.
  QList<QKeySequence> keys = {QKeySequence(Qt::CTRL | Qt::Key_X),
                              QKeySequence(Qt::CTRL | Qt::Key_Q)};
  for (const QKeySequence& key : QKeySequence::keyBindings(QKeySequence::Quit))
    if (!keys.contains(key)) keys.append(key);
  return keys;
}

QString lessonStatusTip(LessonItem item) {
  return QString::fromLatin1(kLessonStatusTips[static_cast<std::size_t>(item)]);
}

QAction* MainMenu::lessonAction(LessonItem lesson) const {
  switch (lesson) {
    case LessonItem::Warmup1:
      return Warmup1;
    case LessonItem::Identify1:
      return Identify1;
    case LessonItem::Unlock1:
      return Unlock1;
    case LessonItem::MimicSing1:
      return MimicSing1;
    case LessonItem::Sing1:
      return Sing1;
    case LessonItem::Meditate1:
      return Meditate1;
  }
  return Warmup1;
}

QAction* MainMenu::item(const QString& componentName) const {
  return MainMenu1->findChild<QAction*>(componentName);
}

MainMenu buildMainMenu(QMenuBar* bar) {
  MainMenu m;
  m.MainMenu1 = bar;
  bar->setObjectName(QStringLiteral("MainMenu1"));
  buildFileMenu(m);
  buildLessonMenu(m);
  buildViewMenu(m);
  buildMidiMenu(m);
  buildMicrophoneMenu(m);
  buildHelpMenu(m);
  setStatusTips(m);
  return m;
}

namespace {

// An "&" in a device name is shown as itself, not as an accelerator mark; the name itself is
// kept with the item, so it is stored and matched as the device reports it.
QAction* addDeviceItem(QMenu* menu, QActionGroup* group, const DeviceItem& device,
                       const QString& suffix = {}) {
  QString caption = device.name;
  caption.replace(QLatin1Char('&'), QStringLiteral("&&"));
  auto* action = menu->addAction(caption + suffix);
  action->setCheckable(true);
  action->setData(device.name);
  action->setProperty(kDeviceIdProperty, device.id);
  if (const DeviceMenuTips* tips = deviceMenuTipsOf(menu))
    action->setStatusTip(QString::fromLatin1(tips->device).arg(device.name));
  group->addAction(action);
  return action;
}

bool sameDevices(const std::vector<DeviceItem>& a, const std::vector<DeviceItem>& b) {
  return std::equal(
      a.begin(), a.end(), b.begin(), b.end(),
      [](const DeviceItem& x, const DeviceItem& y) { return x.id == y.id && x.name == y.name; });
}

// The listed devices the menu shows.
std::vector<DeviceItem> shownDevices(const QMenu* menu) {
  std::vector<DeviceItem> shown;
  for (const QAction* item : deviceItemsOf(menu))
    if (item->isEnabled()) shown.push_back({deviceIdOf(item), deviceNameOf(item)});
  return shown;
}

}  // namespace

std::vector<QAction*> fillDeviceMenu(QMenu* menu, const std::vector<DeviceItem>& devices) {
  menu->clear();
  // The radio group of an earlier filling goes with its items.
  qDeleteAll(menu->findChildren<QActionGroup*>(Qt::FindDirectChildrenOnly));
  std::vector<QAction*> items;
  if (devices.empty()) {
    QAction* none = menu->addAction(QString::fromLatin1(kNoDeviceCaption));
    none->setEnabled(false);
    if (const DeviceMenuTips* tips = deviceMenuTipsOf(menu))
      none->setStatusTip(QString::fromLatin1(tips->none));
    return items;
  }
  QActionGroup* group = radioGroup(menu);
  for (const DeviceItem& device : devices) items.push_back(addDeviceItem(menu, group, device));
  items.front()->setChecked(true);
  return items;
}

bool refreshDeviceMenu(QMenu* menu, const std::vector<DeviceItem>& devices) {
  const std::vector<QAction*> before = deviceItemsOf(menu);
  const auto checked = std::find_if(before.begin(), before.end(),
                                    [](const QAction* item) { return item->isChecked(); });
  const bool unlistedShown = checked != before.end() && !(*checked)->isEnabled();
  if (!unlistedShown && sameDevices(shownDevices(menu), devices)) return false;
  const std::optional<QString> name =
      checked == before.end() ? std::nullopt : std::optional(deviceNameOf(*checked));
  fillDeviceMenu(menu, devices);
  if (!name) return true;
  for (QAction* item : deviceItemsOf(menu)) {
    if (deviceNameOf(item) != *name) continue;
    item->setChecked(true);
    return true;
  }
  auto* group = menu->findChild<QActionGroup*>(QString(), Qt::FindDirectChildrenOnly);
  if (group == nullptr) {
    menu->clear();  // "None detected": the unlisted device is shown instead
    group = radioGroup(menu);
  }
  QAction* unlisted = addDeviceItem(menu, group, {kUnlistedDevice, *name},
                                    QString::fromLatin1(kNotConnectedSuffix));
  unlisted->setEnabled(false);
  unlisted->setChecked(true);
  return true;
}

bool listPending(const QMenu* menu) {
  return menu->property(kListPendingProperty).toBool();
}

void setListPending(QMenu* menu, bool pending) {
  menu->setProperty(kListPendingProperty, pending);
}

std::vector<QAction*> deviceItemsOf(const QMenu* menu) {
  std::vector<QAction*> items;
  for (QAction* action : menu->actions())
    if (action->property(kDeviceIdProperty).isValid()) items.push_back(action);
  return items;
}

int deviceIdOf(const QAction* item) {
  return item->property(kDeviceIdProperty).toInt();
}

QString deviceNameOf(const QAction* item) {
  return item->data().toString();
}

std::array<bool, 12> volumeChecks(const MainMenu& menus) {
  std::array<bool, 12> checked{};
  for (std::size_t i = 0; i < checked.size(); ++i) checked[i] = menus.volumeItems[i]->isChecked();
  return checked;
}

std::array<bool, 16> channelChecks(const MainMenu& menus) {
  std::array<bool, 16> checked{};
  for (std::size_t i = 0; i < checked.size(); ++i) checked[i] = menus.channelItems[i]->isChecked();
  return checked;
}

}  // namespace auralis
