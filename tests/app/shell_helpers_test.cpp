#include "app/qt_translations.h"
#include "app/session_end.h"
#include "app/settings_location.h"
#include "app/shell_folders.h"
#include "support/pump.h"
#include "support/qt_printers.h"
#include "support/scoped_process_state.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QPushButton>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>

namespace {

TEST(SpecialFolders, TableSkipsTheUnusedNumbers)
{
  EXPECT_EQ(SpecialFolderNumber(0), 0);
  EXPECT_EQ(SpecialFolderNumber(14), 14);
  EXPECT_EQ(SpecialFolderNumber(15), 16);
  EXPECT_EQ(SpecialFolderNumber(49), 53);
  EXPECT_EQ(SpecialFolderNumber(56), 61);
  EXPECT_EQ(SpecialFolderNumber(57), -1);
  EXPECT_EQ(SpecialFolderNumber(128 + 15), 16);  // modulo 128
  EXPECT_EQ(SpecialFolderPath(57), QString());
}

TEST(SpecialFolders, DesktopIsTheUsersDesktopWhenItExists)
{
  QTemporaryDir home;
  const TScopedEnv homeEnv("HOME", home.path().toUtf8()), desktopEnv("XDG_DESKTOP_DIR"),
      configEnv("XDG_CONFIG_HOME", (home.path() + "/.config").toUtf8());
  EXPECT_EQ(SpecialFolderPath(0), QString());  // no desktop folder: empty, the dialog uses its default
  QDir(home.path()).mkdir("Desktop");
  EXPECT_EQ(SpecialFolderPath(0), home.path() + "/Desktop");
  EXPECT_EQ(SpecialFolderPath(36), QString());  // the system folder has no counterpart
}

TEST(SettingsLocation, BesideTheProgramUnlessThatFolderIsReadOnly)
{
  QTemporaryDir exe, config;
  TSettingsLocation loc = LocateSettings(exe.path(), config.path());
  EXPECT_EQ(loc.WritePath, exe.path() + "/mainform.ini");
  EXPECT_EQ(loc.ReadPath, QString());  // no file yet: designed placement
  QFile(exe.path() + "/mainform.ini").open(QIODevice::WriteOnly);
  EXPECT_EQ(LocateSettings(exe.path(), config.path()).ReadPath, exe.path() + "/mainform.ini");

  if (geteuid() == 0) GTEST_SKIP() << "root can write anywhere: the ctest test app_as_normal_user runs this as nobody";
  QFile::setPermissions(exe.path(), QFile::ReadOwner | QFile::ExeOwner);
  loc = LocateSettings(exe.path(), config.path());
  EXPECT_EQ(loc.WritePath, config.path() + "/mainform.ini");
  EXPECT_EQ(loc.ReadPath, exe.path() + "/mainform.ini");  // installed defaults still read
  QFile(config.path() + "/mainform.ini").open(QIODevice::WriteOnly);
  EXPECT_EQ(LocateSettings(exe.path(), config.path()).ReadPath, config.path() + "/mainform.ini");
  QFile::setPermissions(exe.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TEST(SettingsLocation, ReadOnlyFileBesideTheProgramMovesWritesToTheConfigFolder)
{
  // Works for root too: a file that cannot be opened for writing is detected by access(2)
  // only for normal users, so use a folder path that cannot exist.
  QTemporaryDir config;
  TSettingsLocation loc = LocateSettings("/nonexistent-velmora-dir", config.path());
  EXPECT_EQ(loc.WritePath, config.path() + "/mainform.ini");
  EXPECT_EQ(loc.ReadPath, QString());
}

TEST(SessionEnd, TerminationSignalRunsTheHandlerOnTheUiThread)
{
  int calls = 0;
  struct Restore {
    ~Restore() { StopWatchingSessionEnd(); }
  } restore;
  struct sigaction before {};
  sigaction(SIGTERM, nullptr, &before);
  WatchSessionEnd([&] { ++calls; });
  raise(SIGTERM);
  PumpUntil([&] { return calls != 0; });
  EXPECT_EQ(calls, 1);
  raise(SIGHUP);
  PumpUntil([&] { return calls != 1; });
  EXPECT_EQ(calls, 2);
  StopWatchingSessionEnd();
  struct sigaction after {};
  sigaction(SIGTERM, nullptr, &after);
  EXPECT_EQ(after.sa_handler, before.sa_handler) << "the process's own handling is back";
}

} // namespace

TEST(QtTranslations, QtsOwnDialogsSpeakChineseWhateverTheLocale)
{
  // An English desktop still gets Chinese buttons: every other text of the program is Chinese.
  ASSERT_EQ(InstallQtTranslations(QLocale(QLocale::English, QLocale::UnitedStates)), "zh_CN");
  QDialogButtonBox box(QDialogButtonBox::Save | QDialogButtonBox::Cancel);
  EXPECT_EQ(box.button(QDialogButtonBox::Cancel)->text(), "取消");
  EXPECT_TRUE(box.button(QDialogButtonBox::Save)->text().startsWith("保存")) << box.button(QDialogButtonBox::Save)->text().toStdString();
}
