#include "toolkit/std_controls.h"

#include "toolkit/forms.h"
#include "toolkit/timer.h"

#include <QMenu>

namespace {
// Raised: light top-left, dark bottom-right; sunken the other way round.
void DrawBevel(TCanvas* c, QRect& r, TControl::TBevelCut cut, int width)
{
  if (cut == TControl::bvNone) return;
  if (cut == TControl::bvSpace) {
    r.adjust(width, width, -width, -width);
    return;
  }
  const bool raised = cut == TControl::bvRaised;
  c->Frame3D(r, raised ? clBtnHighlight : clBtnShadow, raised ? clBtnShadow : clBtnHighlight, width);
}

// The two-ring frame of a push button, or of a sunken field.
void ButtonFrame(TCanvas* c, QRect& r, bool down)
{
  if (down) {
    c->Frame3D(r, clWindowFrame, clWindowFrame, 1);
    c->Frame3D(r, clBtnShadow, clBtnShadow, 1);
  } else {
    c->Frame3D(r, clBtnHighlight, cl3DDkShadow, 1);
    c->Frame3D(r, cl3DLight, clBtnShadow, 1);
  }
}

void FieldFrame(TCanvas* c, QRect& r)
{
  c->Frame3D(r, clBtnShadow, clBtnHighlight, 1);
  c->Frame3D(r, cl3DDkShadow, cl3DLight, 1);
}

unsigned AlignFlag(TControl::TAlignment a)
{
  switch (a) {
  case TControl::taCenter: return DT_CENTER;
  case TControl::taRightJustify: return DT_RIGHT;
  default: return DT_LEFT;
  }
}

// Text as disabled controls show it: highlight one pixel down-right, then grey.
void DrawTextLook(TCanvas* c, const QString& text, QRect r, unsigned flags, bool enabled, TColor color)
{
  c->Brush()->SetStyle(TBrush::bsClear);
  if (!enabled) {
    QRect shadow = r.translated(1, 1);
    c->Font()->SetColor(clBtnHighlight);
    c->DrawText(text, shadow, flags);
    color = clBtnShadow;
  }
  c->Font()->SetColor(color);
  c->DrawText(text, r, flags);
}
} // namespace

// ---------------------------------------------------------------- panel

TPanel::TPanel(TComponent* AOwner) : TCustomControl(AOwner) { SetBounds(0, 0, 185, 41); }

void TPanel::SetAlignment(TAlignment v)
{
  if (v == alignment_) return;
  alignment_ = v;
  Invalidate();
}

void TPanel::SetBevelOuter(TBevelCut v)
{
  if (v == bevelOuter_) return;
  bevelOuter_ = v;
  Realign();
  Invalidate();
}

void TPanel::SetBevelInner(TBevelCut v)
{
  if (v == bevelInner_) return;
  bevelInner_ = v;
  Realign();
  Invalidate();
}

void TPanel::SetBevelWidth(int v)
{
  v = std::max(v, 1);
  if (v == bevelWidth_) return;
  bevelWidth_ = v;
  Realign();
  Invalidate();
}

void TPanel::SetBorderWidth(int v)
{
  v = std::max(v, 0);
  if (v == borderWidth_) return;
  borderWidth_ = v;
  Realign();
  Invalidate();
}

int TPanel::BorderExtent() const
{
  return borderWidth_ + (bevelOuter_ != bvNone ? bevelWidth_ : 0) + (bevelInner_ != bvNone ? bevelWidth_ : 0);
}

void TPanel::AdjustClientRect(QRect& rect) const
{
  const int e = BorderExtent();
  rect.adjust(e, e, -e, -e);
}

void TPanel::Paint()
{
  TCanvas* c = Canvas();
  QRect r = ClientRect();
  DrawBevel(c, r, bevelOuter_, bevelWidth_);
  r.adjust(borderWidth_, borderWidth_, -borderWidth_, -borderWidth_);
  DrawBevel(c, r, bevelInner_, bevelWidth_);
  c->Brush()->SetColor(Color());
  c->FillRect(r);
  if (!Caption().isEmpty())
    DrawTextLook(c, Caption(), r, AlignFlag(alignment_) | DT_VCENTER | DT_SINGLELINE, Enabled(), Font()->Color());
}

// ---------------------------------------------------------------- button

TButton::TButton(TComponent* AOwner) : TCustomControl(AOwner)
{
  SetBounds(0, 0, 75, 25);
  SetTabStop(true);
}

void TButton::SetDefault(bool v)
{
  if (v == default_) return;
  default_ = v;
  Invalidate();
}

