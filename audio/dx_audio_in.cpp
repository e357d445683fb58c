#include "audio/dx_audio_in.h"

#include <algorithm>
#include <cstring>

TDXAudioIn::TDXAudioIn(TComponent* AOwner, TCaptureSystem* system)
    : TAuInput(AOwner), system_(system ? system : &TCaptureSystem::Default())
{
  size_ = -1;
  ListDevices();
}

void TDXAudioIn::ListDevices()
{
  devices_.clear();
  for (TCaptureDeviceInfo& d : system_->Devices()) {
    if (static_cast<int>(devices_.size()) >= MaxDevices) break;
    d.Description.truncate(DescriptionLength);
    devices_.push_back(std::move(d));
  }
  deviceCount_ = static_cast<int>(devices_.size());
}

void TDXAudioIn::RefreshDevices()
{
  if (Busy()) return;
  const QString current =
      deviceNumber_ >= 0 && deviceNumber_ < deviceCount_ ? devices_[size_t(deviceNumber_)].Description : QString();
  ListDevices();
  if (!current.isEmpty()) {
    const int index = DeviceIndex(current);
    deviceNumber_ = index < 0 ? 0 : index;
  }
}

int TDXAudioIn::DeviceIndex(const QString& name) const
{
  for (int i = 0; i < deviceCount_; ++i)
    if (devices_[static_cast<size_t>(i)].Description == name) return i;
  return -1;
}

TDXAudioIn::~TDXAudioIn()
{
  // Outputs that read from us stop while we are still whole.
  BeforeDestruction();
  Teardown();
}

void TDXAudioIn::SetRecTime(int v)
{
  recTime_ = v;
  bytesToRead_ = v <= 0 ? -1 : qint64(v) * BytesPerSecond();
}

int TDXAudioIn::TotalSeconds()
{
  const qint64 perSecond = BytesPerSecond();
  if (bytesToRead_ <= 0 || perSecond <= 0) return 0;
  return static_cast<int>(RoundHalfEven(bytesToRead_, perSecond));
}

void TDXAudioIn::OpenInput()
{
  if (Busy()) throw EAuException(QStringLiteral("The component is busy"));
  if (deviceNumber_ < 0 || deviceNumber_ >= deviceCount_) throw EAuException(QStringLiteral("Invalid device number"));
  if (recTime_ > 0) bytesToRead_ = qint64(recTime_) * BytesPerSecond();
  BufferEnd = 0;
  BufferStart = 1;  // the first ReadData refills
  position_ = 0;
  busy_ = true;
  size_ = bytesToRead_;
  interrupt_ = false;
  moreReady_ = false;
  lostBytes_ = 0;
  stalledMs_ = 0;
  OpenWrapper();
  device_->Start();  // a failed start shows as a device that captures nothing
}

void TDXAudioIn::OpenWrapper()
{
  if (openCount_ == 0) {
    std::unique_ptr<TCaptureDevice> device;
    const TCaptureResult r = system_->Open(devices_[static_cast<size_t>(deviceNumber_)], device);
    if (r != TCaptureResult::Ok || !device) {
      busy_ = false;
      throw EAuException(QStringLiteral("Failed to create DirectSound device: ") + CaptureResultName(r));
    }
    TCaptureFormat format;
    format.BitsPerSample = bits_;
    format.SampleRate = rate_;
    format.Channels = channels_;
    if (device->CreateBuffer(format, CaptureBufferSize) != TCaptureResult::Ok) {
      busy_ = false;
      throw EAuException(QStringLiteral("Failed to create DirectSound buffer"));
    }
    std::lock_guard g(deviceMutex_);
    device_ = std::move(device);
  }
  ++openCount_;
}

void TDXAudioIn::Teardown()
{
  std::unique_ptr<TCaptureDevice> device;
  {
    std::lock_guard g(deviceMutex_);
    device.swap(device_);
  }
  device.reset();  // stops the capture and closes the device
  openCount_ = 0;
}

qint64 TDXAudioIn::LostBytes() const
{
  std::lock_guard g(deviceMutex_);
  if (device_) lostBytes_ = qint64(device_->LostBytes());
  return lostBytes_;
}

qint64 TDXAudioIn::StalledMs() const
{
  std::lock_guard g(deviceMutex_);
  if (device_) stalledMs_ = qint64(device_->StalledMs());
  return stalledMs_;
}

void TDXAudioIn::CloseInput()
{
  if (device_) {
    device_->Stop();
    lostBytes_ = qint64(device_->LostBytes());
    stalledMs_ = qint64(device_->StalledMs());
  }
  if (openCount_ == 1)
    Teardown();
  else if (openCount_ > 0)
    --openCount_;
  busy_ = false;
}

void TDXAudioIn::InterruptRead()
{
  interrupt_ = true;
  std::lock_guard g(deviceMutex_);
  if (device_) device_->Wake();
}

int TDXAudioIn::Refill()
{
  if (!interrupt_ && !moreReady_) device_->Wait(RefillWaitMs);
  // A short refill is a stall, not the end: keep waiting while the device
  // lives, so that a hiccup never ends a recording the user thinks is running.
  for (;;) {
    uint32_t ready = 0;
    if (device_->BytesReady(ready) != TCaptureResult::Ok) ready = 0;
    moreReady_ = ready >= LocalBufferSize + 1024;
    ready = std::min<uint32_t>(ready, LocalBufferSize);
    ready -= ready % 1024;
    if (ready >= 1024 && device_->Read(local_, ready) == TCaptureResult::Ok) return static_cast<int>(ready);
    const QString failure = device_->Failure();
    if (!failure.isEmpty()) throw EAuException(QStringLiteral("The capture device failed: ") + failure);
    if (interrupt_) return 0;
    device_->Wait(RefillWaitMs);
  }
}

int TDXAudioIn::ReadData(void* buffer, int capacity)
{
  if (!Busy() || !device_) throw EAuException(QStringLiteral("The Stream is not opened"));
  if (bytesToRead_ >= 0 && Position() >= bytesToRead_) return 0;
  if (BufferStart >= BufferEnd) {
    BufferStart = 0;
    BufferEnd = 0;
    BufferEnd = Refill();
    if (BufferEnd == 0) return 0;
  }
  const int n = std::min(capacity, BufferEnd - BufferStart);
  std::memcpy(buffer, local_ + BufferStart, static_cast<size_t>(n));
  BufferStart += n;
  position_ += n;
  return n;
}
