#include "skin/skin_menu.h"

#include "skin/skin_data.h"
#include "skin/skin_popup_window.h"
#include "skin/skin_utils.h"
#include "toolkit/forms.h"
#include "toolkit/image_list.h"

#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QMouseEvent>

namespace {
std::function<QPoint()>& CursorSourceFn()
{
  static std::function<QPoint()> source;
  return source;
}

// Closed levels are hidden at once and freed once the event that closed them
// has been handled: a command run from a level's own mouse handler may close
// (or free) the whole menu while that handler is still on the stack.
void FreeLater(TbsSkinPopupWindow* level)
{
  level->HideLevel();
  QPointer<TbsSkinPopupWindow> guard(level);
  QTimer::singleShot(0, qApp, [guard] {
    if (guard) TComponent::Free(guard.data());
  });
}
} // namespace

// ---------------------------------------------------------------- TbsSkinMenu

TbsSkinMenu::TbsSkinMenu(TComponent* AOwner) : TComponent(AOwner), defaultFont_(new TFont(this))
{
  defaultFont_->SetName(QStringLiteral("Arial"));
  defaultFont_->SetHeight(14);
  subMenuTimer_.setSingleShot(true);
  subMenuTimer_.setInterval(kSubMenuDelayMs);
  QObject::connect(&subMenuTimer_, &QTimer::timeout, this, [this] { SubMenuTimerElapsed(); });
}

TbsSkinMenu::~TbsSkinMenu()
{
  if (filtering_) qApp->removeEventFilter(this);
  for (TbsSkinPopupWindow* level : levels_) FreeLater(level);
  levels_.clear();
}

void TbsSkinMenu::SetForm(TControl* form) { form_ = form; }

void TbsSkinMenu::SetDefaultMenuItemFont(const TFont* font)
{
  if (font) defaultFont_->Assign(font);
}

void TbsSkinMenu::SetCursorSource(std::function<QPoint()> source) { CursorSourceFn() = std::move(source); }

QPoint TbsSkinMenu::CursorPos()
{
  if (CursorSourceFn()) return CursorSourceFn()();
  return QCursor::pos();
}

void TbsSkinMenu::Popup(TControl* popupControl, TbsSkinData* skinData, bool upward, TMenuItem* items,
                        const QRect& anchor, int startIndex, TImageList* images)
{
  CloseAll();
  auto* formWindow = qobject_cast<TWinControl*>(form_.data());
  bounds_ = GetMonitorWorkArea(formWindow, true);
  skinData_ = skinData;
  images_ = images;
  if (!items || startIndex < 0 || startIndex >= items->Count()) return;
  auto* level = new TbsSkinPopupWindow(this, skinData);
  level->Prepare(items, startIndex, anchor, upward, false);
  if (level->ItemCount() == 0) {
    TComponent::Free(level);
    return;
  }
  popupControl_ = popupControl;
  lastPopupControl_ = popupControl;
  levels_.push_back(level);
  open_ = true;
  if (!filtering_) {
    qApp->installEventFilter(this);
    filtering_ = true;
  }
  level->ShowLevel();
  OnMenuOpen(this);
}

void TbsSkinMenu::CloseAll()
{
  subMenuTimer_.stop();
  waitingLevel_ = nullptr;
  waitingIndex_ = -1;
  CloseLevelsAfter(-1);
  if (filtering_) {
    qApp->removeEventFilter(this);
    filtering_ = false;
  }
  if (!open_) return;
  open_ = false;
  QPointer<TbsSkinMenu> self(this);
  const QPointer<TControl> opener = popupControl_;
  popupControl_ = nullptr;
  Notify(WM_CLOSESKINMENU, form_);
  if (self && opener && opener != form_) Notify(WM_CLOSESKINMENU, opener);
  if (self) OnMenuClose(this);
}

void TbsSkinMenu::Notify(quint32 msg, TControl* control)
{
  if (control) control->SendMessage(msg);
}

void TbsSkinMenu::CloseLevelsAfter(int keep)
{
  while (int(levels_.size()) > keep + 1) {
    TbsSkinPopupWindow* level = levels_.back();
    levels_.pop_back();
    if (waitingLevel_ == level) {
      subMenuTimer_.stop();
      waitingLevel_ = nullptr;
      waitingIndex_ = -1;
    }
    FreeLater(level);
  }
}

void TbsSkinMenu::CloseDeepest()
{
  if (levels_.size() <= 1) CloseAll();
  else CloseLevelsAfter(int(levels_.size()) - 2);
}

