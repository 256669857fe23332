#include "app/HelpPage.h"

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

QByteArray helpPageText() {
  QByteArray text("<HTML><HEAD><META HTTP-EQUIV=\"refresh\" CONTENT=\"0;URL=");
  text += kHelpSiteAddress;
  text += "/help.html\"></HEAD><BODY><CENTER><H3>Contacting ";
  text += kHelpSiteName;
  text += "...</H3></CENTER></BODY></HTML>";
  return text;
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
