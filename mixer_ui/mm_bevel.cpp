#include "mixer_ui/mm_bevel.h"

#include "toolkit/exceptions.h"

void TMMBevel::Assign(const TPersistent* Source)
{
  auto* other = qobject_cast<const TMMBevel*>(Source);
  if (!other) {
    const QString from = Source ? QString::fromLatin1(Source->metaObject()->className()) : QStringLiteral("nil");
    throw EConvertError(QStringLiteral("Cannot assign a %1 to a %2").arg(from, QString::fromLatin1(metaObject()->className())));
  }
  if (other == this) return;
  BeginUpdate();
  SetBevelInner(other->BevelInner());
  SetBevelOuter(other->BevelOuter());
  SetBevelInnerWidth(other->BevelInnerWidth());
  SetBevelOuterWidth(other->BevelOuterWidth());
  SetBorderStyle(other->BorderStyle());
  SetBorderWidth(other->BorderWidth());
  SetBorderSpace(other->BorderSpace());
  SetBorderColor(other->BorderColor());
  SetBorderSpaceColor(other->BorderSpaceColor());
  SetOuterLightColor(other->OuterLightColor());
  SetOuterShadowColor(other->OuterShadowColor());
  SetInnerLightColor(other->InnerLightColor());
  SetInnerShadowColor(other->InnerShadowColor());
  EndUpdate();
}

int TMMBevel::BevelExtent() const
{
  int extent = borderWidth_ + borderSpace_;
  if (bevelOuter_ != TControl::bvNone) extent += bevelOuterWidth_;
  if (bevelInner_ != TControl::bvNone) extent += bevelInnerWidth_;
  if (borderStyle_ != mm::bsNone) extent += 1;
  return extent;
}

std::vector<TMMBevelFrame> TMMBevel::BevelFrames(const QRect& Rect, bool FillBorder, QRect& InnerRect) const
{
  std::vector<TMMBevelFrame> frames;
  QRect r = Rect;
  auto frame = [&](int width, TColor topLeft, TColor bottomRight) {
    if (width <= 0) return;
    frames.push_back({r, width, topLeft, bottomRight});
    r.adjust(width, width, -width, -width);
  };
  // Lowered shows the shadow on top; bvSpace reserves extent but draws nothing.
  auto bevel = [&](TControl::TBevelCut cut, int width, TColor light, TColor shadow) {
    if (cut == TControl::bvLowered)
      frame(width, shadow, light);
    else if (cut == TControl::bvRaised)
      frame(width, light, shadow);
  };
  if (borderStyle_ == mm::bsSingle) frame(1, clWindowFrame, clWindowFrame);
  bevel(bevelOuter_, bevelOuterWidth_, OuterLightColor(), OuterShadowColor());
  if (FillBorder)
    frame(borderWidth_, BorderColor(), BorderColor());
  else if (borderWidth_ > 0)
    r.adjust(borderWidth_, borderWidth_, -borderWidth_, -borderWidth_);
  bevel(bevelInner_, bevelInnerWidth_, InnerLightColor(), InnerShadowColor());
  if (borderSpace_ > 0) frame(borderSpace_, BorderSpaceColor(), BorderSpaceColor());
  InnerRect = r;
  return frames;
}

void TMMBevel::PaintBevel(TCanvas* Canvas, const QRect& Rect, QRect& InnerRect, bool FillBorder) const
{
  for (const TMMBevelFrame& frame : BevelFrames(Rect, FillBorder, InnerRect)) {
    QRect r = frame.Rect;
    Canvas->Frame3D(r, frame.TopLeft, frame.BottomRight, frame.Width);
  }
}

// ---------------------------------------------------------------- visual bases

TMMBevelOwner::TMMBevelOwner(std::function<void()> changed) : bevel_(new TMMBevel)
{
  bevel_->OnChange = [changed = std::move(changed)](TPersistent*) { changed(); };
}

TMMBevelOwner::~TMMBevelOwner()
{
  // Cut off first: a bevel never calls a half-destroyed control.
  bevel_->OnChange = nullptr;
  delete bevel_;
  bevel_ = nullptr;
}

namespace {
QRect Inset(const QRect& r, int by) { return r.adjusted(by, by, -by, -by); }

// The bevel, then the inside filled with the control's colour.
void PaintFrameAndFace(TCanvas* canvas, TMMBevel* bevel, const QRect& bounds, TColor color)
{
  QRect inner;
  bevel->PaintBevel(canvas, bounds, inner, true);
  canvas->Brush()->SetColor(color);
  canvas->FillRect(inner);
}
} // namespace

TMMCustomControl::TMMCustomControl(TComponent* AOwner) : TMMBevelled(AOwner)
{
  SetControlStyle(ControlStyle() | csOpaque);
}

void TMMCustomControl::Paint() { PaintFrameAndFace(Canvas(), Bevel(), QRect(0, 0, Width(), Height()), Color()); }

TMMGraphicControl::TMMGraphicControl(TComponent* AOwner) : TMMBevelled(AOwner)
{
  SetControlStyle(ControlStyle() | csOpaque);
}

void TMMGraphicControl::Paint() { PaintFrameAndFace(Canvas(), Bevel(), QRect(0, 0, Width(), Height()), Color()); }

TMMCustomPanel::TMMCustomPanel(TComponent* AOwner) : TMMBevelled(AOwner)
{
  SetBevelOuter(bvNone);
  SetBevelInner(bvNone);
  SetBorderWidth(0);
}

void TMMCustomPanel::AdjustClientRect(QRect& rect) const { rect = Inset(rect, BevelExtent()); }

void TMMCustomPanel::BevelChanged()
{
  Realign();
  Invalidate();
}

void TMMCustomPanel::Paint()
{
  TCanvas* c = Canvas();
  QRect inner;
  Bevel()->PaintBevel(c, ClientRect(), inner, true);
  c->Brush()->SetColor(Color());
  c->FillRect(inner);
  if (Caption().isEmpty()) return;
  // One line of text, centred vertically in a band as high as a "W".
  c->Brush()->SetStyle(TBrush::bsClear);
  c->Font()->Assign(Font());
  const int h = c->TextHeight(QStringLiteral("W"));
  QRect band(inner.left(), inner.top() + (inner.height() - h) / 2, inner.width(), h);
  unsigned flags = DT_SINGLELINE | DT_EXPANDTABS | DT_NOPREFIX;
  if (Alignment() == taRightJustify)
    flags |= DT_RIGHT;
  else if (Alignment() == taCenter)
    flags |= DT_CENTER;
  c->DrawText(Caption(), band, flags);
}
