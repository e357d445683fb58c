// The schedule file: what is saved comes back, files the program cannot use
// are kept byte for byte and said in Chinese, and overlapping entries are
// refused.
#include "schedule/schedule_store.h"
#include "support/hostile_files.h"
#include "support/scoped_process_state.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <ctime>
#include <gtest/gtest.h>

namespace {

const QDateTime kNow(QDate(2026, 12, 7), QTime(9, 0));  // a Monday

TScheduleEntry Weekly(std::vector<int> days, QTime time, int seconds, QString name = QString::fromUtf8("甲台"))
{
  TScheduleEntry e;
  e.StationName = name;
  e.StationUrl = "http://127.0.0.1:9/live.mp3";
  e.Repeat = TScheduleEntry::Weekly;
  e.Days = std::move(days);
  e.Time = time;
  e.Seconds = seconds;
  e.Folder = "/tmp";
  return e;
}

TScheduleEntry Once(QDateTime at, int seconds, QString name = QString::fromUtf8("乙台"))
{
  TScheduleEntry e = Weekly({}, {}, seconds, std::move(name));
  e.Repeat = TScheduleEntry::Once;
  e.At = at;
  return e;
}

class ScheduleStoreTest : public ::testing::Test {
protected:
  QString File() const { return dir.filePath("Velmora/schedule.json"); }
  std::unique_ptr<TScheduleStore> Open()
  {
    auto s = std::make_unique<TScheduleStore>(File());
    s->Now = [] { return kNow; };
    return s;
  }
  void Write(const QByteArray& bytes)
  {
    QDir().mkpath(QFileInfo(File()).absolutePath());
    QFile f(File());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
  }
  QByteArray Read() const
  {
    QFile f(File());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }
  QTemporaryDir dir;
};

TEST_F(ScheduleStoreTest, EntriesComeBackAsSavedWithTheirFileNames)
{
  auto store = Open();
  TScheduleEntry w = Weekly({5, 1, 3}, QTime(8, 0), 1800);
  w.PlayAloud = true;
  w.SplitByTrack = true;
  w.Bitrate = 192;
  w.NamePattern = "{station}/{date:yyyyMMdd}";
  QString error, id1, id2;
  ASSERT_TRUE(store->Add(w, &error, &id1)) << error.toStdString();
  ASSERT_TRUE(store->Add(Once(kNow.addDays(2), 90), &error, &id2)) << error.toStdString();
  ASSERT_TRUE(store->SetEnabled(id2, false, &error)) << error.toStdString();

  auto again = Open();
  ASSERT_EQ(again->Problem(), QString());
  ASSERT_EQ(again->Entries().size(), 2u);
  const TScheduleEntry& a = *again->Find(id1);
  EXPECT_EQ(a.Repeat, TScheduleEntry::Weekly);
  EXPECT_EQ(a.Days, (std::vector<int>{1, 3, 5}));
  EXPECT_EQ(a.Time, QTime(8, 0));
  EXPECT_EQ(a.Seconds, 1800);
  EXPECT_TRUE(a.PlayAloud);
  EXPECT_TRUE(a.SplitByTrack);
  EXPECT_EQ(a.Bitrate, 192);
  EXPECT_EQ(a.HandledUntil, kNow);
  EXPECT_EQ(a.WhenText(), QString::fromUtf8("每周一、三、五 08:00，30 分钟"));
  // A slash in the pattern's text or the station's name makes no folder.
  EXPECT_EQ(a.FileName(QDateTime(QDate(2026, 12, 9), QTime(8, 0))), QString::fromUtf8("甲台_20261209.mp3"));
  const TScheduleEntry& b = *again->Find(id2);
  EXPECT_EQ(b.At, kNow.addDays(2));
  EXPECT_FALSE(b.Enabled);
  EXPECT_FALSE(b.SplitByTrack);
  EXPECT_EQ(b.FileName(b.At), QString::fromUtf8("乙台 2026-12-09 0900.mp3"));
  EXPECT_EQ(a.NextStart(kNow), QDateTime(QDate(2026, 12, 9), QTime(8, 0)));
  EXPECT_EQ(a.LatestStart(kNow), QDateTime(QDate(2026, 12, 7), QTime(8, 0)));

  ASSERT_TRUE(again->Remove(id1, &error));
  EXPECT_FALSE(again->Remove(id1, &error));
  EXPECT_EQ(error, QString::fromUtf8("没有编号为 %1 的预约").arg(id1));
  EXPECT_EQ(Open()->Entries().size(), 1u);
  // A start in the past and an incomplete entry are refused.
  EXPECT_FALSE(again->Add(Once(kNow.addSecs(-60), 60), &error, nullptr));
  EXPECT_TRUE(error.contains(QString::fromUtf8("已经过去")));
  TScheduleEntry noUrl = Once(kNow.addDays(1), 60);
  noUrl.StationUrl = "ftp://x/y";
  EXPECT_FALSE(again->Add(noUrl, &error, nullptr));
  EXPECT_TRUE(error.contains(QString::fromUtf8("不是电台的网址")));

  // A file from before entries could be split reads them as not split.
  Write(R"({"version": 1, "entries": [ {"id": "7", "station": "x", "url": "http://127.0.0.1:9/a",
           "seconds": 60, "folder": "/tmp", "at": "2026-12-09T09:00:00"} ]})");
  auto old = Open();
  ASSERT_EQ(old->Problem(), QString());
  ASSERT_TRUE(old->Find("7"));
  EXPECT_FALSE(old->Find("7")->SplitByTrack);
}

