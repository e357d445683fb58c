#include "skin/tray_icon.h"

#include "skin/skin_menu.h"
#include "toolkit/forms.h"
#include "toolkit/image_list.h"

#include <QApplication>
#include <QStyle>
#include <QStyleHints>
#include <QWindowStateChangeEvent>

TbsTrayIcon::TbsTrayIcon(TComponent* AOwner) : TComponent(AOwner)
{
  animateTimer_.setInterval(0);
  QObject::connect(&animateTimer_, &QTimer::timeout, this, [this] { AnimateTick(); });
  clickTimer_.setSingleShot(true);
  clickTimer_.setInterval(QGuiApplication::styleHints()->mouseDoubleClickInterval());
  QObject::connect(&clickTimer_, &QTimer::timeout, this, [this] { ClickTimerElapsed(); });
  // The application minimizing its main window is seen on any of its windows.
  qApp->installEventFilter(this);
  // Made in code, the icon is applied once the caller has set it up; read
  // from a description, Loaded does it.
  QPointer<TbsTrayIcon> self(this);
  QTimer::singleShot(0, this, [self] {
    if (self && !self->IsLoading()) self->ApplyVisibility();
  });
}

TbsTrayIcon::~TbsTrayIcon()
{
  qApp->removeEventFilter(this);
  if (area_) {
    area_->OnMouse = nullptr;
    area_->OnAreaCreated = nullptr;
    area_->Hide();
  }
}

TTrayArea* TbsTrayIcon::Area()
{
  if (!area_ && !IsDesigning()) {
    area_ = CreateTrayArea();
    area_->OnMouse = [this](TTrayMouseAction a) { TrayMouse(a); };
    area_->OnAreaCreated = [this] {
      // The panel (re)started: a wanted icon goes (back) in.
      if (!wanted_ || !area_) return;
      area_->Hide();
      AddIcon();
    };
  }
  return area_.get();
}

TForm* TbsTrayIcon::MainForm() const
{
  if (TForm* f = Application->MainForm()) return f;
  return qobject_cast<TForm*>(Owner());
}

// ---------------------------------------------------------------- properties

void TbsTrayIcon::SetIconList(TImageList* v)
{
  if (!ReplaceReference(iconList_, v)) return;
  SetIconIndex(0);
}

void TbsTrayIcon::SetCycleIcons(bool v)
{
  cycleIcons_ = v;
  if (v) SetIconIndex(0);
  UpdateAnimateTimer();
}

void TbsTrayIcon::SetAnimateTimerInterval(int v)
{
  animateInterval_ = std::max(0, v);
  UpdateAnimateTimer();
}

void TbsTrayIcon::UpdateAnimateTimer()
{
  // An interval of 0 would fire on every pass of the event loop: no timer then.
  animateTimer_.setInterval(animateInterval_);
  if (cycleIcons_ && animateInterval_ > 0 && !IsDesigning()) animateTimer_.start();
  else animateTimer_.stop();
}

void TbsTrayIcon::SetHint(const QString& v)
{
  if (v == hint_) return;
  hint_ = v;
  UpdateIcon();
}

void TbsTrayIcon::ShowBalloon(const QString& title, const QString& text)
{
  if (area_ && area_->Shown()) area_->ShowMessage(title, text);
}

void TbsTrayIcon::SetShowHint(bool v)
{
  if (v == showHint_) return;
  showHint_ = v;
  UpdateIcon();
}

bool TbsTrayIcon::IconVisible() const
{
  // Until the desktop was asked (designing, loading, or nothing shown yet) it is what was set.
  if (IsDesigning() || IsLoading() || !area_) return wanted_;
  return wanted_ && area_->Shown();
}

void TbsTrayIcon::SetIconVisible(bool v)
{
  if (IsLoading() || IsDesigning()) {
    wanted_ = v;
    return;
  }
  if (v) AddIcon();
  else RemoveIcon();
}

void TbsTrayIcon::SetIconIndex(int v)
{
  const int count = iconList_ ? iconList_->Count() : 0;
  if (count == 0 || v < 0) {
    iconIndex_ = 0;
  } else {
    iconIndex_ = std::min(v, count - 1);
    icon_ = QIcon(QPixmap::fromImage(iconList_->Image(iconIndex_)));
  }
  UpdateIcon();
}

