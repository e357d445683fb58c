#include "toolkit/forms.h"

#include "toolkit/exception_text.h"
#include "toolkit/thread.h"
#include "toolkit/window_log.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>
#include <QToolTip>
#include <QWindow>
#include <algorithm>
#include <cstdio>

Q_LOGGING_CATEGORY(lcWindow, "velmora.window", QtWarningMsg)

namespace {
TApplication* g_application = nullptr;
TScreen* g_screen = nullptr;

void FreeGlobals()
{
  TApplication* app = g_application;
  g_application = nullptr;
  TComponent::Free(app);
  TScreen* screen = g_screen;
  g_screen = nullptr;
  TComponent::Free(screen);
}

void EnsureCleanup()
{
  static bool registered = false;
  if (!registered && QCoreApplication::instance()) {
    registered = true;
    qAddPostRoutine(FreeGlobals);
  }
}

} // namespace

TApplication* TApplicationRef::Get()
{
  if (!g_application) {
    g_application = new TApplication(nullptr);
    EnsureCleanup();
  }
  return g_application;
}

TScreen* TScreenRef::Get()
{
  if (!g_screen) {
    g_screen = new TScreen(nullptr);
    EnsureCleanup();
  }
  return g_screen;
}

void ShowToolkitHint(TControl* control, QPoint globalPos, const QString& text)
{
  if (Application->HintWindow) {
    Application->HintWindow(control, globalPos, text);
    return;
  }
  QToolTip::showText(globalPos, text);
}

QCursor ToolkitCursor(int id) { return Screen->Cursors(id); }

// ---------------------------------------------------------------- TForm

TForm::TForm(TComponent* AOwner) : TCustomControl(AOwner)
{
  TControl::SetVisible(false);
  SetBounds(0, 0, 320, 240);
  SetParentFont(false);
  SetTabStop(true);
  Screen->forms_.push_back(this);
}

TForm::~TForm()
{
  if (g_screen) {
    auto& forms = g_screen->forms_;
    forms.erase(std::remove(forms.begin(), forms.end(), this), forms.end());
    if (g_screen->activeForm_ == this) g_screen->activeForm_ = nullptr;
  }
  if (g_application && g_application->mainForm_ == this) g_application->mainForm_ = nullptr;
}

void TForm::BeforeDestruction()
{
  if (!destroyed_) {
    destroyed_ = true;
    if (onDestroy_) Guarded([this] { onDestroy_(this); });
  }
  if (g_application && g_application->mainForm_ == this) g_application->mainForm_ = nullptr;
  TCustomControl::BeforeDestruction();
}

void TForm::DoCreate()
{
  if (created_) return;
  created_ = true;
  if (onCreate_) Guarded([this] { onCreate_(this); });
}

void TForm::Loaded()
{
  TCustomControl::Loaded();
  if (!IsDesigning()) DoCreate();
  if (Visible() && !IsDesigning()) {
    TControl::SetVisible(false);
    SetVisible(true);
  }
}

Qt::WindowFlags TForm::WindowFlagsFor() const
{
  Qt::WindowFlags f = Qt::Window;
  switch (borderStyle_) {
  case bsNone: f |= Qt::FramelessWindowHint; break;
  case bsDialog: f = Qt::Dialog; break;
  case bsToolWindow:
  case bsSizeToolWin: f = Qt::Tool; break;
  default: break;
  }
  if (ownFrame_) f |= Qt::FramelessWindowHint;
  else if (borderStyle_ != bsNone) {
    f |= Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (borderIcons_ & biSystemMenu) f |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if ((borderIcons_ & biMinimize) && borderStyle_ != bsDialog) f |= Qt::WindowMinimizeButtonHint;
    if ((borderIcons_ & biMaximize) && borderStyle_ != bsDialog) f |= Qt::WindowMaximizeButtonHint;
  }
  if (formStyle_ == fsStayOnTop) f |= Qt::WindowStaysOnTopHint;
  if (!managed_) f |= Qt::X11BypassWindowManagerHint | Qt::FramelessWindowHint;
  return f;
}

QWidget* TForm::CreateWidget(QWidget*)
{
  auto* w = new TControlWidget(this, nullptr);
  w->setWindowFlags(WindowFlagsFor());
  w->setWindowTitle(Caption());
  return w;
}

