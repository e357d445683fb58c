#include "mixer_ui/mm_connectors.h"

#include "mixer/mm_utils.h"
#include "mixer_ui/mm_rounding.h"

#include <cmath>

using mmui::RoundEven;

namespace {

void CheckClass(TMMCustomMixerControl* control, std::initializer_list<TMMControlClass> accepted)
{
  if (!control) return;
  for (TMMControlClass c : accepted)
    if (control->ControlClass() == c) return;
  throw EMMMixerControlsError(QStringLiteral("Invalid control class"));
}

} // namespace

bool ItemUsable(TMMCustomMixerControl* control, TMMItemIndex item)
{
  if (!control || !control->IsAvailable()) return false;
  if (!control->ControlInfo()->Flags().testFlag(cfMultiple)) return item == NoItem;
  // A control that reports no items offers none to choose.
  return item >= 0 && item < control->Items();
}

bool ItemEnabled(TMMCustomMixerControl* control, TMMItemIndex item)
{
  return ItemUsable(control, item) && control->IsEnabled();
}

// ---------------------------------------------------------------- link

TMMControlLink::~TMMControlLink() { SetControl(nullptr); }

void TMMControlLink::SetControl(TMMCustomMixerControl* control)
{
  if (control == control_) return;
  if (control_) control_->RemoveFreeNotification(owner_);
  Observe(control);
  if (control_) control_->FreeNotification(owner_);
}

bool TMMControlLink::Released(TComponent* AComponent, TOperation Operation)
{
  if (Operation != TOperation::opRemove || !AComponent || AComponent != control_) return false;
  Observe(nullptr);
  return true;
}

void TMMControlLink::Observe(TMMCustomMixerControl* control)
{
  if (control_) control_->RemoveObserver(this);
  control_ = control;
  if (control_) control_->AddObserver(this);
}

void TMMControlLink::Update(QObject* Data)
{
  if (qobject_cast<TMMControlChange*>(Data) || qobject_cast<TMMControlIdChange*>(Data)) changed_();
}

// ---------------------------------------------------------------- level connector

TMMCustomLevelConnector::TMMCustomLevelConnector(TComponent* AOwner) : TMMNonVisualComponent(AOwner)
{
  timerClient_ = MMTickTimer::AddTimerClient(interval_, !autoTrigger_, [this] { Tick(); });
}

TMMCustomLevelConnector::~TMMCustomLevelConnector() { MMTickTimer::RemoveClient(timerClient_); }

void TMMCustomLevelConnector::Tick()
{
  // The tick runs on the UI thread: it refreshes at once. A refresh that
  // failed leaves Ready false, so a broken connector stops until it is
  // prepared again.
  if (!enabled_ || !ready_ || IsDestroying() || IsDesigning() || IsLoading()) return;
  if (Owner() && (Owner()->IsDesigning() || Owner()->IsLoading())) return;
  ready_ = false;
  Trigger();
  ready_ = true;
}

void TMMCustomLevelConnector::SetLevel(TMMCustomLevel*& slot, TMMCustomLevel* other, TMMCustomLevel* v)
{
  if (v == slot) return;
  if (v && v == other) return;
  ReplaceReference(slot, v);
  ConnectorChanged();
}

void TMMCustomLevelConnector::SetMeter(TMMCustomMeter*& slot, TMMCustomMeter* other, TMMCustomMeter* v)
{
  if (v == slot) return;
  if (v && v == other) return;
  ReplaceReference(slot, v);
  ConnectorChanged();
}

void TMMCustomLevelConnector::SetAutoTrigger(bool v)
{
  if (v == autoTrigger_) return;
  autoTrigger_ = v;
  if (v) MMTickTimer::ResumeClient(timerClient_);
  else MMTickTimer::PauseClient(timerClient_);
}

void TMMCustomLevelConnector::SetInterval(int v)
{
  if (v <= 0) throw EMMLevelConnectorError(QStringLiteral("Interval should be > 0"));
  interval_ = v;
  MMTickTimer::SetClientInterval(timerClient_, v);
}

void TMMCustomLevelConnector::SetEnabled(bool v)
{
  enabled_ = v;
  ConnectorChanged();
}

void TMMCustomLevelConnector::SetIdle(bool idle)
{
  if (idle == idle_) return;
  idle_ = idle;
  if (idle) MMTickTimer::PauseClient(timerClient_);
  else MMTickTimer::ResumeClient(timerClient_);
}

