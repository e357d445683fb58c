#include "mixer/mm_object.h"

#include "toolkit/exceptions.h"

void TMMObject::BeginUpdate()
{
  if (updateCount_ == 0) DoChange(true);
  ++updateCount_;
}

void TMMObject::EndUpdate()
{
  if (updateCount_ <= 0) return;
  --updateCount_;
  if (updateCount_ == 0) DoChange(false);
}

void TMMObject::DoChange(bool Starting)
{
  if (Starting)
    Changing();
  else
    Changed();
}

void TMMObject::Changing()
{
  if (updateCount_ == 0 && OnChanging) OnChanging(this);
}

void TMMObject::Changed()
{
  if (updateCount_ == 0) TPersistent::Changed();
}

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
  if (bevelOuter_ != mm::bvNone) extent += bevelOuterWidth_;
  if (bevelInner_ != mm::bvNone) extent += bevelInnerWidth_;
  if (borderStyle_ != mm::bsNone) extent += 1;
  return extent;
}

std::vector<TMMBevelFrame> TMMBevel::BevelFrames(const QRect& Rect, bool FillBorder, QRect& InnerRect) const
{
  std::vector<TMMBevelFrame> frames;
  QRect r = Rect;
  auto frame = [&](int width, mm::TColor topLeft, mm::TColor bottomRight) {
    if (width <= 0) return;
    frames.push_back({r, width, topLeft, bottomRight});
    r.adjust(width, width, -width, -width);
  };
  // Lowered shows the shadow on top; bvSpace reserves extent but draws nothing.
  auto bevel = [&](mm::TBevelCut cut, int width, mm::TColor light, mm::TColor shadow) {
    if (cut == mm::bvLowered)
      frame(width, shadow, light);
    else if (cut == mm::bvRaised)
      frame(width, light, shadow);
  };
  if (borderStyle_ == mm::bsSingle) frame(1, mm::clWindowFrame, mm::clWindowFrame);
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