void TbsTrayIcon::SetPopupMenu(TbsSkinPopupMenu* v)
{
  if (!ReplaceReference(popupMenu_, v)) return;
}

void TbsTrayIcon::Notification(TComponent* AComponent, TOperation Operation)
{
  if (Operation == TOperation::opRemove) {
    if (AComponent == iconList_) iconList_ = nullptr;
    if (AComponent == popupMenu_) popupMenu_ = nullptr;
  }
  TComponent::Notification(AComponent, Operation);
}

QIcon TbsTrayIcon::Icon() const
{
  if (!icon_.isNull()) return icon_;
  if (auto* form = qobject_cast<TForm*>(Owner()); form && form->HandleAllocated() && !form->Handle()->windowIcon().isNull())
    return form->Handle()->windowIcon();
  if (!QApplication::windowIcon().isNull()) return QApplication::windowIcon();
  return QApplication::style()->standardIcon(QStyle::SP_ComputerIcon);
}

void TbsTrayIcon::SetIcon(const QIcon& icon)
{
  icon_ = icon;
  UpdateIcon();
}

QString TbsTrayIcon::Tip() const
{
  if (!showHint_ || hint_.isEmpty()) return QString();
  return hint_.left(kMaxTipLength);
}

// ---------------------------------------------------------------- the icon

bool TbsTrayIcon::CanHideToTray() const
{
  auto* self = const_cast<TbsTrayIcon*>(this);
  TTrayArea* area = self->Area();
  return area && area->Available();
}

void TbsTrayIcon::AddIcon()
{
  wanted_ = true;
  if (TTrayArea* area = Area()) area->Show(Icon(), Tip());
}

void TbsTrayIcon::RemoveIcon()
{
  wanted_ = false;
  if (area_) area_->Hide();
}

void TbsTrayIcon::UpdateIcon()
{
  if (IsLoading() || IsDesigning() || !wanted_ || !area_ || !area_->Shown()) return;
  area_->Show(Icon(), Tip());
}

void TbsTrayIcon::ApplyVisibility()
{
  if (IsDesigning()) return;
  if (wanted_) AddIcon();
  else RemoveIcon();
}

void TbsTrayIcon::Loaded()
{
  TComponent::Loaded();
  if (IsDesigning()) return;
  if (qobject_cast<TForm*>(Owner()) && minimizedOnStart_) {
    wanted_ = true;
    minimizeToTray_ = true;
    Application->ShowMainForm = false;
  }
  UpdateAnimateTimer();
  ApplyVisibility();
}

// ---------------------------------------------------------------- windows

void TbsTrayIcon::HideMainWindow()
{
  TForm* main = MainForm();
  if (!main) return;
  // Forms hidden by an earlier call stay on the list.
  for (int i = 0; i < Screen->FormCount(); ++i) {
    TForm* f = Screen->Forms(i);
    if (f != main && f->Visible()) hiddenForms_.emplace_back(f);
  }
  main->SetVisible(false);
  for (const QPointer<TForm>& f : hiddenForms_)
    if (f) f->SetVisible(false);
}

void TbsTrayIcon::MinimizeMainToTray()
{
  TForm* main = MainForm();
  if (!CanHideToTray()) {
    // No notification area: hiding would leave no way back, so the window stays.
    if (main && main->HandleAllocated() && main->Handle()->isMinimized()) main->Handle()->showNormal();
    return;
  }
  if (main && main->HandleAllocated() && main->Handle()->isMinimized()) main->Handle()->showNormal();
  HideMainWindow();
  AddIcon();
}

void TbsTrayIcon::RestoreMainWindow()
{
  TForm* main = MainForm();
  for (const QPointer<TForm>& f : hiddenForms_)
    if (f) f->SetVisible(true);
  hiddenForms_.clear();
  if (!main) return;
  main->SetVisible(true);
  if (main->WindowState() == TForm::wsMinimized) main->SetWindowState(TForm::wsNormal);
  if (main->HandleAllocated()) {
    QWidget* w = main->Handle();
    if (w->isMinimized()) w->showNormal();
    if (!TApplication::Headless()) {
      w->raise();
      w->activateWindow();
    }
  }
}