void TMMCustomLevelConnector::ForEachTarget(const std::function<void(TMMCustomLevel*)>& level,
                                            const std::function<void(TMMCustomMeter*)>& meter)
{
  for (TMMCustomLevel* l : {level1_, level2_})
    if (l && level) level(l);
  for (TMMCustomMeter* m : {meter1_, meter2_})
    if (m && meter) meter(m);
}

void TMMCustomLevelConnector::Prepare()
{
  hasLast_ = false;
  // Prepared anew: a connector stopped by an error runs again.
  ready_ = true;
}

void TMMCustomLevelConnector::TriggerIfManual()
{
  if (!autoTrigger_) Trigger();
}

void TMMCustomLevelConnector::ConnectorChanged()
{
  if (IsDestroying()) return;
  ForEachTarget([](TMMCustomLevel* l) { l->SetBitLength(b16Bit); }, [](TMMCustomMeter* m) { m->SetBitLength(b16Bit); });
  Prepare();
  TriggerIfManual();
}

void TMMCustomLevelConnector::GetLevelValues(qint32& left, qint32& right, qint32& both) { left = right = both = 0; }

void TMMCustomLevelConnector::Trigger()
{
  if (IsLoading()) return;
  qint32 left = 0, right = 0, both = 0;
  GetLevelValues(left, right, both);
  if (level1_) level1_->FeedValue(level2_ ? left : both);
  if (level2_) level2_->FeedValue(right);
  if (meter1_) meter1_->FeedValue(meter2_ ? left : both);
  if (meter2_) meter2_->FeedValue(right);
  if (OnRefresh) OnRefresh(this);
}

void TMMCustomLevelConnector::Loaded()
{
  TMMNonVisualComponent::Loaded();
  ConnectorChanged();
}

void TMMCustomLevelConnector::Notification(TComponent* AComponent, TOperation Operation)
{
  TMMNonVisualComponent::Notification(AComponent, Operation);
  if (Operation != TOperation::opRemove || !AComponent) return;
  if (AComponent == level1_) level1_ = nullptr;
  if (AComponent == level2_) level2_ = nullptr;
  if (AComponent == meter1_) meter1_ = nullptr;
  if (AComponent == meter2_) meter2_ = nullptr;
}

// ---------------------------------------------------------------- mixer connector

TMMCustomMixerConnector::TMMCustomMixerConnector(TComponent* AOwner)
    : TMMCustomLevelConnector(AOwner), link_(this, [this] { Guarded([this] { ConnectorChanged(); }); })
{
  SetIdle(true);  // nothing to read until a control is set
}

void TMMCustomMixerConnector::SetControl(TMMCustomMixerControl* v)
{
  CheckClass(v, {ccFader, ccMeter, ccNumber, ccSlider, ccTime});
  if (v == Control()) return;
  link_.SetControl(v);
  ConnectorChanged();
}

void TMMCustomMixerConnector::SetItem(TMMItemIndex v)
{
  item_ = v;
  ConnectorChanged();
}

void TMMCustomMixerConnector::Prepare()
{
  levelScale_ = 0;
  TMMCustomMixerControl* control = Control();
  const bool usable = control && Enabled() && ItemUsable(control, item_);
  ForEachTarget([usable](TMMCustomLevel* l) { l->SetEnabled(usable); },
                [usable](TMMCustomMeter* m) { m->SetEnabled(usable); });
  SetIdle(!usable);
  if (!usable) return;
  TMMMixerDevice* mixer = control->Mixer();
  absMode_ = !(control->LineAvailable() && mixer && mixer->DeviceCaps()->ManufacturerId() == 31);
  const qint64 minValue = control->ControlInfo()->MinValue(), maxValue = control->ControlInfo()->MaxValue();
  qint64 range;
  if (absMode_) {
    range = std::max(std::llabs(minValue), std::llabs(maxValue));
  } else {
    offset_ = minValue < 0 ? qint32(-minValue) : 0;
    range = maxValue - minValue;
  }
  levelScale_ = range != 0 ? 32768.0 / double(range) : 0;
  TMMCustomLevelConnector::Prepare();
}

