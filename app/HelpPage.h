#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace auralis {

inline constexpr const char* kHelpPageFileName = "auralis.html";
inline constexpr const char* kManualIndexFileName = "index.html";
// Where an installed program finds its manual, relative to its own folder (bin/).
inline constexpr const char* kInstalledManualFolder = "../share/doc/auralis/manual";
// Where the distribution's package puts it.
inline constexpr const char* kSystemManualFolder = "/usr/share/doc/auralis/manual";

// Asks the desktop to open a document with the user's default program.
class DocumentOpener {
 public:
  virtual ~DocumentOpener() = default;
  virtual void openDocument(const QString& fileName) = 0;
};

class DesktopDocumentOpener final : public DocumentOpener {
 public:
  void openDocument(const QString& fileName) override;
};

// The folders that may hold the manual, in the order they are tried: beside an installed
// program, in the source tree of a program run from its build folder, then the system's.
QStringList manualFolders(const QString& programFolder);

// The absolute path of index.html in the first of the folders that has one; empty when none has.
QString findManualIndex(const QStringList& folders);

// A file: URL for an absolute local path. Every byte but letters, digits, "-", ".", "_", "~" and
// "/" is percent-encoded, so the URL is plain ASCII and can stand in an HTML attribute as it is.
QByteArray fileUrlOf(const QString& absolutePath);

// One line of ASCII without a line break: a page that forwards the browser at once to the
// manual at manualIndex, or, when manualIndex is empty, says that no manual was found and lists
// the folders that were searched.
QByteArray helpPageText(const QString& manualIndex, const QStringList& searched);

// The page for this program: the manual is looked for around the running program's folder.
QByteArray helpPageText();

// Writes helpPageText() as fileName, replacing whatever has that name (a planted link included)
// rather than writing through it. Returns false when the file could not be written; the old
// file, if any, is then left as it was.
bool writeHelpPage(const QString& fileName);

}  // namespace auralis
