#include "mixer_ui/mm_slider.h"

#include "mixer/mm_types.h"
#include "mixer_ui/mm_dib.h"
#include "mixer_ui/mm_rounding.h"

#include <QTimer>
#include <cmath>

namespace {

using mmui::RoundEven;

int Clamp(int v, int lo, int hi) { return v < lo ? lo : (v > hi ? hi : v); }

// a * b / c rounded to nearest; 0 when c is 0.
int MulDivRound(int a, int b, int c) { return c == 0 ? 0 : RoundEven(double(a) * b / c); }

// The focused slider's blink timer: one in the process.
QTimer* gBlinkTimer = nullptr;
TMMCustomSlider* gBlinkOwner = nullptr;

} // namespace

// ---------------------------------------------------------------- scale

void TMMScale::Assign(const TPersistent* source)
{
  auto* other = qobject_cast<const TMMScale*>(source);
  if (!other) return TPersistent::Assign(source);
  if (other == this) return;
  visible_ = other->visible_;
  color_ = other->color_;
  style_ = other->style_;
  tickCount_ = other->tickCount_;
  enlargeEvery_ = other->enlargeEvery_;
  size_ = other->size_;
  origin_ = other->origin_;
  connect_ = other->connect_;
  Changed();
}

int TMMScale::ScaleExtent() const
{
  int extent = size_;
  if (connect_) extent += 1;
  if (connect_ && style_ != stColor) extent += 1;
  return extent;
}

int TMMScale::TickOffset(int i, int L) const
{
  return RoundEven(double(i) * L / (tickCount_ - 1));
}

void TMMScale::Line(int x0, int y0, int x1, int y1, bool horizontalLine)
{
  auto stroke = [&](int dx, int dy, TColor color) {
    canvas_->Brush()->SetColor(color);
    canvas_->FillRect(QRect(QPoint(std::min(x0, x1) + dx, std::min(y0, y1) + dy),
                            QPoint(std::max(x0, x1) + dx, std::max(y0, y1) + dy)));
  };
  // The shadow copy sits one pixel below a horizontal line, right of a vertical one.
  const int dx = horizontalLine ? 0 : 1, dy = horizontalLine ? 1 : 0;
  switch (style_) {
  case stColor: stroke(0, 0, color_); break;
  case stLowered:
    stroke(0, 0, clBlack);
    stroke(dx, dy, clWhite);
    break;
  case stRaised:
    stroke(0, 0, clWhite);
    stroke(dx, dy, clBlack);
    break;
  }
}

void TMMScale::DrawScale(const QRect& r, bool grooveBefore)
{
  if (!canvas_) throw EMMScaleError(QStringLiteral("Canvas needed for this operation"));
  const bool horizontal = r.width() >= r.height();
  const int L = horizontal ? r.width() : r.height();
  const int breadth = horizontal ? r.height() : r.width();
  // Ticks grow from the edge facing the groove (soInner) or from the far one.
  const bool fromStart = (origin_ == soInner) == grooveBefore;
  for (int i = 0; i < tickCount_; ++i) {
    const int along = TickOffset(i, L);
    const int len = std::min(i % enlargeEvery_ == 0 ? size_ : size_ / 2, breadth);
    if (len <= 0) continue;
    if (horizontal) {
      const int x = r.left() + along;
      const int y0 = fromStart ? r.top() : r.bottom() - len + 1;
      Line(x, y0, x, y0 + len - 1, false);
    } else {
      const int y = r.bottom() - along;  // the minimum is at the bottom
      const int x0 = fromStart ? r.left() : r.right() - len + 1;
      Line(x0, y, x0 + len - 1, y, true);
    }
  }
  if (!connect_) return;
  if (horizontal) {
    const int y = fromStart ? r.top() : r.bottom();
    Line(r.left(), y, r.left() + L, y, true);
  } else {
    const int x = fromStart ? r.left() : r.right();
    Line(x, r.bottom() - L, x, r.bottom(), false);
  }
}

// ---------------------------------------------------------------- slider

TMMCustomSlider::TMMCustomSlider(TComponent* AOwner)
    : TMMCustomControl(AOwner), groove_(new TMMBevel(this)), scale_(new TMMScale(this)), picLeft_(new TBitmap(this)),
      picRight_(new TBitmap(this))
{
  Bevel()->SetBorderWidth(5);
  scale_->SetVisible(false);
  scale_->SetOrigin(soOuter);
  scale_->SetConnect(true);
  groove_->OnChange = [this](TPersistent*) { Invalidate(); };
  scale_->OnChange = [this](TPersistent*) { Invalidate(); };
  picLeft_->OnChange = [this](TPersistent*) { Invalidate(); };
  picRight_->OnChange = [this](TPersistent*) { Invalidate(); };
  SetColor(clWindow);
  SetTabStop(true);
  SetBounds(Left(), Top(), 200, 40);
}

