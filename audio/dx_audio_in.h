// TDXAudioIn: the recorder's PCM source. Captures from a sound card's
// recording device (through platform/capture_device.h) into a looping buffer
// and hands the bytes to its output in the blocks the output asks for.
#pragma once

#include "audio/au_pipeline.h"
#include "platform/capture_device.h"

#include <mutex>

class TDXAudioIn : public TAuInput {
  Q_OBJECT
  Q_PROPERTY(qint64 BytesToRead READ BytesToRead WRITE SetBytesToRead)
  Q_PROPERTY(int DeviceNumber READ DeviceNumber WRITE SetDeviceNumber)
  Q_PROPERTY(int InBitsPerSample READ InBitsPerSample WRITE SetInBitsPerSample)
  Q_PROPERTY(int InChannels READ InChannels WRITE SetInChannels)
  Q_PROPERTY(int InSampleRate READ InSampleRate WRITE SetInSampleRate)
  Q_PROPERTY(int RecTime READ RecTime WRITE SetRecTime)

public:
  static constexpr int MaxDevices = 16;
  static constexpr int DescriptionLength = 127;
  static constexpr int LocalBufferSize = 262144;
  // The looping buffer holds about 12 s at 44.1 kHz stereo: sound servers
  // hand over audio in blocks of up to 2 s, and the writer may stall.
  static constexpr int CaptureBufferSize = 2097152;
  static constexpr int RefillWaitMs = 400;

  explicit TDXAudioIn(TComponent* AOwner) : TDXAudioIn(AOwner, nullptr) {}
  // `system` null: the process's capture system (ALSA unless a test set another).
  TDXAudioIn(TComponent* AOwner, TCaptureSystem* system);
  ~TDXAudioIn() override;

  // The device table, filled once by the constructor.
  int DeviceCount() const { return deviceCount_; }
  const TCaptureDeviceInfo& Device(int index) const { return devices_.at(static_cast<size_t>(index)); }
  // Lists the devices again (sources come and go with the sound server);
  // nothing while a run is open. DeviceNumber keeps pointing at the same
  // name, or at the default (0) when that is gone.
  void RefreshDevices();
  // The table's entry with that name (as people see it), -1 when there is none.
  int DeviceIndex(const QString& name) const;

  int InBitsPerSample() override { return bits_; }
  int InChannels() override { return channels_; }
  int InSampleRate() override { return rate_; }
  int TotalSeconds() override;
  int ReadData(void* buffer, int capacity) override;
  void OpenInput() override;
  void CloseInput() override;
  void InterruptRead() override;

  qint64 BytesToRead() const { return bytesToRead_; }
  void SetBytesToRead(qint64 v) { bytesToRead_ = v; }
  int DeviceNumber() const { return deviceNumber_; }
  void SetDeviceNumber(int v) { deviceNumber_ = v; }
  void SetInBitsPerSample(int v) { bits_ = v; }
  void SetInChannels(int v) { channels_ = v; }
  void SetInSampleRate(int v) { rate_ = v; }
  int RecTime() const { return recTime_; }
  void SetRecTime(int v);
  // Audio captured since OpenInput that never reached the reader (the
  // device's count, kept after CloseInput until the next OpenInput).
  qint64 LostBytes() const;
  // How long the source sent nothing in the run (see TCaptureDevice::StalledMs), kept likewise.
  qint64 StalledMs() const;

private:
  void ListDevices();
  void OpenWrapper();
  void Teardown();
  int Refill();
  qint64 BytesPerSecond() const { return qint64(rate_) * channels_ * (bits_ / 8); }

  TCaptureSystem* system_;
  std::vector<TCaptureDeviceInfo> devices_;
  uint8_t local_[LocalBufferSize];
  int deviceNumber_ = 0;
  int deviceCount_ = 0;
  int bits_ = 8;
  int channels_ = 1;
  int rate_ = 8000;
  int openCount_ = 0;
  qint64 bytesToRead_ = 0;
  int recTime_ = 0;
  mutable std::mutex deviceMutex_;  // InterruptRead and LostBytes come from the UI thread
  std::unique_ptr<TCaptureDevice> device_;
  std::atomic<bool> interrupt_{false};
  bool moreReady_ = false;  // the last refill left audio behind: the next one takes it at once
  mutable std::atomic<qint64> lostBytes_{0};
  mutable std::atomic<qint64> stalledMs_{0};
};
