#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
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

inline QByteArray contentsOf(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Dates the file's last change the given number of seconds back.
inline bool makeOlder(const QString& path, int ageSeconds) {
  QFile file(path);
  return file.open(QIODevice::ReadWrite) &&
         file.setFileTime(QDateTime::currentDateTime().addSecs(-ageSeconds),
                          QFileDevice::FileModificationTime);
}

// Writes the file, dated the given number of seconds back.
inline bool writeFile(const QString& path, const QByteArray& contents, int ageSeconds = 0) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(contents) != contents.size()) return false;
  file.close();
  return makeOlder(path, ageSeconds);
}

// What the program writes on standard error meanwhile, through a pipe: a file would be subject to
// the limits that some tests put on file sizes.
class StandardErrorCapture {
 public:
  StandardErrorCapture() {
    std::fflush(stderr);
    if (::pipe2(pipe_, O_NONBLOCK | O_CLOEXEC) != 0) return;
    ::fcntl(pipe_[1], F_SETPIPE_SZ, 1 << 20);
    saved_ = ::dup(STDERR_FILENO);
    ::dup2(pipe_[1], STDERR_FILENO);
  }
  ~StandardErrorCapture() { finish(); }
  StandardErrorCapture(const StandardErrorCapture&) = delete;
  StandardErrorCapture& operator=(const StandardErrorCapture&) = delete;

  // The lines that the program wrote about a problem, "auralis: " and all.
  std::vector<std::string> problems() {
    finish();
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text_.size()) {
      std::size_t end = text_.find('\n', start);
      if (end == std::string::npos) end = text_.size();
      const std::string line = text_.substr(start, end - start);
      if (line.rfind("auralis: ", 0) == 0) lines.push_back(line);
      start = end + 1;
    }
    return lines;
  }

 private:
  void finish() {
    if (saved_ < 0) return;
    std::fflush(stderr);
    ::dup2(saved_, STDERR_FILENO);
    ::close(saved_);
    saved_ = -1;
    ::close(pipe_[1]);
    char buffer[4096];
    for (ssize_t n; (n = ::read(pipe_[0], buffer, sizeof buffer)) > 0;)
      text_.append(buffer, static_cast<std::size_t>(n));
    ::close(pipe_[0]);
  }

  int pipe_[2] = {-1, -1};
  int saved_ = -1;
  std::string text_;
};

// Sets an environment variable, or unsets it, until it goes.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const std::optional<QByteArray>& value)
      : name_(name),
        old_(qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt) {
    set(value);
  }
  ~ScopedVariable() { set(old_); }
  ScopedVariable(const ScopedVariable&) = delete;
  ScopedVariable& operator=(const ScopedVariable&) = delete;

 private:
  void set(const std::optional<QByteArray>& value) {
    if (value) {
      qputenv(name_, *value);
    } else {
      qunsetenv(name_);
    }
  }
  const char* name_;
  std::optional<QByteArray> old_;
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
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(configDir.path()));
    // The answer history too stays out of the user's own.
    qputenv("XDG_DATA_HOME", QFile::encodeName(dataDir.path()));
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
    // As the program's event loop does first: the device lists are asked for, and these fakes
    // answer at once.
    QCoreApplication::processEvents();
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
