#include "toolkit/bmp_codec.h"

#include <QtEndian>
#include <gtest/gtest.h>

namespace {
// An indexed test picture whose pixels use every colour of the table.
QImage IndexedPicture(int width, int height, int colours)
{
  QImage image(width, height, QImage::Format_Indexed8);
  QList<QRgb> table;
  for (int i = 0; i < colours; ++i) table.append(qRgb((i * 37) & 255, (i * 91) & 255, (255 - i * 13) & 255));
  image.setColorTable(table);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) image.setPixel(x, y, uint((x * 7 + y * 3) % colours));
  return image;
}

QImage TruePicture(int width, int height)
{
  QImage image(width, height, QImage::Format_RGB888);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) image.setPixel(x, y, qRgb(x * 5, y * 9, (x ^ y) & 255));
  return image;
}

void Set32(QByteArray& data, int offset, qint32 value) { qToLittleEndian(value, data.data() + offset); }
void Set16(QByteArray& data, int offset, qint16 value) { qToLittleEndian(value, data.data() + offset); }

QString DecodeError(const QByteArray& data)
{
  try {
    DecodeBmp(data);
  } catch (const EInvalidGraphic& e) {
    return e.Message();
  }
  return QString();
}
} // namespace

TEST(BmpCodec, IndexedRoundTripsAtEveryDepth)
{
  // Odd widths exercise row padding and the partial last byte of 1- and 4-bit rows.
  const struct {
    int Bits, Colours, Width, Height;
  } cases[] = {{8, 44, 191, 140}, {8, 256, 37, 5}, {4, 16, 103, 67}, {4, 3, 9, 2}, {1, 2, 33, 7}, {1, 1, 1, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.Bits << " bits, " << c.Width << "x" << c.Height);
    const QImage original = IndexedPicture(c.Width, c.Height, c.Colours);
    const QByteArray file = EncodeBmp(original, c.Bits);
    const qint64 stride = ((qint64(c.Width) * c.Bits + 31) / 32) * 4;
    EXPECT_EQ(file.size(), 14 + 40 + 4 * c.Colours + stride * c.Height);
    TBmpInfo info;
    const QImage back = DecodeBmp(file, &info);
    EXPECT_EQ(info.BitsPerPixel, c.Bits);
    EXPECT_EQ(info.FileSize, file.size());
    ASSERT_EQ(back.format(), QImage::Format_Indexed8);
    EXPECT_EQ(back.colorTable(), original.colorTable());
    EXPECT_EQ(back, original);
    EXPECT_EQ(EncodeBmp(back, c.Bits), file);  // byte-identical when written again
  }
}

TEST(BmpCodec, TrueColourRoundTripAndTopDownRows)
{
  const QImage original = TruePicture(13, 6);
  QByteArray file = EncodeBmp(original);
  TBmpInfo info;
  const QImage back = DecodeBmp(file, &info);
  EXPECT_EQ(info.BitsPerPixel, 24);
  EXPECT_EQ(back.format(), QImage::Format_RGB888);
  EXPECT_EQ(back, original);

  // The same rows stored top-down (negative height, rows reversed) read identically.
  const int stride = 40, offset = 54, h = 6;
  QByteArray topDown = file;
  Set32(topDown, 22, -h);
  for (int y = 0; y < h; ++y) topDown.replace(offset + y * stride, stride, file.mid(offset + (h - 1 - y) * stride, stride));
  EXPECT_EQ(DecodeBmp(topDown), original);

  // A file followed by other data: bfSize tells where it ends.
  TBmpInfo tail;
  EXPECT_EQ(DecodeBmp(file + QByteArray(100, 'x'), &tail), original);
  EXPECT_EQ(tail.FileSize, file.size());
}

TEST(BmpCodec, OutOfTableIndexesReadAsBlack)
{
  QByteArray file = EncodeBmp(IndexedPicture(4, 1, 4), 8);
  file[14 + 40 + 16] = char(200);  // first pixel (bottom row = only row) points past the 4-colour table
  const QImage back = DecodeBmp(file);
  EXPECT_EQ(back.pixel(0, 0), qRgb(0, 0, 0));
  EXPECT_GE(back.colorCount(), 201);
}

