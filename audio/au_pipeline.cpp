#include "audio/au_pipeline.h"

#include "toolkit/exception_text.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

qint64 RoundHalfEven(qint64 num, qint64 den)
{
  qint64 q = num / den;
  qint64 r = num % den;
  if (r < 0) {  // floor division
    r += den;
    --q;
  }
  const qint64 twice = 2 * r;
  if (twice > den || (twice == den && (q & 1))) ++q;
  return q;
}

// ---------------------------------------------------------------- input

TAuInput::TAuInput(TComponent* AOwner) : TComponent(AOwner) {}

void TAuInput::ResetInput()
{
  try {
    CloseInput();
  } catch (...) {
  }
  busy_ = false;
}

// ---------------------------------------------------------------- worker

TAuThread::TAuThread(TAuOutput* owner) : owner_(owner) {}

void TAuThread::Nudge()
{
  std::lock_guard g(idleMutex_);
  idleWake_.notify_all();
}

void TAuThread::Orphan()
{
  orphaned_ = true;
  FreeOnTerminate = true;
  Terminate();
}

bool TAuThread::RunOnUi(const std::function<void()>& f)
{
  if (orphaned_) return false;
  Synchronize([&] {
    if (orphaned_) return;
    inSync_ = true;
    struct Reset {
      bool& Flag;
      ~Reset() { Flag = false; }
    } reset{inSync_};
    f();
  });
  return !orphaned_;
}

void TAuThread::Execute()
{
  while (!Terminated()) Cycle();
}

void TAuThread::Cycle()
{
  std::lock_guard guard(lock_);
  TAuOutput* o = owner_;
  try {
    if (!StopRequested && o->Busy()) {
      const int progress = o->Progress();
      if (progress != o->LastProgress) {
        o->LastProgress = progress;
        if (o->onProgress_ && !RunOnUi([o] {
              if (!o->shutDown_) o->onProgress_(o);
            }))
          return;
      }
    }
    const bool more = o->ProduceBlock(StopRequested);
    if (StopRequested || !more) {
      StopRequested = false;
      o->CompleteRun();
      if (NotifyDone) {
        auto* notifier = new TVerySmallThread(o, o->life_, o->onDone_, SuspendWhenIdle, Runs.load());
        {
          std::lock_guard g(o->life_->Mutex);
          o->life_->Notifiers.push_back(notifier);
        }
        notifier->Resume();
      }
      Finished = true;
      if (SuspendWhenIdle && !Terminated()) {
        suspending_ = true;
        // A Start that came in after CompleteRun keeps the worker running.
        if (!o->Busy()) Suspend();
        suspending_ = false;
      }
    } else if (!o->Busy() && !Terminated()) {
      // Idle without suspending: wait for the next Start instead of spinning.
      std::unique_lock l(idleMutex_);
      idleWake_.wait_for(l, std::chrono::milliseconds(20));
    }
  } catch (...) {
    if (orphaned_) return;
    const QString message = ExceptionText(std::current_exception());
    StopRequested = true;
    ErrorMessage = message;
    try {
      RunOnUi([o, message] { o->ReportFailure(message); });
    } catch (...) {
      // A failing OnThreadException handler must not end the worker.
    }
  }
}

TVerySmallThread::TVerySmallThread(TAuOutput* owner, std::shared_ptr<TAuOutputLife> life, TOutputDoneEvent onDone,
                                   bool waitForSuspend, unsigned run)
    : Owner(owner), life_(std::move(life)), onDone_(std::move(onDone)), waitForSuspend_(waitForSuspend), run_(run)
{
}

void TVerySmallThread::Execute()
{
  if (waitForSuspend_) {
    for (;;) {
      {
        std::lock_guard g(life_->Mutex);
        if (!life_->Alive) return;
        TAuThread* w = life_->Worker;
        if (w->Suspended() || w->Runs.load() != run_) break;  // suspended, or already started anew
      }
      std::this_thread::yield();
    }
  }
  if (!onDone_) return;
  Synchronize([this] {
    // The output may have been destroyed meanwhile; only the UI thread clears `alive`.
    if (life_->Alive) onDone_(Owner);
  });
}

// ---------------------------------------------------------------- output

TAuOutput::TAuOutput(TComponent* AOwner) : TComponent(AOwner), life_(std::make_shared<TAuOutputLife>())
{
  worker_ = new TAuThread(this);
  life_->Worker = worker_;
  worker_->NotifyDone = true;
  worker_->SuspendWhenIdle = true;
}

TAuOutput::~TAuOutput()
{
  Shutdown();
}

