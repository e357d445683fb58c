#include "mixer/mm_line.h"

void TMMLineInfo::Clear()
{
  flags_ = {};
  channels_ = connections_ = controls_ = 0;
  shortName_.clear();
  name_.clear();
}

void TMMLineInfo::Set(const TMMApiLine& line)
{
  flags_ = mm::LineFlagsFromApi(line.Flags);
  channels_ = static_cast<int>(line.Channels);
  connections_ = static_cast<int>(line.Connections);
  controls_ = static_cast<int>(line.Controls);
  shortName_ = line.ShortName.left(16);
  name_ = line.Name.left(64);
}

TMMAudioLine::TMMAudioLine(TComponent* AOwner) : TMMNonVisualComponent(AOwner), info_(new TMMLineInfo(this))
{
  mixerObserver_.OnNotify = [this](TMMObserver*, QObject* data) { MixerNotify(data); };
  targetObserver_.OnNotify = [this](TMMObserver*, QObject*) { UpdateLine(); };
  destLineObserver_.OnNotify = [this](TMMObserver*, QObject* data) {
    if (qobject_cast<TMMLineIdChange*>(data)) UpdateLine();
  };
}

TMMAudioLine::~TMMAudioLine()
{
  // Watchers hear of the end while this object is still whole: one that
  // unhooks from it must not reach a half-destroyed object.
  BeforeDestruction();
  if (mixer_) mixer_->RemoveFreeNotification(this);
  if (target_) target_->RemoveFreeNotification(this);
  if (destLine_) destLine_->RemoveFreeNotification(this);
}

void TMMAudioLine::MixerNotify(QObject* data)
{
  if (auto* line = qobject_cast<TMMLineChange*>(data)) {
    if (lineId_ != badLineId && line->LineId == lineId_) {
      // The line may have lost controls, or gone with its device: look again
      // (a line that is no longer found becomes invalid) before telling.
      UpdateLine();
      LineChanged();
    }
  } else if (auto* control = qobject_cast<TMMControlChange*>(data)) {
    if (lineId_ != badLineId && control->LineId == lineId_) ControlChanged(control->ControlId);
  } else if (qobject_cast<TMMDeviceChange*>(data)) {
    UpdateLine();
  }
}

void TMMAudioLine::SetMixer(TMMMixerDevice* value)
{
  if (value == mixer_) return;
  if (mixer_) {
    mixer_->RemoveMixerObserver(&mixerObserver_);
    mixer_->RemoveFreeNotification(this);
  }
  mixer_ = value;
  if (mixer_) {
    mixer_->AddMixerObserver(&mixerObserver_);
    mixer_->FreeNotification(this);
  }
  UpdateLine();
}

void TMMAudioLine::SetLineId(TMMLineId value)
{
  if (value == lineId_) return;
  lineId_ = value;
  lineMode_ = lmById;
  UpdateLine();
}

void TMMAudioLine::SetComponentType(TMMComponentType value)
{
  if (value == componentType_) return;
  componentType_ = value;
  lineMode_ = lmByComponentType;
  UpdateLine();
}

void TMMAudioLine::SetTarget(TMMCustomAudioDevice* value)
{
  if (value && value->DeviceKind() == TMMCustomAudioDevice::dkMixer)
    throw EMMMixerDeviceError(QStringLiteral("Can't target to mixer"));
  if (value == target_) return;
  if (target_) {
    target_->RemoveObserver(&targetObserver_);
    target_->RemoveFreeNotification(this);
  }
  target_ = value;
  if (target_) {
    target_->AddObserver(&targetObserver_);
    target_->FreeNotification(this);
  }
  lineMode_ = lmByTarget;
  UpdateLine();
}

TMMComponent* TMMAudioLine::DestLine() const { return destLine_; }

void TMMAudioLine::SetDestLine(TMMComponent* value)
{
  auto* line = qobject_cast<TMMAudioLine*>(value);
  if (value && !line) throw EMMMixerDeviceError(QStringLiteral("DestLine should be TMMAudioLine"));
  if (line == destLine_) return;
  if (destLine_) {
    destLine_->RemoveObserver(&destLineObserver_);
    destLine_->RemoveFreeNotification(this);
  }
  destLine_ = line;
  if (destLine_) {
    destLine_->AddObserver(&destLineObserver_);
    destLine_->FreeNotification(this);
  }
  UpdateLine();
}