void TForm::ApplyWindowFlags()
{
  if (!widget_) return;
  const bool shown = widget_->isVisible();
  const Qt::WindowFlags flags = WindowFlagsFor();
  // Staying on top is a state the window manager changes on a shown managed
  // window. New flags would make the window anew, and a new window is not
  // active: the user who just clicked the stay-on-top button would lose the
  // hints and the active caption until the next click.
  if (shown && managed_ && widget_->windowHandle() &&
      (widget_->windowFlags() ^ flags) == Qt::WindowStaysOnTopHint) {
    widget_->overrideWindowFlags(flags);
    widget_->windowHandle()->setFlags(flags);
    return;
  }
  qCDebug(lcWindow) << Name() << "mapped anew, managed" << managed_ << "on top" << (formStyle_ == fsStayOnTop);
  Syncing([&] { widget_->setWindowFlags(flags); });
  UpdateWidgetGeometry();
  if (shown) {
    Syncing([&] { widget_->show(); });
    if (managed_ && !TApplication::Headless()) distrustMoves_ = 1;
    // Nothing stacks an unmanaged window but the program.
    if (!managed_ && !TApplication::Headless()) widget_->raise();
  }
}

void TForm::UpdateWidgetGeometry()
{
  if (!widget_) return;
  qCDebug(lcWindow) << Name() << "placed at" << QPoint(Left(), Top()) << "managed" << managed_;
  const QScopedValueRollback<bool> syncing(syncing_, true);
  if (managed_) {
    // A manager answers each request in turn: a busy one reports earlier
    // places after the program has moved the window on (a drag's steps).
    constexpr std::size_t kRemembered = 16;
    const QPoint placed(Left(), Top());
    if (widget_->isVisible() && widget_->pos() != placed) {
      if (unconfirmed_.size() == kRemembered) unconfirmed_.erase(unconfirmed_.begin());
      unconfirmed_.push_back(placed);
    }
    widget_->move(Left(), Top());
    widget_->resize(Width(), Height());
  } else {
    // No frame: the window itself goes there (Qt may still remember the
    // frame a manager once drew and offset a move by it).
    widget_->setGeometry(Left(), Top(), Width(), Height());
  }
}

void TForm::WindowReparented()
{
  qCDebug(lcWindow) << Name() << "given another parent, managed" << managed_;
  if (managed_ || !widget_ || !widget_->isVisible()) return;
  // The manager took the window out of its frame late, after it had been
  // mapped and placed as the program's own: it is left unmapped at the
  // frame's corner. Mapped and placed anew, at the program's place.
  Syncing([&] { widget_->hide(); });
  UpdateWidgetGeometry();
  Syncing([&] { widget_->show(); });
  widget_->raise();
}

QPoint TForm::WindowPosition() const
{
  if (!widget_) return QPoint(Left(), Top());
  return managed_ ? widget_->pos() : widget_->geometry().topLeft();
}

void TForm::WidgetMoved()
{
  if (syncing_ || !widget_ || !widget_->isVisible()) return;
  const QPoint p = WindowPosition();
  qCDebug(lcWindow) << Name() << "reported at" << p << "placed at" << QPoint(left_, top_) << "managed" << managed_
                    << "distrust" << distrustMoves_;
  if (p.x() == left_ && p.y() == top_) {
    distrustMoves_ = 0;
    unconfirmed_.clear();
    return;
  }
  if (!managed_) {
    // Only the program places an unmanaged window: a different position is a
    // late report from before its last placement (or from the manager that
    // let it go), and the program's place is put back.
    UpdateWidgetGeometry();
    return;
  }
  if (InMoveSize() || std::find(unconfirmed_.begin(), unconfirmed_.end(), p) != unconfirmed_.end()) {
    // An earlier place of the program's, reported late (in the program's own
    // move loop every report is one): the window goes on to the newest
    // (asked again, so the manager's last word is that one).
    qCDebug(lcWindow) << Name() << "late report of an earlier place";
    UpdateWidgetGeometry();
    return;
  }
  if (distrustMoves_ > 0) {
    // Mapped anew, a window manager that frames the window reports where its
    // frame stood before it placed it (the screen's corner): the program's
    // place goes to the window again instead.
    --distrustMoves_;
    UpdateWidgetGeometry();
    return;
  }
  unconfirmed_.clear();
  left_ = p.x();
  top_ = p.y();
  SendMessage(WM_MOVE, 0, MakeMouseLParam(left_, top_));
}

