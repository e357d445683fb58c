// One open level of a skinned menu: a frameless top-level window that never
// takes the focus, drawn from the skin's popup-window picture and menu-item
// definition (or the built-in look), with its items laid out top-down and,
// when taller than the work area, scrolled one item at a time.
#pragma once

#include "skin/skin_definitions.h"
#include "skin/skin_draw.h"
#include "toolkit/controls.h"

#include <QPointer>
#include <QTimer>
#include <optional>
#include <vector>

class TbsSkinMenu;
class TbsSkinData;
class TImageList;
class TMenuItem;

// One visible menu item of a level.
struct TbsSkinMenuItem {
  QPointer<TMenuItem> MenuItem;
  QRect ItemRect;        // in the window; empty while scrolled out
  int Height = 0;
  bool Visible = false;  // inside the shown range
  bool Active = false;
  bool IsLine() const;
  bool Selectable() const;  // enabled and not a separator
};

class TbsSkinPopupWindow : public TCustomControl {
  Q_OBJECT
public:
  static constexpr int kPollMs = 50;
  static constexpr int kScrollBand = 10;

  TbsSkinPopupWindow(TbsSkinMenu* menu, TbsSkinData* skinData);
  ~TbsSkinPopupWindow() override;

  // Lays out the visible children of `parent` from `first` and places the
  // window (screen coordinates) by the anchor; does not show it.
  void Prepare(TMenuItem* parent, int first, const QRect& anchor, bool upward, bool submenu);
  // Shows without taking the focus, starts the mouse poll, activates the first selectable item.
  void ShowLevel();
  // Stops the timers and hides the window (freeing comes later, from the menu).
  void HideLevel();

  TMenuItem* ParentItem() const { return parent_; }
  bool Skinned() const { return itemData_.has_value(); }
  int ItemCount() const { return int(items_.size()); }
  const TbsSkinMenuItem& Item(int index) const { return items_.at(size_t(index)); }
  int ActiveIndex() const { return active_; }
  // Makes the item active and the others not (-1: none), scrolling it into view.
  void SetActive(int index);
  // The next selectable item after `from` in the direction (+1 / -1), wrapping
  // once round; -1 when there is none.
  int FindSelectable(int from, int direction) const;
  // The visible item at a window point, or -1.
  int ItemAt(QPoint p) const;
  QRect ItemsArea() const { return itemsArea_; }
  QRect ItemScreenRect(int index) const;
  bool Scrolling() const { return scrolling_; }
  int FirstVisible() const { return firstVisible_; }
  int VisibleCount() const { return visibleCount_; }
  // 0 none, 1 up, 2 down.
  int ScrollDirection() const { return scrollDir_; }
  // One item up (1) or down (2) when possible; true when it moved.
  bool ScrollStep(int direction);
  int GlyphColumnWidth() const;

  // What the mouse poll does with a cursor position (the timer reads the real one).
  void MousePoll(QPoint screenPos);
  // The whole window drawn into a bitmap of its size.
  void PaintToBitmap(TBitmap& out);

protected:
  QWidget* CreateWidget(QWidget* parentWidget) override;
  void Paint() override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;

private:
  int ItemHeight(const TMenuItem* item) const;
  int MeasureText(const QString& text);
  void LayoutItems();
  void Place(const QRect& anchor, bool upward, bool submenu);
  void DrawBackground(TCanvas* canvas, TBitmap& out);
  void DrawItem(TCanvas* canvas, const TbsSkinMenuItem& item);
  void DrawSkinnedItem(TCanvas* canvas, const TbsSkinMenuItem& item);
  void DrawDefaultItem(TCanvas* canvas, const TbsSkinMenuItem& item);
  void DrawItemText(TCanvas* canvas, const TbsSkinMenuItem& item, const QRect& textArea, int glyphWidth,
                    int shortCutGap, TColor color);
  void DrawGlyphColumn(TCanvas* canvas, const TbsSkinMenuItem& item, const QRect& column, TColor color);
  void DrawScrollMarkers(TCanvas* canvas);

  TbsSkinMenu* menu_;
  QPointer<TbsSkinData> skinData_;
  // Copies: the skin may be reloaded (its definitions freed) while a level is open.
  std::optional<TbsDataSkinPopupWindow> popupData_;
  std::optional<TbsDataSkinMenuItem> itemData_;
  QImage windowPicture_, maskPicture_, itemPicture_;
  QPointer<TImageList> images_;
  QPointer<TMenuItem> parent_;
  std::vector<TbsSkinMenuItem> items_;
  int active_ = -1;
  bool scrolling_ = false;
  int firstVisible_ = 0, visibleCount_ = 0;
  int scrollDir_ = 0;
  QRect itemsArea_;
  QPoint lastCursor_{-100000, -100000};
  QTimer pollTimer_, fadeTimer_;
  int fadeAlpha_ = 0;
};