TEST_F(ScheduleStoreTest, FilesItCannotUseAreKeptAndReported)
{
  const QByteArray newer = R"({"version": 9, "entries": [], "future": true})";
  const QByteArray broken = R"({"version": 1, "entries": [ {"id": "1", "station": )";
  const QByteArray unknownEntry = R"({"version": 1, "entries": [ {"id": "1", "station": "x"} ]})";
  for (const QByteArray& bytes : {newer, broken, unknownEntry}) {
    Write(bytes);
    auto store = Open();
    EXPECT_FALSE(store->Problem().isEmpty());
    EXPECT_TRUE(store->Problem().contains(QString::fromUtf8("无法读取"))) << store->Problem().toStdString();
    QString error;
    EXPECT_FALSE(store->Add(Once(kNow.addDays(1), 60), &error, nullptr));
    EXPECT_EQ(error, store->Problem());
    EXPECT_FALSE(store->Change("1", [](TScheduleEntry& e) { e.Enabled = false; }, &error));
    EXPECT_EQ(Read(), bytes);
    EXPECT_EQ(store->Problem().contains(QString::fromUtf8("更新版本")), bytes == newer);
  }

  // A FIFO is refused without blocking, and stays.
  QFile::remove(File());
  ASSERT_TRUE(MakeFifo(File()));
  auto fifo = Open();
  EXPECT_FALSE(fifo->Problem().isEmpty());
  EXPECT_TRUE(QFileInfo(File()).exists());

  // A folder that cannot be made: the change is refused in words, nothing kept half.
  QFile::remove(File());
  TScheduleStore blocked(dir.filePath("blocker/schedule.json"));
  blocked.Now = [] { return kNow; };
  Write("");
  ASSERT_TRUE(QFile::copy(File(), dir.filePath("blocker")));  // a file where the folder should be
  QString error;
  EXPECT_FALSE(blocked.Add(Once(kNow.addDays(1), 60), &error, nullptr));
  EXPECT_TRUE(error.startsWith(QString::fromUtf8("无法保存预约录音"))) << error.toStdString();
  EXPECT_TRUE(blocked.Entries().empty());
}