TMMCustomSlider::~TMMCustomSlider()
{
  if (gBlinkOwner == this) {
    delete gBlinkTimer;
    gBlinkTimer = nullptr;
    gBlinkOwner = nullptr;
  }
  TBitmapCache::ReleaseBitmap(backBuffer_);
}

void TMMCustomSlider::SetOrientation(TMMOrientation v)
{
  if (v == orientation_) return;
  orientation_ = v;
  if (IsDesigning() && !IsLoading()) {
    std::swap(thumbWidth_, thumbHeight_);
    const bool horizontalShape = Width() >= Height();
    if (horizontalShape != (v == orHorizontal)) SetBounds(Left(), Top(), Height(), Width());
  }
  Invalidate();
}

void TMMCustomSlider::SetPicLeft(TBitmap* v)
{
  if (v) picLeft_->Assign(v); else picLeft_->SetImage(QImage());
}

void TMMCustomSlider::SetPicRight(TBitmap* v)
{
  if (v) picRight_->Assign(v); else picRight_->SetImage(QImage());
}

void TMMCustomSlider::SetLogarithmic(bool v)
{
  if (v == logarithmic_) return;
  const int keep = Position();
  logarithmic_ = v;
  SetPosition(keep);
  Invalidate();
}

void TMMCustomSlider::SetSensitivity(int v)
{
  v = Clamp(v, -96, -20);
  if (v == sensitivity_) return;
  const int keep = Position();
  sensitivity_ = v;
  SetPosition(keep);
}

int TMMCustomSlider::LogicalToRaw(int v) const
{
  if (v == 0) return 0;
  const double R = double(maxPosition_) - minPosition_;
  // Nothing to map over an empty range, and no logarithm of a negative.
  if (R <= 0 || v < 0) return minPosition_;
  const float db = float(20.0 * std::log10(double(v) / R) - sensitivity_);
  return Clamp(RoundEven(R * db / -sensitivity_), minPosition_, maxPosition_);
}

int TMMCustomSlider::RawToLogical(int p) const
{
  if (p == 0) return 0;
  const double R = double(maxPosition_) - minPosition_;
  if (R <= 0) return minPosition_;
  return RoundEven(R * std::pow(10.0, (double(p) * -sensitivity_ / R + sensitivity_) / 20.0));
}

int TMMCustomSlider::Position() const
{
  int p = Clamp(rawPosition_, minPosition_, std::max(minPosition_, maxPosition_));
  if (logarithmic_ && p != 0) p = RawToLogical(p);
  return Clamp(p, minPosition_, std::max(minPosition_, maxPosition_));
}

void TMMCustomSlider::SetPosition(int v)
{
  // The value it already reads is no move: a logarithmic round trip may land
  // one raw step beside the thumb.
  if (!IsLoading() && v == Position()) return;
  SetRawPosition(logarithmic_ && v != 0 ? LogicalToRaw(v) : v);
}

void TMMCustomSlider::SetRange(int min, int max)
{
  if (min == minPosition_ && max == maxPosition_) return;
  minPosition_ = min;
  maxPosition_ = max;
  if (!IsLoading()) maxPosition_ = std::max(maxPosition_, minPosition_ + 1);
  SetRawPosition(rawPosition_, true);
  Invalidate();
}

bool TMMCustomSlider::SetRawPosition(int p, bool force)
{
  p = Clamp(p, minPosition_, std::max(minPosition_, maxPosition_));
  if (p == rawPosition_ && !force) return false;
  rawPosition_ = p;
  if (!IsDesigning() && !IsLoading()) {
    const QRect moved = CalcThumbRect();
    if (moved != thumbRect_) Invalidate();
    Change();
  }
  return true;
}

void TMMCustomSlider::Change()
{
  if (IsLoading()) return;
  if (onChange_) onChange_(this);
}

void TMMCustomSlider::Track()
{
  tracking_ = true;
  if (onTrack_) onTrack_(this);
}

void TMMCustomSlider::TrackEnd()
{
  if (!tracking_) return;
  if (onTrackEnd_) onTrackEnd_(this);
  tracking_ = false;
}

