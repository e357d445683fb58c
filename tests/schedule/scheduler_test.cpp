// The scheduler on a clock the test moves: entries start and end on time,
// starts it did not see are reported and never recorded late, the wall clock
// jumping either way neither repeats nor stretches a recording, a station
// that cannot be reached is tried during the first minute, and a recording
// cut off by the program's end is finished and marked, an entry that
// follows another is ready before the first ends and begins at its start, and
// a folder gone by the start is made again or fails the entry in words.
#include "schedule/scheduler.h"
#include "support/qt_printers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QDateTime kT0(QDate(2026, 12, 7), QTime(9, 0));  // a Monday

struct TLog {
  int Made = 0, Finished = 0;
  bool Reachable = true;
  QStringList Files;
  const qint64* Steady = nullptr;
  qint64 RecordAt = -1;  // the steady clock when the file began
  QStringList Order;     // "record NAME" and "finish NAME" as they came
};

// Says at once whether the station answered; writes a few bytes as its
// "recording" once asked to record.
class TFakeRecording : public TScheduleRecording {
public:
  explicit TFakeRecording(TLog& log) : log_(log) { ++log_.Made; }
  void Prepare(const TScheduleEntry&, const QString& file) override
  {
    file_ = file;
    if (!log_.Reachable) {
      emit Unreachable(QString::fromUtf8("连接被拒绝"));
      return;
    }
    emit Ready();
  }
  void Record() override
  {
    QFile f(file_);
    if (f.open(QIODevice::WriteOnly)) f.write("ID3");
    log_.Files << file_;
    log_.RecordAt = *log_.Steady;
    log_.Order << "record " + QFileInfo(file_).fileName();
    emit Recording();
  }
  void Finish() override
  {
    ++log_.Finished;
    log_.Order << "finish " + QFileInfo(file_).fileName();
  }

private:
  TLog& log_;
  QString file_;
};

class SchedulerTest : public ::testing::Test {
protected:
  void SetUp() override { store = std::make_unique<TScheduleStore>(dir.filePath("schedule.json")); }
  // A recording still running is finished while what it tells is still there.
  void TearDown() override { scheduler.reset(); }

  // Adds an entry at the current clock; its id.
  QString Add(TScheduleEntry e)
  {
    TScheduleStore& target = scheduler ? scheduler->Store() : *store;
    target.Now = [this] { return now; };
    e.StationName = QString::fromUtf8("测试台");
    e.StationUrl = "http://127.0.0.1:9/live.mp3";
    e.Folder = dir.filePath("rec");
    QString error, id;
    EXPECT_TRUE(target.Add(e, &error, &id)) << error.toStdString();
    return id;
  }
  QString AddOnce(QDateTime at, int seconds)
  {
    TScheduleEntry e;
    e.At = at;
    e.Seconds = seconds;
    return Add(e);
  }
  void Make()
  {
    log.Steady = &steady;
    TScheduler::TServices s;
    s.Now = [this] { return now; };
    s.SteadyMs = [this] { return steady; };
    s.MakeRecording = [this] { return std::make_unique<TFakeRecording>(log); };
    s.Notify = [this](const QString& title, const QString& text) { told << title + u'|' + text; };
    s.KeepAwake = [this](const QString&) {
      ++awakeAsked;
      return std::shared_ptr<void>(awake = std::make_shared<int>(1));
    };
    scheduler = std::make_unique<TScheduler>(std::move(store), s);
  }
  // Both clocks on by `ms`, then a tick.
  void Pass(qint64 ms)
  {
    now = now.addMSecs(ms);
    steady += ms;
    scheduler->Tick();
  }
  TScheduleEntry::TResult Result(const QString& id)
  {
    TScheduleStore fresh(dir.filePath("schedule.json"));
    return fresh.Find(id) ? fresh.Find(id)->LastResult : TScheduleEntry::None;
  }
  QStringList ToldTitles() const
  {
    QStringList t;
    for (const QString& s : told) t << s.section(u'|', 0, 0);
    return t;
  }

  QTemporaryDir dir;
  std::unique_ptr<TScheduleStore> store;
  std::unique_ptr<TScheduler> scheduler;
  QDateTime now = kT0;
  qint64 steady = 1000000;
  TLog log;
  QStringList told;
  int awakeAsked = 0;
  std::weak_ptr<int> awake;
};

