#include "skin/skin_effects.h"

#include "toolkit/bmp_codec.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// Round to nearest (halves to even, the FPU's default mode) and clamp to a channel.
inline uchar Channel(double v)
{
  const long r = std::lrint(v);
  return uchar(r < 0 ? 0 : r > 255 ? 255 : r);
}

inline double Clamp01(double k) { return std::isnan(k) ? 0.0 : std::clamp(k, 0.0, 1.0); }

inline int RoundInt(double v) { return int(std::lrint(v)); }

// c = t × normal + (1 - t) × active for one pixel.
inline void Blend(uchar* dst, const uchar* normal, const uchar* active, double t)
{
  for (int c = 0; c < 3; ++c) dst[c] = Channel(t * normal[c] + (1 - t) * active[c]);
}

void CheckSize(int width, int height)
{
  if (width > kMaxBmpDimension || height > kMaxBmpDimension || qint64(width) * height > kMaxBmpPixels)
    throw EOutOfResources(QStringLiteral("Bitmap of %1 x %2 pixels is too large").arg(width).arg(height));
}

} // namespace

// ---------------------------------------------------------------- TbsFBitmap

TbsFBitmap::TbsFBitmap(int width, int height)
{
  if (width <= 0 || height <= 0) return;
  CheckSize(width, height);
  QImage image(width, height, QImage::Format_BGR888);
  if (image.isNull()) throw EOutOfResources(QStringLiteral("Out of memory for a %1 x %2 bitmap").arg(width).arg(height));
  image.fill(Qt::black);
  Adopt(std::move(image));
}

TbsFBitmap::TbsFBitmap(const QImage& picture)
{
  if (picture.isNull()) return;
  CheckSize(picture.width(), picture.height());
  Adopt(picture.convertToFormat(QImage::Format_BGR888));
}

TbsFBitmap::TbsFBitmap(const TBitmap& bitmap) : TbsFBitmap(bitmap.Image()) {}

void TbsFBitmap::Adopt(QImage image)
{
  image_ = std::move(image);
  rows_.resize(size_t(image_.height()));
  // The first scanLine detaches a shared image; the table then stays valid.
  for (int y = 0; y < image_.height(); ++y) rows_[size_t(y)] = image_.scanLine(y);
}

uchar* TbsFBitmap::Row(int y)
{
  if (y < 0 || y >= Height()) throw EInvalidGraphicOperation(QStringLiteral("Scan line index out of range"));
  return rows_[size_t(y)];
}

const uchar* TbsFBitmap::Row(int y) const
{
  if (y < 0 || y >= Height()) throw EInvalidGraphicOperation(QStringLiteral("Scan line index out of range"));
  return rows_[size_t(y)];
}

TColor TbsFBitmap::Pixel(int x, int y) const
{
  if (x < 0 || y < 0 || x >= Width() || y >= Height()) return -1;
  const uchar* p = rows_[size_t(y)] + x * 3;
  return RGB(p[2], p[1], p[0]);
}

void TbsFBitmap::SetPixel(int x, int y, TColor color)
{
  if (x < 0 || y < 0 || x >= Width() || y >= Height()) return;
  color = ColorToRGB(color);
  uchar* p = rows_[size_t(y)] + x * 3;
  p[0] = uchar(GetBValue(color));
  p[1] = uchar(GetGValue(color));
  p[2] = uchar(GetRValue(color));
}

// ---------------------------------------------------------------- TbsEffectBmp: plumbing

void TbsEffectBmp::CopyRowOut(int y, uchar* target) const { std::memcpy(target, Row(y), size_t(Width()) * 3); }

void TbsEffectBmp::CopyRowIn(int y, const uchar* source) { std::memcpy(Row(y), source, size_t(Width()) * 3); }

