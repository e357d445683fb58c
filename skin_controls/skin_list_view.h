// TbsSkinCustomListView: a skinned list view in owner-data mode. The derived
// class says how many items there are and gives each item's caption, icon and
// detail texts on demand; the view lays them out in one of four styles (large
// icons, small icons, list, details), keeps the selection, scrolls, paints only
// what is visible, draws the details view's column headers from the skin, and
// finds items by their first letters as the user types.
//
// Scrolling is a plain scroll position in pixels (ScrollPos / SetScrollPos,
// the content and page sizes, OnScroll when any of them changes). The list
// draws no scroll bars of its own: it drives two skinned ones it is handed
// (HScrollBar, VScrollBar; not owned), showing each only while the content
// is longer than the page on its axis.
#pragma once

#include "skin_controls/skin_control.h"
#include "skin_controls/skin_scroll_bar.h"

#include <QElapsedTimer>
#include <QIcon>
#include <QTimer>
#include <vector>

struct TbsListColumn {
  QString Caption;
  int Width = 50;
  TControl::TAlignment Alignment = TControl::taLeftJustify;
};

class TbsSkinCustomListView : public TbsSkinControl {
  Q_OBJECT
  Q_PROPERTY(TViewStyle ViewStyle READ ViewStyle WRITE SetViewStyle)
  Q_PROPERTY(bool MultiSelect READ MultiSelect WRITE SetMultiSelect)
  Q_PROPERTY(bool ReadOnly READ ReadOnly WRITE SetReadOnly)
  Q_PROPERTY(bool ShowColumnHeaders READ ShowColumnHeaders WRITE SetShowColumnHeaders)
  Q_PROPERTY(QString HeaderSkinDataName READ HeaderSkinDataName WRITE SetHeaderSkinDataName)
  Q_PROPERTY(TFont* DefaultFont READ DefaultFont WRITE SetDefaultFont)
  Q_PROPERTY(bool UseSkinFont READ UseSkinFont WRITE SetUseSkinFont)
  Q_PROPERTY(TNotifyEvent OnSelectItem READ OnSelectItem WRITE SetOnSelectItem)
  Q_PROPERTY(TNotifyEvent OnScroll READ OnScroll WRITE SetOnScroll)
  Q_PROPERTY(TbsSkinScrollBar* HScrollBar READ HScrollBar WRITE SetHScrollBar)
  Q_PROPERTY(TbsSkinScrollBar* VScrollBar READ VScrollBar WRITE SetVScrollBar)

public:
  enum TViewStyle { vsIcon, vsSmallIcon, vsList, vsReport };
  Q_ENUM(TViewStyle)

  explicit TbsSkinCustomListView(TComponent* AOwner);
  ~TbsSkinCustomListView() override;

  TViewStyle ViewStyle() const { return viewStyle_; }
  virtual void SetViewStyle(TViewStyle v);
  bool MultiSelect() const { return multiSelect_; }
  void SetMultiSelect(bool v);
  // No in-place label editing.
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool v) { readOnly_ = v; }
  bool ShowColumnHeaders() const { return showColumnHeaders_; }
  void SetShowColumnHeaders(bool v);
  QString HeaderSkinDataName() const { return headerSkinDataName_; }
  void SetHeaderSkinDataName(const QString& v);
  TFont* DefaultFont() const { return defaultFont_; }
  void SetDefaultFont(TFont* v);
  bool UseSkinFont() const { return useSkinFont_; }
  void SetUseSkinFont(bool v);
  TNotifyEvent OnSelectItem() const { return onSelectItem_; }
  void SetOnSelectItem(const TNotifyEvent& e) { onSelectItem_ = e; }
  TNotifyEvent OnScroll() const { return onScroll_; }
  void SetOnScroll(const TNotifyEvent& e) { onScroll_ = e; }
  // The bars the list keeps in step: each is enabled, hidden until needed,
  // and scrolls the list when moved.
  TbsSkinScrollBar* HScrollBar() const { return hBar_; }
  void SetHScrollBar(TbsSkinScrollBar* v);
  TbsSkinScrollBar* VScrollBar() const { return vBar_; }
  void SetVScrollBar(TbsSkinScrollBar* v);
  // Range, page, position and visibility of the bars from the list's state.
  void SyncScrollBars();

  // Owner data: the number of items; the selection and scroll position are reset.
  int ItemCount() const { return itemCount_; }
  void SetItemCount(int count);
  // The focused item (-1: none). Setting it selects that item alone and shows it.
  int ItemIndex() const { return itemIndex_; }
  void SetItemIndex(int index);
  bool Selected(int index) const;
  void SetSelected(int index, bool selected);
  std::vector<int> SelectedIndexes() const;
  int SelCount() const;
  void ClearSelection();

  int ColumnCount() const { return int(columns_.size()); }
  const TbsListColumn& Column(int index) const { return columns_.at(size_t(index)); }
  void ClearColumns();
  void AddColumn(const QString& caption, int width, TAlignment alignment);

  // Places in client coordinates (scrolled); -1 where there is no item.
  QRect ItemRect(int index) const;
  int ItemAtPos(QPoint p) const;
  void MakeVisible(int index);
  // The header strip of the details view (empty in the other styles).
  QRect HeaderRect() const;
  int RowHeight() const;

  QPoint ScrollPos() const { return scroll_; }
  void SetScrollPos(QPoint p);
  QSize ContentSize() const;
  QSize PageSize() const;

  // The item whose caption starts with `text` (capitals compared), searched
  // from `start` on, going round to the first item when `wrap`; -1 for none.
  virtual int FindCaption(int start, const QString& text, bool wrap) const;
  // Letters typed within a second of each other add up to one search text.
  void ResetTypeAhead() { typed_.clear(); }

  // The section under a press on the header (-1 none), drawn pressed.
  int PressedSection() const { return pressedSection_; }

  // In-place editing of an item's caption (not when ReadOnly): the edit box
  // sits over the caption; Enter commits through ItemRenamed, Escape cancels.
  void EditCaption(int index);
  bool IsEditing() const { return editor_ != nullptr; }
  void EndEditing(bool commit);
  // A slow click (a click on the item already current, no double click
  // following) edits its caption once the double-click time has passed. The
  // timer's tick is public so tests drive it.
  bool SlowClickPending() const { return slowClick_.isActive(); }
  void SlowClickTick();

  void LoadSkinDefinition() override;
  void ApplySkinData() override;
  void Loaded() override;
  void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
  void SetVisible(bool v) override;
  TColor BackgroundColor() const { return bgColor_; }
  TColor TextColor() const { return fontColor_; }