QRect TMMCustomSlider::TrackRect() const
{
  QRect r = InnerRect();
  if (orientation_ == orHorizontal) {
    if (!picLeft_->Empty()) r.setLeft(r.left() + picLeft_->Width());
    if (!picRight_->Empty()) r.setRight(r.right() - picRight_->Width());
  } else {
    if (!picLeft_->Empty()) r.setTop(r.top() + picLeft_->Height());
    if (!picRight_->Empty()) r.setBottom(r.bottom() - picRight_->Height());
  }
  return r;
}

int TMMCustomSlider::TravelLength() const
{
  const QRect t = TrackRect();
  const int T = orientation_ == orHorizontal ? t.width() - thumbWidth_ : t.height() - thumbHeight_;
  return std::max(T, 0);
}

QRect TMMCustomSlider::CalcThumbRect() const
{
  const QRect t = TrackRect();
  const int T = TravelLength();
  const int R = maxPosition_ - minPosition_;
  const int offset = R > 0 ? Clamp(RoundEven(double(rawPosition_ - minPosition_) * T / R), 0, T) : 0;
  const bool scaleShown = scale_->Visible();
  if (orientation_ == orHorizontal) {
    int top = t.top() + t.height() / 2 - thumbHeight_ / 2;
    if (scaleShown && scalePosition_ == spBelowOrRight) top = t.top();
    else if (scaleShown && scalePosition_ == spAboveOrLeft) top = t.bottom() + 1 - thumbHeight_;
    return QRect(t.left() + offset, top, thumbWidth_, thumbHeight_);
  }
  int left = t.left() + t.width() / 2 - thumbWidth_ / 2;
  if (scaleShown && scalePosition_ == spBelowOrRight) left = t.left();
  else if (scaleShown && scalePosition_ == spAboveOrLeft) left = t.right() + 1 - thumbWidth_;
  return QRect(left, t.top() + (T - offset), thumbWidth_, thumbHeight_);
}

// ---------------------------------------------------------------- input

int TMMCustomSlider::PointToRaw(int x, int y) const
{
  const QRect t = TrackRect();
  const int T = TravelLength();
  const int R = maxPosition_ - minPosition_;
  if (T <= 0) return rawPosition_;  // a thumb as long as the track cannot move
  const double along = orientation_ == orHorizontal ? double(x - t.left() - thumbWidth_ / 2)
                                                    : double(t.bottom() + 1 - y - thumbHeight_ / 2);
  return Clamp(RoundEven(along / T * R) + minPosition_, minPosition_, maxPosition_);
}

void TMMCustomSlider::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
  if (HandleAllocated() && CanFocus() && !Focused()) SetFocus();
  if (Button == mbLeft) {
    if (thumbRect_.contains(X, Y)) {
      dragging_ = true;
    } else {
      SetRawPosition(PointToRaw(X, Y));
    }
    dragStart_ = QPoint(X, Y);
    dragStartRaw_ = rawPosition_;
    Track();
  }
  TMMCustomControl::MouseDown(Button, Shift, X, Y);
}

void TMMCustomSlider::MouseMove(TShiftState Shift, int X, int Y)
{
  if (dragging_ && Shift.testFlag(ssLeft)) {
    const int R = maxPosition_ - minPosition_;
    const int offset = orientation_ == orHorizontal ? X - dragStart_.x() : dragStart_.y() - Y;
    if (SetRawPosition(dragStartRaw_ + MulDivRound(offset, R, TravelLength()))) Track();
  } else if (!dragging_) {
    const int wanted = handCursor_ && thumbRect_.contains(X, Y) ? mm::HandCursor : ownCursor_;
    if (Cursor() != wanted) {
      if (Cursor() != mm::HandCursor) ownCursor_ = Cursor();
      SetCursor(wanted);
    }
  }
  TMMCustomControl::MouseMove(Shift, X, Y);
}

void TMMCustomSlider::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y)
{
  if (Button == mbLeft) {
    dragging_ = false;
    Invalidate();
    TrackEnd();
  }
  TMMCustomControl::MouseUp(Button, Shift, X, Y);
}