TEST_F(SchedulerTest, ADueEntryRecordsForItsLengthAndTheWallClockJumpingChangesNothing)
{
  const QString id = AddOnce(kT0.addSecs(60), 120);
  Make();
  scheduler->Start();
  Pass(49000);
  EXPECT_EQ(log.Made, 0);
  // Ten seconds ahead the station is connected, nothing written or noted.
  Pass(1000);
  EXPECT_EQ(log.Made, 1);
  EXPECT_TRUE(scheduler->ReadyNow());
  Pass(9000);
  EXPECT_TRUE(log.Files.isEmpty());
  EXPECT_EQ(Result(id), TScheduleEntry::None);
  Pass(1500);
  ASSERT_TRUE(scheduler->RecordingNow());
  EXPECT_EQ(log.Made, 1);
  EXPECT_EQ(Result(id), TScheduleEntry::Recording);
  EXPECT_EQ(awakeAsked, 1);
  EXPECT_FALSE(awake.expired());
  ASSERT_EQ(log.Files.size(), 1);
  EXPECT_EQ(log.Files[0], QDir(dir.filePath("rec")).filePath(QString::fromUtf8("测试台 2026-12-07 0901.mp3")));
  EXPECT_EQ(ToldTitles(), QStringList{QString::fromUtf8("预约录音开始")});
  // The wall clock goes back an hour (a time zone) and forward again: the
  // recording runs by the steady clock, to its length from the start.
  now = now.addSecs(-3600);
  steady += 60000;
  scheduler->Tick();
  now = now.addSecs(3600 + 60);
  steady += 58000;
  scheduler->Tick();
  EXPECT_TRUE(scheduler->RecordingNow());
  Pass(1600);
  EXPECT_FALSE(scheduler->Running());
  EXPECT_EQ(log.Finished, 1);
  EXPECT_TRUE(awake.expired());
  EXPECT_EQ(Result(id), TScheduleEntry::Done);
  EXPECT_EQ(ToldTitles().last(), QString::fromUtf8("预约录音完成"));
  // Back before the start again: nothing is recorded twice.
  now = kT0;
  scheduler->Tick();
  Pass(61000);
  EXPECT_EQ(log.Made, 1);
  EXPECT_EQ(told.size(), 2);
}

TEST_F(SchedulerTest, StartsNotSeenAreReportedNeverRecordedLate)
{
  // The program was not running at 09:01; it starts at 09:05.
  const QString missed = AddOnce(kT0.addSecs(60), 600);
  TScheduleEntry weekly;
  weekly.Repeat = TScheduleEntry::Weekly;
  weekly.Days = {1, 2};
  weekly.Time = QTime(10, 0);
  weekly.Seconds = 300;
  const QString everyWeek = Add(weekly);
  now = kT0.addSecs(300);
  Make();
  scheduler->Start();
  EXPECT_EQ(log.Made, 0);
  ASSERT_EQ(told.size(), 1);
  EXPECT_TRUE(told[0].startsWith(QString::fromUtf8("错过了预约录音|测试台 在 2026-12-07 09:01 的预约录音没有录上")))
      << told[0].toStdString();
  EXPECT_EQ(Result(missed), TScheduleEntry::Missed);
  Pass(1000);
  EXPECT_EQ(told.size(), 1);
  // The clock jumps past Monday's 10:00 (asleep): reported, not recorded.
  Pass(3600 * 1000);
  EXPECT_EQ(log.Made, 0);
  EXPECT_EQ(Result(everyWeek), TScheduleEntry::Missed);
  // Tuesday's comes a few seconds late (a busy tick): recorded, to 10:05.
  now = QDateTime(kT0.date().addDays(1), QTime(10, 0, 4));
  scheduler->Tick();
  ASSERT_TRUE(scheduler->RecordingNow());
  Pass(295000);
  EXPECT_TRUE(scheduler->RecordingNow());
  Pass(1000);
  EXPECT_FALSE(scheduler->Running());
  EXPECT_EQ(Result(everyWeek), TScheduleEntry::Done);
}

TEST_F(SchedulerTest, AStationThatCannotBeReachedIsTriedForAMinuteThenReported)
{
  const QString id = AddOnce(kT0.addSecs(10), 600);
  log.Reachable = false;
  Make();
  scheduler->Start();
  // Tried ahead of the start, and again at it.
  EXPECT_EQ(log.Made, 1);
  Pass(10000);
  EXPECT_EQ(log.Made, 2);
  EXPECT_TRUE(scheduler->Running());
  for (int i = 0; i < 30; ++i) Pass(2000);
  EXPECT_GE(log.Made, 10);
  EXPECT_LE(log.Made, 13);
  EXPECT_FALSE(scheduler->Running());
  EXPECT_TRUE(awake.expired());
  EXPECT_EQ(Result(id), TScheduleEntry::Failed);
  ASSERT_FALSE(told.isEmpty());
  EXPECT_EQ(told.last(), QString::fromUtf8("预约录音失败|测试台 在 2026-12-07 09:00 的预约录音没有录上：连接被拒绝"));
  EXPECT_TRUE(QDir(dir.filePath("rec")).isEmpty());

  // It answers on the second try: recorded, to the entry's end.
  log = TLog{};
  log.Steady = &steady;
  log.Reachable = false;
  const QString second = AddOnce(kT0.addSecs(700), 60);
  now = kT0.addSecs(699);
  Pass(1000);
  EXPECT_EQ(log.Made, 1);
  log.Reachable = true;
  Pass(5000);
  EXPECT_TRUE(scheduler->RecordingNow());
  Pass(54000);
  EXPECT_TRUE(scheduler->RecordingNow());
  Pass(1000);
  EXPECT_FALSE(scheduler->Running());
  EXPECT_EQ(Result(second), TScheduleEntry::Done);
}

