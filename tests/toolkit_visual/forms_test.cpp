// Forms, the application's loop and error report, the screen, timers.
#include "visual_support.h"

#include "toolkit/forms.h"
#include "toolkit/std_controls.h"
#include "toolkit/thread.h"
#include "toolkit/timer.h"

#include <QProcess>
#include <QTimer>
#include <QWindow>
#include <gtest/gtest.h>

namespace {
struct Deleter {
  void operator()(TComponent* c) const { TComponent::Free(c); }
};
template <typename T>
using Owned = std::unique_ptr<T, Deleter>;

// Later, from the event loop.
void Later(std::function<void()> f) { QTimer::singleShot(0, QCoreApplication::instance(), std::move(f)); }
} // namespace

TEST(Forms, ShowHideAndTheirEvents)
{
  Owned<TForm> f(new TForm(nullptr));
  QStringList log;
  f->SetOnShow([&](TObject*) { log << "show"; });
  f->SetOnHide([&](TObject*) { log << "hide"; });
  f->SetCaption("Velmora");
  EXPECT_FALSE(f->Visible());
  EXPECT_FALSE(f->HandleAllocated());
  f->SetBounds(30, 40, 200, 150);
  f->Show();
  ASSERT_TRUE(f->HandleAllocated());
  EXPECT_TRUE(f->Handle()->isVisible());
  EXPECT_TRUE(f->Showing());
  EXPECT_EQ(f->Handle()->windowTitle(), "Velmora");
  EXPECT_EQ(f->Handle()->size(), QSize(200, 150));
  f->Show();  // already shown: no second notice
  f->Hide();
  EXPECT_FALSE(f->Handle()->isVisible());
  EXPECT_EQ(log, QStringList({"show", "hide"}));
  f->SetCaption("Other");
  EXPECT_EQ(f->Handle()->windowTitle(), "Other");
}

