#include "skin_controls/skin_scroll_bar.h"

#include "skin/skin_definitions.h"
#include "skin/skin_utils.h"
#include "skin_controls/default_fills.h"

#include <algorithm>
#include <cmath>

namespace {
// Nearest integer, a half going to the even neighbour.
qint64 RoundEven(double x) { return qint64(std::nearbyint(x)); }

} // namespace

int TbsWheelNotches::Add(int delta)
{
  rest_ += delta;
  const int notches = rest_ / 120;
  rest_ -= notches * 120;
  return notches;
}

TbsSkinScrollBar::TbsSkinScrollBar(TComponent* AOwner) : TbsSkinCustomControl(AOwner)
{
  SetSkinDataName(QStringLiteral("hscrollbar"));
  SetBounds(0, 0, 200, 19);
  SetDefaultHeight(19);
  QObject::connect(&timer_, &QTimer::timeout, this, [this] { RepeatTimerTick(); });
}

// ---------------------------------------------------------------- range

int TbsSkinScrollBar::MaxPosition() const
{
  const qint64 top = pageSize_ > 0 ? qint64(max_) - pageSize_ + 1 : qint64(max_);
  return int(std::max<qint64>(top, min_));
}

void TbsSkinScrollBar::SetPosition(int v)
{
  const int clamped = std::clamp(v, min_, MaxPosition());
  if (clamped == position_) return;
  position_ = clamped;
  Invalidate();
  if (onChange_) onChange_(this);
}

void TbsSkinScrollBar::SetMin(int v)
{
  if (v == min_) return;
  min_ = v;
  position_ = std::clamp(position_, min_, MaxPosition());
  Invalidate();
}

void TbsSkinScrollBar::SetMax(int v)
{
  if (v == max_) return;
  max_ = v;
  position_ = std::clamp(position_, min_, MaxPosition());
  Invalidate();
}

void TbsSkinScrollBar::SetPageSize(int v)
{
  if (v >= 0 && qint64(max_) - min_ + 1 >= qint64(v) + (qint64(position_) - min_)) pageSize_ = v;
  Invalidate();
}

void TbsSkinScrollBar::SetSmallChange(int v)
{
  smallChange_ = v;
  Invalidate();
}

void TbsSkinScrollBar::SetLargeChange(int v)
{
  largeChange_ = v;
  Invalidate();
}

void TbsSkinScrollBar::AssignRange(int min, int max, int pageSize, int position)
{
  min_ = min;
  max_ = max;
  pageSize_ = std::max(pageSize, 0);
  position_ = std::clamp(position, min_, MaxPosition());
  Invalidate();
}

void TbsSkinScrollBar::SetCanFocused(bool v)
{
  canFocused_ = v;
  SetTabStop(v);
}

void TbsSkinScrollBar::SetBoth(bool v)
{
  if (v == both_) return;
  both_ = v;
  if (!IsDesigning()) {
    if (v) {
      normalSkinDataName_ = SkinDataName();
      SetSkinDataName(bothSkinDataName_);
    } else if (!normalSkinDataName_.isEmpty()) {
      SetSkinDataName(normalSkinDataName_);
    }
  }
  if (SkinLoaded()) ApplySkinData();
  else Invalidate();
}

void TbsSkinScrollBar::SetBothMarkerWidth(int v)
{
  if (v < 0) return;
  bothMarkerWidth_ = v;
  Invalidate();
}

void TbsSkinScrollBar::SetKind(TScrollBarKind v)
{
  if (v == kind_) return;
  kind_ = v;
  if (IsDesigning() && !IsLoading()) {
    const bool vertical = v == sbVertical;
    SetSkinDataName(vertical ? QStringLiteral("vscrollbar") : QStringLiteral("hscrollbar"));
    if (vertical ? Width() > Height() : Height() > Width()) SetBounds(Left(), Top(), Height(), Width());
    if (vertical) {
      SetDefaultWidth(DefaultHeight());
      SetDefaultHeight(0);
    } else {
      SetDefaultHeight(DefaultWidth());
      SetDefaultWidth(0);
    }
  }
  Invalidate();
}

