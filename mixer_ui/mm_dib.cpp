#include "mixer_ui/mm_dib.h"

#include "toolkit/controls.h"

#include <mutex>

namespace {

// One drawing pass at a time in the whole process.
std::recursive_mutex& DrawLock()
{
  static std::recursive_mutex lock;
  return lock;
}

// The twenty static colours: ten at the start of the palette, ten at the end.
constexpr QRgb kStaticLow[10] = {qRgb(0, 0, 0),       qRgb(128, 0, 0),     qRgb(0, 128, 0),   qRgb(128, 128, 0),
                                 qRgb(0, 0, 128),     qRgb(128, 0, 128),   qRgb(0, 128, 128), qRgb(192, 192, 192),
                                 qRgb(192, 220, 192), qRgb(166, 202, 240)};
constexpr QRgb kStaticHigh[10] = {qRgb(255, 251, 240), qRgb(160, 160, 164), qRgb(128, 128, 128), qRgb(255, 0, 0),
                                  qRgb(0, 255, 0),     qRgb(255, 255, 0),   qRgb(0, 0, 255),     qRgb(255, 0, 255),
                                  qRgb(0, 255, 255),   qRgb(255, 255, 255)};

QRgb ToQRgb(TColor color)
{
  const TColor c = ColorToRGB(color);
  return qRgb(GetRValue(c), GetGValue(c), GetBValue(c));
}

TColor FromQRgb(QRgb c) { return RGB(qRed(c), qGreen(c), qBlue(c)); }

} // namespace

// ---------------------------------------------------------------- canvas

TMMDIBCanvas::TMMDIBCanvas(QObject* control) : control_(control), background_(new TBitmap(this))
{
  BuildPalette();
}

TMMDIBCanvas::~TMMDIBCanvas() = default;

void TMMDIBCanvas::MarkStale() { stale_ = true; }

void TMMDIBCanvas::SetBitsPerPixel(int value)
{
  if (value != 8 && value != 24) throw EMMDIBError(QStringLiteral("Bitlength not supported yet"));
  if (value == bitsPerPixel_) return;
  bitsPerPixel_ = value;
  MarkStale();
}

void TMMDIBCanvas::SetPaletteRealize(bool value)
{
  if (value == paletteRealize_) return;
  paletteRealize_ = value;
  MarkStale();
}

void TMMDIBCanvas::SetBackGroundBitmap(TBitmap* value)
{
  const bool had = !background_->Empty();
  if (value && !value->Empty())
    background_->Assign(value);
  else if (had)
    background_->SetImage(QImage());
  if (had || !background_->Empty()) MarkStale();
}

void TMMDIBCanvas::SetStretchBackGround(bool value)
{
  if (value == stretchBackground_) return;
  stretchBackground_ = value;
  if (!background_->Empty()) MarkStale();
}

void TMMDIBCanvas::SetSize(int width, int height)
{
  width = std::max(width, 1);
  height = std::max(height, 1);
  if (width == width_ && height == height_) return;
  width_ = width;
  height_ = height;
  clip_ = QRect(0, 0, width_, height_);
  MarkStale();
}

const QImage& TMMDIBCanvas::Handle()
{
  if (stale_) RebuildDIB();
  return image_;
}

void TMMDIBCanvas::BuildPalette()
{
  // Truecolour screens have no system palette to read: the standard set.
  palette_.fill(qRgb(0, 0, 0), 256);
  for (int i = 0; i < 10; ++i) {
    palette_[i] = kStaticLow[i];
    palette_[246 + i] = kStaticHigh[i];
  }
}

QImage TMMDIBCanvas::ToSurfaceFormat(const QImage& picture) const
{
  if (bitsPerPixel_ == 24) return picture.convertToFormat(QImage::Format_BGR888);
  return picture.convertToFormat(QImage::Format_Indexed8, palette_, Qt::ThresholdDither | Qt::AvoidDither);
}

