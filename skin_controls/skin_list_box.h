// The skinned list box: an inner owner-drawn list (TbsListBox) in the
// stretched client area of "listbox", a skinned vertical scroll bar at its
// right while the items do not fit. TbsPopupListBox is the same list in a
// frameless top-level window that never takes the activation (the combo
// box's drop-down).
#pragma once

#include "skin_controls/skin_scroll_bar.h"
#include "toolkit/image_list.h"

#include <QPointer>
#include <QStringList>
#include <QTimer>

class TbsDataSkinListBox;

// States handed to item drawing.
enum TbsItemState { odSelected = 0x1, odFocused = 0x2 };
// Draws one item: canvas, item index, state flags, the item's rectangle.
using TbsDrawSkinItemEvent = TEvent<TObject*, TCanvas*, int, int, QRect>;

// A dotted focus frame on `r`.
void DrawFocusFrame(TCanvas* canvas, const QRect& r);

// The inner list: rows of a fixed height from TopIndex on, drawn by its owner.
class TbsListBox : public TCustomControl {
  Q_OBJECT
public:
  explicit TbsListBox(TComponent* AOwner);

  const QStringList& Items() const { return items_; }
  void SetItems(const QStringList& v);
  int Count() const { return int(items_.size()); }
  // -1, or an index of the items (other values read as -1).
  int ItemIndex() const { return itemIndex_; }
  void SetItemIndex(int v);
  int TopIndex() const { return topIndex_; }
  void SetTopIndex(int v);
  int ItemHeight() const { return itemHeight_; }
  // Never below 1: a row of no height would make every row count divide by zero.
  void SetItemHeight(int v);
  // Rows that fit whole (at least 1).
  int VisibleRows() const;
  // The item at a client point, or -1.
  int ItemAtPos(QPoint p) const;
  QRect ItemRect(int index) const;
  // Scrolls the index into view.
  void MakeVisible(int index);

  std::function<void(TCanvas*, int, const QRect&)> DrawItemHook;
  // The rows moved (wheel, selection, scroll): the owner mirrors them in its bar.
  std::function<void()> OnScrolled;
  // Set: a press on a row and the arrow, page, Home and End keys choose an
  // item, and this runs after every press on a row and every change by the
  // keys (not after SetItemIndex).
  std::function<void()> OnUserSelect;

  void WndProc(TMessage& Message) override;

protected:
  void Paint() override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void KeyDown(int& Key, TShiftState Shift) override;
  void DoEnter() override;
  void DoExit() override;

private:
  QStringList items_;
  int itemIndex_ = -1, topIndex_ = 0, itemHeight_ = 20;
  TbsWheelNotches wheel_;
};

class TbsSkinCustomListBox : public TbsSkinCustomControl {
  Q_OBJECT
  Q_PROPERTY(QStringList Items READ Items WRITE SetItems)
  Q_PROPERTY(int ItemIndex READ ItemIndex WRITE SetItemIndex)
  Q_PROPERTY(bool UseSkinItemHeight READ UseSkinItemHeight WRITE SetUseSkinItemHeight)
  Q_PROPERTY(int DefaultItemHeight READ DefaultItemHeight WRITE SetDefaultItemHeight)
  Q_PROPERTY(int RowCount READ RowCount WRITE SetRowCount)
  Q_PROPERTY(TImageList* Images READ Images WRITE SetImages)
  Q_PROPERTY(int ImageIndex READ ImageIndex WRITE SetImageIndex)
  Q_PROPERTY(bool CaptionMode READ CaptionMode WRITE SetCaptionMode)
  Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
  Q_PROPERTY(int DefaultCaptionHeight READ DefaultCaptionHeight WRITE SetDefaultCaptionHeight)
  Q_PROPERTY(bool Sorted READ Sorted WRITE SetSorted)
  Q_PROPERTY(int HorizontalExtent READ HorizontalExtent WRITE SetHorizontalExtent)
  Q_PROPERTY(TNotifyEvent OnChange READ OnChange WRITE SetOnChange)

public:
  explicit TbsSkinCustomListBox(TComponent* AOwner);
  ~TbsSkinCustomListBox() override;

