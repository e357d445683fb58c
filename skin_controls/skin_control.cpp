#include "skin_controls/skin_control.h"

#include "skin/skin_draw_pixels.h"
#include "skin/skin_regions.h"
#include "skin/skin_utils.h"

#include <algorithm>

// ---------------------------------------------------------------- geometry

int TbsSkinGeometry::FindDefinition(const TbsSkinData* data, const QString& name)
{
  if (!data || data->IsEmptySkin()) return -1;
  return data->FindSkinControl(name);
}

const TbsDataSkinControl* TbsSkinGeometry::Definition(const TbsSkinData* data, int index)
{
  if (!data || index < 0 || index >= int(data->SkinControls().size())) return nullptr;
  return data->SkinControls()[size_t(index)].get();
}

void TbsSkinGeometry::Clear()
{
  SkinControlIndex = -1;
  SkinPicture = SkinMask = nullptr;
  StretchMode = smNone;
}

namespace {
const QImage* PictureAt(const TbsSkinData* data, int index)
{
  const TbsSkinPicture* p = data->SkinPicture(index);
  return p && !p->Empty() ? &p->Image : nullptr;
}
} // namespace

void TbsSkinGeometry::Load(const TbsSkinData* data, int index)
{
  const TbsDataSkinControl* def = Definition(data, index);
  if (!def) {
    Clear();
    return;
  }
  SkinControlIndex = index;
  const auto* custom = dynamic_cast<const TbsDataSkinCustomControl*>(def);
  if (!custom) {
    StretchMode = smFixed;
    SkinPicture = SkinMask = nullptr;
    return;
  }
  LTPoint = custom->LTPoint;
  RTPoint = custom->RTPoint;
  LBPoint = custom->LBPoint;
  RBPoint = custom->RBPoint;
  ClientRect = custom->ClientRect;
  SkinPicture = PictureAt(data, custom->PictureIndex);
  SkinMask = PictureAt(data, custom->MaskPictureIndex);
  // Only what the picture holds can be drawn: a rectangle beyond it (or one
  // of a missing picture) must not make a fixed-size control huge.
  SkinRect = SkinPicture ? custom->SkinRect.intersected(SkinPicture->rect()) : QRect();
  if (SkinRect.isEmpty()) StretchMode = smNone;
  else if (RBPoint.x() != 0 && RBPoint.y() != 0) StretchMode = smBoth;
  else if (RTPoint != QPoint()) StretchMode = smHorizontal;
  else if (LBPoint != QPoint()) StretchMode = smVertical;
  else StretchMode = smFixed;
}

void TbsSkinGeometry::CalcSkinSize(int& width, int& height)
{
  if (SkinControlIndex == -1 || StretchMode == smNone) return;
  const int W = SkinWidth(), H = SkinHeight();
  if (StretchMode == smFixed) {
    width = W;
    height = H;
    StretchedClientRect = ClientRect;
    return;
  }
  const int dx = width - W, dy = height - H;
  switch (StretchMode) {
  case smBoth:
    StretchedRightTop = RTPoint + QPoint(dx, 0);
    StretchedLeftBottom = LBPoint + QPoint(0, dy);
    StretchedRightBottom = RBPoint + QPoint(dx, dy);
    StretchedClientRect = ClientRect.adjusted(0, 0, dx, dy);
    break;
  case smHorizontal:
    height = H;
    StretchedRightTop = RTPoint + QPoint(dx, 0);
    StretchedClientRect = ClientRect.adjusted(0, 0, dx, 0);
    break;
  case smVertical:
    width = W;
    StretchedLeftBottom = LBPoint + QPoint(0, dy);
    StretchedClientRect = ClientRect.adjusted(0, 0, 0, dy);
    break;
  default: break;
  }
}

void TbsSkinGeometry::StretchTo(int width, int height) { CalcSkinSize(width, height); }

namespace {
// Corner inside a zone, its edges included.
bool CornerIn(QPoint p, const QRect& z)
{
  return p.x() >= z.x() && p.x() <= z.x() + z.width() && p.y() >= z.y() && p.y() <= z.y() + z.height();
}
} // namespace