TEST_F(SchedulerTest, TheStationIsReadyAheadAndTheFileBeginsAtTheStartItself)
{
  // A tick lands on the start: the file begins then, not a tick later.
  const QString id = AddOnce(kT0.addSecs(30), 60);
  Make();
  scheduler->Start();
  Pass(20000);
  ASSERT_TRUE(scheduler->ReadyNow());
  now = kT0.addSecs(30);
  steady += 10000;
  const qint64 startSteady = steady;
  scheduler->Tick();
  EXPECT_EQ(log.RecordAt, startSteady);
  Pass(59999);
  EXPECT_TRUE(scheduler->RecordingNow());
  Pass(1);
  EXPECT_EQ(Result(id), TScheduleEntry::Done);

  // Turned off while it waits for its start: dropped without a word.
  const QString off = AddOnce(kT0.addSecs(600), 60);
  now = kT0.addSecs(595);
  Pass(0);
  ASSERT_TRUE(scheduler->ReadyNow());
  QString error;
  ASSERT_TRUE(scheduler->Store().SetEnabled(off, false, &error)) << error.toStdString();
  const int toldBefore = int(told.size());
  Pass(1000);
  EXPECT_FALSE(scheduler->Running());
  EXPECT_EQ(log.Finished, 2);
  Pass(10000);
  EXPECT_EQ(log.Made, 2);
  EXPECT_EQ(Result(off), TScheduleEntry::None);
  EXPECT_EQ(int(told.size()), toldBefore);

  // Not reachable ahead of the start: tried again, the entry not failed before
  // the minute from its start is over; it answers at the start.
  const QString late = AddOnce(kT0.addSecs(1200), 60);
  log.Reachable = false;
  now = kT0.addSecs(1190);
  Pass(0);
  EXPECT_EQ(log.Made, 3);
  EXPECT_TRUE(scheduler->Running());
  Pass(5000);
  EXPECT_EQ(log.Made, 4);
  EXPECT_EQ(Result(late), TScheduleEntry::None);
  log.Reachable = true;
  Pass(5000);
  EXPECT_EQ(log.Made, 5);
  EXPECT_TRUE(scheduler->RecordingNow());
  EXPECT_EQ(log.RecordAt, steady);
}

TEST_F(SchedulerTest, AnEntryRightAfterAnotherIsReadyBeforeItAndBeginsAtItsStart)
{
  const QString first = AddOnce(kT0.addSecs(10), 60);
  const QString second = AddOnce(kT0.addSecs(70), 60);
  Make();
  scheduler->Start();
  Pass(10000);
  ASSERT_TRUE(scheduler->RecordingNow());
  Pass(49000);
  EXPECT_EQ(log.Made, 1);
  // Ten seconds before the boundary the second connects while the first records.
  Pass(1000);
  EXPECT_EQ(log.Made, 2);
  EXPECT_TRUE(scheduler->ReadyNow());
  EXPECT_EQ(scheduler->RunningId(), first);
  // The steady clock runs a little behind the wall's: the boundary is the
  // second's start, and the first ends there rather than a second later.
  now = kT0.addSecs(70);
  steady += 9200;
  scheduler->Tick();
  EXPECT_EQ(Result(first), TScheduleEntry::Done);
  EXPECT_EQ(scheduler->RunningId(), second);
  EXPECT_TRUE(scheduler->RecordingNow());
  EXPECT_EQ(log.RecordAt, steady);
  EXPECT_EQ(log.Order, (QStringList{"record 测试台 2026-12-07 0900.mp3", "finish 测试台 2026-12-07 0900.mp3",
                                    "record 测试台 2026-12-07 0901.mp3"}));
  EXPECT_EQ(ToldTitles(), (QStringList{QString::fromUtf8("预约录音开始"), QString::fromUtf8("预约录音完成"),
                                       QString::fromUtf8("预约录音开始")}));
  // The second's length counts from its own start.
  Pass(59999);
  EXPECT_TRUE(scheduler->RecordingNow());
  Pass(1);
  EXPECT_EQ(Result(second), TScheduleEntry::Done);
  EXPECT_FALSE(scheduler->Running());
  EXPECT_TRUE(awake.expired());
}

