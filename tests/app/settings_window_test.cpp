// The main window's settings file when it cannot be written or read: the
// reason is shown, and neither the stored placement nor the window's is lost.
#include "app/all_classes.h"
#include "app/form_main.h"
#include "support/hostile_files.h"
#include "support/scoped_process_state.h"
#include "toolkit/ini_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class SettingsWindowTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() { RegisterAllClasses(); }
  void SetUp() override
  {
    iniPath = dir.filePath("mainform.ini");
    const QString path = iniPath;
    TForm_Main::SettingsLocator = [path] { return TSettingsLocation{path, path}; };
  }
  void TearDown() override
  {
    if (form) TComponent::Free(form);
    TForm_Main::SettingsLocator = nullptr;
  }
  // Frees the window (which saves) and gives what it said.
  QString Close()
  {
    TStderrCapture said;
    TComponent::Free(form);
    form = nullptr;
    return QString::fromLocal8Bit(said.Text());
  }

  QTemporaryDir dir;
  QString iniPath;
  TForm_Main* form = nullptr;
};

TEST_F(SettingsWindowTest, FailedSaveSaysWhyAndKeepsTheStoredPlacement)
{
  const QByteArray stored = "[main]\nleft=300\ntop=100\nheight=400\nFormTop=0\n";
  {
    QFile f(iniPath);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(stored);
  }
  form = new TForm_Main(nullptr);
  EXPECT_EQ(form->Left(), 300);
  EXPECT_EQ(form->Top(), 100);
  form->SetLeft(320);
  QString said;
  {
    // The disk is full: nothing of the new file can be written.
    TScopedFileSizeLimit full(8);
    said = Close();
  }
  EXPECT_TRUE(said.contains("Unable to write to " + iniPath)) << said.toStdString();
  QFile f(iniPath);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_EQ(f.readAll(), stored) << "the placement saved last time is still there";
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"mainform.ini"})
      << "no half-written file is left beside it";
}

TEST_F(SettingsWindowTest, UnreadableFileKeepsTheDesignedPlacementAndIsNotReplaced)
{
  // A folder where the file should be cannot be read, not even by root.
  ASSERT_TRUE(QDir(dir.path()).mkdir("mainform.ini"));
  form = new TForm_Main(nullptr);
  EXPECT_EQ(form->Left(), 767);
  EXPECT_EQ(form->Top(), 214);
  const QString said = Close();
  EXPECT_TRUE(said.contains(iniPath)) << said.toStdString();
  EXPECT_TRUE(QFileInfo(iniPath).isDir());
}

TEST_F(SettingsWindowTest, LinesInAnotherEncodingOrDamagedSurviveTheExit)
{
  // The record window's source in Latin-1, as another editor saved it, and a damaged line.
  const QByteArray stored =
      "[main]\nleft=300\ntop=100\nheight=400\n\xff\xfe\x80\n[record]\nsource=Mikrofon (USB-Ger\xe4t)\n";
  {
    QFile f(iniPath);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(stored);
  }
  form = new TForm_Main(nullptr);
  EXPECT_EQ(form->Left(), 300);
  form->SetLeft(310);
  const QString said = Close();
  EXPECT_TRUE(said.isEmpty()) << said.toStdString();
  QFile f(iniPath);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QByteArray saved = f.readAll();
  EXPECT_TRUE(saved.contains("left=310\n")) << saved.toStdString();
  EXPECT_TRUE(saved.contains("\n\xff\xfe\x80\n")) << saved.toStdString();
  EXPECT_TRUE(saved.contains("\n[record]\nsource=Mikrofon (USB-Ger\xe4t)\n")) << saved.toStdString();
}

TEST_F(SettingsWindowTest, AFifoAsTheSettingsFileNeitherHoldsTheProgramNorIsReplaced)
{
  ASSERT_TRUE(MakeFifo(iniPath));
  TFifoWatch watch(iniPath);
  form = new TForm_Main(nullptr);
  EXPECT_EQ(form->Left(), 767);
  const QString said = Close();
  EXPECT_FALSE(watch.Released()) << "open() blocked on the FIFO";
  EXPECT_TRUE(said.contains(iniPath)) << said.toStdString();
  EXPECT_TRUE(QFileInfo::exists(iniPath));
  EXPECT_FALSE(QFileInfo(iniPath).isFile()) << "the FIFO is not replaced";
}

} // namespace