void TMMDIBCanvas::RebuildDIB()
{
  if (drawing_) {
    const QString owner = control_ ? QString::fromLatin1(control_->metaObject()->className()) : QStringLiteral("TMMDIBCanvas");
    throw EMMDIBError(owner + QStringLiteral(": Attempt to create new DIB while initialized for drawing"));
  }
  image_ = QImage();
  backgroundImage_ = QImage();
  BuildPalette();
  const QImage::Format format = bitsPerPixel_ == 24 ? QImage::Format_BGR888 : QImage::Format_Indexed8;
  QImage surface(width_, height_, format);
  if (surface.isNull()) throw EMMDIBError(QStringLiteral("Unable to access DIB device context"));
  if (format == QImage::Format_Indexed8) surface.setColorTable(palette_);
  surface.fill(0);
  if (!background_->Empty()) {
    const QImage& picture = background_->Image();
    QImage canvasSized(width_, height_, QImage::Format_BGR888);
    if (canvasSized.isNull()) throw EMMDIBError(QStringLiteral("Unable to access DIB device context"));
    canvasSized.fill(Qt::black);
    QPainter p(&canvasSized);
    if (stretchBackground_) {
      p.drawImage(QRect(0, 0, width_, height_), picture);
    } else {
      for (int y = 0; y < height_; y += picture.height())
        for (int x = 0; x < width_; x += picture.width()) p.drawImage(x, y, picture);
    }
    p.end();
    backgroundImage_ = ToSurfaceFormat(canvasSized);
  }
  image_ = surface;
  stale_ = false;
}

void TMMDIBCanvas::BeginDraw()
{
  DrawLock().lock();
  try {
    if (stale_) RebuildDIB();
  } catch (...) {
    DrawLock().unlock();
    throw;
  }
  clip_ = clip_.intersected(QRect(0, 0, width_, height_));
  drawing_ = true;
}

void TMMDIBCanvas::EndDraw()
{
  if (!drawing_) return;
  drawing_ = false;
  struct Unlock {
    ~Unlock() { DrawLock().unlock(); }
  } unlock;
  if (OnDrawn) OnDrawn();
}

void TMMDIBCanvas::SetDrawColor(TColor color)
{
  drawRgb_ = ToQRgb(color);
  // The nearest entry; the first of equals wins.
  int best = 0, bestDistance = INT_MAX;
  for (int i = 0; i < palette_.size(); ++i) {
    const int dr = qRed(palette_[i]) - qRed(drawRgb_), dg = qGreen(palette_[i]) - qGreen(drawRgb_),
              db = qBlue(palette_[i]) - qBlue(drawRgb_);
    const int d = dr * dr + dg * dg + db * db;
    if (d < bestDistance) {
      bestDistance = d;
      best = i;
      if (d == 0) break;
    }
  }
  drawIndex_ = best;
}

void TMMDIBCanvas::FillSpan(const QRect& r, bool dotted)
{
  if (!drawing_ || image_.isNull()) return;
  const QRect area = r.normalized().intersected(clip_).intersected(image_.rect());
  if (area.isEmpty()) return;
  const int step = dotted ? 2 : 1;
  // Dots sit on the rectangle's own grid, whatever the clip cut off.
  const int x0 = dotted && ((area.left() - r.left()) & 1) ? area.left() + 1 : area.left();
  const int y0 = dotted && ((area.top() - r.top()) & 1) ? area.top() + 1 : area.top();
  const uchar b = uchar(qBlue(drawRgb_)), g = uchar(qGreen(drawRgb_)), red = uchar(qRed(drawRgb_));
  for (int y = y0; y <= area.bottom(); y += step) {
    uchar* row = image_.scanLine(y);
    if (bitsPerPixel_ == 8) {
      if (!dotted) {
        memset(row + area.left(), drawIndex_, size_t(area.width()));
      } else {
        for (int x = x0; x <= area.right(); x += 2) row[x] = uchar(drawIndex_);
      }
    } else {
      for (int x = x0; x <= area.right(); x += step) {
        uchar* px = row + 3 * x;
        px[0] = b;
        px[1] = g;
        px[2] = red;
      }
    }
  }
}

void TMMDIBCanvas::ClearAll() { FillSpan(QRect(0, 0, width_, height_), false); }

void TMMDIBCanvas::FillRect(const QRect& r) { FillSpan(r, false); }

void TMMDIBCanvas::FillRectDotted(const QRect& r) { FillSpan(r, true); }

void TMMDIBCanvas::CopyBackground()
{
  if (!drawing_ || backgroundImage_.isNull() || backgroundImage_.size() != image_.size()) return;
  for (int y = clip_.top(); y <= clip_.bottom(); ++y)
    memcpy(image_.scanLine(y), backgroundImage_.constScanLine(y), size_t(image_.bytesPerLine()));
}

