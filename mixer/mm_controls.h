// Mixer controls: one control (volume, mute, pan, meter, selector...) of an
// audio line, found by identifier or by type, with per-channel and per-item
// value access. The volume control can apply a left/right balance; the pan
// control simulates a pan through that balance when the line has none.
#pragma once

#include "mixer/mm_line.h"

VELMORA_EXCEPTION(EMMMixerControlError, Exception);

// One item of a multiple-item control.
struct TMMItemInfo {
  quint32 Param1 = 0;  // selectors and mixers: the item's source line
  quint32 Param2 = 0;
  QString Name;
};

// The control's description; shown, never stored, writes ignored.
class TMMControlInfo : public TPersistent {
  Q_OBJECT
  Q_CLASSINFO("IntegerIdents:MultipleItems", "TMMItemIndex")
  Q_PROPERTY(mm::TMMControlFlags Flags READ Flags WRITE SetIgnoredFlags STORED false)
  Q_PROPERTY(int MultipleItems READ MultipleItems WRITE SetIgnored STORED false)
  Q_PROPERTY(QString ShortName READ ShortName WRITE SetIgnoredName STORED false)
  Q_PROPERTY(QString Name READ Name WRITE SetIgnoredName STORED false)
  Q_PROPERTY(int MinValue READ MinValue WRITE SetIgnored STORED false)
  Q_PROPERTY(int MaxValue READ MaxValue WRITE SetIgnored STORED false)
  Q_PROPERTY(int Steps READ Steps WRITE SetIgnored STORED false)
public:
  explicit TMMControlInfo(QObject* parent = nullptr) : TPersistent(parent) {}
  TMMControlFlags Flags() const { return flags_; }
  TMMItemIndex MultipleItems() const { return multipleItems_; }
  QString ShortName() const { return shortName_; }
  QString Name() const { return name_; }
  qint32 MinValue() const { return minValue_; }
  qint32 MaxValue() const { return maxValue_; }
  qint32 Steps() const { return steps_; }
  void SetIgnoredFlags(TMMControlFlags) {}
  void SetIgnored(int) {}
  void SetIgnoredName(const QString&) {}
  void Assign(const TPersistent*) override {}

  void Clear() { Set({}); }
  void Set(const TMMApiControl& control);
  void Set(TMMControlFlags flags, TMMItemIndex items, const QString& shortName, const QString& name, qint32 minValue,
           qint32 maxValue, qint32 steps);

private:
  TMMControlFlags flags_;
  TMMItemIndex multipleItems_ = 0;
  QString shortName_;
  QString name_;
  qint32 minValue_ = 0;
  qint32 maxValue_ = 0;
  qint32 steps_ = 0;
};

class TMMCustomMixerControl : public TMMNonVisualComponent {
  Q_OBJECT
  Q_CLASSINFO("IntegerIdents:ControlId", "TMMControlId")
  Q_PROPERTY(TMMAudioLine* AudioLine READ AudioLine WRITE SetAudioLine)
  Q_PROPERTY(int ControlId READ ControlId WRITE SetControlId)
  Q_PROPERTY(mm::TMMControlClass ControlClass READ ControlClass WRITE SetIgnoredClass STORED false)
  Q_PROPERTY(TMMControlInfo* ControlInfo READ ControlInfo WRITE SetIgnoredInfo STORED false)
  Q_PROPERTY(TNotifyEvent OnChange READ OnChange WRITE SetOnChange)

public:
  enum TControlMode : quint8 { cmById, cmByType };

  explicit TMMCustomMixerControl(TComponent* AOwner);
  ~TMMCustomMixerControl() override;

  TMMAudioLine* AudioLine() const { return line_; }
  void SetAudioLine(TMMAudioLine* value);
  TMMControlId ControlId() const { return controlId_; }
  void SetControlId(TMMControlId value);
  TMMControlType ControlType() const { return controlType_; }
  TMMControlClass ControlClass() const { return controlClass_; }
  TMMControlInfo* ControlInfo() const { return info_; }
  TControlMode ControlMode() const { return controlMode_; }
  const TNotifyEvent& OnChange() const { return onChange_; }
  void SetOnChange(const TNotifyEvent& value) { onChange_ = value; }
  Q_INVOKABLE bool StoredControlId() const { return controlMode_ == cmById && controlId_ != badControlId; }

  // The line's mixer when the line is set and its mixer valid.
  TMMMixerDevice* Mixer() const;
  bool LineAvailable() const;
  bool IsEnabled() const { return IsAvailable() && !info_->Flags().testFlag(cfDisabled); }

  void AddObserver(TMMObserver* O) { observable_.AddObserver(O); }
  void RemoveObserver(TMMObserver* O) { observable_.RemoveObserver(O); }

  void GetItemInfo(TMMItemIndex Item, TMMItemInfo& Info);
  // The item of a mixer or mux control that stands for `line`, or -1.
  TMMItemIndex FindItemOfLine(TMMAudioLine* line);