void TForm::WidgetResized()
{
  if (!widget_) return;
  const Qt::WindowStates st = widget_->windowState();
  windowState_ = (st & Qt::WindowMinimized) ? wsMinimized : (st & Qt::WindowMaximized) ? wsMaximized : wsNormal;
  if (syncing_) return;
  const QSize s = widget_->size();
  if (s.width() == width_ && s.height() == height_) return;
  width_ = s.width();
  height_ = s.height();
  Realign();
  SendMessage(WM_SIZE, 0, MakeMouseLParam(ClientWidth(), ClientHeight()));
  Resize();
}

void TForm::TextChanged()
{
  if (widget_) widget_->setWindowTitle(Caption());
}

void TForm::SetBorderStyle(TFormBorderStyle v)
{
  if (v == borderStyle_) return;
  borderStyle_ = v;
  ApplyWindowFlags();
}

void TForm::SetBorderIcons(TBorderIcons v)
{
  if (v == borderIcons_) return;
  borderIcons_ = v;
  ApplyWindowFlags();
}

void TForm::SetOwnFrame(bool v)
{
  if (v == ownFrame_) return;
  ownFrame_ = v;
  ApplyWindowFlags();
}

void TForm::SetFormStyle(TFormStyle v)
{
  if (v == formStyle_) return;
  formStyle_ = v;
  ApplyWindowFlags();
}

void TForm::SetManagedByWindowSystem(bool v)
{
  if (v == managed_) return;
  managed_ = v;
  ApplyWindowFlags();
}

void TForm::SetWindowState(TWindowState v)
{
  if (v == windowState_) return;
  windowState_ = v;
  if (!widget_ || !widget_->isVisible()) return;
  switch (v) {
  case wsMinimized: widget_->showMinimized(); break;
  case wsMaximized: widget_->showMaximized(); break;
  default: widget_->showNormal(); break;
  }
}

void TForm::SetAlphaBlend(bool v)
{
  if (v == alphaBlend_) return;
  alphaBlend_ = v;
  SetWindowOpacity(v ? alphaBlendValue_ : 255);
}

void TForm::SetAlphaBlendValue(int v)
{
  v = std::clamp(v, 0, 255);
  if (v == alphaBlendValue_) return;
  alphaBlendValue_ = v;
  if (alphaBlend_) SetWindowOpacity(v);
}

void TForm::PlaceOnFirstShow()
{
  if (placed_) return;
  placed_ = true;
  QRect area;
  switch (position_) {
  case poScreenCenter:
  case poDesktopCenter: area = QRect(QPoint(0, 0), QSize(Screen->Width(), Screen->Height())); break;
  case poMainFormCenter:
  case poOwnerFormCenter: {
    TForm* over = qobject_cast<TForm*>(Owner());
    if (!over || position_ == poMainFormCenter) over = Application->MainForm();
    if (over && over != this) area = over->BoundsRect();
    else area = QRect(QPoint(0, 0), QSize(Screen->Width(), Screen->Height()));
    break;
  }
  default: return;
  }
  if (area.isEmpty()) return;
  SetBounds(area.left() + (area.width() - Width()) / 2, area.top() + (area.height() - Height()) / 2, Width(), Height());
}

void TForm::ShowWindowNow()
{
  Handle();
  PlaceOnFirstShow();
  UpdateWidgetGeometry();
  Syncing([&] {
    switch (windowState_) {
    case wsMinimized: widget_->showMinimized(); break;
    case wsMaximized: widget_->showMaximized(); break;
    default:
      // Hidden while minimized (to the notification area), it comes back as a normal window, not an icon.
      if (widget_->windowState() & Qt::WindowMinimized) widget_->showNormal();
      else widget_->show();
      break;
    }
  });
  // Told once the window exists, so that a frame hooked to it can watch it.
  SendMessage(WM_SHOWWINDOW, 1);
  // The offscreen platform cannot raise windows (and says so each time).
  if (!TApplication::Headless()) widget_->raise();
  widget_->activateWindow();
}