void TbsEffectBmp::Draw(TCanvas* canvas, int x, int y) const
{
  if (!canvas || Empty()) return;
  QPainter& p = canvas->Painter();
  const auto mode = p.compositionMode();
  p.setCompositionMode(QPainter::CompositionMode_Source);
  canvas->DrawImage(QRect(x, y, Width(), Height()), Image(), Image().rect());
  p.setCompositionMode(mode);
}

bool TbsEffectBmp::SameSize(const TbsEffectBmp& other) const
{
  return !Empty() && Width() == other.Width() && Height() == other.Height();
}

// ---------------------------------------------------------------- morphs

void TbsEffectBmp::Morph(const TbsEffectBmp& active, double k)
{
  if (!SameSize(active)) return;
  k = Clamp01(k);
  const int n = Width() * 3;
  for (int y = 0; y < Height(); ++y) {
    uchar* d = buf_.Rows()[y];
    const uchar* a = active.buf_.Rows()[y];
    for (int i = 0; i < n; ++i) d[i] = Channel((1 - k) * d[i] + k * a[i]);
  }
}

void TbsEffectBmp::MorphLeftGrad(const TbsEffectBmp& active, double k)
{
  if (!SameSize(active)) return;
  const int w = Width();
  const int n = std::max(1, std::min(RoundInt(w * Clamp01(k)), w - 1));
  const double step = 1.0 / n;
  for (int y = 0; y < Height(); ++y) {
    uchar* d = buf_.Rows()[y];
    const uchar* a = active.buf_.Rows()[y];
    double t = 0;
    for (int x = 0; x <= n && x < w; ++x) {
      Blend(d + x * 3, d + x * 3, a + x * 3, t);
      t = std::min(1.0, t + step);
    }
  }
}

void TbsEffectBmp::MorphRightGrad(const TbsEffectBmp& active, double k)
{
  if (!SameSize(active)) return;
  const int w = Width();
  const int n = std::clamp(w - RoundInt(w * Clamp01(k)), 0, w - 1);
  const double step = 1.0 / (w - n);
  for (int y = 0; y < Height(); ++y) {
    uchar* d = buf_.Rows()[y];
    const uchar* a = active.buf_.Rows()[y];
    double t = 0;
    for (int x = w - 1; x >= n; --x) {
      Blend(d + x * 3, d + x * 3, a + x * 3, t);
      t = std::min(1.0, t + step);
    }
  }
}

void TbsEffectBmp::MorphGrad(const TbsEffectBmp& active, double k)
{
  if (!SameSize(active)) return;
  k = Clamp01(k);
  const bool horizontal = Width() >= Height();
  // Along the gradient: length, and the pixel at position i of line j.
  const int len = horizontal ? Width() : Height();
  const int lines = horizontal ? Height() : Width();
  auto pixel = [&](const TbsFBitmap& b, int i, int j) -> uchar* {
    return horizontal ? b.Rows()[j] + i * 3 : b.Rows()[i] + j * 3;
  };
  const int a = RoundInt(len * k);
  const int lo = std::clamp(len / 2 - a / 2, 0, len - 1);
  const int hi = std::clamp(len / 2 + a / 2, 0, len - 1);
  const int fade = (len - a) / 2;
  const double step = fade > 0 ? 1.0 / fade : 1.0;
  for (int j = 0; j < lines; ++j) {
    for (int i = lo; i <= hi; ++i) std::memcpy(pixel(buf_, i, j), pixel(active.buf_, i, j), 3);
    double t = 0;
    for (int i = lo - 1; i >= 0; --i) {
      uchar* d = pixel(buf_, i, j);
      Blend(d, d, pixel(active.buf_, i, j), t);
      t = std::min(1.0, t + step);
    }
    t = 0;
    for (int i = hi + 1; i < len; ++i) {
      uchar* d = pixel(buf_, i, j);
      Blend(d, d, pixel(active.buf_, i, j), t);
      t = std::min(1.0, t + step);
    }
  }
}

