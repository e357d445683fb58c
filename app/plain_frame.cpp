#include "app/plain_frame.h"

#include "app/app_icon.h"

#include <QEvent>
#include <QSystemTrayIcon>
#include <QWindowStateChangeEvent>

// ---------------------------------------------------------------- tray icon

TTrayIcon::TTrayIcon(TComponent* AOwner) : TComponent(AOwner) {}

TTrayIcon::~TTrayIcon() { delete icon_; }

bool TTrayIcon::Available() { return QSystemTrayIcon::isSystemTrayAvailable(); }

void TTrayIcon::SetHint(const QString& v)
{
  if (v == hint_) return;
  hint_ = v;
  Update();
}

void TTrayIcon::SetIconVisible(bool v)
{
  if (v == visible_) return;
  visible_ = v;
  Update();
}

void TTrayIcon::Loaded()
{
  TComponent::Loaded();
  Update();
}

void TTrayIcon::Update()
{
  if (IsLoading() || IsDesigning()) return;
  if (!visible_ || !Available()) {
    if (icon_) icon_->hide();
    return;
  }
  if (!icon_) {
    icon_ = new QSystemTrayIcon(AppIcon());
    QObject::connect(icon_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) {
      if (r == QSystemTrayIcon::Trigger || r == QSystemTrayIcon::DoubleClick) onClick_(this);
    });
  }
  icon_->setToolTip(hint_);
  icon_->show();
}

// ---------------------------------------------------------------- frame

TPlainFormFrame::TPlainFormFrame(TComponent* AOwner) : TComponent(AOwner)
{
  settle_.setSingleShot(true);
  settle_.setInterval(kMoveSettleMs);
  QObject::connect(&settle_, &QTimer::timeout, this, [this] { EndOfMove(); });
}

TForm* TPlainFormFrame::Form() const { return qobject_cast<TForm*>(Owner()); }

void TPlainFormFrame::SetTrayIcon(TTrayIcon* v)
{
  if (v == tray_) return;
  if (tray_) tray_->RemoveFreeNotification(this);
  tray_ = v;
  if (tray_) {
    tray_->FreeNotification(this);
    if (!IsLoading()) tray_->SetOnClick([this](TObject*) { RestoreFromTray(); });
  }
}

void TPlainFormFrame::Notification(TComponent* AComponent, TOperation Operation)
{
  if (Operation == TOperation::opRemove && AComponent == tray_) tray_ = nullptr;
  TComponent::Notification(AComponent, Operation);
}

void TPlainFormFrame::Loaded()
{
  TComponent::Loaded();
  if (IsDesigning()) return;
  if (tray_) tray_->SetOnClick([this](TObject*) { RestoreFromTray(); });
  // The form's window exists once it is shown; watch it from then on.
  QMetaObject::invokeMethod(this, [this] { Attach(); }, Qt::QueuedConnection);
}

void TPlainFormFrame::Attach()
{
  TForm* form = Form();
  if (!form || watched_) return;
  watched_ = form->Handle();
  watched_->installEventFilter(this);
  // Moves through the window's own move loop (the skinned frame's caption)
  // end with WM_EXITSIZEMOVE.
  QPointer<TPlainFormFrame> self(this);
  const TControl::TWndMethod previous = form->WindowProc();
  form->SetWindowProc([self, previous](TMessage& m) {
    previous(m);
    if (m.Msg == WM_EXITSIZEMOVE && self && !self->IsDestroying()) self->EndOfMove();
  });
}

bool TPlainFormFrame::eventFilter(QObject* watched, QEvent* event)
{
  TForm* form = Form();
  if (watched == watched_ && form) {
    if (event->type() == QEvent::Move) {
      // Moves the program makes are already known to the form; the user's are not.
      const QPoint p = form->WindowPosition();
      if (p.x() != form->Left() || p.y() != form->Top()) settle_.start();
    } else if (event->type() == QEvent::WindowStateChange) {
      if (watched_->isMinimized() && tray_ && TTrayIcon::Available())
        QMetaObject::invokeMethod(this, [this] { MinimizeToTray(); }, Qt::QueuedConnection);
    }
  }
  return TComponent::eventFilter(watched, event);
}

void TPlainFormFrame::EndOfMove()
{
  TForm* form = Form();
  if (!form) return;
  if (magnetic_) {
    const int edge = Screen->MonitorFromWindow(form).WorkareaRect.top();
    const int distance = form->Top() - edge;
    if (distance != 0 && qAbs(distance) < magneticSize_) form->SetTop(edge);
  }
  if (form->Top() == 0) onIn_(this);
  else onOut_(this);
}

void TPlainFormFrame::MinimizeToTray()
{
  TForm* form = Form();
  if (!form || inTray_) return;
  inTray_ = true;
  if (tray_) tray_->SetIconVisible(true);
  form->SetWindowState(TForm::wsNormal);
  form->SetVisible(false);
}

void TPlainFormFrame::RestoreFromTray()
{
  TForm* form = Form();
  if (!form) return;
  inTray_ = false;
  form->SetVisible(true);
  form->SetWindowState(TForm::wsNormal);
  onRestore_(this);
}

void RegisterPlainFrameClasses()
{
  TComponentClasses::Register<TTrayIcon>();
  TComponentClasses::Register<TPlainFormFrame>();
}
