#include "skin_controls/skin_panels.h"

#include "skin/skin_draw_pixels.h"
#include "skin/skin_utils.h"
#include "skin_controls/skin_buttons.h"
#include "toolkit/image_list.h"

#include <algorithm>

void DrawSkinBorder(TCanvas* canvas, const QRect& r, int borderStyle)
{
  switch (TbsSkinBorderStyle(borderStyle)) {
  case TbsSkinBorderStyle::bvFrame: DrawTwoColorFrame(canvas, r, clBtnShadow, clBtnShadow); break;
  case TbsSkinBorderStyle::bvRaised: DrawTwoColorFrame(canvas, r, clBtnHighlight, clBtnShadow); break;
  case TbsSkinBorderStyle::bvLowered: DrawTwoColorFrame(canvas, r, clBtnShadow, clBtnHighlight); break;
  case TbsSkinBorderStyle::bvNone: break;
  }
}

namespace {
// Tiles `tile` over `area` of the canvas from the area's top-left corner.
// A tile without pixels draws nothing (and never loops).
void TileImage(TCanvas* canvas, const QRect& area, const QImage& tile)
{
  if (tile.isNull() || tile.width() <= 0 || tile.height() <= 0 || area.isEmpty()) return;
  QPainter& p = canvas->Painter();
  p.save();
  p.setClipRect(area, Qt::IntersectClip);
  for (int y = area.top(); y <= area.bottom(); y += tile.height())
    for (int x = area.left(); x <= area.right(); x += tile.width()) p.drawImage(x, y, tile);
  p.restore();
}

int AlignFlags(TControl::TAlignment a)
{
  switch (a) {
  case TControl::taRightJustify: return DT_RIGHT;
  case TControl::taCenter: return DT_CENTER;
  default: return DT_LEFT;
  }
}
} // namespace

// ---------------------------------------------------------------- TbsSkinPanel

TbsSkinPanel::TbsSkinPanel(TComponent* AOwner) : TbsSkinCustomControl(AOwner), glyph_(new TBitmap(this))
{
  SetSkinDataName(QStringLiteral("panel"));
  SetBounds(0, 0, 150, 150);
  SetControlStyle(TControlStyle(csAcceptsControls | csCaptureMouse | csClickEvents | csDoubleClicks | csOpaque));
  glyph_->OnChange = [this](TPersistent*) { Invalidate(); };
}

void TbsSkinPanel::SetCheckedMode(bool v)
{
  checkedMode_ = v;
  Invalidate();
}

void TbsSkinPanel::SetChecked(bool v)
{
  checked_ = v;
  if (checkedMode_) {
    Invalidate();
    if (autoEnabledControls_)
      for (int i = 0; i < ControlCount(); ++i) Controls(i)->SetEnabled(v);
  }
  if (onChecked_) onChecked_(this);
}

void TbsSkinPanel::SetGlyph(TBitmap* v)
{
  if (v && v != glyph_) glyph_->Assign(v);
  Invalidate();
}

void TbsSkinPanel::SetNumGlyphs(int v)
{
  numGlyphs_ = std::clamp(v, 1, 2);
  Invalidate();
}

void TbsSkinPanel::SetSpacing(int v)
{
  spacing_ = v;
  Invalidate();
}

void TbsSkinPanel::SetRollUpMode(bool v)
{
  rollUpMode_ = v;
  if (skinControlIndex_ == -1 && captionMode_) Invalidate();
}

void TbsSkinPanel::SetRollUpState(bool v)
{
  if (v == rollUpState_) return;
  if (!rollUpMode_) {
    rollUpState_ = false;
    return;
  }
  rollUpState_ = v;
  if (IsLoading()) return;
  if (v) RollUp();
  else RollDown();
}

void TbsSkinPanel::SetCaptionMode(bool v)
{
  captionMode_ = v;
  Invalidate();
  Realign();
}

void TbsSkinPanel::SetBorderStyle(int v)
{
  borderStyle_ = std::clamp(v, 0, 3);
  if (skinControlIndex_ == -1) {
    Invalidate();
    Realign();
  }
}

void TbsSkinPanel::SetDefaultCaptionHeight(int v)
{
  defaultCaptionHeight_ = v;
  if (skinControlIndex_ == -1 && captionMode_) {
    Invalidate();
    Realign();
  }
}