protected:
  virtual QString ItemCaption(int index) const;
  virtual QIcon ItemIcon(int index, bool large) const;
  // Detail texts of columns 1..count-1 (details view).
  virtual QStringList ItemSubItems(int index) const;
  // A new caption typed for an item; false keeps the old one.
  virtual bool ItemRenamed(int index, const QString& text);
  virtual void ItemActivated(int index) { Q_UNUSED(index); }
  // Caption widths changed (new items): the list style measures again.
  void ItemsChanged();

  void DrawDefaultLook(TBitmap& bitmap) override;
  void DrawSkinLook(TBitmap& bitmap) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void DblClick() override;
  void KeyDown(int& Key, TShiftState Shift) override;
  void KeyPress(QChar& Key) override;
  void CreateHandle() override;
  void DoEnter() override;
  void DoExit() override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

private:
  void BindScrollBar(TbsSkinScrollBar*& slot, TbsSkinScrollBar* bar);
  void ScrollBarMoved(TbsSkinScrollBar* bar);
  struct TGrid {
    int CellWidth = 0, CellHeight = 0, Columns = 1, Rows = 1;
    bool ColumnMajor = false;
    int Top = 0;  // header height
  };
  TGrid Grid() const;
  int ListCellWidth() const;
  void DrawList(TBitmap& bitmap);
  void DrawItem(TCanvas& canvas, int index, const QRect& r, int iconSize);
  void DrawReportRow(TCanvas& canvas, int index, const QRect& r);
  void DrawHeader(TCanvas& canvas);
  void DrawHeaderSection(TCanvas& canvas, const QRect& r, const QString& text, TAlignment alignment, bool pressed);
  void ApplyListFont(TFont* font) const;
  void ScrollChanged();
  QPoint ClampScroll(QPoint p) const;
  void MoveFocus(int index, TShiftState shift);
  void SelectionChanged();
  int HeaderSectionAt(int x) const;

  TViewStyle viewStyle_ = vsIcon;
  bool multiSelect_ = false;
  bool readOnly_ = false;
  bool showColumnHeaders_ = true;
  QString headerSkinDataName_ = QStringLiteral("resizebutton");
  TFont* defaultFont_;
  bool useSkinFont_ = true;
  TColor bgColor_ = clWindow;
  TColor fontColor_ = clWindowText;
  QString skinFontName_;
  int skinFontHeight_ = 14;
  int skinFontStyle_ = 0;

  int itemCount_ = 0;
  int itemIndex_ = -1;
  int anchor_ = -1;
  std::vector<bool> selected_;
  std::vector<TbsListColumn> columns_;
  QPoint scroll_;
  mutable int listCellWidth_ = -1;
  int pressedSection_ = -1;
  QPoint lastPress_{-1, -1};
  QString typed_;
  QElapsedTimer typedClock_;
  class TEdit* editor_ = nullptr;
  int editIndex_ = -1;
  bool pressOnCurrent_ = false;  // the press hit the item that was current and focused
  QTimer slowClick_;
  TNotifyEvent onSelectItem_, onScroll_;
  TbsSkinScrollBar* hBar_ = nullptr;
  TbsSkinScrollBar* vBar_ = nullptr;
  bool barScrolling_ = false;  // a bar moves the list: no syncing back meanwhile
  bool syncingBars_ = false;
};
