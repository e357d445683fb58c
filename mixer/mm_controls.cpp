#include "mixer/mm_controls.h"

using mm::InMinMaxRange;
using mm::Max;
using mm::Min;

// ---------------------------------------------------------------- control info

void TMMControlInfo::Set(const TMMApiControl& control)
{
  Set(mm::ControlFlagsFromApi(control.Flags), static_cast<TMMItemIndex>(control.MultipleItems), control.ShortName,
      control.Name, control.Minimum, control.Maximum, static_cast<qint32>(control.Steps));
}

void TMMControlInfo::Set(TMMControlFlags flags, TMMItemIndex items, const QString& shortName, const QString& name,
                         qint32 minValue, qint32 maxValue, qint32 steps)
{
  flags_ = flags;
  multipleItems_ = items;
  shortName_ = shortName.left(16);
  name_ = name.left(64);
  minValue_ = minValue;
  maxValue_ = maxValue;
  steps_ = steps;
}

// ---------------------------------------------------------------- custom mixer control

TMMCustomMixerControl::TMMCustomMixerControl(TComponent* AOwner)
    : TMMNonVisualComponent(AOwner), info_(new TMMControlInfo(this))
{
  lineObserver_.OnNotify = [this](TMMObserver*, QObject* data) { LineNotify(data); };
}

TMMCustomMixerControl::~TMMCustomMixerControl()
{
  // Watchers hear of the end while this object is still whole: one that
  // unhooks from it must not reach a half-destroyed object.
  BeforeDestruction();
  if (line_) line_->RemoveFreeNotification(this);
}

void TMMCustomMixerControl::LineNotify(QObject* data)
{
  if (auto* change = qobject_cast<TMMControlChange*>(data)) {
    if (line_ && change->LineId == line_->LineId() && change->ControlId == controlId_) ControlChanged();
  } else if (qobject_cast<TMMLineIdChange*>(data)) {
    UpdateControl();
  }
}

void TMMCustomMixerControl::SetAudioLine(TMMAudioLine* value)
{
  if (value == line_) return;
  if (line_) {
    line_->RemoveObserver(&lineObserver_);
    line_->RemoveFreeNotification(this);
  }
  line_ = value;
  if (line_) {
    line_->AddObserver(&lineObserver_);
    line_->FreeNotification(this);
  }
  UpdateControl();
}

void TMMCustomMixerControl::SetControlId(TMMControlId value)
{
  if (value == controlId_) return;
  controlId_ = value;
  controlMode_ = cmById;
  UpdateControl();
}

void TMMCustomMixerControl::SetControlType(TMMControlType value)
{
  if (value == controlType_) return;
  controlType_ = value;
  controlMode_ = cmByType;
  UpdateControl();
}

void TMMCustomMixerControl::Loaded()
{
  TMMNonVisualComponent::Loaded();
  UpdateControl();
}

void TMMCustomMixerControl::Notification(TComponent* AComponent, TOperation Operation)
{
  TMMNonVisualComponent::Notification(AComponent, Operation);
  if (Operation == TOperation::opRemove && AComponent && AComponent == line_) SetAudioLine(nullptr);
}

TMMMixerDevice* TMMCustomMixerControl::Mixer() const
{
  return line_ && line_->IsMixerValid() ? line_->Mixer() : nullptr;
}

bool TMMCustomMixerControl::LineAvailable() const { return Mixer() && line_->LineId() != badLineId; }

bool TMMCustomMixerControl::IsAvailable() const { return LineAvailable() && controlId_ != badControlId; }

bool TMMCustomMixerControl::AcceptControl(const TMMApiControl&) const { return true; }

int TMMCustomMixerControl::Channels() const
{
  if (!Mixer()) return 0;
  if (info_->Flags().testFlag(cfUniform)) return 1;
  return line_->LineInfo()->Channels();
}

int TMMCustomMixerControl::Items() const { return Mixer() ? info_->MultipleItems() : 0; }