TEST(BmpCodec, CorruptFilesRaiseClearErrors)
{
  const QByteArray good = EncodeBmp(IndexedPicture(20, 10, 16), 8);
  struct Case {
    const char* What;
    std::function<void(QByteArray&)> Corrupt;
    const char* Message;
  };
  const Case cases[] = {
      {"empty", [](QByteArray& d) { d.clear(); }, "truncated"},
      {"magic", [](QByteArray& d) { d[0] = 'X'; }, "\"BM\""},
      {"cut in the pixels", [](QByteArray& d) { d.chop(1); }, "says"},
      {"cut in the header", [](QByteArray& d) { d.truncate(30); }, "says"},
      {"bfSize too small for the pixels", [](QByteArray& d) { Set32(d, 2, d.size() - 10); }, "pixel data is truncated"},
      {"bfSize smaller than the headers", [](QByteArray& d) { Set32(d, 2, 20); }, "smaller than the headers"},
      {"bfSize beyond the data", [](QByteArray& d) { Set32(d, 2, d.size() + 1); }, "says"},
      {"offset into the colour table", [](QByteArray& d) { Set32(d, 10, 60); }, "offset"},
      {"offset past the end", [](QByteArray& d) { Set32(d, 10, 0x7FFFFFF0); }, "offset"},
      {"offset leaves too few pixels", [](QByteArray& d) { Set32(d, 10, 14 + 40 + 64 + 8); }, "truncated"},
      {"header size", [](QByteArray& d) { Set32(d, 14, 41); }, "header size"},
      {"huge width", [](QByteArray& d) { Set32(d, 18, 1 << 30); }, "dimensions"},
      {"huge height", [](QByteArray& d) { Set32(d, 22, -(1 << 30)); }, "dimensions"},
      {"most negative height", [](QByteArray& d) { Set32(d, 22, INT32_MIN); }, "dimensions"},
      {"too many pixels", [](QByteArray& d) { Set32(d, 18, 16384); Set32(d, 22, 16384); }, "dimensions"},
      {"zero width", [](QByteArray& d) { Set32(d, 18, 0); }, "dimensions"},
      {"negative width", [](QByteArray& d) { Set32(d, 18, -5); }, "dimensions"},
      {"bit count 7", [](QByteArray& d) { Set16(d, 28, 7); }, "bits per pixel"},
      {"bit count 32", [](QByteArray& d) { Set16(d, 28, 32); }, "bits per pixel"},
      {"bit count 0", [](QByteArray& d) { Set16(d, 28, 0); }, "bits per pixel"},
      {"planes", [](QByteArray& d) { Set16(d, 26, 3); }, "planes"},
      {"compression", [](QByteArray& d) { Set32(d, 30, 1); }, "compressed"},
      {"too many colours", [](QByteArray& d) { Set32(d, 46, 257); }, "colours"},
      {"colour table past the end", [](QByteArray& d) { Set16(d, 28, 8); Set32(d, 46, 256); Set32(d, 2, 200); }, "colour table"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.What);
    QByteArray bad = good;
    c.Corrupt(bad);
    const QString message = DecodeError(bad);
    EXPECT_TRUE(message.startsWith("Invalid BMP: ")) << message.toStdString();
    EXPECT_TRUE(message.contains(QString::fromLatin1(c.Message))) << message.toStdString();
  }
}

TEST(BmpCodec, EncodingRejectsWhatTheFormatCannotHold)
{
  EXPECT_THROW(EncodeBmp(QImage()), EInvalidGraphic);
  EXPECT_THROW(EncodeBmp(TruePicture(2, 2), 8), EInvalidGraphic);   // not indexed
  EXPECT_THROW(EncodeBmp(IndexedPicture(4, 4, 17), 4), EInvalidGraphic);  // table too big
  EXPECT_THROW(EncodeBmp(IndexedPicture(4, 4, 2), 16), EInvalidGraphic);
  QImage stray = IndexedPicture(4, 4, 2);
  stray.setColorCount(3);
  stray.setPixel(1, 1, 2);
  stray.setColorCount(2);  // the pixel now points past the table
  EXPECT_THROW(EncodeBmp(stray, 1), EInvalidGraphic);
  // An indexed picture also writes as true colour.
  const QImage indexed = IndexedPicture(5, 3, 16);
  EXPECT_EQ(DecodeBmp(EncodeBmp(indexed, 24)), indexed.convertToFormat(QImage::Format_RGB888));
}
