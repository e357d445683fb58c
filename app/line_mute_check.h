// TLineMuteCheck: a plain check box bound to the mute switch of an audio line,
// the record window's recording-line switch until the mixer block takes the
// role over. It is enabled exactly when the line sits on a valid mixer, has a
// mute control and that control is not marked disabled (and the box's own
// requested Enabled is true); it shows the switch as one value for all
// channels, and a change of Checked writes it to every channel. Changes made
// anywhere (another program, the system's mixer panel) refresh it.
#pragma once

#include "mixer/mm_controls.h"
#include "toolkit/std_controls.h"

class TLineMuteCheck : public TCheckBox {
  Q_OBJECT
  Q_PROPERTY(TMMAudioLine* Line READ Line WRITE SetLine)
  Q_PROPERTY(bool Checked READ Checked WRITE SetChecked)

public:
  explicit TLineMuteCheck(TComponent* AOwner);
  ~TLineMuteCheck() override;

  TMMAudioLine* Line() const { return line_; }
  void SetLine(TMMAudioLine* value);
  // The requested state; Enabled() reads the effective one.
  void SetEnabled(bool v) override;
  bool RequestedEnabled() const { return requested_; }
  // Writes the mute switch (all channels) unless the value is shown already.
  void SetChecked(bool v);
  // The mute control the box is bound to (owned by the box).
  TMMMixerControl* MuteControl() const { return mute_; }

  // Looks at the control again: enabled state, then the switch's value.
  void Refresh();

  void Loaded() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

protected:
  void Click() override;

private:
  bool Usable() const;
  void UpdateState();
  void UpdateValue();

  TMMAudioLine* line_ = nullptr;
  TMMMixerControl* mute_;
  TMMObserver link_;
  bool requested_ = true;
  bool showing_ = false;  // a value read from the mixer is being shown: no write back
};
