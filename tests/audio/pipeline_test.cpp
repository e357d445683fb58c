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
  std::atomic<int> Done{0}, Progress{0}, Failures{0};
  QString LastFailure;
  std::vector<std::string> Order;
  void Attach(TAuOutput& out)
  {
    out.SetOnDone(TOutputDoneEvent([this, &out](TObject* s) {
      EXPECT_EQ(s, &out);
      EXPECT_TRUE(TThread::IsMainThread());
      Order.push_back("done");
      ++Done;
    }));
    out.SetOnProgress(TOutputProgressEvent([this](TObject*) {
      EXPECT_TRUE(TThread::IsMainThread());
      ++Progress;
    }));
    out.SetOnThreadException(TThreadExceptionEvent([this](TObject*, const QString& m) {
      EXPECT_TRUE(TThread::IsMainThread());
      Order.push_back("failure");
      LastFailure = m;
      ++Failures;
    }));
  }
};

struct PipelineFixture : ::testing::Test {
  QTemporaryDir Dir;
  TToneInput Input;
  // The handlers write into `ev`, so it outlives the output.
  Events Ev;
  TMP3Out Out{nullptr};
  void SetUp() override
  {
    Out.SetInput(&Input);
    Out.SetFileName(Dir.filePath("run.mp3"));
    Out.SetId3TagTitle(QStringLiteral("Test"));
    Ev.Attach(Out);
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
  Input.SetSize(-1);
  EXPECT_EQ(Out.Progress(), -1) << "endless input";
  Input.SetSize(0);
  EXPECT_EQ(Out.Progress(), 0);
  Input.SetSize(1000);
  Input.SetPosition(125);
  EXPECT_EQ(Out.Progress(), 12) << "12.5 rounds to even";
  Input.SetPosition(135);
  EXPECT_EQ(Out.Progress(), 14);
  Input.SetPosition(1764000);
  EXPECT_EQ(Out.ElapsedSeconds(), 10);
  Input.SetPosition(44100 * 4 * 5 / 2);
  EXPECT_EQ(Out.ElapsedSeconds(), 2) << "2.5 s rounds to even";
  Out.SetInput(nullptr);
  EXPECT_EQ(Out.Progress(), 0);
  EXPECT_EQ(Out.ElapsedSeconds(), 0);
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

  Out.Start();
  EXPECT_NE(Out.State(), TAuOutput::asIdle);
  try {
    Out.Start();
    FAIL() << "a second Start must raise";
  } catch (const EAuException& e) {
    EXPECT_EQ(e.Message(), "Component is Busy");
  }
  // The run goes on after the refused Start.
  const qint64 before = Input.Position();
  ASSERT_TRUE(WaitUntil([&] { return Input.Position() > before + 100000; }));
  Out.RequestStop(true);
  Out.WaitForStop();
  EXPECT_EQ(Out.State(), TAuOutput::asIdle);
  EXPECT_EQ(Input.Closes.load(), 1);
  ASSERT_TRUE(WaitUntil([&] { return Ev.Done.load() == 1; }));
  EXPECT_EQ(Ev.Failures.load(), 0);
}

TEST_F(PipelineFixture, StopFinishesTheFileBeforeWaitReturnsAndDoneFollows)
{
  Out.Start();
  ASSERT_TRUE(WaitUntil([&] { return Input.Position() > 200000; }));
  Out.RequestStop(true);
  Out.WaitForStop();
  // FinishOutput has run: the input is closed and the file is complete.
  EXPECT_FALSE(Input.Busy());
  EXPECT_EQ(ReadAll(Dir.filePath("run.mp3")).right(128).left(3), QByteArray("TAG"));
  ASSERT_TRUE(WaitUntil([&] { return Ev.Done.load() == 1; }));
  EXPECT_EQ(Out.State(), TAuOutput::asIdle);

  // A stop without notice delivers no OnDone; a later run that ends by itself does.
  Out.Start();
  Out.RequestStop(false);
  Out.WaitForStop();
  EXPECT_EQ(Out.State(), TAuOutput::asIdle);
  Input.TotalBytes = 50000;
  Out.Start();
  ASSERT_TRUE(WaitUntil([&] { return Ev.Done.load() >= 2; }));
  ASSERT_TRUE(WaitUntil([&] { return Out.State() == TAuOutput::asIdle; }));
  EXPECT_EQ(Ev.Done.load(), 2);
  EXPECT_EQ(Input.Opens.load(), 3);
  EXPECT_EQ(Input.Closes.load(), 3);
}

TEST_F(PipelineFixture, RequestStopOnIdleChangesNothingAndStartClearsIt)
{
  Out.RequestStop(true);
  Out.WaitForStop();
  EXPECT_EQ(Out.State(), TAuOutput::asIdle);
  Input.TotalBytes = 44100 * 4;
  Out.Start();
  ASSERT_TRUE(WaitUntil([&] { return Ev.Done.load() == 1; }));
  EXPECT_EQ(Input.Position(), 44100 * 4) << "the old stop request did not cut the run short";
}

TEST_F(PipelineFixture, ProgressIsReportedOnTheUiThread)
{
  Input.TotalBytes = 44100 * 4 * 2;
  Out.Start();
  ASSERT_TRUE(WaitUntil([&] { return Ev.Done.load() == 1; }));
  EXPECT_GE(Ev.Progress.load(), 10);
  EXPECT_LE(Ev.Progress.load(), 101);
}

TEST_F(PipelineFixture, StartFailuresAreReportedNotRaised)
{
  Out.SetFileName(QString());
  Out.Start();
  EXPECT_EQ(Ev.LastFailure, "File name is not assigned.");
  EXPECT_EQ(Out.State(), TAuOutput::asIdle);

  const QString missing = Dir.filePath("no/such/folder/x.mp3");
  Out.SetFileName(missing);
  Out.Start();
  EXPECT_EQ(Ev.LastFailure, "Cannot create file " + missing + ": No such file or directory");
  // A folder where the file should be: a different reason, said as such.
  Out.SetFileName(Dir.path());
  Out.Start();
  EXPECT_EQ(Ev.LastFailure, "Cannot create file " + Dir.path() + ": Is a directory");
  EXPECT_EQ(Out.State(), TAuOutput::asIdle);
  EXPECT_FALSE(Input.Busy());

  Input.FailOpen = true;
  Out.SetFileName(Dir.filePath("left.mp3"));
  Out.Start();
  EXPECT_EQ(Ev.LastFailure, "tone input cannot open");
  EXPECT_TRUE(QFile::exists(Dir.filePath("left.mp3"))) << "the created file stays, empty";
  EXPECT_EQ(QFile(Dir.filePath("left.mp3")).size(), 0);
  EXPECT_EQ(Ev.Failures.load(), 4);

  // A later Start works.
  Input.FailOpen = false;
  Input.TotalBytes = 40000;
  Out.Start();
  ASSERT_TRUE(WaitUntil([&] { return Ev.Done.load() == 1; }));
  EXPECT_TRUE(DecodeMp3(Dir.filePath("left.mp3")).Ok);
}

TEST_F(PipelineFixture, DiskFullEndsTheRunAndReportsIt)
{
  Out.SetFileName("/dev/full");
  Out.Start();
  ASSERT_TRUE(WaitUntil([&] { return Ev.Failures.load() == 1; }));
  EXPECT_TRUE(Ev.LastFailure.startsWith("Cannot write file /dev/full")) << Ev.LastFailure.toStdString();
  ASSERT_TRUE(WaitUntil([&] { return Ev.Done.load() == 1; })) << "OnDone still follows a failure";
  EXPECT_EQ(Ev.Order, (std::vector<std::string>{"failure", "done"}));
  EXPECT_EQ(Out.State(), TAuOutput::asIdle);
  EXPECT_FALSE(Input.Busy());
}

TEST_F(PipelineFixture, WriteFailureMidwayLeavesAPlayableFile)
{
  // A file size limit makes writes fail part way, as a full disk would.
  bool failed;
  {
    TScopedFileSizeLimit limit(40000);
    Out.Start();
    failed = WaitUntil([&] { return Ev.Failures.load() == 1; });
  }
  ASSERT_TRUE(failed);
  // Said in the user's words with the system's reason.
  EXPECT_TRUE(Ev.LastFailure.contains("文件太大")) << Ev.LastFailure.toStdString();
  EXPECT_TRUE(Ev.LastFailure.contains("File too large")) << Ev.LastFailure.toStdString();
  ASSERT_TRUE(WaitUntil([&] { return Out.State() == TAuOutput::asIdle; }));
  const TDecoded d = DecodeMp3(Dir.filePath("run.mp3"));
  ASSERT_TRUE(d.Ok);
  EXPECT_GT(d.Seconds(), 2.0) << "the audio written before the failure plays";
  const TToneStats t = AnalyzeTone(d, 0, 4410, d.Frames() - 4410);
  EXPECT_NEAR(t.Frequency, 1000, 10);
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
  Input.FailAtBytes = 100000;
  Out.Start();
  ASSERT_TRUE(WaitUntil([&] { return Ev.Done.load() == 1; }));
  EXPECT_EQ(Ev.LastFailure, "tone input failed");
  EXPECT_EQ(Ev.Order, (std::vector<std::string>{"failure", "done"}));
  EXPECT_EQ(Input.Closes.load(), 1);
  EXPECT_TRUE(DecodeMp3(Dir.filePath("run.mp3")).Ok);

  Input.FailAtBytes = -1;
  Input.TotalBytes = 30000;
  Out.Start();
  ASSERT_TRUE(WaitUntil([&] { return Ev.Done.load() == 2; }));
  EXPECT_EQ(Ev.Failures.load(), 1);
}

TEST_F(PipelineFixture, RemovingTheInputStopsTheRun)
{
  auto* owner = new TComponent(nullptr);
  auto* in2 = new TToneInput(owner);
  Out.SetInput(in2);
  Out.Start();
  ASSERT_TRUE(WaitUntil([&] { return in2->Position() > 100000; }));
  TComponent::Free(owner);
  EXPECT_EQ(Out.Input(), nullptr);
  EXPECT_EQ(Out.State(), TAuOutput::asIdle);
  const TDecoded d = DecodeMp3(Dir.filePath("run.mp3"));
  EXPECT_TRUE(d.Ok);
  EXPECT_GT(d.Seconds(), 0.4);
}

TEST_F(PipelineFixture, ChangingTheInputWhileBusyRestartsOnTheNewOne)
{
  TToneInput other;
  other.Frequency = 2000;
  Out.Start();
  ASSERT_TRUE(WaitUntil([&] { return Input.Position() > 50000; }));
  Out.SetInput(&other);
  EXPECT_FALSE(Input.Busy());
  EXPECT_TRUE(other.Busy());
  ASSERT_TRUE(WaitUntil([&] { return other.Position() > 50000; }));
  Out.RequestStop(false);
  Out.WaitForStop();
  EXPECT_EQ(Out.State(), TAuOutput::asIdle);
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
  EXPECT_TRUE(DecodeMp3(dir.filePath("a.mp3")).Ok);
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
  EXPECT_TRUE(DecodeMp3(dir.filePath("b.mp3")).Ok);
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
  EXPECT_TRUE(DecodeMp3(dir.filePath("e.mp3")).Ok);
}

TEST_F(PipelineFixture, StopRequestedFromAnEventHandlerEndsTheRun)
{
  Input.TotalBytes = 44100 * 4 * 10;
  bool asked = false;
  Out.SetOnProgress(TOutputProgressEvent([&](TObject*) {
    if (asked || Input.Position() < 100000) return;
    asked = true;
    // The worker waits for this handler, so WaitForStop cannot wait for it.
    Out.RequestStop(false);
    Out.WaitForStop();
  }));
  Out.Start();
  ASSERT_TRUE(WaitUntil([&] { return asked && Out.State() == TAuOutput::asIdle; }));
  EXPECT_LT(Input.Position(), 44100 * 4 * 10);
  EXPECT_FALSE(Input.Busy());
  // No OnDone for a stop without notice: a second, natural run brings the only one.
  Input.TotalBytes = 20000;
  Out.SetOnProgress({});
  Out.Start();
  ASSERT_TRUE(WaitUntil([&] { return Ev.Done.load() == 1; }));
  ASSERT_TRUE(WaitUntil([&] { return Out.State() == TAuOutput::asIdle; }));
  EXPECT_EQ(Ev.Done.load(), 1);
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