TEST_F(ScheduleStoreTest, OverlappingEntriesAreRefused)
{
  auto store = Open();
  QString error, late, sundayId;
  ASSERT_TRUE(store->Add(Weekly({7}, QTime(23, 30), 3600), &error, &sundayId)) << error.toStdString();
  // Round the week's end: Monday 00:15 is inside Sunday 23:30 + 1 h.
  EXPECT_FALSE(store->Add(Weekly({1}, QTime(0, 15), 600, "丙台"), &error, nullptr));
  EXPECT_TRUE(error.contains(QString::fromUtf8("时间重叠"))) << error.toStdString();
  EXPECT_TRUE(error.contains(QString::fromUtf8("甲台")));
  // Right after it ends is fine.
  EXPECT_TRUE(store->Add(Weekly({1}, QTime(0, 30), 600, "丙台"), &error, nullptr)) << error.toStdString();
  // A single one on a Sunday evening within it.
  const QDateTime sunday(QDate(2026, 12, 13), QTime(23, 0));
  EXPECT_FALSE(store->Add(Once(sunday, 3600), &error, nullptr));
  EXPECT_TRUE(store->Add(Once(sunday, 1800), &error, &late)) << error.toStdString();
  EXPECT_FALSE(store->Add(Once(sunday.addSecs(600), 60), &error, nullptr));
  // Turned off, an entry is no obstacle, and it cannot come back on over another.
  ASSERT_TRUE(store->SetEnabled(late, false, &error));
  QString other;
  ASSERT_TRUE(store->Add(Once(sunday.addSecs(600), 60), &error, &other)) << error.toStdString();
  EXPECT_FALSE(store->SetEnabled(late, true, &error));
  EXPECT_TRUE(error.contains(QString::fromUtf8("时间重叠")));
  EXPECT_FALSE(Open()->Find(late)->Enabled);

  // Changed in place: an entry never overlaps itself; one that would overlap
  // another, or start in the past, is refused and the file stays as it was.
  EXPECT_TRUE(store->Change(sundayId, [](TScheduleEntry& e) { e.Seconds = 3000; }, &error)) << error.toStdString();
  const QByteArray before = Read();
  EXPECT_FALSE(store->Change(sundayId, [](TScheduleEntry& e) { e.Days = {1}; e.Time = QTime(0, 20); }, &error));
  EXPECT_TRUE(error.contains(QString::fromUtf8("丙台"))) << error.toStdString();
  EXPECT_FALSE(store->Change(other, [](TScheduleEntry& e) { e.At = kNow.addSecs(-60); }, &error));
  EXPECT_TRUE(error.contains(QString::fromUtf8("已经过去")));
  EXPECT_EQ(Read(), before);
  EXPECT_EQ(Open()->Find(sundayId)->Seconds, 3000);
}

// The hour lost when summer time begins: an entry set inside it still records
// that day (the clock never shows its time), that long after midnight.
TEST(ScheduleTimes, AStartTheClockSkipsIsTakenThatLongAfterMidnight)
{
  struct Berlin {
    TScopedEnv tz{"TZ", "Europe/Berlin"};
    Berlin() { tzset(); }
    ~Berlin() { tzset(); }
  } berlin;
  ASSERT_FALSE(QDateTime(QDate(2026, 3, 29), QTime(2, 30)).isValid()) << "02:30 is skipped there that night";
  TScheduleEntry weekly;
  weekly.Repeat = TScheduleEntry::Weekly;
  weekly.Days = {7};
  weekly.Time = QTime(2, 30);
  weekly.Seconds = 600;
  const std::optional<QDateTime> next = weekly.NextStart(QDateTime(QDate(2026, 3, 28), QTime(12, 0)));
  ASSERT_TRUE(next && next->isValid());
  EXPECT_EQ(next->toUTC(), QDateTime(QDate(2026, 3, 29), QTime(1, 30), Qt::UTC));
  EXPECT_EQ(weekly.LatestStart(next->addSecs(1)), next);
  EXPECT_EQ(ParseLocalMoment(QStringLiteral("2026-03-29 02:30")), *next);
  EXPECT_EQ(ParseLocalMoment(QStringLiteral("2026-03-30 02:30")), QDateTime(QDate(2026, 3, 30), QTime(2, 30)));
  EXPECT_FALSE(ParseLocalMoment(QStringLiteral("2026-03-29")).isValid());
}

} // namespace
