#include "platform/capture_ring.h"

#include <algorithm>
#include <cstring>

void TCaptureRing::Reset(uint32_t size)
{
  std::lock_guard g(mutex_);
  data_.assign(size, 0);
  written_ = read_ = lost_ = 0;
}

void TCaptureRing::Write(const void* data, uint32_t count)
{
  std::lock_guard g(mutex_);
  const uint32_t size = static_cast<uint32_t>(data_.size());
  if (size == 0) return;
  const auto* p = static_cast<const uint8_t*>(data);
  if (count > size) {  // only the newest `size` bytes survive
    p += count - size;
    written_ += count - size;
    count = size;
  }
  const uint32_t at = static_cast<uint32_t>(written_ % size);
  const uint32_t first = std::min(count, size - at);
  std::memcpy(data_.data() + at, p, first);
  std::memcpy(data_.data(), p + first, count - first);
  written_ += count;
  if (written_ - read_ > size) {  // the reader fell behind: it goes on from the oldest byte held
    lost_ += written_ - size - read_;
    read_ = written_ - size;
  }
}

uint32_t TCaptureRing::BytesReady() const
{
  std::lock_guard g(mutex_);
  return static_cast<uint32_t>(written_ - read_);
}

void TCaptureRing::Read(void* destination, uint32_t count)
{
  std::lock_guard g(mutex_);
  const uint32_t size = static_cast<uint32_t>(data_.size());
  if (size == 0 || count == 0) return;
  count = std::min(count, size);
  auto* out = static_cast<uint8_t*>(destination);
  const uint32_t at = static_cast<uint32_t>(read_ % size);
  const uint32_t first = std::min(count, size - at);
  std::memcpy(out, data_.data() + at, first);
  std::memcpy(out + first, data_.data(), count - first);
  read_ += count;
  // A reader that asks for more than was captured only moves up to the capture position.
  if (read_ > written_) read_ = written_;
}

uint64_t TCaptureRing::TotalWritten() const
{
  std::lock_guard g(mutex_);
  return written_;
}

uint64_t TCaptureRing::Lost() const
{
  std::lock_guard g(mutex_);
  return lost_;
}