void TMMCustomMixerControl::LookUpControl()
{
  if (LineAvailable()) {
    TMMMixerDevice* mixer = Mixer();
    TMMApiControl record;
    const bool found = controlMode_ == cmById ? mixer->GetControlById(controlId_, record)
                                              : mixer->GetControlByType(line_->LineId(), controlType_, record);
    if (found && AcceptControl(record)) {
      controlId_ = static_cast<TMMControlId>(record.ControlId);
      controlType_ = mm::ControlTypeFromApi(record.ControlType);
      apiType_ = record.ControlType;
      info_->Set(record);
    } else {
      controlId_ = badControlId;
      apiType_ = 0;
      info_->Clear();
    }
  }
  controlClass_ = mm::ControlClassOf(controlType_);
}

void TMMCustomMixerControl::UpdateControl()
{
  if (DeviceWorkDeferred()) {
    controlClass_ = mm::ControlClassOf(controlType_);
    return;
  }
  LookUpControl();
  NotifyControlIdChange();
}

void TMMCustomMixerControl::ControlChanged()
{
  {
    TMMControlChange change(LineAvailable() ? line_->LineId() : badLineId, controlId_);
    observable_.NotifyObservers(&change);
  }
  DoChange();
}

void TMMCustomMixerControl::NotifyControlIdChange()
{
  TMMControlIdChange change;
  observable_.NotifyObservers(&change);
}

void TMMCustomMixerControl::DoChange()
{
  if (onChange_) onChange_(this);
}

void TMMCustomMixerControl::CheckControl() const
{
  if (!Mixer()) throw EMMDeviceError(QStringLiteral("Mixer required for this operation"));
  if (controlId_ == badControlId) throw EMMDeviceError(QStringLiteral("Control not valid"));
}

// ---------------------------------------------------------------- value access

bool TMMCustomMixerControl::GetBoolean()
{
  CheckControl();
  bool value = false;
  Mixer()->GetBooleanValues(controlId_, Min(Channels(), 1), 0, &value);
  return value;
}

void TMMCustomMixerControl::SetBoolean(bool Value)
{
  CheckControl();
  Mixer()->SetBooleanValues(controlId_, Min(Channels(), 1), 0, &Value);
}

quint32 TMMCustomMixerControl::GetUnsigned()
{
  CheckControl();
  quint32 value = 0;
  Mixer()->GetUnsignedValues(controlId_, Min(Channels(), 1), 0, &value);
  return value;
}

void TMMCustomMixerControl::SetUnsigned(quint32 Value)
{
  CheckControl();
  Mixer()->SetUnsignedValues(controlId_, Min(Channels(), 1), 0, &Value);
}

qint32 TMMCustomMixerControl::GetSigned()
{
  CheckControl();
  qint32 value = 0;
  Mixer()->GetSignedValues(controlId_, Min(Channels(), 1), 0, &value);
  return value;
}

void TMMCustomMixerControl::SetSigned(qint32 Value)
{
  CheckControl();
  Mixer()->SetSignedValues(controlId_, Min(Channels(), 1), 0, &Value);
}

int TMMCustomMixerControl::ValueIndex(TMMChannel Channel, TMMItemIndex Item) const
{
  const int k = Channels();
  if (k <= 1 || Channel == chBoth) return Max(Item, 0);
  const int index = Max(k, 1) * Max(Item, 0);
  return Channel == chLeft ? index : index + 1;
}

TMMCustomMixerControl::Request TMMCustomMixerControl::PrepareValueAccess(TMMChannel Channel, TMMItemIndex Item) const
{
  CheckControl();
  Request r;
  r.Channels = Channel == chBoth ? Min(Channels(), 1) : Channels();
  r.Items = 0;
  if (Item != NoItem) {
    if (!InMinMaxRange(Item, 0, Items() - 1)) throw EMMMixerControlError(QStringLiteral("Item index out of range"));
    r.Items = Items();
  }
  r.Index = ValueIndex(Channel, Item);
  return r;
}

