#include <QApplication>
#include <QMessageBox>
#include <exception>

#include "app/Caption.h"
#include "app/ExitSignals.h"
#include "app/Main.h"
#include "app/ProblemReport.h"
#include "app/SingleInstance.h"
#include "platform/RtAudioFeedbackSoundPlayer.h"
#include "platform/RtAudioSoundInput.h"
#include "platform/RtMidiInput.h"
#include "platform/SystemMidiOut.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QString::fromLatin1(auralis::kApplicationTitle));
  // A signal to end ends the program as Quit does, settings saved. Installed before the single
  // instance listens, so that whoever can reach the program can also end it.
  const auralis::ExitSignals exitSignals([](int) { QCoreApplication::quit(); });
  auralis::SingleInstance instance(auralis::runtimeFolder());
  switch (instance.claim()) {
    case auralis::SingleInstance::Start::First:
      break;
    case auralis::SingleInstance::Start::HandedOver:
      return 0;
    case auralis::SingleInstance::Start::NoAnswer:
      auralis::printProblem(QStringLiteral("Auralis is running already (process %1) but does not "
                                           "answer")
                                .arg(instance.holder()));
      return 1;
  }
  try {
    auralis::platform::SystemMidiOut midiOut;
    auralis::platform::RtAudioSoundInput soundInput;
    auralis::platform::RtMidiInput midiInput;
    auralis::platform::RtAudioFeedbackSoundPlayer feedbackSounds;
    auralis::DesktopDocumentOpener documents;
    auralis::TForm1 Form1(
        {midiOut, soundInput, midiInput, feedbackSounds, documents, auralis::blockingPause});
    instance.setOnAnotherStart([&Form1] { auralis::bringToFront(Form1); });
    Form1.show();
    Form1.activateWindow();
    return QApplication::exec();
  } catch (const std::exception& error) {
    QMessageBox::critical(nullptr, QString::fromLatin1(auralis::kApplicationTitle),
                          QString::fromLocal8Bit(error.what()));
    return 1;
  }
}
