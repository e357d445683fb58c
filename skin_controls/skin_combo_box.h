// The skinned drop-down list: draws its closed state (item area and arrow
// button) from "combobox", and opens a TbsPopupListBox below itself (above
// when the screen's bottom is near) that never takes the focus, so keys stay
// with the combo box. Typing a prefix picks an item.
#pragma once

#include "skin_controls/fading.h"
#include "skin_controls/skin_edit.h"
#include "skin_controls/skin_list_box.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class TbsDataSkinComboBox;

class TbsSkinCustomComboBox : public TbsSkinCustomControl, public TbsFading {
  Q_OBJECT
  Q_PROPERTY(QStringList Items READ Items WRITE SetItems)
  Q_PROPERTY(int ItemIndex READ ItemIndex WRITE SetItemIndex)
  Q_PROPERTY(QString Text READ Text WRITE SetText)
  Q_PROPERTY(TbsSkinCustomComboBoxStyle Style READ Style WRITE SetStyle)
  Q_PROPERTY(int DropDownCount READ DropDownCount WRITE SetDropDownCount)
  Q_PROPERTY(bool AutoComplete READ AutoComplete WRITE SetAutoComplete)
  Q_PROPERTY(int ListBoxWidth READ ListBoxWidth WRITE SetListBoxWidth)
  Q_PROPERTY(bool AlphaBlend READ AlphaBlend WRITE SetAlphaBlend)
  Q_PROPERTY(int AlphaBlendValue READ AlphaBlendValue WRITE SetAlphaBlendValue)
  Q_PROPERTY(bool AlphaBlendAnimation READ AlphaBlendAnimation WRITE SetAlphaBlendAnimation)
  Q_PROPERTY(TImageList* Images READ Images WRITE SetImages)
  Q_PROPERTY(int ImageIndex READ ImageIndex WRITE SetImageIndex)
  Q_PROPERTY(bool Sorted READ Sorted WRITE SetSorted)
  Q_PROPERTY(bool ListBoxCaptionMode READ ListBoxCaptionMode WRITE SetListBoxCaptionMode)
  Q_PROPERTY(QString ListBoxCaption READ ListBoxCaption WRITE SetListBoxCaption)
  Q_PROPERTY(int ListBoxDefaultItemHeight READ ListBoxDefaultItemHeight WRITE SetListBoxDefaultItemHeight)
  Q_PROPERTY(bool ListBoxUseSkinFont READ ListBoxUseSkinFont WRITE SetListBoxUseSkinFont)
  Q_PROPERTY(bool ListBoxUseSkinItemHeight READ ListBoxUseSkinItemHeight WRITE SetListBoxUseSkinItemHeight)
  Q_PROPERTY(TFont* ListBoxDefaultFont READ ListBoxDefaultFont WRITE SetListBoxDefaultFont)
  Q_PROPERTY(TNotifyEvent OnChange READ OnChange WRITE SetOnChange)
  Q_PROPERTY(TNotifyEvent OnDropDown READ OnDropDown WRITE SetOnDropDown)
  Q_PROPERTY(TNotifyEvent OnCloseUp READ OnCloseUp WRITE SetOnCloseUp)

public:
  enum TbsSkinCustomComboBoxStyle { bscbEditStyle, bscbFixedStyle };
  Q_ENUM(TbsSkinCustomComboBoxStyle)
  static constexpr int kAutoScrollMs = 25;
  static constexpr int kSearchPauseMs = 499;

  explicit TbsSkinCustomComboBox(TComponent* AOwner);
  ~TbsSkinCustomComboBox() override;

  QStringList Items() const { return popup_->Items(); }
  void SetItems(const QStringList& v);
  int ItemIndex() const { return popup_->ItemIndex(); }
  // The list's index; a valid one sets Text. OnClick unless loading.
  void SetItemIndex(int v);
  TbsSkinCustomComboBoxStyle Style() const { return style_; }
  void SetStyle(TbsSkinCustomComboBoxStyle v);
  int DropDownCount() const { return dropDownCount_; }
  void SetDropDownCount(int v);
  bool AutoComplete() const { return autoComplete_; }
  void SetAutoComplete(bool v) { autoComplete_ = v; }
  int ListBoxWidth() const { return listBoxWidth_; }
  void SetListBoxWidth(int v) { listBoxWidth_ = std::max(v, 0); }
  TImageList* Images() const { return popup_->Images(); }
  void SetImages(TImageList* v);
  int ImageIndex() const { return popup_->ImageIndex(); }
  void SetImageIndex(int v);
  bool Sorted() const { return popup_->Sorted(); }
  void SetSorted(bool v) { popup_->SetSorted(v); }
  bool ListBoxCaptionMode() const { return popup_->CaptionMode(); }
  void SetListBoxCaptionMode(bool v) { popup_->SetCaptionMode(v); }
  QString ListBoxCaption() const { return popup_->Caption(); }
  void SetListBoxCaption(const QString& v) { popup_->SetCaption(v); }
  int ListBoxDefaultItemHeight() const { return popup_->DefaultItemHeight(); }
  void SetListBoxDefaultItemHeight(int v) { popup_->SetDefaultItemHeight(v); }
  bool ListBoxUseSkinFont() const { return popup_->UseSkinFont(); }
  void SetListBoxUseSkinFont(bool v) { popup_->SetUseSkinFont(v); }
  bool ListBoxUseSkinItemHeight() const { return popup_->UseSkinItemHeight(); }
  void SetListBoxUseSkinItemHeight(bool v) { popup_->SetUseSkinItemHeight(v); }
  TFont* ListBoxDefaultFont() const { return popup_->DefaultFont(); }
  void SetListBoxDefaultFont(TFont* v) { popup_->SetDefaultFont(v); }