  virtual void UpdateControl();
  virtual void ControlChanged();
  virtual void NotifyControlIdChange();
  // Uniform access: one value for all channels.
  virtual bool GetBoolean();
  virtual void SetBoolean(bool Value);
  virtual quint32 GetUnsigned();
  virtual void SetUnsigned(quint32 Value);
  virtual qint32 GetSigned();
  virtual void SetSigned(qint32 Value);
  virtual bool IsAvailable() const;
  virtual bool AcceptControl(const TMMApiControl& Control) const;
  virtual int Channels() const;
  virtual int Items() const;
  // Per channel and item (item -1: a single-item control).
  virtual qint32 GetSignedValue(TMMChannel Channel, TMMItemIndex Item);
  virtual void SetSignedValue(TMMChannel Channel, TMMItemIndex Item, qint32 Value);
  virtual quint32 GetUnsignedValue(TMMChannel Channel, TMMItemIndex Item);
  virtual void SetUnsignedValue(TMMChannel Channel, TMMItemIndex Item, quint32 Value);
  virtual bool GetBooleanValue(TMMChannel Channel, TMMItemIndex Item);
  virtual void SetBooleanValue(TMMChannel Channel, TMMItemIndex Item, bool Value);

  void Loaded() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

protected:
  void SetControlType(TMMControlType value);
  virtual void DoChange();
  // Raises "Mixer required for this operation" / "Control not valid".
  void CheckControl() const;
  int ValueIndex(TMMChannel Channel, TMMItemIndex Item) const;
  // Steps 1 to 4 of a look-up, without telling the watchers.
  void LookUpControl();

private:
  struct Request {
    int Channels;
    int Items;
    int Index;
  };
  Request PrepareValueAccess(TMMChannel Channel, TMMItemIndex Item) const;
  std::vector<quint32> ReadValues(const Request& r, bool boolean);
  void WriteValues(const Request& r, const std::vector<quint32>& values, bool boolean);
  void LineNotify(QObject* data);
  void SetIgnoredClass(TMMControlClass) {}
  void SetIgnoredInfo(TMMControlInfo*) {}

  TMMAudioLine* line_ = nullptr;
  TMMControlId controlId_ = badControlId;
  TMMControlType controlType_ = ctCustom;
  TMMControlClass controlClass_ = ccCustom;
  TControlMode controlMode_ = cmById;
  quint32 apiType_ = 0;  // platform type of the found control
  TMMObserver lineObserver_;
  TMMObservable observable_;
  TMMControlInfo* info_;
  TNotifyEvent onChange_;
};

// A control chosen by identifier or by any type.
class TMMMixerControl : public TMMCustomMixerControl {
  Q_OBJECT
  Q_PROPERTY(mm::TMMControlType ControlType READ ControlType WRITE SetControlType)
public:
  explicit TMMMixerControl(TComponent* AOwner) : TMMCustomMixerControl(AOwner) {}
  ~TMMMixerControl() override { BeforeDestruction(); }
  using TMMCustomMixerControl::SetControlType;
  Q_INVOKABLE bool StoredControlType() const { return ControlMode() == cmByType && ControlType() != ctCustom; }
};

// The line's volume, with a left/right balance (PanValue) applied on writes.
class TMMVolumeControl : public TMMCustomMixerControl {
  Q_OBJECT
  Q_PROPERTY(int PanValue READ PanValue WRITE SetPanValue)
public:
  explicit TMMVolumeControl(TComponent* AOwner);
  ~TMMVolumeControl() override { BeforeDestruction(); }
  qint32 PanValue() const { return panValue_; }
  void SetPanValue(qint32 value);

  bool AcceptControl(const TMMApiControl& Control) const override;
  void SetUnsigned(quint32 Value) override;
  void SetSigned(qint32 Value) override;
  void SetSignedValue(TMMChannel Channel, TMMItemIndex Item, qint32 Value) override;
  void SetUnsignedValue(TMMChannel Channel, TMMItemIndex Item, quint32 Value) override;

  // V attenuated for one side by the balance.
  qint64 LeftPart(qint64 V) const;
  qint64 RightPart(qint64 V) const;

private:
  friend class TMMPanControl;
  qint32 panValue_ = 0;
};

// The line's pan; simulated through the volume's balance when the line has
// no pan control of its own.
class TMMPanControl : public TMMCustomMixerControl {
  Q_OBJECT
  Q_PROPERTY(TMMVolumeControl* VolumeControl READ VolumeControl WRITE SetVolumeControl)
  Q_PROPERTY(bool Simulate READ Simulate WRITE SetSimulate)
public:
  explicit TMMPanControl(TComponent* AOwner);
  ~TMMPanControl() override;

  TMMVolumeControl* VolumeControl() const { return volume_; }
  void SetVolumeControl(TMMVolumeControl* value);
  bool Simulate() const { return simulate_; }
  void SetSimulate(bool value);
  bool Simulated() const { return simulated_; }
  qint32 SimulatedPan() const { return simulatedPan_; }

  bool AcceptControl(const TMMApiControl& Control) const override;
  int Channels() const override { return 1; }
  int Items() const override { return 0; }
  void UpdateControl() override;
  bool IsAvailable() const override;
  qint32 GetSigned() override;
  void SetSigned(qint32 Value) override;
  qint32 GetSignedValue(TMMChannel Channel, TMMItemIndex Item) override;
  void SetSignedValue(TMMChannel Channel, TMMItemIndex Item, qint32 Value) override;

  void Notification(TComponent* AComponent, TOperation Operation) override;

protected:
  // Returns true when Simulated changed.
  bool UpdateSimulation();
  void PanFromVolume();

private:
  TMMVolumeControl* volume_ = nullptr;
  bool simulate_ = true;
  bool simulated_ = false;
  qint32 simulatedPan_ = 0;
  TMMObserver volumeObserver_;
};
