#include <QApplication>
#include <QMessageBox>
#include <exception>

#include "app/Caption.h"
#include "app/Main.h"
#include "platform/RtAudioFeedbackSoundPlayer.h"
#include "platform/RtAudioSoundInput.h"
#include "platform/RtMidiInput.h"
#include "platform/SystemMidiOut.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QString::fromLatin1(auralis::kApplicationTitle));
  try {
    auralis::platform::SystemMidiOut midiOut;
    auralis::platform::RtAudioSoundInput soundInput;
    auralis::platform::RtMidiInput midiInput;
    auralis::platform::RtAudioFeedbackSoundPlayer feedbackSounds;
    auralis::DesktopDocumentOpener documents;
    auralis::TForm1 Form1(
        {midiOut, soundInput, midiInput, feedbackSounds, documents, auralis::blockingPause});
    Form1.show();
    Form1.activateWindow();
    return QApplication::exec();
  } catch (const std::exception& error) {
    QMessageBox::critical(nullptr, QString::fromLatin1(auralis::kApplicationTitle),
                          QString::fromLocal8Bit(error.what()));
    return 1;
  }
}
