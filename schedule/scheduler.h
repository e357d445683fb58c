// Runs the scheduled recordings while the program runs: each tick looks at the
// wall clock and the store, connects to an entry's station a few seconds
// before its start (kPrepareSecs) so the file begins at the start itself and
// not once a slow station answers, starts writing when the start has come (a
// few seconds late at most), ends it by a steady clock at the entry's end, and
// reports what happened. Nothing is recorded late: a start the program did not
// see (not running, asleep, the clock jumped past it) is reported as missed.
// A station that cannot be reached is tried again during the first minute.
// An entry that follows another without a pause is prepared while the first
// still records, and at the boundary the first ends and the second begins.
// While a recording runs the system is asked not to sleep.
#pragma once

#include "schedule/schedule_store.h"

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <map>
#include <memory>

// One scheduled recording: connects to the station ahead of the start, and
// from Record on writes what it plays into the file until Finish.
class TScheduleRecording : public QObject {
  Q_OBJECT
public:
  // Connects to the entry's station; nothing is written.
  virtual void Prepare(const TScheduleEntry& entry, const QString& file) = 0;
  // Begins the file now, or as soon as the station plays.
  virtual void Record() = 0;
  // Ends the file (it plays), stops the station; no signal after.
  virtual void Finish() = 0;
signals:
  // The station plays (prepared, nothing written).
  void Ready();
  // The station plays and the file is being written.
  void Recording();
  // The station could not be reached or was lost before the file began
  // (nothing written yet).
  void Unreachable(const QString& reason);
  // The recording ended by itself (the station is gone for good, the file
  // could not be written); what was recorded is finished.
  void Ended(const QString& reason);
};

class TScheduler : public QObject {
  Q_OBJECT
public:
  // How late a start may be noticed and still be recorded.
  static constexpr int kStartGraceSecs = 10;
  // How long before its start an entry's station is connected.
  static constexpr int kPrepareSecs = 10;
  // A station that cannot be reached is tried again (ahead of the start, and)
  // for this long after the start...
  static constexpr int kRetryWindowSecs = 60;
  // ...with this pause between tries.
  static constexpr int kRetryPauseMs = 5000;
  static constexpr int kTickMs = 1000;
  // At the next entry's start (wall clock) the running one ends when its own
  // end (steady clock) is at most this far away: the two clocks drift apart.
  static constexpr int kHandOverSlackMs = 2000;

  struct TServices {
    // Local wall-clock time, and milliseconds on a steady clock.
    std::function<QDateTime()> Now;
    std::function<qint64()> SteadyMs;
    std::function<std::unique_ptr<TScheduleRecording>()> MakeRecording;
    // Tells the user (title, text).
    std::function<void(const QString&, const QString&)> Notify;
    // Keeps the system awake until the returned handle goes (may be null).
    std::function<std::shared_ptr<void>(const QString& why)> KeepAwake;
    // A recording's reason (a component's own message) in the user's words;
    // taken as it stands when null.
    std::function<QString(const QString&)> UserText;
  };

  TScheduler(std::unique_ptr<TScheduleStore> store, TServices services, QObject* parent = nullptr);
  // A recording still running is finished and marked interrupted.
  ~TScheduler() override;

  // Reports what the last run left (recordings cut off, missed starts) and
  // starts the ticks.
  void Start();
  // One look at the clock (the timer's; tests call it after moving the clock).
  void Tick();
  // The program ends: a running recording is finished and marked interrupted.
  void Shutdown();

  // An entry is being prepared or recorded.
  bool Running() const { return run_ || next_; }
  // The station of the entry waiting for its start plays.
  bool ReadyNow() const { return next_ && next_->Ready; }
  bool RecordingNow() const { return run_ && run_->Phase == TRun::Recording; }
  // The entry whose start has come and that is being recorded (or connected).
  QString RunningId() const { return run_ ? run_->Id : QString(); }
  // Its file, else that of the entry waiting for its start.
  QString RunningFile() const { return run_ ? run_->File : next_ ? next_->File : QString(); }
  // "预约录音：电台名（到 08:30）" while one runs, else "".
  QString StatusText() const;
  TScheduleStore& Store() { return *storeOwned_; }

signals:
  void Changed();

private:
  struct TRun {
    enum TPhase { Connecting, Waiting, Recording } Phase = Connecting;
    bool Started = false;  // the start came: Record was asked for
    bool Ready = false;    // the station played ahead of the start
    TScheduleEntry Entry;  // as it was prepared
    QString Id, Station, File;
    QDateTime Start, End;
    // Steady clock: the start (where it will be, until it comes), the next
    // try, the end.
    qint64 StartMs = 0, NextTryMs = 0, EndMs = 0;
    std::unique_ptr<TScheduleRecording> ActiveRecording;
    std::shared_ptr<void> Awake;
  };
  // Connects to the station of the occurrence starting at `start` (next_).
  void Prepare(const TScheduleEntry& e, const QDateTime& start);
  // The start of next_ came `lateMs` ago: it becomes the run, its file begins.
  void StartWriting(qint64 lateMs);
  // Looks at next_ while it waits for its start.
  void KeepPrepared(const QDateTime& now);
  // Prepares the entry that starts when the running one ends.
  void PrepareFollowing(const QDateTime& now);
  // Drops next_ before its start: nothing was written or noted.
  void Cancel();
  void Try(TRun& run);
  void OnUnreachable(TRun& run, const QString& reason);
  // The run (or next_) a recording belongs to, or null.
  TRun* RunOf(const TScheduleRecording* recording) const;
  // Ends run_ with its result and tells the user.
  void End(TScheduleEntry::TResult result, const QString& message);
  // Records the entry's outcome; the store may refuse (kept in memory then).
  void Note(const QString& id, const QDateTime& start, TScheduleEntry::TResult result, const QString& file,
            const QString& message);
  void Tell(const QString& title, const QString& text);
  QString UserText(const QString& reason) const;
  QDateTime HandledUntil(const TScheduleEntry& e) const;
  int NextTickMs() const;

  std::unique_ptr<TScheduleStore> storeOwned_;
  TScheduleStore& store_;
  TServices services_;
  QTimer timer_;
  // The entry whose start has come, and the one prepared for its start
  // (while run_ records, the entry that follows it).
  std::unique_ptr<TRun> run_, next_;
  // Occurrences dealt with, for when the store cannot be written.
  std::map<QString, QDateTime> handled_;
  QString storeProblemTold_;
};

// A free file name: `path`, else "name (2).mp3", "name (3).mp3" ...
QString UnusedRecordingPath(const QString& path);
