// velmora-tool files on a temporary folder: what the file list would show.
#include "support/qt_printers.h"
#include "support/run_tool.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

TEST(FilesTool, ListsTheFolderAsTheFileListShowsItAndSaysWhenItCannot)
{
  QTemporaryDir dir;
  QDir().mkpath(dir.filePath("Takes"));
  for (const char* name : {"b.MP3", "a.mp3", "c.wav", ".hidden.mp3"}) {
    QFile f(dir.filePath(name));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(2048, 'x'));
  }
  ASSERT_EQ(::mkfifo(QFile::encodeName(dir.filePath("pipe.mp3")).constData(), 0600), 0);
  const auto run = [](const QStringList& args) {
    const TToolRun r = RunVelmoraTool(args);
    // The summary is the last line on stderr; Qt may say more before it.
    return std::make_pair(r.ExitCode, r.Out + r.Err.trimmed().split('\n').last());
  };
  auto [code, text] = run({"files", "--mask", "*.mp3", dir.path()});
  EXPECT_EQ(code, 0) << text.toStdString();
  QStringList lines = text.split('\n', Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), 4) << text.toStdString();
  EXPECT_TRUE(lines[0].startsWith("folder\tTakes\t\t")) << lines[0].toStdString();
  EXPECT_TRUE(lines[1].startsWith("file\ta.mp3\t2 KB\t")) << lines[1].toStdString();
  EXPECT_TRUE(lines[2].startsWith("file\tb.MP3\t2 KB\t")) << lines[2].toStdString();
  EXPECT_EQ(lines[3], dir.path() + ": 3 items");

  std::tie(code, text) = run({"files", "--hidden", "--mask", "*.mp3", dir.path()});
  EXPECT_TRUE(text.contains("file\t.hidden.mp3\t")) << text.toStdString();

  std::tie(code, text) = run({"files", dir.filePath("missing")});
  EXPECT_EQ(code, 1);
  EXPECT_TRUE(text.contains("Error setting path")) << text.toStdString();
  std::tie(code, text) = run({"files", "--sideways"});
  EXPECT_EQ(code, 2);
}

} // namespace