  TNotifyEvent OnChange() const { return onChange_; }
  void SetOnChange(const TNotifyEvent& e) { onChange_ = e; }
  TNotifyEvent OnDropDown() const { return onDropDown_; }
  void SetOnDropDown(const TNotifyEvent& e) { onDropDown_ = e; }
  TNotifyEvent OnCloseUp() const { return onCloseUp_; }
  void SetOnCloseUp(const TNotifyEvent& e) { onCloseUp_ = e; }
  TbsDrawSkinItemEvent OnComboBoxDrawItem() const { return onComboBoxDrawItem_; }
  void SetOnComboBoxDrawItem(const TbsDrawSkinItemEvent& e) { onComboBoxDrawItem_ = e; }
  TbsDrawSkinItemEvent OnListBoxDrawItem() const { return popup_->OnDrawItem(); }
  void SetOnListBoxDrawItem(const TbsDrawSkinItemEvent& e) { popup_->SetOnDrawItem(e); }

  // Opens the list (nothing without items).
  void DropDownList();
  // Closes it; with `accept` the list's selection becomes the item.
  void CloseUpList(bool accept);
  bool ListOpen() const { return popup_->PopupShown(); }
  TbsPopupListBox* PopupList() const { return popup_; }
  int SavedIndex() const { return savedIndex_; }
  QRect ItemArea();
  QRect ButtonArea();
  bool ButtonHot() const { return buttonHot_; }
  bool ButtonPressed() const { return buttonPressed_; }
  QString SearchText() const { return searchText_; }
  // The edit box of the edit style, or nullptr.
  TbsCustomEdit* ItemEdit() const { return itemEdit_; }
  void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
  // The 25 ms auto-scroll of a drag beyond the list (public so tests drive it).
  bool AutoScrolling() const { return autoScrollTimer_.isActive(); }
  void AutoScrollTick();
  // Milliseconds of a steady clock; tests replace it to type slowly or fast.
  static std::function<qint64()>& Clock();

  void WndProc(TMessage& Message) override;
  void ApplySkinData() override;

protected:
  // The item changed through ItemIndex or a choice in the list.
  virtual void ItemIndexChanged() {}
  // OnClick means an item was chosen, not that the box was clicked.
  void Click() override {}
  void DrawDefaultLook(TBitmap& bitmap) override;
  void DrawSkinLook(TBitmap& bitmap) override;
  void TextChanged() override;
  void KeyDown(int& Key, TShiftState Shift) override;
  void KeyPress(QChar& Key) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseLeave() override;
  void DoEnter() override;
  void DoExit() override;
  void EnabledChanged() override;
  void DefaultFontChanged() override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

private:
  const TbsDataSkinComboBox* ComboDefinition() const;
  void CalcLayout();
  void DrawButton(TCanvas* canvas, const QImage* picture, const TbsDataSkinComboBox* d);
  void DrawItemArea(TBitmap& bitmap, const TbsDataSkinComboBox* d);
  // Greys `area` over what was drawn: the disabled look where the skin has none.
  void FadeDisabled(TCanvas* canvas, const QRect& area);
  void DrawItemContent(TCanvas* canvas, const QRect& textRect, bool focused);
  void MoveSelection(int delta, bool commit);
  void SelectByKey(int index);
  void IncrementalSearch(QChar ch);
  void TrackPointer(QPoint screenPos);
  void ListMouseDown(TMouseButton b, int x, int y);
  void ListMouseMove(int x, int y);
  void ListMouseUp(TMouseButton b, int x, int y);
  TbsListBox* InnerList() const { return popup_->ListBox(); }
  void CreateItemEdit();
  void DestroyItemEdit();
  void PlaceItemEdit();
  void ApplyItemEditFont();
  // The edit box's messages, seen first; true when handled here.
  bool ItemEditMessage(TMessage& m);
  void ItemEditTextChanged();
  void Complete(int key);
  int FindPrefix(const QString& prefix, int current) const;

  TbsPopupListBox* popup_;
  TbsSkinCustomComboBoxStyle style_ = bscbFixedStyle;
  int dropDownCount_ = 8;
  bool autoComplete_ = true;
  int listBoxWidth_ = 0;
  int savedIndex_ = -1;
  bool buttonHot_ = false, buttonPressed_ = false;
  bool trackingFromPress_ = false, listTracked_ = false;
  int scrollDirection_ = 0;
  QString searchText_;
  qint64 lastKeyTime_ = 0;
  QRect itemArea_, buttonArea_;
  QTimer autoScrollTimer_;
  TbsWheelNotches wheel_;
  bool filtering_ = false;
  TbsCustomEdit* itemEdit_ = nullptr;
  bool syncingText_ = false;   // the edit is pushing its text into Text
  bool fillingEdit_ = false;   // Text is being copied into the edit
  qint64 lastCompletion_ = -1000000;
  TNotifyEvent onChange_, onDropDown_, onCloseUp_;
  TbsDrawSkinItemEvent onComboBoxDrawItem_;
};

class TbsSkinComboBox : public TbsSkinCustomComboBox {
  Q_OBJECT
public:
  explicit TbsSkinComboBox(TComponent* AOwner) : TbsSkinCustomComboBox(AOwner) {}
};