// ---------------------------------------------------------------- layout

void TbsSkinScrollBar::CopyDefinition()
{
  skin_ = SkinParts{};
  const auto* d = dynamic_cast<const TbsDataSkinScrollBarControl*>(SkinDefinition());
  if (!d) return;
  skin_.TrackArea = d->TrackArea;
  skin_.UpButton = d->UpButtonRect;
  skin_.DownButton = d->DownButtonRect;
  skin_.ActiveUp = d->ActiveUpButtonRect;
  skin_.DownUp = d->DownUpButtonRect.isEmpty() ? d->ActiveUpButtonRect : d->DownUpButtonRect;
  skin_.ActiveDown = d->ActiveDownButtonRect;
  skin_.DownDown = d->DownDownButtonRect.isEmpty() ? d->ActiveDownButtonRect : d->DownDownButtonRect;
  skin_.Thumb = d->ThumbRect;
  skin_.ActiveThumb = d->ActiveThumbRect.isEmpty() ? d->ThumbRect : d->ActiveThumbRect;
  skin_.DownThumb = d->DownThumbRect.isEmpty() ? skin_.ActiveThumb : d->DownThumbRect;
  skin_.Glyph = d->GlyphRect;
  skin_.ActiveGlyph = d->ActiveGlyphRect.isEmpty() ? d->GlyphRect : d->ActiveGlyphRect;
  skin_.DownGlyph = d->DownGlyphRect.isEmpty() ? skin_.ActiveGlyph : d->DownGlyphRect;
  skin_.ThumbOffset1 = d->ThumbOffset1;
  skin_.ThumbOffset2 = d->ThumbOffset2;
}

int TbsSkinScrollBar::TrackStart() const
{
  return kind_ == sbHorizontal ? stretchedTrackArea_.left() : stretchedTrackArea_.top();
}

int TbsSkinScrollBar::TrackEnd() const
{
  return kind_ == sbHorizontal ? stretchedTrackArea_.left() + stretchedTrackArea_.width()
                               : stretchedTrackArea_.top() + stretchedTrackArea_.height();
}