QRect TbsSkinGeometry::MapSkinRect(const QRect& r, int width, int height) const
{
  if (SkinControlIndex == -1) return r;
  const int W = SkinWidth(), H = SkinHeight();
  const int dx = width - W, dy = height - H;
  const int right = r.x() + r.width(), bottom = r.y() + r.height();
  switch (StretchMode) {
  case smBoth: {
    const QRect lt = ::SkinRect(0, 0, LTPoint.x(), LTPoint.y());
    const QRect lb = ::SkinRect(0, LBPoint.y(), LBPoint.x(), H);
    const QRect rt = ::SkinRect(RTPoint.x(), 0, W, RTPoint.y());
    const QRect rb = ::SkinRect(RBPoint.x(), RBPoint.y(), W, H);
    if (RectInRect(r, lt)) return r;
    if (RectInRect(r, rt)) return r.translated(dx, 0);
    if (RectInRect(r, lb)) return r.translated(0, dy);
    if (RectInRect(r, rb)) return r.translated(dx, dy);
    const QPoint a = r.topLeft(), b(right, bottom);
    if (CornerIn(a, lt) && CornerIn(b, rb)) return r.adjusted(0, 0, dx, dy);
    if (CornerIn(a, lt) && CornerIn(b, rt)) return r.adjusted(0, 0, dx, 0);
    if (CornerIn(a, lb) && CornerIn(b, rb)) return r.adjusted(0, 0, dx, 0).translated(0, dy);
    if (CornerIn(a, lt) && CornerIn(b, lb)) return r.adjusted(0, 0, 0, dy);
    if (CornerIn(a, rt) && CornerIn(b, rb)) return r.translated(dx, 0).adjusted(0, 0, 0, dy);
    return r;
  }
  case smHorizontal:
    if (r.x() <= LTPoint.x() && right >= RTPoint.x()) return r.adjusted(0, 0, dx, 0);
    if (r.x() >= RTPoint.x() && right > RTPoint.x()) return r.translated(dx, 0);
    return r;
  case smVertical:
    if (r.y() <= LTPoint.y() && bottom >= LBPoint.y()) return r.adjusted(0, 0, 0, dy);
    if (r.y() >= LBPoint.y() && bottom > LBPoint.y()) return r.translated(0, dy);
    return r;
  default: return r;
  }
}

void TbsSkinGeometry::DrawStretchedPicture(TBitmap& bitmap, const QImage* picture, const QRect& source, int width,
                                           int height) const
{
  if (!picture || SkinControlIndex == -1 || source.isEmpty()) return;
  const int W = SkinWidth(), H = SkinHeight();
  switch (StretchMode) {
  case smFixed: skin_pixels::ExtractArea(*picture, source).AssignTo(bitmap); break;
  case smBoth: {
    TbsSkinGeometry g = *this;
    g.StretchTo(width, height);
    BuildSkinImage(SourcePoints(), g.StretchedPoints(), width, height, source, *picture, true, bitmap);
    break;
  }
  case smHorizontal: BuildHorzStrip3(LTPoint.x(), W - RTPoint.x(), source, *picture, width, bitmap); break;
  case smVertical: BuildVertStrip3(LTPoint.y(), H - LBPoint.y(), source, *picture, height, bitmap); break;
  case smNone: break;
  }
}

std::optional<QRegion> TbsSkinGeometry::MaskRegion(int width, int height) const
{
  if (!SkinMask || SkinControlIndex == -1 || StretchMode == smNone) return std::nullopt;
  if (StretchMode == smFixed) return RegionFromMask(SkinMask->copy(SkinRect), 0, 0);
  TbsSkinGeometry g = *this;
  g.StretchTo(width, height);
  TbsFramePoints target = SourcePoints();
  target.ClientRect = g.StretchedClientRect;
  if (StretchMode == smBoth) target = g.StretchedPoints();
  else if (StretchMode == smHorizontal) target.RT += QPoint(width - SkinWidth(), 0);
  else target.LB += QPoint(0, height - SkinHeight());
  return RegionFromMaskBands(SourcePoints(), target, width, height, SkinRect, *SkinMask);
}