TbsSkinPopupWindow* TbsSkinMenu::LevelAt(QPoint screenPos) const
{
  for (auto it = levels_.rbegin(); it != levels_.rend(); ++it)
    if ((*it)->BoundsRect().contains(screenPos)) return *it;
  return nullptr;
}

void TbsSkinMenu::ItemActivated(TbsSkinPopupWindow* level, int index)
{
  level->SetActive(index);
  subMenuTimer_.stop();
  waitingLevel_ = nullptr;
  waitingIndex_ = -1;
  if (index < 0 || index >= level->ItemCount()) return;
  TMenuItem* item = level->Item(index).MenuItem;
  const bool hasSubMenu = item && item->Count() > 0 && item->Enabled();
  // Resting on another item also takes an open deeper level away after the delay.
  const auto at = std::find(levels_.begin(), levels_.end(), level);
  const bool deeperOpen = at != levels_.end() && at + 1 != levels_.end();
  if (hasSubMenu || deeperOpen) {
    waitingLevel_ = level;
    waitingIndex_ = index;
    subMenuTimer_.start();
  }
}

void TbsSkinMenu::SubMenuTimerElapsed()
{
  subMenuTimer_.stop();
  TbsSkinPopupWindow* level = waitingLevel_;
  const int index = waitingIndex_;
  waitingLevel_ = nullptr;
  waitingIndex_ = -1;
  if (!level || !open_) return;
  const auto at = std::find(levels_.begin(), levels_.end(), level);
  if (at == levels_.end() || index < 0 || index >= level->ItemCount()) return;
  TMenuItem* item = level->Item(index).MenuItem;
  if (item && item->Count() > 0 && item->Enabled()) OpenSubMenu(level, index);
  else CloseLevelsAfter(int(at - levels_.begin()));
}

void TbsSkinMenu::OpenSubMenu(TbsSkinPopupWindow* level, int index)
{
  const auto at = std::find(levels_.begin(), levels_.end(), level);
  if (at == levels_.end() || index < 0 || index >= level->ItemCount()) return;
  TMenuItem* item = level->Item(index).MenuItem;
  if (!item || item->Count() == 0 || !item->Enabled()) return;
  const int depth = int(at - levels_.begin());
  // A submenu already open for this very item stays.
  if (depth + 1 < LevelCount() && levels_[size_t(depth + 1)]->ParentItem() == item) return;
  CloseLevelsAfter(depth);
  auto* sub = new TbsSkinPopupWindow(this, skinData_);
  sub->Prepare(item, 0, level->ItemScreenRect(index), false, true);
  if (sub->ItemCount() == 0) {
    TComponent::Free(sub);
    return;
  }
  levels_.push_back(sub);
  sub->ShowLevel();
}

void TbsSkinMenu::ItemClicked(TbsSkinPopupWindow* level, int index)
{
  if (index < 0 || index >= level->ItemCount() || !level->Item(index).Selectable()) return;
  TMenuItem* item = level->Item(index).MenuItem;
  if (item->Count() > 0) {
    ItemActivated(level, index);
    subMenuTimer_.stop();
    OpenSubMenu(level, index);
    return;
  }
  ExecuteItem(item);
}

void TbsSkinMenu::ExecuteItem(TMenuItem* item)
{
  QPointer<TbsSkinMenu> self(this);
  QPointer<TMenuItem> guard(item);
  const QPointer<TControl> opener = popupControl_;
  CloseAll();
  if (!self || !guard) return;
  // The command may close the form, free this menu or free the item itself.
  guard->Click();
  if (opener) opener->SendMessage(WM_AFTERDISPATCH);
}

bool TbsSkinMenu::KeyDown(int key)
{
  if (!open_ || levels_.empty()) return false;
  TbsSkinPopupWindow* level = levels_.back();
  switch (key) {
  case VK_RETURN: {
    const int i = level->ActiveIndex();
    if (i >= 0) ItemClicked(level, i);
    return true;
  }
  case VK_ESCAPE:
    CloseDeepest();
    return true;
  case VK_LEFT:
    if (levels_.size() >= 2) CloseLevelsAfter(int(levels_.size()) - 2);
    return true;
  case VK_RIGHT: {
    const int i = level->ActiveIndex();
    if (i >= 0) OpenSubMenu(level, i);
    return true;
  }
  case VK_DOWN:
  case VK_UP: {
    const int next = level->FindSelectable(level->ActiveIndex(), key == VK_DOWN ? 1 : -1);
    if (next >= 0) {
      level->SetActive(next);
      subMenuTimer_.stop();
      waitingLevel_ = nullptr;
    }
    return true;
  }
  default:
    return false;
  }
}

