#include "mixer/mm_mixer.h"

#include "toolkit/component.h"

#include <QDebug>

using namespace mmapi;

void TMMMixerCallbackWindow::WndProc(TMessage& Message)
{
  if (mixer_)
    mixer_->MixerWndProc(Message);
  else
    DefaultHandler(Message);
}

TMMMixerDevice::TMMMixerDevice(TComponent* AOwner) : TMMCustomAudioDevice(AOwner)
{
  deviceObserver_.OnNotify = [this](TMMObserver*, QObject*) { DeviceChanged(); };
  try {
    SetDeviceKind(dkMixer);
  } catch (const Exception&) {
    SetDeviceIdDirect(InvalidId);
    UpdateCaps();
  }
}

TMMMixerDevice::~TMMMixerDevice()
{
  BeforeDestruction();
  if (device_) {
    device_->RemoveObserver(&deviceObserver_);
    device_->RemoveFreeNotification(this);
    device_ = nullptr;
  }
  try {
    Close();
  } catch (const Exception& e) {
    qWarning().noquote() << "mixer:" << e.Message();
  }
}

void TMMMixerDevice::SetDevice(TMMCustomAudioDevice* value)
{
  if (value && value->DeviceKind() == dkMixer)
    throw EMMMixerDeviceError(QStringLiteral("Mixer can't reference mixer"));
  if (value == device_) return;
  const bool wasActive = Active();
  Close();
  if (device_) {
    device_->RemoveObserver(&deviceObserver_);
    device_->RemoveFreeNotification(this);
  }
  device_ = value;
  if (device_) {
    device_->AddObserver(&deviceObserver_);
    device_->FreeNotification(this);
  }
  DeviceChanged();
  SetActive(wasActive);
}

void TMMMixerDevice::Notification(TComponent* AComponent, TOperation Operation)
{
  TMMCustomAudioDevice::Notification(AComponent, Operation);
  if (Operation == TOperation::opRemove && AComponent && AComponent == device_) SetDevice(nullptr);
}

bool TMMMixerDevice::StoredDeviceId() const
{
  if (!device_) return DeviceId() != 0;
  try {
    return device_->GetMixerId() != const_cast<TMMMixerDevice*>(this)->MixerId();
  } catch (const Exception&) {
    return true;
  }
}

int TMMMixerDevice::Destinations() const
{
  if (!IsValid()) return 0;
  TMMApiDeviceCaps caps;
  CheckMMResult(MixerBackend().GetDevCaps(TMMDeviceFamily::Mixer, DeviceId(), caps));
  return static_cast<int>(caps.Destinations);
}

void TMMMixerDevice::Open()
{
  if (!IsValid()) throw EMMMixerDeviceError(QStringLiteral("Device not valid"));
  window_ = new TMMMixerCallbackWindow(this);
  quintptr handle = 0;
  try {
    CheckMMResult(MixerBackend().Open(DeviceId(), window_, handle));
  } catch (const EMMMCIError&) {
    // Lines and controls still work by mixer number; only the reports are lost.
    ReleaseWindow();
    return;
  }
  handle_ = handle;
  TMMCustomAudioDevice::Open();
}

void TMMMixerDevice::Close()
{
  quint32 result = 0;
  if (handle_) {
    result = MixerBackend().Close(handle_);
    handle_ = 0;
  }
  ReleaseWindow();
  TMMCustomAudioDevice::Close();
  CheckMMResult(result);
}

void TMMMixerDevice::ReleaseWindow()
{
  if (!window_) return;
  // Later, not now: a change handler may close the mixer from inside the
  // window's own message.
  window_->Detach();
  window_->deleteLater();
  window_ = nullptr;
}

void TMMMixerDevice::DeviceChanged()
{
  if (device_) {
    const TMMDeviceId mixer = device_->GetMixerId();
    if (mixer != DeviceId()) {
      // The checked setter closes, re-reads, notifies and reopens.
      SetDeviceId(mixer);
      return;
    }
  }
  TMMCustomAudioDevice::DeviceChanged();
}

void TMMMixerDevice::NotifyChange()
{
  TMMDeviceChange change;
  mixerObservable_.NotifyObservers(&change);
  TMMCustomAudioDevice::NotifyChange();
}