// ---------------------------------------------------------------- helpers

namespace skin_fonts {
void ApplyDefinitionFont(TFont* font, const QString& name, int height, int style)
{
  font->SetName(name);
  font->SetHeight(height);
  font->SetStyle(TFont::TFontStyles(style & 0xF));
}

int SkinCharset(const TbsSkinData* data, int fallback)
{
  return data && data->ResourceStrData() ? data->ResourceStrData()->CharSet() : fallback;
}
} // namespace skin_fonts

void FillBitmap(TBitmap& bitmap, const QRect& r, TColor color)
{
  if (bitmap.Empty() || r.isEmpty()) return;
  TCanvas* c = bitmap.Canvas();
  c->Brush()->SetColor(color);
  c->FillRect(r);
}

namespace {
// The off-screen painting both families share.
template <typename DrawDefault, typename DrawSkin>
void PaintOffscreen(TCanvas* canvas, int w, int h, bool skinned, DrawDefault drawDefault, DrawSkin drawSkin)
{
  if (w <= 0 || h <= 0) return;
  TBitmap buffer;
  buffer.SetSize(w, h);
  FillBitmap(buffer, QRect(0, 0, w, h), clBtnFace);
  if (skinned) drawSkin(buffer);
  else drawDefault(buffer);
  canvas->Draw(0, 0, &buffer);
}
} // namespace

// ---------------------------------------------------------------- TbsDefaultLook

TbsDefaultLook::TbsDefaultLook(TControl* owner, std::function<bool()> skinned, std::function<void()> fontChanged)
    : owner_(owner), skinned_(std::move(skinned)), font_(new TFont(owner))
{
  font_->SetName(QStringLiteral("Arial"));
  font_->SetHeight(14);
  font_->SetColor(clBtnText);
  font_->OnChange = [this, fontChanged = std::move(fontChanged)](TPersistent*) {
    fontChanged();
    if (!skinned_()) owner_->Invalidate();
  };
}

void TbsDefaultLook::SetWidth(int v)
{
  width_ = v;
  if (!skinned_() && v > 0 && !owner_->IsLoading()) owner_->SetWidth(v);
}

void TbsDefaultLook::SetHeight(int v)
{
  height_ = v;
  if (!skinned_() && v > 0 && !owner_->IsLoading()) owner_->SetHeight(v);
}

void TbsDefaultLook::SetFont(TFont* v)
{
  if (v && v != font_) font_->Assign(v);
}

bool TbsDefaultLook::SetUseSkinFont(bool v)
{
  if (v == useSkinFont_) return false;
  useSkinFont_ = v;
  return true;
}

QSize TbsDefaultLook::Size() const
{
  return {width_ > 0 ? width_ : owner_->Width(), height_ > 0 ? height_ : owner_->Height()};
}

// ---------------------------------------------------------------- TbsSkinnedControl

template <class Base>
TbsSkinnedControl<Base>::TbsSkinnedControl(TComponent* AOwner) : Base(AOwner)
{
  this->SetControlStyle(this->ControlStyle() | TControl::csOpaque);
}

template <class Base>
void TbsSkinnedControl<Base>::SetSkinData(TbsSkinData* value)
{
  binding_.SetData(value);
  if (SkinLoaded() && !this->IsDesigning()) ApplySkinData();
}

template <class Base>
void TbsSkinnedControl<Base>::ApplySkinData()
{
  LoadSkinDefinition();
  this->Invalidate();
}

template <class Base>
void TbsSkinnedControl<Base>::WndProc(TMessage& m)
{
  switch (binding_.NoticeIn(m)) {
  case TbsSkinBinding::Notice::Changing: SkinDataChanging(); return;
  case TbsSkinBinding::Notice::Change:
    if (SkinLoaded()) ApplySkinData();
    return;
  case TbsSkinBinding::Notice::None: Base::WndProc(m); return;
  }
}

template <class Base>
void TbsSkinnedControl<Base>::Loaded()
{
  Base::Loaded();
  // The skin may have loaded after the reference was set.
  if (SkinLoaded() && !this->IsDesigning()) ApplySkinData();
}

