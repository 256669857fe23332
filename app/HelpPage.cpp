#include "app/HelpPage.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>
#include <QUrl>
#include <cstdio>

namespace auralis {

void DesktopDocumentOpener::openDocument(const QString& fileName) {
  QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(fileName).absoluteFilePath()));
}

QStringList manualFolders(const QString& programFolder) {
  QStringList folders{
      QDir::cleanPath(QDir(programFolder).filePath(QString::fromLatin1(kInstalledManualFolder)))};
#ifdef AURALIS_SOURCE_MANUAL_DIR
  folders << QStringLiteral(AURALIS_SOURCE_MANUAL_DIR);
#endif
  folders << QString::fromLatin1(kSystemManualFolder);
  folders.removeDuplicates();
  return folders;
}

QString findManualIndex(const QStringList& folders) {
  for (const QString& folder : folders) {
    const QFileInfo index(QDir(folder).filePath(QString::fromLatin1(kManualIndexFileName)));
    if (index.isFile()) return index.absoluteFilePath();
  }
  return {};
}

QByteArray fileUrlOf(const QString& absolutePath) {
  return "file://" + QFile::encodeName(absolutePath).toPercentEncoding("/");
}

namespace {

// Text for an HTML page that must stay plain ASCII: markup characters and everything beyond
// ASCII become character references.
QByteArray htmlTextOf(const QString& text) {
  QByteArray html;
  for (char32_t c : text.toUcs4()) {
    if (c == '&' || c == '<' || c == '>' || c == '"' || c < 0x20 || c > 0x7E) {
      html += "&#" + QByteArray::number(static_cast<uint>(c)) + ';';
    } else {
      html += static_cast<char>(c);
    }
  }
  return html;
}

}  // namespace

QByteArray helpPageText(const QString& manualIndex, const QStringList& searched) {
  if (!manualIndex.isEmpty()) {
    const QByteArray url = fileUrlOf(manualIndex);
    return "<HTML><HEAD><META HTTP-EQUIV=\"refresh\" CONTENT=\"0;URL=" + url +
           "\"></HEAD><BODY><CENTER><H3>Opening <A HREF=\"" + url +
           "\">the Auralis manual</A>...</H3></CENTER></BODY></HTML>";
  }
  // Better an honest page than a forward to a site that may not answer.
  QByteArray text(
      "<HTML><HEAD><TITLE>Auralis manual</TITLE></HEAD><BODY><CENTER><H3>The Auralis manual "
      "was not found.</H3></CENTER><P>It was looked for in these folders:</P><UL>");
  for (const QString& folder : searched) text += "<LI>" + htmlTextOf(folder) + "</LI>";
  text +=
      "</UL><P>It comes with the Auralis package: installing the package again puts it back.</P>"
      "</BODY></HTML>";
  return text;
}

QByteArray helpPageText() {
  const QStringList folders = manualFolders(QCoreApplication::applicationDirPath());
  return helpPageText(findManualIndex(folders), folders);
}

bool writeHelpPage(const QString& fileName) {
  const QFileInfo target(fileName);
  // The new page is written beside the old one and renamed over it: a rename replaces a
  // symbolic link itself, never the file it points to.
  QTemporaryFile temporary(target.dir().filePath(target.fileName() + QStringLiteral(".XXXXXX")));
  if (!temporary.open()) return false;
  const QByteArray text = helpPageText();
  if (temporary.write(text) != text.size() || !temporary.flush()) return false;
  temporary.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                           QFileDevice::ReadGroup | QFileDevice::ReadOther);
  temporary.close();
  const QByteArray from = QFile::encodeName(temporary.fileName());
  const QByteArray to = QFile::encodeName(target.filePath());
  if (std::rename(from.constData(), to.constData()) != 0) return false;
  temporary.setAutoRemove(false);
  return true;
}

}  // namespace auralis
