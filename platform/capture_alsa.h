// ALSA capture: a capture thread reads the PCM device and fills the looping
// buffer; the device table lists the capture-capable PCMs, "default" first.
#pragma once

#include "platform/capture_device.h"

class TAlsaCaptureSystem : public TCaptureSystem {
public:
  TAlsaCaptureSystem();
  std::vector<TCaptureDeviceInfo> Devices() override;
  TCaptureResult Open(const TCaptureDeviceInfo& device, std::unique_ptr<TCaptureDevice>& out) override;
};