void TMMCustomSlider::KeyDown(int& Key, TShiftState Shift)
{
  TMMCustomControl::KeyDown(Key, Shift);
  int p = rawPosition_;
  switch (Key) {
  case VK_PRIOR: p = Clamp(p + pageSize_, minPosition_, maxPosition_); break;
  case VK_NEXT: p = Clamp(p - pageSize_, minPosition_, maxPosition_); break;
  case VK_END: p = orientation_ == orVertical ? minPosition_ : maxPosition_; break;
  case VK_HOME: p = orientation_ == orVertical ? maxPosition_ : minPosition_; break;
  case VK_UP:
  case VK_RIGHT:
    if (p < maxPosition_) p = std::min(p + lineSize_, maxPosition_);
    break;
  case VK_LEFT:
  case VK_DOWN:
    if (p > minPosition_) p = std::max(p - lineSize_, minPosition_);
    break;
  default: return;
  }
  if (SetRawPosition(p)) Track();
}

void TMMCustomSlider::KeyUp(int& Key, TShiftState Shift)
{
  TMMCustomControl::KeyUp(Key, Shift);
  TrackEnd();
}

void TMMCustomSlider::BlinkTick()
{
  blink_ = dragging_ || !blink_;
  Invalidate();
}

void TMMCustomSlider::DoEnter()
{
  if (focusAction_ == faFocusThumb || focusAction_ == faAll) {
    delete gBlinkTimer;
    gBlinkTimer = new QTimer;
    gBlinkOwner = this;
    QObject::connect(gBlinkTimer, &QTimer::timeout, [this] { BlinkTick(); });
    gBlinkTimer->start(500);
  }
  if (focusAction_ != faNone) Invalidate();
  TMMCustomControl::DoEnter();
}

void TMMCustomSlider::DoExit()
{
  if (gBlinkOwner == this) {
    delete gBlinkTimer;
    gBlinkTimer = nullptr;
    gBlinkOwner = nullptr;
  }
  blink_ = false;
  if (focusAction_ != faNone) Invalidate();
  TMMCustomControl::DoExit();
}

bool TMMCustomSlider::HasFocus() const { return Focused(); }

// ---------------------------------------------------------------- painting

void TMMCustomSlider::Resize()
{
  orientation_ = Width() >= Height() ? orHorizontal : orVertical;
  if (!IsLoading()) AcquireBackBuffer();
  TMMCustomControl::Resize();
}

void TMMCustomSlider::EnabledChanged()
{
  TMMCustomControl::EnabledChanged();
  Invalidate();
}

void TMMCustomSlider::Loaded()
{
  TMMCustomControl::Loaded();
  AcquireBackBuffer();
  thumbRect_ = CalcThumbRect();
}

void TMMCustomSlider::AcquireBackBuffer()
{
  TBitmapCache::ReleaseBitmap(backBuffer_);
  if (Width() > 0 && Height() > 0) backBuffer_ = TBitmapCache::AcquireBitmap(Width(), Height());
}

void TMMCustomSlider::Checker(TBitmap* buffer, const QRect& r, TColor color)
{
  const TColor rgb = ColorToRGB(color);
  const QRect area = r.intersected(QRect(0, 0, buffer->Width(), buffer->Height()));
  for (int y = area.top(); y <= area.bottom(); ++y) {
    uchar* row = buffer->ScanLine(y);
    for (int x = area.left() + ((area.left() ^ y) & 1); x <= area.right(); x += 2) {
      row[3 * x] = uchar(GetBValue(rgb));
      row[3 * x + 1] = uchar(GetGValue(rgb));
      row[3 * x + 2] = uchar(GetRValue(rgb));
    }
  }
}

void TMMCustomSlider::PaintThumb(TCanvas* c, TBitmap* buffer, const QRect& r)
{
  if (thumbStyle_ == tsOwnerDraw) {
    if (onDrawThumb_) onDrawThumb_(this, c, r, blink_, dragging_);
    return;
  }
  QRect f = r;
  c->Frame3D(f, clWindowFrame, clWindowFrame, 1);
  c->Frame3D(f, clBtnHighlight, clBtnShadow, 1);
  c->Brush()->SetColor(thumbColor_);
  c->FillRect(f);
  if (r.width() > 2 && r.height() > 2) {
    c->SetPixel(r.left() + 1, r.bottom() - 1, clBtnHighlight);
    c->SetPixel(r.right() - 1, r.top() + 1, clBtnHighlight);
  }
  if (!Enabled() || blink_) {
    c->Flush();
    if (!Enabled()) Checker(buffer, f, disabledColor_);
    if (blink_) Checker(buffer, f, clBlack);
  }
}

