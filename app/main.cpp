#include <fontconfig/fontconfig.h>

#include <QApplication>
#include <QMessageBox>
#include <cstdio>
#include <exception>
#include <thread>

#include "app/Caption.h"
#include "app/CommandLine.h"
#include "app/ExitSignals.h"
#include "app/Main.h"
#include "app/ProblemReport.h"
#include "app/SingleInstance.h"
#include "app/ToolPictures.h"
#include "devices/ModuleDevices.h"

namespace auralis {
namespace {

// Says why on standard error and in a message box, which is all there is to see; closing it, or
// a signal to end, ends the program with status 1.
int cannotStart(const QString& why) {
  printProblem(why);
  QMessageBox box(QMessageBox::Critical, QString::fromLatin1(kApplicationTitle), why);
  QObject::connect(&box, &QDialog::finished, qApp, &QCoreApplication::quit);
  box.show();
  QApplication::exec();
  return 1;
}

}  // namespace
}  // namespace auralis

int main(int argc, char* argv[]) {
  // Read before the window's application, which needs a display: --help and a mistyped name
  // need none.
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  const auto commandLine = auralis::parseCommandLine(arguments);
  switch (commandLine.action) {
    case auralis::CommandLine::Action::Help:
      std::fputs(auralis::commandLineHelp().toLocal8Bit().constData(), stdout);
      return 0;
    case auralis::CommandLine::Action::Refuse:
      std::fprintf(stderr, "auralis: %s\n", commandLine.problem.toLocal8Bit().constData());
      return auralis::kUsageExitStatus;
    case auralis::CommandLine::Action::Run:
      break;
  }
  // Reading the font configuration takes longer than connecting to the display and building the
  // window up to its first text; it runs beside them, so that the first text finds it ready.
  const std::jthread fonts([] { FcInit(); });
  QApplication application(argc, argv);
  QApplication::setApplicationName(QString::fromLatin1(auralis::kApplicationTitle));
  const auralis::ToolPicturesReadAhead toolPictures;
  // A signal to end ends the program as Quit does, settings saved. Installed before the single
  // instance listens, so that whoever can reach the program can also end it.
  const auralis::ExitSignals exitSignals([](int) { QCoreApplication::quit(); });
  auralis::SingleInstance instance(auralis::lockFolders());
  const auralis::SingleInstance::Start start = instance.claim();
  switch (start) {
    case auralis::SingleInstance::Start::First:
      break;
    case auralis::SingleInstance::Start::HandedOver:
      return 0;
    case auralis::SingleInstance::Start::Ending:
    case auralis::SingleInstance::Start::NoAnswer:
      return auralis::cannotStart(
          (start == auralis::SingleInstance::Start::Ending
               ? QStringLiteral("Auralis cannot start yet: the Auralis that was quit (process %1) "
                                "has not ended within %2 seconds. Start Auralis again once it has "
                                "ended.")
               : QStringLiteral("Auralis is running already (process %1) but does not answer "
                                "within %2 seconds. End that one, then start Auralis again."))
              .arg(instance.holder())
              .arg(auralis::kAnswerPatience.count() / 1000));
  }
  try {
    auralis::platform::ModuleMidiOut midiOut;
    auralis::platform::ModuleSoundInput soundInput;
    auralis::platform::ModuleMidiInput midiInput;
    auralis::platform::ModuleFeedbackSoundPlayer feedbackSounds;
    auralis::DesktopDocumentOpener documents;
    auralis::TForm1 Form1(
        {midiOut, soundInput, midiInput, feedbackSounds, documents, auralis::blockingPause});
    // A window that was quit is closed while the program ends: it does not come back.
    instance.setOnAnotherStart([&Form1] {
      if (!Form1.isVisible()) return false;
      auralis::bringToFront(Form1);
      return true;
    });
    if (commandLine.lesson) Form1.setFirstLesson(*commandLine.lesson);
    if (!instance.problem().isEmpty()) Form1.showNotice(instance.problem());
    Form1.show();
    Form1.activateWindow();
    return QApplication::exec();
  } catch (const std::exception& error) {
    QMessageBox::critical(nullptr, QString::fromLatin1(auralis::kApplicationTitle),
                          QString::fromLocal8Bit(error.what()));
    return 1;
  }
}