void TbsSkinScrollBar::CalcLayout()
{
  LoadSkinDefinition();
  const int w = Width(), h = Height();
  const bool horizontal = kind_ == sbHorizontal;
  const bool skinned = skinControlIndex_ != -1 && geometry_.StretchMode != smNone;
  if (skinned) CopyDefinition();
  if (skinned && !skin_.TrackArea.isEmpty()) {
    const int grow = horizontal ? w - geometry_.SkinWidth() : h - geometry_.SkinHeight();
    stretchedTrackArea_ = horizontal ? skin_.TrackArea.adjusted(0, 0, grow, 0) : skin_.TrackArea.adjusted(0, 0, 0, grow);
    auto place = [&](const QRect& r) {
      if (horizontal) return r.left() >= geometry_.RTPoint.x() ? r.translated(grow, 0) : r;
      return r.top() >= geometry_.LBPoint.y() ? r.translated(0, grow) : r;
    };
    parts_[UpButtonPart].Rect = place(skin_.UpButton);
    parts_[DownButtonPart].Rect = place(skin_.DownButton);
    minThumbLength_ = horizontal ? skin_.Thumb.width() : skin_.Thumb.height();
    thumbBreadth_ = horizontal ? skin_.Thumb.height() : skin_.Thumb.width();
  } else {
    skin_ = SkinParts{};
    if (horizontal) {
      const int u = both_ ? w - bothMarkerWidth_ : w;
      parts_[DownButtonPart].Rect = SkinRect(1, 1, 17, h - 1);
      parts_[UpButtonPart].Rect = SkinRect(u - 17, 1, u - 1, h - 1);
      stretchedTrackArea_ = SkinRect(17, 1, u - 17, h - 1);
    } else {
      parts_[DownButtonPart].Rect = SkinRect(1, 1, w - 1, 17);
      parts_[UpButtonPart].Rect = SkinRect(1, h - 17, w - 1, h - 1);
      stretchedTrackArea_ = SkinRect(1, 17, w - 1, h - 17);
    }
    minThumbLength_ = 16;
    thumbBreadth_ = horizontal ? stretchedTrackArea_.height() : stretchedTrackArea_.width();
  }

  const int trackLength = TrackEnd() - TrackStart();
  const qint64 span = qint64(max_) - min_ + 1;
  qint64 length = minThumbLength_;
  if (pageSize_ > 0 && span > 0) length = std::max<qint64>(RoundEven(double(trackLength) * pageSize_ / double(span)), length);
  // A thumb never outgrows its track (a page larger than the range, a short bar).
  length = std::min<qint64>(length, std::max(trackLength, 0));
  thumbHalf_ = int(length / 2);

  double f = 0;
  if (pageSize_ > 0) {
    const qint64 denominator = span - pageSize_;
    if (denominator > 0) f = double(qint64(position_) - min_) / double(denominator);
    else f = horizontal ? 1 : 0;
  } else if (max_ != min_) {
    f = double(qint64(position_) - min_) / (double(max_) - min_);
  }
  thumbTravelStart_ = TrackStart() + thumbHalf_;
  thumbTravelEnd_ = TrackEnd() - thumbHalf_;
  thumbOffset_ = int(RoundEven(f * (thumbTravelEnd_ - thumbTravelStart_)));

  const int along = TrackStart() + thumbOffset_;
  const int acrossStart = horizontal ? stretchedTrackArea_.top() : stretchedTrackArea_.left();
  const int acrossLength = horizontal ? stretchedTrackArea_.height() : stretchedTrackArea_.width();
  const int across = skinned && !skin_.TrackArea.isEmpty() ? acrossStart + acrossLength / 2 - thumbBreadth_ / 2 : acrossStart;
  parts_[ThumbPart].Rect = horizontal ? QRect(along, across, 2 * thumbHalf_, thumbBreadth_)
                                      : QRect(across, along, thumbBreadth_, 2 * thumbHalf_);
}

QRect TbsSkinScrollBar::PartRect(TPart part)
{
  CalcLayout();
  return part == NoPart ? QRect() : parts_[part].Rect;
}

QRect TbsSkinScrollBar::TrackArea()
{
  CalcLayout();
  return stretchedTrackArea_;
}

// ---------------------------------------------------------------- drawing

void TbsSkinScrollBar::DrawDefaultBox(TCanvas* canvas, const QRect& r, bool hot, bool down) const
{
  if (r.isEmpty()) return;
  TColor frame = clBtnShadow, fill = clBtnFace;
  if (down) frame = clNavy, fill = kDownFill;
  else if (hot) frame = clNavy, fill = kHotFill;
  canvas->Brush()->SetColor(fill);
  canvas->FillRect(r);
  canvas->Brush()->SetColor(frame);
  canvas->FrameRect(r);
}

void TbsSkinScrollBar::DrawDefaultLook(TBitmap& bitmap)
{
  CalcLayout();
  TCanvas* c = bitmap.Canvas();
  FillBitmap(bitmap, QRect(0, 0, Width(), Height()), clBtnFace);
  const bool focusedLook = canFocused_ && Focused();
  if (Enabled() && thumbHalf_ > 0) {
    const Part& t = parts_[ThumbPart];
    DrawDefaultBox(c, t.Rect, t.Hot, t.Down || focusedLook);
  }
  const bool horizontal = kind_ == sbHorizontal;
  const Part& up = parts_[UpButtonPart];
  DrawDefaultBox(c, up.Rect, up.Hot, up.Down && up.Hot);
  DrawGlyph(c, up.Rect, horizontal ? TbsGlyph::ArrowRight : TbsGlyph::ArrowDown, clBlack);
  const Part& down = parts_[DownButtonPart];
  DrawDefaultBox(c, down.Rect, down.Hot, down.Down && down.Hot);
  DrawGlyph(c, down.Rect, horizontal ? TbsGlyph::ArrowLeft : TbsGlyph::ArrowUp, clBlack);
}