void TButton::Paint()
{
  TCanvas* c = Canvas();
  QRect r = ClientRect();
  if (default_ || Focused()) c->Frame3D(r, clWindowFrame, clWindowFrame, 1);
  ButtonFrame(c, r, Down());
  c->Brush()->SetColor(clBtnFace);
  c->FillRect(r);
  QRect text = r;
  if (Down()) text.translate(1, 1);
  DrawTextLook(c, Caption(), text, DT_CENTER | DT_VCENTER | DT_SINGLELINE, Enabled(), clBtnText);
}

void TButton::Click()
{
  if (modalResult_ != 0)
    if (TForm* form = GetParentForm()) form->SetModalResult(modalResult_);
  TCustomControl::Click();
}

void TButton::MouseDown(TMouseButton b, TShiftState s, int x, int y)
{
  TCustomControl::MouseDown(b, s, x, y);
  Invalidate();
}

void TButton::MouseUp(TMouseButton b, TShiftState s, int x, int y)
{
  TCustomControl::MouseUp(b, s, x, y);
  Invalidate();
}

void TButton::MouseEnter()
{
  TCustomControl::MouseEnter();
  if (pressed_) Invalidate();
}

void TButton::MouseLeave()
{
  TCustomControl::MouseLeave();
  if (pressed_) Invalidate();
}

void TButton::WndProc(TMessage& m)
{
  if (m.Msg == CM_DIALOGKEY) {
    // Enter clicks the default button, Escape the cancel button.
    if ((m.WParam == VK_RETURN && default_) || (m.WParam == VK_ESCAPE && cancel_)) {
      Click();
      m.Result = 1;
    }
    return;
  }
  TCustomControl::WndProc(m);
}

void TButton::KeyDown(int& Key, TShiftState Shift)
{
  TCustomControl::KeyDown(Key, Shift);
  if (Key == VK_SPACE || Key == VK_RETURN) {
    Key = 0;
    Click();
  }
}

// ---------------------------------------------------------------- check box

TCheckBox::TCheckBox(TComponent* AOwner) : TCustomControl(AOwner)
{
  SetBounds(0, 0, 97, 17);
  SetTabStop(true);
}

void TCheckBox::SetChecked(bool v)
{
  if (v == checked_) return;
  checked_ = v;
  Invalidate();
  TCustomControl::Click();
}

void TCheckBox::Click() { SetChecked(!checked_); }

void TCheckBox::KeyDown(int& Key, TShiftState Shift)
{
  TCustomControl::KeyDown(Key, Shift);
  if (Key == VK_SPACE) {
    Key = 0;
    Click();
  }
}

void TCheckBox::Paint()
{
  TCanvas* c = Canvas();
  c->Brush()->SetColor(Color());
  c->FillRect(ClientRect());
  const int box = 13;
  QRect r(0, (Height() - box) / 2, box, box);
  FieldFrame(c, r);
  c->Brush()->SetColor(Enabled() ? clWindow : clBtnFace);
  c->FillRect(r);
  if (checked_) {
    // Three strokes: down from the left, then up to the right.
    c->Pen()->SetColor(Enabled() ? clWindowText : clBtnShadow);
    const int x = r.left() + 1, y = r.top() + 3;
    for (int i = 0; i < 3; ++i) {
      c->MoveTo(x, y + 2 + i);
      c->LineTo(x + 3, y + 5 + i);
      c->LineTo(x + 8, y + i);
    }
  }
  QRect text(box + 4, 0, Width() - box - 4, Height());
  DrawTextLook(c, Caption(), text, DT_LEFT | DT_VCENTER | DT_SINGLELINE, Enabled(), Font()->Color());
}

// ---------------------------------------------------------------- combo box

TComboBox::TComboBox(TComponent* AOwner) : TCustomControl(AOwner)
{
  SetBounds(0, 0, 145, 21);
  SetTabStop(true);
  SetColor(clWindow);
}

void TComboBox::SetItems(const QStringList& v)
{
  items_ = v;
  if (itemIndex_ >= items_.size()) itemIndex_ = -1;
  Invalidate();
}

void TComboBox::SetItemIndex(int v)
{
  if (v < 0 || v >= items_.size()) v = -1;
  if (v == itemIndex_) return;
  itemIndex_ = v;
  Invalidate();
}

QString TComboBox::SelectedText() const { return itemIndex_ >= 0 ? items_[itemIndex_] : QString(); }

void TComboBox::SelectItem(int index)
{
  const int before = itemIndex_;
  SetItemIndex(index);
  if (itemIndex_ != before && onChange_) onChange_(this);
}

