// The audio stream pipeline: PCM sources (TAuInput) and sinks (TAuOutput)
// that pull from a source on a worker thread (TAuThread) until the source runs
// dry or a stop is requested. Events reach the UI thread through
// TThread::Synchronize.
#pragma once

#include "toolkit/component.h"
#include "toolkit/thread.h"

#include <QString>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

VELMORA_EXCEPTION(EAuException, Exception);

using TOutputDoneEvent = TNotifyEvent;
using TOutputProgressEvent = TNotifyEvent;
using TThreadExceptionEvent = TEvent<TObject*, const QString&>;
Q_DECLARE_METATYPE(TThreadExceptionEvent)

// Rounds num / den to the nearest integer, halves to even (den > 0).
qint64 RoundHalfEven(qint64 num, qint64 den);

// Abstract PCM source: interleaved signed samples, handed out in caller-sized blocks.
class TAuInput : public TComponent {
  Q_OBJECT
public:
  explicit TAuInput(TComponent* AOwner);

  virtual int InBitsPerSample() = 0;
  virtual int InChannels() = 0;
  virtual int InSampleRate() = 0;
  virtual int TotalSeconds() { return 0; }
  // Copies at most `capacity` bytes into `buffer`, adds the count to Position
  // and returns it; 0 means the input is exhausted. Runs on the worker.
  virtual int ReadData(void* buffer, int capacity) = 0;
  // CloseInput with any failure ignored, then not busy.
  virtual void ResetInput();
  virtual void OpenInput() = 0;
  virtual void CloseInput() = 0;
  // Asks a ReadData that is waiting for data to return what it has now. The
  // output calls it when a stop is requested so that a stop never waits for
  // a stalled device. The base does nothing.
  virtual void InterruptRead() {}

  // Bytes handed out since OpenInput; 64-bit, as an hour of CD-quality audio
  // is 635 MB.
  qint64 Position() const { return position_.load(); }
  // Bytes the input will deliver in all, -1 when open-ended.
  qint64 Size() const { return size_.load(); }
  bool Busy() const { return busy_.load(); }

protected:
  // The worker advances Position while the UI thread reads it.
  std::atomic<qint64> position_{0};
  std::atomic<qint64> size_{0};
  std::atomic<bool> busy_{false};
  int BufferStart = 0;
  int BufferEnd = 0;
};

class TAuOutput;

// The worker of one output. It never touches its output once the output has
// been destroyed: the output either joins it first or, when destroyed from
// inside one of the worker's own synchronised calls, orphans it.
class TAuThread : public TThread {
public:
  explicit TAuThread(TAuOutput* owner);
  ~TAuThread() override { TerminateAndWait(); }

  QString ErrorMessage;
  std::atomic<bool> NotifyDone{true};
  std::atomic<bool> Finished{false};
  std::atomic<bool> SuspendWhenIdle{true};
  std::atomic<bool> StopRequested{false};
  // Counts the runs started, so that a notifier knows when a new run began.
  std::atomic<unsigned> Runs{0};

  // True while the worker is past the point of suspending itself.
  bool Suspending() const { return suspending_.load(); }
  // True while a call handed to the UI thread by this worker is running.
  bool InSyncCall() const { return inSync_; }
  // Wakes an idle worker that does not suspend (SuspendWhenIdle false).
  void Nudge();

protected:
  void Execute() override;

private:
  friend class TAuOutput;
  void Cycle();
  // Runs `f` on the UI thread unless the owner is gone; false when it is gone.
  bool RunOnUi(const std::function<void()>& f);
  void Orphan();

  TAuOutput* owner_;
  std::mutex lock_;  // held for each cycle
  std::atomic<bool> suspending_{false};
  std::atomic<bool> orphaned_{false};
  bool inSync_ = false;  // UI thread only
  std::mutex idleMutex_;
  std::condition_variable idleWake_;
};

class TVerySmallThread;

// Shared by an output, its worker and its one-shot notifiers.
struct TAuOutputLife {
  std::mutex Mutex;
  bool Alive = true;
  TAuThread* Worker = nullptr;
  // Notifiers not yet joined; the output joins them on the UI thread.
  std::vector<TVerySmallThread*> Notifiers;
};

// One-shot thread that delivers OnDone once the worker has suspended itself.
class TVerySmallThread : public TThread {
public:
  TVerySmallThread(TAuOutput* owner, std::shared_ptr<TAuOutputLife> life, TOutputDoneEvent onDone,
                   bool waitForSuspend, unsigned run);
  ~TVerySmallThread() override { TerminateAndWait(); }

protected:
  void Execute() override;

private:
  TAuOutput* Owner;
  std::shared_ptr<TAuOutputLife> life_;
  TOutputDoneEvent onDone_;
  bool waitForSuspend_;
  unsigned run_;
};

// Abstract sink with a worker thread and three events.
class TAuOutput : public TComponent {
  Q_OBJECT
  Q_PROPERTY(TAuInput* Input READ Input WRITE SetInput)
  Q_PROPERTY(bool SuspendWhenIdle READ SuspendWhenIdle WRITE SetSuspendWhenIdle)
  Q_PROPERTY(TOutputDoneEvent OnDone READ OnDone WRITE SetOnDone)
  Q_PROPERTY(TOutputProgressEvent OnProgress READ OnProgress WRITE SetOnProgress)
  Q_PROPERTY(TThreadExceptionEvent OnThreadException READ OnThreadException WRITE SetOnThreadException)

public:
  enum TAuOutputState { asBusy = 0, asPaused = 1, asIdle = 2 };
  Q_ENUM(TAuOutputState)

