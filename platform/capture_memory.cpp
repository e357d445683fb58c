#include "platform/capture_memory.h"

TMemoryCaptureSystem::TMemoryCaptureSystem()
{
  DeviceList = {{"memory:0", QStringLiteral("In-memory capture device"), true}};
}

TCaptureResult TMemoryCaptureSystem::Open(const TCaptureDeviceInfo& device, std::unique_ptr<TCaptureDevice>& out)
{
  LastDeviceId = device.Id;
  if (OpenResult != TCaptureResult::Ok) return OpenResult;
  ++Opens;
  out = std::make_unique<TMemoryCaptureDevice>(*this);
  return TCaptureResult::Ok;
}

TMemoryCaptureDevice::~TMemoryCaptureDevice() { ++system_.Closes; }

TCaptureResult TMemoryCaptureDevice::CreateBuffer(const TCaptureFormat& format, uint32_t bytes)
{
  system_.LastFormat = format;
  system_.LastBufferBytes = bytes;
  if (system_.CreateResult != TCaptureResult::Ok) return system_.CreateResult;
  if (bytes == 0 || format.BlockAlign() <= 0) return TCaptureResult::InvalidParam;
  format_ = format;
  ring_.Reset(bytes);
  created_ = true;
  return TCaptureResult::Ok;
}

TCaptureResult TMemoryCaptureDevice::Start()
{
  if (!created_) return TCaptureResult::InvalidCall;
  ++system_.Starts;
  running_ = true;
  return TCaptureResult::Ok;
}

TCaptureResult TMemoryCaptureDevice::Stop()
{
  if (!created_) return TCaptureResult::InvalidCall;
  ++system_.Stops;
  running_ = false;
  return TCaptureResult::Ok;
}

TCaptureResult TMemoryCaptureDevice::BytesReady(uint32_t& ready)
{
  if (!created_ || failed_) return TCaptureResult::Generic;
  ready = ring_.BytesReady();
  return TCaptureResult::Ok;
}

TCaptureResult TMemoryCaptureDevice::Read(void* destination, uint32_t count)
{
  if (!created_ || failed_) return TCaptureResult::Generic;
  ring_.Read(destination, count);
  return TCaptureResult::Ok;
}

void TMemoryCaptureDevice::Wake()
{
  std::lock_guard g(waitMutex_);
  woken_ = true;
  waitCv_.notify_all();
}

void TMemoryCaptureDevice::Wait(int ms)
{
  if (system_.RealTime) {
    std::unique_lock l(waitMutex_);
    waitCv_.wait_for(l, std::chrono::milliseconds(ms), [this] { return woken_; });
    woken_ = false;
  }
  const int index = waits_++;
  ++system_.Waits;
  system_.WaitedMs += ms;
  if (system_.FailAtWait >= 0 && index >= system_.FailAtWait) failed_ = true;
  if (!running_ || failed_) return;
  uint32_t count;
  if (system_.Schedule) {
    count = system_.Schedule(index, ms, format_);
  } else {
    const uint64_t frames = uint64_t(format_.SampleRate) * uint64_t(ms) / 1000;
    count = static_cast<uint32_t>(frames * uint64_t(format_.BlockAlign()));
  }
  if (count == 0) return;
  std::vector<uint8_t> chunk(count);
  if (system_.Source) {
    system_.Source(produced_, chunk.data(), count);
  } else {
    for (uint32_t i = 0; i < count; ++i) chunk[i] = static_cast<uint8_t>((produced_ + i) % 251);
  }
  produced_ += count;
  ring_.Write(chunk.data(), count);
}

QString TMemoryCaptureDevice::Failure() const { return failed_ ? system_.FailMessage : QString(); }
