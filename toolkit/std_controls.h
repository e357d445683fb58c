// Plain controls in the classic desktop look, for windows that run before
// (or without) the skinned controls: panel, button, check box, fixed drop-down
// list, edit and label. All paint through the canvas, so they look the same
// headless.
#pragma once

#include "toolkit/controls.h"
#include "toolkit/image_list.h"

#include <functional>

class TPanel : public TCustomControl {
  Q_OBJECT
  Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
  Q_PROPERTY(TAlignment Alignment READ Alignment WRITE SetAlignment)
  Q_PROPERTY(TBevelCut BevelOuter READ BevelOuter WRITE SetBevelOuter)
  Q_PROPERTY(TBevelCut BevelInner READ BevelInner WRITE SetBevelInner)
  Q_PROPERTY(int BevelWidth READ BevelWidth WRITE SetBevelWidth)
  Q_PROPERTY(int BorderWidth READ BorderWidth WRITE SetBorderWidth)
public:
  explicit TPanel(TComponent* AOwner);
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment v);
  TBevelCut BevelOuter() const { return bevelOuter_; }
  void SetBevelOuter(TBevelCut v);
  TBevelCut BevelInner() const { return bevelInner_; }
  void SetBevelInner(TBevelCut v);
  int BevelWidth() const { return bevelWidth_; }
  void SetBevelWidth(int v);
  int BorderWidth() const { return borderWidth_; }
  void SetBorderWidth(int v);
  // Bevels and border that aligned children stay inside.
  int BorderExtent() const;
  void AdjustClientRect(QRect& rect) const override;

protected:
  void Paint() override;

private:
  TAlignment alignment_ = taCenter;
  TBevelCut bevelOuter_ = bvRaised;
  TBevelCut bevelInner_ = bvNone;
  int bevelWidth_ = 1;
  int borderWidth_ = 0;
};

class TButton : public TCustomControl {
  Q_OBJECT
  Q_CLASSINFO("IntegerIdents:ModalResult", "TModalResult")
  Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
  Q_PROPERTY(bool Default READ Default WRITE SetDefault)
  Q_PROPERTY(bool Cancel READ Cancel WRITE SetCancel)
  Q_PROPERTY(int ModalResult READ ModalResult WRITE SetModalResult)
public:
  explicit TButton(TComponent* AOwner);
  bool Default() const { return default_; }
  void SetDefault(bool v);
  bool Cancel() const { return cancel_; }
  void SetCancel(bool v) { cancel_ = v; }
  int ModalResult() const { return modalResult_; }
  void SetModalResult(int v) { modalResult_ = v; }
  // Drawn pushed in: pressed with the mouse still over it.
  bool Down() const { return pressed_ && mouseInControl_; }
  void WndProc(TMessage& Message) override;

protected:
  void Paint() override;
  void Click() override;
  void MouseDown(TMouseButton b, TShiftState s, int x, int y) override;
  void MouseUp(TMouseButton b, TShiftState s, int x, int y) override;
  void MouseEnter() override;
  void MouseLeave() override;
  void KeyDown(int& Key, TShiftState Shift) override;

private:
  bool default_ = false;
  bool cancel_ = false;
  int modalResult_ = 0;
};

class TCheckBox : public TCustomControl {
  Q_OBJECT
  Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
  Q_PROPERTY(bool Checked READ Checked WRITE SetChecked)
public:
  explicit TCheckBox(TComponent* AOwner);
  bool Checked() const { return checked_; }
  // A change repaints and raises OnClick.
  void SetChecked(bool v);

protected:
  void Paint() override;
  void Click() override;
  void KeyDown(int& Key, TShiftState Shift) override;

private:
  bool checked_ = false;
};

class TComboBox : public TCustomControl {
  Q_OBJECT
  Q_PROPERTY(QStringList Items READ Items WRITE SetItems)
  Q_PROPERTY(int ItemIndex READ ItemIndex WRITE SetItemIndex)
  Q_PROPERTY(TComboBoxStyle Style READ Style WRITE SetStyle)
  Q_PROPERTY(int DropDownCount READ DropDownCount WRITE SetDropDownCount)
  Q_PROPERTY(TNotifyEvent OnChange READ OnChange WRITE SetOnChange)
public:
  enum TComboBoxStyle { csDropDown, csSimple, csDropDownList };
  Q_ENUM(TComboBoxStyle)
  explicit TComboBox(TComponent* AOwner);