void TMMCustomMixerConnector::GetLevelValues(qint32& left, qint32& right, qint32& both)
{
  left = right = both = 0;
  TMMCustomMixerControl* control = Control();
  if (IsLoading() || !ItemUsable(control, item_)) return;
  const qint32 L = control->GetSignedValue(chLeft, item_);
  const qint32 R = control->GetSignedValue(chRight, item_);
  const qint32 B = control->GetSignedValue(chBoth, item_);
  if (levelScale_ != 0) {
    auto scaled = [this](qint32 v) {
      const double x = absMode_ ? std::fabs(double(v)) : double(v) + offset_;
      return RoundEven(x * levelScale_);
    };
    left = scaled(L);
    right = scaled(R);
    both = scaled(B);
  }
  if (!HasLast() || B != lastBoth_ || L != lastLeft_ || R != lastRight_) ValuesChanged();
  lastBoth_ = B;
  lastLeft_ = L;
  lastRight_ = R;
  SetHasLast(true);
}

void TMMCustomMixerConnector::ValuesChanged()
{
  if (onChange_) onChange_(this);
}

void TMMCustomMixerConnector::Notification(TComponent* AComponent, TOperation Operation)
{
  TMMCustomLevelConnector::Notification(AComponent, Operation);
  if (link_.Released(AComponent, Operation) && !IsDestroying()) ConnectorChanged();
}

// ---------------------------------------------------------------- bound slider

TMMCustomMixerSlider::TMMCustomMixerSlider(TComponent* AOwner)
    : TMMCustomSlider(AOwner), link_(this, [this] { Guarded([this] { Refresh(); }); })
{
  // Disabled until bound to a usable control.
  TMMCustomSlider::SetEnabled(false);
}

void TMMCustomMixerSlider::SetControl(TMMCustomMixerControl* v)
{
  CheckClass(v, {ccFader, ccNumber, ccSlider, ccTime});
  link_.SetControl(v);
  Refresh();
}

void TMMCustomMixerSlider::SetChannel(TMMChannel v)
{
  if (v == channel_) return;
  channel_ = v;
  Refresh();
}

void TMMCustomMixerSlider::SetItem(TMMItemIndex v)
{
  if (v == item_) return;
  item_ = v;
  Refresh();
}

void TMMCustomMixerSlider::SetEnabled(bool v)
{
  if (v == requestedEnabled_) return;
  requestedEnabled_ = v;
  Refresh();
}

void TMMCustomMixerSlider::Refresh()
{
  if (IsLoading()) return;
  UpdateRange();
  UpdatePosition();
}

void TMMCustomMixerSlider::UpdateRange()
{
  TMMCustomMixerControl* control = Control();
  if (!control || IsDestroying()) {
    TMMCustomSlider::SetEnabled(false);
    return;
  }
  const bool enabled = requestedEnabled_ && ItemEnabled(control, item_);
  TMMCustomSlider::SetEnabled(enabled);
  TMMLinkLock lock(link_);
  if (enabled) {
    const double span = double(control->ControlInfo()->MaxValue()) - control->ControlInfo()->MinValue();
    const int steps = control->ControlInfo()->Steps() != 0 ? control->ControlInfo()->Steps() : 32;
    step_ = span / steps;
    // The quotient may land a hair below a whole number: the top value must stay reachable.
    SetRange(0, step_ != 0 ? int(std::floor(span / step_ + 1e-6)) : 1);
  } else {
    SetRange(0, 2);
    step_ = 1;
  }
}

void TMMCustomMixerSlider::UpdatePosition()
{
  if (IsDestroying()) return;
  TMMCustomMixerControl* control = Control();
  TMMLinkLock lock(link_);
  if (ItemUsable(control, item_) && step_ != 0 && MaxPosition() > MinPosition() && requestedEnabled_) {
    const double value = control->GetSignedValue(channel_, item_);
    SetPosition(RoundEven((value - control->ControlInfo()->MinValue()) / step_));
  } else {
    SetPosition(std::max(MinPosition(), (MinPosition() + MaxPosition()) / 2));
  }
}

void TMMCustomMixerSlider::Change()
{
  if (!link_.IsLocked()) {
    TMMLinkLock lock(link_);
    TMMCustomMixerControl* control = Control();
    if (control && control->ControlInfo()->Flags().testFlag(cfDisabled)) {
      UpdatePosition();  // the thumb snaps back
    } else if (ItemEnabled(control, item_)) {
      const double value = Position() * step_ + control->ControlInfo()->MinValue();
      control->SetSignedValue(channel_, item_, RoundEven(value));
    }
  }
  TMMCustomSlider::Change();
}

