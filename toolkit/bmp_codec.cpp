#include "toolkit/bmp_codec.h"

#include <QtEndian>
#include <cstring>

namespace {
constexpr int kFileHeaderSize = 14;

quint16 U16(const uchar* p) { return qFromLittleEndian<quint16>(p); }
quint32 U32(const uchar* p) { return qFromLittleEndian<quint32>(p); }
qint32 I32(const uchar* p) { return qFromLittleEndian<qint32>(p); }

[[noreturn]] void Fail(const QString& text) { throw EInvalidGraphic(QStringLiteral("Invalid BMP: ") + text); }

qint64 RowStride(qint64 width, int bits) { return ((width * bits + 31) / 32) * 4; }

void Put16(QByteArray& out, quint16 v)
{
  uchar b[2];
  qToLittleEndian(v, b);
  out.append(reinterpret_cast<const char*>(b), 2);
}
void Put32(QByteArray& out, quint32 v)
{
  uchar b[4];
  qToLittleEndian(v, b);
  out.append(reinterpret_cast<const char*>(b), 4);
}
} // namespace

namespace {
// Everything the headers say, checked against the data.
struct Layout {
  qint64 Width = 0, Height = 0, FileSize = 0, OffBits = 0, Stride = 0, TableStart = 0, Colours = 0;
  int Bits = 0, EntrySize = 4;
  bool TopDown = false;
};

Layout ReadLayout(const QByteArray& data)
{
  Layout l;
  const qint64 available = data.size();
  const auto* p = reinterpret_cast<const uchar*>(data.constData());
  if (available < kFileHeaderSize + 12) Fail(QStringLiteral("the data is truncated (%1 bytes)").arg(available));
  if (p[0] != 'B' || p[1] != 'M') Fail(QStringLiteral("the file does not start with \"BM\""));
  const qint64 fileSize = U32(p + 2);
  const qint64 offBits = U32(p + 10);
  if (fileSize > available)
    Fail(QStringLiteral("the file size field says %1 bytes but only %2 are present").arg(fileSize).arg(available));

  const quint32 headerSize = U32(p + 14);
  const bool core = headerSize == 12;
  if (!core && headerSize != 40 && headerSize != 52 && headerSize != 56 && headerSize != 108 && headerSize != 124)
    Fail(QStringLiteral("unknown info header size %1").arg(headerSize));
  if (kFileHeaderSize + qint64(headerSize) > fileSize)
    Fail(QStringLiteral("the file size field (%1) is smaller than the headers").arg(fileSize));

  const uchar* h = p + kFileHeaderSize;
  qint64 width, height;
  int planes, bits;
  quint32 compression = 0, clrUsed = 0;
  if (core) {
    width = U16(h + 4);
    height = qint16(U16(h + 6));
    planes = U16(h + 8);
    bits = U16(h + 10);
  } else {
    width = I32(h + 4);
    height = I32(h + 8);
    planes = U16(h + 12);
    bits = U16(h + 14);
    compression = U32(h + 16);
    clrUsed = U32(h + 32);
  }
  if (planes != 1) Fail(QStringLiteral("%1 colour planes (1 expected)").arg(planes));
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24)
    Fail(QStringLiteral("%1 bits per pixel is not supported (1, 4, 8 or 24)").arg(bits));
  if (compression != 0) Fail(QStringLiteral("compressed pixel data (method %1) is not supported").arg(compression));
  const bool topDown = height < 0;
  height = qAbs(height);
  if (width <= 0 || height <= 0 || width > kMaxBmpDimension || height > kMaxBmpDimension ||
      width * height > kMaxBmpPixels)
    Fail(QStringLiteral("unacceptable dimensions %1 x %2").arg(width).arg(height));

