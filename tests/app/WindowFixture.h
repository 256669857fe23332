#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/Main.h"
#include "engine/Notes.h"
#include "platform/FakeFeedbackSoundPlayer.h"
#include "platform/FakeMidiInput.h"
#include "platform/FakeMidiOutStream.h"
#include "platform/FakeSoundInput.h"

namespace auralis::testing {

class RecordingOpener : public DocumentOpener {
 public:
  std::vector<QString> opened;
  void openDocument(const QString& fileName) override { opened.push_back(fileName); }
};

// A MIDI output with no device at all, not even a default one.
class AbsentMidiOut : public platform::FakeMidiOutStream {
 public:
  AbsentMidiOut() { devices.clear(); }
  std::string deviceName(int) override { return {}; }
};

// The real window over scripted devices, with a private settings store and working folder.
class WindowTest : public ::testing::Test {
 protected:
  WindowTest() {
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, configDir.path());
    // The answer history too stays out of the user's own.
    qputenv("XDG_DATA_HOME", dataDir.path().toLocal8Bit());
    previousFolder = QDir::currentPath();
    QDir::setCurrent(workDir.path());
  }
  ~WindowTest() override {
    form.reset();
    QDir::setCurrent(previousFolder);
  }

  TForm1& open() { return open(midiOut); }
  TForm1& open(platform::MidiOutStream& output) {
    form = std::make_unique<TForm1>(
        Services{output, soundInput, midiInput, sounds, documents,
                 [this](int ms) {
                   pauses.push_back(ms);
                   if (onPause) onPause();
                 },
                 [] { ADD_FAILURE() << "a device was still busy when the window closed"; }});
    return *form;
  }
  // Ends the run as quitting does: the settings are saved.
  void closeWindow() { form.reset(); }

  QString storeFile() const { return configDir.path() + QStringLiteral("/Auralis/Auralis.ini"); }
  std::unique_ptr<QSettings> store() const {
    auto settings = std::make_unique<QSettings>(storeFile(), QSettings::IniFormat);
    settings->beginGroup(QStringLiteral("Auralis"));
    return settings;
  }
  void storeValue(const char* key, const QVariant& value) const {
    store()->setValue(QString::fromLatin1(key), value);
  }

  Lesson& lesson() { return form->lesson(); }
  const MainMenu& menus() { return form->menus(); }
  QString panel(int index) { return form->statusPanels().text(index); }
  QString instruction() { return form->instructionLine()->text(); }

  // Handles every notice posted to the hidden message object.
  void deliverNotices() { QCoreApplication::sendPostedEvents(&form->messageWindow()); }
  // The stream reaches the end of every phrase, replays included.
  void finishPhrases() {
    for (int guard = 0; guard < 10 && midiOut.playing(); ++guard) {
      midiOut.completePhrase();
      deliverNotices();
    }
  }
  void type(std::string_view keys, QWidget* receiver = nullptr) {
    for (char ch : keys) QTest::keyClick(receiver ? receiver : form->notePanel(), ch);
  }
  std::string rightAnswer() {
    std::string letters;
    for (int i = 0; i < lesson().question.QuestionNoteCount; ++i)
      letters += NoteLetters[pitchClassOf(lesson().question.QuestionNotes[i])];
    return letters;
  }
  void answerRight() {
    finishPhrases();
    type(rightAnswer());
    finishPhrases();
  }
  int phrasesPlayed() const { return static_cast<int>(midiOut.phrases.size()); }

  QTemporaryDir configDir;
  QTemporaryDir dataDir;
  QTemporaryDir workDir;
  QString previousFolder;
  platform::FakeMidiOutStream midiOut;
  platform::FakeSoundInput soundInput;
  platform::FakeMidiInput midiInput;
  platform::FakeFeedbackSoundPlayer sounds;
  RecordingOpener documents;
  std::vector<int> pauses;
  std::function<void()> onPause;  // runs at the start of every pause
  std::unique_ptr<TForm1> form;
};

}  // namespace auralis::testing
