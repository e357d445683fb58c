#include "toolkit/thread.h"

#include <QCoreApplication>
#include <QThread>
#include <deque>

namespace {
const std::thread::id g_startupThread = std::this_thread::get_id();

struct SyncRequest {
  const std::function<void()>* Method;
  std::exception_ptr Error;
  bool Done = false;
};

std::mutex g_syncMutex;
std::condition_variable g_syncQueued;  // a request arrived
std::condition_variable g_syncDone;    // a request was run
std::deque<SyncRequest*> g_syncQueue;

void WakeMainThread()
{
  if (QCoreApplication* app = QCoreApplication::instance())
    QMetaObject::invokeMethod(app, [] { CheckSynchronize(); }, Qt::QueuedConnection);
}
} // namespace

bool TThread::IsMainThread()
{
  if (QCoreApplication* app = QCoreApplication::instance()) return QThread::currentThread() == app->thread();
  return std::this_thread::get_id() == g_startupThread;
}

TThread::TThread() = default;

TThread::~TThread()
{
  if (IsCurrentThread()) {
    // Freed by itself at the end of Run: the OS thread ends on its own.
    if (thread_.joinable()) thread_.detach();
    return;
  }
  TerminateAndWait();
}

void TThread::TerminateAndWait()
{
  if (IsCurrentThread() || !started_) return;
  Terminate();
  if (!finished_) {
    Resume();
    WaitFor();
  }
  if (thread_.joinable()) thread_.join();
}

void TThread::Resume()
{
  std::unique_lock lock(mutex_);
  if (!started_) {
    started_ = true;
    suspended_ = false;
    thread_ = std::thread([this] { Run(); });
    return;
  }
  suspended_ = false;
  resumed_.notify_all();
}

void TThread::Suspend()
{
  if (!IsCurrentThread()) throw EThread(QStringLiteral("A thread can only suspend itself"));
  std::unique_lock lock(mutex_);
  // A terminated thread is on its way out: the Resume of TerminateAndWait may
  // already have passed, and no other would come. That Resume takes the mutex
  // after the flag is set, so either the flag is seen here or it finds us waiting.
  if (terminated_) return;
  suspended_ = true;
  resumed_.wait(lock, [this] { return !suspended_.load(); });
}

void TThread::Run()
{
  // Resume assigns thread_ under this mutex: a thread that frees itself must
  // not end (and delete this) before that assignment is done.
  { std::lock_guard lock(mutex_); }
  id_ = std::this_thread::get_id();
  try {
    Execute();
  } catch (...) {
    FatalException = std::current_exception();
  }
  // Decide before `finished_` is visible: after it, the owner may delete us.
  const bool freeSelf = FreeOnTerminate.load();
  {
    std::lock_guard lock(g_syncMutex);
    finished_ = true;
  }
  g_syncDone.notify_all();
  g_syncQueued.notify_all();
  if (freeSelf) delete this;
}

int TThread::WaitFor()
{
  if (IsCurrentThread()) throw EThread(QStringLiteral("A thread cannot wait for itself"));
  if (!started_) throw EThread(QStringLiteral("Cannot wait for a thread that never started"));
  if (IsMainThread()) {
    while (!finished_) CheckSynchronize(5);
  }
  if (thread_.joinable()) thread_.join();
  return ReturnValue;
}

void TThread::Synchronize(const std::function<void()>& method)
{
  if (IsMainThread()) {
    method();
    return;
  }
  SyncRequest request{&method, nullptr};
  {
    std::unique_lock lock(g_syncMutex);
    g_syncQueue.push_back(&request);
    g_syncQueued.notify_all();
  }
  WakeMainThread();
  {
    std::unique_lock lock(g_syncMutex);
    g_syncDone.wait(lock, [&] { return request.Done; });
  }
  if (request.Error) std::rethrow_exception(request.Error);
}

void TThread::Queue(std::function<void()> method)
{
  if (QCoreApplication* app = QCoreApplication::instance())
    QMetaObject::invokeMethod(app, std::move(method), Qt::QueuedConnection);
  else
    method();
}

bool CheckSynchronize(int timeoutMs)
{
  if (!TThread::IsMainThread()) throw EThread(QStringLiteral("CheckSynchronize called outside the UI thread"));
  std::deque<SyncRequest*> batch;
  {
    std::unique_lock lock(g_syncMutex);
    if (g_syncQueue.empty() && timeoutMs > 0)
      g_syncQueued.wait_for(lock, std::chrono::milliseconds(timeoutMs));
    batch.swap(g_syncQueue);
  }
  if (batch.empty()) return false;
  for (SyncRequest* r : batch) {
    try {
      (*r->Method)();
    } catch (...) {
      r->Error = std::current_exception();
    }
    std::lock_guard lock(g_syncMutex);
    r->Done = true;
  }
  g_syncDone.notify_all();
  return true;
}

TFunctionThread::~TFunctionThread() { TerminateAndWait(); }
