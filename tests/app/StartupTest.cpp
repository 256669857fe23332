#include <QApplication>
#include <QFontMetrics>
#include <array>

#include "app/Caption.h"
#include "tests/app/WindowFixture.h"

namespace auralis::testing {
namespace {

TEST(Caption, VersionIsShownUpToItsLastDot) {
  struct Case {
    const char* version;
    const char* caption;
  };
  const std::array cases = {
      Case{"1.0.0.0", "Auralis (1.0.0)"},
      Case{"2.5", "Auralis (2)"},
      Case{"7", "Auralis ()"},  // no "." at all
      Case{"", "Auralis ()"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(captionFor(QString::fromLatin1(c.version)), QString::fromLatin1(c.caption))
        << c.version;
}

using Startup = WindowTest;

TEST_F(Startup, OpensInPracticeSingingWithTheStartTexts) {
  TForm1& window = open();
  EXPECT_EQ(QApplication::applicationName(), "Auralis");
  EXPECT_EQ(window.windowTitle(), "Auralis (1.0.0)");
  EXPECT_EQ(window.versionText(), "1.0.0.0");
  EXPECT_EQ(window.size(), QSize(775, 355));
  EXPECT_EQ(window.minimumSize(), QSize(775, 355));

  EXPECT_TRUE(menus().Warmup1->isChecked());
  EXPECT_TRUE(window.toolBar().toolButtonPractice->isChecked());
  EXPECT_EQ(lesson().lessonMode, LessonMode::Practice);
  EXPECT_EQ(lesson().level.currentLevel, 5);

  EXPECT_EQ(instruction(), "Sing 'DO' then choose a lesson:  ");
  EXPECT_EQ(panel(0), "0:00 / 0:00");
  EXPECT_EQ(panel(2), "Practice singing (no questions)");
  EXPECT_EQ(panel(3), "");
  EXPECT_EQ(panel(4), "0/0 this level (0.0%);  0 in a row (0 highest);  0/0 total (0.0%)");
  EXPECT_TRUE(window.timer().isActive());
  EXPECT_EQ(window.timer().interval(), 1000);
}

TEST_F(Startup, UnlockAndMeditateAreNeverVisible) {
  TForm1& window = open();
  window.show();
  const ToolBar& bar = window.toolBar();
  for (QWidget* hidden : {static_cast<QWidget*>(bar.toolButtonUnlock), bar.ToolButton5,
                          static_cast<QWidget*>(bar.toolButtonMeditate), bar.ToolButton11})
    EXPECT_FALSE(hidden->isVisible()) << hidden->objectName().toStdString();
  for (QAction* hidden : {menus().Unlock1, menus().Meditate1}) {
    EXPECT_FALSE(hidden->isVisible());
    EXPECT_FALSE(hidden->isEnabled());
  }
  for (QAction* option : {menus().Corvin1, menus().Offtones1, menus().Harmonic1,
                          menus().DisplayNever, menus().DisplayAfter, menus().DisplayAlways})
    EXPECT_FALSE(option->isVisible());
  // Reachable from the keyboard all the same; still nothing of them shows.
  type("u");
  EXPECT_EQ(lesson().lessonMode, LessonMode::Unlock);
  EXPECT_TRUE(bar.toolButtonUnlock->isChecked());
  EXPECT_FALSE(bar.toolButtonUnlock->isVisible());
  for (QToolButton* visible :
       {bar.toolButtonIdentify, bar.toolButtonMimic, bar.toolButtonSing, bar.toolButtonPractice})
    EXPECT_FALSE(visible->isChecked());
}

TEST_F(Startup, SoundsAndPicturesComeFromTheProgramsResources) {
  TForm1& window = open();
  platform::FakeFeedbackSoundPlayer unused;
  const FeedbackSounds loaded(unused);
  for (FeedbackSound sound : {FeedbackSound::Correct, FeedbackSound::Incorrect,
                              FeedbackSound::Promote, FeedbackSound::Demote}) {
    const QByteArray& wave = loaded.wave(sound);
    ASSERT_GT(wave.size(), 44) << static_cast<int>(sound);
    EXPECT_EQ(wave.left(4), "RIFF");
    EXPECT_EQ(wave.mid(8, 4), "WAVE");
  }
  const ToolBar& bar = window.toolBar();
  for (QToolButton* button :
       {bar.toolButtonIdentify, bar.toolButtonUnlock, bar.toolButtonMimic, bar.toolButtonSing,
        bar.toolButtonMeditate, bar.toolButtonPractice, bar.toolButtonHelp}) {
    const QIcon icon = button->icon();
    const QImage normal = icon.pixmap(64, 64, QIcon::Normal).toImage();
    const QImage hot = icon.pixmap(64, 64, QIcon::Active).toImage();
    EXPECT_FALSE(normal.isNull()) << button->objectName().toStdString();
    EXPECT_FALSE(hot.isNull()) << button->objectName().toStdString();
    EXPECT_NE(normal, hot) << button->objectName().toStdString() << ": highlighted under the mouse";
  }
}

TEST_F(Startup, ResizingKeepsTheButtonRowCentredAndNeverGoesBelowTheMinimum) {
  TForm1& window = open();
  window.show();
  const ToolBar& bar = window.toolBar();
  for (int width : {775, 1000, 1201}) {
    window.resize(width, 400);
    QCoreApplication::processEvents();
    // The lesson buttons and Help take 500 pixels; the statistics button follows Help.
    const QToolButton* last = window.history().toolButtonStatistics;
    ASSERT_GT(last->x(), bar.toolButtonHelp->x());
    EXPECT_EQ(bar.rowWidth(), 500 + (last->x() + last->width()) -
                                  (bar.toolButtonHelp->x() + bar.toolButtonHelp->width()));
    EXPECT_EQ(bar.indent->width(), (width - bar.rowWidth()) / 2) << width;
    const int left = bar.toolButtonIdentify->x();
    const int right = last->x() + last->width();
    EXPECT_LE(std::abs(left - (width - right)), 1) << width;
  }
  window.resize(500, 200);
  EXPECT_EQ(window.size(), QSize(775, 355));
}

TEST_F(Startup, AMachineWithoutDevicesShowsNoneDetectedAndStillRuns) {
  AbsentMidiOut noOutput;
  soundInput.devices.clear();
  TForm1& window = open(noOutput);
  for (QMenu* menu : {menus().MIDIOut1, menus().MIDIIn1, menus().Microphone1}) {
    ASSERT_EQ(menu->actions().size(), 1) << menu->objectName().toStdString();
    QAction* only = menu->actions().front();
    EXPECT_EQ(only->text(), "None detected");
    EXPECT_FALSE(only->isEnabled());
    EXPECT_FALSE(only->isChecked());
    EXPECT_EQ(checkedDeviceId(menu), -2);
  }
  EXPECT_FALSE(window.core().player().midiOutPresent);
  EXPECT_EQ(panel(1), "No Mic");
  EXPECT_TRUE(noOutput.calls.empty()) << "nothing is opened without a device";
  EXPECT_TRUE(midiInput.calls.empty());
  window.FormActivate();
  EXPECT_EQ(lesson().lessonMode, LessonMode::Practice);
  EXPECT_TRUE(lesson().micWanted);
  // Questions are still asked, only not heard.
  type("i");
  EXPECT_GT(lesson().question.QuestionNoteCount, 0);
  EXPECT_TRUE(noOutput.phrases.empty());
}

TEST_F(Startup, DeviceMenusListTheDefaultFirstAndOpenTheCheckedDevices) {
  midiOut.devices = {"Synth A", "Synth B"};
  midiInput.devices = {"Keys 1", "Keys 2"};
  soundInput.devices = {"Headset"};
  open();
  const auto outputs = deviceItemsOf(menus().MIDIOut1);
  ASSERT_EQ(outputs.size(), 3u);
  EXPECT_EQ(outputs[0]->text(), "Default MIDI output");
  EXPECT_EQ(outputs[1]->text(), "Synth A");
  EXPECT_TRUE(outputs[0]->isChecked());
  EXPECT_EQ(checkedDeviceId(menus().MIDIOut1), -1);

  const auto inputs = deviceItemsOf(menus().MIDIIn1);
  ASSERT_EQ(inputs.size(), 2u);
  EXPECT_EQ(inputs[0]->text(), "Keys 1");
  EXPECT_TRUE(inputs[0]->isChecked());
  EXPECT_EQ(form->SelectedMidiInDevice(), 0);

  const auto microphones = deviceItemsOf(menus().Microphone1);
  ASSERT_EQ(microphones.size(), 2u);
  EXPECT_EQ(microphones[0]->text(), "Default sound input");
  EXPECT_EQ(microphones[1]->text(), "Headset");
  EXPECT_EQ(checkedDeviceId(menus().Microphone1), -1);

  EXPECT_TRUE(midiOut.isOpen);
  EXPECT_EQ(midiOut.calls.front(), "open -1");
  EXPECT_EQ(midiOut.timeDivision, 96);
  EXPECT_EQ(midiInput.openDevice(), 0);
  EXPECT_TRUE(midiInput.started());
}

TEST_F(Startup, OnlyTheFirstActivationSwitchesTheLessonMode) {
  TForm1& window = open();
  EXPECT_FALSE(lesson().micWanted);
  window.FormActivate();
  EXPECT_TRUE(window.isVisible());
  EXPECT_TRUE(lesson().micWanted);
  EXPECT_EQ(lesson().lessonMode, LessonMode::Practice);
  type("i");
  window.FormActivate();
  EXPECT_EQ(lesson().lessonMode, LessonMode::Identify);
}

TEST_F(Startup, ShowingTheWindowActivatesItAndCentresIt) {
  TForm1& window = open();
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  EXPECT_TRUE(lesson().micWanted) << "the first activation switched to Practice Singing";
  const QRect screen = window.screen()->availableGeometry();
  EXPECT_LE(std::abs(window.frameGeometry().center().x() - screen.center().x()), 1);
  EXPECT_LE(std::abs(window.frameGeometry().center().y() - screen.center().y()), 1);
}

}  // namespace
}  // namespace auralis::testing
