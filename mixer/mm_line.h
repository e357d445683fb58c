// The audio line: one destination or source line of a mixer device, found by
// identifier, by component type, by target device, or as a source under
// another line. It looks the line up again whenever anything it depends on
// changes, tells its watchers (TMMLineIdChange) and forwards the mixer's
// reports that concern it.
#pragma once

#include "mixer/mm_mixer.h"

// The line's description; shown, never stored, writes ignored.
class TMMLineInfo : public TPersistent {
  Q_OBJECT
  Q_PROPERTY(mm::TMMLineFlags Flags READ Flags WRITE SetIgnoredFlags STORED false)
  Q_PROPERTY(int Channels READ Channels WRITE SetIgnored STORED false)
  Q_PROPERTY(int Connections READ Connections WRITE SetIgnored STORED false)
  Q_PROPERTY(int Controls READ Controls WRITE SetIgnored STORED false)
  Q_PROPERTY(QString ShortName READ ShortName WRITE SetIgnoredName STORED false)
  Q_PROPERTY(QString Name READ Name WRITE SetIgnoredName STORED false)
public:
  explicit TMMLineInfo(QObject* parent = nullptr) : TPersistent(parent) {}
  TMMLineFlags Flags() const { return flags_; }
  int Channels() const { return channels_; }
  int Connections() const { return connections_; }
  int Controls() const { return controls_; }
  QString ShortName() const { return shortName_; }
  QString Name() const { return name_; }
  void SetIgnoredFlags(TMMLineFlags) {}
  void SetIgnored(int) {}
  void SetIgnoredName(const QString&) {}
  void Assign(const TPersistent*) override {}

  void Clear();
  void Set(const TMMApiLine& line);

private:
  TMMLineFlags flags_;
  int channels_ = 0;
  int connections_ = 0;
  int controls_ = 0;
  QString shortName_;
  QString name_;
};

class TMMAudioLine : public TMMNonVisualComponent {
  Q_OBJECT
  Q_CLASSINFO("IntegerIdents:LineId", "TMMLineId")
  Q_PROPERTY(TMMMixerDevice* Mixer READ Mixer WRITE SetMixer)
  Q_PROPERTY(int LineId READ LineId WRITE SetLineId)
  Q_PROPERTY(mm::TMMComponentType ComponentType READ ComponentType WRITE SetComponentType)
  Q_PROPERTY(TMMCustomAudioDevice* Target READ Target WRITE SetTarget)
  Q_PROPERTY(TMMComponent* DestLine READ DestLine WRITE SetDestLine)
  Q_PROPERTY(TMMLineInfo* LineInfo READ LineInfo WRITE SetIgnoredInfo STORED false)
  Q_PROPERTY(TNotifyEvent OnChange READ OnChange WRITE SetOnChange)
  Q_PROPERTY(TMMControlChangeEvent OnControlChange READ OnControlChange WRITE SetOnControlChange)

public:
  enum TLineMode : quint8 { lmById, lmByComponentType, lmByTarget };

  explicit TMMAudioLine(TComponent* AOwner);
  ~TMMAudioLine() override;

  TMMMixerDevice* Mixer() const { return mixer_; }
  void SetMixer(TMMMixerDevice* value);
  TMMLineId LineId() const { return lineId_; }
  void SetLineId(TMMLineId value);
  TMMComponentType ComponentType() const { return componentType_; }
  void SetComponentType(TMMComponentType value);
  TMMCustomAudioDevice* Target() const { return target_; }
  // Raises "Can't target to mixer" for a mixer device.
  void SetTarget(TMMCustomAudioDevice* value);
  TMMComponent* DestLine() const;
  // Raises "DestLine should be TMMAudioLine" for anything but an audio line.
  void SetDestLine(TMMComponent* value);
  TMMLineInfo* LineInfo() const { return info_; }
  const TNotifyEvent& OnChange() const { return onChange_; }
  void SetOnChange(const TNotifyEvent& value) { onChange_ = value; }
  const TMMControlChangeEvent& OnControlChange() const { return onControlChange_; }
  void SetOnControlChange(const TMMControlChangeEvent& value) { onControlChange_ = value; }
  TLineMode LineMode() const { return lineMode_; }
  int DestIndex() const { return destIndex_; }

  Q_INVOKABLE bool StoredLineId() const { return lineMode_ == lmById && lineId_ != badLineId; }
  Q_INVOKABLE bool StoredComponentType() const { return lineMode_ == lmByComponentType && componentType_ != ctDstDigital; }
  Q_INVOKABLE bool StoredTarget() const { return lineMode_ == lmByTarget && target_; }

  void AddObserver(TMMObserver* O) { observable_.AddObserver(O); }
  void RemoveObserver(TMMObserver* O) { observable_.RemoveObserver(O); }

  bool IsMixerValid() const { return mixer_ && mixer_->IsValid(); }
  // Looks the line up again and tells the watchers.
  void UpdateLine();
  // Run on the destination line: finds L among its sources.
  bool FindSourceLine(TMMAudioLine* L, TMMApiLine& R);

  void Loaded() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

protected:
  virtual void LineChanged();
  virtual void NotifyLineIdChange();
  virtual void ControlChanged(TMMControlId CtlId);
  virtual void DoChange();
  virtual void DoControlChange(TMMLineId LineId, TMMControlId CtlId);

private:
  // L looked up on `mixer` by L's own mode.
  static bool LookUp(TMMAudioLine* L, TMMMixerDevice* mixer, TMMApiLine& R);
  void MixerNotify(QObject* data);
  void SetIgnoredInfo(TMMLineInfo*) {}

  TMMLineId lineId_ = badLineId;
  int destIndex_ = -1;
  TMMAudioLine* destLine_ = nullptr;
  TMMObserver destLineObserver_;
  TMMLineInfo* info_;
  TMMComponentType componentType_ = ctDstDigital;
  TMMMixerDevice* mixer_ = nullptr;
  TMMObserver mixerObserver_;
  TLineMode lineMode_ = lmById;
  TMMCustomAudioDevice* target_ = nullptr;
  TMMObserver targetObserver_;
  TMMObservable observable_;
  TNotifyEvent onChange_;
  TMMControlChangeEvent onControlChange_;
  bool updating_ = false;
};