void TComboBox::DropDown()
{
  if (items_.isEmpty() || droppedDown_) return;
  QWidget* owner = Handle();
  QMenu menu(owner);
  menu.setMinimumWidth(Width());
  for (int i = 0; i < items_.size(); ++i) {
    QAction* a = menu.addAction(items_[i]);
    a->setCheckable(true);
    a->setChecked(i == itemIndex_);
    a->setData(i);
  }
  droppedDown_ = true;
  QAction* chosen = menu.exec(ClientToScreen(QPoint(0, Height())));
  droppedDown_ = false;
  if (chosen) SelectItem(chosen->data().toInt());
}

void TComboBox::MouseDown(TMouseButton b, TShiftState s, int x, int y)
{
  TCustomControl::MouseDown(b, s, x, y);
  if (b == mbLeft && Enabled()) DropDown();
}

void TComboBox::KeyDown(int& Key, TShiftState Shift)
{
  TCustomControl::KeyDown(Key, Shift);
  if (Key == VK_DOWN || Key == VK_RIGHT) SelectItem(std::min(itemIndex_ + 1, int(items_.size()) - 1));
  else if (Key == VK_UP || Key == VK_LEFT) SelectItem(std::max(itemIndex_ - 1, 0));
  else if (Key == VK_HOME) SelectItem(0);
  else if (Key == VK_END) SelectItem(int(items_.size()) - 1);
  else return;
  Key = 0;
}

void TComboBox::Paint()
{
  TCanvas* c = Canvas();
  QRect r = ClientRect();
  FieldFrame(c, r);
  c->Brush()->SetColor(Enabled() ? Color() : clBtnFace);
  c->FillRect(r);
  const int bw = std::min(17, r.width());
  QRect button(r.right() - bw + 1, r.top(), bw, r.height());
  QRect text(r.left() + 2, r.top(), r.width() - bw - 3, r.height());
  DrawTextLook(c, SelectedText(), text, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS,
               Enabled(), Font()->Color());
  ButtonFrame(c, button, droppedDown_);
  c->Brush()->SetColor(clBtnFace);
  c->FillRect(button);
  // A small downward triangle: lines of 7, 5, 3 and 1 pixels.
  c->Pen()->SetColor(Enabled() ? clBtnText : clBtnShadow);
  const int cx = button.left() + button.width() / 2, cy = button.top() + button.height() / 2 - 1;
  for (int i = 0; i < 4; ++i) {
    c->MoveTo(cx - 3 + i, cy + i);
    c->LineTo(cx + 4 - i, cy + i);
  }
}

// ---------------------------------------------------------------- edit

TEdit::TEdit(TComponent* AOwner) : TCustomControl(AOwner)
{
  SetBounds(0, 0, 121, 21);
  SetTabStop(true);
  SetColor(clWindow);
  SetCursor(crIBeam);
}

void TEdit::TextChanged()
{
  Invalidate();
  if (onChange_) onChange_(this);
}

void TEdit::KeyPress(QChar& Key)
{
  TCustomControl::KeyPress(Key);
  if (readOnly_ || Key.isNull()) return;
  if (Key == u'\b') SetText(Text().left(Text().size() - 1));
  else if (Key.isPrint()) SetText(Text() + Key);
}

void TEdit::Paint()
{
  TCanvas* c = Canvas();
  QRect r = ClientRect();
  FieldFrame(c, r);
  c->Brush()->SetColor(Enabled() ? Color() : clBtnFace);
  c->FillRect(r);
  QRect text = r.adjusted(1, 0, -1, 0);
  DrawTextLook(c, Text(), text, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX, Enabled(), Font()->Color());
}

// ---------------------------------------------------------------- labels

TLabel::TLabel(TComponent* AOwner) : TGraphicControl(AOwner)
{
  SetBounds(0, 0, 65, 17);
  SetParentColor(true);
}

void TLabel::SetAlignment(TAlignment v)
{
  if (v == alignment_) return;
  alignment_ = v;
  Invalidate();
}

void TLabel::SetLayout(TTextLayout v)
{
  if (v == layout_) return;
  layout_ = v;
  Invalidate();
}

void TLabel::SetWordWrap(bool v)
{
  if (v == wordWrap_) return;
  wordWrap_ = v;
  AdjustBounds();
  Invalidate();
}

void TLabel::SetAutoSize(bool v)
{
  if (v == autoSize_) return;
  autoSize_ = v;
  AdjustBounds();
}

void TLabel::SetTransparent(bool v)
{
  if (v == transparent_) return;
  transparent_ = v;
  Invalidate();
}

void TLabel::SetShowAccelChar(bool v)
{
  if (v == showAccelChar_) return;
  showAccelChar_ = v;
  AdjustBounds();
  Invalidate();
}

