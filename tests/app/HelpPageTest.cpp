#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QUrl>

#include "app/HelpPage.h"
#include "tests/app/WindowFixture.h"

namespace auralis::testing {
namespace {

using HelpPage = WindowTest;

QByteArray pageOnDisk(const QString& path = QStringLiteral("auralis.html")) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

bool isOneLineOfPlainAscii(const QByteArray& text) {
  for (char c : text)
    if (c < 0x20 || c > 0x7E) return false;
  return !text.isEmpty();
}

// The two places a forwarding page names the manual: the refresh target and the link.
struct Forward {
  QString refresh;
  QString link;
};
Forward forwardOf(const QByteArray& page) {
  static const QRegularExpression shape(QStringLiteral(
      R"re(^<HTML><HEAD><META HTTP-EQUIV="refresh" CONTENT="0;URL=([^"]*)"></HEAD><BODY><CENTER>)re"
      R"re(<H3>Opening <A HREF="([^"]*)">the Auralis manual</A>...</H3></CENTER></BODY></HTML>$)re"));
  const QRegularExpressionMatch match = shape.match(QString::fromLatin1(page));
  if (!match.hasMatch()) return {};
  return {match.captured(1), match.captured(2)};
}

void makeManual(const QString& folder) {
  ASSERT_TRUE(QDir().mkpath(folder));
  QFile index(folder + QStringLiteral("/index.html"));
  ASSERT_TRUE(index.open(QIODevice::WriteOnly));
  index.write("<html></html>");
}

TEST_F(HelpPage, TheCommandWritesAPageThatForwardsToTheManualAndOpensIt) {
  TForm1& window = open();
  window.toolButtonHelpClick();
  const QByteArray page = pageOnDisk();
  EXPECT_TRUE(isOneLineOfPlainAscii(page)) << page.constData();
  const Forward forward = forwardOf(page);
  ASSERT_FALSE(forward.refresh.isEmpty()) << "not a forwarding page: " << page.constData();
  EXPECT_EQ(forward.link, forward.refresh);
  const QUrl target(forward.refresh);
  EXPECT_EQ(target.scheme(), QStringLiteral("file"));
  const QFileInfo index(target.toLocalFile());
  EXPECT_TRUE(index.isFile()) << "the page forwards to a manual that exists: "
                              << forward.refresh.toStdString();
  EXPECT_EQ(index.fileName(), QStringLiteral("index.html"));
  EXPECT_EQ(QFileInfo(QStringLiteral("auralis.html")).absolutePath(),
            QDir(workDir.path()).absolutePath())
      << "written in the working folder";
  EXPECT_EQ(documents.opened, std::vector<QString>{"auralis.html"});
}

TEST_F(HelpPage, MenuItemToolButtonAndRepeatsGiveTheSameSingleFile) {
  TForm1& window = open();
  window.toolBar().toolButtonHelp->click();
  const QByteArray fromButton = pageOnDisk();
  menus().Help2->trigger();
  window.Help2Click();
  EXPECT_EQ(pageOnDisk(), fromButton);
  const QStringList files = QDir(workDir.path()).entryList(QDir::Files);
  EXPECT_EQ(files, QStringList{"auralis.html"}) << "no temporary file is left behind";
  EXPECT_EQ(documents.opened.size(), 3u);
}

TEST_F(HelpPage, AnOlderLongerPageIsReplacedWhole) {
  {
    QFile old(QStringLiteral("auralis.html"));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(4096, 'x'));
  }
  open().toolButtonHelpClick();
  EXPECT_EQ(pageOnDisk(), helpPageText());
}

TEST_F(HelpPage, APlantedLinkIsReplacedAndItsTargetLeftAlone) {
  const QString target = workDir.filePath(QStringLiteral("precious.txt"));
  {
    QFile precious(target);
    ASSERT_TRUE(precious.open(QIODevice::WriteOnly));
    precious.write("keep me");
  }
  ASSERT_TRUE(QFile::link(target, QStringLiteral("auralis.html")));
  open().toolButtonHelpClick();
  EXPECT_FALSE(QFileInfo(QStringLiteral("auralis.html")).isSymLink());
  EXPECT_EQ(pageOnDisk(), helpPageText());
  EXPECT_EQ(pageOnDisk(target), QByteArray("keep me"));
}

TEST_F(HelpPage, AFolderThatCannotBeWrittenStillAsksToOpenThePage) {
  // A working folder removed from under the program takes no new file, even from root.
  const QString gone = workDir.filePath(QStringLiteral("gone"));
  ASSERT_TRUE(QDir().mkdir(gone));
  TForm1& window = open();
  ASSERT_TRUE(QDir::setCurrent(gone));
  ASSERT_TRUE(QDir().rmdir(gone));
  window.toolButtonHelpClick();
  EXPECT_EQ(documents.opened, std::vector<QString>{"auralis.html"});
  EXPECT_FALSE(QFileInfo::exists(workDir.filePath(QStringLiteral("auralis.html"))));
  QDir::setCurrent(workDir.path());
}

TEST(HelpPageFile, WriteReportsAFolderThatDoesNotExist) {
  EXPECT_FALSE(writeHelpPage(QStringLiteral("/nonexistent-folder/auralis.html")));
}

TEST(ManualLookup, AnInstalledProgramTakesTheManualBesideIt) {
  QTemporaryDir prefix;
  makeManual(prefix.filePath(QStringLiteral("share/doc/auralis/manual")));
  const QString found = findManualIndex(manualFolders(prefix.filePath(QStringLiteral("bin"))));
  EXPECT_EQ(found, QFileInfo(prefix.filePath(QStringLiteral("share/doc/auralis/manual/index.html")))
                       .absoluteFilePath());
}

TEST(ManualLookup, AProgramRunFromItsBuildFolderStillFindsAManual) {
  QTemporaryDir buildFolder;
  const QString found = findManualIndex(manualFolders(buildFolder.filePath(QStringLiteral("app"))));
  EXPECT_TRUE(QFileInfo(found).isFile()) << found.toStdString();
  EXPECT_FALSE(found.startsWith(buildFolder.path()));
}

TEST(ManualLookup, TheFirstFolderWithAnIndexPageWins) {
  QTemporaryDir root;
  const QString empty = root.filePath(QStringLiteral("empty"));
  const QString indexIsAFolder = root.filePath(QStringLiteral("odd"));
  const QString first = root.filePath(QStringLiteral("first"));
  const QString second = root.filePath(QStringLiteral("second"));
  ASSERT_TRUE(QDir().mkpath(empty));
  ASSERT_TRUE(QDir().mkpath(indexIsAFolder + QStringLiteral("/index.html")));
  makeManual(first);
  makeManual(second);
  const QString missing = root.filePath(QStringLiteral("missing"));
  struct Case {
    QStringList folders;
    QString expected;
  };
  const std::vector<Case> cases = {
      {{missing, empty, indexIsAFolder, first, second}, first + QStringLiteral("/index.html")},
      {{second, first}, second + QStringLiteral("/index.html")},
      {{missing, empty, indexIsAFolder}, QString()},
      {{}, QString()},
  };
  for (const Case& c : cases)
    EXPECT_EQ(findManualIndex(c.folders), c.expected) << c.folders.join(u' ').toStdString();
}

TEST(HelpPageText, TheManualsAddressIsEncodedSoThatThePageKeepsItWhole) {
  struct Case {
    const char* path;  // UTF-8
    const char* url;
  };
  const Case cases[] = {
      {"/usr/share/doc/auralis/manual/index.html",
       "file:///usr/share/doc/auralis/manual/index.html"},
      {"/home/a b/index.html", "file:///home/a%20b/index.html"},
      {"/tmp/\"<&>#?%;'/index.html", "file:///tmp/%22%3C%26%3E%23%3F%25%3B%27/index.html"},
      {"/home/Jos\xC3\xA9/index.html", "file:///home/Jos%C3%A9/index.html"},
  };
  for (const Case& c : cases) {
    const QString path = QString::fromUtf8(c.path);
    SCOPED_TRACE(c.path);
    EXPECT_EQ(fileUrlOf(path), QByteArray(c.url));
    EXPECT_EQ(QUrl(QString::fromLatin1(c.url)).toLocalFile(), path) << "a browser reads it back";
    const QByteArray page = helpPageText(path, {});
    EXPECT_TRUE(isOneLineOfPlainAscii(page));
    const Forward forward = forwardOf(page);
    EXPECT_EQ(forward.refresh, QString::fromLatin1(c.url));
    EXPECT_EQ(forward.link, QString::fromLatin1(c.url));
  }
}

TEST(HelpPageText, WithoutAManualThePageSaysSoAndListsWhereItLooked) {
  const QByteArray page = helpPageText(
      QString(), {QStringLiteral("/opt/auralis/manual"), QString::fromUtf8("/tmp/<b>&\xC3\xA9")});
  EXPECT_TRUE(isOneLineOfPlainAscii(page));
  EXPECT_FALSE(page.contains("refresh")) << "no forward to a page that is not there";
  EXPECT_FALSE(page.contains("http")) << "nor to a site that may not answer";
  EXPECT_TRUE(page.contains("<H3>The Auralis manual was not found.</H3>"));
  EXPECT_TRUE(page.contains("<LI>/opt/auralis/manual</LI><LI>/tmp/&#60;b&#62;&#38;&#233;</LI>"))
      << page.constData();
}

}  // namespace
}  // namespace auralis::testing
