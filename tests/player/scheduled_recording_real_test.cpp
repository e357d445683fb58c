// A scheduled recording for real: the scheduler on the wall clock starts an
// entry due in 2 s, records the local station without sound output for the
// entry's 5 s and ends the file, which holds the station's tone.
#include "audio/audio_test_util.h"
#include "audio/mp3_out.h"
#include "player/real_stream_fixture.h"
#include "schedule/station_recording.h"

#include <QDir>

namespace {

TEST_F(RealStreamTest, AScheduledEntryRecordsTheStationForItsLength)
{
  TStreamServer::TRoute r = Stream(Media("tone.mp3"), 16000);
  r.metaInterval = 8192;
  r.titles = {QString::fromUtf8("整点新闻")};
  server.Set("/live.mp3", r);
  QTemporaryDir dir;
  auto store = std::make_unique<TScheduleStore>(dir.filePath("schedule.json"));
  TScheduleEntry e;
  e.stationName = QString::fromUtf8("测试电台");
  e.stationUrl = server.Url("/live.mp3");
  e.at = QDateTime::currentDateTime().addSecs(2);
  e.at = e.at.addMSecs(-e.at.time().msec());  // kept to the second
  e.seconds = 5;
  e.folder = dir.filePath("recordings");
  QString error, id;
  ASSERT_TRUE(store->Add(e, &error, &id)) << error.toStdString();

  QStringList told;
  TScheduler::TServices s;
  s.makeRecording = [] {
    return std::make_unique<TStationRecording>([](TMP3Out* out, const QString& station, const QString& title) {
      out->SetId3TagArtist(station);
      out->SetId3TagTitle(title);
    });
  };
  s.notify = [&](const QString& title, const QString&) { told << title; };
  TScheduler scheduler(std::move(store), s);
  scheduler.Start();
  ASSERT_TRUE(PumpUntil([&] { return scheduler.RecordingNow(); }, 6000)) << told.join(",").toStdString();
  const QDateTime began = QDateTime::currentDateTime();
  const QString file = scheduler.RunningFile();
  EXPECT_LT(std::abs(e.at.msecsTo(began)), 500);
  ASSERT_TRUE(PumpUntil([&] { return !scheduler.Running(); }, 10000));
  EXPECT_EQ(told, (QStringList{QString::fromUtf8("预约录音开始"), QString::fromUtf8("预约录音完成")}));
  EXPECT_EQ(scheduler.Store().Find(id)->lastResult, TScheduleEntry::Done);
  EXPECT_EQ(scheduler.Store().Find(id)->lastFile, file);
  EXPECT_EQ(QFileInfo(file).fileName(), e.FileName(e.at));

  const TDecoded d = DecodeMp3(file);
  ASSERT_TRUE(d.ok);
  // From the first sound to the entry's end: its 5 s less the connection.
  EXPECT_GT(d.Seconds(), 4.5);
  EXPECT_LT(d.Seconds(), 5.1);
  const TToneContinuity tone = AnalyzeContinuity(d, 440);
  EXPECT_LT(tone.firstToneAt, 0.1);
  EXPECT_EQ(tone.gaps, 0);
  EXPECT_GT(tone.toneSeconds, d.Seconds() - 0.2);
  EXPECT_EQ(d.artist, "测试电台");
}

} // namespace
