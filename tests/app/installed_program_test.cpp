// An installed program (cmake --install, the package) is told from a build by
// its desktop entry beside it: its settings then go to the user's folder.
#include "app/settings_location.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

TEST(InstalledProgramTest, TheDesktopEntryInShareMarksAnInstalledProgram)
{
  QTemporaryDir prefix;
  ASSERT_TRUE(QDir(prefix.path()).mkpath("bin"));
  const QString bin = prefix.filePath("bin");
  EXPECT_FALSE(IsInstalledProgram(bin)) << "a build tree keeps its settings beside the program";
  ASSERT_TRUE(QDir(prefix.path()).mkpath("share/applications"));
  QFile entry(prefix.filePath("share/applications/velmora.desktop"));
  ASSERT_TRUE(entry.open(QIODevice::WriteOnly));
  entry.close();
  EXPECT_TRUE(IsInstalledProgram(bin));
}

} // namespace