  QStringList Items() const { return items_; }
  void SetItems(const QStringList& v);
  // -1: no selection. Out-of-range values clamp to -1.
  int ItemIndex() const { return itemIndex_; }
  void SetItemIndex(int v);
  TComboBoxStyle Style() const { return style_; }
  void SetStyle(TComboBoxStyle v) { style_ = v; }
  int DropDownCount() const { return dropDownCount_; }
  void SetDropDownCount(int v) { dropDownCount_ = std::max(1, v); }
  // The selected item's text (the list is fixed: no typing).
  QString SelectedText() const;
  // Chooses an item as the user does: OnChange when it changed.
  void SelectItem(int index);
  // Opens the list under the control (needs a window).
  void DropDown();
  bool DroppedDown() const { return droppedDown_; }
  TNotifyEvent OnChange() const { return onChange_; }
  void SetOnChange(const TNotifyEvent& e) { onChange_ = e; }

protected:
  void Paint() override;
  void MouseDown(TMouseButton b, TShiftState s, int x, int y) override;
  void KeyDown(int& Key, TShiftState Shift) override;

private:
  QStringList items_;
  int itemIndex_ = -1;
  TComboBoxStyle style_ = csDropDownList;
  int dropDownCount_ = 8;
  bool droppedDown_ = false;
  TNotifyEvent onChange_;
};

class TEdit : public TCustomControl {
  Q_OBJECT
  Q_PROPERTY(QString Text READ Text WRITE SetText)
  Q_PROPERTY(bool ReadOnly READ ReadOnly WRITE SetReadOnly)
  Q_PROPERTY(TNotifyEvent OnChange READ OnChange WRITE SetOnChange)
public:
  explicit TEdit(TComponent* AOwner);
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool v) { readOnly_ = v; }
  TNotifyEvent OnChange() const { return onChange_; }
  void SetOnChange(const TNotifyEvent& e) { onChange_ = e; }

protected:
  void Paint() override;
  void TextChanged() override;
  void KeyPress(QChar& Key) override;

private:
  bool readOnly_ = false;
  TNotifyEvent onChange_;
};

class TLabel : public TGraphicControl {
  Q_OBJECT
  Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
  Q_PROPERTY(TAlignment Alignment READ Alignment WRITE SetAlignment)
  Q_PROPERTY(TTextLayout Layout READ Layout WRITE SetLayout)
  Q_PROPERTY(bool WordWrap READ WordWrap WRITE SetWordWrap)
  Q_PROPERTY(bool AutoSize READ AutoSize WRITE SetAutoSize)
  Q_PROPERTY(bool Transparent READ Transparent WRITE SetTransparent)
  Q_PROPERTY(bool ShowAccelChar READ ShowAccelChar WRITE SetShowAccelChar)
public:
  explicit TLabel(TComponent* AOwner);
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment v);
  TTextLayout Layout() const { return layout_; }
  void SetLayout(TTextLayout v);
  bool WordWrap() const { return wordWrap_; }
  void SetWordWrap(bool v);
  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool v);
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool v);
  bool ShowAccelChar() const { return showAccelChar_; }
  void SetShowAccelChar(bool v);
  // With AutoSize: takes the size of the text (the width too unless word-wrapped).
  void AdjustBounds();
  void Loaded() override;

protected:
  void Paint() override;
  void TextChanged() override;
  void FontChanged() override;
  unsigned TextFlags() const;
  virtual TColor TextColor() const;
  // Draws the caption into `r` by DT_ flags, or with DT_CALCRECT measures it
  // (r gets the size); both the paint and AutoSize go through it.
  virtual void DrawLabelCaption(TCanvas& canvas, QRect& r, unsigned flags);

private:
  TAlignment alignment_ = taLeftJustify;
  TTextLayout layout_ = tlTop;
  bool wordWrap_ = false;
  bool autoSize_ = true;
  bool transparent_ = false;
  bool showAccelChar_ = true;
};

// Registers every visual class of the toolkit (controls, forms, graphics,
// timer, image list) and their event types.
void RegisterToolkitVisualClasses();
