#include "schedule/scheduler.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonObject>
#include <filesystem>
#include <system_error>

namespace {
QString TimeText(const QDateTime& t) { return t.toString(QStringLiteral("yyyy-MM-dd HH:mm")); }

// What a recording is made from: the entry without its bookkeeping.
QJsonObject RecordingPart(const TScheduleEntry& e)
{
  QJsonObject o = ScheduleEntryToJson(e);
  for (const char* key : {"handledUntil", "lastResult", "lastStart", "lastFile", "lastMessage"}) o.remove(QLatin1String(key));
  return o;
}
// Makes `folder` and those above it: "" when it is there, else why not, naming it.
QString MakeFolder(const QString& folder)
{
  std::error_code ec;
  std::filesystem::create_directories(QFile::encodeName(folder).toStdString(), ec);
  if (!ec && QFileInfo(folder).isDir()) return QString();
  // What stands in the way: a file where the folder or one above it should be.
  QString why = ec ? QString::fromLocal8Bit(ec.message()) : QString::fromUtf8("那里不是文件夹");
  for (QString at = folder;;) {
    const QFileInfo info(at);
    if (info.exists() && !info.isDir()) {
      why = at == folder ? QString::fromUtf8("那里已有一个同名的文件") : QString::fromUtf8("%1 是一个文件，不是文件夹").arg(at);
      break;
    }
    if (info.exists() || info.absolutePath() == at) break;
    at = info.absolutePath();
  }
  return QString::fromUtf8("无法创建文件夹 %1：%2").arg(folder, why);
}
} // namespace

QString UnusedRecordingPath(const QString& path)
{
  if (!QFileInfo::exists(path)) return path;
  const QFileInfo info(path);
  const QString base = info.completeBaseName(), suffix = info.suffix();
  for (int n = 2;; ++n) {
    const QString candidate = info.dir().filePath(QStringLiteral("%1 (%2).%3").arg(base).arg(n).arg(suffix));
    if (!QFileInfo::exists(candidate)) return candidate;
  }
}

TScheduler::TScheduler(std::unique_ptr<TScheduleStore> store, TServices services, QObject* parent)
    : QObject(parent), storeOwned_(std::move(store)), store_(*storeOwned_), services_(std::move(services))
{
  if (!services_.Now) services_.Now = [] { return QDateTime::currentDateTime(); };
  if (!services_.SteadyMs) {
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    services_.SteadyMs = [clock] { return clock->elapsed(); };
  }
  store_.Now = services_.Now;
  // Due times come from the wall clock at every tick, so a clock that jumps
  // (a time zone, a time server) is seen at the next tick.
  timer_.setSingleShot(true);
  timer_.setTimerType(Qt::PreciseTimer);
  connect(&timer_, &QTimer::timeout, this, [this] {
    Tick();
    timer_.start(NextTickMs());
  });
}

TScheduler::~TScheduler() { Shutdown(); }

void TScheduler::Start()
{
  store_.Load();
  // A run that did not end (the program was killed, the machine lost power).
  // A copy: noting an outcome reads the store anew.
  const std::vector<TScheduleEntry> entries = store_.Entries();
  for (const TScheduleEntry& e : entries)
    if (e.LastResult == TScheduleEntry::Recording) {
      const QString file = e.LastFile;
      Note(e.Id, e.LastStart, TScheduleEntry::Interrupted, file, QString::fromUtf8("程序在录音时结束了"));
      Tell(QString::fromUtf8("预约录音被中断"),
           QString::fromUtf8("%1 在 %2 开始的录音没有录完，程序当时结束了；已录下的部分在 %3。").arg(e.StationName, TimeText(e.LastStart), file));
    }
  Tick();
  timer_.start(NextTickMs());
}

int TScheduler::NextTickMs() const
{
  // At most a second, so a clock that jumps is seen within one; a start or an
  // end due sooner gets its own tick.
  qint64 ms = kTickMs;
  const QDateTime now = services_.Now();
  // A start that has come waits for the run before it: that run's end is the tick.
  if (next_ && next_->Start > now) ms = std::min(ms, now.msecsTo(next_->Start));
  if (run_) ms = std::min(ms, run_->EndMs - services_.SteadyMs());
  if (!next_)
    for (const TScheduleEntry& e : store_.Entries())
      if (const std::optional<QDateTime> start = e.Enabled ? e.NextStart(now) : std::nullopt) {
        const QDateTime prepare = start->addSecs(-kPrepareSecs);
        ms = std::min(ms, now.msecsTo(prepare > now ? prepare : *start));
      }
  return int(std::max<qint64>(ms, 0));
}