void TForm::SetVisible(bool v)
{
  if (IsLoading() || IsDesigning()) {
    TControl::SetVisible(v);
    return;
  }
  if (v) {
    if (Visible() && widget_ && widget_->isVisible()) return;
    TControl::SetVisible(true);
    DoShow();
    ShowWindowNow();
  } else {
    if (!Visible()) return;
    TControl::SetVisible(false);
    DoHide();
    if (widget_) widget_->hide();
  }
}

void TForm::DoShow()
{
  if (onShow_) onShow_(this);
}

void TForm::DoHide()
{
  if (onHide_) onHide_(this);
}

void TForm::BringToFront()
{
  if (!Visible()) {
    Show();
    return;
  }
  if (widget_) {
    if (windowState_ == wsMinimized) SetWindowState(wsNormal);
    widget_->raise();
    widget_->activateWindow();
  }
}

int TForm::ShowModal()
{
  if (Visible() || modal_ || !Enabled()) throw EInvalidOperation(QStringLiteral("Cannot make a visible window modal"));
  Handle()->setWindowModality(Qt::ApplicationModal);
  modal_ = true;
  modalResult_ = mrNone;
  auto finish = [this] {
    modal_ = false;
    if (Visible()) SetVisible(false);
    if (widget_) widget_->setWindowModality(Qt::NonModal);
  };
  try {
    Show();
    for (;;) {
      if (Application->Terminated()) modalResult_ = mrCancel;
      if (modalResult_ != mrNone) {
        TCloseAction action = caNone;
        if (CloseQuery()) {
          action = caHide;
          DoClose(action);
        }
        if (action == caNone && !Application->Terminated()) {
          modalResult_ = mrNone;
        } else {
          if (action == caFree) Release();
          break;
        }
      }
      Application->HandleMessage();
    }
  } catch (...) {
    finish();
    throw;
  }
  finish();
  return modalResult_;
}

bool TForm::CloseQuery()
{
  bool canClose = true;
  if (onCloseQuery_) onCloseQuery_(this, canClose);
  return canClose;
}

void TForm::DoClose(TCloseAction& Action)
{
  if (onClose_) onClose_(this, Action);
}

void TForm::Close()
{
  if (modal_) {
    modalResult_ = mrCancel;
    return;
  }
  if (!CloseQuery()) return;
  TCloseAction action = caHide;
  DoClose(action);
  if (action == caNone) return;
  if (g_application && g_application->MainForm() == this) {
    g_application->Terminate();
    return;
  }
  switch (action) {
  case caHide: Hide(); break;
  case caMinimize: SetWindowState(wsMinimized); break;
  default: Release(); break;
  }
}

void TForm::Release()
{
  QPointer<TForm> guard(this);
  if (widget_) widget_->hide();
  QMetaObject::invokeMethod(
      QCoreApplication::instance(), [guard] {
        if (guard) TComponent::Free(guard.data());
      },
      Qt::QueuedConnection);
}

void TForm::Activate()
{
  active_ = true;
  Screen->activeForm_ = this;
  if (onActivate_) onActivate_(this);
}

void TForm::Deactivate()
{
  active_ = false;
  if (g_screen && g_screen->activeForm_ == this) g_screen->activeForm_ = nullptr;
  if (onDeactivate_) onDeactivate_(this);
}

void TForm::Paint()
{
  if (onPaint_) onPaint_(this);
}

void TForm::WndProc(TMessage& m)
{
  switch (m.Msg) {
  case WM_ACTIVATE:
    if (m.WParam && !active_) Activate();
    else if (!m.WParam && active_) Deactivate();
    return;
  case WM_CLOSE:
    Close();
    return;
  case CM_DIALOGKEY:
  case CM_DIALOGCHAR: {
    // Offered to every control of the form until one takes it.
    std::function<bool(TWinControl*)> offer = [&](TWinControl* parent) {
      for (int i = 0; i < parent->ControlCount(); ++i) {
        TControl* c = parent->Controls(i);
        if (!c->Visible() || !c->Enabled()) continue;
        if (c->Perform(m.Msg, m.WParam)) return true;
        if (auto* w = qobject_cast<TWinControl*>(c); w && offer(w)) return true;
      }
      return false;
    };
    m.Result = offer(this);
    return;
  }
  default:
    TCustomControl::WndProc(m);
  }
}