void TMMMixerDevice::LineChange(TMMLineId LineId)
{
  {
    TMMLineChange change(LineId);
    mixerObservable_.NotifyObservers(&change);
  }
  DoLineChange(LineId);
}

void TMMMixerDevice::ControlChange(TMMControlId CtlId)
{
  const TMMLineId lineId = GetLineOfControl(CtlId);
  {
    TMMControlChange change(lineId, CtlId);
    mixerObservable_.NotifyObservers(&change);
  }
  DoControlChange(lineId, CtlId);
}

void TMMMixerDevice::DoLineChange(TMMLineId LineId)
{
  if (onLineChange_) onLineChange_(this, LineId);
}

void TMMMixerDevice::DoControlChange(TMMLineId LineId, TMMControlId CtlId)
{
  if (onControlChange_) onControlChange_(this, LineId, CtlId);
}

void TMMMixerDevice::MixerWndProc(TMessage& Message)
{
  // Reported like any error of an event handler; the message loop goes on.
  Guarded([&] {
    const bool ours = handle_ && static_cast<quintptr>(Message.WParam) == handle_;
    const auto id = static_cast<qint32>(static_cast<quint32>(Message.LParam));
    if (ours && Message.Msg == MM_MIXM_LINE_CHANGE)
      LineChange(id);
    else if (ours && Message.Msg == MM_MIXM_CONTROL_CHANGE)
      ControlChange(id);
    else
      window_->DefaultHandler(Message);
  });
}

TMMDeviceId TMMMixerDevice::MixerId()
{
  if (!handle_) return DeviceId();
  int mixer = 0;
  CheckMMResult(MixerBackend().GetMixerIdOfHandle(handle_, mixer));
  if (mixer != DeviceId()) {
    SetDeviceIdDirect(mixer);
    NotifyChange();
  }
  return mixer;
}

bool TMMMixerDevice::LineQuery(TMMLineQuery query, TMMApiLine& line)
{
  return CheckMMResult(MixerBackend().GetLineInfo(MixerId(), query, line),
                       {MIXERR_INVALLINE, MMSYSERR_NODRIVER, MMSYSERR_INVALPARAM}) == 0;
}

bool TMMMixerDevice::GetLineInfoById(TMMLineId LineId, TMMApiLine& Line)
{
  Line = {};
  Line.LineId = static_cast<quint32>(LineId);
  return LineQuery(TMMLineQuery::ById, Line);
}

bool TMMMixerDevice::GetLineInfoByComponentType(TMMComponentType Type, TMMApiLine& Line)
{
  Line = {};
  Line.ComponentType = mm::ComponentTypeToApi(Type);
  return LineQuery(TMMLineQuery::ByComponentType, Line);
}

bool TMMMixerDevice::GetLineInfoBySource(int DestIndex, int SourceIndex, TMMApiLine& Line)
{
  Line = {};
  Line.Destination = static_cast<quint32>(DestIndex);
  Line.Source = static_cast<quint32>(SourceIndex);
  return LineQuery(TMMLineQuery::BySource, Line);
}

TMMApiLineTarget TMMMixerDevice::TargetOf(TMMCustomAudioDevice* device)
{
  TMMApiLineTarget target;
  target.Type = MixerTargetType(device->DeviceKind());
  target.ManufacturerId = static_cast<quint16>(device->DeviceCaps()->ManufacturerId());
  target.ProductId = static_cast<quint16>(device->DeviceCaps()->ProductId());
  target.DriverVersion = static_cast<quint32>(device->DeviceCaps()->VerMajor() * 256 + device->DeviceCaps()->VerMinor());
  target.ProductName = device->DeviceCaps()->ProductName().left(32);
  return target;
}

bool TMMMixerDevice::GetLineInfoByTarget(TMMCustomAudioDevice* Target, TMMApiLine& Line)
{
  Line = {};
  if (!Target) return false;
  Line.Target = TargetOf(Target);
  return LineQuery(TMMLineQuery::ByTargetType, Line);
}

