// Menu items and the popup menu component: the model of a menu. Who draws
// and runs a menu is up to the popup menu class (the skinned one draws its own
// windows); this layer only holds the tree of items and runs their commands.
//
// Items form a tree: a parent item holds its children in order and frees the
// ones still attached when it goes; an item freed on its own leaves its
// parent. In a window description items nest inside their popup menu or their
// parent item.
#pragma once

#include "toolkit/image_list.h"

#include <vector>

class TMenuItem : public TComponent {
  Q_OBJECT
  Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
  Q_PROPERTY(QString ShortCut READ ShortCut WRITE SetShortCut)
  Q_PROPERTY(bool Enabled READ Enabled WRITE SetEnabled)
  Q_PROPERTY(bool Visible READ Visible WRITE SetVisible)
  Q_PROPERTY(bool Checked READ Checked WRITE SetChecked)
  Q_PROPERTY(bool RadioItem READ RadioItem WRITE SetRadioItem)
  Q_PROPERTY(bool Default READ Default WRITE SetDefault)
  Q_PROPERTY(int ImageIndex READ ImageIndex WRITE SetImageIndex)
  Q_PROPERTY(TNotifyEvent OnClick READ OnClick WRITE SetOnClick)

public:
  Q_INVOKABLE explicit TMenuItem(TComponent* AOwner);
  ~TMenuItem() override;

  // "-" makes the item a separator; '&' marks the mnemonic ("&&" is a plain '&').
  QString Caption() const { return caption_; }
  void SetCaption(const QString& v) { caption_ = v; }
  // The short-cut as shown, e.g. "Alt+F4" (the program assigns no keys to it).
  QString ShortCut() const { return shortCut_; }
  void SetShortCut(const QString& v) { shortCut_ = v; }
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool v) { enabled_ = v; }
  bool Visible() const { return visible_; }
  void SetVisible(bool v) { visible_ = v; }
  bool Checked() const { return checked_; }
  void SetChecked(bool v) { checked_ = v; }
  bool RadioItem() const { return radioItem_; }
  void SetRadioItem(bool v) { radioItem_ = v; }
  bool Default() const { return default_; }
  void SetDefault(bool v) { default_ = v; }
  int ImageIndex() const { return imageIndex_; }
  void SetImageIndex(int v) { imageIndex_ = v; }
  TNotifyEvent OnClick() const { return onClick_; }
  void SetOnClick(const TNotifyEvent& e) { onClick_ = e; }

  bool IsLine() const { return caption_ == QLatin1String("-"); }

  int Count() const { return int(items_.size()); }
  TMenuItem* Items(int index) const { return items_.at(size_t(index)); }
  TMenuItem* Parent() const { return parent_; }
  int IndexOf(const TMenuItem* item) const;
  // Takes the item (leaving its old parent); Insert clamps the index.
  void Add(TMenuItem* item) { Insert(Count(), item); }
  void Insert(int index, TMenuItem* item);
  // Detaches without freeing.
  void Remove(TMenuItem* item);
  // Frees the child at `index` / every child.
  void Delete(int index);
  void Clear();
  // Child by component name, case-insensitive; nullptr when none.
  TMenuItem* Find(const QString& name) const;
  // The first child marked Default, or nullptr.
  TMenuItem* DefaultItem() const;

  // Runs OnClick. The item may be freed by its own command: nothing of it is
  // touched after the handler returns.
  virtual void Click();

  TComponent* GetParentComponent() const override;
  void SetParentComponent(TComponent* AParent) override;
  std::vector<TComponent*> GetChildren(TComponent* root) const override;

  // A new item without owner (its parent frees it).
  static TMenuItem* Create(const QString& name, const QString& caption, const QString& shortCut = QString(),
                           TNotifyEvent onClick = {});

protected:
  void BeforeDestruction() override;

private:
  friend class TPopupMenu;
  QString caption_, shortCut_;
  bool enabled_ = true, visible_ = true, checked_ = false, radioItem_ = false, default_ = false;
  int imageIndex_ = -1;
  TNotifyEvent onClick_;
  TMenuItem* parent_ = nullptr;
  TComponent* holder_ = nullptr;  // the popup menu whose root this item is
  std::vector<TMenuItem*> items_;
};

// A menu shown at a screen point on request (a context menu).
class TPopupMenu : public TComponent {
  Q_OBJECT
  Q_PROPERTY(TImageList* Images READ Images WRITE SetImages)
  Q_PROPERTY(bool AutoPopup READ AutoPopup WRITE SetAutoPopup)
  Q_PROPERTY(TNotifyEvent OnPopup READ OnPopup WRITE SetOnPopup)

public:
  Q_INVOKABLE explicit TPopupMenu(TComponent* AOwner);
  ~TPopupMenu() override;

  // The root item; its children are the menu's first level.
  TMenuItem* Items() const { return items_; }
  TImageList* Images() const { return images_; }
  void SetImages(TImageList* v);
  // Whether the component that carries the menu pops it up by itself (a right click).
  bool AutoPopup() const { return autoPopup_; }
  void SetAutoPopup(bool v) { autoPopup_ = v; }
  TNotifyEvent OnPopup() const { return onPopup_; }
  void SetOnPopup(const TNotifyEvent& e) { onPopup_ = e; }
  // The component that popped the menu up last.
  TComponent* PopupComponent() const { return popupComponent_; }
  void SetPopupComponent(TComponent* c);

  // Shows the menu with its top-left corner at the screen point (after OnPopup).
  virtual void Popup(int X, int Y);
  // Frees the menu once the current event has been handled: the way for one
  // of its own commands to free it.
  void Release();

  std::vector<TComponent*> GetChildren(TComponent* root) const override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

protected:
  void DoPopup() { onPopup_(this); }

private:
  TMenuItem* items_;
  TImageList* images_ = nullptr;
  bool autoPopup_ = true;
  TNotifyEvent onPopup_;
  TComponent* popupComponent_ = nullptr;
};

void RegisterMenuClasses();