template <class Base>
void TbsSkinnedControl<Base>::Notification(TComponent* AComponent, TOperation Operation)
{
  Base::Notification(AComponent, Operation);
  if (binding_.Released(AComponent, Operation)) {
    SkinDataChanging();
    if (!this->IsDestroying()) this->Invalidate();
  }
}

template <class Base>
void TbsSkinnedControl<Base>::MouseEnter()
{
  if (!this->IsDesigning()) Base::MouseEnter();
}

template <class Base>
void TbsSkinnedControl<Base>::MouseLeave()
{
  if (!this->IsDesigning()) Base::MouseLeave();
}

template <class Base>
void TbsSkinnedControl<Base>::PaintBuffered(TCanvas* canvas)
{
  if (this->Width() <= 0 || this->Height() <= 0) return;
  LoadSkinDefinition();
  PaintOffscreen(canvas, this->ClientWidth(), this->ClientHeight(), skinControlIndex_ != -1,
                 [this](TBitmap& b) { DrawDefaultLook(b); }, [this](TBitmap& b) { DrawSkinLook(b); });
}

template class TbsSkinnedControl<TCustomControl>;
template class TbsSkinnedControl<TGraphicControl>;

// ---------------------------------------------------------------- TbsSkinnedCustomControl

template <class Base>
void TbsSkinnedCustomControl<Base>::LoadSkinDefinition()
{
  Base::LoadSkinDefinition();
  geometry_.Load(this->SkinData(), this->skinControlIndex_);
}

template <class Base>
void TbsSkinnedCustomControl<Base>::SkinDataChanging()
{
  Base::SkinDataChanging();
  geometry_.Clear();
}

template <class Base>
void TbsSkinnedCustomControl<Base>::SetBounds(int ALeft, int ATop, int AWidth, int AHeight)
{
  LoadSkinDefinition();
  const bool fit = this->skinControlIndex_ != -1 && (AWidth != this->Width() || AHeight != this->Height());
  if (fit) CalcSkinSize(AWidth, AHeight);
  Base::SetBounds(ALeft, ATop, AWidth, AHeight);
  if (fit) {
    UpdateSkinRegion();
    this->Invalidate();
  }
}

template <class Base>
void TbsSkinnedCustomControl<Base>::ApplySkinData()
{
  LoadSkinDefinition();
  bool resized = false;
  const int width = this->Width(), height = this->Height();
  if (this->skinControlIndex_ == -1) {
    if (const QSize size = defaultLook_.Size(); size != QSize(width, height))
      SetBounds(this->Left(), this->Top(), size.width(), size.height());
  } else {
    int w = width, h = height;
    CalcSkinSize(w, h);
    if (w != width || h != height) {
      SetBounds(this->Left(), this->Top(), w, h);
      resized = true;
    }
  }
  // A fitting SetBounds has already shaped and repainted the control.
  if (!resized) {
    UpdateSkinRegion();
    this->Invalidate();
  }
}

template <class Base>
void TbsSkinnedCustomControl<Base>::DrawDefaultLook(TBitmap& bitmap)
{
  FillBitmap(bitmap, this->ClientRect(), clBtnFace);
}

template <class Base>
void TbsSkinnedCustomControl<Base>::Paint()
{
  // The stretched points must match the size being painted, whatever set it.
  if (this->Width() > 0 && this->Height() > 0) {
    LoadSkinDefinition();
    geometry_.StretchTo(this->Width(), this->Height());
  }
  this->PaintBuffered(this->Canvas());
}

template class TbsSkinnedCustomControl<TbsSkinControl>;
template class TbsSkinnedCustomControl<TbsGraphicSkinControl>;

void TbsSkinCustomControl::UpdateSkinRegion()
{
  const std::optional<QRegion> region =
      skinControlIndex_ != -1 ? geometry_.MaskRegion(Width(), Height()) : std::nullopt;
  if (region) {
    SetWindowRegion(*region);
    regionSet_ = true;
  } else if (regionSet_) {
    SetWindowRegion(QRegion());
    regionSet_ = false;
  }
}