void TbsSkinScrollBar::DrawSkinLook(TBitmap& bitmap)
{
  CalcLayout();
  const QImage* picture = geometry_.SkinPicture;
  DrawStretchedPicture(bitmap, picture, geometry_.SkinRect);
  if (!picture) return;
  TCanvas* c = bitmap.Canvas();
  auto copy = [&](const QRect& source, const QRect& dest) {
    if (!source.isEmpty() && !dest.isEmpty()) c->DrawImage(dest, *picture, source);
  };
  const Part& up = parts_[UpButtonPart];
  if (up.Down && up.Hot) copy(skin_.DownUp, up.Rect);
  else if (up.Hot) copy(skin_.ActiveUp, up.Rect);
  const Part& down = parts_[DownButtonPart];
  if (down.Down && down.Hot) copy(skin_.DownDown, down.Rect);
  else if (down.Hot) copy(skin_.ActiveDown, down.Rect);

  const Part& t = parts_[ThumbPart];
  if (!Enabled() || t.Rect.isEmpty()) return;
  const bool pressedLook = t.Down || (canFocused_ && Focused());
  const QRect source = pressedLook ? skin_.DownThumb : t.Hot ? skin_.ActiveThumb : skin_.Thumb;
  const QRect glyph = pressedLook ? skin_.DownGlyph : t.Hot ? skin_.ActiveGlyph : skin_.Glyph;
  if (source.isEmpty()) return;
  TBitmap thumb;
  if (pageSize_ > 0) {
    if (kind_ == sbHorizontal) BuildHorzStrip3(skin_.ThumbOffset1, skin_.ThumbOffset2, source, *picture, t.Rect.width(), thumb);
    else BuildVertStrip3(skin_.ThumbOffset1, skin_.ThumbOffset2, source, *picture, t.Rect.height(), thumb);
  } else {
    thumb.SetSize(source.width(), source.height());
    thumb.Canvas()->DrawImage(QRect(0, 0, source.width(), source.height()), *picture, source);
  }
  if (!glyph.isEmpty())
    thumb.Canvas()->DrawImage(QRect(thumb.Width() / 2 - glyph.width() / 2, thumb.Height() / 2 - glyph.height() / 2,
                                    glyph.width(), glyph.height()),
                              *picture, glyph);
  c->Draw(t.Rect.left(), t.Rect.top(), &thumb);
}

// ---------------------------------------------------------------- mouse

void TbsSkinScrollBar::StepUp()
{
  if (onUpButtonClick_) onUpButtonClick_(this);
  else SetPosition(int(std::clamp<qint64>(qint64(position_) + smallChange_, INT_MIN, INT_MAX)));
}

void TbsSkinScrollBar::StepDown()
{
  if (onDownButtonClick_) onDownButtonClick_(this);
  else SetPosition(int(std::clamp<qint64>(qint64(position_) - smallChange_, INT_MIN, INT_MAX)));
}

void TbsSkinScrollBar::PageTowardMin()
{
  SetPosition(int(std::clamp<qint64>(qint64(position_) - largeChange_, INT_MIN, INT_MAX)));
  if (onPageUp_) onPageUp_(this);
}

void TbsSkinScrollBar::PageTowardMax()
{
  SetPosition(int(std::clamp<qint64>(qint64(position_) + largeChange_, INT_MIN, INT_MAX)));
  if (onPageDown_) onPageDown_(this);
}

