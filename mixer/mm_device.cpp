#include "mixer/mm_device.h"

#include <QDebug>


QString MMErrorText(quint32 code)
{
  QString text = MixerBackend().ErrorText(code);
  if (text.isEmpty()) text = QStringLiteral("MMSystem error: %1").arg(static_cast<qint32>(code));
  return text;
}

quint32 CheckMMResult(quint32 result, std::initializer_list<quint32> tolerated)
{
  if (result == 0) return 0;
  for (quint32 code : tolerated)
    if (code == result) return result;
  throw EMMMCIError(static_cast<qint32>(result), MMErrorText(result));
}

void TMMDeviceCaps::Set(const TMMApiDeviceCaps& caps)
{
  manufacturerId_ = caps.ManufacturerId;
  productId_ = caps.ProductId;
  verMajor_ = static_cast<quint8>(caps.DriverVersion >> 8);
  verMinor_ = static_cast<quint8>(caps.DriverVersion);
  productName_ = caps.ProductName.left(31);
}

TMMCustomAudioDevice::TMMCustomAudioDevice(TComponent* AOwner)
    : TMMNonVisualComponent(AOwner), caps_(new TMMDeviceCaps(this))
{
  try {
    UpdateCaps();
  } catch (const Exception&) {
    deviceId_ = InvalidId;
    UpdateCaps();
  }
}

TMMCustomAudioDevice::~TMMCustomAudioDevice()
{
  // Watchers hear of the end while this object is still whole: one that
  // unhooks from it must not reach a half-destroyed object.
  BeforeDestruction();
  // Descendants close their own handles first; this only clears the flag.
  active_ = false;
}

quint32 TMMCustomAudioDevice::MixerObjectFlag(TMMDeviceKind kind)
{
  static constexpr quint32 flags[] = {0x40000000, 0x30000000, 0x20000000, 0x10000000, 0x50000000, 0};
  return flags[kind];
}

quint32 TMMCustomAudioDevice::MixerTargetType(TMMDeviceKind kind)
{
  static constexpr quint32 types[] = {4, 3, 2, 1, 5, 0};
  return types[kind];
}

int TMMCustomAudioDevice::DeviceCount() const { return static_cast<int>(MixerBackend().DeviceCount(Family(kind_))); }

bool TMMCustomAudioDevice::Mapper() const
{
  TMMApiDeviceCaps caps;
  return CheckMMResult(MixerBackend().GetDevCaps(Family(kind_), -1, caps),
                       {mmapi::MMSYSERR_BADDEVICEID, mmapi::MMSYSERR_INVALHANDLE}) == 0;
}

TMMDeviceId TMMCustomAudioDevice::GetMixerId() const
{
  int mixer = -1;
  if (CheckMMResult(MixerBackend().GetMixerId(Family(kind_), deviceId_, mixer), {mmapi::MMSYSERR_NODRIVER}) != 0)
    mixer = -1;
  return mixer == -1 ? InvalidId : mixer;
}

void TMMCustomAudioDevice::UpdateCaps()
{
  if (!IsValid()) {
    caps_->Clear();
    return;
  }
  TMMApiDeviceCaps caps;
  CheckMMResult(MixerBackend().GetDevCaps(Family(kind_), deviceId_, caps));
  caps_->Set(caps);
}

void TMMCustomAudioDevice::SetActive(bool value)
{
  if (DeviceWorkDeferred()) {
    streamedActive_ = value;
    return;
  }
  if (value == active_) return;
  Close();
  if (value) Open();
}

void TMMCustomAudioDevice::Loaded()
{
  TMMNonVisualComponent::Loaded();
  if (IsDesigning() || active_ == streamedActive_) return;
  // A machine without the device (no sound server, no card) must not keep
  // the window that holds it from coming up: the device stays closed and
  // whatever is bound to it shows itself unusable.
  try {
    SetActive(streamedActive_);
  } catch (const Exception& e) {
    qWarning().noquote() << Name() << "stays closed:" << e.Message();
  }
}

void TMMCustomAudioDevice::SetDeviceId(TMMDeviceId value)
{
  if (value != 0 && value != MapperId && value != InvalidId && (value < 0 || value >= DeviceCount()))
    throw EMMDeviceError(QStringLiteral("Device id is out of range"));
  if (value == deviceId_) return;
  const bool wasActive = active_;
  Close();
  deviceId_ = value;
  DeviceChanged();
  if (wasActive) SetActive(true);
}

void TMMCustomAudioDevice::SetDeviceKind(TMMDeviceKind kind)
{
  if (kind == kind_) return;
  Close();
  kind_ = kind;
  deviceId_ = 0;
  DeviceChanged();
}

void TMMCustomAudioDevice::Open() { active_ = true; }
void TMMCustomAudioDevice::Close() { active_ = false; }

void TMMCustomAudioDevice::DeviceChanged()
{
  UpdateCaps();
  NotifyChange();
}

void TMMCustomAudioDevice::NotifyChange()
{
  TMMDeviceChange change;
  observable_.NotifyObservers(&change);
  DoDeviceChange();
}

void TMMCustomAudioDevice::DoDeviceChange()
{
  if (onChange_) onChange_(this);
}