void TMMAudioLine::Loaded()
{
  TMMNonVisualComponent::Loaded();
  UpdateLine();
}

void TMMAudioLine::Notification(TComponent* AComponent, TOperation Operation)
{
  TMMNonVisualComponent::Notification(AComponent, Operation);
  if (Operation != TOperation::opRemove || !AComponent) return;
  if (AComponent == mixer_) SetMixer(nullptr);
  if (AComponent == target_) SetTarget(nullptr);
  if (AComponent == destLine_) SetDestLine(nullptr);
}

bool TMMAudioLine::LookUp(TMMAudioLine* L, TMMMixerDevice* mixer, TMMApiLine& R)
{
  switch (L->lineMode_) {
  case lmByComponentType: return mixer->GetLineInfoByComponentType(L->componentType_, R);
  case lmByTarget: return L->target_ && mixer->GetLineInfoByTarget(L->target_, R);
  case lmById: return L->lineId_ != badLineId && mixer->GetLineInfoById(L->lineId_, R);
  }
  return false;
}

void TMMAudioLine::UpdateLine()
{
  if (DeviceWorkDeferred()) return;
  // Lines that name each other as destination would chase each other forever.
  if (updating_) return;
  updating_ = true;
  struct Reset {
    bool& Flag;
    ~Reset() { Flag = false; }
  } reset{updating_};

  destIndex_ = -1;
  if (IsMixerValid()) {
    TMMApiLine record;
    bool found;
    if (destLine_)
      found = destLine_->Mixer() == mixer_ && destLine_->FindSourceLine(this, record);
    else
      found = LookUp(this, mixer_, record);
    if (found) {
      lineId_ = static_cast<TMMLineId>(record.LineId);
      componentType_ = mm::ComponentTypeFromApi(record.ComponentType);
      info_->Set(record);
      destIndex_ = info_->Flags().testFlag(cfSource) ? -1 : static_cast<int>(record.Destination);
    } else {
      lineId_ = badLineId;
      info_->Clear();
    }
  }
  NotifyLineIdChange();
}

bool TMMAudioLine::FindSourceLine(TMMAudioLine* L, TMMApiLine& R)
{
  if (DeviceWorkDeferred() || !IsMixerValid() || lineId_ == badLineId || info_->Flags().testFlag(cfSource)) return false;
  if (!LookUp(L, mixer_, R)) return false;
  if (lineId_ >= 0 && static_cast<quint32>(lineId_) == R.Destination) return true;
  if (L->lineMode_ == lmById) return false;
  const TMMApiLineTarget wanted = L->target_ ? TMMMixerDevice::TargetOf(L->target_) : TMMApiLineTarget{};
  for (int i = 0; i < info_->Connections(); ++i) {
    if (!mixer_->GetLineInfoBySource(destIndex_, i, R)) continue;
    if (L->lineMode_ == lmByComponentType && mm::ComponentTypeFromApi(R.ComponentType) == L->componentType_)
      return true;
    if (L->lineMode_ == lmByTarget && L->target_ && R.Target.Type == wanted.Type &&
        R.Target.ManufacturerId == wanted.ManufacturerId && R.Target.ProductId == wanted.ProductId &&
        R.Target.DriverVersion == wanted.DriverVersion && R.Target.ProductName == wanted.ProductName)
      return true;
  }
  return false;
}

void TMMAudioLine::LineChanged()
{
  {
    TMMLineChange change(lineId_);
    observable_.NotifyObservers(&change);
  }
  DoChange();
}

void TMMAudioLine::NotifyLineIdChange()
{
  TMMLineIdChange change;
  observable_.NotifyObservers(&change);
}

void TMMAudioLine::ControlChanged(TMMControlId CtlId)
{
  {
    TMMControlChange change(lineId_, CtlId);
    observable_.NotifyObservers(&change);
  }
  DoControlChange(lineId_, CtlId);
}

void TMMAudioLine::DoChange()
{
  if (onChange_) onChange_(this);
}

void TMMAudioLine::DoControlChange(TMMLineId LineId, TMMControlId CtlId)
{
  if (onControlChange_) onControlChange_(this, LineId, CtlId);
}
