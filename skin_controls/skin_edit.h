// The skinned single-line edit box, built up in three classes:
//
//   TbsCustomEdit      the editor: text, caret and selection, clipboard, undo,
//                      read-only rules, the attached label, the skinned
//                      right-click menu
//   TbsSkinCustomEdit  the skin: frame drawn around the text (the window's
//                      non-client area) from "edit", hover and focus colours,
//                      the button at the right end
//   TbsSkinEdit        publishes the properties
//
// It is single-line: Enter never inserts a line break and a pasted text stops
// at its first line break.
#pragma once

#include "skin_controls/skin_control.h"
#include "toolkit/menus.h"
#include "toolkit/std_controls.h"

#include <QPointer>

class TbsSkinPopupMenu;
class TbsDataSkinEditControl;

// The label that belongs to an edit box; clicking it focuses the edit.
class TbsBoundLabel : public TLabel {
  Q_OBJECT
public:
  explicit TbsBoundLabel(TComponent* AOwner);
  TWinControl* FocusControl() const { return focusControl_; }
  void SetFocusControl(TWinControl* c) { focusControl_ = c; }

protected:
  void Click() override;

private:
  QPointer<TWinControl> focusControl_;
};

class TbsCustomEdit : public TCustomControl {
  Q_OBJECT
  Q_PROPERTY(QString Text READ Text WRITE SetText)
  Q_PROPERTY(bool ReadOnly READ ReadOnly WRITE SetReadOnly)
  Q_PROPERTY(bool AutoSelect READ AutoSelect WRITE SetAutoSelect)
  Q_PROPERTY(int MaxLength READ MaxLength WRITE SetMaxLength)
  Q_PROPERTY(QString EditMask READ EditMask WRITE SetEditMask)
  Q_PROPERTY(TLabelPosition LabelPosition READ LabelPosition WRITE SetLabelPosition)
  Q_PROPERTY(int LabelSpacing READ LabelSpacing WRITE SetLabelSpacing)
  Q_PROPERTY(bool LabelVisible READ LabelVisible WRITE SetLabelVisible)
  Q_PROPERTY(TPopupMenu* PopupMenu READ PopupMenu WRITE SetPopupMenu)
  Q_PROPERTY(TNotifyEvent OnChange READ OnChange WRITE SetOnChange)

public:
  enum TLabelPosition { lpAbove, lpBelow, lpLeft, lpRight };
  Q_ENUM(TLabelPosition)

  explicit TbsCustomEdit(TComponent* AOwner);
  ~TbsCustomEdit() override;

  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool v);
  bool AutoSelect() const { return autoSelect_; }
  void SetAutoSelect(bool v) { autoSelect_ = v; }
  int MaxLength() const { return maxLength_; }
  void SetMaxLength(int v) { maxLength_ = std::max(v, 0); }
  QString EditMask() const { return editMask_; }
  void SetEditMask(const QString& v) { editMask_ = v; }
  TbsBoundLabel* EditLabel() const { return label_; }
  TLabelPosition LabelPosition() const { return labelPosition_; }
  void SetLabelPosition(TLabelPosition v);
  int LabelSpacing() const { return labelSpacing_; }
  void SetLabelSpacing(int v);
  bool LabelVisible() const { return label_ && label_->Visible(); }
  void SetLabelVisible(bool v);
  bool TransparentText() const { return transparentText_; }
  void SetTransparentText(bool v);
  TPopupMenu* PopupMenu() const { return popupMenu_; }
  void SetPopupMenu(TPopupMenu* v);
  TNotifyEvent OnChange() const { return onChange_; }
  void SetOnChange(const TNotifyEvent& e) { onChange_ = e; }

  // Caret and selection, in characters.
  int SelStart() const { return std::min(cursor_, anchor_); }
  int SelLength() const { return std::abs(cursor_ - anchor_); }
  QString SelText() const { return Text().mid(SelStart(), SelLength()); }
  void SetSelection(int start, int length);
  int CursorPos() const { return cursor_; }
  void SelectAll();
  bool AllSelected() const { return SelStart() == 0 && SelLength() == Text().size(); }
  bool CanUndo() const { return canUndo_; }
  // The editing commands; all but copying are dropped when read-only.
  void CopyToClipboard();
  void CutToClipboard();
  void PasteFromClipboard();
  void ClearSelection();
  void Undo();

  // The right-click menu: at a client point, or (negative coordinates, from
  // the keyboard) at the centre of the box.
  void ShowContextMenu(QPoint clientPos);
  // The menu built for the last right click, while it lives.
  TbsSkinPopupMenu* ContextMenu() const { return contextMenu_; }

  // Paints what lies under transparent text when the box has no frame of its
  // own (an edit inside a combo box); client coordinates.
  std::function<void(TCanvas&)> TextBackground;

  void WndProc(TMessage& Message) override;
  bool WantsInputMethod() const override { return !readOnly_; }
  void InputMethodCommit(const QString& text) override;
  QRect InputMethodCursorRect() const override;
  void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
  void SetVisible(bool v) override;
  void SetEnabled(bool v) override;
  void SetParent(TWinControl* AParent) override;