void TbsEffectBmp::MorphLeftSlide(const TbsEffectBmp& active, double k)
{
  if (!SameSize(active)) return;
  const int w = Width();
  const int n = std::max(1, std::min(RoundInt(w * Clamp01(k)), w - 1));
  const int cols = std::min(n, w);
  for (int y = 0; y < Height(); ++y)
    std::memcpy(buf_.Rows()[y], active.buf_.Rows()[y] + (w - cols) * 3, size_t(cols) * 3);
}

void TbsEffectBmp::MorphRightSlide(const TbsEffectBmp& active, double k)
{
  if (!SameSize(active)) return;
  const int w = Width();
  const int n = std::max(1, std::min(RoundInt(w * Clamp01(k)), w - 1));
  const int cols = std::min(n, w);
  for (int y = 0; y < Height(); ++y)
    std::memcpy(buf_.Rows()[y] + (w - cols) * 3, active.buf_.Rows()[y], size_t(cols) * 3);
}

void TbsEffectBmp::MorphPush(const TbsEffectBmp& active, double k)
{
  if (!SameSize(active)) return;
  const int w = Width();
  const int n = std::clamp(RoundInt(w * Clamp01(k)), 0, w - 1);
  const int shift = n + 1;
  for (int y = 0; y < Height(); ++y) {
    uchar* d = buf_.Rows()[y];
    std::memmove(d + shift * 3, d, size_t(w - shift) * 3);
    std::memcpy(d, active.buf_.Rows()[y] + (w - shift) * 3, size_t(shift) * 3);
  }
}

// ---------------------------------------------------------------- inactive effects

void TbsEffectBmp::ChangeBrightness(double k)
{
  k = Clamp01(k);
  // Each channel maps on its own: one table of the 256 results.
  uchar table[256];
  for (int c = 0; c < 256; ++c) table[c] = Channel((1 - k) * c + 255 * k);
  MapChannels(table);
}

void TbsEffectBmp::ChangeDarkness(double k)
{
  k = Clamp01(k);
  uchar table[256];
  for (int c = 0; c < 256; ++c) table[c] = Channel((1 - k) * c);
  MapChannels(table);
}

void TbsEffectBmp::MapChannels(const uchar* table)
{
  const int n = Width() * 3;
  for (int y = 0; y < Height(); ++y) {
    uchar* d = buf_.Rows()[y];
    for (int i = 0; i < n; ++i) d[i] = table[d[i]];
  }
}

void TbsEffectBmp::GrayScale()
{
  for (int y = 0; y < Height(); ++y) {
    uchar* d = buf_.Rows()[y];
    for (int x = 0; x < Width(); ++x, d += 3) {
      const uchar g = Channel(0.3 * d[2] + 0.59 * d[1] + 0.11 * d[0]);
      d[0] = d[1] = d[2] = g;
    }
  }
}

void TbsEffectBmp::AddMonoNoise(int amount, QRandomGenerator* rng)
{
  if (amount <= 0) return;
  if (!rng) rng = QRandomGenerator::global();
  const int half = amount / 2;
  for (int y = 0; y < Height(); ++y) {
    uchar* d = buf_.Rows()[y];
    for (int x = 0; x < Width(); ++x, d += 3) {
      const int r = int(rng->bounded(quint32(amount))) - half;
      for (int c = 0; c < 3; ++c) d[c] = uchar(std::clamp(d[c] + r, 0, 255));
    }
  }
}

void TbsEffectBmp::SplitBlur(int amount)
{
  if (amount <= 0 || Empty()) return;
  const int w = Width(), h = Height();
  std::vector<uchar> row(size_t(w) * 3);
  for (int y = 0; y < h; ++y) {
    const int y1 = y - amount < 0 ? y : y - amount;
    const int y2 = y + amount >= h ? h - 1 : y + amount;
    // Rows above were already blurred: the effect works in place.
    const uchar* r1 = buf_.Rows()[y1];
    const uchar* r2 = buf_.Rows()[y2];
    for (int x = 0; x < w; ++x) {
      const int x1 = (x - amount < 0 ? x : x - amount) * 3;
      const int x2 = (x + amount >= w ? w - 1 : x + amount) * 3;
      for (int c = 0; c < 3; ++c)
        row[size_t(x) * 3 + c] = uchar((r1[x1 + c] + r2[x1 + c] + r1[x2 + c] + r2[x2 + c]) >> 2);
    }
    std::memcpy(buf_.Rows()[y], row.data(), row.size());
  }
}