TEST_F(SchedulerTest, AFolderGoneByTheStartIsMadeAgainOrTheEntryFailsSayingWhy)
{
  const QString again = AddOnce(kT0.addSecs(10), 60);
  const QString blocked = AddOnce(kT0.addSecs(100), 60);
  const QString after = AddOnce(kT0.addSecs(200), 60);
  const QString folder = dir.filePath("rec");
  Make();
  scheduler->Start();
  ASSERT_TRUE(scheduler->ReadyNow());
  // Removed while the station was connected: made again at the start.
  ASSERT_TRUE(QDir(folder).removeRecursively());
  Pass(10000);
  ASSERT_TRUE(scheduler->RecordingNow());
  EXPECT_EQ(QFileInfo(log.Files.last()).absolutePath(), folder);
  EXPECT_GT(QFileInfo(log.Files.last()).size(), 0);
  Pass(60000);
  EXPECT_EQ(Result(again), TScheduleEntry::Done);

  // A file put in its place: failed and said, the station let go, nothing written.
  now = kT0.addSecs(90);
  Pass(0);
  ASSERT_TRUE(scheduler->ReadyNow());
  ASSERT_TRUE(QDir(folder).removeRecursively());
  QFile blocker(folder);
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.write("keep me");
  blocker.close();
  const int recorded = int(log.Files.size());
  Pass(10000);
  EXPECT_FALSE(scheduler->Running());
  EXPECT_EQ(int(log.Files.size()), recorded);
  EXPECT_EQ(log.Finished, log.Made);
  EXPECT_TRUE(awake.expired());
  EXPECT_EQ(Result(blocked), TScheduleEntry::Failed);
  const QString why = QString::fromUtf8("无法创建文件夹 %1：那里已有一个同名的文件").arg(folder);
  EXPECT_EQ(scheduler->Store().Find(blocked)->LastMessage, why);
  EXPECT_EQ(told.last(), QString::fromUtf8("预约录音失败|测试台 在 2026-12-07 09:01 的预约录音没有录上：") + why);
  EXPECT_TRUE(blocker.open(QIODevice::ReadOnly));
  EXPECT_EQ(blocker.readAll(), "keep me");
  blocker.close();
  EXPECT_TRUE(QDir(dir.path()).entryList({"*.mp3"}, QDir::Files).isEmpty());

  // Still in the way at the next entry's connect: it fails ahead, naming it,
  // and the entries after it run once the way is clear.
  const QString deeper = AddOnce(kT0.addSecs(165), 30);
  QString error;
  ASSERT_TRUE(scheduler->Store().Change(deeper, [&](TScheduleEntry& e) { e.Folder = folder + "/sub"; }, &error))
      << error.toStdString();
  now = kT0.addSecs(155);
  Pass(0);
  EXPECT_FALSE(scheduler->Running());
  EXPECT_EQ(Result(deeper), TScheduleEntry::Failed);
  EXPECT_TRUE(told.last().contains(QString::fromUtf8("%1 是一个文件，不是文件夹").arg(folder))) << told.last().toStdString();
  ASSERT_TRUE(QFile::remove(folder));
  now = kT0.addSecs(190);
  Pass(0);
  Pass(10000);
  EXPECT_TRUE(scheduler->RecordingNow());
  Pass(60000);
  EXPECT_EQ(Result(after), TScheduleEntry::Done);
}

TEST_F(SchedulerTest, TheProgramEndingMidRecordingFinishesTheFileAndMarksItInterrupted)
{
  const QString id = AddOnce(kT0.addSecs(5), 600);
  Make();
  scheduler->Start();
  Pass(5000);
  ASSERT_TRUE(scheduler->RecordingNow());
  scheduler.reset();
  EXPECT_EQ(log.Finished, 1);
  EXPECT_TRUE(awake.expired());
  EXPECT_EQ(Result(id), TScheduleEntry::Interrupted);
  EXPECT_EQ(told.last().section(u'|', 0, 0), QString::fromUtf8("预约录音被中断"));

  // Killed instead: the next start finds it still recording and says so.
  store = std::make_unique<TScheduleStore>(dir.filePath("schedule.json"));
  QString error;
  ASSERT_TRUE(store->Change(id, [](TScheduleEntry& e) { e.LastResult = TScheduleEntry::Recording; }, &error));
  told.clear();
  Make();
  scheduler->Start();
  EXPECT_EQ(Result(id), TScheduleEntry::Interrupted);
  ASSERT_EQ(told.size(), 1);
  EXPECT_TRUE(told[0].startsWith(QString::fromUtf8("预约录音被中断|")));
  EXPECT_EQ(log.Made, 1);
}

} // namespace
