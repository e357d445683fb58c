// The looping circular buffer behind every capture device: the device writes
// at its capture position, wrapping at the end and overwriting the oldest bytes;
// the reader keeps a read offset.
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
  // Capture position minus read offset, plus the size when negative.
  uint32_t BytesReady() const;
  // Copies `count` bytes from the read offset (two parts across the end) and
  // advances the offset modulo the size.
  void Read(void* destination, uint32_t count);
  uint64_t TotalWritten() const;

private:
  mutable std::mutex mutex_;
  std::vector<uint8_t> data_;
  uint32_t capturePos_ = 0;
  uint32_t readOffset_ = 0;
  uint64_t total_ = 0;
};