void TbsEffectBmp::Invert()
{
  const int n = Width() * 3;
  for (int y = 0; y < Height(); ++y) {
    uchar* d = buf_.Rows()[y];
    for (int i = 0; i < n; ++i) d[i] = uchar(255 - d[i]);
  }
}

// ---------------------------------------------------------------- turns

void TbsEffectBmp::CopyRotatedLeft(TbsEffectBmp& target) const
{
  const int w = Width(), h = Height();
  TbsFBitmap out(h, w);
  for (int y = 0; y < h; ++y) {
    const uchar* s = buf_.Rows()[y];
    for (int x = 0; x < w; ++x) std::memcpy(out.Rows()[w - 1 - x] + y * 3, s + x * 3, 3);
  }
  target.buf_ = std::move(out);
}

void TbsEffectBmp::CopyRotatedRight(TbsEffectBmp& target) const
{
  const int w = Width(), h = Height();
  TbsFBitmap out(h, w);
  for (int y = 0; y < h; ++y) {
    const uchar* s = buf_.Rows()[y];
    for (int x = 0; x < w; ++x) std::memcpy(out.Rows()[x] + (h - 1 - y) * 3, s + x * 3, 3);
  }
  target.buf_ = std::move(out);
}

void TbsEffectBmp::CopyUpsideDown(TbsEffectBmp& target) const
{
  const int w = Width(), h = Height();
  TbsFBitmap out(w, h);
  for (int y = 0; y < h; ++y) std::memcpy(out.Rows()[h - 1 - y], buf_.Rows()[y], size_t(w) * 3);
  target.buf_ = std::move(out);
}

// ---------------------------------------------------------------- dispatch

void ApplyMorph(TbsEffectBmp& normal, const TbsEffectBmp& active, TbsMorphKind kind, double k)
{
  switch (kind) {
  case TbsMorphKind::mkDefault: normal.Morph(active, k); break;
  case TbsMorphKind::mkGradient: normal.MorphGrad(active, k); break;
  case TbsMorphKind::mkLeftGradient: normal.MorphLeftGrad(active, k); break;
  case TbsMorphKind::mkRightGradient: normal.MorphRightGrad(active, k); break;
  case TbsMorphKind::mkLeftSlide: normal.MorphLeftSlide(active, k); break;
  case TbsMorphKind::mkRightSlide: normal.MorphRightSlide(active, k); break;
  case TbsMorphKind::mkPush: normal.MorphPush(active, k); break;
  }
}

void ApplyInactiveEffect(TbsEffectBmp& image, TbsInactiveEffect effect)
{
  switch (effect) {
  case TbsInactiveEffect::ieBrightness: image.ChangeBrightness(0.5); break;
  case TbsInactiveEffect::ieDarkness: image.ChangeDarkness(0.3); break;
  case TbsInactiveEffect::ieGrayScale: image.GrayScale(); break;
  case TbsInactiveEffect::ieNoise: image.AddMonoNoise(50); break;
  case TbsInactiveEffect::ieSplitBlur: image.SplitBlur(1); break;
  case TbsInactiveEffect::ieInvert: image.Invert(); break;
  }
}

void ApplyInactiveEffect(TBitmap& bitmap, TbsInactiveEffect effect)
{
  if (bitmap.Empty()) return;
  TbsEffectBmp image(bitmap);
  ApplyInactiveEffect(image, effect);
  image.AssignTo(bitmap);
}
