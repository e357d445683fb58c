#include "skin_controls/skin_check_box.h"

#include "skin_controls/skin_list_box.h"

#include <QPointer>

TbsSkinCheckRadioBox::TbsSkinCheckRadioBox(TComponent* AOwner) : TbsSkinCustomControl(AOwner)
{
  SetSkinDataName(QStringLiteral("checkbox"));
  SetTabStop(true);
  SetBounds(0, 0, 120, 20);
  // The box raises its click itself, after turning over.
  SetControlStyle((ControlStyle() | csOpaque) & ~TControlStyle(csClickEvents));
}

const TbsDataSkinCheckRadioControl* TbsSkinCheckRadioBox::CheckDefinition() const
{
  return skinControlIndex_ != -1 ? dynamic_cast<const TbsDataSkinCheckRadioControl*>(SkinDefinition()) : nullptr;
}

void TbsSkinCheckRadioBox::SetChecked(bool v)
{
  if (v == checked_) return;
  checked_ = v;
  Invalidate();
}

void TbsSkinCheckRadioBox::Toggle()
{
  SetChecked(!checked_);
  Click();
}

void TbsSkinCheckRadioBox::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
  if (Button == mbLeft && !IsDesigning()) {
    if (CanFocus() && !Focused()) SetFocus();
    pressing_ = true;
  }
  TbsSkinCustomControl::MouseDown(Button, Shift, X, Y);
}

void TbsSkinCheckRadioBox::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y)
{
  QPointer<TbsSkinCheckRadioBox> self(this);
  if (Button == mbLeft && pressing_) {
    pressing_ = false;
    if (QRect(0, 0, Width(), Height()).contains(X, Y)) Toggle();
  }
  // The click may have freed the box.
  if (self) TbsSkinCustomControl::MouseUp(Button, Shift, X, Y);
}

void TbsSkinCheckRadioBox::MouseEnter()
{
  TbsSkinCustomControl::MouseEnter();
  mouseInside_ = true;
  Invalidate();
}

void TbsSkinCheckRadioBox::MouseLeave()
{
  TbsSkinCustomControl::MouseLeave();
  mouseInside_ = false;
  Invalidate();
}

void TbsSkinCheckRadioBox::KeyDown(int& Key, TShiftState Shift)
{
  if (Key == VK_SPACE) spaceDown_ = true;
  TbsSkinCustomControl::KeyDown(Key, Shift);
}

void TbsSkinCheckRadioBox::KeyUp(int& Key, TShiftState Shift)
{
  // Only the release of a Space pressed here turns it over, once.
  if (Key == VK_SPACE && spaceDown_) {
    spaceDown_ = false;
    QPointer<TbsSkinCheckRadioBox> self(this);
    Toggle();
    if (!self) return;
  }
  TbsSkinCustomControl::KeyUp(Key, Shift);
}

void TbsSkinCheckRadioBox::DoEnter()
{
  TbsSkinCustomControl::DoEnter();
  Invalidate();
}

void TbsSkinCheckRadioBox::DoExit()
{
  TbsSkinCustomControl::DoExit();
  spaceDown_ = false;
  Invalidate();
}

void TbsSkinCheckRadioBox::EnabledChanged()
{
  TbsSkinCustomControl::EnabledChanged();
  mouseInside_ = false;
  Invalidate();
}

void TbsSkinCheckRadioBox::TextChanged() { Invalidate(); }

void TbsSkinCheckRadioBox::DrawCaption(TCanvas* canvas, const QRect& r)
{
  canvas->Brush()->SetStyle(TBrush::bsClear);
  QRect box = r;
  canvas->DrawText(Caption(), box, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS);
  if (!Focused() || Caption().isEmpty()) return;
  // The keyboard's place: a dotted frame round the caption.
  QRect text = r;
  canvas->DrawText(Caption(), text, DT_LEFT | DT_SINGLELINE | DT_CALCRECT);
  const int height = std::min(text.height() + 2, r.height());
  const QRect frame(r.left() - 1, r.top() + (r.height() - height) / 2, std::min(text.width() + 3, r.width() + 1), height);
  if (frame.width() > 2 && frame.height() > 2) DrawFocusFrame(canvas, frame);
}

void TbsSkinCheckRadioBox::DrawSkinLook(TBitmap& bitmap)
{
  const TbsDataSkinCheckRadioControl* d = CheckDefinition();
  if (!d) {
    DrawDefaultLook(bitmap);
    return;
  }
  const bool hot = Enabled() && (mouseInside_ || Focused());
  DrawStretchedPicture(bitmap, geometry_.SkinPicture,
                       hot && !d->ActiveSkinRect.isEmpty() ? d->ActiveSkinRect : geometry_.SkinRect);
  QRect image = checked_ ? d->CheckImageRect : d->UnCheckImageRect;
  if (!Enabled()) {
    const QRect off = checked_ ? d->UnEnabledCheckImageRect : d->UnEnabledUnCheckImageRect;
    if (!off.isEmpty()) image = off;
  } else if (hot) {
    const QRect active = checked_ ? d->ActiveCheckImageRect : d->ActiveUnCheckImageRect;
    if (!active.isEmpty()) image = active;
  }
  TCanvas* c = bitmap.Canvas();
  const QRect area = MapSkinRect(d->CheckImageArea);
  if (geometry_.SkinPicture && !image.isEmpty() && !area.isEmpty()) {
    const QRect source = image.intersected(geometry_.SkinPicture->rect());
    const QRect target(area.left() + (area.width() - source.width()) / 2, area.top() + (area.height() - source.height()) / 2,
                       source.width(), source.height());
    c->DrawImage(target, *geometry_.SkinPicture, source);
  }
  if (UseSkinFont()) skin_fonts::ApplyDefinitionFont(c->Font(), d->FontName, d->FontHeight, d->FontStyle);
  else c->Font()->Assign(DefaultFont());
  c->Font()->SetCharset(skin_fonts::SkinCharset(SkinData(), DefaultFont()->Charset()));
  c->Font()->SetColor(!Enabled() ? d->UnEnabledFontColor : hot ? d->ActiveFontColor : d->FontColor);
  DrawCaption(c, MapSkinRect(d->TextArea));
}

void TbsSkinCheckRadioBox::DrawDefaultLook(TBitmap& bitmap)
{
  TCanvas* c = bitmap.Canvas();
  c->Brush()->SetStyle(TBrush::bsSolid);
  c->Brush()->SetColor(Color());
  c->FillRect(QRect(0, 0, Width(), Height()));
  const int side = 13;
  const QRect box(2, (Height() - side) / 2, side, side);
  c->Pen()->SetColor(Enabled() && (mouseInside_ || Focused()) ? clNavy : clBtnShadow);
  c->Brush()->SetColor(Enabled() ? clWindow : clBtnFace);
  c->Rectangle(box);
  if (checked_) {
    // Three strokes: down from the left, then up to the right.
    c->Pen()->SetColor(Enabled() ? clWindowText : clBtnShadow);
    const int x = box.left() + 2, y = box.top() + 3;
    for (int i = 0; i < 3; ++i) {
      c->MoveTo(x, y + 2 + i);
      c->LineTo(x + 3, y + 5 + i);
      c->LineTo(x + 8, y + i);
    }
  }
  c->Font()->Assign(DefaultFont());
  if (!Enabled()) c->Font()->SetColor(clBtnShadow);
  DrawCaption(c, QRect(box.right() + 6, 0, Width() - box.right() - 7, Height()));
}
