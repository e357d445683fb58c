// A list of equally sized images (16 x 16 by default) drawn by index, as
// they are or greyed for disabled buttons. Stored in descriptions as one BMP
// strip ("Bitmap") whose fuchsia pixels are transparent.
#pragma once

#include "toolkit/graphics.h"

class TImageList : public TComponent {
  Q_OBJECT
  Q_PROPERTY(int Width READ Width WRITE SetWidth)
  Q_PROPERTY(int Height READ Height WRITE SetHeight)
  Q_PROPERTY(QByteArray Bitmap READ Bitmap WRITE SetBitmap)
  Q_PROPERTY(TNotifyEvent OnChange READ OnChange WRITE SetOnChange)
public:
  explicit TImageList(TComponent* AOwner);

  int Width() const { return width_; }
  int Height() const { return height_; }
  // A new size empties the list.
  void SetWidth(int v);
  void SetHeight(int v);
  int Count() const { return int(images_.size()); }

  // Adds the picture cut into image-sized pieces from the left (a strip adds
  // several); `mask` white pixels are transparent. Returns the first index.
  int Add(const TBitmap* image, const TBitmap* mask = nullptr);
  // Pixels of `maskColor` are transparent.
  int AddMasked(const TBitmap* image, TColor maskColor);
  int AddImage(const QImage& image);
  void Replace(int index, const QImage& image);
  void Delete(int index);
  void Clear();

  // Image `index` (ARGB, transparent where masked); null outside the list.
  QImage Image(int index) const;
  // Draws image `index` at (x, y); disabled images are drawn greyed. Nothing
  // for an index outside the list.
  void Draw(TCanvas* canvas, int x, int y, int index, bool enabled = true) const;
  // The image on a fuchsia background.
  bool GetBitmap(int index, TBitmap* bitmap) const;

  QByteArray Bitmap() const;
  void SetBitmap(const QByteArray& bmp);

  TNotifyEvent OnChange() const { return onChange_; }
  void SetOnChange(const TNotifyEvent& e) { onChange_ = e; }

  // The greyed look of an image: the dark pixels as an embossed shadow.
  static QImage Greyed(const QImage& image);

private:
  void Changed();
  QImage Fit(const QImage& image) const;

  int width_ = 16;
  int height_ = 16;
  std::vector<QImage> images_;
  TNotifyEvent onChange_;
};