QDateTime TScheduler::HandledUntil(const TScheduleEntry& e) const
{
  auto it = handled_.find(e.Id);
  return it != handled_.end() && it->second > e.HandledUntil ? it->second : e.HandledUntil;
}

void TScheduler::Tick()
{
  store_.Refresh();
  if (!store_.Problem().isEmpty() && store_.Problem() != storeProblemTold_) {
    storeProblemTold_ = store_.Problem();
    Tell(QString::fromUtf8("预约录音无法读取"), storeProblemTold_);
  }
  const qint64 steady = services_.SteadyMs();
  const QDateTime now = services_.Now();
  if (run_) {
    // The entry that follows ends this one at its start.
    const bool handOver = next_ && now >= next_->Start && run_->EndMs - steady <= kHandOverSlackMs;
    if (steady >= run_->EndMs || handOver) {
      if (run_->Phase == TRun::Recording) End(TScheduleEntry::Done, QString());
      else End(TScheduleEntry::Failed, QString::fromUtf8("到结束时间也没能连上电台"));
    } else if (run_->Phase == TRun::Waiting && steady >= run_->NextTryMs) {
      Try(*run_);
    }
  }
  if (next_) KeepPrepared(now);
  if (run_ && !next_) PrepareFollowing(now);
  if (run_ || next_) return;
  const std::vector<TScheduleEntry> entries = store_.Entries();
  for (const TScheduleEntry& e : entries) {
    if (!e.Enabled) continue;
    const std::optional<QDateTime> start = e.LatestStart(now);
    if (start && *start > HandledUntil(e)) {
      const qint64 lateMs = start->msecsTo(now);
      if (lateMs <= qint64(kStartGraceSecs) * 1000) {
        Prepare(e, *start);
        if (next_) StartWriting(lateMs);
        return;
      }
      Note(e.Id, *start, TScheduleEntry::Missed, QString(), QString());
      Tell(QString::fromUtf8("错过了预约录音"),
           QString::fromUtf8("%1 在 %2 的预约录音没有录上：那时程序没有运行、电脑在睡眠，或者时钟跳过了这个时间。")
               .arg(e.StationName, TimeText(*start)));
      continue;
    }
    const std::optional<QDateTime> next = e.NextStart(now);
    if (next && *next > HandledUntil(e) && now.msecsTo(*next) <= qint64(kPrepareSecs) * 1000) {
      Prepare(e, *next);
      return;
    }
  }
}

void TScheduler::PrepareFollowing(const QDateTime& now)
{
  const std::vector<TScheduleEntry> entries = store_.Entries();
  for (const TScheduleEntry& e : entries) {
    if (!e.Enabled || e.Id == run_->Id) continue;
    // Only one that begins where the running one ends: anything sooner met
    // a clock that moved, and is looked at once the run is over.
    const std::optional<QDateTime> start = e.NextStart(now);
    if (start && *start > HandledUntil(e) && *start >= run_->End && now.msecsTo(*start) <= qint64(kPrepareSecs) * 1000) {
      Prepare(e, *start);
      return;
    }
  }
}

void TScheduler::KeepPrepared(const QDateTime& now)
{
  const TScheduleEntry* e = store_.Find(next_->Id);
  // Changed, turned off or removed meanwhile, or the clock moved away from
  // the start: dropped, and the entries are looked at afresh.
  const qint64 toStart = now.msecsTo(next_->Start);
  if (!e || !e->Enabled || RecordingPart(*e) != RecordingPart(next_->Entry) || toStart < -qint64(kStartGraceSecs) * 1000 ||
      toStart > qint64(kPrepareSecs + 2) * 1000) {
    Cancel();
    return;
  }
  // Its start waits for the end of the one before (the steady clock's, within the slack).
  if (toStart <= 0 && !run_) StartWriting(-toStart);
  else if (next_->Phase == TRun::Waiting && services_.SteadyMs() >= next_->NextTryMs) Try(*next_);
}

