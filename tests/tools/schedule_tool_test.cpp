// velmora-tool schedule on the program's schedule file, as a user runs it.
#include "schedule/schedule_store.h"
#include "support/run_tool.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class ScheduleToolTest : public ::testing::Test {
protected:
  TToolRun Run(const QStringList& args)
  {
    TToolOptions options;
    options.Adjust = [this](QProcessEnvironment& env) {
      env.insert("HOME", home.path());
      env.insert("XDG_DATA_HOME", home.filePath("data"));
    };
    return RunVelmoraTool(QStringList{"schedule"} + args, options);
  }
  QString File() const { return home.filePath("data/Velmora/schedule.json"); }
  QTemporaryDir home;
};

TEST_F(ScheduleToolTest, AddsListsAndRemovesEntriesInTheProgramsFile)
{
  const QString at = QDateTime::currentDateTime().addDays(1).toString("yyyy-MM-dd HH:mm");
  TToolRun r = Run({"add", "--url", "http://127.0.0.1:9/news.mp3", "--name", QString::fromUtf8("新闻台"), "--at", at,
                  "--minutes", "30", "--folder", home.filePath("rec"), "--bitrate", "192", "--split"});
  ASSERT_EQ(r.ExitCode, 0) << r.Err.toStdString();
  EXPECT_EQ(r.Out, QString::fromUtf8("已添加预约 1：新闻台 %1，30 分钟\n").arg(at));
  // Half a day away from the first, so the two never meet.
  const QString time = QDateTime::currentDateTime().addSecs(12 * 3600).toString("HH:mm");
  r = Run({"add", "--url", "http://127.0.0.1:9/music.mp3", "--weekly", "1,3,5", "--time", time, "--seconds", "90"});
  ASSERT_EQ(r.ExitCode, 0) << r.Err.toStdString();
  // The same time as the first: refused in words, the file unchanged.
  r = Run({"add", "--url", "http://127.0.0.1:9/other.mp3", "--at", at, "--minutes", "5"});
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_TRUE(r.Err.contains(QString::fromUtf8("时间重叠"))) << r.Err.toStdString();
  r = Run({"add", "--url", "http://127.0.0.1:9/x.mp3", "--weekly", "8", "--time", "07:00"});
  EXPECT_EQ(r.ExitCode, 2);
  EXPECT_TRUE(r.Err.contains("usage:"));

  r = Run({"list"});
  ASSERT_EQ(r.ExitCode, 0) << r.Err.toStdString();
  const QStringList lines = r.Out.split('\n', Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), 2) << r.Out.toStdString();
  EXPECT_TRUE(lines[0].startsWith(QString::fromUtf8("1\t启用\t%1，30 分钟\t新闻台\thttp://127.0.0.1:9/news.mp3\t").arg(at)))
      << lines[0].toStdString();
  EXPECT_TRUE(lines[0].contains(QString::fromUtf8("192 kbps\t按曲目分段"))) << lines[0].toStdString();
  EXPECT_FALSE(lines[1].contains(QString::fromUtf8("按曲目分段")));
  EXPECT_TRUE(lines[1].startsWith(QString::fromUtf8("2\t启用\t每周一、三、五 %1，90 秒\t127.0.0.1\t").arg(time))) << lines[1].toStdString();
  // The program reads what the tool wrote.
  TScheduleStore store(File());
  ASSERT_EQ(store.Entries().size(), 2u);
  EXPECT_EQ(store.Find("1")->Folder, home.filePath("rec"));
  EXPECT_EQ(store.Find("2")->Seconds, 90);
  EXPECT_TRUE(store.Find("1")->SplitByTrack);

  EXPECT_EQ(Run({"disable", "2"}).ExitCode, 0);
  EXPECT_TRUE(Run({"list"}).Out.contains(QString::fromUtf8("2\t停用")));
  EXPECT_EQ(Run({"remove", "1"}).ExitCode, 0);
  r = Run({"remove", "1"});
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_TRUE(r.Err.contains(QString::fromUtf8("没有编号为 1 的预约")));
  EXPECT_EQ(Run({"list"}).Out.split('\n', Qt::SkipEmptyParts).size(), 1);

  // A broken file is said and left alone.
  QFile f(File());
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write("{ broken");
  f.close();
  r = Run({"list"});
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_TRUE(r.Err.contains(QString::fromUtf8("无法读取")));
  EXPECT_EQ(Run({"remove", "2"}).ExitCode, 1);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_EQ(f.readAll(), QByteArray("{ broken"));
}

} // namespace