void TAuOutput::BeforeDestruction()
{
  Shutdown();
  TComponent::BeforeDestruction();
}

void TAuOutput::Shutdown()
{
  if (shutDown_) return;
  shutDown_ = true;
  if (worker_->InSyncCall()) {
    // Destroyed from inside a call our own worker handed to the UI thread: the
    // worker waits for us, so it cannot be waited for. Release the run here and
    // let the worker end by itself without coming back to this output.
    if (Busy()) {
      OutputEnabled = false;
      try {
        FinishOutput();
      } catch (...) {
      }
      busy_ = false;
    }
    {
      std::lock_guard g(life_->Mutex);
      life_->Alive = false;
      life_->Worker = nullptr;
    }
    worker_->Orphan();
    worker_ = nullptr;
    ReapNotifiers(true);
    return;
  }
  // Notifiers still on their way skip OnDone from now on: the stop below
  // services synchronised calls, and a handler must not run on an owner
  // that is being destroyed.
  {
    std::lock_guard g(life_->Mutex);
    life_->Alive = false;
  }
  RequestStop(false);
  WaitForStop();
  {
    std::lock_guard g(life_->Mutex);
    life_->Worker = nullptr;
  }
  // None outlives us.
  ReapNotifiers(true);
  worker_->Terminate();
  worker_->Nudge();
  delete worker_;  // resumes it once more and joins it
  worker_ = nullptr;
}

void TAuOutput::ReapNotifiers(bool all)
{
  std::vector<TVerySmallThread*> ended;
  {
    std::lock_guard g(life_->Mutex);
    auto& list = life_->Notifiers;
    for (auto it = list.begin(); it != list.end();) {
      if (all || (*it)->Finished()) {
        ended.push_back(*it);
        it = list.erase(it);
      } else {
        ++it;
      }
    }
  }
  for (TVerySmallThread* n : ended) delete n;  // joins it, running its pending call
}

void TAuOutput::Start()
{
  if (Busy()) throw EAuException(QStringLiteral("Component is Busy"));
  TAuInput* input = Input();
  if (!input) throw EAuException(QStringLiteral("Input is not assigned"));
  ReapNotifiers(false);
  try {
    PrepareOutput();
  } catch (...) {
    const QString message = ExceptionText(std::current_exception());
    try {
      CleanupFailedPrepare();
    } catch (...) {
    }
    try {
      input->ResetInput();
    } catch (...) {
    }
    if (!worker_->Suspended()) {
      RequestStop(false);
      WaitForStop();
    }
    busy_ = false;
    ReportFailure(message);
    return;
  }
  worker_->StopRequested = false;
  worker_->NotifyDone = true;  // a stop without notice asked from a handler ends with its run
  OutputEnabled = true;
  busy_ = true;
  ++worker_->Runs;
  // The worker may be between the end of the last run and its suspension.
  while (worker_->Suspending() && !worker_->Suspended()) std::this_thread::yield();
  if (worker_->Suspended())
    worker_->Resume();
  else
    worker_->Nudge();
}

void TAuOutput::RequestStop(bool notify)
{
  worker_->NotifyDone = notify;
  worker_->Finished = false;
  worker_->StopRequested = true;
  if (TAuInput* input = Input()) input->InterruptRead();
  worker_->Nudge();
}

void TAuOutput::WaitForStop()
{
  // Inside a call handed over by our worker the worker waits for us: the stop
  // is honoured as soon as that call returns.
  if (worker_->InSyncCall()) return;
  while (!worker_->Suspended() && !worker_->Finished) CheckSynchronize(1);
  worker_->NotifyDone = true;
}

TAuOutput::TAuOutputState TAuOutput::State() const
{
  if (!Busy()) return asIdle;
  return worker_->Suspended() ? asPaused : asBusy;
}

int TAuOutput::Progress() const
{
  TAuInput* input = Input();
  if (!input) return 0;
  const qint64 size = input->Size();
  if (size < 0) return -1;
  if (size == 0) return 0;
  return static_cast<int>(RoundHalfEven(input->Position() * 100, size));
}

int TAuOutput::ElapsedSeconds() const
{
  TAuInput* input = Input();
  if (!input) return 0;
  const qint64 perSecond = qint64(input->InBitsPerSample() / 8) * input->InChannels() * input->InSampleRate();
  if (perSecond <= 0) return 0;
  return static_cast<int>(RoundHalfEven(input->Position(), perSecond));
}

