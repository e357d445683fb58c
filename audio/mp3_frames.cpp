#include "audio/mp3_frames.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr int kTocEntries = 100;

uint32_t Be32(const uint8_t* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }
void PutBe32(uint8_t* p, uint32_t v)
{
  p[0] = uint8_t(v >> 24);
  p[1] = uint8_t(v >> 16);
  p[2] = uint8_t(v >> 8);
  p[3] = uint8_t(v);
}
} // namespace

TMp3FrameHeader ParseMp3FrameHeader(const uint8_t* h)
{
  TMp3FrameHeader out;
  if (h[0] != 0xFF || (h[1] & 0xE0) != 0xE0) return out;
  const int version = (h[1] >> 3) & 3;  // 3: MPEG 1, 2: MPEG 2, 0: MPEG 2.5
  const int layer = (h[1] >> 1) & 3;    // 1: layer III
  const int bitrateIndex = h[2] >> 4, rateIndex = (h[2] >> 2) & 3, padding = (h[2] >> 1) & 1;
  if (version == 1 || layer != 1 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3) return out;
  static constexpr int kMpeg1Kbps[] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
  static constexpr int kMpeg2Kbps[] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
  static constexpr int kMpeg1Rates[] = {44100, 48000, 32000};
  const bool mpeg1 = version == 3;
  const int kbps = mpeg1 ? kMpeg1Kbps[bitrateIndex] : kMpeg2Kbps[bitrateIndex];
  out.SampleRate = kMpeg1Rates[rateIndex] / (mpeg1 ? 1 : version == 2 ? 2 : 4);
  out.SamplesPerFrame = mpeg1 ? 1152 : 576;
  out.Length = (mpeg1 ? 144 : 72) * kbps * 1000 / out.SampleRate + padding;
  return out;
}

uint16_t Mp3TagCrc(const uint8_t* data, qsizetype size, uint16_t crc)
{
  for (qsizetype i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? uint16_t((crc >> 1) ^ 0xA001) : uint16_t(crc >> 1);
  }
  return crc;
}

void TMp3FrameCounter::Feed(const char* data, qsizetype size)
{
  if (stopped_) return;
  pending_.append(data, size);
  const auto* p = reinterpret_cast<const uint8_t*>(pending_.constData());
  qsizetype at = 0;
  while (at + 4 <= pending_.size()) {
    const TMp3FrameHeader h = ParseMp3FrameHeader(p + at);
    if (h.Length == 0) {
      stopped_ = true;
      break;
    }
    if (at + h.Length > pending_.size()) break;
    count_.Starts.push_back(count_.Bytes);
    count_.Crc = Mp3TagCrc(p + at, h.Length, count_.Crc);
    count_.Bytes += h.Length;
    ++count_.Frames;
    at += h.Length;
  }
  pending_.remove(0, at);
}

TMp3FrameCount CountMp3Frames(const QByteArray& data)
{
  TMp3FrameCounter counter;
  counter.Feed(data.constData(), data.size());
  return counter.Count();
}

bool DescribeMp3Frames(QByteArray& info, const TMp3FrameCount& count)
{
  auto* f = reinterpret_cast<uint8_t*>(info.data());
  const qsizetype size = info.size();
  if (size < 8 || ParseMp3FrameHeader(f).Length != size) return false;
  // The tag follows the side information (9 to 32 bytes after the header).
  qsizetype tag = -1;
  for (qsizetype at = 4; at <= 36 && at + 8 <= size; ++at)
    if (std::memcmp(f + at, "Info", 4) == 0 || std::memcmp(f + at, "Xing", 4) == 0) {
      tag = at;
      break;
    }
  if (tag < 0) return false;
  const uint32_t flags = Be32(f + tag + 4);
  qsizetype field = tag + 8;
  const bool endLost = (flags & 1) && field + 4 <= size && Be32(f + field) > count.Frames;
  // The stream the tag speaks of: this frame and the audio after it.
  const qint64 stream = size + count.Bytes;
  if (flags & 1) {
    if (field + 4 > size) return false;
    PutBe32(f + field, uint32_t(count.Frames));
    field += 4;
  }
  if (flags & 2) {
    if (field + 4 > size) return false;
    PutBe32(f + field, uint32_t(stream));
    field += 4;
  }
  if (flags & 4) {
    if (field + kTocEntries > size) return false;
    // As the encoder writes it: entry i is where frame (frames * i / 100) ends,
    // as a share of the audio after this frame; the first entry is 0.
    for (int i = 0; i < kTocEntries; ++i) {
      const qint64 frame = count.Frames * i / kTocEntries + 1;
      const qint64 end = frame < count.Frames ? count.Starts[size_t(frame)] : count.Bytes;
      f[field + i] = i == 0 ? 0 : uint8_t(std::min<qint64>(255, end * 256 / std::max<qint64>(count.Bytes, 1)));
    }
    field += kTocEntries;
  }
  if (flags & 8) field += 4;
  // The LAME extension: music length at +28, music CRC at +32, the tag's CRC at +34.
  const qsizetype lame = field;
  if (lame + 36 > size || std::memcmp(f + lame, "LAME", 4) != 0) return true;
  // Frames lost at the end took the encoder's padding with them.
  if (endLost) {
    f[lame + 22] = uint8_t(f[lame + 22] & 0xF0);
    f[lame + 23] = 0;
  }
  PutBe32(f + lame + 28, uint32_t(stream));
  f[lame + 32] = uint8_t(count.Crc >> 8);
  f[lame + 33] = uint8_t(count.Crc);
  const uint16_t crc = Mp3TagCrc(f, lame + 34);
  f[lame + 34] = uint8_t(crc >> 8);
  f[lame + 35] = uint8_t(crc);
  return true;
}
