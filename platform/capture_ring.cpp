#include "platform/capture_ring.h"

#include <algorithm>
#include <cstring>

void TCaptureRing::Reset(uint32_t size)
{
  std::lock_guard g(mutex_);
  data_.assign(size, 0);
  capturePos_ = readOffset_ = 0;
  total_ = 0;
}

void TCaptureRing::Write(const void* data, uint32_t count)
{
  std::lock_guard g(mutex_);
  const uint32_t size = static_cast<uint32_t>(data_.size());
  if (size == 0) return;
  const auto* p = static_cast<const uint8_t*>(data);
  total_ += count;
  if (count > size) {  // only the newest `size` bytes survive
    p += count - size;
    capturePos_ = static_cast<uint32_t>((capturePos_ + (count - size)) % size);
    count = size;
  }
  const uint32_t first = std::min(count, size - capturePos_);
  std::memcpy(data_.data() + capturePos_, p, first);
  std::memcpy(data_.data(), p + first, count - first);
  capturePos_ = (capturePos_ + count) % size;
}

uint32_t TCaptureRing::BytesReady() const
{
  std::lock_guard g(mutex_);
  int64_t ready = int64_t(capturePos_) - int64_t(readOffset_);
  if (ready < 0) ready += static_cast<int64_t>(data_.size());
  return static_cast<uint32_t>(ready);
}

void TCaptureRing::Read(void* destination, uint32_t count)
{
  std::lock_guard g(mutex_);
  const uint32_t size = static_cast<uint32_t>(data_.size());
  if (size == 0 || count == 0) return;
  count = std::min(count, size);
  auto* out = static_cast<uint8_t*>(destination);
  const uint32_t first = std::min(count, size - readOffset_);
  std::memcpy(out, data_.data() + readOffset_, first);
  std::memcpy(out + first, data_.data(), count - first);
  readOffset_ = (readOffset_ + count) % size;
}

uint64_t TCaptureRing::TotalWritten() const
{
  std::lock_guard g(mutex_);
  return total_;
}
