#include "toolkit/menus.h"

#include "toolkit/image_list.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>
#include <algorithm>

// ---------------------------------------------------------------- TMenuItem

TMenuItem::TMenuItem(TComponent* AOwner) : TComponent(AOwner) {}

TMenuItem::~TMenuItem() { TMenuItem::BeforeDestruction(); }

void TMenuItem::BeforeDestruction()
{
  // Children still attached go with their parent; the item leaves its own.
  while (!items_.empty()) {
    TMenuItem* child = items_.back();
    items_.pop_back();
    child->parent_ = nullptr;
    TComponent::Free(child);
  }
  if (parent_) parent_->Remove(this);
  TComponent::BeforeDestruction();
}

int TMenuItem::IndexOf(const TMenuItem* item) const
{
  const auto it = std::find(items_.begin(), items_.end(), item);
  return it == items_.end() ? -1 : int(it - items_.begin());
}

void TMenuItem::Insert(int index, TMenuItem* item)
{
  if (!item || item == this) return;
  for (TMenuItem* p = this; p; p = p->parent_)
    if (p == item) throw EComponentError(QStringLiteral("A menu item cannot hold itself"));
  if (item->parent_) item->parent_->Remove(item);
  index = std::clamp(index, 0, Count());
  items_.insert(items_.begin() + index, item);
  item->parent_ = this;
}

void TMenuItem::Remove(TMenuItem* item)
{
  const int i = IndexOf(item);
  if (i < 0) return;
  items_.erase(items_.begin() + i);
  item->parent_ = nullptr;
}

void TMenuItem::Delete(int index)
{
  if (index < 0 || index >= Count()) return;
  TComponent::Free(items_[size_t(index)]);
}

void TMenuItem::Clear()
{
  while (!items_.empty()) Delete(Count() - 1);
}

TMenuItem* TMenuItem::Find(const QString& name) const
{
  for (TMenuItem* item : items_)
    if (item->Name().compare(name, Qt::CaseInsensitive) == 0) return item;
  return nullptr;
}

TMenuItem* TMenuItem::DefaultItem() const
{
  for (TMenuItem* item : items_)
    if (item->Default()) return item;
  return nullptr;
}

void TMenuItem::Click()
{
  // A copy: the handler may free this item, and with it the stored event.
  const TNotifyEvent handler = onClick_;
  handler(this);
}

TComponent* TMenuItem::GetParentComponent() const
{
  if (parent_ && parent_->holder_) return parent_->holder_;
  return parent_;
}

void TMenuItem::SetParentComponent(TComponent* AParent)
{
  if (auto* menu = qobject_cast<TPopupMenu*>(AParent)) menu->Items()->Add(this);
  else if (auto* item = qobject_cast<TMenuItem*>(AParent)) item->Add(this);
}

std::vector<TComponent*> TMenuItem::GetChildren(TComponent*) const
{
  return std::vector<TComponent*>(items_.begin(), items_.end());
}

TMenuItem* TMenuItem::Create(const QString& name, const QString& caption, const QString& shortCut, TNotifyEvent onClick)
{
  auto* item = new TMenuItem(nullptr);
  if (!name.isEmpty()) item->SetName(name);
  item->SetCaption(caption);
  item->SetShortCut(shortCut);
  item->SetOnClick(onClick);
  return item;
}

// ---------------------------------------------------------------- TPopupMenu

TPopupMenu::TPopupMenu(TComponent* AOwner) : TComponent(AOwner), items_(new TMenuItem(nullptr))
{
  items_->holder_ = this;
}

TPopupMenu::~TPopupMenu()
{
  TComponent::Free(items_);
}

void TPopupMenu::SetImages(TImageList* v)
{
  if (!ReplaceReference(images_, v)) return;
}

void TPopupMenu::SetPopupComponent(TComponent* c)
{
  if (!ReplaceReference(popupComponent_, c)) return;
}

void TPopupMenu::Popup(int, int) { DoPopup(); }

void TPopupMenu::Release()
{
  QPointer<TPopupMenu> guard(this);
  QTimer::singleShot(0, qApp, [guard] {
    if (guard) TComponent::Free(guard.data());
  });
}

std::vector<TComponent*> TPopupMenu::GetChildren(TComponent* root) const
{
  std::vector<TComponent*> children = TComponent::GetChildren(root);
  for (int i = 0; i < items_->Count(); ++i) children.push_back(items_->Items(i));
  return children;
}

void TPopupMenu::Notification(TComponent* AComponent, TOperation Operation)
{
  if (Operation == TOperation::opRemove) {
    if (AComponent == images_) images_ = nullptr;
    if (AComponent == popupComponent_) popupComponent_ = nullptr;
  }
  TComponent::Notification(AComponent, Operation);
}

void RegisterMenuClasses()
{
  TComponentClasses::Register<TMenuItem>();
  TComponentClasses::Register<TPopupMenu>();
}
