#pragma once

#include <QByteArray>
#include <QString>

namespace auralis {

// The help site: the page the local file forwards to is kHelpSiteAddress + "/help.html".
inline constexpr const char* kHelpSiteAddress = "https://auralis.example.org";
inline constexpr const char* kHelpSiteName = "auralis.example.org";
inline constexpr const char* kHelpPageFileName = "auralis.html";

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

// One line of ASCII without a line break: a page that forwards the browser at once.
QByteArray helpPageText();

// Writes the page as fileName, replacing whatever has that name (a planted link included)
// rather than writing through it. Returns false when the file could not be written; the old
// file, if any, is then left as it was.
bool writeHelpPage(const QString& fileName);

}  // namespace auralis