protected:
  // Where the text goes, in client coordinates.
  virtual QRect TextArea() const { return QRect(0, 0, ClientWidth(), ClientHeight()); }
  virtual int TextAlignment() const { return taLeftJustify; }
  // What lies under transparent text (client coordinates).
  virtual void PaintTextBackground(TCanvas& canvas)
  {
    if (TextBackground) TextBackground(canvas);
  }
  virtual void ContentChanged() { Invalidate(); }
  void PaintWindow(TCanvas& canvas) override;
  void TextChanged() override;
  void KeyDown(int& Key, TShiftState Shift) override;
  void KeyPress(QChar& Key) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void DblClick() override;
  void DoEnter() override;
  void DoExit() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  void PlaceLabel();
  // The string the skin's table has for `name`, else `builtIn`.
  virtual QString MenuText(const QString& name, const QString& builtIn) const;

  bool mouseDownInside_ = false;

private:
  void ReplaceSelection(const QString& text);
  void MoveCursor(int pos, bool extend);
  int CharAt(int x) const;
  int TextX() const;
  void EnsureCursorVisible();
  void FreeContextMenu();

  TbsBoundLabel* label_;
  TLabelPosition labelPosition_ = lpLeft;
  int labelSpacing_ = 3;
  bool transparentText_ = false;
  bool readOnly_ = false;
  bool autoSelect_ = true;
  int maxLength_ = 0;
  QString editMask_;
  int cursor_ = 0, anchor_ = 0;
  int scrollX_ = 0;
  QString undoText_;
  bool canUndo_ = false;
  TPopupMenu* popupMenu_ = nullptr;
  TbsSkinPopupMenu* contextMenu_ = nullptr;
  TNotifyEvent onChange_;
};

class TbsSkinCustomEdit : public TbsCustomEdit {
  Q_OBJECT
  Q_PROPERTY(TbsSkinData* SkinData READ SkinData WRITE SetSkinData)
  Q_PROPERTY(QString SkinDataName READ SkinDataName WRITE SetSkinDataName)
  Q_PROPERTY(TFont* DefaultFont READ DefaultFont WRITE SetDefaultFont)
  Q_PROPERTY(bool UseSkinFont READ UseSkinFont WRITE SetUseSkinFont)
  Q_PROPERTY(int DefaultWidth READ DefaultWidth WRITE SetDefaultWidth)
  Q_PROPERTY(int DefaultHeight READ DefaultHeight WRITE SetDefaultHeight)
  Q_PROPERTY(bool ButtonMode READ ButtonMode WRITE SetButtonMode)
  Q_PROPERTY(TNotifyEvent OnButtonClick READ OnButtonClick WRITE SetOnButtonClick)

public:
  static constexpr int kHitButton = 100;  // hit-test answer for the button

  explicit TbsSkinCustomEdit(TComponent* AOwner);

  TbsSkinData* SkinData() const { return binding_.Data(); }
  void SetSkinData(TbsSkinData* v);
  QString SkinDataName() const { return binding_.Name(); }
  void SetSkinDataName(const QString& v) { binding_.SetName(v); }
  int SkinControlIndex() const { return skinControlIndex_; }
  TFont* DefaultFont() const { return defaultFont_; }
  void SetDefaultFont(TFont* v);
  bool UseSkinFont() const { return useSkinFont_; }
  void SetUseSkinFont(bool v) { useSkinFont_ = v; }
  int DefaultWidth() const { return defaultWidth_; }
  void SetDefaultWidth(int v);
  int DefaultHeight() const { return defaultHeight_; }
  void SetDefaultHeight(int v);
  bool ButtonMode() const { return buttonMode_; }
  void SetButtonMode(bool v);
  TNotifyEvent OnButtonClick() const { return onButtonClick_; }
  void SetOnButtonClick(const TNotifyEvent& e) { onButtonClick_ = e; }

  bool MouseInside() const { return mouseInside_; }
  bool ButtonHot() const { return buttonHot_; }
  bool ButtonDown() const { return buttonDown_; }
  // Window coordinates.
  QRect ButtonRect();
  QRect TextRect();

  void ApplySkinData();
  void SkinDataChanging();
  void WndProc(TMessage& Message) override;
  void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
  void Loaded() override;
  // The whole box (frame and text area) as it is drawn.
  void PaintFrame(TBitmap& out);

protected:
  QRect TextArea() const override;
  void PaintTextBackground(TCanvas& canvas) override;
  void ContentChanged() override;
  void MouseEnter() override;
  void MouseLeave() override;
  void DoEnter() override;
  void DoExit() override;
  void EnabledChanged() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  QString MenuText(const QString& name, const QString& builtIn) const override;

private:
  const TbsDataSkinEditControl* Definition() const;
  void LoadDefinition();
  void UpdateMargins();
  void UpdateFontColor();

  TbsSkinBinding binding_{this, QStringLiteral("edit")};
  int skinControlIndex_ = -1;
  TFont* defaultFont_;
  bool useSkinFont_ = true;
  int defaultWidth_ = 0, defaultHeight_ = 20;
  bool buttonMode_ = false;
  bool mouseInside_ = false, buttonHot_ = false, buttonDown_ = false;
  TNotifyEvent onButtonClick_;
};

class TbsSkinEdit : public TbsSkinCustomEdit {
  Q_OBJECT
  Q_PROPERTY(TAlignment Alignment READ Alignment WRITE SetAlignment)
public:
  explicit TbsSkinEdit(TComponent* AOwner) : TbsSkinCustomEdit(AOwner) {}
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment v);

protected:
  int TextAlignment() const override { return alignment_; }

private:
  TAlignment alignment_ = taLeftJustify;
};
