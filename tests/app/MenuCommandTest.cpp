#include <QSignalSpy>
#include <array>

#include "tests/app/EventLoopProbes.h"
#include "tests/app/WindowFixture.h"

namespace auralis::testing {
namespace {

using MenuCommands = WindowTest;

struct ModeCase {
  const char* name;
  LessonItem item;
  char key;
  LessonMode mode;
  bool micWanted;
  bool acceptsAnswers;  // typed, clicked and MIDI keyboard answers alike
  const char* levelPanel;
};

constexpr std::array<ModeCase, 4> kVisibleModes = {{
    {"Identify", LessonItem::Identify1, 'i', LessonMode::Identify, false, true, "1 of 67"},
    {"Mimic", LessonItem::MimicSing1, 'm', LessonMode::Mimic, true, false, "1 of 67"},
    {"Sing", LessonItem::Sing1, 's', LessonMode::Sing, true, false, "1 of 22"},
    {"Practice", LessonItem::Warmup1, 'p', LessonMode::Practice, true, true,
     "Practice singing (no questions)"},
}};

TEST_F(MenuCommands, EveryModeSwitchSetsItsAnswerSourcesFromMenuToolBarAndKey) {
  TForm1& window = open();
  window.FormActivate();
  enum Way { Menu, Button, Key };
  for (Way way : {Menu, Button, Key}) {
    for (const ModeCase& c : kVisibleModes) {
      // Leave the mode first, so every switch is a real change.
      type(c.mode == LessonMode::Identify ? "m" : "i");
      switch (way) {
        case Menu:
          menus().lessonAction(c.item)->trigger();
          break;
        case Button:
          window.toolBar().lessonButton(c.item)->click();
          break;
        case Key:
          type(std::string(1, c.key));
          break;
      }
      const std::string where = std::string(c.name) + " by " + std::to_string(way);
      EXPECT_EQ(lesson().lessonMode, c.mode) << where;
      EXPECT_TRUE(menus().lessonAction(c.item)->isChecked()) << where;
      EXPECT_TRUE(window.toolBar().lessonButton(c.item)->isChecked()) << where;
      EXPECT_EQ(lesson().micWanted, c.micWanted) << where;
      EXPECT_EQ(lesson().acceptKeyAnswers, c.acceptsAnswers) << where;
      EXPECT_EQ(lesson().acceptMidiAnswers, c.acceptsAnswers) << where;
      EXPECT_EQ(panel(2), c.levelPanel) << where;
    }
  }
}

TEST_F(MenuCommands, SingStartsAtTheStoredSingingLevel) {
  storeValue("SingingMastery95Percent", 7);
  open();
  menus().Sing1->trigger();
  EXPECT_EQ(lesson().level.currentLevel, 7);
  EXPECT_EQ(panel(2), "8 of 22");
}

TEST_F(MenuCommands, PracticeSingingClearsAWaitingQuestionAndPlaysNothing) {
  open();
  menus().Identify1->trigger();
  ASSERT_GT(lesson().question.QuestionNoteCount, 0);
  finishPhrases();
  const int played = phrasesPlayed();
  menus().Warmup1->trigger();
  EXPECT_EQ(lesson().question.QuestionNoteCount, 0);
  for (int flag : lesson().level.ActivePitchClasses) EXPECT_EQ(flag, 0);
  EXPECT_EQ(phrasesPlayed(), played);
}

TEST_F(MenuCommands, ShortcutsRunTheirCommandsWithoutTypingTheirLetters) {
  TForm1& window = open();
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  menus().Identify1->trigger();
  finishPhrases();

  QTest::keyClick(&window, Qt::Key_T, Qt::ControlModifier);
  EXPECT_TRUE(menus().Notes1->isChecked());
  EXPECT_TRUE(lesson().menus.Notes1);
  QTest::keyClick(&window, Qt::Key_P, Qt::ControlModifier);
  EXPECT_TRUE(menus().Piano1->isChecked());
  QTest::keyClick(&window, Qt::Key_S, Qt::ControlModifier);
  EXPECT_TRUE(menus().Solfege1->isChecked());
  EXPECT_EQ(lesson().lessonMode, LessonMode::Identify) << "Ctrl+S is not the key s";

  QTest::keyClick(&window, Qt::Key_U, Qt::ControlModifier);
  EXPECT_EQ(panel(2), "2 of 67");
  QTest::keyClick(&window, Qt::Key_D, Qt::ControlModifier);
  EXPECT_EQ(panel(2), "1 of 67");
  finishPhrases();
  const int played = phrasesPlayed();
  QTest::keyClick(&window, Qt::Key_N, Qt::ControlModifier);
  EXPECT_EQ(phrasesPlayed(), played + 1);

  QTest::keyClick(&window, Qt::Key_X, Qt::ControlModifier);
  EXPECT_FALSE(window.isVisible());
}

TEST_F(MenuCommands, QuitEndsTheProgramAndSavesWhateverOtherWindowsAreOpen) {
  enum Other { Statistics, ResetQuestion, Both };
  for (Other other : {Statistics, ResetQuestion, Both}) {
    TForm1& window = open();
    window.show();
    window.FormActivate();
    menus().Notes1->trigger();
    if (other != ResetQuestion) window.history().showStatistics();
    // Quit is chosen from the running program, a question box open where asked.
    QTimer::singleShot(0, &window, [this, other] {
      if (other == Statistics) {
        menus().Quit1->trigger();
        return;
      }
      QTimer::singleShot(0, form.get(), [this] { menus().Quit1->trigger(); });
      menus().ResetCorvinmasterylevel1->trigger();
    });
    bool ended = true;
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [&ended] {
      ended = false;
      QCoreApplication::exit(1);
    });
    guard.start(5000);
    QCoreApplication::exec();
    EXPECT_TRUE(ended) << "the program ran on after Quit, case " << other;
    EXPECT_FALSE(window.isVisible());
    if (const StatisticsWindow* statistics = window.history().statisticsWindow()) {
      EXPECT_FALSE(statistics->isVisible());
    }
    // What main() does once the event loop has ended.
    closeWindow();
    EXPECT_EQ(store()->value("Notes1").toString(), "1") << other;
    store()->remove(QString());
    for (QWidget* left : QApplication::topLevelWidgets()) left->close();
  }
}

TEST_F(MenuCommands, ViewItemsChangeTheNamesOfTheInstructionLine) {
  open();
  storeValue("IdentifyMastery95Percent", 0);
  menus().Identify1->trigger();
  EXPECT_EQ(instruction(), "Identify:  DO, MI");
  menus().Notes1->trigger();
  EXPECT_EQ(instruction(), "Identify:  C, E");
  EXPECT_TRUE(lesson().menus.Notes1);
  EXPECT_FALSE(lesson().menus.Solfege1);
  menus().Piano1->trigger();
  EXPECT_EQ(instruction(), "Identify:  C, E");
  EXPECT_TRUE(lesson().menus.Piano1);
  menus().Solfege1->trigger();
  menus().Solfege1->trigger();
  EXPECT_TRUE(menus().Solfege1->isChecked()) << "choosing a checked item leaves it checked";
  EXPECT_EQ(instruction(), "Identify:  DO, MI");
}

TEST_F(MenuCommands, SensitivityTakesTheThresholdOfTheCheckedItem) {
  open();
  struct Step {
    QAction* MainMenu::*item;
    int threshold;
  };
  const std::array steps = {Step{&MainMenu::Medium1, 666}, Step{&MainMenu::High1, 333},
                            Step{&MainMenu::Low1, 1000}, Step{&MainMenu::Low1, 1000}};
  for (const Step& step : steps) {
    (menus().*step.item)->trigger();
    EXPECT_EQ(form->core().detector().detectionThreshold, step.threshold);
    EXPECT_TRUE((menus().*step.item)->isChecked());
  }
}

TEST_F(MenuCommands, VolumeAndChannelItemsSetTheNotesOfTheNextQuestion) {
  open();
  menus().volumeItems[4]->trigger();  // "50"
  menus().channelItems[9]->trigger();
  EXPECT_EQ(form->core().player().MidiOutVolume, 50);
  EXPECT_EQ(form->core().player().MidiOutChannel, 9);
  menus().Identify1->trigger();
  ASSERT_FALSE(midiOut.phrases.empty());
  bool sawNoteOn = false;
  for (const auto& event : midiOut.phrases.back()) {
    const std::uint32_t status = event.event & 0xFF;
    if ((status & 0xF0) != 0x90) continue;
    EXPECT_EQ(status & 0x0F, 9u);
    const std::uint32_t velocity = (event.event >> 16) & 0x7F;
    if (velocity == 0) continue;  // a release
    sawNoteOn = true;
    EXPECT_EQ(velocity, 50u);
  }
  EXPECT_TRUE(sawNoteOn);
}

TEST_F(MenuCommands, ResetMasteryLevelsKeepsTheTwoMimicLevels) {
  for (const char* key : {"IdentifyMastery95Percent", "MimicMastery95Percent",
                          "MimicMastery1Minute", "SingingMastery1Minute"})
    storeValue(key, 5);
  open();
  menus().MimicSing1->trigger();
  const AnswerWhenAsked reset(
      [](QMessageBox& question) { question.button(QMessageBox::Reset)->click(); });
  menus().ResetCorvinmasterylevel1->trigger();
  EXPECT_EQ(lesson().mastery, (Mastery{0, 0, 0, 5, 5, 0, 0, 0, 0}));
  EXPECT_EQ(store()->value("IdentifyMastery95Percent").toInt(), 5)
      << "the store follows at the next save";
}

TEST_F(MenuCommands, ChoosingAMidiOutputReopensTheStreamEvenWhenAlreadyChecked) {
  midiOut.devices = {"Synth A", "Synth B"};
  open();
  const auto items = deviceItemsOf(menus().MIDIOut1);
  midiOut.calls.clear();
  items[0]->trigger();
  EXPECT_EQ(midiOut.calls, (std::vector<std::string>{"close", "open -1", "timediv 96"}));
  midiOut.calls.clear();
  items[2]->trigger();
  EXPECT_EQ(midiOut.calls, (std::vector<std::string>{"close", "open 1", "timediv 96"}));
  EXPECT_EQ(checkedDeviceId(menus().MIDIOut1), 1);
  int checked = 0;
  for (QAction* item : items) checked += item->isChecked() ? 1 : 0;
  EXPECT_EQ(checked, 1);
}

TEST_F(MenuCommands, ChoosingAMidiInputClosesTheOldOneAndDropsItsLateKeys) {
  midiInput.devices = {"Keys 1", "Keys 2"};
  open();
  menus().Identify1->trigger();
  finishPhrases();
  ASSERT_TRUE(midiInput.noteOn(60, 100));  // still on its way when the device changes
  midiInput.calls.clear();
  deviceItemsOf(menus().MIDIIn1)[1]->trigger();
  EXPECT_EQ(midiInput.calls, (std::vector<std::string>{"stop", "close", "open 1", "start"}));
  EXPECT_EQ(form->SelectedMidiInDevice(), 1);
  const int answers = lesson().question.AnswerPosition + lesson().scores.LevelAsked;
  deliverNotices();
  EXPECT_EQ(lesson().question.AnswerPosition + lesson().scores.LevelAsked, answers);
}

TEST_F(MenuCommands, ALostMidiInputIsTriedAgainUntilItIsBackAndItsKeysAnswerAgain) {
  midiInput.devices = {"Keys 1", "Keys 2"};
  open();
  menus().Identify1->trigger();
  finishPhrases();
  MidiKeyboardInput& keyboard = form->core().midiKeyboard();
  midiInput.stayGone = true;
  midiInput.loseDevice();
  EXPECT_FALSE(midiInput.noteOn(60, 100)) << "a lost device delivers nothing";
  deliverNotices();
  ASSERT_TRUE(keyboard.inputLost());

  midiInput.calls.clear();
  keyboard.worker().runDelayedCalls();
  keyboard.worker().runDelayedCalls();
  EXPECT_EQ(midiInput.calls, (std::vector<std::string>{"reconnect", "reconnect"}))
      << "tried again while the server is gone";
  midiInput.stayGone = false;
  keyboard.worker().runDelayedCalls();
  deliverNotices();
  EXPECT_FALSE(keyboard.inputLost());
  ASSERT_TRUE(midiInput.noteOn(60 + pitchClassOf(lesson().question.QuestionNotes[0]), 100));
  deliverNotices();
  EXPECT_GT(lesson().question.AnswerPosition + lesson().scores.LevelAsked, 0) << "its keys count";

  // Lost again, then another device chosen: the attempts stop, and a late notice about the
  // device as it was opened before starts none.
  midiInput.stayGone = true;
  midiInput.loseDevice();
  deliverNotices();
  ASSERT_TRUE(keyboard.inputLost());
  const int lostGeneration = keyboard.generation();
  deviceItemsOf(menus().MIDIIn1)[1]->trigger();
  EXPECT_FALSE(keyboard.inputLost());
  keyboard.MidiInLost(lostGeneration);
  EXPECT_FALSE(keyboard.inputLost());
  keyboard.worker().runDelayedCalls();  // the attempt already due finds nothing to do
  midiInput.calls.clear();
  keyboard.worker().runDelayedCalls();
  EXPECT_TRUE(midiInput.calls.empty());
  EXPECT_EQ(midiInput.openDevice(), 1);
}

}  // namespace
}  // namespace auralis::testing
