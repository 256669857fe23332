#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "app/HelpPage.h"
#include "tests/app/WindowFixture.h"

namespace auralis::testing {
namespace {

using HelpPage = WindowTest;

constexpr char kExpectedPage[] =
    "<HTML><HEAD><META HTTP-EQUIV=\"refresh\" CONTENT=\"0;URL=https://auralis.example.org/"
    "help.html\"></HEAD><BODY><CENTER><H3>Contacting auralis.example.org...</H3></CENTER>"
    "</BODY></HTML>";

QByteArray pageOnDisk(const QString& path = QStringLiteral("auralis.html")) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

TEST_F(HelpPage, TheCommandWritesTheForwardingPageAndOpensIt) {
  TForm1& window = open();
  window.toolButtonHelpClick();
  EXPECT_EQ(pageOnDisk(), QByteArray(kExpectedPage));
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
  EXPECT_EQ(pageOnDisk(), QByteArray(kExpectedPage));
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
  EXPECT_EQ(pageOnDisk(), QByteArray(kExpectedPage));
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
  EXPECT_EQ(helpPageText(), QByteArray(kExpectedPage));
}

}  // namespace
}  // namespace auralis::testing