std::vector<quint32> TMMCustomMixerControl::ReadValues(const Request& r, bool boolean)
{
  const size_t n = static_cast<size_t>(Max(r.Channels, 1) * Max(r.Items, 1));
  std::vector<quint32> values(n, 0);
  if (boolean) {
    std::unique_ptr<bool[]> flags(new bool[n]());
    Mixer()->GetBooleanValues(controlId_, r.Channels, r.Items, flags.get());
    for (size_t i = 0; i < n; ++i) values[i] = flags[i] ? 1 : 0;
  } else {
    Mixer()->GetUnsignedValues(controlId_, r.Channels, r.Items, values.data());
  }
  if (static_cast<size_t>(r.Index) >= n) throw EMMMixerControlError(QStringLiteral("Item index out of range"));
  return values;
}

void TMMCustomMixerControl::WriteValues(const Request& r, const std::vector<quint32>& values, bool boolean)
{
  if (boolean) {
    std::unique_ptr<bool[]> flags(new bool[values.size()]());
    for (size_t i = 0; i < values.size(); ++i) flags[i] = values[i] != 0;
    Mixer()->SetBooleanValues(controlId_, r.Channels, r.Items, flags.get());
  } else {
    Mixer()->SetUnsignedValues(controlId_, r.Channels, r.Items, values.data());
  }
}

qint32 TMMCustomMixerControl::GetSignedValue(TMMChannel Channel, TMMItemIndex Item)
{
  const Request r = PrepareValueAccess(Channel, Item);
  return static_cast<qint32>(ReadValues(r, false)[static_cast<size_t>(r.Index)]);
}

void TMMCustomMixerControl::SetSignedValue(TMMChannel Channel, TMMItemIndex Item, qint32 Value)
{
  SetUnsignedValue(Channel, Item, static_cast<quint32>(Value));
}

quint32 TMMCustomMixerControl::GetUnsignedValue(TMMChannel Channel, TMMItemIndex Item)
{
  const Request r = PrepareValueAccess(Channel, Item);
  return ReadValues(r, false)[static_cast<size_t>(r.Index)];
}

void TMMCustomMixerControl::SetUnsignedValue(TMMChannel Channel, TMMItemIndex Item, quint32 Value)
{
  const Request r = PrepareValueAccess(Channel, Item);
  std::vector<quint32> values = ReadValues(r, false);
  values[static_cast<size_t>(r.Index)] = Value;
  WriteValues(r, values, false);
}

bool TMMCustomMixerControl::GetBooleanValue(TMMChannel Channel, TMMItemIndex Item)
{
  const Request r = PrepareValueAccess(Channel, Item);
  return ReadValues(r, true)[static_cast<size_t>(r.Index)] != 0;
}

void TMMCustomMixerControl::SetBooleanValue(TMMChannel Channel, TMMItemIndex Item, bool Value)
{
  const Request r = PrepareValueAccess(Channel, Item);
  std::vector<quint32> values = ReadValues(r, true);
  // Single-selection lists: choosing one item clears the others.
  if (Items() > 0 && (apiType_ & 0x0F000000) == 0)
    for (int i = 0; i < Items(); ++i) {
      const size_t index = static_cast<size_t>(ValueIndex(Channel, i));
      if (index < values.size()) values[index] = 0;
    }
  values[static_cast<size_t>(r.Index)] = Value ? 1 : 0;
  WriteValues(r, values, true);
}

// ---------------------------------------------------------------- items

void TMMCustomMixerControl::GetItemInfo(TMMItemIndex Item, TMMItemInfo& Info)
{
  CheckControl();
  if (!info_->Flags().testFlag(cfMultiple))
    throw EMMMixerControlError(QStringLiteral("Item info requested from non-multiple control"));
  if (!InMinMaxRange(Item, 0, Items() - 1)) throw EMMMixerControlError(QStringLiteral("Item index out of range"));
  const std::vector<TMMApiListText> texts = Mixer()->GetListTexts(controlId_, Channels(), Items());
  const size_t index = static_cast<size_t>(Item * Max(Channels(), 1));
  if (index >= texts.size()) throw EMMMixerControlError(QStringLiteral("Item index out of range"));
  Info.Param1 = texts[index].Param1;
  Info.Param2 = texts[index].Param2;
  Info.Name = texts[index].Name.left(64);
}