void TScheduler::Cancel()
{
  std::unique_ptr<TRun> run = std::move(next_);
  if (run->ActiveRecording) {
    run->ActiveRecording->Finish();
    run->ActiveRecording.release()->deleteLater();
  }
  emit Changed();
}

void TScheduler::Prepare(const TScheduleEntry& e, const QDateTime& start)
{
  next_ = std::make_unique<TRun>();
  TRun& run = *next_;
  run.Entry = e;
  run.Id = e.Id;
  run.Station = e.StationName;
  run.Start = start;
  run.End = start.addSecs(e.Seconds);
  run.StartMs = services_.SteadyMs() + services_.Now().msecsTo(start);
  run.EndMs = run.StartMs + qint64(e.Seconds) * 1000;
  const QString folder = QDir(e.Folder).absolutePath();
  if (const QString problem = MakeFolder(folder); !problem.isEmpty()) {
    next_.reset();
    Note(e.Id, start, TScheduleEntry::Failed, QString(), problem);
    Tell(QString::fromUtf8("预约录音失败"), QString::fromUtf8("%1 在 %2 的预约录音无法开始：%3。").arg(e.StationName, TimeText(start), problem));
    return;
  }
  run.File = UnusedRecordingPath(QDir(folder).filePath(e.FileName(start)));
  if (services_.KeepAwake) run.Awake = services_.KeepAwake(QString::fromUtf8("正在预约录音：%1").arg(e.StationName));
  Try(run);
  emit Changed();
}

void TScheduler::StartWriting(qint64 lateMs)
{
  run_ = std::move(next_);
  run_->Started = true;
  // The recording ends at the entry's end, however late it could begin.
  run_->StartMs = services_.SteadyMs() - lateMs;
  run_->EndMs = run_->StartMs + qint64(run_->Entry.Seconds) * 1000;
  // The folder may have gone since the station was connected: made again, or
  // the entry fails here rather than writing anywhere else.
  if (const QString problem = MakeFolder(QFileInfo(run_->File).absolutePath()); !problem.isEmpty()) {
    End(TScheduleEntry::Failed, problem);
    return;
  }
  Note(run_->Id, run_->Start, TScheduleEntry::Recording, run_->File, QString());
  emit Changed();
  if (run_->ActiveRecording) run_->ActiveRecording->Record();
  // A station that failed ahead of the start is tried again now, when its pause is over.
  else if (run_->Phase == TRun::Waiting && services_.SteadyMs() >= run_->NextTryMs) Try(*run_);
}

TScheduler::TRun* TScheduler::RunOf(const TScheduleRecording* recording) const
{
  if (run_ && run_->ActiveRecording.get() == recording) return run_.get();
  if (next_ && next_->ActiveRecording.get() == recording) return next_.get();
  return nullptr;
}

void TScheduler::Try(TRun& run)
{
  const TScheduleEntry* found = store_.Find(run.Id);
  if (!found) {  // removed meanwhile
    if (run.Started) End(TScheduleEntry::Failed, QString::fromUtf8("预约已被删除"));
    else Cancel();
    return;
  }
  const TScheduleEntry entry = *found;
  run.Phase = TRun::Connecting;
  run.Ready = false;
  run.ActiveRecording = services_.MakeRecording();
  TScheduleRecording* rec = run.ActiveRecording.get();
  connect(rec, &TScheduleRecording::Ready, this, [this, rec] {
    if (TRun* r = RunOf(rec)) {
      r->Ready = true;
      emit Changed();
    }
  });
  connect(rec, &TScheduleRecording::Recording, this, [this, rec] {
    TRun* r = RunOf(rec);
    if (!r) return;
    r->Phase = TRun::Recording;
    Tell(QString::fromUtf8("预约录音开始"), QString::fromUtf8("正在录制 %1，保存到 %2。").arg(r->Station, r->File));
    emit Changed();
  });
  connect(rec, &TScheduleRecording::Unreachable, this, [this, rec](const QString& reason) {
    if (TRun* r = RunOf(rec)) OnUnreachable(*r, UserText(reason));
  });
  connect(rec, &TScheduleRecording::Ended, this, [this, rec](const QString& reason) {
    // Before it recorded anything (the file could not be made) it failed.
    if (run_ && run_->ActiveRecording.get() == rec)
      End(run_->Phase == TRun::Recording ? TScheduleEntry::EndedEarly : TScheduleEntry::Failed, UserText(reason));
  });
  QPointer<TScheduleRecording> alive(rec);
  rec->Prepare(entry, run.File);
  // Once the start has come, a new try writes as soon as the station plays.
  if (alive && run_ && run_->ActiveRecording.get() == rec) rec->Record();
}

