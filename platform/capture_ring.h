// The looping circular buffer behind every capture device: the device writes
// at its capture position, wrapping at the end; the reader keeps a read offset.
// A reader that falls more than one buffer behind loses the oldest audio: it
// then reads on from the oldest byte still held, and the loss is counted.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

class TCaptureRing {
public:
  void Reset(uint32_t size);
  uint32_t Size() const { return static_cast<uint32_t>(data_.size()); }
  // Producer side: appends at the capture position.
  void Write(const void* data, uint32_t count);
  // Bytes captured and not yet read: at most the size.
  uint32_t BytesReady() const;
  // Copies `count` bytes from the read offset (two parts across the end) and
  // advances the offset modulo the size.
  void Read(void* destination, uint32_t count);
  uint64_t TotalWritten() const;
  // Bytes overwritten before the reader took them.
  uint64_t Lost() const;

private:
  mutable std::mutex mutex_;
  std::vector<uint8_t> data_;
  uint64_t written_ = 0;  // stream offsets: the capture position and the read offset
  uint64_t read_ = 0;
  uint64_t lost_ = 0;
};
