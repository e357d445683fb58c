// The start/stop protocol, events and failure paths of the stream pipeline.
#include "audio/mp3_out.h"
#include "audio_test_util.h"
#include "support/scoped_process_state.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <thread>

namespace {

struct Events {
  std::atomic<int> done{0}, progress{0}, failures{0};
  QString lastFailure;
  std::vector<std::string> order;
  void Attach(TAuOutput& out)
  {
    out.SetOnDone(TOutputDoneEvent([this, &out](TObject* s) {
      EXPECT_EQ(s, &out);
      EXPECT_TRUE(TThread::IsMainThread());
      order.push_back("done");
      ++done;
    }));
    out.SetOnProgress(TOutputProgressEvent([this](TObject*) {
      EXPECT_TRUE(TThread::IsMainThread());
      ++progress;
    }));
    out.SetOnThreadException(TThreadExceptionEvent([this](TObject*, const QString& m) {
      EXPECT_TRUE(TThread::IsMainThread());
      order.push_back("failure");
      lastFailure = m;
      ++failures;
    }));
  }
};

struct PipelineFixture : ::testing::Test {
  QTemporaryDir dir;
  TToneInput input;
  // The handlers write into `ev`, so it outlives the output.
  Events ev;
  TMP3Out out{nullptr};
  void SetUp() override
  {
    out.SetInput(&input);
    out.SetFileName(dir.filePath("run.mp3"));
    out.SetId3TagTitle(QStringLiteral("Test"));
    ev.Attach(out);
  }
};

TEST(RoundHalfEvenTest, RoundsHalvesToEven)
{
  EXPECT_EQ(RoundHalfEven(5, 2), 2);
  EXPECT_EQ(RoundHalfEven(7, 2), 4);
  EXPECT_EQ(RoundHalfEven(1764000, 176400), 10);
  EXPECT_EQ(RoundHalfEven(1, 3), 0);
  EXPECT_EQ(RoundHalfEven(2, 3), 1);
}

TEST_F(PipelineFixture, ProgressAndElapsedFollowTheInput)
{
  input.SetSize(-1);
  EXPECT_EQ(out.Progress(), -1) << "endless input";
  input.SetSize(0);
  EXPECT_EQ(out.Progress(), 0);
  input.SetSize(1000);
  input.SetPosition(125);
  EXPECT_EQ(out.Progress(), 12) << "12.5 rounds to even";
  input.SetPosition(135);
  EXPECT_EQ(out.Progress(), 14);
  input.SetPosition(1764000);
  EXPECT_EQ(out.ElapsedSeconds(), 10);
  input.SetPosition(44100 * 4 * 5 / 2);
  EXPECT_EQ(out.ElapsedSeconds(), 2) << "2.5 s rounds to even";
  out.SetInput(nullptr);
  EXPECT_EQ(out.Progress(), 0);
  EXPECT_EQ(out.ElapsedSeconds(), 0);
}

TEST_F(PipelineFixture, StartGuardsAndBusyRun)
{
  TMP3Out lone(nullptr);
  try {
    lone.Start();
    FAIL() << "Start without input must raise";
  } catch (const EAuException& e) {
    EXPECT_EQ(e.Message(), "Input is not assigned");
  }
  EXPECT_EQ(lone.State(), TAuOutput::asIdle);

  out.Start();
  EXPECT_NE(out.State(), TAuOutput::asIdle);
  try {
    out.Start();
    FAIL() << "a second Start must raise";
  } catch (const EAuException& e) {
    EXPECT_EQ(e.Message(), "Component is Busy");
  }
  // The run goes on after the refused Start.
  const qint64 before = input.Position();
  ASSERT_TRUE(WaitUntil([&] { return input.Position() > before + 100000; }));
  out.RequestStop(true);
  out.WaitForStop();
  EXPECT_EQ(out.State(), TAuOutput::asIdle);
  EXPECT_EQ(input.Closes.load(), 1);
  ASSERT_TRUE(WaitUntil([&] { return ev.done.load() == 1; }));
  EXPECT_EQ(ev.failures.load(), 0);
}

TEST_F(PipelineFixture, StopFinishesTheFileBeforeWaitReturnsAndDoneFollows)
{
  out.Start();
  ASSERT_TRUE(WaitUntil([&] { return input.Position() > 200000; }));
  out.RequestStop(true);
  out.WaitForStop();
  // FinishOutput has run: the input is closed and the file is complete.
  EXPECT_FALSE(input.Busy());
  EXPECT_EQ(ReadAll(dir.filePath("run.mp3")).right(128).left(3), QByteArray("TAG"));
  ASSERT_TRUE(WaitUntil([&] { return ev.done.load() == 1; }));
  EXPECT_EQ(out.State(), TAuOutput::asIdle);

  // A stop without notice delivers no OnDone; a later run that ends by itself does.
  out.Start();
  out.RequestStop(false);
  out.WaitForStop();
  EXPECT_EQ(out.State(), TAuOutput::asIdle);
  input.TotalBytes = 50000;
  out.Start();
  ASSERT_TRUE(WaitUntil([&] { return ev.done.load() >= 2; }));
  ASSERT_TRUE(WaitUntil([&] { return out.State() == TAuOutput::asIdle; }));
  EXPECT_EQ(ev.done.load(), 2);
  EXPECT_EQ(input.Opens.load(), 3);
  EXPECT_EQ(input.Closes.load(), 3);
}

TEST_F(PipelineFixture, RequestStopOnIdleChangesNothingAndStartClearsIt)
{
  out.RequestStop(true);
  out.WaitForStop();
  EXPECT_EQ(out.State(), TAuOutput::asIdle);
  input.TotalBytes = 44100 * 4;
  out.Start();
  ASSERT_TRUE(WaitUntil([&] { return ev.done.load() == 1; }));
  EXPECT_EQ(input.Position(), 44100 * 4) << "the old stop request did not cut the run short";
}

TEST_F(PipelineFixture, ProgressIsReportedOnTheUiThread)
{
  input.TotalBytes = 44100 * 4 * 2;
  out.Start();
  ASSERT_TRUE(WaitUntil([&] { return ev.done.load() == 1; }));
  EXPECT_GE(ev.progress.load(), 10);
  EXPECT_LE(ev.progress.load(), 101);
}

TEST_F(PipelineFixture, StartFailuresAreReportedNotRaised)
{
  out.SetFileName(QString());
  out.Start();
  EXPECT_EQ(ev.lastFailure, "File name is not assigned.");
  EXPECT_EQ(out.State(), TAuOutput::asIdle);

  const QString missing = dir.filePath("no/such/folder/x.mp3");
  out.SetFileName(missing);
  out.Start();
  EXPECT_EQ(ev.lastFailure, "Cannot create file " + missing + ": No such file or directory");
  // A folder where the file should be: a different reason, said as such.
  out.SetFileName(dir.path());
  out.Start();
  EXPECT_EQ(ev.lastFailure, "Cannot create file " + dir.path() + ": Is a directory");
  EXPECT_EQ(out.State(), TAuOutput::asIdle);
  EXPECT_FALSE(input.Busy());

  input.FailOpen = true;
  out.SetFileName(dir.filePath("left.mp3"));
  out.Start();
  EXPECT_EQ(ev.lastFailure, "tone input cannot open");
  EXPECT_TRUE(QFile::exists(dir.filePath("left.mp3"))) << "the created file stays, empty";
  EXPECT_EQ(QFile(dir.filePath("left.mp3")).size(), 0);
  EXPECT_EQ(ev.failures.load(), 4);

  // A later Start works.
  input.FailOpen = false;
  input.TotalBytes = 40000;
  out.Start();
  ASSERT_TRUE(WaitUntil([&] { return ev.done.load() == 1; }));
  EXPECT_TRUE(DecodeMp3(dir.filePath("left.mp3")).ok);
}

TEST_F(PipelineFixture, DiskFullEndsTheRunAndReportsIt)
{
  out.SetFileName("/dev/full");
  out.Start();
  ASSERT_TRUE(WaitUntil([&] { return ev.failures.load() == 1; }));
  EXPECT_TRUE(ev.lastFailure.startsWith("Cannot write file /dev/full")) << ev.lastFailure.toStdString();
  ASSERT_TRUE(WaitUntil([&] { return ev.done.load() == 1; })) << "OnDone still follows a failure";
  EXPECT_EQ(ev.order, (std::vector<std::string>{"failure", "done"}));
  EXPECT_EQ(out.State(), TAuOutput::asIdle);
  EXPECT_FALSE(input.Busy());
}

TEST_F(PipelineFixture, WriteFailureMidwayLeavesAPlayableFile)
{
  // A file size limit makes writes fail part way, as a full disk would.
  bool failed;
  {
    TScopedFileSizeLimit limit(40000);
    out.Start();
    failed = WaitUntil([&] { return ev.failures.load() == 1; });
  }
  ASSERT_TRUE(failed);
  // Said in the user's words with the system's reason.
  EXPECT_TRUE(ev.lastFailure.contains("文件太大")) << ev.lastFailure.toStdString();
  EXPECT_TRUE(ev.lastFailure.contains("File too large")) << ev.lastFailure.toStdString();
  ASSERT_TRUE(WaitUntil([&] { return out.State() == TAuOutput::asIdle; }));
  const TDecoded d = DecodeMp3(dir.filePath("run.mp3"));
  ASSERT_TRUE(d.ok);
  EXPECT_GT(d.Seconds(), 2.0) << "the audio written before the failure plays";
  const TToneStats t = AnalyzeTone(d, 0, 4410, d.Frames() - 4410);
  EXPECT_NEAR(t.frequency, 1000, 10);
}

TEST(FileStream, ABlockCutShortByTheSizeLimitIsTakenBack)
{
  QTemporaryDir dir;
  const QString path = dir.filePath("cut.mp3");
  TAuFileStream stream(path);
  const QByteArray block(100, 'x');
  TScopedFileSizeLimit limit(150);
  stream.Write(block.constData(), block.size());
  EXPECT_THROW(stream.Write(block.constData(), block.size()), EInOutError);
  // Half of the second block fitted; the file ends after the first, whole.
  EXPECT_EQ(QFileInfo(path).size(), 100);
  EXPECT_EQ(stream.Written(), 100);
}

TEST_F(PipelineFixture, FailureWhileRunningEndsTheRunAndLaterRunsWork)
{
  input.FailAtBytes = 100000;
  out.Start();
  ASSERT_TRUE(WaitUntil([&] { return ev.done.load() == 1; }));
  EXPECT_EQ(ev.lastFailure, "tone input failed");
  EXPECT_EQ(ev.order, (std::vector<std::string>{"failure", "done"}));
  EXPECT_EQ(input.Closes.load(), 1);
  EXPECT_TRUE(DecodeMp3(dir.filePath("run.mp3")).ok);

  input.FailAtBytes = -1;
  input.TotalBytes = 30000;
  out.Start();
  ASSERT_TRUE(WaitUntil([&] { return ev.done.load() == 2; }));
  EXPECT_EQ(ev.failures.load(), 1);
}

TEST_F(PipelineFixture, RemovingTheInputStopsTheRun)
{
  auto* owner = new TComponent(nullptr);
  auto* in2 = new TToneInput(owner);
  out.SetInput(in2);
  out.Start();
  ASSERT_TRUE(WaitUntil([&] { return in2->Position() > 100000; }));
  TComponent::Free(owner);
  EXPECT_EQ(out.Input(), nullptr);
  EXPECT_EQ(out.State(), TAuOutput::asIdle);
  const TDecoded d = DecodeMp3(dir.filePath("run.mp3"));
  EXPECT_TRUE(d.ok);
  EXPECT_GT(d.Seconds(), 0.4);
}

TEST_F(PipelineFixture, ChangingTheInputWhileBusyRestartsOnTheNewOne)
{
  TToneInput other;
  other.Frequency = 2000;
  out.Start();
  ASSERT_TRUE(WaitUntil([&] { return input.Position() > 50000; }));
  out.SetInput(&other);
  EXPECT_FALSE(input.Busy());
  EXPECT_TRUE(other.Busy());
  ASSERT_TRUE(WaitUntil([&] { return other.Position() > 50000; }));
  out.RequestStop(false);
  out.WaitForStop();
  EXPECT_EQ(out.State(), TAuOutput::asIdle);
}

TEST(PipelineLifetime, DestroyingARunningOutputClosesTheFile)
{
  QTemporaryDir dir;
  TToneInput input;
  auto* out = new TMP3Out(nullptr);
  out->SetInput(&input);
  out->SetFileName(dir.filePath("a.mp3"));
  out->Start();
  ASSERT_TRUE(WaitUntil([&] { return input.Position() > 100000; }));
  TComponent::Free(out);
  EXPECT_FALSE(input.Busy());
  EXPECT_TRUE(DecodeMp3(dir.filePath("a.mp3")).ok);
}

TEST(PipelineLifetime, DestroyingTheOutputFromItsOwnEventIsSafe)
{
  QTemporaryDir dir;
  TToneInput input;
  input.TotalBytes = 44100 * 4 * 4;
  auto* out = new TMP3Out(nullptr);
  out->SetInput(&input);
  out->SetFileName(dir.filePath("b.mp3"));
  bool freed = false;
  out->SetOnProgress(TOutputProgressEvent([&](TObject*) {
    if (!freed && input.Position() > 100000) {
      freed = true;
      TComponent::Free(out);  // the worker is waiting for this very call
    }
  }));
  out->Start();
  ASSERT_TRUE(WaitUntil([&] { return freed; }));
  EXPECT_FALSE(input.Busy());
  const qint64 position = input.Position();
  // The orphaned worker ends without reading on.
  WaitUntil([] { return false; }, 100);
  EXPECT_EQ(input.Position(), position);
  EXPECT_TRUE(DecodeMp3(dir.filePath("b.mp3")).ok);
}

// Blocks in ReadData until the output interrupts the read, then fails as a
// device that vanished would.
class TStallingInput : public TToneInput {
public:
  std::atomic<bool> Waiting{false}, Interrupted{false};
  int ReadData(void* buffer, int capacity) override
  {
    if (Position() < 100000) return TToneInput::ReadData(buffer, capacity);
    Waiting = true;
    while (!Interrupted) std::this_thread::yield();
    throw EAuException(QStringLiteral("device is gone"));
  }
  void InterruptRead() override { Interrupted = true; }
};

TEST(PipelineLifetime, NoHandlerRunsOnceDestructionBegins)
{
  // The owner's handlers may already be gone when the output is destroyed: a
  // failure raised by the stop that destruction makes still closes the file,
  // but reaches no handler.
  QTemporaryDir dir;
  TStallingInput input;
  auto* out = new TMP3Out(nullptr);
  out->SetInput(&input);
  out->SetFileName(dir.filePath("e.mp3"));
  std::atomic<int> calls{0};
  out->SetOnThreadException(TThreadExceptionEvent([&](TObject*, const QString&) { ++calls; }));
  out->SetOnDone(TOutputDoneEvent([&](TObject*) { ++calls; }));
  out->Start();
  ASSERT_TRUE(WaitUntil([&] { return input.Waiting.load(); }));
  TComponent::Free(out);
  EXPECT_TRUE(input.Interrupted.load());
  EXPECT_EQ(calls.load(), 0) << "a handler ran during destruction";
  EXPECT_FALSE(input.Busy());
  EXPECT_TRUE(DecodeMp3(dir.filePath("e.mp3")).ok);
}

TEST_F(PipelineFixture, StopRequestedFromAnEventHandlerEndsTheRun)
{
  input.TotalBytes = 44100 * 4 * 10;
  bool asked = false;
  out.SetOnProgress(TOutputProgressEvent([&](TObject*) {
    if (asked || input.Position() < 100000) return;
    asked = true;
    // The worker waits for this handler, so WaitForStop cannot wait for it.
    out.RequestStop(false);
    out.WaitForStop();
  }));
  out.Start();
  ASSERT_TRUE(WaitUntil([&] { return asked && out.State() == TAuOutput::asIdle; }));
  EXPECT_LT(input.Position(), 44100 * 4 * 10);
  EXPECT_FALSE(input.Busy());
  // No OnDone for a stop without notice: a second, natural run brings the only one.
  input.TotalBytes = 20000;
  out.SetOnProgress({});
  out.Start();
  ASSERT_TRUE(WaitUntil([&] { return ev.done.load() == 1; }));
  ASSERT_TRUE(WaitUntil([&] { return out.State() == TAuOutput::asIdle; }));
  EXPECT_EQ(ev.done.load(), 1);
}

TEST(PipelineLifetime, IdleWorkerWithoutSuspendingStillStartsAndStops)
{
  QTemporaryDir dir;
  TToneInput input;
  input.TotalBytes = 60000;
  TMP3Out out(nullptr);
  out.SetSuspendWhenIdle(false);
  out.SetInput(&input);
  out.SetFileName(dir.filePath("c.mp3"));
  std::atomic<int> done{0};
  out.SetOnDone(TOutputDoneEvent([&](TObject*) { ++done; }));
  for (int i = 1; i <= 3; ++i) {
    out.Start();
    ASSERT_TRUE(WaitUntil([&] { return done.load() == i; }));
    EXPECT_EQ(out.State(), TAuOutput::asIdle);
  }
  out.Start();
  out.RequestStop(false);
  out.WaitForStop();
  EXPECT_EQ(out.State(), TAuOutput::asIdle);
}

TEST(PipelineLifetime, RapidRestartsNeverLoseTheWorker)
{
  QTemporaryDir dir;
  TToneInput input;
  input.TotalBytes = 20000;
  TMP3Out out(nullptr);
  out.SetInput(&input);
  out.SetFileName(dir.filePath("d.mp3"));
  for (int i = 0; i < 30; ++i) {
    ASSERT_TRUE(WaitUntil([&] { return out.State() == TAuOutput::asIdle; }));
    out.Start();
  }
  ASSERT_TRUE(WaitUntil([&] { return out.State() == TAuOutput::asIdle; }));
  EXPECT_EQ(input.Opens.load(), 30);
  EXPECT_EQ(input.Closes.load(), 30);
}

} // namespace