TMMItemIndex TMMCustomMixerControl::FindItemOfLine(TMMAudioLine* line)
{
  if (!line || line->LineId() == badLineId || !IsAvailable() || !info_->Flags().testFlag(cfMultiple) ||
      (controlType_ != ctMixer && controlType_ != ctMux))
    return NoItem;
  if (line->LineId() < 0) return NoItem;
  for (TMMItemIndex i = 0; i < Items(); ++i) {
    TMMItemInfo info;
    GetItemInfo(i, info);
    if (info.Param1 == static_cast<quint32>(line->LineId())) return i;
  }
  return NoItem;
}

// ---------------------------------------------------------------- volume

TMMVolumeControl::TMMVolumeControl(TComponent* AOwner) : TMMCustomMixerControl(AOwner)
{
  SetControlType(ctVolume);
}

bool TMMVolumeControl::AcceptControl(const TMMApiControl& Control) const
{
  return Control.ControlType == mm::ControlTypeToApi(ctVolume);
}

qint64 TMMVolumeControl::LeftPart(qint64 V) const { return panValue_ <= 0 ? V : V * (32767 - panValue_) / 32767; }

qint64 TMMVolumeControl::RightPart(qint64 V) const { return panValue_ >= 0 ? V : V * (panValue_ + 32768) / 32768; }

void TMMVolumeControl::SetPanValue(qint32 value)
{
  if (value == panValue_) return;
  panValue_ = value;
  if (IsAvailable()) SetSigned(GetSigned());
}

void TMMVolumeControl::SetUnsigned(quint32 Value)
{
  TMMCustomMixerControl::SetUnsignedValue(chLeft, NoItem, static_cast<quint32>(LeftPart(Value)));
  TMMCustomMixerControl::SetUnsignedValue(chRight, NoItem, static_cast<quint32>(RightPart(Value)));
}

void TMMVolumeControl::SetSigned(qint32 Value)
{
  TMMCustomMixerControl::SetSignedValue(chLeft, NoItem, static_cast<qint32>(LeftPart(Value)));
  TMMCustomMixerControl::SetSignedValue(chRight, NoItem, static_cast<qint32>(RightPart(Value)));
}

void TMMVolumeControl::SetSignedValue(TMMChannel Channel, TMMItemIndex Item, qint32 Value)
{
  if (Channel != chBoth) {
    TMMCustomMixerControl::SetSignedValue(Channel, Item, Value);
    return;
  }
  TMMCustomMixerControl::SetSignedValue(chLeft, Item, static_cast<qint32>(LeftPart(Value)));
  TMMCustomMixerControl::SetSignedValue(chRight, Item, static_cast<qint32>(RightPart(Value)));
}

void TMMVolumeControl::SetUnsignedValue(TMMChannel Channel, TMMItemIndex Item, quint32 Value)
{
  if (Channel != chBoth) {
    TMMCustomMixerControl::SetUnsignedValue(Channel, Item, Value);
    return;
  }
  TMMCustomMixerControl::SetUnsignedValue(chLeft, Item, static_cast<quint32>(LeftPart(Value)));
  TMMCustomMixerControl::SetUnsignedValue(chRight, Item, static_cast<quint32>(RightPart(Value)));
}

// ---------------------------------------------------------------- pan

TMMPanControl::TMMPanControl(TComponent* AOwner) : TMMCustomMixerControl(AOwner)
{
  volumeObserver_.OnNotify = [this](TMMObserver*, QObject* data) {
    if (qobject_cast<TMMControlIdChange*>(data))
      UpdateControl();
    else
      PanFromVolume();
  };
  SetControlType(ctPan);
}

TMMPanControl::~TMMPanControl()
{
  BeforeDestruction();
  if (volume_) volume_->RemoveFreeNotification(this);
}