  // Colour table: clrUsed entries (0 means all of them); 24-bit files may carry
  // an optional table, which is skipped through the pixel offset.
  const qint64 tableStart = kFileHeaderSize + qint64(headerSize);
  const int entrySize = core ? 3 : 4;
  qint64 colours = 0;
  if (bits <= 8) {
    const qint64 maxColours = qint64(1) << bits;
    colours = clrUsed == 0 ? maxColours : qint64(clrUsed);
    if (colours > maxColours) Fail(QStringLiteral("%1 colours for %2 bits per pixel").arg(colours).arg(bits));
  }
  const qint64 tableEnd = tableStart + colours * entrySize;
  if (tableEnd > fileSize) Fail(QStringLiteral("the colour table runs past the end of the file"));
  if (offBits < tableEnd || offBits > fileSize)
    Fail(QStringLiteral("the pixel data offset %1 lies outside the file").arg(offBits));
  const qint64 stride = RowStride(width, bits);
  if (offBits + stride * height > fileSize)
    Fail(QStringLiteral("the pixel data is truncated (%1 bytes needed after offset %2, file size %3)")
             .arg(stride * height)
             .arg(offBits)
             .arg(fileSize));

  l.Width = width;
  l.Height = height;
  l.FileSize = fileSize;
  l.OffBits = offBits;
  l.Stride = stride;
  l.TableStart = tableStart;
  l.Colours = colours;
  l.Bits = bits;
  l.EntrySize = entrySize;
  l.TopDown = topDown;
  return l;
}
} // namespace

TBmpInfo ReadBmpInfo(const QByteArray& data)
{
  const Layout l = ReadLayout(data);
  TBmpInfo info;
  info.Width = int(l.Width);
  info.Height = int(l.Height);
  info.BitsPerPixel = l.Bits;
  info.FileSize = l.FileSize;
  return info;
}

QImage DecodeBmp(const QByteArray& data, TBmpInfo* info)
{
  const Layout l = ReadLayout(data);
  const auto* p = reinterpret_cast<const uchar*>(data.constData());
  const qint64 width = l.Width, height = l.Height, offBits = l.OffBits, stride = l.Stride;
  const qint64 tableStart = l.TableStart, colours = l.Colours, fileSize = l.FileSize;
  const int bits = l.Bits, entrySize = l.EntrySize;
  const bool topDown = l.TopDown;
  QImage image(int(width), int(height), bits == 24 ? QImage::Format_RGB888 : QImage::Format_Indexed8);
  if (image.isNull()) throw EOutOfResources(QStringLiteral("Not enough memory for a %1 x %2 bitmap").arg(width).arg(height));
  int maxIndex = -1;
  for (qint64 y = 0; y < height; ++y) {
    const uchar* src = p + offBits + stride * (topDown ? y : height - 1 - y);
    uchar* dst = image.scanLine(int(y));
    switch (bits) {
    case 24:
      for (qint64 x = 0; x < width; ++x) {
        dst[3 * x] = src[3 * x + 2];
        dst[3 * x + 1] = src[3 * x + 1];
        dst[3 * x + 2] = src[3 * x];
      }
      break;
    case 8:
      std::memcpy(dst, src, size_t(width));
      break;
    case 4:
      for (qint64 x = 0; x < width; ++x) dst[x] = (x & 1) ? (src[x / 2] & 0x0F) : (src[x / 2] >> 4);
      break;
    case 1:
      for (qint64 x = 0; x < width; ++x) dst[x] = (src[x / 8] >> (7 - (x & 7))) & 1;
      break;
    }
    if (bits <= 8)
      for (qint64 x = 0; x < width; ++x) maxIndex = std::max(maxIndex, int(dst[x]));
  }
  if (bits <= 8) {
    QList<QRgb> table;
    table.reserve(std::max<qint64>(colours, maxIndex + 1));
    for (qint64 i = 0; i < colours; ++i) {
      const uchar* e = p + tableStart + i * entrySize;
      table.append(qRgb(e[2], e[1], e[0]));
    }
    // An index beyond the table draws black rather than reading past it.
    while (table.size() <= maxIndex) table.append(qRgb(0, 0, 0));
    image.setColorTable(table);
  }
  if (info) {
    info->Width = int(width);
    info->Height = int(height);
    info->BitsPerPixel = bits;
    info->FileSize = fileSize;
  }
  return image;
}

