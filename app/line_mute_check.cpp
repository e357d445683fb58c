#include "app/line_mute_check.h"

TLineMuteCheck::TLineMuteCheck(TComponent* AOwner) : TCheckBox(AOwner), mute_(new TMMMixerControl(this))
{
  mute_->SetControlType(ctMute);
  // A change report or a new look-up of the control: show it again. Reports
  // come from the mixer's window messages; an error there goes to the
  // application's report instead of unwinding through the mixer.
  link_.OnNotify = [this](TMMObserver*, QObject* data) {
    if (!qobject_cast<TMMControlChange*>(data) && !qobject_cast<TMMControlIdChange*>(data)) return;
    try {
      Refresh();
    } catch (...) {
      HandleToolkitException(std::current_exception());
    }
  };
  mute_->AddObserver(&link_);
  // Disabled until a usable switch is found.
  TCheckBox::SetEnabled(false);
}

TLineMuteCheck::~TLineMuteCheck()
{
  if (line_) line_->RemoveFreeNotification(this);
}

void TLineMuteCheck::SetLine(TMMAudioLine* value)
{
  if (value == line_) return;
  if (line_) line_->RemoveFreeNotification(this);
  line_ = value;
  if (line_) line_->FreeNotification(this);
  mute_->SetAudioLine(value);  // looks the control up and tells us
}

void TLineMuteCheck::SetEnabled(bool v)
{
  if (v == requested_) return;
  requested_ = v;
  TCheckBox::SetEnabled(v);
  Refresh();
}

void TLineMuteCheck::SetChecked(bool v)
{
  if (v == Checked()) return;
  if (showing_) {
    TCheckBox::SetChecked(v);
    return;
  }
  // Written first: a failed write leaves the box as it was.
  const bool write = Enabled();
  if (write) mute_->SetBooleanValue(chBoth, NoItem, v);
  TCheckBox::SetChecked(v);
  if (!write) Refresh();  // a disabled box keeps showing the switch as it is
}

void TLineMuteCheck::Click() { SetChecked(!Checked()); }

bool TLineMuteCheck::Usable() const
{
  // The switch is one item; a multiple-item control is no mute switch.
  return mute_->IsAvailable() && !mute_->ControlInfo()->Flags().testFlag(cfMultiple);
}

void TLineMuteCheck::UpdateState()
{
  TCheckBox::SetEnabled(requested_ && Usable() && mute_->IsEnabled());
}

void TLineMuteCheck::UpdateValue()
{
  if (!Usable()) return;
  const bool muted = mute_->GetBooleanValue(chBoth, NoItem);
  showing_ = true;
  struct Reset {
    bool& flag;
    ~Reset() { flag = false; }
  } reset{showing_};
  TCheckBox::SetChecked(muted);
}

void TLineMuteCheck::Refresh()
{
  if (IsDestroying() || IsLoading()) return;
  UpdateState();
  UpdateValue();
}

void TLineMuteCheck::Loaded()
{
  TCheckBox::Loaded();
  try {
    Refresh();
  } catch (...) {
    // A mixer that fails to answer leaves the box disabled, not the window unmade.
    TCheckBox::SetEnabled(false);
    HandleToolkitException(std::current_exception());
  }
}

void TLineMuteCheck::Notification(TComponent* AComponent, TOperation Operation)
{
  TCheckBox::Notification(AComponent, Operation);
  if (Operation == TOperation::opRemove && AComponent && AComponent == line_) {
    line_ = nullptr;
    if (!IsDestroying()) mute_->SetAudioLine(nullptr);
  }
}
