#include "app/CommandLine.h"

namespace auralis {

namespace {

QString lessonNames() {
  QStringList names;
  for (const StartLessonName& row : kStartLessonNames) names << QString::fromLatin1(row.name);
  return names.join(QStringLiteral(", "));
}

CommandLine refuse(const QString& problem) {
  return {CommandLine::Action::Refuse, std::nullopt, problem};
}

}  // namespace

std::optional<StartLesson> startLessonNamed(const QString& name) {
  for (const StartLessonName& row : kStartLessonNames)
    if (name == QLatin1String(row.name)) return row.lesson;
  return std::nullopt;
}

CommandLine parseCommandLine(const QStringList& arguments) {
  CommandLine line;
  for (qsizetype i = 1; i < arguments.size(); ++i) {
    const QString& argument = arguments[i];
    if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
      line.action = CommandLine::Action::Help;
      continue;
    }
    QString name;
    if (argument == QLatin1String("--lesson")) {
      if (i + 1 == arguments.size())
        return refuse(QStringLiteral("--lesson needs the name of a lesson: %1").arg(lessonNames()));
      name = arguments[++i];
    } else if (argument.startsWith(QLatin1String("--lesson="))) {
      name = argument.mid(9);
    } else if (argument.startsWith(QLatin1String("--"))) {
      return refuse(
          QStringLiteral("unknown option %1 (auralis --help lists the options)").arg(argument));
    } else {
      continue;
    }
    line.lesson = startLessonNamed(name);
    if (!line.lesson)
      return refuse(QStringLiteral("there is no lesson called \"%1\"; the lessons are: %2")
                        .arg(name, lessonNames()));
  }
  return line;
}

QString commandLineHelp() {
  QString text = QStringLiteral(
      "Usage: auralis [--lesson NAME]\n"
      "Ear training that listens to your voice.\n"
      "\n"
      "  --lesson NAME  start in the lesson NAME instead of Practice Singing\n"
      "  --help         show this text and end\n"
      "\n"
      "Lessons:\n");
  for (const StartLessonName& row : kStartLessonNames)
    text += QStringLiteral("  %1%2\n")
                .arg(QString::fromLatin1(row.name), -15)
                .arg(QString::fromLatin1(row.what));
  return text;
}

}  // namespace auralis