// ---------------------------------------------------------------- TScreen

namespace {
std::map<int, QCursor>& CursorTable()
{
  static std::map<int, QCursor> table;
  return table;
}

QScreen* PrimaryScreen() { return QGuiApplication::instance() ? QGuiApplication::primaryScreen() : nullptr; }

TMonitor MonitorOf(QScreen* s)
{
  TMonitor m;
  if (!s) return m;
  const auto screens = QGuiApplication::screens();
  m.MonitorNum = int(screens.indexOf(s));
  m.Primary = s == QGuiApplication::primaryScreen();
  m.BoundsRect = s->geometry();
  m.WorkareaRect = s->availableGeometry();
  return m;
}

int DistanceTo(const QRect& r, QPoint p)
{
  const int dx = p.x() < r.left() ? r.left() - p.x() : p.x() > r.right() ? p.x() - r.right() : 0;
  const int dy = p.y() < r.top() ? r.top() - p.y() : p.y() > r.bottom() ? p.y() - r.bottom() : 0;
  return dx * dx + dy * dy;
}
} // namespace

TScreen::TScreen(TComponent* AOwner) : TComponent(AOwner) {}

int TScreen::Width() const
{
  QScreen* s = PrimaryScreen();
  return s ? s->geometry().width() : 0;
}

int TScreen::Height() const
{
  QScreen* s = PrimaryScreen();
  return s ? s->geometry().height() : 0;
}

QPoint TScreen::CursorPos() const { return QCursor::pos(); }
void TScreen::SetCursorPos(QPoint p) { QCursor::setPos(p); }

QRect TScreen::WorkAreaRect() const
{
  QScreen* s = PrimaryScreen();
  return s ? s->availableGeometry() : QRect();
}

QRect TScreen::DesktopRect() const
{
  QScreen* s = PrimaryScreen();
  return s ? s->virtualGeometry() : QRect();
}

TForm* TScreen::FormOfWindow(WId window) const
{
  for (TForm* form : forms_)
    if (form->HandleAllocated() && form->Handle()->internalWinId() == window) return form;
  return nullptr;
}

int TScreen::MonitorCount() const { return QGuiApplication::instance() ? int(QGuiApplication::screens().size()) : 0; }

TMonitor TScreen::Monitors(int index) const
{
  const auto screens = QGuiApplication::screens();
  if (index < 0 || index >= screens.size()) throw EInvalidOperation(QStringLiteral("List index out of bounds (%1)").arg(index));
  return MonitorOf(screens[index]);
}

TMonitor TScreen::MonitorFromPoint(QPoint p) const
{
  QScreen* best = nullptr;
  int bestDistance = 0;
  for (QScreen* s : QGuiApplication::screens()) {
    const int d = DistanceTo(s->geometry(), p);
    if (!best || d < bestDistance) {
      best = s;
      bestDistance = d;
    }
  }
  return MonitorOf(best);
}

TMonitor TScreen::MonitorFromRect(const QRect& r) const
{
  QScreen* best = nullptr;
  qint64 bestArea = 0;
  for (QScreen* s : QGuiApplication::screens()) {
    const QRect i = s->geometry().intersected(r);
    const qint64 area = i.isEmpty() ? 0 : qint64(i.width()) * i.height();
    if (area > bestArea) {
      best = s;
      bestArea = area;
    }
  }
  return best ? MonitorOf(best) : MonitorFromPoint(r.center());
}

TMonitor TScreen::MonitorFromWindow(const TWinControl* control) const
{
  if (!control) return MonitorOf(PrimaryScreen());
  return MonitorFromRect(QRect(control->ClientOrigin(), QSize(std::max(1, control->Width()), std::max(1, control->Height()))));
}

void TScreen::SetCursor(int id)
{
  if (id == cursor_) return;
  if (cursor_ != crDefault && QGuiApplication::instance()) QGuiApplication::restoreOverrideCursor();
  cursor_ = id;
  if (id != crDefault && QGuiApplication::instance()) QGuiApplication::setOverrideCursor(Cursors(id));
}

