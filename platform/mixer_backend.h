// The system's audio mixer and multimedia device families, as the mixer model
// sees them. Shaped after the classic multimedia mixer interface: mixers are
// named by number, lines and controls by 32-bit identifiers that stay stable
// while the back-end lives, values are arrays of 32-bit numbers laid out item
// by item, each item holding its channels in order. Every call answers with a
// result code (0 success, mmapi codes otherwise).
//
// Change reports: a mixer opened with a callback window posts
// MM_MIXM_LINE_CHANGE / MM_MIXM_CONTROL_CHANGE (WParam = handle, LParam = line
// or control identifier) to it; they are handled on the UI thread.
//
// Two implementations: TAlsaMixerBackend (mixer_alsa.h) over the ALSA mixer
// and TMemoryMixerBackend (mixer_memory.h) for tests.
#pragma once

#include <QString>
#include <QtGlobal>
#include <memory>
#include <vector>

class TComponent;

namespace mmapi {
enum : quint32 {
  MMSYSERR_NOERROR = 0,
  MMSYSERR_ERROR = 1,
  MMSYSERR_BADDEVICEID = 2,
  MMSYSERR_NOTENABLED = 3,
  MMSYSERR_ALLOCATED = 4,
  MMSYSERR_INVALHANDLE = 5,
  MMSYSERR_NODRIVER = 6,
  MMSYSERR_NOMEM = 7,
  MMSYSERR_NOTSUPPORTED = 8,
  MMSYSERR_INVALFLAG = 10,
  MMSYSERR_INVALPARAM = 11,
  MIXERR_INVALLINE = 1024,
  MIXERR_INVALCONTROL = 1025,
  MIXERR_INVALVALUE = 1026,
};

constexpr quint32 MM_MIXM_LINE_CHANGE = 0x3D0;
constexpr quint32 MM_MIXM_CONTROL_CHANGE = 0x3D1;

// Line flags.
constexpr quint32 MIXERLINE_LINEF_ACTIVE = 0x00000001;
constexpr quint32 MIXERLINE_LINEF_DISCONNECTED = 0x00008000;
constexpr quint32 MIXERLINE_LINEF_SOURCE = 0x80000000;

// Line component types (the ones the back-ends hand out; the model knows all).
constexpr quint32 COMPONENTTYPE_DST_SPEAKERS = 0x0004;
constexpr quint32 COMPONENTTYPE_DST_WAVEIN = 0x0007;
constexpr quint32 COMPONENTTYPE_SRC_UNDEFINED = 0x1000;
constexpr quint32 COMPONENTTYPE_SRC_DIGITAL = 0x1001;
constexpr quint32 COMPONENTTYPE_SRC_LINE = 0x1002;
constexpr quint32 COMPONENTTYPE_SRC_MICROPHONE = 0x1003;
constexpr quint32 COMPONENTTYPE_SRC_SYNTHESIZER = 0x1004;
constexpr quint32 COMPONENTTYPE_SRC_COMPACTDISC = 0x1005;
constexpr quint32 COMPONENTTYPE_SRC_TELEPHONE = 0x1006;
constexpr quint32 COMPONENTTYPE_SRC_PCSPEAKER = 0x1007;
constexpr quint32 COMPONENTTYPE_SRC_WAVEOUT = 0x1008;
constexpr quint32 COMPONENTTYPE_SRC_AUXILIARY = 0x1009;
constexpr quint32 COMPONENTTYPE_SRC_ANALOG = 0x100A;

// Line target types.
constexpr quint32 TARGETTYPE_UNDEFINED = 0;
constexpr quint32 TARGETTYPE_WAVEOUT = 1;
constexpr quint32 TARGETTYPE_WAVEIN = 2;
constexpr quint32 TARGETTYPE_MIDIOUT = 3;
constexpr quint32 TARGETTYPE_MIDIIN = 4;
constexpr quint32 TARGETTYPE_AUX = 5;

// Control types and flags (the ones the back-ends hand out).
constexpr quint32 CONTROLTYPE_VOLUME = 0x50030001;
constexpr quint32 CONTROLTYPE_MUTE = 0x20010002;
constexpr quint32 CONTROLTYPE_PAN = 0x40020001;
constexpr quint32 CONTROLTYPE_PEAKMETER = 0x10020001;
constexpr quint32 CONTROLTYPE_MUX = 0x70010001;
constexpr quint32 CONTROLTYPE_SINGLESELECT = 0x70010000;
constexpr quint32 CONTROLTYPE_MIXER = 0x71010001;
constexpr quint32 CONTROLF_UNIFORM = 0x00000001;
constexpr quint32 CONTROLF_MULTIPLE = 0x00000002;
constexpr quint32 CONTROLF_DISABLED = 0x80000000;

// Object flag of mixerGetID for a mixer handle.
constexpr quint32 MIXER_OBJECTF_HMIXER = 0x80000000;

// Standard text for a result code; empty when there is none.
QString StandardErrorText(quint32 code);
} // namespace mmapi