bool TMMPanControl::AcceptControl(const TMMApiControl& Control) const
{
  return Control.ControlType == mm::ControlTypeToApi(ctPan);
}

void TMMPanControl::SetVolumeControl(TMMVolumeControl* value)
{
  if (value == volume_) return;
  if (volume_) {
    volume_->RemoveObserver(&volumeObserver_);
    volume_->RemoveFreeNotification(this);
    // A dying volume control is left alone.
    if (!volume_->IsDestroying()) volume_->SetPanValue(0);
  }
  volume_ = value;
  if (volume_) {
    volume_->AddObserver(&volumeObserver_);
    volume_->FreeNotification(this);
  }
  UpdateControl();
}

void TMMPanControl::SetSimulate(bool value)
{
  if (value == simulate_) return;
  simulate_ = value;
  UpdateControl();
}

void TMMPanControl::Notification(TComponent* AComponent, TOperation Operation)
{
  TMMCustomMixerControl::Notification(AComponent, Operation);
  if (Operation == TOperation::opRemove && AComponent && AComponent == volume_) SetVolumeControl(nullptr);
}

void TMMPanControl::UpdateControl()
{
  if (DeviceWorkDeferred()) {
    TMMCustomMixerControl::UpdateControl();
    return;
  }
  // Look for a real pan control first: the simulation stands in only when
  // the line has none.
  LookUpControl();
  const bool changed = UpdateSimulation();
  if (!simulated_ && !changed) NotifyControlIdChange();
}

bool TMMPanControl::UpdateSimulation()
{
  if (DeviceWorkDeferred()) return false;
  const bool was = simulated_;
  simulated_ = !TMMCustomMixerControl::IsAvailable() && simulate_ && volume_ && volume_->IsAvailable() &&
               !volume_->ControlInfo()->Flags().testFlag(cfUniform) && volume_->Channels() > 1;
  if (simulated_)
    ControlInfo()->Set(TMMControlFlags(cfUniform), 0, QStringLiteral("Pan"), QStringLiteral("Simulated pan"), -32768,
                       32767, 0);
  const bool changed = simulated_ != was;
  if (changed) {
    NotifyControlIdChange();
    if (simulated_) PanFromVolume();
  }
  if (volume_) volume_->SetPanValue(simulated_ ? simulatedPan_ : 0);
  return changed;
}

void TMMPanControl::PanFromVolume()
{
  if (!simulated_ || !volume_) return;
  const qint64 left = volume_->GetSignedValue(chLeft, NoItem);
  const qint64 right = volume_->GetSignedValue(chRight, NoItem);
  if (left != 0 && right != 0)
    simulatedPan_ = static_cast<qint32>((right - left) * 32767 / std::max(right, left));
  else if (left != 0)
    simulatedPan_ = -32768;
  else if (right != 0)
    simulatedPan_ = 32767;
  volume_->panValue_ = simulatedPan_;
  ControlChanged();
}

bool TMMPanControl::IsAvailable() const { return simulated_ || TMMCustomMixerControl::IsAvailable(); }

qint32 TMMPanControl::GetSigned() { return simulated_ ? simulatedPan_ : TMMCustomMixerControl::GetSigned(); }

void TMMPanControl::SetSigned(qint32 Value)
{
  if (!simulated_) {
    TMMCustomMixerControl::SetSigned(Value);
    return;
  }
  simulatedPan_ = Value;
  volume_->SetPanValue(Value);
}

qint32 TMMPanControl::GetSignedValue(TMMChannel Channel, TMMItemIndex Item)
{
  return simulated_ ? simulatedPan_ : TMMCustomMixerControl::GetSignedValue(Channel, Item);
}

void TMMPanControl::SetSignedValue(TMMChannel Channel, TMMItemIndex Item, qint32 Value)
{
  if (!simulated_) {
    TMMCustomMixerControl::SetSignedValue(Channel, Item, Value);
    return;
  }
  simulatedPan_ = Value;
  volume_->SetPanValue(Value);
}