void TbsSkinScrollBar::StartRepeat(int interval)
{
  timer_.setInterval(interval);
  timer_.start();
}

void TbsSkinScrollBar::StopRepeat() { timer_.stop(); }

void TbsSkinScrollBar::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
  if (canFocused_ && Button == mbLeft && !Focused()) {
    if (CanFocus()) SetFocus();
    if (HandleAllocated() && !Focused()) return;
  }
  TbsSkinCustomControl::MouseDown(Button, Shift, X, Y);
  if (Button != mbLeft) return;
  leftButtonHeld_ = true;
  lastPointer_ = QPoint(X, Y);
  CalcLayout();
  autoAction_ = aaNone;
  firstDelay_ = true;
  const QPoint p(X, Y);
  for (int i = ThumbPart; i <= DownButtonPart; ++i) {
    if (!parts_[i].Rect.contains(p) || (i == ThumbPart && (!Enabled() || thumbHalf_ == 0))) continue;
    capturedPart_ = i;
    hotPart_ = i;
    parts_[i].Hot = parts_[i].Down = true;
    Invalidate();
    if (i == UpButtonPart) {
      StepUp();
      autoAction_ = aaStepToMax;
      StartRepeat(500);
    } else if (i == DownButtonPart) {
      StepDown();
      autoAction_ = aaStepToMin;
      StartRepeat(500);
    } else {
      dragOrigin_ = Along(p);
      dragStartOffset_ = thumbOffset_;
      thumbDragging_ = true;
    }
    return;
  }
  if (!stretchedTrackArea_.contains(p)) return;
  if (Along(p) < Along(parts_[ThumbPart].Rect.topLeft())) {
    autoAction_ = aaPageToMin;
    StartRepeat(500);
    PageTowardMin();
  } else {
    autoAction_ = aaPageToMax;
    StartRepeat(500);
    PageTowardMax();
  }
}

void TbsSkinScrollBar::RepeatTimerTick()
{
  if (firstDelay_) {
    firstDelay_ = false;
    StartRepeat(50);
    return;
  }
  switch (autoAction_) {
  case aaStepToMin: StepDown(); break;
  case aaStepToMax: StepUp(); break;
  case aaPageToMin:
    UpdateHotPart(lastPointer_);
    CalcLayout();
    if (Along(lastPointer_) < Along(parts_[ThumbPart].Rect.topLeft())) PageTowardMin();
    else {
      StopRepeat();
      autoAction_ = aaNone;
    }
    break;
  case aaPageToMax: {
    UpdateHotPart(lastPointer_);
    CalcLayout();
    const QRect t = parts_[ThumbPart].Rect;
    const int thumbEnd = kind_ == sbHorizontal ? t.left() + t.width() : t.top() + t.height();
    if (Along(lastPointer_) >= thumbEnd) PageTowardMax();
    else {
      StopRepeat();
      autoAction_ = aaNone;
    }
    break;
  }
  default: StopRepeat(); break;
  }
}

void TbsSkinScrollBar::UpdateHotPart(QPoint p)
{
  CalcLayout();
  int hot = NoPart;
  for (int i = ThumbPart; i <= DownButtonPart; ++i)
    if (parts_[i].Rect.contains(p) && !(i == ThumbPart && thumbHalf_ == 0)) {
      hot = i;
      break;
    }
  if (capturedPart_ != NoPart && hot != capturedPart_) hot = NoPart;
  if (hot == hotPart_) return;
  if (hotPart_ != NoPart) {
    parts_[hotPart_].Hot = false;
    if (hotPart_ != ThumbPart && parts_[hotPart_].Down) StopRepeat();
  }
  hotPart_ = hot;
  if (hot != NoPart) {
    parts_[hot].Hot = true;
    if (hot != ThumbPart && parts_[hot].Down) StartRepeat(50);
  }
  Invalidate();
}