bool TbsSkinMenu::eventFilter(QObject* watched, QEvent* event)
{
  if (!open_) return TComponent::eventFilter(watched, event);
  switch (event->type()) {
  case QEvent::KeyPress: {
    auto* ke = static_cast<QKeyEvent*>(event);
    const int vk = QtKeyToVirtualKey(ke->key(), ke->text());
    bool used = false;
    Guarded([&] { used = KeyDown(vk); });
    return used;
  }
  case QEvent::Wheel:
    return true;
  case QEvent::MouseButtonPress:
  case QEvent::MouseButtonDblClick:
  case QEvent::NonClientAreaMouseButtonPress: {
    // A press on one of the levels is theirs; anywhere else closes the menu.
    auto* me = static_cast<QMouseEvent*>(event);
    if (!LevelAt(me->globalPosition().toPoint())) Guarded([&] { CloseAll(); });
    break;
  }
  case QEvent::MouseButtonRelease: {
    // A press elsewhere (the button that opened the menu) released over an
    // item: that window holds the mouse, so the item is told from here.
    auto* me = static_cast<QMouseEvent*>(event);
    TbsSkinPopupWindow* level = me->button() == Qt::LeftButton ? LevelAt(me->globalPosition().toPoint()) : nullptr;
    if (!level || (level->HandleAllocated() && watched == level->Handle())) break;
    const int index = level->ItemAt(me->globalPosition().toPoint() - level->BoundsRect().topLeft());
    if (index >= 0) {
      Guarded([&] { ItemClicked(level, index); });
      return true;
    }
    break;
  }
  case QEvent::ApplicationDeactivate:
    Guarded([&] { CloseAll(); });
    break;
  default:
    break;
  }
  return TComponent::eventFilter(watched, event);
}

// ---------------------------------------------------------------- TbsSkinPopupMenu

TbsSkinPopupMenu::TbsSkinPopupMenu(TComponent* AOwner) : TPopupMenu(AOwner) {}

void TbsSkinPopupMenu::SetSkinData(TbsSkinData* v)
{
  ReplaceReference(skinData_, v);
}

void TbsSkinPopupMenu::SetForm(TComponent* v)
{
  ReplaceReference(form_, v);
}

void TbsSkinPopupMenu::Notification(TComponent* AComponent, TOperation Operation)
{
  if (Operation == TOperation::opRemove) {
    if (AComponent == skinData_) skinData_ = nullptr;
    if (AComponent == form_) form_ = nullptr;
  }
  TPopupMenu::Notification(AComponent, Operation);
}

TbsSkinMenuHost* TbsSkinPopupMenu::FindHost() const
{
  TComponent* form = form_;
  if (!form && qobject_cast<TForm*>(Owner())) form = Owner();
  if (!form && Owner() && qobject_cast<TForm*>(Owner()->Owner())) form = Owner()->Owner();
  if (!form) return nullptr;
  if (auto* host = dynamic_cast<TbsSkinMenuHost*>(form)) return host;
  for (int i = 0; i < form->ComponentCount(); ++i)
    if (auto* host = dynamic_cast<TbsSkinMenuHost*>(form->Components(i))) return host;
  return nullptr;
}

bool TbsSkinPopupMenu::Open(const QRect& anchor, bool upward, bool needSkin)
{
  TbsSkinMenuHost* host = FindHost();
  if (!host || !host->SkinMenu()) return false;
  TbsSkinData* data = skinData_ ? skinData_ : host->MenuSkinData();
  if (needSkin && !data) return false;
  auto* control = qobject_cast<TControl*>(PopupComponent());
  host->SkinMenu()->Popup(control, data, upward, Items(), anchor, 0, Images());
  return host->SkinMenu()->IsOpen();
}

void TbsSkinPopupMenu::Popup(int X, int Y)
{
  DoPopup();
  Open(QRect(X, Y, 0, 0), false, false);
}

void TbsSkinPopupMenu::PopupUnder(const QRect& anchor, bool upward)
{
  DoPopup();
  Open(anchor, upward, false);
}

void TbsSkinPopupMenu::PopupFromEdit(int X, int Y)
{
  DoPopup();
  Open(QRect(X, Y, 0, 0), false, true);
}

void RegisterSkinMenuClasses()
{
  RegisterMenuClasses();
  TComponentClasses::Register<TbsSkinPopupMenu>();
}