void TbsSkinPanel::SetDefaultAlignment(TAlignment v)
{
  defaultAlignment_ = v;
  if (skinControlIndex_ == -1 && captionMode_) Invalidate();
}

const TbsDataSkinPanelControl* TbsSkinPanel::PanelDefinition() const
{
  return dynamic_cast<const TbsDataSkinPanelControl*>(SkinDefinition());
}

void TbsSkinPanel::LoadSkinDefinition()
{
  TbsSkinCustomControl::LoadSkinDefinition();
  const TbsDataSkinPanelControl* def = PanelDefinition();
  mappedCaptionRect_ = def && !def->CaptionRect.isEmpty()
                           ? (geometry_.StretchMode == smFixed ? def->CaptionRect : MapSkinRect(def->CaptionRect))
                           : QRect();
}

void TbsSkinPanel::SetBounds(int ALeft, int ATop, int AWidth, int AHeight)
{
  TbsSkinCustomControl::SetBounds(ALeft, ATop, AWidth, AHeight);
  if (skinControlIndex_ == -1) Invalidate();
}

void TbsSkinPanel::ApplySkinData()
{
  if (realHeight_ != -1) {
    // Rolled up: only the caption strip of the new look stays.
    const int kept = realHeight_;
    LoadSkinDefinition();
    geometry_.StretchTo(Width(), kept);
    const int h = skinControlIndex_ == -1 ? defaultCaptionHeight_ + 1
                                          : kept - geometry_.StretchedClientRect.height();
    TbsSkinCustomControl::ApplySkinData();
    SetHeight(std::max(0, h));
    realHeight_ = kept;
    return;
  }
  TbsSkinCustomControl::ApplySkinData();
  Realign();
}

QRect TbsSkinPanel::PanelClientRect() const
{
  QRect r = ClientRect();
  const TbsDataSkinPanelControl* def = PanelDefinition();
  if (skinControlIndex_ == -1 || IsDesigning()) {
    if (borderStyle_ != int(TbsSkinBorderStyle::bvNone)) r.adjust(1, 1, -1, -1);
    if (captionMode_) r.setTop(r.top() + defaultCaptionHeight_);
    return r;
  }
  if ((def && def->BGPictureIndex != -1) ||
      (borderStyle_ == int(TbsSkinBorderStyle::bvNone) && !captionMode_ && geometry_.StretchMode == smBoth))
    return r;
  TbsSkinGeometry g = geometry_;
  g.StretchTo(Width(), Height());
  return g.StretchedClientRect;
}

void TbsSkinPanel::AdjustClientRect(QRect& rect) const
{
  const_cast<TbsSkinPanel*>(this)->LoadSkinDefinition();
  rect = PanelClientRect();
}

void TbsSkinPanel::Paint()
{
  if (Width() <= 0 || Height() <= 0) return;
  LoadSkinDefinition();
  const TbsDataSkinPanelControl* def = PanelDefinition();
  if (def && def->BGPictureIndex != -1) {
    const TbsSkinPicture* bg = SkinData()->SkinPicture(def->BGPictureIndex);
    Canvas()->Brush()->SetColor(clBtnFace);
    Canvas()->FillRect(ClientRect());
    if (bg && !bg->Empty()) TileImage(Canvas(), ClientRect(), bg->Image);
    return;
  }
  TbsSkinCustomControl::Paint();
}

void TbsSkinPanel::DrawSkinLook(TBitmap& bitmap)
{
  const TbsDataSkinPanelControl* def = PanelDefinition();
  if (borderStyle_ == int(TbsSkinBorderStyle::bvNone) && geometry_.StretchMode == smBoth && !captionMode_) {
    if (geometry_.SkinPicture) {
      const QRect part = geometry_.ClientRect.translated(geometry_.SkinRect.topLeft());
      TileImage(bitmap.Canvas(), QRect(0, 0, bitmap.Width(), bitmap.Height()),
                skin_pixels::ExtractArea(*geometry_.SkinPicture, part).Image());
    }
    return;
  }
  DrawStretchedPicture(bitmap, geometry_.SkinPicture, geometry_.SkinRect);
  if (def && !Caption().isEmpty() && !mappedCaptionRect_.isEmpty()) DrawCaptionStrip(bitmap.Canvas(), mappedCaptionRect_);
}