void TMMCustomSlider::PaintSlider(TCanvas* c, TBitmap* buffer)
{
  const QRect client(0, 0, Width(), Height());
  QRect inner;
  Bevel()->PaintBevel(c, client, inner, true);
  c->Brush()->SetColor(Color());
  c->FillRect(inner);

  thumbRect_ = CalcThumbRect();
  const QRect t = TrackRect();
  const bool horizontal = orientation_ == orHorizontal;
  const QPoint centre = thumbRect_.center();

  // End pictures, centred across on the groove line.
  if (!picLeft_->Empty()) {
    picLeft_->SetTransparent(true);
    if (horizontal) c->Draw(inner.left(), centre.y() - picLeft_->Height() / 2, picLeft_);
    else c->Draw(centre.x() - picLeft_->Width() / 2, inner.top(), picLeft_);
  }
  if (!picRight_->Empty()) {
    picRight_->SetTransparent(true);
    if (horizontal) c->Draw(inner.right() + 1 - picRight_->Width(), centre.y() - picRight_->Height() / 2, picRight_);
    else c->Draw(centre.x() - picRight_->Width() / 2, inner.bottom() + 1 - picRight_->Height(), picRight_);
  }

  // The groove strip under the thumb's centre line.
  const int thickness = grooveSize_ + 2 * groove_->BevelExtent();
  QRect groove = horizontal ? QRect(t.left(), centre.y() - thickness / 2, t.width(), thickness)
                            : QRect(centre.x() - thickness / 2, t.top(), thickness, t.height());

  if (scale_->Visible()) {
    scale_->SetCanvas(c);
    const int extent = scale_->ScaleExtent();
    const int half = (horizontal ? thumbWidth_ : thumbHeight_) / 2;
    const int L = TravelLength();
    auto scaleRect = [&](bool before) {
      if (horizontal) {
        const int y = before ? groove.top() - scaleDistance_ - extent : groove.bottom() + 1 + scaleDistance_;
        return QRect(t.left() + half, y, L, extent);
      }
      const int x = before ? groove.left() - scaleDistance_ - extent : groove.right() + 1 + scaleDistance_;
      return QRect(x, t.top() + half, extent, L);
    };
    if (L > 0) {
      if (scalePosition_ != spBelowOrRight) scale_->DrawScale(scaleRect(true), false);
      if (scalePosition_ != spAboveOrLeft) scale_->DrawScale(scaleRect(false), true);
    }
    scale_->SetCanvas(nullptr);
  }

  const bool focused = HasFocus();
  if (onDrawGroove_) {
    onDrawGroove_(this, c, groove, focused);
  } else {
    QRect g;
    groove_->PaintBevel(c, groove, g, true);
    c->Brush()->SetColor(focused && (focusAction_ == faFocusColor || focusAction_ == faAll) ? focusColor_ : grooveColor_);
    c->FillRect(g);
  }
  if (focused && (focusAction_ == faFocusRect || focusAction_ == faAll)) {
    const bool wider = Bevel()->BorderWidth() > 0 && (Bevel()->BevelInner() == bvNone || Bevel()->BorderSpace() > 0);
    QRect f = wider ? t.adjusted(-1, -1, 1, 1) : t;
    c->Flush();
    // A dotted frame: every second pixel of its edges.
    const QRect area = f.intersected(QRect(0, 0, buffer->Width(), buffer->Height()));
    auto dot = [buffer](int x, int y) {
      uchar* px = buffer->ScanLine(y) + 3 * x;
      px[0] = px[1] = px[2] = 0;
    };
    if (!area.isEmpty()) {
      for (int x = area.left(); x <= area.right(); x += 2) {
        dot(x, area.top());
        dot(x, area.bottom());
      }
      for (int y = area.top(); y <= area.bottom(); y += 2) {
        dot(area.left(), y);
        dot(area.right(), y);
      }
    }
  }
  PaintThumb(c, buffer, thumbRect_);
  c->Flush();
}

QImage TMMCustomSlider::Render()
{
  TBitmap buffer;
  buffer.SetSize(std::max(Width(), 1), std::max(Height(), 1));
  PaintSlider(buffer.Canvas(), &buffer);
  return buffer.Image();
}

void TMMCustomSlider::Paint()
{
  if (Width() <= 0 || Height() <= 0) return;
  if (!backBuffer_ || backBuffer_->Width() != Width() || backBuffer_->Height() != Height()) AcquireBackBuffer();
  PaintSlider(backBuffer_->Canvas(), backBuffer_);
  Canvas()->Draw(0, 0, backBuffer_);
}