QByteArray EncodeBmp(const QImage& source, int bitsPerPixel)
{
  if (source.isNull()) throw EInvalidGraphic(QStringLiteral("Cannot write an empty bitmap as BMP"));
  if (bitsPerPixel != 1 && bitsPerPixel != 4 && bitsPerPixel != 8 && bitsPerPixel != 24)
    throw EInvalidGraphic(QStringLiteral("Cannot write BMP with %1 bits per pixel").arg(bitsPerPixel));
  QImage image;
  QList<QRgb> table;
  if (bitsPerPixel == 24) {
    image = source.convertToFormat(QImage::Format_RGB888);
  } else {
    if (source.format() != QImage::Format_Indexed8 && source.format() != QImage::Format_Mono &&
        source.format() != QImage::Format_MonoLSB)
      throw EInvalidGraphic(QStringLiteral("A %1-bit BMP needs an indexed image").arg(bitsPerPixel));
    image = source.convertToFormat(QImage::Format_Indexed8);
    table = image.colorTable();
    const qsizetype maxColours = qsizetype(1) << bitsPerPixel;
    if (table.isEmpty() || table.size() > maxColours)
      throw EInvalidGraphic(QStringLiteral("A %1-bit BMP holds 1 to %2 colours, the image has %3")
                                .arg(bitsPerPixel)
                                .arg(maxColours)
                                .arg(table.size()));
  }
  const qint64 width = image.width(), height = image.height();
  const qint64 stride = RowStride(width, bitsPerPixel);
  const qint64 offBits = kFileHeaderSize + 40 + qint64(table.size()) * 4;
  const qint64 fileSize = offBits + stride * height;
  if (fileSize > 0x7FFFFFFF) throw EInvalidGraphic(QStringLiteral("The bitmap is too large for a BMP file"));

  QByteArray out;
  out.reserve(fileSize);
  out.append("BM", 2);
  Put32(out, quint32(fileSize));
  Put32(out, 0);
  Put32(out, quint32(offBits));
  Put32(out, 40);
  Put32(out, quint32(width));
  Put32(out, quint32(height));  // positive: rows bottom-up
  Put16(out, 1);
  Put16(out, quint16(bitsPerPixel));
  Put32(out, 0);  // no compression
  Put32(out, quint32(stride * height));
  Put32(out, 2835);  // 72 dpi
  Put32(out, 2835);
  Put32(out, quint32(table.size()));
  Put32(out, 0);
  for (QRgb c : table) {
    const char e[4] = {char(qBlue(c)), char(qGreen(c)), char(qRed(c)), 0};
    out.append(e, 4);
  }
  const int maxIndex = bitsPerPixel == 24 ? 0 : int(table.size()) - 1;
  QByteArray row(stride, '\0');
  for (qint64 y = height - 1; y >= 0; --y) {
    row.fill('\0');
    auto* dst = reinterpret_cast<uchar*>(row.data());
    const uchar* src = image.constScanLine(int(y));
    if (bitsPerPixel == 24) {
      for (qint64 x = 0; x < width; ++x) {
        dst[3 * x] = src[3 * x + 2];
        dst[3 * x + 1] = src[3 * x + 1];
        dst[3 * x + 2] = src[3 * x];
      }
    } else {
      for (qint64 x = 0; x < width; ++x) {
        const int index = src[x];
        if (index > maxIndex)
          throw EInvalidGraphic(QStringLiteral("Pixel %1,%2 uses colour %3 beyond the %4-colour table")
                                    .arg(x).arg(y).arg(index).arg(table.size()));
        if (bitsPerPixel == 8)
          dst[x] = uchar(index);
        else if (bitsPerPixel == 4)
          dst[x / 2] |= (x & 1) ? uchar(index) : uchar(index << 4);
        else
          dst[x / 8] |= uchar(index << (7 - (x & 7)));
      }
    }
    out.append(row);
  }
  return out;
}