TEST(Forms, WindowKindFollowsBorderStyleStayOnTopAndOpacity)
{
  Owned<TForm> f(new TForm(nullptr));
  f->SetBorderStyle(TForm::bsNone);
  f->SetFormStyle(TForm::fsStayOnTop);
  f->SetAlphaBlendValue(128);
  f->SetAlphaBlend(true);
  QWidget* w = f->Handle();
  EXPECT_TRUE(w->windowFlags() & Qt::FramelessWindowHint);
  EXPECT_TRUE(w->windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_NEAR(w->windowOpacity(), 128 / 255.0, 0.01);
  f->SetFormStyle(TForm::fsNormal);
  EXPECT_FALSE(w->windowFlags() & Qt::WindowStaysOnTopHint);
  f->SetBorderStyle(TForm::bsDialog);
  EXPECT_FALSE(w->windowFlags() & Qt::FramelessWindowHint);
  EXPECT_EQ(w->windowFlags() & Qt::WindowType_Mask, Qt::Dialog);
  f->SetWindowOpacity(300);
  EXPECT_EQ(f->WindowOpacity(), 255);
}

TEST(Forms, ScreenCentrePlacement)
{
  Owned<TForm> f(new TForm(nullptr));
  f->SetBorderStyle(TForm::bsNone);
  f->SetBounds(227, 109, 300, 100);
  f->SetPosition(TForm::poScreenCenter);
  f->Show();
  EXPECT_EQ(f->Left(), (Screen->Width() - 300) / 2);
  EXPECT_EQ(f->Top(), (Screen->Height() - 100) / 2);
  // A designed position stays.
  Owned<TForm> g(new TForm(nullptr));
  g->SetBorderStyle(TForm::bsNone);
  g->SetBounds(20, 30, 100, 100);
  g->Show();
  EXPECT_EQ(g->Left(), 20);
  EXPECT_EQ(g->Top(), 30);
}

TEST(Forms, CloseAsksAndThenHidesOrFrees)
{
  Owned<TForm> f(new TForm(nullptr));
  bool allow = false;
  TForm::TCloseAction chosen = TForm::caHide;
  QStringList log;
  f->SetOnCloseQuery([&](TObject*, bool& canClose) {
    log << "query";
    canClose = allow;
  });
  f->SetOnClose([&](TObject*, TForm::TCloseAction& action) {
    log << QStringLiteral("close %1").arg(int(action));
    action = chosen;
  });
  f->Show();
  f->Close();
  EXPECT_TRUE(f->Visible());
  allow = true;
  chosen = TForm::caNone;
  f->Close();
  EXPECT_TRUE(f->Visible());
  chosen = TForm::caHide;
  f->Close();
  EXPECT_FALSE(f->Visible());
  EXPECT_EQ(log, QStringList({"query", "query", "close 1", "query", "close 1"}));

  // The window's own close button goes the same way.
  f->Show();
  allow = false;
  f->Perform(WM_CLOSE);
  EXPECT_TRUE(f->Visible());

  // Free: gone once the current event is done, not during it.
  allow = true;
  chosen = TForm::caFree;
  QPointer<TForm> watch(f.release());
  watch->Close();
  EXPECT_FALSE(watch.isNull());
  EXPECT_TRUE(PumpUntil([&] { return watch.isNull(); }));
}

TEST(Forms, CreateAndDestroyEventsSeeAWholeForm)
{
  struct TTestForm : TForm {
    explicit TTestForm(TComponent* owner) : TForm(owner)
    {
      Button = new TButton(this);
      Button->SetName("Button1");
      Button->SetParent(this);
    }
    TButton* Button;
  };
  QStringList log;
  TTestForm* f = new TTestForm(nullptr);
  f->SetOnCreate([&](TObject*) { log << "create"; });
  f->SetOnDestroy([&](TObject* sender) {
    // Every component still exists while OnDestroy runs.
    auto* form = static_cast<TTestForm*>(static_cast<TForm*>(sender));
    log << QStringLiteral("destroy %1").arg(form->FindComponent("Button1") ? "with button" : "without");
  });
  f->DoCreate();
  f->DoCreate();
  TComponent::Free(f);
  EXPECT_EQ(log, QStringList({"create", "destroy with button"}));
}

TEST(Forms, ShowModalReturnsTheModalResult)
{
  Owned<TForm> f(new TForm(nullptr));
  f->SetBorderStyle(TForm::bsNone);
  auto* ok = new TButton(f.get());
  ok->SetParent(f.get());
  ok->SetModalResult(mrOk);
  int queries = 0;
  f->SetOnCloseQuery([&](TObject*, bool& canClose) { canClose = ++queries > 1; });
  // The first attempt is refused by the close query; the second ends the loop.
  Later([ok] { ok->SimulateClick(); });
  QTimer::singleShot(30, QCoreApplication::instance(), [ok] { ok->SimulateClick(); });
  EXPECT_EQ(f->ShowModal(), mrOk);
  EXPECT_EQ(queries, 2);
  EXPECT_FALSE(f->Visible());
  EXPECT_FALSE(f->Modal());
  EXPECT_EQ(f->Handle()->windowModality(), Qt::NonModal);

  // Close while modal answers Cancel.
  Later([&] { f->Close(); });
  EXPECT_EQ(f->ShowModal(), mrCancel);

  f->Show();
  EXPECT_THROW(f->ShowModal(), EInvalidOperation);
}

TEST(Forms, KeysFromTheWindowReachTheFormWithPreview)
{
  Owned<TForm> f(new TForm(nullptr));
  auto* edit = new TEdit(f.get());
  edit->SetParent(f.get());
  f->SetKeyPreview(true);
  QStringList seen;
  f->SetOnKeyPress([&](TObject*, QChar& ch) {
    seen << QStringLiteral("form %1").arg(ch);
    if (ch == u'q') ch = QChar();
  });
  edit->Perform(WM_CHAR, 'q');
  edit->Perform(WM_CHAR, 'r');
  EXPECT_EQ(seen, QStringList({"form q", "form r"}));
  EXPECT_EQ(edit->Text(), "r");
}

TEST(Forms, ActivationEvents)
{
  Owned<TForm> a(new TForm(nullptr));
  Owned<TForm> b(new TForm(nullptr));
  QStringList log;
  a->SetOnActivate([&](TObject*) { log << "a on"; });
  a->SetOnDeactivate([&](TObject*) { log << "a off"; });
  b->SetOnActivate([&](TObject*) { log << "b on"; });
  a->Perform(WM_ACTIVATE, 1);
  EXPECT_TRUE(a->Active());
  EXPECT_EQ(Screen->ActiveForm(), a.get());
  a->Perform(WM_ACTIVATE, 1);  // no change, no event
  a->Perform(WM_ACTIVATE, 0);
  b->Perform(WM_ACTIVATE, 1);
  EXPECT_EQ(Screen->ActiveForm(), b.get());
  EXPECT_EQ(log, QStringList({"a on", "a off", "b on"}));
  // Real activation of a shown window arrives the same way.
  log.clear();
  b->Perform(WM_ACTIVATE, 0);
  a->Show();
  EXPECT_TRUE(PumpUntil([&] { return a->Active(); }, 2000));
}

TEST(Screen, MonitorsWorkAreasAndCursors)
{
  ASSERT_GE(Screen->MonitorCount(), 1);
  const TMonitor first = Screen->Monitors(0);
  EXPECT_TRUE(first.Primary);
  EXPECT_EQ(first.BoundsRect.size(), QSize(Screen->Width(), Screen->Height()));
  EXPECT_TRUE(first.BoundsRect.contains(first.WorkareaRect));
  EXPECT_EQ(Screen->WorkAreaRect(), first.WorkareaRect);
  // A point far outside every monitor belongs to the nearest one.
  EXPECT_EQ(Screen->MonitorFromPoint(QPoint(-100000, -100000)).MonitorNum, 0);
  EXPECT_EQ(Screen->MonitorFromPoint(first.BoundsRect.center()).MonitorNum, 0);
  EXPECT_THROW(Screen->Monitors(Screen->MonitorCount()), EInvalidOperation);
  EXPECT_EQ(Screen->Cursors(crHandPoint).shape(), Qt::PointingHandCursor);
  EXPECT_EQ(Screen->Cursors(crHourGlass).shape(), Qt::WaitCursor);
  QPixmap pix(16, 16);
  pix.fill(Qt::black);
  for (int id = 2001; id <= 2031; ++id) Screen->SetCursors(id, QCursor(pix, id - 2001, 0));
  EXPECT_EQ(Screen->Cursors(2031).hotSpot(), QPoint(30, 0));
  EXPECT_EQ(Screen->Cursors(2031).shape(), Qt::BitmapCursor);
  EXPECT_EQ(Screen->Cursors(1999).shape(), Qt::ArrowCursor);
  Screen->SetCursor(crHourGlass);
  ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
  EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
  Screen->SetCursor(crDefault);
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST(Application, ErrorsInHandlersAreReportedNotThrownThroughQt)
{
  Owned<TForm> f(new TForm(nullptr));
  f->SetBorderStyle(TForm::bsNone);
  auto* box = new TPaintBox(f.get());
  box->SetParent(f.get());
  box->SetOnClick([](TObject*) { throw EInvalidOperation("the handler failed"); });
  QStringList reports;
  Application->OnException = [&](const QString& text) { reports << text; };
  QWidget* w = f->Handle();
  QMouseEvent down(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
  QMouseEvent up(QEvent::MouseButtonRelease, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(w, &down);
  QApplication::sendEvent(w, &up);
  Application->OnException = nullptr;
  EXPECT_EQ(reports, QStringList({"the handler failed"}));
}

TEST(Application, WithoutADisplayTheReportGoesToStderr)
{
  if (!TApplication::Headless()) GTEST_SKIP() << "a display is there: the report would be a message box";
  testing::internal::CaptureStderr();
  Application->HandleException(std::make_exception_ptr(EConvertError("'abc' is not a valid integer")));
  Application->HandleException(std::make_exception_ptr(std::runtime_error("plain failure")));
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("'abc' is not a valid integer"), std::string::npos);
  EXPECT_NE(err.find("plain failure"), std::string::npos);
}

TEST(Application, ProcessMessagesRunsSynchronisedCalls)
{
  std::atomic<bool> ran{false};
  TFunctionThread worker([&](TFunctionThread&) { TThread::Synchronize([&] { ran = true; }); });
  worker.Resume();
  for (int i = 0; i < 300 && !ran; ++i) {
    Application->ProcessMessages();
    CheckSynchronize(10);
  }
  EXPECT_TRUE(ran);
  worker.WaitFor();
}

TEST(Application, RunEndsWhenTheMainFormCloses)
{
  Owned<TForm> f(new TForm(nullptr));
  f->SetBorderStyle(TForm::bsNone);
  int shown = 0;
  f->SetOnShow([&](TObject*) { ++shown; });
  Application->SetMainForm(f.get());
  Application->SetTitle("Velmora网络广播");
  EXPECT_EQ(Application->Title(), "Velmora网络广播");
  Later([&] { f->Close(); });
  Application->Run();
  EXPECT_EQ(shown, 1);
  EXPECT_TRUE(Application->Terminated());
  Application->SetMainForm(nullptr);
  Application->Run();  // no main form: returns at once and clears the old end
  EXPECT_FALSE(Application->Terminated());
}

TEST(Timers, TickWhileEnabledAndReportErrors)
{
  Owned<TTimer> t(new TTimer(nullptr));
  EXPECT_EQ(t->Interval(), 1000);
  EXPECT_TRUE(t->Enabled());
  EXPECT_FALSE(t->Running());  // no handler yet
  int ticks = 0;
  t->SetInterval(10);
  t->SetOnTimer([&](TObject*) { ++ticks; });
  EXPECT_TRUE(t->Running());
  EXPECT_TRUE(PumpUntil([&] { return ticks >= 2; }));
  t->SetEnabled(false);
  const int stopped = ticks;
  QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
  EXPECT_EQ(ticks, stopped);
  t->SetEnabled(true);
  t->SetInterval(0);
  EXPECT_FALSE(t->Running());

  // While loading, nothing runs until Loaded.
  t->BeginLoading();
  t->SetInterval(10);
  EXPECT_FALSE(t->Running());
  t->Loaded();
  EXPECT_TRUE(t->Running());

  QStringList reports;
  Application->OnException = [&](const QString& text) { reports << text; };
  t->SetOnTimer([&](TObject*) {
    t->SetEnabled(false);
    throw EConvertError("tick failed");
  });
  EXPECT_TRUE(PumpUntil([&] { return !reports.isEmpty(); }));
  Application->OnException = nullptr;
  EXPECT_EQ(reports.first(), "tick failed");
}

TEST(Application, CreateFormMakesTheFirstFormTheMainFormAndRunsOnCreateOnce)
{
  struct TCounted : TForm {
    explicit TCounted(TComponent* owner) : TForm(owner) { SetOnCreate([this](TObject*) { ++Creates; }); }
    int Creates = 0;
  };
  ASSERT_EQ(Application->MainForm(), nullptr);
  const int before = Screen->FormCount();
  TCounted* first = Application->CreateForm<TCounted>();
  TCounted* second = Application->CreateForm<TCounted>();
  EXPECT_EQ(Application->MainForm(), first);
  EXPECT_EQ(first->Creates, 1);
  EXPECT_EQ(second->Owner(), static_cast<TComponent*>(Application));
  EXPECT_EQ(Screen->FormCount(), before + 2);
  first->Free();
  EXPECT_EQ(Application->MainForm(), nullptr);
  second->Free();
  EXPECT_EQ(Screen->FormCount(), before);
}

// Run in a child process: leaves a shown form with a timer and controls alive
// when the program ends, as a program that returns from Run does.
TEST(ProgramEnd, ChildLeavesFormsAlive)
{
  if (qEnvironmentVariableIsEmpty("VELMORA_EXIT_CHILD")) GTEST_SKIP() << "run by ProgramEnd.FormsAliveAtExitAreFreedCleanly";
  auto* f = Application->CreateForm<TForm>();
  auto* panel = new TPanel(f);
  panel->SetParent(f);
  auto* timer = new TTimer(f);
  timer->SetInterval(5);
  timer->SetOnTimer([](TObject*) {});
  f->Show();
  Application->ProcessMessages();
  SUCCEED();
}

TEST(ProgramEnd, FormsAliveAtExitAreFreedCleanly)
{
  QProcess child;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("VELMORA_EXIT_CHILD", "1");
  child.setProcessEnvironment(env);
  child.start(QCoreApplication::applicationFilePath(), {"--gtest_filter=ProgramEnd.ChildLeavesFormsAlive"});
  ASSERT_TRUE(child.waitForFinished(30000));
  EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(child.exitCode(), 0) << child.readAllStandardError().toStdString();
  EXPECT_FALSE(child.readAllStandardError().contains("QObject::killTimer"));
}
