#include "toolkit/thread.h"
#include "support/pump.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <atomic>
#include <gtest/gtest.h>

namespace {

TEST(ThreadTest, CreatedSuspendedRunsOnlyAfterResume)
{
  std::atomic<bool> ran{false};
  TFunctionThread t([&](TFunctionThread&) { ran = true; });
  EXPECT_TRUE(t.Suspended());
  EXPECT_FALSE(ran);
  t.Resume();
  t.WaitFor();
  EXPECT_TRUE(ran);
  EXPECT_TRUE(t.Finished());
}

TEST(ThreadTest, SynchronizeRunsOnTheUiThreadAndWaits)
{
  std::atomic<bool> onUi{false};
  std::atomic<int> order{0};
  int seenAfter = -1;
  TFunctionThread t([&](TFunctionThread&) {
    TThread::Synchronize([&] {
      onUi = TThread::IsMainThread();
      order = 1;
    });
    seenAfter = order;  // the call has completed before Synchronize returns
  });
  t.Resume();
  t.WaitFor();
  EXPECT_TRUE(onUi);
  EXPECT_EQ(seenAfter, 1);
}

TEST(ThreadTest, WaitingUiThreadServicesAWorkerBlockedInSynchronize)
{
  // The worker blocks in Synchronize while the UI thread waits for it to end;
  // without servicing, both would wait forever.
  std::atomic<int> calls{0};
  TFunctionThread t([&](TFunctionThread&) {
    for (int i = 0; i < 50; ++i) TThread::Synchronize([&] { ++calls; });
  });
  t.Resume();
  t.WaitFor();
  EXPECT_EQ(calls, 50);
}

TEST(ThreadTest, FailureInASynchronisedCallIsRaisedInTheWorker)
{
  QString caught;
  TFunctionThread t([&](TFunctionThread&) {
    try {
      TThread::Synchronize([] { throw Exception("boom"); });
    } catch (const Exception& e) {
      caught = e.Message();
    }
  });
  t.Resume();
  t.WaitFor();
  EXPECT_EQ(caught, "boom");
}

TEST(ThreadTest, SelfSuspendAndResumeAgain)
{
  std::atomic<int> rounds{0};
  TFunctionThread t([&](TFunctionThread& self) {
    while (!self.Terminated()) {
      ++rounds;
      self.Suspend();
    }
  });
  t.Resume();
  ASSERT_TRUE(PumpUntil([&] { return rounds == 1 && t.Suspended(); }));
  t.Resume();
  ASSERT_TRUE(PumpUntil([&] { return rounds == 2 && t.Suspended(); }));
  EXPECT_THROW(t.Suspend(), EThread);  // only the thread itself may suspend
  // Destruction terminates, resumes and joins the suspended thread.
}

TEST(ThreadTest, ThreadThatSuspendsAfterBeingTerminatedIsStillJoined)
{
  // The worker sees Terminated() false, then gets to Suspend only after
  // TerminateAndWait has resumed it: that resume must not be lost. The
  // synchronised call forces the order, as it can only run once the UI thread
  // waits inside TerminateAndWait, past its Resume.
  std::atomic<bool> checked{false}, rescued{false}, joined{false};
  TFunctionThread t([&](TFunctionThread& self) {
    if (self.Terminated()) return;
    checked = true;
    while (!self.Terminated()) std::this_thread::yield();
    TThread::Synchronize([] {});
    self.Suspend();
  });
  t.Resume();
  ASSERT_TRUE(PumpUntil([&] { return checked.load(); }));
  // A lost resume would hang the join below for good: a watchdog resumes the
  // thread after a while and the test fails instead.
  std::mutex m;
  std::condition_variable cv;
  std::thread watchdog([&] {
    std::unique_lock lock(m);
    if (!cv.wait_for(lock, std::chrono::seconds(5), [&] { return joined.load(); })) {
      rescued = true;
      t.Resume();
    }
  });
  t.TerminateAndWait();
  {
    std::lock_guard lock(m);
    joined = true;
  }
  cv.notify_all();
  watchdog.join();
  EXPECT_TRUE(t.Finished());
  EXPECT_FALSE(rescued) << "the resume of TerminateAndWait was lost";
}

TEST(ThreadTest, EventLoopServicesSynchronisedCallsToo)
{
  std::atomic<bool> done{false};
  TFunctionThread t([&](TFunctionThread&) { TThread::Synchronize([&] { done = true; }); });
  t.Resume();
  PumpUntil([&] { return done.load(); });
  EXPECT_TRUE(done);
  t.WaitFor();
}

TEST(ThreadTest, FreeOnTerminateDeletesItself)
{
  static std::atomic<bool> deleted{false};
  struct Self : TThread {
    ~Self() override { deleted = true; }
    void Execute() override {}
  };
  auto* t = new Self;
  t->FreeOnTerminate = true;
  t->Resume();
  EXPECT_TRUE(PumpUntil([] { return deleted.load(); }));
}

TEST(ThreadTest, EscapedFailureIsKept)
{
  TFunctionThread t([](TFunctionThread&) { throw Exception("worker failed"); });
  t.Resume();
  t.WaitFor();
  ASSERT_TRUE(t.FatalException);
  try {
    std::rethrow_exception(t.FatalException);
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "worker failed");
  }
}

} // namespace
