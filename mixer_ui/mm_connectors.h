// Controls bound to mixer controls: the level connector that feeds level bars
// and meters every tick, the mixer connector that reads a line's meter for
// it, the control link through which bound controls watch their mixer
// control, the mixer-bound slider (volume, pan) and check box (mute switch or
// one item of a selector). A change made anywhere (another program, the
// system's mixer panel) reaches them through the link at once.
#pragma once

#include "mixer/mm_controls.h"
#include "mixer_ui/mm_level.h"
#include "mixer_ui/mm_slider.h"
#include "toolkit/std_controls.h"

VELMORA_EXCEPTION(EMMLevelConnectorError, Exception);
VELMORA_EXCEPTION(EMMMixerControlsError, Exception);

// The control is set and found; a multiple-item control needs an item of it.
bool ItemUsable(TMMCustomMixerControl* control, TMMItemIndex item);
// ItemUsable, and the control is not marked disabled.
bool ItemEnabled(TMMCustomMixerControl* control, TMMItemIndex item);

class TMMControlLink : public TMMObserver {
public:
  // `changed` runs on every report of the control (values or identity).
  TMMControlLink(TComponent* owner, std::function<void()> changed) : owner_(owner), changed_(std::move(changed)) {}
  // Unlinks, and the control forgets the owner.
  ~TMMControlLink() override;

  TMMCustomMixerControl* Control() const { return control_; }
  // Links `control` and asks to hear of its freeing; nothing when it is linked already.
  void SetControl(TMMCustomMixerControl* control);
  // For the owner's Notification: true when it removes the linked control, which is then unlinked.
  bool Released(TComponent* AComponent, TOperation Operation);
  void Update(QObject* Data) override;

private:
  void Observe(TMMCustomMixerControl* control);

  TComponent* owner_;
  std::function<void()> changed_;
  TMMCustomMixerControl* control_ = nullptr;
};

// Holds a link's lock for a scope: released when the scope unwinds.
class TMMLinkLock {
public:
  explicit TMMLinkLock(TMMObserver& link) : link_(link) { link_.Lock(); }
  ~TMMLinkLock() { link_.Unlock(); }
  TMMLinkLock(const TMMLinkLock&) = delete;
  TMMLinkLock& operator=(const TMMLinkLock&) = delete;

private:
  TMMObserver& link_;
};

// ---------------------------------------------------------------- level connector

class TMMCustomLevelConnector : public TMMNonVisualComponent {
  Q_OBJECT
public:
  explicit TMMCustomLevelConnector(TComponent* AOwner);
  ~TMMCustomLevelConnector() override;

  TMMCustomLevel* Level1() const { return level1_; }
  void SetLevel1(TMMCustomLevel* v) { SetLevel(level1_, level2_, v); }
  TMMCustomLevel* Level2() const { return level2_; }
  void SetLevel2(TMMCustomLevel* v) { SetLevel(level2_, level1_, v); }
  TMMCustomMeter* Meter1() const { return meter1_; }
  void SetMeter1(TMMCustomMeter* v) { SetMeter(meter1_, meter2_, v); }
  TMMCustomMeter* Meter2() const { return meter2_; }
  void SetMeter2(TMMCustomMeter* v) { SetMeter(meter2_, meter1_, v); }
  bool AutoTrigger() const { return autoTrigger_; }
  void SetAutoTrigger(bool v);
  int Interval() const { return interval_; }
  // EMMLevelConnectorError "Interval should be > 0" for 0 and below.
  void SetInterval(int v);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool v);
  bool Ready() const { return ready_; }
  TMMTimerClient* TimerClient() const { return timerClient_; }
  TNotifyEvent OnRefresh;

  // Reads the values and feeds the levels and meters.
  virtual void Trigger();
  void Loaded() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

protected:
  virtual void Prepare();
  void TriggerIfManual();
  void ConnectorChanged();
  virtual void GetLevelValues(qint32& left, qint32& right, qint32& both);
  // An idle connector (nothing it could read) takes no ticks.
  void SetIdle(bool idle);
  bool HasLast() const { return hasLast_; }
  void SetHasLast(bool v) { hasLast_ = v; }
  // Every attached level and meter.
  void ForEachTarget(const std::function<void(TMMCustomLevel*)>& level, const std::function<void(TMMCustomMeter*)>& meter);

private:
  void SetLevel(TMMCustomLevel*& slot, TMMCustomLevel* other, TMMCustomLevel* v);
  void SetMeter(TMMCustomMeter*& slot, TMMCustomMeter* other, TMMCustomMeter* v);
  void Tick();

  TMMTimerClient* timerClient_ = nullptr;
  int interval_ = 25;
  TMMCustomLevel* level1_ = nullptr;
  TMMCustomLevel* level2_ = nullptr;
  TMMCustomMeter* meter1_ = nullptr;
  TMMCustomMeter* meter2_ = nullptr;
  bool autoTrigger_ = true;
  bool enabled_ = true;
  bool ready_ = true;
  bool hasLast_ = false;
  bool idle_ = false;
};

class TMMCustomMixerConnector : public TMMCustomLevelConnector {
  Q_OBJECT
public:
  explicit TMMCustomMixerConnector(TComponent* AOwner);