  explicit TAuOutput(TComponent* AOwner);
  ~TAuOutput() override;

  void Start();
  void RequestStop(bool notify);
  void WaitForStop();
  TAuOutputState State() const;
  int Progress() const;
  int ElapsedSeconds() const;
  bool Busy() const { return busy_.load(); }

  TAuInput* Input() const { return input_.load(); }
  virtual void SetInput(TAuInput* value);
  bool SuspendWhenIdle() const { return worker_->SuspendWhenIdle.load(); }
  void SetSuspendWhenIdle(bool value);
  TOutputDoneEvent OnDone() const { return onDone_; }
  void SetOnDone(const TOutputDoneEvent& e) { onDone_ = e; }
  TOutputProgressEvent OnProgress() const { return onProgress_; }
  void SetOnProgress(const TOutputProgressEvent& e) { onProgress_ = e; }
  TThreadExceptionEvent OnThreadException() const { return onThreadException_; }
  void SetOnThreadException(const TThreadExceptionEvent& e) { onThreadException_ = e; }

  void Notification(TComponent* AComponent, TOperation Operation) override;

protected:
  // One cycle of work; false when there is nothing more to do. Returns false
  // at once when `abort` is true and OutputEnabled is true.
  virtual bool ProduceBlock(bool abort) = 0;
  // Flushes, closes and releases everything the run holds and closes the
  // input. Must release only what is held: it can run twice for one run.
  virtual void FinishOutput() = 0;
  // Acquires everything the run needs, including the input's OpenInput.
  virtual void PrepareOutput() = 0;
  // Releases what a failed PrepareOutput had acquired.
  virtual void CleanupFailedPrepare() {}

  // Stops a run and ends the worker. Classes that override FinishOutput call
  // it first in their destructor, while their own members still exist.
  void Shutdown();
  void BeforeDestruction() override;

  std::atomic<bool> OutputEnabled{false};
  std::atomic<int> LastProgress{0};

private:
  friend class TAuThread;
  void CompleteRun();
  void ReportFailure(const QString& message);
  // Joins the notifiers that have ended (all of them with `all`).
  void ReapNotifiers(bool all);

  TAuThread* worker_;
  std::shared_ptr<TAuOutputLife> life_;
  std::atomic<TAuInput*> input_{nullptr};
  std::atomic<bool> busy_{false};
  // Set once destruction begins: from then on no event reaches the handlers,
  // whose owner may already be half gone.
  std::atomic<bool> shutDown_{false};
  TOutputDoneEvent onDone_;
  TOutputProgressEvent onProgress_;
  TThreadExceptionEvent onThreadException_;
};

// A file opened for the run: reports every failed write. Not copyable.
class TAuFileStream {
public:
  // Creates or truncates `name` for reading and writing; raises EFCreateError
  // "Cannot create file %s: <the system's reason>".
  explicit TAuFileStream(const QString& name);
  ~TAuFileStream();
  TAuFileStream(const TAuFileStream&) = delete;
  TAuFileStream& operator=(const TAuFileStream&) = delete;

  // Writes all `count` bytes or raises EInOutError.
  void Write(const void* data, qint64 count);
  // Overwrites bytes at `offset` (the current position is kept); raises EInOutError.
  void WriteAt(qint64 offset, const void* data, qint64 count);
  // Reads up to `count` bytes at `offset`; returns the count read (-1 on failure).
  qint64 ReadAt(qint64 offset, void* data, qint64 count);
  bool Seekable() const { return seekable_; }
  qint64 Written() const { return written_; }
  const QString& FileName() const { return name_; }
  // Closes the file; raises EInOutError when the system reports a failure.
  void Close();

private:
  [[noreturn]] void Fail(int err) const;
  QString name_;
  int fd_ = -1;
  bool seekable_ = false;
  qint64 written_ = 0;
};

// A sink that writes into a stream it owns while a run lasts.
class TAuStreamedOutput : public TAuOutput {
  Q_OBJECT
public:
  explicit TAuStreamedOutput(TComponent* AOwner);
  ~TAuStreamedOutput() override;

protected:
  std::unique_ptr<TAuFileStream> Stream;
};

// A sink whose stream is a named file, always created anew.
class TAuFileOut : public TAuStreamedOutput {
  Q_OBJECT
  Q_PROPERTY(TFileOutputMode FileMode READ FileMode WRITE SetFileMode)
  Q_PROPERTY(QString FileName READ FileName WRITE SetFileName)

public:
  enum TFileOutputMode { foRewrite, foAppend };
  Q_ENUM(TFileOutputMode)

  explicit TAuFileOut(TComponent* AOwner);

  TFileOutputMode FileMode() const { return fileMode_; }
  // Files are always rewritten: any value is stored as foRewrite.
  virtual void SetFileMode(TFileOutputMode) { fileMode_ = foRewrite; }
  QString FileName() const { return fileName_; }
  void SetFileName(const QString& value) { fileName_ = value; }

private:
  TFileOutputMode fileMode_ = foRewrite;
  QString fileName_;
};