void TScheduler::OnUnreachable(TRun& run, const QString& reason)
{
  // Freed later: the signal comes from inside it.
  run.ActiveRecording.release()->deleteLater();
  // Tries ahead of the start never fail the entry: the minute counts from the start.
  const qint64 next = services_.SteadyMs() + kRetryPauseMs;
  if (run.Started && (next - run.StartMs > qint64(kRetryWindowSecs) * 1000 || next >= run.EndMs)) {
    End(TScheduleEntry::Failed, reason);
    return;
  }
  run.Phase = TRun::Waiting;
  run.NextTryMs = next;
  emit Changed();
}

void TScheduler::End(TScheduleEntry::TResult result, const QString& message)
{
  std::unique_ptr<TRun> run = std::move(run_);
  if (run->ActiveRecording) {
    run->ActiveRecording->Finish();
    // A signal may be on its way out of it.
    run->ActiveRecording.release()->deleteLater();
  }
  const bool written = QFileInfo(run->File).size() > 0;
  if (!written) QFile::remove(run->File);
  const QString file = written ? run->File : QString();
  Note(run->Id, run->Start, result, file, message);
  switch (result) {
  case TScheduleEntry::Done:
    Tell(QString::fromUtf8("预约录音完成"), QString::fromUtf8("%1 已录好：%2").arg(run->Station, file));
    break;
  case TScheduleEntry::Failed:
    Tell(QString::fromUtf8("预约录音失败"),
         QString::fromUtf8("%1 在 %2 的预约录音没有录上：%3").arg(run->Station, TimeText(run->Start), message));
    break;
  case TScheduleEntry::EndedEarly:
    Tell(QString::fromUtf8("预约录音提前结束"),
         QString::fromUtf8("%1 的录音提前结束了：%2。已录下的部分在 %3。").arg(run->Station, message, file));
    break;
  case TScheduleEntry::Interrupted:
    Tell(QString::fromUtf8("预约录音被中断"),
         QString::fromUtf8("%1 的录音在程序结束时中断了；已录下的部分在 %2。").arg(run->Station, file));
    break;
  default:
    break;
  }
  run->Awake.reset();
  emit Changed();
}

void TScheduler::Shutdown()
{
  timer_.stop();
  if (next_) Cancel();
  if (run_) End(TScheduleEntry::Interrupted, QString::fromUtf8("程序在录音时结束了"));
}

void TScheduler::Note(const QString& id, const QDateTime& start, TScheduleEntry::TResult result, const QString& file,
                      const QString& message)
{
  handled_[id] = std::max(handled_[id], start);
  QString error;
  const bool saved = store_.Change(id, [&](TScheduleEntry& e) {
    e.HandledUntil = std::max(e.HandledUntil, start);
    e.LastResult = result;
    e.LastStart = start;
    e.LastFile = file;
    e.LastMessage = message;
  }, &error);
  // A store that cannot be written is said once; the run goes on from memory.
  if (!saved && store_.Find(id) && error != storeProblemTold_) {
    storeProblemTold_ = error;
    Tell(QString::fromUtf8("预约录音无法保存"), error);
  }
}

QString TScheduler::UserText(const QString& reason) const { return services_.UserText ? services_.UserText(reason) : reason; }

void TScheduler::Tell(const QString& title, const QString& text)
{
  if (services_.Notify) services_.Notify(title, text);
}

QString TScheduler::StatusText() const
{
  if (!run_ && next_)
    return QString::fromUtf8("预约录音：准备录制 %1（%2 开始）").arg(next_->Station, next_->Start.toString(QStringLiteral("HH:mm")));
  if (!run_) return QString();
  if (run_->Phase == TRun::Recording)
    return QString::fromUtf8("预约录音：%1（到 %2）").arg(run_->Station, run_->End.toString(QStringLiteral("HH:mm")));
  return QString::fromUtf8("预约录音：正在连接 %1").arg(run_->Station);
}