bool TbsTrayIcon::eventFilter(QObject* watched, QEvent* event)
{
  if (event->type() == QEvent::WindowStateChange && minimizeToTray_ && !IsDesigning()) {
    TForm* main = MainForm();
    if (main && main->HandleAllocated() && watched == main->Handle() && main->Handle()->isMinimized()) {
      QPointer<TbsTrayIcon> self(this);
      QTimer::singleShot(0, this, [self] {
        if (self) self->MinimizeMainToTray();
      });
    }
  }
  return TComponent::eventFilter(watched, event);
}

// ---------------------------------------------------------------- mouse

TShiftState TbsTrayIcon::CurrentShift(TMouseButton button) const
{
  TShiftState s = ShiftStateFromQt(QGuiApplication::queryKeyboardModifiers());
  s |= button == mbLeft ? ssLeft : button == mbRight ? ssRight : ssMiddle;
  return s;
}

void TbsTrayIcon::TrayMouse(TTrayMouseAction action)
{
  if (!enabled_) return;
  const QPoint at = TbsSkinMenu::CursorPos();
  QPointer<TbsTrayIcon> self(this);
  switch (action) {
  case TTrayMouseAction::Move:
    onMouseMove_(this, ShiftStateFromQt(QGuiApplication::queryKeyboardModifiers()), at.x(), at.y());
    break;
  case TTrayMouseAction::LeftDown:
    clickTimer_.start();
    onMouseDown_(this, mbLeft, CurrentShift(mbLeft), at.x(), at.y());
    if (!self) return;
    clickPending_ = true;
    if (popupByLeftButton_) PopupTrayMenu();
    break;
  case TTrayMouseAction::LeftUp:
    if (clickPending_) clickArmed_ = true;
    if (clickPending_ && !clickTimer_.isActive()) {
      clickPending_ = clickArmed_ = false;
      onClick_(this);
      if (!self) return;
    }
    clickPending_ = false;
    onMouseUp_(this, mbLeft, CurrentShift(mbLeft), at.x(), at.y());
    break;
  case TTrayMouseAction::LeftDoubleClick:
    clickArmed_ = false;
    doubleClicked_ = true;
    onDblClick_(this);
    if (!self) return;
    if (popupMenu_ && popupMenu_->AutoPopup() && !popupByLeftButton_)
      if (TMenuItem* item = popupMenu_->Items()->DefaultItem()) item->Click();
    break;
  case TTrayMouseAction::RightDown:
    onMouseDown_(this, mbRight, CurrentShift(mbRight), at.x(), at.y());
    if (self) PopupTrayMenu();
    break;
  case TTrayMouseAction::RightUp:
    onMouseUp_(this, mbRight, CurrentShift(mbRight), at.x(), at.y());
    break;
  case TTrayMouseAction::MiddleDown:
    onMouseDown_(this, mbMiddle, CurrentShift(mbMiddle), at.x(), at.y());
    break;
  case TTrayMouseAction::MiddleUp:
    onMouseUp_(this, mbMiddle, CurrentShift(mbMiddle), at.x(), at.y());
    break;
  }
}

void TbsTrayIcon::ClickTimerElapsed()
{
  clickTimer_.stop();
  const bool report = !doubleClicked_ && clickArmed_;
  doubleClicked_ = false;
  if (report) {
    clickArmed_ = false;
    onClick_(this);
  }
}

void TbsTrayIcon::PopupTrayMenu()
{
  if (!popupMenu_ || !popupMenu_->AutoPopup()) return;
  const QPoint at = TbsSkinMenu::CursorPos();
  if (TForm* owner = qobject_cast<TForm*>(Owner());
      owner && owner->HandleAllocated() && owner->Visible() && !TApplication::Headless())
    owner->Handle()->raise();
  popupMenu_->SetPopupComponent(this);
  popupMenu_->Popup(at.x(), at.y());
}

void TbsTrayIcon::AnimateTick()
{
  const int count = iconList_ ? iconList_->Count() : 0;
  if (count == 0) return;
  iconIndex_ = std::clamp(iconIndex_, 0, count - 1);
  icon_ = QIcon(QPixmap::fromImage(iconList_->Image(iconIndex_)));
  const int next = iconIndex_ + 1 < count ? iconIndex_ + 1 : 0;
  QPointer<TbsTrayIcon> self(this);
  onCycle_(this, next);
  if (!self) return;
  UpdateIcon();
  iconIndex_ = next;
}

void RegisterTrayIconClasses()
{
  TEventTypes::Register<TbsCycleEvent>();
  TComponentClasses::Register<TbsTrayIcon>();
}