void TMMDIBCanvas::CopyBackground(const TMMDIBCanvas* source)
{
  if (!drawing_ || !source || source->image_.isNull()) return;
  const QImage& from = source->image_.format() == image_.format() ? source->image_ : ToSurfaceFormat(source->image_);
  const int rows = std::min(from.height(), image_.height());
  const size_t bytes = size_t(std::min(from.bytesPerLine(), image_.bytesPerLine()));
  for (int y = 0; y < rows; ++y) memcpy(image_.scanLine(y), from.constScanLine(y), bytes);
}

TColor TMMDIBCanvas::PixelColor(int x, int y) const
{
  if (image_.isNull() || !image_.rect().contains(x, y)) return clBlack;
  return FromQRgb(image_.pixel(x, y));
}

void TMMDIBCanvas::CopyTo(QPainter& painter, const QRect& dest, int sx, int sy)
{
  if (dest.isEmpty() || !painter.isActive()) return;
  const QImage& surface = Handle();
  // A truecolour screen needs no palette realized: one plain copy.
  painter.drawImage(dest.topLeft(), surface, QRect(sx, sy, dest.width(), dest.height()));
}

// ---------------------------------------------------------------- graphic control

TMMDIBGraphicControl::TMMDIBGraphicControl(TComponent* AOwner)
    : TMMGraphicControl(AOwner), dib_(new TMMDIBCanvas(this)), picture_(new TBitmap(this))
{
  dib_->setParent(this);
  dib_->SetSize(Width(), Height());
}

void TMMDIBGraphicControl::SetBitsPerPixel(int value)
{
  dib_->SetBitsPerPixel(value);
  Invalidate();
}

void TMMDIBGraphicControl::SetBitmap(TBitmap* value)
{
  if (value)
    picture_->Assign(value);
  else
    picture_->SetImage(QImage());
  if (IsDesigning() && !IsLoading()) usePicture_ = !picture_->Empty();
  if (!IsLoading()) ApplyBackground();
}

void TMMDIBGraphicControl::SetBitmapBackGround(bool value)
{
  if (value == usePicture_) return;
  usePicture_ = value;
  if (!IsLoading()) ApplyBackground();
}

void TMMDIBGraphicControl::ApplyBackground()
{
  if (usePicture_ && !picture_->Empty()) {
    dib_->SetBackGroundBitmap(picture_);
    dib_->SetPaletteRealize(true);
  } else {
    dib_->SetBackGroundBitmap(nullptr);
  }
  Invalidate();
}

void TMMDIBGraphicControl::Loaded()
{
  TMMGraphicControl::Loaded();
  ApplyBackground();
}

void TMMDIBGraphicControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight)
{
  TMMGraphicControl::SetBounds(ALeft, ATop, AWidth, AHeight);
  dib_->SetSize(Width(), Height());
}

bool TMMDIBGraphicControl::PaintDirect()
{
  if (!Visible() || !Parent() || !Parent()->HandleAllocated()) return false;
  Repaint();
  return true;
}

// ---------------------------------------------------------------- bitmap cache

namespace {
struct CacheEntry {
  TBitmap* Bitmap;
  int Count;
};
std::vector<CacheEntry>* gCache = nullptr;
} // namespace

TBitmap* TBitmapCache::AcquireBitmap(int width, int height)
{
  if (!gCache) gCache = new std::vector<CacheEntry>;
  for (CacheEntry& e : *gCache)
    if (e.Bitmap->Width() == width && e.Bitmap->Height() == height) {
      ++e.Count;
      return e.Bitmap;
    }
  auto* bitmap = new TBitmap;
  try {
    bitmap->SetSize(width, height);
  } catch (...) {
    delete bitmap;
    if (gCache->empty()) {
      delete gCache;
      gCache = nullptr;
    }
    throw;
  }
  gCache->push_back({bitmap, 1});
  return bitmap;
}

void TBitmapCache::ReleaseBitmap(TBitmap*& bitmap)
{
  if (!bitmap || !gCache) return;
  for (auto it = gCache->begin(); it != gCache->end(); ++it) {
    if (it->Bitmap != bitmap) continue;
    if (--it->Count == 0) {
      delete it->Bitmap;
      gCache->erase(it);
    }
    bitmap = nullptr;
    break;
  }
  if (gCache->empty()) {
    delete gCache;
    gCache = nullptr;
  }
}

int TBitmapCache::Count() { return gCache ? int(gCache->size()) : 0; }