void TMMCustomMixerSlider::Loaded()
{
  TMMCustomSlider::Loaded();
  Refresh();
}

void TMMCustomMixerSlider::Notification(TComponent* AComponent, TOperation Operation)
{
  TMMCustomSlider::Notification(AComponent, Operation);
  if (link_.Released(AComponent, Operation) && !IsDestroying()) Refresh();
}

// ---------------------------------------------------------------- bound check box

TMMCustomMixerCheckBox::TMMCustomMixerCheckBox(TComponent* AOwner)
    : TCheckBox(AOwner), link_(this, [this] { Guarded([this] { Refresh(); }); })
{
  TCheckBox::SetEnabled(false);
}

void TMMCustomMixerCheckBox::SetControl(TMMCustomMixerControl* v)
{
  CheckClass(v, {ccList, ccSwitch});
  link_.SetControl(v);
  Refresh();
}

void TMMCustomMixerCheckBox::SetChannel(TMMChannel v)
{
  if (v == channel_) return;
  channel_ = v;
  Refresh();
}

void TMMCustomMixerCheckBox::SetItem(TMMItemIndex v)
{
  if (v == item_) return;
  item_ = v;
  Refresh();
}

void TMMCustomMixerCheckBox::SetAutoCaption(bool v)
{
  autoCaption_ = v;
  Refresh();
}

void TMMCustomMixerCheckBox::SetShort(bool v)
{
  short_ = v;
  Refresh();
}

void TMMCustomMixerCheckBox::SetEnabled(bool v)
{
  if (v == requestedEnabled_) return;
  requestedEnabled_ = v;
  effectiveEnabled_ = v;
  Refresh();
}

void TMMCustomMixerCheckBox::Refresh()
{
  if (IsLoading() || IsDestroying()) return;
  UpdateState();
  UpdateValue();
}

void TMMCustomMixerCheckBox::UpdateState()
{
  TMMCustomMixerControl* control = Control();
  if (!control) {
    effectiveEnabled_ = false;
    TCheckBox::SetEnabled(false);
    return;
  }
  effectiveEnabled_ = requestedEnabled_ && ItemEnabled(control, item_);
  TCheckBox::SetEnabled(effectiveEnabled_);
  if (effectiveEnabled_ && autoCaption_) {
    if (item_ != NoItem) {
      TMMItemInfo info;
      control->GetItemInfo(item_, info);
      SetCaption(info.Name);
    } else {
      SetCaption(short_ ? control->ControlInfo()->ShortName() : control->ControlInfo()->Name());
    }
  }
}

void TMMCustomMixerCheckBox::UpdateValue()
{
  TMMCustomMixerControl* control = Control();
  if (!ItemUsable(control, item_)) return;
  TMMLinkLock lock(link_);
  TCheckBox::SetChecked(control->GetBooleanValue(channel_, item_));
}

void TMMCustomMixerCheckBox::SetChecked(bool v)
{
  if (link_.IsLocked()) {
    TCheckBox::SetChecked(v);
    return;
  }
  // The box may show a state older than the switch: read it first so that
  // a switch turned on by another program since its last report is still
  // written.
  if (Enabled() && !IsLoading()) UpdateValue();
  if (v == Checked()) return;
  TMMLinkLock lock(link_);
  if (Enabled()) {
    // Written first: a failed write leaves the box as it was.
    Control()->SetBooleanValue(channel_, item_, v);
    TCheckBox::SetChecked(v);
  } else {
    TCheckBox::SetChecked(v);
    UpdateValue();  // a disabled box keeps showing the switch as it is
  }
}

void TMMCustomMixerCheckBox::Click() { SetChecked(!Checked()); }

void TMMCustomMixerCheckBox::Loaded()
{
  TCheckBox::Loaded();
  Refresh();
}

void TMMCustomMixerCheckBox::Notification(TComponent* AComponent, TOperation Operation)
{
  TCheckBox::Notification(AComponent, Operation);
  if (link_.Released(AComponent, Operation) && !IsDestroying()) Refresh();
}
