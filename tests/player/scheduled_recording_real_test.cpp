// A scheduled recording for real: the scheduler on the wall clock connects to
// a slow local station (it answers after 2.5 s) ahead of an entry due in 5 s,
// records it without sound output from the start for the entry's 4 s, split
// by track, and ends the files: the first holds the station's tone from its
// start, the others are named after the titles, and together they are the
// entry's length. An entry right after another, on a slow station, is
// connected while the first records and its file begins at its start. A
// disk that fills mid-recording ends the entry early with the file so far
// playable, and the entry after it records.
#include "audio/audio_test_util.h"
#include "audio/mp3_out.h"
#include "player/real_stream_fixture.h"
#include "schedule/station_recording.h"
#include "support/scoped_process_state.h"

#include <QDir>
#include <cstring>
#include <optional>
#include <sys/mount.h>

namespace {

// A file system of `kb` kilobytes at `path` (a tmpfs), so that the disk
// really fills. Where mounting is not allowed (a container without the
// right), Mounted() is false and the test makes writes fail by a file-size
// limit instead, which the recorder reports as "文件太大".
class TSmallDisk {
public:
  TSmallDisk(const QString& path, int kb) : path_(QFile::encodeName(path))
  {
    QDir().mkpath(path);
    const QByteArray size = "size=" + QByteArray::number(kb) + "k";
    mounted_ = ::mount("tmpfs", path_.constData(), "tmpfs", MS_NOSUID | MS_NODEV, size.constData()) == 0;
  }
  ~TSmallDisk()
  {
    if (mounted_) ::umount2(path_.constData(), MNT_DETACH);
  }
  bool Mounted() const { return mounted_; }
  TSmallDisk(const TSmallDisk&) = delete;
  TSmallDisk& operator=(const TSmallDisk&) = delete;

private:
  QByteArray path_;
  bool mounted_ = false;
};

TEST_F(RealStreamTest, AScheduledEntryRecordsTheStationForItsLength)
{
  TStreamServer::TRoute r = Stream(Media("tone.mp3"), 16000);
  r.MetaInterval = 8192;
  const QStringList titles = {QString::fromUtf8("整点新闻"), QString::fromUtf8("天气预报")};
  r.Titles = titles;
  r.TitleMs = 1500;
  r.AnswerAfterMs = 2500;
  server.Set("/live.mp3", r);
  QTemporaryDir dir;
  auto store = std::make_unique<TScheduleStore>(dir.filePath("schedule.json"));
  TScheduleEntry e;
  e.StationName = QString::fromUtf8("测试电台");
  e.StationUrl = server.Url("/live.mp3");
  e.At = QDateTime::currentDateTime().addSecs(5);
  e.At = e.At.addMSecs(-e.At.time().msec());  // kept to the second
  e.Seconds = 4;
  e.SplitByTrack = true;
  e.Folder = dir.filePath("recordings");
  QString error, id;
  ASSERT_TRUE(store->Add(e, &error, &id)) << error.toStdString();

  QStringList told;
  TScheduler::TServices s;
  s.MakeRecording = [] {
    return std::make_unique<TStationRecording>([](TMP3Out* out, const QString& station, const QString& title) {
      out->SetId3TagArtist(station);
      out->SetId3TagTitle(title);
    });
  };
  s.Notify = [&](const QString& title, const QString&) { told << title; };
  TScheduler scheduler(std::move(store), s);
  scheduler.Start();
  ASSERT_TRUE(PumpUntil([&] { return scheduler.ReadyNow(); }, 5000)) << told.join(",").toStdString();
  EXPECT_LT(QDateTime::currentDateTime(), e.At);
  EXPECT_FALSE(QFileInfo::exists(scheduler.RunningFile()));
  ASSERT_TRUE(PumpUntil([&] { return scheduler.RecordingNow(); }, 6000)) << told.join(",").toStdString();
  const QDateTime began = QDateTime::currentDateTime();
  const QString file = scheduler.RunningFile();
  EXPECT_LT(std::abs(e.At.msecsTo(began)), 100);
  ASSERT_TRUE(PumpUntil([&] { return !scheduler.Running(); }, 10000));
  EXPECT_EQ(told, (QStringList{QString::fromUtf8("预约录音开始"), QString::fromUtf8("预约录音完成")}));
  EXPECT_EQ(scheduler.Store().Find(id)->LastResult, TScheduleEntry::Done);
  EXPECT_EQ(scheduler.Store().Find(id)->LastFile, file);
  EXPECT_EQ(QFileInfo(file).fileName(), e.FileName(e.At));

  const QFileInfoList parts = QDir(e.Folder).entryInfoList({"*.mp3"}, QDir::Files);
  ASSERT_GE(parts.size(), 2);
  double seconds = 0;
  for (const QFileInfo& part : parts) {
    const TDecoded p = DecodeMp3(part.filePath());
    ASSERT_TRUE(p.Ok) << part.fileName().toStdString();
    seconds += p.Seconds();
    if (part.filePath() == file) continue;
    EXPECT_TRUE(titles.contains(QString::fromStdString(p.Title)) && part.fileName().startsWith(QString::fromStdString(p.Title)))
        << part.fileName().toStdString() << " " << p.Title;
  }
  // Connected ahead: the files are the entry's length.
  std::cerr << "scheduled: " << parts.size() << " files, " << seconds << " s\n";
  EXPECT_NEAR(seconds, 4.0, 0.1);
  const TDecoded d = DecodeMp3(file);
  ASSERT_TRUE(d.Ok);
  const TToneContinuity tone = AnalyzeContinuity(d, 440);
  EXPECT_LT(tone.FirstToneAt, 0.1);
  EXPECT_EQ(tone.Gaps, 0);
  EXPECT_GT(tone.ToneSeconds, d.Seconds() - 0.1);
  EXPECT_EQ(d.Artist, "测试电台");
}

TEST_F(RealStreamTest, AnEntryRightAfterAnotherBeginsAtItsStartOnAnotherStation)
{
  server.Set("/first.mp3", Stream(Media("tone.mp3"), 16000));
  TStreamServer::TRoute slow = Stream(Media("tone.mp3"), 16000);
  slow.AnswerAfterMs = 2500;
  server.Set("/second.mp3", slow);
  QTemporaryDir dir;
  auto store = std::make_unique<TScheduleStore>(dir.filePath("schedule.json"));
  QDateTime at = QDateTime::currentDateTime().addSecs(3);
  at = at.addMSecs(-at.time().msec());
  std::vector<TScheduleEntry> entries;
  for (const QString name : {"first", "second"}) {
    TScheduleEntry e;
    e.StationName = name;
    e.StationUrl = server.Url("/" + name + ".mp3");
    e.At = at.addSecs(4 * qint64(entries.size()));
    e.Seconds = 4;
    e.Folder = dir.filePath("recordings");
    QString error;
    ASSERT_TRUE(store->Add(e, &error, &e.Id)) << error.toStdString();
    entries.push_back(e);
  }
  QStringList told;
  TScheduler::TServices s;
  s.MakeRecording = [] { return std::make_unique<TStationRecording>(nullptr); };
  s.Notify = [&](const QString& title, const QString&) { told << title; };
  TScheduler scheduler(std::move(store), s);
  QDateTime secondBegan;
  QObject::connect(&scheduler, &TScheduler::Changed, [&] {
    if (secondBegan.isNull() && scheduler.RecordingNow() && scheduler.RunningId() == entries[1].Id)
      secondBegan = QDateTime::currentDateTime();
  });
  scheduler.Start();
  ASSERT_TRUE(PumpUntil([&] { return !secondBegan.isNull(); }, 12000)) << told.join(",").toStdString();
  std::cerr << "second entry began " << entries[1].At.msecsTo(secondBegan) << " ms after its start\n";
  EXPECT_LT(std::abs(entries[1].At.msecsTo(secondBegan)), 100);
  ASSERT_TRUE(PumpUntil([&] { return !scheduler.Running(); }, 8000));
  EXPECT_EQ(told.count(QString::fromUtf8("预约录音完成")), 2) << told.join(",").toStdString();
  for (const TScheduleEntry& e : entries) {
    const TDecoded d = DecodeMp3(scheduler.Store().Find(e.Id)->LastFile);
    ASSERT_TRUE(d.Ok) << e.StationName.toStdString();
    std::cerr << e.StationName.toStdString() << ": " << d.Seconds() << " s\n";
    EXPECT_NEAR(d.Seconds(), 4.0, 0.1) << e.StationName.toStdString();
    const TToneContinuity tone = AnalyzeContinuity(d, 440);
    EXPECT_LT(tone.FirstToneAt, 0.1) << e.StationName.toStdString();
    EXPECT_EQ(tone.Gaps, 0) << e.StationName.toStdString();
  }
}

TEST_F(RealStreamTest, ADiskThatFillsEndsTheEntryEarlyWithItsFilePlayableAndTheNextOneRecords)
{
  server.Set("/live.mp3", Stream(Media("tone.mp3"), 16000));
  QTemporaryDir dir;
  // About 1.5 s of MP3 at 128 kbit/s fits.
  constexpr int kDiskKb = 24;
  TSmallDisk disk(dir.filePath("full"), kDiskKb);
  auto store = std::make_unique<TScheduleStore>(dir.filePath("schedule.json"));
  QDateTime at = QDateTime::currentDateTime().addSecs(3);
  at = at.addMSecs(-at.time().msec());
  std::vector<TScheduleEntry> entries;
  for (const QString name : {"full", "next"}) {
    TScheduleEntry e;
    e.StationName = name;
    e.StationUrl = server.Url("/live.mp3");
    e.At = at.addSecs(4 * qint64(entries.size()));
    e.Seconds = entries.empty() ? 4 : 2;
    e.Folder = dir.filePath(name);
    QString error;
    ASSERT_TRUE(store->Add(e, &error, &e.Id)) << error.toStdString();
    entries.push_back(e);
  }
  QStringList told;
  std::map<QString, std::weak_ptr<int>> awake;
  TScheduler::TServices s;
  s.MakeRecording = [] { return std::make_unique<TStationRecording>(nullptr); };
  s.Notify = [&](const QString& title, const QString& text) { told << title + u'|' + text; };
  s.KeepAwake = [&](const QString& why) {
    auto held = std::make_shared<int>(1);
    awake[why] = held;
    return std::shared_ptr<void>(held);
  };
  TScheduler scheduler(std::move(store), s);
  scheduler.Start();
  ASSERT_TRUE(PumpUntil([&] { return scheduler.RecordingNow(); }, 6000)) << told.join(",").toStdString();
  const QString file = scheduler.RunningFile();
  const auto result = [&](int i) { return scheduler.Store().Find(entries[size_t(i)].Id)->LastResult; };
  bool ended;
  {
    std::optional<TScopedFileSizeLimit> limit;
    if (!disk.Mounted()) limit.emplace(kDiskKb * 1024);
    ended = PumpUntil([&] { return result(0) != TScheduleEntry::Recording; }, 4000);
  }
  ASSERT_TRUE(ended) << told.join(",").toStdString();
  const TScheduleEntry first = *scheduler.Store().Find(entries[0].Id);
  EXPECT_EQ(first.LastResult, TScheduleEntry::EndedEarly);
  EXPECT_EQ(first.LastFile, file);
  const QString reason = disk.Mounted() ? QString::fromLocal8Bit(std::strerror(ENOSPC)) : QString::fromUtf8("文件太大");
  EXPECT_TRUE(first.LastMessage.contains(file) && first.LastMessage.contains(reason)) << first.LastMessage.toStdString();
  ASSERT_FALSE(told.isEmpty());
  EXPECT_TRUE(told.last().startsWith(QString::fromUtf8("预约录音提前结束|")) && told.last().contains(first.LastMessage))
      << told.last().toStdString();
  EXPECT_TRUE(awake[QString::fromUtf8("正在预约录音：full")].expired());
  EXPECT_LE(QFileInfo(file).size(), kDiskKb * 1024);
  const TDecoded d = DecodeMp3(file);
  ASSERT_TRUE(d.Ok);
  std::cerr << "disk full after " << d.Seconds() << " s (" << (disk.Mounted() ? "tmpfs" : "file-size limit") << ")\n";
  EXPECT_GT(d.Seconds(), 1.0);
  // Finished: its Info frame counts what it holds.
  EXPECT_NEAR(double(InfoFrameCount(file)) * 1152 / 44100, d.Seconds(), 0.1);
  EXPECT_EQ(AnalyzeContinuity(d, 440).Gaps, 0);

  // The entry after it begins at its start in a folder with room.
  ASSERT_TRUE(PumpUntil([&] { return result(1) == TScheduleEntry::Done; }, 8000)) << told.join(",").toStdString();
  EXPECT_FALSE(scheduler.Running());
  const TDecoded next = DecodeMp3(scheduler.Store().Find(entries[1].Id)->LastFile);
  ASSERT_TRUE(next.Ok);
  EXPECT_NEAR(next.Seconds(), 2.0, 0.1);
}

} // namespace