unsigned TLabel::TextFlags() const
{
  unsigned f = AlignFlag(alignment_);
  if (layout_ == tlCenter) f |= DT_VCENTER;
  else if (layout_ == tlBottom) f |= DT_BOTTOM;
  f |= wordWrap_ ? DT_WORDBREAK : DT_SINGLELINE;
  if (!showAccelChar_) f |= DT_NOPREFIX;
  return f;
}

void TLabel::AdjustBounds()
{
  if (!autoSize_ || IsLoading()) return;
  TCanvas measure;
  measure.Font()->Assign(Font());
  QRect r(0, 0, wordWrap_ ? Width() : 0, 0);
  DrawLabelCaption(measure, r, (TextFlags() & ~(DT_VCENTER | DT_BOTTOM)) | DT_CALCRECT);
  int left = Left();
  if (!wordWrap_ && alignment_ == taRightJustify) left += Width() - r.width();
  else if (!wordWrap_ && alignment_ == taCenter) left += (Width() - r.width()) / 2;
  SetBounds(left, Top(), wordWrap_ ? Width() : r.width(), r.height());
}

void TLabel::Loaded()
{
  TGraphicControl::Loaded();
  AdjustBounds();
}

void TLabel::TextChanged()
{
  AdjustBounds();
  Invalidate();
}

void TLabel::FontChanged()
{
  AdjustBounds();
  Invalidate();
}

TColor TLabel::TextColor() const { return Font()->Color(); }

void TLabel::Paint()
{
  TCanvas* c = Canvas();
  if (!transparent_) {
    c->Brush()->SetColor(Color());
    c->FillRect(ClientRect());
  }
  QRect r = ClientRect();
  DrawLabelCaption(*c, r, TextFlags());
}

void TLabel::DrawLabelCaption(TCanvas& canvas, QRect& r, unsigned flags)
{
  if (flags & DT_CALCRECT) canvas.DrawText(Caption().isEmpty() ? QStringLiteral(" ") : Caption(), r, flags);
  else DrawTextLook(&canvas, Caption(), r, flags, Enabled(), TextColor());
}

// ---------------------------------------------------------------- registration

void RegisterToolkitVisualClasses()
{
  RegisterGraphicsClasses();
  TEventTypes::Register<TMouseEvent>();
  TEventTypes::Register<TMouseMoveEvent>();
  TEventTypes::Register<TKeyEvent>();
  TEventTypes::Register<TKeyPressEvent>();
  TEventTypes::Register<TForm::TCloseEvent>();
  TEventTypes::Register<TForm::TCloseQueryEvent>();
  TIntegerIdents::Register("TCursor", {{"crDefault", crDefault},   {"crNone", crNone},
                                       {"crArrow", crArrow},       {"crCross", crCross},
                                       {"crIBeam", crIBeam},       {"crSizeNESW", crSizeNESW},
                                       {"crSizeNS", crSizeNS},     {"crSizeNWSE", crSizeNWSE},
                                       {"crSizeWE", crSizeWE},     {"crUpArrow", crUpArrow},
                                       {"crHourGlass", crHourGlass}, {"crDrag", crDrag},
                                       {"crNoDrop", crNoDrop},     {"crHSplit", crHSplit},
                                       {"crVSplit", crVSplit},     {"crMultiDrag", crMultiDrag},
                                       {"crSQLWait", crSQLWait},   {"crNo", crNo},
                                       {"crAppStart", crAppStart}, {"crHelp", crHelp},
                                       {"crHandPoint", crHandPoint}, {"crSizeAll", crSizeAll}});
  TIntegerIdents::Register("TModalResult", {{"mrNone", mrNone},
                                            {"mrOk", mrOk},
                                            {"mrCancel", mrCancel},
                                            {"mrAbort", mrAbort},
                                            {"mrRetry", mrRetry},
                                            {"mrIgnore", mrIgnore},
                                            {"mrYes", mrYes},
                                            {"mrNo", mrNo},
                                            {"mrAll", mrAll},
                                            {"mrNoToAll", mrNoToAll},
                                            {"mrYesToAll", mrYesToAll}});
  TComponentClasses::Register<TForm>();
  TComponentClasses::Register<TPaintBox>();
  TComponentClasses::Register<TPanel>();
  TComponentClasses::Register<TButton>();
  TComponentClasses::Register<TCheckBox>();
  TComponentClasses::Register<TComboBox>();
  TComponentClasses::Register<TEdit>();
  TComponentClasses::Register<TLabel>();
  TComponentClasses::Register<TImageList>();
  TComponentClasses::Register<TTimer>();
}