  QStringList Items() const { return list_ ? list_->Items() : QStringList(); }
  void SetItems(const QStringList& v);
  int ItemIndex() const { return list_ ? list_->ItemIndex() : -1; }
  void SetItemIndex(int v);
  bool UseSkinItemHeight() const { return useSkinItemHeight_; }
  void SetUseSkinItemHeight(bool v);
  int DefaultItemHeight() const { return defaultItemHeight_; }
  void SetDefaultItemHeight(int v);
  int RowCount() const { return rowCount_; }
  // Sets the height to show that many rows (0: leave the height).
  void SetRowCount(int v);
  TImageList* Images() const { return images_; }
  void SetImages(TImageList* v);
  int ImageIndex() const { return imageIndex_; }
  void SetImageIndex(int v);
  bool CaptionMode() const { return captionMode_; }
  void SetCaptionMode(bool v);
  int DefaultCaptionHeight() const { return defaultCaptionHeight_; }
  void SetDefaultCaptionHeight(int v);
  bool Sorted() const { return sorted_; }
  void SetSorted(bool v);
  int HorizontalExtent() const { return horizontalExtent_; }
  void SetHorizontalExtent(int v) { horizontalExtent_ = v; }
  TbsDrawSkinItemEvent OnDrawItem() const { return onDrawItem_; }
  void SetOnDrawItem(const TbsDrawSkinItemEvent& e) { onDrawItem_ = e; }
  // The user chose an item: pressed on a row, or moved to another by the keys.
  TNotifyEvent OnChange() const { return onChange_; }
  void SetOnChange(const TNotifyEvent& e) { onChange_ = e; }
  // Pixels an item's image and text move right (a tree's levels); none when unset.
  std::function<int(int index)> ItemIndent;

  // The row height: the skin's item picture, or DefaultItemHeight; at least 1.
  int ItemHeight();
  TbsListBox* ListBox() const { return list_; }
  // The vertical bar while the items do not fit, else nullptr.
  TbsSkinScrollBar* VScrollBar() const { return vScrollBar_; }
  // Lays out the inner list and creates, updates or removes the bar.
  void UpdateScrollBars();
  void ApplySkinData() override;
  void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
  void CreateHandle() override;

  // Draws item `index` into `r` of `canvas` as the list shows it.
  void DrawItem(TCanvas* canvas, int index, const QRect& r);

protected:
  void DrawDefaultLook(TBitmap& bitmap) override;
  void DrawSkinLook(TBitmap& bitmap) override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  const TbsDataSkinListBox* ListDefinition() const;
  QRect InnerRect();
  void DrawItemText(TCanvas* canvas, int index, QRect textRect);

  TbsListBox* list_;
  TbsSkinScrollBar* vScrollBar_ = nullptr;

private:
  void SyncBar();
  bool useSkinItemHeight_ = true;
  int defaultItemHeight_ = 20;
  int rowCount_ = 0;
  QPointer<TImageList> images_;
  int imageIndex_ = -1;
  bool captionMode_ = false;
  int defaultCaptionHeight_ = 20;
  bool sorted_ = false;
  int horizontalExtent_ = 0;
  bool laying_ = false;
  TbsDrawSkinItemEvent onDrawItem_;
  TNotifyEvent onChange_;
};

class TbsSkinListBox : public TbsSkinCustomListBox {
  Q_OBJECT
public:
  explicit TbsSkinListBox(TComponent* AOwner) : TbsSkinCustomListBox(AOwner) {}
};

// The drop-down list of a combo box.
class TbsPopupListBox : public TbsSkinListBox {
  Q_OBJECT
public:
  static constexpr int kFadeStep = 2;
  static constexpr int kFadeMs = 10;

  explicit TbsPopupListBox(TComponent* AOwner);

  // Shows at a screen point without taking the activation; with alphaBlend the
  // window takes `alpha`, reached from 0 in steps when `animate`.
  void ShowPopup(QPoint screenPos, bool alphaBlend, int alpha, bool animate);
  // Hides and stops any fade.
  void HidePopup();
  bool PopupShown() const { return shown_; }
  bool Layered() const { return layered_; }
  int Opacity() const { return opacity_; }
  bool Fading() const { return fadeTimer_.isActive(); }
  // One step of the fade-in (the timer's tick; public so tests drive it).
  void FadeTick();

protected:
  QWidget* CreateWidget(QWidget* parentWidget) override;

private:
  void BelongToOwnersWindow();
  bool shown_ = false;
  bool layered_ = false;
  int opacity_ = 255;
  int fadeTarget_ = 255;
  QTimer fadeTimer_;
};
