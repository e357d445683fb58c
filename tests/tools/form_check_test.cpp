// velmora-tool form check, run as a user would run it.
#include "support/qt_printers.h"
#include "support/run_tool.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QString WriteFile(const QTemporaryDir& dir, const QString& name, const QByteArray& text)
{
  const QString path = dir.filePath(name);
  QFile f(path);
  f.open(QIODevice::WriteOnly);
  f.write(text);
  return path;
}

TEST(FormCheckTool, PrintsOkAndCountOrFileLineMessage)
{
  QTemporaryDir dir;
  const QString good = WriteFile(dir, "good.vfm",
                                 "object Owner1: TComponent\n  object Child1: TComponent\n    Tag = 3\n  end\n"
                                 "  object Child2: TComponent\n  end\nend\n");
  const QString bad = WriteFile(dir, "bad.vfm", "object Owner1: TComponent\n  Tag = 'three'\nend\n");

  TToolRun ok = RunVelmoraTool({"form", "check", good});
  EXPECT_EQ(ok.ExitCode, 0);
  EXPECT_EQ(ok.Out, good + ": ok, 3 components\n");

  TToolRun both = RunVelmoraTool({"form", "check", good, bad});
  EXPECT_EQ(both.ExitCode, 1);
  EXPECT_TRUE(both.Out.contains(good + ": ok"));
  EXPECT_EQ(both.Err, bad + ":2: property Tag expects an integer, not a string\n");

  TToolRun missing = RunVelmoraTool({"form", "check", dir.filePath("none.vfm")});
  EXPECT_EQ(missing.ExitCode, 1);
  EXPECT_TRUE(missing.Err.startsWith(dir.filePath("none.vfm") + ":0: cannot open")) << missing.Err.toStdString();

  EXPECT_EQ(RunVelmoraTool({"form", "check"}).ExitCode, 2);
  EXPECT_EQ(RunVelmoraTool({"nonsense"}).ExitCode, 2);
}

} // namespace