void TAuOutput::SetInput(TAuInput* value)
{
  TAuInput* old = Input();
  if (value == old) return;
  const bool wasBusy = Busy();
  if (wasBusy) {
    RequestStop(false);
    WaitForStop();
  }
  if (old) old->RemoveFreeNotification(this);
  input_ = value;
  if (value) value->FreeNotification(this);
  if (wasBusy && value) Start();
}

void TAuOutput::SetSuspendWhenIdle(bool value)
{
  if (worker_->SuspendWhenIdle == value) return;
  worker_->SuspendWhenIdle = value;
  worker_->Nudge();
}

void TAuOutput::Notification(TComponent* AComponent, TOperation Operation)
{
  if (Operation == TOperation::opRemove && AComponent && AComponent == Input()) SetInput(nullptr);
  TComponent::Notification(AComponent, Operation);
}

void TAuOutput::CompleteRun()
{
  if (!Busy()) return;
  OutputEnabled = false;
  FinishOutput();
  busy_ = false;
}

void TAuOutput::ReportFailure(const QString& message)
{
  if (State() != asIdle) {
    try {
      FinishOutput();
    } catch (...) {
    }
  }
  OutputEnabled = false;
  busy_ = false;
  // A copy: the handler may clear or replace itself while it runs.
  if (const TThreadExceptionEvent handler = onThreadException_; handler && !shutDown_) handler(this, message);
}

// ---------------------------------------------------------------- file stream

TAuFileStream::TAuFileStream(const QString& name) : name_(name)
{
  const QByteArray path = QFile::encodeName(name);
  fd_ = ::open(path.constData(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd_ < 0 && errno == EACCES) fd_ = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd_ < 0) {
    const int err = errno;
    throw EFCreateError(QStringLiteral("Cannot create file %1: %2").arg(name, QString::fromLocal8Bit(std::strerror(err))));
  }
  struct stat st {};
  seekable_ = ::fstat(fd_, &st) == 0 && S_ISREG(st.st_mode);
}

TAuFileStream::~TAuFileStream()
{
  if (fd_ >= 0) ::close(fd_);
}

void TAuFileStream::Fail(int err) const
{
  const QString reason = QString::fromLocal8Bit(std::strerror(err));
  // The file-size limit (ulimit -f) was reached: the file so far is kept and finished.
  if (err == EFBIG)
    throw EInOutError(QStringLiteral("文件太大，录音到此为止：%1（%2）").arg(name_, reason));
  throw EInOutError(QStringLiteral("Cannot write file %1: %2").arg(name_, reason));
}

void TAuFileStream::Write(const void* data, qint64 count)
{
  if (fd_ < 0) Fail(EBADF);
  const char* p = static_cast<const char*>(data);
  const off_t start = seekable_ ? ::lseek(fd_, 0, SEEK_CUR) : -1;
  // A block written in part ends the file mid-frame: it goes again, whole or not at all.
  const auto failWith = [&](int err) {
    if (start >= 0 && ::ftruncate(fd_, start) == 0) {
      written_ -= p - static_cast<const char*>(data);
      ::lseek(fd_, start, SEEK_SET);
    }
    Fail(err);
  };
  while (count > 0) {
    const ssize_t n = ::write(fd_, p, static_cast<size_t>(count));
    if (n < 0) {
      if (errno == EINTR) continue;
      failWith(errno);
    }
    if (n == 0) failWith(ENOSPC);
    p += n;
    count -= n;
    written_ += n;
  }
}

void TAuFileStream::WriteAt(qint64 offset, const void* data, qint64 count)
{
  if (fd_ < 0) Fail(EBADF);
  const char* p = static_cast<const char*>(data);
  while (count > 0) {
    const ssize_t n = ::pwrite(fd_, p, static_cast<size_t>(count), offset);
    if (n < 0) {
      if (errno == EINTR) continue;
      Fail(errno);
    }
    if (n == 0) Fail(ENOSPC);
    p += n;
    count -= n;
    offset += n;
  }
}

qint64 TAuFileStream::ReadAt(qint64 offset, void* data, qint64 count)
{
  if (fd_ < 0) return -1;
  ssize_t n;
  do {
    n = ::pread(fd_, data, static_cast<size_t>(count), offset);
  } while (n < 0 && errno == EINTR);
  return n;
}

void TAuFileStream::Close()
{
  if (fd_ < 0) return;
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0 && errno != EINTR) Fail(errno);
}

TAuStreamedOutput::TAuStreamedOutput(TComponent* AOwner) : TAuOutput(AOwner) {}
TAuStreamedOutput::~TAuStreamedOutput() = default;

TAuFileOut::TAuFileOut(TComponent* AOwner) : TAuStreamedOutput(AOwner) {}
