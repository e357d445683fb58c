// Worker threads with the desktop toolkit's model: created suspended (Resume
// starts them), a thread may suspend itself until another thread resumes it, and
// Synchronize runs a call on the UI thread while the worker waits for it.
//
// The UI thread services queued synchronised calls in its event loop and, while
// it waits for a worker, through CheckSynchronize: a worker blocked in
// Synchronize and a UI thread waiting for that worker never wait for each other
// as long as the UI thread waits with WaitFor or a CheckSynchronize loop.
#pragma once

#include "toolkit/exceptions.h"

#include <atomic>
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

class TThread {
public:
  TThread();
  // Terminates, resumes and joins a thread that still runs. A thread that
  // frees itself (FreeOnTerminate) is never deleted by anyone else. Classes
  // whose Execute uses their own members call TerminateAndWait in their
  // destructor, before those members go.
  virtual ~TThread();
  void TerminateAndWait();
  TThread(const TThread&) = delete;
  TThread& operator=(const TThread&) = delete;

  // Lets a suspended thread run; the first call starts it.
  void Resume();
  // Only the thread itself may suspend: it blocks until Resume. A thread
  // already told to terminate returns at once.
  void Suspend();
  bool Suspended() const { return suspended_.load(); }

  void Terminate() { terminated_ = true; }
  bool Terminated() const { return terminated_.load(); }
  bool Finished() const { return finished_.load(); }

  // Waits until Execute has returned. On the UI thread it keeps running queued
  // synchronised calls meanwhile. Returns ReturnValue.
  int WaitFor();

  // Delete the object when Execute returns (set before the thread can end).
  std::atomic<bool> FreeOnTerminate{false};
  int ReturnValue = 0;
  // A failure that escaped Execute, kept for whoever asks.
  std::exception_ptr FatalException;

  // Runs `method` on the UI thread and waits for it; on the UI thread it runs
  // at once. A failure raised by `method` is raised again in the caller.
  static void Synchronize(const std::function<void()>& method);
  // Runs `method` on the UI thread later, without waiting.
  static void Queue(std::function<void()> method);
  static bool IsMainThread();
  bool IsCurrentThread() const { return std::this_thread::get_id() == id_.load(); }

protected:
  virtual void Execute() = 0;

private:
  void Run();

  std::thread thread_;
  std::atomic<std::thread::id> id_{};
  std::mutex mutex_;
  std::condition_variable resumed_;
  std::atomic<bool> suspended_{true};
  std::atomic<bool> terminated_{false};
  std::atomic<bool> finished_{false};
  std::atomic<bool> started_{false};
};

// A thread that runs a function: for short-lived helpers and tests.
class TFunctionThread : public TThread {
public:
  explicit TFunctionThread(std::function<void(TFunctionThread&)> body) : body_(std::move(body)) {}
  ~TFunctionThread() override;
  using TThread::Suspend;

protected:
  void Execute() override { body_(*this); }

private:
  std::function<void(TFunctionThread&)> body_;
};

// On the UI thread: runs every queued synchronised call. With a timeout it
// first waits up to that long for one to arrive. Returns true when it ran any.
bool CheckSynchronize(int timeoutMs = 0);
