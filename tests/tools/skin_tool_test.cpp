// velmora-tool skin pack, info and sheet, run as a user would run them.
#include "support/run_tool.h"

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
const QString kFolder = QStringLiteral(VELMORA_SOURCE_DIR "/resources/skin");

QByteArray Read(const QString& path)
{
  QFile f(path);
  EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
  return f.readAll();
}
} // namespace

TEST(SkinTool, PackGivesTheCommittedBlockAndInfoDescribesIt)
{
  QTemporaryDir dir;
  const TToolRun pack = RunVelmoraTool({"skin", "pack", kFolder + "/skin.ini", dir.filePath("out.bin")});
  ASSERT_EQ(pack.ExitCode, 0) << pack.Err.toStdString();
  EXPECT_EQ(Read(dir.filePath("out.bin")), Read(kFolder + "/skin.bin"));

  const TToolRun info = RunVelmoraTool({"skin", "info", dir.filePath("out.bin")});
  ASSERT_EQ(info.ExitCode, 0) << info.Err.toStdString();
  EXPECT_TRUE(info.Out.contains("inflated 244002 bytes"));
  EXPECT_TRUE(info.Out.contains("version 3"));
  EXPECT_TRUE(info.Out.contains("frame picture: 191 x 140, 8 bits, 44 colours (main.bmp)"));
  EXPECT_TRUE(info.Out.contains("6: 103 x 67, 4 bits, 16 colours (mdibg.bmp)"));
  EXPECT_TRUE(info.Out.contains("13 skin objects"));
  EXPECT_TRUE(info.Out.contains("  0 MENUITEM:menuitem\n"));
  EXPECT_TRUE(info.Out.contains("59 control definitions"));
  EXPECT_TRUE(info.Out.contains("  24 statusbar:panel\n"));

  // The bare zlib block is accepted as well.
  QFile block(dir.filePath("block.z"));
  ASSERT_TRUE(block.open(QIODevice::WriteOnly));
  block.write(Read(kFolder + "/skin.bin").mid(8));
  block.close();
  EXPECT_EQ(RunVelmoraTool({"skin", "info", block.fileName()}).ExitCode, 0);
}

TEST(SkinTool, BrokenInputsGiveTheErrorAndExitOne)
{
  QTemporaryDir dir;
  QByteArray corrupt = Read(kFolder + "/skin.bin");
  corrupt.replace(200, 16, QByteArray(16, 'x'));
  QFile f(dir.filePath("corrupt.bin"));
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(corrupt);
  f.close();
  const TToolRun info = RunVelmoraTool({"skin", "info", f.fileName()});
  EXPECT_EQ(info.ExitCode, 1);
  EXPECT_TRUE(info.Err.contains("compression error")) << info.Err.toStdString();

  const TToolRun missing = RunVelmoraTool({"skin", "info", dir.filePath("none.bin")});
  EXPECT_EQ(missing.ExitCode, 1);
  EXPECT_TRUE(missing.Err.contains("Cannot open file")) << missing.Err.toStdString();

  QFile partial(dir.filePath("partial.ini"));
  ASSERT_TRUE(partial.open(QIODevice::WriteOnly));
  partial.write("[VERSION]\n[PICTURES]\n");
  partial.close();
  const TToolRun pack = RunVelmoraTool({"skin", "pack", partial.fileName(), dir.filePath("out.bin")});
  EXPECT_EQ(pack.ExitCode, 1);
  EXPECT_FALSE(QFile::exists(dir.filePath("out.bin")));
  EXPECT_EQ(RunVelmoraTool({"skin", "pack"}).ExitCode, 2);
}

TEST(SkinTool, SheetDrawsEveryDefinition)
{
  QTemporaryDir dir;
  const TToolRun sheet = RunVelmoraTool({"skin", "sheet", dir.filePath("sheet.png"), kFolder + "/skin.bin"});
  ASSERT_EQ(sheet.ExitCode, 0) << sheet.Err.toStdString();
  EXPECT_TRUE(sheet.Out.contains("72 definitions"));
  const QImage image(dir.filePath("sheet.png"));
  EXPECT_GT(image.width(), 1000);
  EXPECT_GT(image.height(), 1000);
}