// Device families, numbered as the mixer model's DeviceKind.
enum class TMMDeviceFamily { MidiIn = 0, MidiOut = 1, WaveIn = 2, WaveOut = 3, Aux = 4, Mixer = 5 };

struct TMMApiDeviceCaps {
  quint16 ManufacturerId = 0;
  quint16 ProductId = 0;
  quint32 DriverVersion = 0;  // major in bits 8..15, minor in bits 0..7
  QString ProductName;        // at most 31 characters
  quint32 Destinations = 0;   // mixers only
};

struct TMMApiLineTarget {
  quint32 Type = mmapi::TARGETTYPE_UNDEFINED;
  quint32 DeviceId = 0;
  quint16 ManufacturerId = 0;
  quint16 ProductId = 0;
  quint32 DriverVersion = 0;
  QString ProductName;
};

struct TMMApiLine {
  quint32 Destination = 0;  // destination index (of the line, or of a source's destination)
  quint32 Source = 0;       // source index under its destination
  quint32 LineId = 0;
  quint32 Flags = 0;
  quint32 ComponentType = 0;
  quint32 Channels = 0;
  quint32 Connections = 0;  // sources under a destination
  quint32 Controls = 0;
  QString ShortName;        // at most 16 characters
  QString Name;             // at most 64 characters
  TMMApiLineTarget Target;
};

struct TMMApiControl {
  quint32 ControlId = 0;
  quint32 ControlType = 0;
  quint32 Flags = 0;
  quint32 MultipleItems = 0;
  QString ShortName;
  QString Name;
  qint32 Minimum = 0;
  qint32 Maximum = 0;
  quint32 Steps = 0;
};

struct TMMApiListText {
  quint32 Param1 = 0;  // selectors: identifier of the source line of the item
  quint32 Param2 = 0;
  QString Name;
};

// How GetLineInfo finds the line; the matching input fields of the record are
// read: Destination; Destination and Source; LineId; ComponentType; Target.
enum class TMMLineQuery { ByDestination = 0, BySource = 1, ById = 2, ByComponentType = 3, ByTargetType = 4 };

class TMixerBackend {
public:
  virtual ~TMixerBackend() = default;

  virtual quint32 DeviceCount(TMMDeviceFamily family) = 0;
  // Looks for the devices again at the next question, when none is held
  // open (a sound server that started or came back since).
  virtual void Rescan() {}
  // Device -1 is the family's mapper; MMSYSERR_BADDEVICEID when there is none.
  virtual quint32 GetDevCaps(TMMDeviceFamily family, int deviceId, TMMApiDeviceCaps& caps) = 0;
  // Number of the mixer that serves the device (-1 when none).
  virtual quint32 GetMixerId(TMMDeviceFamily family, int deviceId, int& mixerId) = 0;
  virtual quint32 GetMixerIdOfHandle(quintptr handle, int& mixerId) = 0;
  // Text of a result code; empty when the back-end has none.
  virtual QString ErrorText(quint32 code) = 0;

  // Opens mixer `mixerId`; change reports are posted to `callbackWindow`
  // until Close. A handle is never 0.
  virtual quint32 Open(int mixerId, TComponent* callbackWindow, quintptr& handle) = 0;
  virtual quint32 Close(quintptr handle) = 0;

  virtual quint32 GetLineInfo(int mixerId, TMMLineQuery query, TMMApiLine& line) = 0;
  // One control by identifier; `lineId` receives the line that owns it.
  virtual quint32 GetControlById(int mixerId, quint32 controlId, TMMApiControl& control, quint32& lineId) = 0;
  // The first control of the line with that type.
  virtual quint32 GetControlByType(int mixerId, quint32 lineId, quint32 controlType, TMMApiControl& control) = 0;
  // Every control of the line, in order.
  virtual quint32 GetLineControls(int mixerId, quint32 lineId, std::vector<TMMApiControl>& controls) = 0;

  // `channels` is 1 (all channels as one: a get answers the highest, a set
  // writes every channel) or the line's channel count for a control that is
  // not uniform; `items` is 0 for a single-item control and the control's
  // item count otherwise. `values` holds max(channels,1) * max(items,1) numbers.
  virtual quint32 GetControlValues(int mixerId, quint32 controlId, quint32 channels, quint32 items, quint32* values) = 0;
  virtual quint32 SetControlValues(int mixerId, quint32 controlId, quint32 channels, quint32 items,
                                   const quint32* values) = 0;
  // max(channels,1) * items entries, item by item.
  virtual quint32 GetListTexts(int mixerId, quint32 controlId, quint32 channels, quint32 items,
                               std::vector<TMMApiListText>& texts) = 0;
};

// The back-end the mixer model uses; the ALSA one unless replaced.
TMixerBackend& MixerBackend();
// Installs a back-end (null: the ALSA one again, created on next use) and
// returns the previous one.
std::unique_ptr<TMixerBackend> SetMixerBackend(std::unique_ptr<TMixerBackend> backend);