void TbsSkinPanel::DrawCaptionStrip(TCanvas* c, QRect strip)
{
  const TbsDataSkinPanelControl* def = PanelDefinition();
  if (!def) return;
  if (rollUpMode_) strip.setRight(strip.right() - 12);
  if (checkedMode_ && geometry_.SkinPicture) {
    const QRect image = checked_ ? def->CheckImageRect : def->UnCheckImageRect;
    if (!image.isEmpty()) {
      TBitmap mark;
      skin_pixels::ExtractArea(*geometry_.SkinPicture, image).AssignTo(mark);
      mark.SetTransparent(true);
      c->Draw(strip.left(), strip.top() + (strip.height() - image.height()) / 2, &mark);
      strip.setLeft(strip.left() + image.width() + 2);
    }
  }
  if (UseSkinFont()) skin_fonts::ApplyDefinitionFont(c->Font(), def->FontName, def->FontHeight, def->FontStyle);
  else c->Font()->Assign(DefaultFont());
  c->Font()->SetCharset(skin_fonts::SkinCharset(SkinData(), DefaultFont()->Charset()));
  c->Font()->SetColor(def->FontColor);
  const int n = std::max(1, numGlyphs_);
  const int gw = glyph_->Empty() ? 0 : glyph_->Width() / n;
  const int textWidth = c->TextWidth(Caption());
  const int captionWidth = textWidth + (glyph_->Empty() ? 0 : gw + spacing_);
  int x = strip.left();
  if (def->Alignment == TbsAlignment::taRightJustify) x = strip.left() + strip.width() - captionWidth;
  else if (def->Alignment == TbsAlignment::taCenter) x = strip.left() + (strip.width() - captionWidth) / 2;
  if (!glyph_->Empty()) {
    DrawGlyphFrame(c, x, strip.top() + (strip.height() - glyph_->Height()) / 2, !Enabled() && n == 2 ? 2 : 1, n,
                   *glyph_);
    x += gw + spacing_;
  }
  c->Brush()->SetStyle(TBrush::bsClear);
  QRect textRect(x, strip.top(), strip.left() + strip.width() - x, strip.height());
  QRect clip = textRect.intersected(strip);
  c->Painter().save();
  c->Painter().setClipRect(clip, Qt::IntersectClip);
  c->DrawText(Caption(), textRect, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  c->Painter().restore();
  if (rollUpMode_)
    DrawGlyph(c, QRect(strip.left() + strip.width(), strip.top(), 10, strip.height()),
              rollUpState_ ? TbsGlyph::ArrowDown : TbsGlyph::ArrowUp, def->FontColor);
}

void TbsSkinPanel::DrawDefaultLook(TBitmap& bitmap)
{
  TCanvas* c = bitmap.Canvas();
  const QRect all(0, 0, bitmap.Width(), bitmap.Height());
  c->Brush()->SetColor(clBtnFace);
  c->FillRect(all);
  DrawSkinBorder(c, all, borderStyle_);
  if (captionMode_) DrawDefaultCaption(c);
}

void TbsSkinPanel::DrawDefaultCaption(TCanvas* c)
{
  const int w = ClientWidth();
  QRect strip;
  if (borderStyle_ != int(TbsSkinBorderStyle::bvNone)) {
    strip = ::SkinRect(1, 1, w - 1, defaultCaptionHeight_);
    DrawTwoColorFrame(c, strip, clBtnShadow, clBtnHighlight);
    DrawTwoColorFrame(c, strip.adjusted(1, 1, -1, -1), clBtnHighlight, clBtnShadow);
  } else {
    strip = ::SkinRect(0, 0, w, defaultCaptionHeight_);
    DrawTwoColorFrame(c, strip, clBtnShadow, clBtnShadow);
    DrawTwoColorFrame(c, strip.adjusted(1, 1, -1, -1), clBtnHighlight, clBtnFace);
  }
  QRect text = strip.adjusted(2, 0, 0, 0);
  if (rollUpMode_) {
    text.setRight(text.right() - 10);
    DrawGlyph(c, QRect(strip.right() - 10, strip.top(), 10, strip.height()),
              rollUpState_ ? TbsGlyph::ArrowDown : TbsGlyph::ArrowUp, clBtnText);
  }
  if (checkedMode_) {
    const QRect box(strip.left() + 5, strip.top() + (strip.height() - 14) / 2, 14, 14);
    c->Brush()->SetColor(clWindow);
    c->FillRect(box);
    DrawTwoColorFrame(c, box, clBtnShadow, clBtnHighlight);
    if (checked_) DrawGlyph(c, box, TbsGlyph::Check, clBtnText);
    text.setLeft(text.left() + 20);
  }
  if (!glyph_->Empty()) {
    const int n = std::max(1, numGlyphs_);
    DrawGlyphFrame(c, text.left(), strip.top() + (strip.height() - glyph_->Height()) / 2,
                   !Enabled() && n == 2 ? 2 : 1, n, *glyph_);
    text.setLeft(text.left() + glyph_->Width() / n + spacing_);
  }
  c->Font()->Assign(DefaultFont());
  c->Brush()->SetStyle(TBrush::bsClear);
  c->DrawText(Caption(), text, unsigned(AlignFlags(defaultAlignment_)) | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
}

void TbsSkinPanel::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y)
{
  if (Button == mbLeft && captionMode_ && (rollUpMode_ || checkedMode_)) {
    const QRect area = skinControlIndex_ != -1 ? mappedCaptionRect_ : ::SkinRect(1, 1, Width() - 1, defaultCaptionHeight_);
    if (area.contains(X, Y)) {
      if (checkedMode_) SetChecked(!checked_);
      if (rollUpMode_) SetRollUpState(!rollUpState_);
    }
  }
  TbsSkinCustomControl::MouseUp(Button, Shift, X, Y);
}

void TbsSkinPanel::RollUp()
{
  if (realHeight_ != -1) return;
  LoadSkinDefinition();
  realHeight_ = Height();
  hiddenChildren_.clear();
  for (int i = 0; i < ControlCount(); ++i)
    if (Controls(i)->Visible()) hiddenChildren_.emplace_back(Controls(i));
  for (const QPointer<TControl>& c : hiddenChildren_) c->Hide();
  geometry_.StretchTo(Width(), Height());
  const int h = skinControlIndex_ == -1 ? defaultCaptionHeight_ + 1
                                        : Height() - geometry_.StretchedClientRect.height();
  SetHeight(std::max(0, h));
}

void TbsSkinPanel::RollDown()
{
  if (realHeight_ == -1) return;
  const int h = realHeight_;
  realHeight_ = -1;
  SetHeight(h);
  std::vector<QPointer<TControl>> shown;
  shown.swap(hiddenChildren_);
  for (const QPointer<TControl>& c : shown)
    if (c) c->Show();
}

void TbsSkinPanel::TextChanged()
{
  if (captionMode_ || skinControlIndex_ != -1) Invalidate();
}

void TbsSkinPanel::EnabledChanged()
{
  TbsSkinCustomControl::EnabledChanged();
  Invalidate();
}

// ---------------------------------------------------------------- TbsSkinToolBar

TbsSkinToolBar::TbsSkinToolBar(TComponent* AOwner) : TbsSkinPanel(AOwner)
{
  SetSkinDataName(QStringLiteral("toolpanel"));
  SetDefaultHeight(25);
  SetBorderStyle(int(TbsSkinBorderStyle::bvNone));
}

TbsSkinToolBar::~TbsSkinToolBar() { scrollTimer_.reset(); }

void TbsSkinToolBar::ForEachSpeedButton(const std::function<void(TbsSkinSpeedButton*)>& f) const
{
  for (int i = 0; i < ControlCount(); ++i)
    if (auto* b = qobject_cast<TbsSkinSpeedButton*>(Controls(i))) f(b);
}

void TbsSkinToolBar::SetSkinData(TbsSkinData* value)
{
  TbsSkinPanel::SetSkinData(value);
  ForEachSpeedButton([value](TbsSkinSpeedButton* b) { b->SetSkinData(value); });
}

void TbsSkinToolBar::SetImages(TImageList* v)
{
  ReplaceReference(images_, v);
  ForEachSpeedButton([](TbsSkinSpeedButton* b) { b->Invalidate(); });
}

void TbsSkinToolBar::SetHotImages(TImageList* v)
{
  ReplaceReference(hotImages_, v);
}

void TbsSkinToolBar::SetDisabledImages(TImageList* v)
{
  ReplaceReference(disabledImages_, v);
}

void TbsSkinToolBar::Notification(TComponent* AComponent, TOperation Operation)
{
  TbsSkinPanel::Notification(AComponent, Operation);
  if (Operation != TOperation::opRemove) return;
  if (AComponent == images_) images_ = nullptr;
  if (AComponent == hotImages_) hotImages_ = nullptr;
  if (AComponent == disabledImages_) disabledImages_ = nullptr;
}

void TbsSkinToolBar::SetFlat(bool v)
{
  flat_ = v;
  ForEachSpeedButton([v](TbsSkinSpeedButton* b) { b->SetFlat(v); });
}

void TbsSkinToolBar::SetShowCaptions(bool v)
{
  if (v == showCaptions_) return;
  showCaptions_ = v;
  if (autoShowHideCaptions_) ForEachSpeedButton([v](TbsSkinSpeedButton* b) { b->SetShowCaption(v); });
  if (widthWithCaptions_ != 0 && widthWithoutCaptions_ != 0) SetWidth(v ? widthWithCaptions_ : widthWithoutCaptions_);
}

void TbsSkinToolBar::SetCanScroll(bool v)
{
  if (v == canScroll_) return;
  canScroll_ = v;
  UpdateScrolling();
}

void TbsSkinToolBar::SetScrollOffset(int v)
{
  if (v >= 0) scrollOffset_ = v;
}

void TbsSkinToolBar::SetScrollTimerInterval(int v)
{
  if (v > 0) scrollTimerInterval_ = v;
}

void TbsSkinToolBar::LoadSkinDefinition()
{
  TbsSkinPanel::LoadSkinDefinition();
  resizeButton_ = nullptr;
  if (const TbsSkinData* data = SkinData(); data && !data->IsEmptySkin())
    resizeButton_ = dynamic_cast<const TbsDataSkinButtonControl*>(
        TbsSkinGeometry::Definition(data, data->FindSkinControl(QStringLiteral("resizebutton"))));
}

int TbsSkinToolBar::ContentExtent() const
{
  int extent = 0;
  for (int i = 0; i < ControlCount(); ++i) {
    const TControl* c = Controls(i);
    if (c->Visible()) extent = std::max(extent, c->Left() + c->Width());
  }
  return extent + (arrowsShown_ ? scrollPos_ : 0);
}

void TbsSkinToolBar::ShowArrows(bool show)
{
  if (show == arrowsShown_) return;
  arrowsShown_ = show;
  SetNonClientMargins(show ? QMargins(kArrowWidth, 0, kArrowWidth, 0) : QMargins());
}

void TbsSkinToolBar::UpdateScrolling()
{
  if (updatingScroll_ || IsLoading()) return;
  updatingScroll_ = true;
  const int width = Width();
  if (!canScroll_) {
    scrollPos_ = 0;
    StopScrolling();
    ShowArrows(false);
  } else {
    const int content = ContentExtent();
    const int client = width - (arrowsShown_ ? 2 * kArrowWidth : 0);
    if (content > width) {
      // A bar that grew gives back the growth from the scroll position.
      const int growth = client - lastClientWidth_;
      if (arrowsShown_ && growth > 0 && scrollPos_ > 0) scrollPos_ -= std::min(growth, scrollPos_);
      ShowArrows(true);
      const int maxPos = std::max(0, content - ClientWidth() + 1);
      scrollPos_ = std::clamp(scrollPos_, 0, maxPos);
    } else {
      scrollPos_ = 0;
      StopScrolling();
      hotArrow_ = pressedArrow_ = 0;
      ShowArrows(false);
    }
    Realign();
  }
  lastClientWidth_ = ClientWidth();
  updatingScroll_ = false;
}

void TbsSkinToolBar::SetBounds(int ALeft, int ATop, int AWidth, int AHeight)
{
  TbsSkinPanel::SetBounds(ALeft, ATop, AWidth, AHeight);
  UpdateScrolling();
}

void TbsSkinToolBar::Loaded()
{
  TbsSkinPanel::Loaded();
  UpdateScrolling();
}

void TbsSkinToolBar::InsertControl(TControl* c)
{
  TbsSkinPanel::InsertControl(c);
  if (auto* b = qobject_cast<TbsSkinSpeedButton*>(c); b && flat_) b->SetFlat(true);
}

void TbsSkinToolBar::AdjustClientRect(QRect& rect) const
{
  TbsSkinPanel::AdjustClientRect(rect);
  if (!arrowsShown_) return;
  // The children lie on a strip as wide as they need, shifted by the scroll position.
  int natural = 0;
  for (int i = 0; i < ControlCount(); ++i)
    if (Controls(i)->Visible() && Controls(i)->Align() == alNone)
      natural = std::max(natural, Controls(i)->Left() + Controls(i)->Width() + scrollPos_);
  int aligned = 0;
  for (int i = 0; i < ControlCount(); ++i)
    if (Controls(i)->Visible() && (Controls(i)->Align() == alLeft || Controls(i)->Align() == alRight))
      aligned += Controls(i)->Width();
  const int width = std::max({natural, aligned, ClientWidth()});
  rect = QRect(-scrollPos_, rect.top(), width, rect.height());
}

bool TbsSkinToolBar::ScrollStep(TScrollDirection direction)
{
  const int step = scrollOffset_ > 0 ? scrollOffset_ : ClientWidth();
  const int maxPos = std::max(0, ContentExtent() - ClientWidth() + 1);
  int next = scrollPos_;
  if (direction == sdLeft) next = std::max(0, scrollPos_ - step);
  else if (direction == sdRight) next = std::min(scrollPos_ + step, maxPos);
  const int diff = next - scrollPos_;
  if (diff == 0) {
    StopScrolling();
    return false;
  }
  scrollPos_ = next;
  for (int i = 0; i < ControlCount(); ++i)
    if (Controls(i)->Align() == alNone) Controls(i)->SetLeft(Controls(i)->Left() - diff);
  Realign();
  Invalidate();
  return true;
}

void TbsSkinToolBar::StartScrolling(TScrollDirection direction)
{
  scrolling_ = direction;
  scrollTimer_ = std::make_unique<QTimer>();
  scrollTimer_->setInterval(scrollTimerInterval_);
  QObject::connect(scrollTimer_.get(), &QTimer::timeout, this, [this] { ScrollTimerTick(); });
  scrollTimer_->start();
}

void TbsSkinToolBar::StopScrolling()
{
  if (scrollTimer_) scrollTimer_->stop();
}

void TbsSkinToolBar::ScrollTimerTick()
{
  if (scrolling_ != sdNone) ScrollStep(scrolling_);
}

int TbsSkinToolBar::HitArrow(QPoint p) const
{
  if (!arrowsShown_) return 0;
  if (p.x() < 0) return HTSCROLLLEFT;
  if (p.x() >= ClientWidth()) return HTSCROLLRIGHT;
  return 0;
}

void TbsSkinToolBar::WndProc(TMessage& m)
{
  switch (m.Msg) {
  case WM_NCHITTEST: {
    const int hit = HitArrow(ScreenToClient(MouseLParamPoint(m.LParam)));
    if (hit) {
      m.Result = hit;
      return;
    }
    break;
  }
  case WM_NCMOUSEMOVE:
    if (int(m.WParam) != hotArrow_) {
      hotArrow_ = int(m.WParam) == HTSCROLLLEFT || int(m.WParam) == HTSCROLLRIGHT ? int(m.WParam) : 0;
      if (hotScroll_ && hotArrow_) StartScrolling(hotArrow_ == HTSCROLLLEFT ? sdLeft : sdRight);
      Invalidate();
    }
    return;
  case WM_NCLBUTTONDOWN:
  case WM_NCLBUTTONDBLCLK:
    if (int(m.WParam) == HTSCROLLLEFT || int(m.WParam) == HTSCROLLRIGHT) {
      pressedArrow_ = hotArrow_ = int(m.WParam);
      StartScrolling(pressedArrow_ == HTSCROLLLEFT ? sdLeft : sdRight);
      Invalidate();
    }
    return;
  case WM_NCLBUTTONUP:
    if (pressedArrow_) {
      StopScrolling();
      const TScrollDirection d = pressedArrow_ == HTSCROLLLEFT ? sdLeft : sdRight;
      pressedArrow_ = 0;
      ScrollStep(d);
      Invalidate();
    }
    return;
  case WM_MOUSEMOVE:
  case CM_MOUSELEAVE:
    if (hotArrow_ || pressedArrow_) {
      hotArrow_ = pressedArrow_ = 0;
      StopScrolling();
      Invalidate();
    }
    break;
  case WM_NCPAINT:
    if (TCanvas* canvas = PaintCanvasOf(m); canvas && arrowsShown_) DrawArrows(canvas);
    return;
  default: break;
  }
  TbsSkinPanel::WndProc(m);
}

void TbsSkinToolBar::DrawArrows(TCanvas* canvas)
{
  LoadSkinDefinition();
  const int h = Height();
  for (int hit : {HTSCROLLLEFT, HTSCROLLRIGHT}) {
    const QRect r = hit == HTSCROLLLEFT ? QRect(0, 0, kArrowWidth, h) : QRect(Width() - kArrowWidth, 0, kArrowWidth, h);
    const bool hot = hotArrow_ == hit;
    const bool down = (pressedArrow_ == hit && hot) || (hot && hotScroll_);
    const TbsGlyph glyph = hit == HTSCROLLLEFT ? TbsGlyph::ArrowLeft : TbsGlyph::ArrowRight;
    const TbsSkinPicture* picture = resizeButton_ ? SkinData()->SkinPicture(resizeButton_->PictureIndex) : nullptr;
    if (resizeButton_ && picture && !picture->Empty()) {
      const auto& d = *resizeButton_;
      QRect source = d.SkinRect;
      TColor color = d.FontColor;
      if (down && !d.DownSkinRect.isEmpty()) {
        source = d.DownSkinRect;
        color = d.DownFontColor;
      } else if (hot && !d.ActiveSkinRect.isEmpty()) {
        source = d.ActiveSkinRect;
        color = d.ActiveFontColor;
      }
      const TbsFramePoints from{d.LTPoint, d.RTPoint, d.LBPoint, d.RBPoint, d.ClientRect};
      const TbsFramePoints to = MoveFramePoints(from, r.width() - d.SkinRect.width(), r.height() - d.SkinRect.height());
      TBitmap image;
      BuildSkinImage(from, to, r.width(), r.height(), source, picture->Image, true, image);
      canvas->Draw(r.left(), r.top(), &image);
      DrawGlyph(canvas, r, glyph, color);
    } else {
      TColor frame = clBtnShadow, fill = clBtnFace;
      if (down) frame = clNavy, fill = RGB(133, 147, 181);
      else if (hot) frame = clNavy, fill = RGB(182, 189, 210);
      canvas->Brush()->SetColor(fill);
      canvas->FillRect(r);
      canvas->Brush()->SetColor(frame);
      canvas->FrameRect(r);
      DrawGlyph(canvas, r, glyph, clBtnText);
    }
  }
}

void TbsSkinToolBar::DrawSkinLook(TBitmap& bitmap)
{
  // Scrolled content runs under the whole strip: only the middle is repeated.
  if (arrowsShown_ && geometry_.StretchMode == smHorizontal && geometry_.SkinPicture) {
    BuildHorzTiled(geometry_.LTPoint.x(), geometry_.SkinWidth() - geometry_.RTPoint.x(), geometry_.SkinRect,
                   *geometry_.SkinPicture, bitmap.Width(), bitmap);
    return;
  }
  TbsSkinPanel::DrawSkinLook(bitmap);
}

// ---------------------------------------------------------------- TbsSkinStatusBar

TbsSkinStatusBar::TbsSkinStatusBar(TComponent* AOwner) : TbsSkinPanel(AOwner)
{
  SetSkinDataName(QStringLiteral("statusbar"));
  SetAlign(alBottom);
  SetDefaultHeight(21);
  SetBorderStyle(int(TbsSkinBorderStyle::bvNone));
}

void TbsSkinStatusBar::SetSkinData(TbsSkinData* value)
{
  TbsSkinPanel::SetSkinData(value);
  for (int i = 0; i < ControlCount(); ++i)
    if (auto* c = qobject_cast<TbsSkinControl*>(Controls(i))) c->SetSkinData(value);
}
