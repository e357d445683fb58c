// The mixer back-end over the ALSA mixer API.
//
// Mixer 0 is the system's default mixer (ALSA "default": the sound server's
// when one runs), then one mixer per sound card ("hw:N"). Each mixer shows
//   destination 0: playback, speakers type, line 0xFFFF0000, controls from the
//                  "Master" element;
//   destination 1: recording, wave-in type, line 0xFFFF0001, controls from the
//                  "Capture" element, plus a mux over the card's capture
//                  source element where it has one;
// and source lines for the remaining simple elements (playback parts under
// destination 0, capture parts under destination 1, other enumerated elements
// as single-select lines under destination 0). Volumes are unsigned 0..65535,
// switches are mute controls (muted = switch off). Identifiers stay fixed for
// the life of the back-end.
//
// Changes made by anyone (other programs, this one) arrive through the
// mixer's poll descriptors, watched in the Qt event loop while a handle is
// open, and are posted to the handle's callback window as line and control
// change reports. A removed element takes its controls and source lines with
// it; a device or sound server that goes away (the descriptor hangs up, or
// reading events fails) takes every line: in both cases the lines are
// reported as changed and the watching stops. Device counts: wave in/out are the default device (when
// mixer 0 exists) plus each card's PCM devices; MIDI in/out each card's raw
// MIDI devices; there are no auxiliary devices.
#pragma once

#include "platform/mixer_backend.h"

#include <memory>

class TAlsaMixerBackend : public TMixerBackend {
public:
  struct Options {
    QString DefaultDevice = QStringLiteral("default");  // empty: no default mixer
    bool Cards = true;                                   // one mixer per sound card
  };
  TAlsaMixerBackend();
  explicit TAlsaMixerBackend(Options options);
  ~TAlsaMixerBackend() override;

  quint32 DeviceCount(TMMDeviceFamily family) override;
  void Rescan() override;
  quint32 GetDevCaps(TMMDeviceFamily family, int deviceId, TMMApiDeviceCaps& caps) override;
  quint32 GetMixerId(TMMDeviceFamily family, int deviceId, int& mixerId) override;
  quint32 GetMixerIdOfHandle(quintptr handle, int& mixerId) override;
  QString ErrorText(quint32 code) override;
  quint32 Open(int mixerId, TComponent* callbackWindow, quintptr& handle) override;
  quint32 Close(quintptr handle) override;
  quint32 GetLineInfo(int mixerId, TMMLineQuery query, TMMApiLine& line) override;
  quint32 GetControlById(int mixerId, quint32 controlId, TMMApiControl& control, quint32& lineId) override;
  quint32 GetControlByType(int mixerId, quint32 lineId, quint32 controlType, TMMApiControl& control) override;
  quint32 GetLineControls(int mixerId, quint32 lineId, std::vector<TMMApiControl>& controls) override;
  quint32 GetControlValues(int mixerId, quint32 controlId, quint32 channels, quint32 items, quint32* values) override;
  quint32 SetControlValues(int mixerId, quint32 controlId, quint32 channels, quint32 items,
                           const quint32* values) override;
  quint32 GetListTexts(int mixerId, quint32 controlId, quint32 channels, quint32 items,
                       std::vector<TMMApiListText>& texts) override;

  // Poll descriptors watched for change reports now (none once a device went away).
  int WatchedDescriptors() const;
  // The ALSA device name of a mixer ("default", "hw:0"), empty when none.
  QString MixerDeviceName(int mixerId);

  struct Impl;

private:
  std::unique_ptr<Impl> d;
};
