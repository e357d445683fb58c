// 24-bit pixel buffers and the pixel effects of the skin engine.
//
// TbsFBitmap is a row-addressable 24-bit copy of a picture that the image
// builders and the mask scanner read and write row by row. TbsEffectBmp is
// the buffer the morphs (normal image towards active image, factor k in 0..1)
// and the inactive-frame effects work on. Pixels are stored blue, green, red,
// rows top-down, each row padded to a multiple of 4 bytes. Channel results are
// rounded to the nearest integer (halves to even) and clamped to 0..255.
#pragma once

#include "skin/skin_definitions.h"
#include "toolkit/graphics.h"

#include <QImage>
#include <QRandomGenerator>
#include <vector>

class TbsFBitmap {
public:
  TbsFBitmap() = default;
  // Blank (black) buffer; a non-positive side gives an empty buffer. Sizes
  // beyond the toolkit's bitmap guard raise EOutOfResources.
  TbsFBitmap(int width, int height);
  // Copy of a picture of any format (indexed pictures through their colour table).
  explicit TbsFBitmap(const QImage& picture);
  explicit TbsFBitmap(const TBitmap& bitmap);
  TbsFBitmap(const TbsFBitmap&) = delete;
  TbsFBitmap& operator=(const TbsFBitmap&) = delete;
  TbsFBitmap(TbsFBitmap&&) = default;
  TbsFBitmap& operator=(TbsFBitmap&&) = default;

  int Width() const { return image_.width(); }
  int Height() const { return image_.height(); }
  bool Empty() const { return image_.isNull(); }
  // Width × 3 rounded up to a multiple of 4, the padding after each row's pixels,
  // and the bytes of all rows.
  int RowStride() const { return int(image_.bytesPerLine()); }
  int Padding() const { return RowStride() - Width() * 3; }
  qint64 ByteSize() const { return qint64(RowStride()) * Height(); }

  // Row y's first byte; EInvalidGraphicOperation "Scan line index out of range" for a bad row.
  uchar* Row(int y);
  const uchar* Row(int y) const;
  // Unchecked row table for the inner loops.
  uchar* const* Rows() const { return rows_.data(); }

  TColor Pixel(int x, int y) const;  // -1 outside
  void SetPixel(int x, int y, TColor color);  // ignored outside

  const QImage& Image() const { return image_; }
  void AssignTo(TBitmap& bitmap) const { bitmap.SetImage(image_); }

private:
  void Adopt(QImage image);
  QImage image_;
  std::vector<uchar*> rows_;
};

class TbsEffectBmp {
public:
  TbsEffectBmp() = default;
  TbsEffectBmp(int width, int height) : buf_(width, height) {}
  explicit TbsEffectBmp(const QImage& picture) : buf_(picture) {}
  explicit TbsEffectBmp(const TBitmap& bitmap) : buf_(bitmap) {}

  int Width() const { return buf_.Width(); }
  int Height() const { return buf_.Height(); }
  bool Empty() const { return buf_.Empty(); }
  qint64 ByteSize() const { return buf_.ByteSize(); }

  TColor Pixel(int x, int y) const { return buf_.Pixel(x, y); }
  void SetPixel(int x, int y, TColor color) { buf_.SetPixel(x, y, color); }
  uchar* Row(int y) { return buf_.Row(y); }
  const uchar* Row(int y) const { return buf_.Row(y); }
  // Width × 3 bytes of row y out of and into the buffer.
  void CopyRowOut(int y, uchar* target) const;
  void CopyRowIn(int y, const uchar* source);

  // Draws the whole buffer at (x, y), replacing what is there.
  void Draw(TCanvas* canvas, int x, int y) const;
  void AssignTo(TBitmap& bitmap) const { buf_.AssignTo(bitmap); }
  const QImage& Image() const { return buf_.Image(); }

  // Morphs towards `active`, which must have the same size (else nothing
  // happens); k is clamped to 0..1.
  void Morph(const TbsEffectBmp& active, double k);           // cross-fade
  void MorphGrad(const TbsEffectBmp& active, double k);       // from the centre
  void MorphLeftGrad(const TbsEffectBmp& active, double k);   // gradient from the left
  void MorphRightGrad(const TbsEffectBmp& active, double k);  // gradient from the right
  void MorphLeftSlide(const TbsEffectBmp& active, double k);  // slide in from the left
  void MorphRightSlide(const TbsEffectBmp& active, double k); // slide in from the right
  void MorphPush(const TbsEffectBmp& active, double k);

  void ChangeBrightness(double k);  // c = (1 - k) c + 255 k
  void ChangeDarkness(double k);    // c = (1 - k) c
  void GrayScale();
  // One random value per pixel in -a/2 .. a - 1 - a/2 added to all three
  // channels; `rng` defaults to the global generator.
  void AddMonoNoise(int amount, QRandomGenerator* rng = nullptr);
  // In place, rows top to bottom: each pixel becomes the floor average of its
  // four diagonal neighbours at distance `amount` (nothing for amount <= 0).
  // A neighbour before the first row or column is the pixel's own row or
  // column; one beyond the last is clamped to the last.
  void SplitBlur(int amount);
  void Invert();

  // Copies into `target` (resized): (x, y) goes to (y, width - 1 - x), to
  // (height - 1 - y, x), or to (x, height - 1 - y).
  void CopyRotatedLeft(TbsEffectBmp& target) const;
  void CopyRotatedRight(TbsEffectBmp& target) const;
  void CopyUpsideDown(TbsEffectBmp& target) const;

private:
  bool SameSize(const TbsEffectBmp& other) const;
  void MapChannels(const uchar* table);  // every channel value c becomes table[c]
  TbsFBitmap buf_;
};

// The morph of a skin's "morphkind" and the inactive effect of "inactiveeffect"
// with the fixed amounts the skinned parts use (brightness 0.5, darkness 0.3,
// noise 50, split blur 1).
void ApplyMorph(TbsEffectBmp& normal, const TbsEffectBmp& active, TbsMorphKind kind, double k);
void ApplyInactiveEffect(TbsEffectBmp& image, TbsInactiveEffect effect);
void ApplyInactiveEffect(TBitmap& bitmap, TbsInactiveEffect effect);