bool TMMMixerDevice::GetControlById(TMMControlId ControlId, TMMApiControl& Control)
{
  quint32 lineId = 0;
  Control = {};
  return CheckMMResult(MixerBackend().GetControlById(MixerId(), static_cast<quint32>(ControlId), Control, lineId),
                       {MIXERR_INVALCONTROL, MIXERR_INVALLINE, MMSYSERR_NODRIVER}) == 0;
}

bool TMMMixerDevice::GetControlByType(TMMLineId LineId, TMMControlType Type, TMMApiControl& Control)
{
  Control = {};
  return CheckMMResult(MixerBackend().GetControlByType(MixerId(), static_cast<quint32>(LineId),
                                                       mm::ControlTypeToApi(Type), Control),
                       {MIXERR_INVALCONTROL, MIXERR_INVALLINE, MMSYSERR_NODRIVER}) == 0;
}

TMMLineId TMMMixerDevice::GetLineOfControl(TMMControlId ControlId)
{
  TMMApiControl control;
  quint32 lineId = 0;
  CheckMMResult(MixerBackend().GetControlById(MixerId(), static_cast<quint32>(ControlId), control, lineId));
  return static_cast<TMMLineId>(lineId);
}

void TMMMixerDevice::GetValues(TMMControlId ControlId, int Channels, int Items, quint32* Values)
{
  const int n = mm::Max(Channels, 1) * mm::Max(Items, 1);
  std::vector<quint32> block(static_cast<size_t>(n), 0);
  CheckMMResult(MixerBackend().GetControlValues(MixerId(), static_cast<quint32>(ControlId),
                                                static_cast<quint32>(mm::Max(Channels, 0)),
                                                static_cast<quint32>(mm::Max(Items, 0)), block.data()));
  std::copy(block.begin(), block.end(), Values);
}

void TMMMixerDevice::SetValues(TMMControlId ControlId, int Channels, int Items, const quint32* Values)
{
  CheckMMResult(MixerBackend().SetControlValues(MixerId(), static_cast<quint32>(ControlId),
                                                static_cast<quint32>(mm::Max(Channels, 0)),
                                                static_cast<quint32>(mm::Max(Items, 0)), Values));
}

void TMMMixerDevice::GetBooleanValues(TMMControlId ControlId, int Channels, int Items, bool* Values)
{
  std::vector<quint32> block(static_cast<size_t>(mm::Max(Channels, 1) * mm::Max(Items, 1)));
  GetValues(ControlId, Channels, Items, block.data());
  for (size_t i = 0; i < block.size(); ++i) Values[i] = block[i] != 0;
}

void TMMMixerDevice::SetBooleanValues(TMMControlId ControlId, int Channels, int Items, const bool* Values)
{
  std::vector<quint32> block(static_cast<size_t>(mm::Max(Channels, 1) * mm::Max(Items, 1)));
  for (size_t i = 0; i < block.size(); ++i) block[i] = Values[i] ? 1 : 0;
  SetValues(ControlId, Channels, Items, block.data());
}

void TMMMixerDevice::GetSignedValues(TMMControlId ControlId, int Channels, int Items, qint32* Values)
{
  GetValues(ControlId, Channels, Items, reinterpret_cast<quint32*>(Values));
}

void TMMMixerDevice::SetSignedValues(TMMControlId ControlId, int Channels, int Items, const qint32* Values)
{
  SetValues(ControlId, Channels, Items, reinterpret_cast<const quint32*>(Values));
}

void TMMMixerDevice::GetUnsignedValues(TMMControlId ControlId, int Channels, int Items, quint32* Values)
{
  GetValues(ControlId, Channels, Items, Values);
}

void TMMMixerDevice::SetUnsignedValues(TMMControlId ControlId, int Channels, int Items, const quint32* Values)
{
  SetValues(ControlId, Channels, Items, Values);
}

std::vector<TMMApiListText> TMMMixerDevice::GetListTexts(TMMControlId ControlId, int Channels, int Items)
{
  std::vector<TMMApiListText> texts;
  CheckMMResult(MixerBackend().GetListTexts(MixerId(), static_cast<quint32>(ControlId),
                                            static_cast<quint32>(mm::Max(Channels, 0)),
                                            static_cast<quint32>(mm::Max(Items, 0)), texts));
  return texts;
}