QCursor TScreen::Cursors(int id) const
{
  auto it = CursorTable().find(id);
  if (it != CursorTable().end()) return it->second;
  switch (id) {
  case crNone: return QCursor(Qt::BlankCursor);
  case crCross: return QCursor(Qt::CrossCursor);
  case crIBeam: return QCursor(Qt::IBeamCursor);
  case crSizeNESW: return QCursor(Qt::SizeBDiagCursor);
  case crSizeNS: return QCursor(Qt::SizeVerCursor);
  case crSizeNWSE: return QCursor(Qt::SizeFDiagCursor);
  case crSizeWE: return QCursor(Qt::SizeHorCursor);
  case crUpArrow: return QCursor(Qt::UpArrowCursor);
  case crHourGlass:
  case crSQLWait: return QCursor(Qt::WaitCursor);
  case crDrag: return QCursor(Qt::DragMoveCursor);
  case crMultiDrag: return QCursor(Qt::DragCopyCursor);
  case crNoDrop:
  case crNo: return QCursor(Qt::ForbiddenCursor);
  case crHSplit: return QCursor(Qt::SplitHCursor);
  case crVSplit: return QCursor(Qt::SplitVCursor);
  case crAppStart: return QCursor(Qt::BusyCursor);
  case crHelp: return QCursor(Qt::WhatsThisCursor);
  case crHandPoint: return QCursor(Qt::PointingHandCursor);
  case crSizeAll: return QCursor(Qt::SizeAllCursor);
  default: return QCursor(Qt::ArrowCursor);
  }
}

void TScreen::SetCursors(int id, const QCursor& cursor) { CursorTable()[id] = cursor; }

// ---------------------------------------------------------------- TApplication

TApplication::TApplication(TComponent* AOwner) : TComponent(AOwner)
{
  SetToolkitExceptionHandler([](std::exception_ptr error) { Application->HandleException(error); });
}

TApplication::~TApplication()
{
  if (g_application == this) g_application = nullptr;
}

void TApplication::SetTitle(const QString& v)
{
  // Not Qt's display name: Qt would append it to every window's caption.
  title_ = v;
}

void TApplication::Run()
{
  terminated_ = false;
  if (!mainForm_) return;
  if (ShowMainForm && !mainForm_->Visible()) mainForm_->Show();
  while (!terminated_) HandleMessage();
}

void TApplication::Terminate()
{
  terminated_ = true;
  // Wakes a loop that waits for messages.
  if (QCoreApplication::instance()) QMetaObject::invokeMethod(QCoreApplication::instance(), [] {}, Qt::QueuedConnection);
}

void TApplication::ProcessMessages()
{
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  CheckSynchronize();
}

void TApplication::HandleMessage()
{
  QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
  CheckSynchronize();
}

void TApplication::HandleException(std::exception_ptr error)
{
  if (!error) return;
  const QString text = ExceptionText(error);
  try {
    if (OnException) OnException(text);
    else ShowException(text);
  } catch (...) {
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
  }
}

bool TApplication::Headless()
{
  QString platform;
  if (QGuiApplication::instance()) platform = QGuiApplication::platformName();
  else platform = qEnvironmentVariable("QT_QPA_PLATFORM");
  if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal")) return true;
  if (platform.startsWith(QLatin1String("xcb")) || platform.isEmpty())
    return qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
  return false;
}

void TApplication::ShowException(const QString& message)
{
  if (Headless() || !qobject_cast<QApplication*>(QCoreApplication::instance())) {
    std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
    std::fflush(stderr);
    return;
  }
  QMessageBox box(QMessageBox::Critical, title_.isEmpty() ? QCoreApplication::applicationName() : title_, message,
                  QMessageBox::Ok);
  box.exec();
}

QString ChooseWindowSystem()
{
  if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) return qEnvironmentVariable("QT_QPA_PLATFORM");
  const bool wayland = !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
                       qEnvironmentVariable("XDG_SESSION_TYPE").compare(QLatin1String("wayland"), Qt::CaseInsensitive) == 0;
  if (wayland && !qEnvironmentVariableIsEmpty("DISPLAY")) {
    qputenv("QT_QPA_PLATFORM", "xcb");
    return QStringLiteral("xcb");
  }
  return QString();
}
