#include "toolkit/image_list.h"

#include <QPainter>

namespace {
constexpr QRgb kStripKey = 0xFFFF00FF;  // fuchsia: transparent in the stored strip
}

TImageList::TImageList(TComponent* AOwner) : TComponent(AOwner) {}

void TImageList::SetWidth(int v)
{
  v = std::clamp(v, 1, 256);
  if (v == width_) return;
  width_ = v;
  images_.clear();
  Changed();
}

void TImageList::SetHeight(int v)
{
  v = std::clamp(v, 1, 256);
  if (v == height_) return;
  height_ = v;
  images_.clear();
  Changed();
}

void TImageList::Changed()
{
  if (onChange_) onChange_(this);
}

QImage TImageList::Fit(const QImage& image) const
{
  QImage out(width_, height_, QImage::Format_ARGB32);
  out.fill(Qt::transparent);
  QPainter p(&out);
  p.drawImage(0, 0, image);
  return out;
}

int TImageList::AddImage(const QImage& image)
{
  if (image.isNull()) return -1;
  const int first = Count();
  const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
  const int pieces = std::max(1, argb.width() / width_);
  for (int i = 0; i < pieces; ++i) images_.push_back(Fit(argb.copy(i * width_, 0, width_, height_)));
  Changed();
  return first;
}

int TImageList::Add(const TBitmap* image, const TBitmap* mask)
{
  if (!image || image->Empty()) return -1;
  QImage argb = image->Image().convertToFormat(QImage::Format_ARGB32);
  if (mask && !mask->Empty()) {
    const QImage m = mask->Image().convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < std::min(argb.height(), m.height()); ++y) {
      auto* row = reinterpret_cast<QRgb*>(argb.scanLine(y));
      const auto* mrow = reinterpret_cast<const QRgb*>(m.constScanLine(y));
      for (int x = 0; x < std::min(argb.width(), m.width()); ++x)
        if (qGray(mrow[x]) > 127) row[x] = 0;
    }
  }
  return AddImage(argb);
}

int TImageList::AddMasked(const TBitmap* image, TColor maskColor)
{
  if (!image || image->Empty()) return -1;
  QImage argb = image->Image().convertToFormat(QImage::Format_ARGB32);
  const QRgb key = ColorToQColor(maskColor).rgb() & 0xFFFFFF;
  for (int y = 0; y < argb.height(); ++y) {
    auto* row = reinterpret_cast<QRgb*>(argb.scanLine(y));
    for (int x = 0; x < argb.width(); ++x)
      if ((row[x] & 0xFFFFFF) == key) row[x] = 0;
  }
  return AddImage(argb);
}

void TImageList::Replace(int index, const QImage& image)
{
  if (index < 0 || index >= Count()) throw EInvalidOperation(QStringLiteral("Invalid image index %1").arg(index));
  images_[size_t(index)] = Fit(image.convertToFormat(QImage::Format_ARGB32));
  Changed();
}

void TImageList::Delete(int index)
{
  if (index < 0 || index >= Count()) return;
  images_.erase(images_.begin() + index);
  Changed();
}

void TImageList::Clear()
{
  if (images_.empty()) return;
  images_.clear();
  Changed();
}

QImage TImageList::Image(int index) const
{
  if (index < 0 || index >= Count()) return QImage();
  return images_[size_t(index)];
}

QImage TImageList::Greyed(const QImage& image)
{
  // Dark pixels become a button-shadow shape with a highlight one pixel down
  // and right, the usual look of a disabled glyph.
  QImage shape(image.size(), QImage::Format_ARGB32);
  shape.fill(Qt::transparent);
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const QRgb c = image.pixel(x, y);
      if (qAlpha(c) >= 128 && qGray(c) < 192) shape.setPixel(x, y, 0xFF000000);
    }
  auto tinted = [&](TColor color) {
    QImage t = shape;
    QPainter p(&t);
    p.setCompositionMode(QPainter::CompositionMode_SourceIn);
    p.fillRect(t.rect(), ColorToQColor(color));
    return t;
  };
  QImage out(image.size(), QImage::Format_ARGB32);
  out.fill(Qt::transparent);
  QPainter p(&out);
  p.drawImage(1, 1, tinted(clBtnHighlight));
  p.drawImage(0, 0, tinted(clBtnShadow));
  return out;
}

void TImageList::Draw(TCanvas* canvas, int x, int y, int index, bool enabled) const
{
  if (!canvas || index < 0 || index >= Count()) return;
  const QImage& img = images_[size_t(index)];
  const QImage shown = enabled ? img : Greyed(img);
  canvas->DrawImage(QRect(x, y, shown.width(), shown.height()), shown, shown.rect());
}

bool TImageList::GetBitmap(int index, TBitmap* bitmap) const
{
  if (!bitmap || index < 0 || index >= Count()) return false;
  QImage out(width_, height_, QImage::Format_RGB32);
  out.fill(kStripKey);
  QPainter p(&out);
  p.drawImage(0, 0, images_[size_t(index)]);
  p.end();
  bitmap->SetImage(out);
  return true;
}

QByteArray TImageList::Bitmap() const
{
  if (images_.empty()) return QByteArray();
  QImage strip(width_ * Count(), height_, QImage::Format_RGB32);
  strip.fill(kStripKey);
  QPainter p(&strip);
  for (int i = 0; i < Count(); ++i) {
    // Half-transparent pixels become opaque; fully transparent ones the key.
    const QImage& img = images_[size_t(i)];
    for (int y = 0; y < height_; ++y)
      for (int x = 0; x < width_; ++x) {
        const QRgb c = img.pixel(x, y);
        if (qAlpha(c) >= 128) strip.setPixel(i * width_ + x, y, c | 0xFF000000);
      }
  }
  p.end();
  TBitmap b;
  b.SetImage(strip);
  return b.Data();
}

void TImageList::SetBitmap(const QByteArray& bmp)
{
  images_.clear();
  if (!bmp.isEmpty()) {
    TBitmap b;
    b.LoadFromData(bmp);
    AddMasked(&b, QColorToColor(QColor::fromRgb(kStripKey)));
  }
  Changed();
}
