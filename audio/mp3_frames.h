// MPEG audio frames as they lie in a file: the header's meaning, and the
// encoder's Info (Xing/LAME) frame rewritten to describe the frames that a
// file really holds.
#pragma once

#include <QByteArray>
#include <cstdint>
#include <vector>

struct TMp3FrameHeader {
  int Length = 0;           // bytes of the whole frame, 0 when not a frame header
  int SampleRate = 0;       // output samples per second
  int SamplesPerFrame = 0;  // 1152 (MPEG 1) or 576 (MPEG 2 and 2.5)
};
// Reads a layer III header (4 bytes).
TMp3FrameHeader ParseMp3FrameHeader(const uint8_t* header);

// The CRC-16 of the LAME tag (the "ARC" CRC: reflected polynomial 0xA001, start 0).
uint16_t Mp3TagCrc(const uint8_t* data, qsizetype size, uint16_t crc = 0);

// What a stretch of audio frames holds.
struct TMp3FrameCount {
  qint64 Frames = 0;
  qint64 Bytes = 0;         // of the whole frames
  uint16_t Crc = 0;         // Mp3TagCrc over them
  std::vector<qint64> Starts;  // offset of each frame from the stretch's start
};
// Counts the whole frames at the start of a stream handed over piece by
// piece; stops at the first byte that is not a frame header. A frame cut
// short at the end is not counted.
class TMp3FrameCounter {
public:
  void Feed(const char* data, qsizetype size);
  const TMp3FrameCount& Count() const { return count_; }

private:
  QByteArray pending_;  // the start of a frame not yet whole
  bool stopped_ = false;
  TMp3FrameCount count_;
};
TMp3FrameCount CountMp3Frames(const QByteArray& data);

// Rewrites the encoder's Info frame (`info`, the first frame of the stream)
// for the frames in `audio` (`count` of them): frame and byte counts, seek
// table, music length and CRC, the tag's own CRC, and no padding claimed at
// the end when frames are missing there.
// False when `info` is no Info/Xing frame with a LAME tag.
bool DescribeMp3Frames(QByteArray& info, const TMp3FrameCount& count);
