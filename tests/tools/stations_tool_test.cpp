// velmora-tool stations against a fake directory on loopback, as a user runs it.
#include "support/fake_directory.h"
#include "support/qt_printers.h"
#include "support/run_tool.h"

#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class StationsToolTest : public ::testing::Test {
protected:
  struct Result {
    int ExitCode = -1;
    QStringList Lines;
    QString Err;
  };
  // Runs the tool while this process's event loop serves the fake directory.
  Result Run(const QStringList& args)
  {
    TToolOptions options;
    options.Adjust = [this](QProcessEnvironment& env) {
      env.insert("HOME", home.path());
      env.insert("XDG_CONFIG_HOME", home.filePath("config"));
      env.insert("XDG_DATA_HOME", home.filePath("data"));
      env.insert("XDG_CACHE_HOME", home.filePath("cache"));
      env.insert("VELMORA_DIRECTORY_URL", fake.BaseUrl().toString());
    };
    options.ServeEvents = true;
    const TToolRun r = RunVelmoraTool(QStringList{"stations"} + args, options);
    return {r.ExitCode, r.Out.split('\n', Qt::SkipEmptyParts), r.Err};
  }
  QTemporaryDir home;
  TFakeDirectory fake;
};

TEST_F(StationsToolTest, PrintsWhatThePageListsOnlineAndFromTheCache)
{
  fake.Fill(6);
  Result r = Run({"--limit", "3"});
  ASSERT_EQ(r.ExitCode, 0) << r.Err.toStdString();
  ASSERT_EQ(r.Lines.size(), 3) << "the directory's stations and nothing shipped";
  EXPECT_EQ(r.Lines[0], QStringLiteral("directory\t电台 0\tMP3\t128\thttp://127.0.0.1:9/s0.mp3"));
  EXPECT_EQ(fake.requests.back().Query.queryItemValue("limit"), "3");

  r = Run({"--search", QStringLiteral("电台 1")});
  EXPECT_EQ(r.Lines.filter(QRegularExpression("^directory\t")).size(), 1);

  fake.mode = TFakeDirectory::fmHttpError;
  r = Run({"--limit", "3"});
  EXPECT_EQ(r.ExitCode, 0);
  EXPECT_EQ(r.Lines.value(0), QStringLiteral("cache\t电台 0\tMP3\t128\thttp://127.0.0.1:9/s0.mp3"));
  EXPECT_TRUE(r.Err.contains("directory: cache")) << r.Err.toStdString();
  EXPECT_TRUE(r.Err.contains("HTTP 503"));

  EXPECT_EQ(Run({"--limit", "many"}).ExitCode, 2);
  EXPECT_EQ(Run({"--bogus"}).ExitCode, 2);
  r = Run({"--by", "colour", "--search", "red"});
  EXPECT_EQ(r.ExitCode, 2);
  EXPECT_TRUE(r.Err.contains("colour")) << r.Err.toStdString();
  EXPECT_TRUE(r.Lines.isEmpty());
  EXPECT_EQ(Run({"--by", "tag", "--search", "news"}).ExitCode, 0);
}

} // namespace
