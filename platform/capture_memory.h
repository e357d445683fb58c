// In-memory capture for tests: exact data on a virtual clock. Each Wait(ms)
// captures, at once, what the device would have captured in `ms` (or what
// Schedule says), so a test controls every byte and every stall.
#pragma once

#include "platform/capture_device.h"
#include "platform/capture_ring.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>

class TMemoryCaptureSystem : public TCaptureSystem {
public:
  TMemoryCaptureSystem();

  std::vector<TCaptureDeviceInfo> DeviceList;
  TCaptureResult OpenResult = TCaptureResult::Ok;
  TCaptureResult CreateResult = TCaptureResult::Ok;
  // Fills `count` bytes of the captured stream from byte `offset` on.
  // Default: byte i of the stream is i modulo 251.
  std::function<void(uint64_t offset, uint8_t* out, uint32_t count)> Source;
  // Bytes captured during the `index`-th Wait (from 0) of `ms` milliseconds.
  // Default: `ms` of audio in the buffer's format, whole frames.
  std::function<uint32_t(int index, int ms, const TCaptureFormat& format)> Schedule;
  // The device fails for good at this Wait (counted from 0); -1: never.
  int FailAtWait = -1;
  // Wait really waits (until Wake), for measurements in real time.
  bool RealTime = false;
  QString FailMessage = QStringLiteral("the capture device was removed");

  // What the devices were asked, for the tests to check.
  std::atomic<int> Opens{0}, Closes{0}, Starts{0}, Stops{0}, Waits{0};
  std::atomic<int> WaitedMs{0};
  TCaptureFormat LastFormat;
  uint32_t LastBufferBytes = 0;
  QByteArray LastDeviceId;

  std::vector<TCaptureDeviceInfo> Devices() override { return DeviceList; }
  TCaptureResult Open(const TCaptureDeviceInfo& device, std::unique_ptr<TCaptureDevice>& out) override;
};

class TMemoryCaptureDevice : public TCaptureDevice {
public:
  explicit TMemoryCaptureDevice(TMemoryCaptureSystem& system) : system_(system) {}
  ~TMemoryCaptureDevice() override;

  TCaptureResult CreateBuffer(const TCaptureFormat& format, uint32_t bytes) override;
  TCaptureResult Start() override;
  TCaptureResult Stop() override;
  TCaptureResult BytesReady(uint32_t& ready) override;
  TCaptureResult Read(void* destination, uint32_t count) override;
  uint32_t BufferSize() const override { return ring_.Size(); }
  void Wait(int ms) override;
  void Wake() override;
  QString Failure() const override;
  uint64_t LostBytes() const override { return ring_.Lost(); }

private:
  TMemoryCaptureSystem& system_;
  TCaptureRing ring_;
  TCaptureFormat format_;
  bool created_ = false;
  bool running_ = false;
  std::atomic<bool> failed_{false};
  uint64_t produced_ = 0;
  std::mutex waitMutex_;
  std::condition_variable waitCv_;
  bool woken_ = false;
  int waits_ = 0;
};