int TbsSkinScrollBar::PositionAtOffset(double b) const
{
  const double span = pageSize_ > 0 ? double(max_) - min_ - pageSize_ + 1 : double(max_) - min_;
  return int(std::clamp<qint64>(qint64(min_) + RoundEven(span * b), INT_MIN, INT_MAX));
}

void TbsSkinScrollBar::MouseMove(TShiftState Shift, int X, int Y)
{
  TbsSkinCustomControl::MouseMove(Shift, X, Y);
  lastPointer_ = QPoint(X, Y);
  if (thumbDragging_) {
    CalcLayout();  // travel from the thumb's current length
    const int d = Along(lastPointer_) - dragOrigin_;
    const int travel = thumbTravelEnd_ - thumbTravelStart_;
    double b = travel > 0 ? double(d + dragStartOffset_) / travel : 0;
    b = std::clamp(b, 0.0, 1.0);
    SetPosition(PositionAtOffset(b));
    return;
  }
  UpdateHotPart(lastPointer_);
}

void TbsSkinScrollBar::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y)
{
  TbsSkinCustomControl::MouseUp(Button, Shift, X, Y);
  if (Button == mbLeft) leftButtonHeld_ = false;
  if (autoAction_ == aaPageToMin || autoAction_ == aaPageToMax) {
    StopRepeat();
    autoAction_ = aaNone;
  }
  if (capturedPart_ == NoPart) return;
  const int part = capturedPart_;
  parts_[part].Down = false;
  if (part != hotPart_) parts_[part].Hot = false;
  Invalidate();
  if (part == ThumbPart) thumbDragging_ = false;
  else {
    StopRepeat();
    autoAction_ = aaNone;
  }
  capturedPart_ = NoPart;
  if (part == ThumbPart && Button == mbLeft && onLastChange_) onLastChange_(this);
}

void TbsSkinScrollBar::MouseLeave()
{
  TbsSkinCustomControl::MouseLeave();
  if (IsDesigning()) return;
  if (hotPart_ != NoPart && capturedPart_ == NoPart && !thumbDragging_) {
    parts_[hotPart_].Hot = false;
    hotPart_ = NoPart;
    Invalidate();
  }
  if (leftButtonHeld_ && autoAction_ == aaPageToMax) {
    StopRepeat();
    autoAction_ = aaNone;
  }
}

// ---------------------------------------------------------------- keys, focus, wheel

void TbsSkinScrollBar::KeyDown(int& Key, TShiftState Shift)
{
  TbsSkinCustomControl::KeyDown(Key, Shift);
  if (!canFocused_) return;
  if (Key == VK_LEFT || Key == VK_UP) {
    SetPosition(int(std::clamp<qint64>(qint64(position_) - smallChange_, INT_MIN, INT_MAX)));
    Key = 0;
  } else if (Key == VK_RIGHT || Key == VK_DOWN) {
    SetPosition(int(std::clamp<qint64>(qint64(position_) + smallChange_, INT_MIN, INT_MAX)));
    Key = 0;
  }
}

void TbsSkinScrollBar::WndProc(TMessage& m)
{
  if (m.Msg == WM_MOUSEWHEEL) {
    if (canFocused_ && Focused()) {
      const int notches = wheel_.Add(int(m.WParam));
      const qint64 step = qint64(smallChange_) * notches;
      SetPosition(int(std::clamp<qint64>(qint64(position_) - step, INT_MIN, INT_MAX)));
    }
    return;
  }
  TbsSkinCustomControl::WndProc(m);
}

void TbsSkinScrollBar::DoEnter()
{
  TbsSkinCustomControl::DoEnter();
  if (canFocused_) Invalidate();
}

void TbsSkinScrollBar::DoExit()
{
  TbsSkinCustomControl::DoExit();
  if (canFocused_) Invalidate();
}

void TbsSkinScrollBar::EnabledChanged()
{
  TbsSkinCustomControl::EnabledChanged();
  Invalidate();
}
