// BMP files: reading 1, 4, 8 and 24 bits per pixel with colour tables, and
// writing complete files back. Reading is guarded: a truncated file, lying
// header fields (sizes, offsets) or absurd dimensions raise EInvalidGraphic and
// never allocate without bound.
#pragma once

#include "toolkit/exceptions.h"

#include <QByteArray>
#include <QImage>

VELMORA_EXCEPTION(EInvalidGraphic, Exception);

// Largest width or height accepted, and largest pixel count.
constexpr int kMaxBmpDimension = 16384;
constexpr qint64 kMaxBmpPixels = qint64(64) * 1024 * 1024;

struct TBmpInfo {
  int Width = 0;
  int Height = 0;
  int BitsPerPixel = 0;   // as stored in the file: 1, 4, 8 or 24
  qint64 FileSize = 0;    // bytes the file occupies (bfSize, checked against the data)
};

// Decodes the BMP file that starts at `data` (with the "BM" file header).
// Indexed files come back as QImage::Format_Indexed8 with their colour table,
// 24-bit files as QImage::Format_RGB888.
QImage DecodeBmp(const QByteArray& data, TBmpInfo* info = nullptr);

// Checks the headers of the BMP file at `data` as DecodeBmp does (raising the
// same errors) without decoding the pixels: how large a picture would be.
TBmpInfo ReadBmpInfo(const QByteArray& data);

// Encodes a complete BMP file. `bitsPerPixel` 24 writes true colour; 8, 4 or 1
// write the image's colour table (the image must be indexed with at most
// 2^bits colours).
QByteArray EncodeBmp(const QImage& image, int bitsPerPixel = 24);
