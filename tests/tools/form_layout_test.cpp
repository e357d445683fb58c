// velmora-tool form layout: a skinned window as the program lays it out.
#include "support/qt_printers.h"
#include "support/run_tool.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>

namespace {

// The built-in skin's block as a description's hex value.
QByteArray BuiltinSkinHex()
{
  QFile f(QStringLiteral(VELMORA_SOURCE_DIR "/resources/skin/skin.bin"));
  EXPECT_TRUE(f.open(QIODevice::ReadOnly));
  const QByteArray packed = f.readAll();
  const qint32 length = qFromLittleEndian<qint32>(packed.constData() + 4);
  return packed.mid(8, length).toHex().toUpper();
}

TEST(FormLayoutTool, PrintsEveryControlWithTheSkinApplied)
{
  QTemporaryDir dir;
  const QString path = dir.filePath("window.vfm");
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write("object Window1: TForm\n  ClientWidth = 246\n  ClientHeight = 200\n"
          "  object Bar1: TbsSkinToolBar\n    Align = alTop\n    Height = 25\n    SkinData = Skin1\n"
          "    object Tool1: TbsSkinSpeedButton\n      Align = alLeft\n      Width = 25\n      Height = 25\n"
          "      SkinData = Skin1\n    end\n  end\n"
          "  object Status1: TbsSkinStatusBar\n    Height = 21\n    SkinData = Skin1\n"
          "    object Field1: TbsSkinStatusPanel\n      Align = alLeft\n      AutoSize = True\n"
          "      Caption = '" + QStringLiteral("网络版请登录：").toUtf8() + "'\n      SkinData = Skin1\n    end\n"
          "    object Link1: TbsSkinLinkLabel\n      Align = alClient\n      Caption = 'site'\n    end\n  end\n"
          "  object Odd1: TbsSkinButton\n    Left = 8\n    Top = 40\n    SkinDataName = 'Button'\n"
          "    DefaultHeight = 19\n    SkinData = Skin1\n  end\n"
          "  object Skin1: TbsSkinData\n    CompressedStoredSkin = Stored1\n  end\n"
          "  object Stored1: TbsCompressedStoredSkin\n    CompressedData = {" + BuiltinSkinHex() + "}\n  end\nend\n");
  f.close();

  const QString png = dir.filePath("window.png");
  const TToolRun r = RunVelmoraTool({"form", "layout", path, png});
  ASSERT_EQ(r.ExitCode, 0) << r.Err.toStdString();
  const QStringList lines = r.Out.split('\n', Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), 7) << lines.join('\n').toStdString();
  EXPECT_EQ(lines[0], "Window1 TForm 0 0 246 200 -");
  EXPECT_EQ(lines[1], "Bar1 TbsSkinToolBar 0 0 246 30 toolpanel");
  EXPECT_EQ(lines[2], "Tool1 TbsSkinSpeedButton 2 2 25 26 toolbutton");
  EXPECT_EQ(lines[3], "Status1 TbsSkinStatusBar 0 177 246 23 statusbar");
  EXPECT_TRUE(lines[4].startsWith("Field1 TbsSkinStatusPanel 9 3 ")) << lines[4].toStdString();
  EXPECT_TRUE(lines[4].endsWith(" 17 statuspanel")) << lines[4].toStdString();
  EXPECT_TRUE(lines[5].startsWith("Link1 TbsSkinLinkLabel ")) << lines[5].toStdString();
  EXPECT_TRUE(lines[5].endsWith(" -"));
  EXPECT_EQ(lines[6], "Odd1 TbsSkinButton 8 40 75 19 missing:Button");
  EXPECT_EQ(QImage(png).size(), QSize(246, 200));

  EXPECT_EQ(RunVelmoraTool({"form", "layout", dir.filePath("none.vfm")}).ExitCode, 1);
}

} // namespace