  TMMCustomMixerControl* Control() const { return link_.Control(); }
  // Faders, meters, numbers, sliders and times; else EMMMixerControlsError.
  void SetControl(TMMCustomMixerControl* v);
  TMMItemIndex Item() const { return item_; }
  void SetItem(TMMItemIndex v);
  double LevelScale() const { return levelScale_; }
  bool AbsMode() const { return absMode_; }
  qint32 Offset() const { return offset_; }
  const TNotifyEvent& OnChange() const { return onChange_; }
  void SetOnChange(const TNotifyEvent& e) { onChange_ = e; }
  void Notification(TComponent* AComponent, TOperation Operation) override;

protected:
  void Prepare() override;
  void GetLevelValues(qint32& left, qint32& right, qint32& both) override;
  virtual void ValuesChanged();

private:
  TMMControlLink link_;
  double levelScale_ = 0;
  qint32 lastBoth_ = 0, lastLeft_ = 0, lastRight_ = 0;
  TMMItemIndex item_ = NoItem;
  TNotifyEvent onChange_;
  bool absMode_ = true;
  qint32 offset_ = 0;
};

class TMMMixerConnector : public TMMCustomMixerConnector {
  Q_OBJECT
  Q_CLASSINFO("IntegerIdents:Item", "TMMItemIndex")
  Q_PROPERTY(TMMCustomMixerControl* Control READ Control WRITE SetControl)
  Q_PROPERTY(TMMCustomLevel* Level1 READ Level1 WRITE SetLevel1)
  Q_PROPERTY(TMMCustomLevel* Level2 READ Level2 WRITE SetLevel2)
  Q_PROPERTY(TMMCustomMeter* Meter1 READ Meter1 WRITE SetMeter1)
  Q_PROPERTY(TMMCustomMeter* Meter2 READ Meter2 WRITE SetMeter2)
  Q_PROPERTY(bool AutoTrigger READ AutoTrigger WRITE SetAutoTrigger)
  Q_PROPERTY(int Interval READ Interval WRITE SetInterval)
  Q_PROPERTY(int Item READ Item WRITE SetItem)
  Q_PROPERTY(bool Enabled READ Enabled WRITE SetEnabled)
  Q_PROPERTY(TNotifyEvent OnChange READ OnChange WRITE SetOnChange)
public:
  explicit TMMMixerConnector(TComponent* AOwner) : TMMCustomMixerConnector(AOwner) {}
};

// ---------------------------------------------------------------- bound slider

class TMMCustomMixerSlider : public TMMCustomSlider {
  Q_OBJECT
public:
  explicit TMMCustomMixerSlider(TComponent* AOwner);

  TMMCustomMixerControl* Control() const { return link_.Control(); }
  // Faders, numbers, sliders and times; else EMMMixerControlsError.
  void SetControl(TMMCustomMixerControl* v);
  TMMChannel Channel() const { return channel_; }
  void SetChannel(TMMChannel v);
  TMMItemIndex Item() const { return item_; }
  void SetItem(TMMItemIndex v);
  bool RequestedEnabled() const { return requestedEnabled_; }
  // The requested state; Enabled() reads whether the control can be used.
  void SetEnabled(bool v) override;
  double Step() const { return step_; }

  // UpdateRange, then UpdatePosition.
  void Refresh();
  void Loaded() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  Q_INVOKABLE bool StoredEnabled() const { return !requestedEnabled_; }

protected:
  void Change() override;
  void UpdateRange();
  void UpdatePosition();

private:
  TMMControlLink link_;
  double step_ = 1;
  TMMChannel channel_ = chBoth;
  TMMItemIndex item_ = NoItem;
  bool requestedEnabled_ = true;
};

// ---------------------------------------------------------------- bound check box

class TMMCustomMixerCheckBox : public TCheckBox {
  Q_OBJECT
  Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
  Q_PROPERTY(bool Checked READ Checked WRITE SetChecked)
public:
  explicit TMMCustomMixerCheckBox(TComponent* AOwner);

  TMMCustomMixerControl* Control() const { return link_.Control(); }
  // Lists and switches; else EMMMixerControlsError.
  void SetControl(TMMCustomMixerControl* v);
  TMMChannel Channel() const { return channel_; }
  void SetChannel(TMMChannel v);
  TMMItemIndex Item() const { return item_; }
  void SetItem(TMMItemIndex v);
  bool AutoCaption() const { return autoCaption_; }
  void SetAutoCaption(bool v);
  bool Short() const { return short_; }
  void SetShort(bool v);
  bool RequestedEnabled() const { return requestedEnabled_; }
  bool EffectiveEnabled() const { return effectiveEnabled_; }
  // The requested state; Enabled() reads the effective one.
  void SetEnabled(bool v) override;
  // Writes the switch (after reading it again: another program may have
  // changed it since the last report) unless the value is shown already.
  void SetChecked(bool v);

  // UpdateState, then UpdateValue.
  void Refresh();
  void Loaded() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  Q_INVOKABLE bool StoredEnabled() const { return !requestedEnabled_; }
  Q_INVOKABLE bool StoredCaption() const { return !autoCaption_; }

protected:
  void Click() override;
  void UpdateState();
  void UpdateValue();

private:
  TMMControlLink link_;
  TMMChannel channel_ = chBoth;
  TMMItemIndex item_ = NoItem;
  bool autoCaption_ = true;
  bool short_ = true;
  bool requestedEnabled_ = true;
  bool effectiveEnabled_ = false;
};
