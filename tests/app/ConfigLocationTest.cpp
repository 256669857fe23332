#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <array>
#include <optional>

#include "app/ConfigLocation.h"
#include "tests/app/WindowFixture.h"

namespace auralis::testing {
namespace {

TEST(ConfigLocation, FollowsTheBaseDirectoryRules) {
  struct Case {
    const char* xdgConfigHome;
    const char* home;
    std::optional<QString> folder;
  };
  const std::array cases = {
      Case{"/x/config", "/home/u", "/x/config"},
      Case{"/x/config/", "", "/x/config"},
      Case{"", "/home/u", "/home/u/.config"},
      Case{"config", "/home/u", "/home/u/.config"},  // relative: as if unset
      Case{"./config", "/home/u/", "/home/u/.config"},
      Case{"", "/", "/.config"},  // a home of "/" is still a home
      Case{"", "", std::nullopt},
      Case{"config", "home/u", std::nullopt},
  };
  for (const Case& c : cases)
    EXPECT_EQ(configHomeFrom(c.xdgConfigHome, c.home), c.folder)
        << "XDG_CONFIG_HOME=" << c.xdgConfigHome << " HOME=" << c.home;
}

using ConfigFolder = WindowTest;

TEST_F(ConfigFolder, ARelativeConfigHomeIsIgnoredForTheHomeFolder) {
  const QString home = workDir.path() + "/home";
  const ScopedVariable config("XDG_CONFIG_HOME", "relative");
  const ScopedVariable homeVariable("HOME", QFile::encodeName(home));
  open();
  closeWindow();
  EXPECT_TRUE(QFile::exists(home + "/.config/Auralis/Auralis.ini"));
  EXPECT_FALSE(QDir(workDir.path() + "/relative").exists()) << "nothing below the working folder";
}

TEST_F(ConfigFolder, WithoutAFolderTheDefaultsRunAndTheUserIsToldOnce) {
  const ScopedVariable config("XDG_CONFIG_HOME", std::nullopt);
  const ScopedVariable home("HOME", std::nullopt);
  const QString notKept =
      "Settings are not kept: neither XDG_CONFIG_HOME nor HOME names an absolute folder";
  const QString rootFile = "/.config/Auralis/Auralis.ini";
  const QDateTime rootFileWritten = QFileInfo(rootFile).lastModified();
  StandardErrorCapture errors;
  TForm1& window = open();
  EXPECT_EQ(window.noticeLine()->wholeText(), notKept);
  EXPECT_EQ(window.size(), QSize(775, 355));
  EXPECT_EQ(lesson().mastery, Mastery{});
  type("i");
  for (int answer = 0; answer < 20; ++answer) answerRight();
  EXPECT_EQ(panel(2), "2 of 67") << "a promotion, whose save has nowhere to go";
  closeWindow();
  EXPECT_EQ(errors.problems(), std::vector<std::string>{"auralis: " + notKept.toStdString()});
  EXPECT_TRUE(QDir(workDir.path()).isEmpty()) << "nothing below the working folder";
  EXPECT_EQ(QFileInfo(rootFile).lastModified(), rootFileWritten) << "nothing in /.config";
}

}  // namespace
}  // namespace auralis::testing
