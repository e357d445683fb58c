// The mixer device: one mixer of the system. It opens the mixer with a
// callback window, turns the mixer's change reports into change objects for
// its watchers and into two events, and answers the line, control and value
// queries of audio lines and mixer controls. The queries name the mixer by
// number, so they work whether or not it is open. It can follow another audio
// device and then uses the mixer that serves that device.
#pragma once

#include "mixer/mm_device.h"

static_assert(std::is_same_v<TMMLineId, int>);
using TMMLineChangeEvent = TIntEvent;
using TMMControlChangeEvent = TEvent<TObject*, TMMLineId, TMMControlId>;
Q_DECLARE_METATYPE(TMMControlChangeEvent)

class EMMMixerDeviceError : public EMMDeviceError {
public:
  explicit EMMMixerDeviceError(QString message) : EMMDeviceError(std::move(message)) {}
};

class TMMMixerDevice;

// The hidden window that receives the mixer's change reports while it is open.
class TMMMixerCallbackWindow : public TComponent {
  Q_OBJECT
public:
  explicit TMMMixerCallbackWindow(TMMMixerDevice* mixer) : TComponent(nullptr), mixer_(mixer) {}
  void WndProc(TMessage& Message) override;
  // Cut off from the mixer; reports still queued for it reach nobody.
  void Detach() { mixer_ = nullptr; }

private:
  TMMMixerDevice* mixer_;
};

class TMMMixerDevice : public TMMCustomAudioDevice {
  Q_OBJECT
  Q_PROPERTY(TMMCustomAudioDevice* Device READ Device WRITE SetDevice)
  Q_PROPERTY(int Destinations READ Destinations WRITE SetIgnoredDestinations STORED false)
  Q_PROPERTY(TMMLineChangeEvent OnLineChange READ OnLineChange WRITE SetOnLineChange)
  Q_PROPERTY(TMMControlChangeEvent OnControlChange READ OnControlChange WRITE SetOnControlChange)

public:
  explicit TMMMixerDevice(TComponent* AOwner);
  ~TMMMixerDevice() override;

  quintptr Handle() const { return handle_; }
  TMMMixerCallbackWindow* CallbackWindow() const { return window_; }
  TMMCustomAudioDevice* Device() const { return device_; }
  // Raises "Mixer can't reference mixer" for a mixer device.
  void SetDevice(TMMCustomAudioDevice* value);
  int Destinations() const;
  const TMMLineChangeEvent& OnLineChange() const { return onLineChange_; }
  void SetOnLineChange(const TMMLineChangeEvent& value) { onLineChange_ = value; }
  const TMMControlChangeEvent& OnControlChange() const { return onControlChange_; }
  void SetOnControlChange(const TMMControlChangeEvent& value) { onControlChange_ = value; }
  Q_INVOKABLE bool StoredDeviceId() const override;

  // Watchers of the mixer: line, control and device changes.
  void AddMixerObserver(TMMObserver* O) { mixerObservable_.AddObserver(O); }
  void RemoveMixerObserver(TMMObserver* O) { mixerObservable_.RemoveObserver(O); }

  // The mixer's number; when open, the one the platform reports for the handle.
  TMMDeviceId MixerId();

  // Line and control queries: false for the tolerated codes, EMMMCIError otherwise.
  bool GetLineInfoById(TMMLineId LineId, TMMApiLine& Line);
  bool GetLineInfoByComponentType(TMMComponentType Type, TMMApiLine& Line);
  bool GetLineInfoBySource(int DestIndex, int SourceIndex, TMMApiLine& Line);
  bool GetLineInfoByTarget(TMMCustomAudioDevice* Target, TMMApiLine& Line);
  bool GetControlById(TMMControlId ControlId, TMMApiControl& Control);
  bool GetControlByType(TMMLineId LineId, TMMControlType Type, TMMApiControl& Control);
  TMMLineId GetLineOfControl(TMMControlId ControlId);
  // The record's target part as a line query by target would send it.
  static TMMApiLineTarget TargetOf(TMMCustomAudioDevice* device);

  // Value arrays of Max(Channels,1) * Max(Items,1) entries, item by item.
  void GetBooleanValues(TMMControlId ControlId, int Channels, int Items, bool* Values);
  void SetBooleanValues(TMMControlId ControlId, int Channels, int Items, const bool* Values);
  void GetSignedValues(TMMControlId ControlId, int Channels, int Items, qint32* Values);
  void SetSignedValues(TMMControlId ControlId, int Channels, int Items, const qint32* Values);
  void GetUnsignedValues(TMMControlId ControlId, int Channels, int Items, quint32* Values);
  void SetUnsignedValues(TMMControlId ControlId, int Channels, int Items, const quint32* Values);
  std::vector<TMMApiListText> GetListTexts(TMMControlId ControlId, int Channels, int Items);

  void Notification(TComponent* AComponent, TOperation Operation) override;

protected:
  void Open() override;
  void Close() override;
  void DeviceChanged() override;
  void NotifyChange() override;
  virtual void LineChange(TMMLineId LineId);
  virtual void ControlChange(TMMControlId CtlId);
  virtual void DoLineChange(TMMLineId LineId);
  virtual void DoControlChange(TMMLineId LineId, TMMControlId CtlId);

private:
  friend class TMMMixerCallbackWindow;
  void MixerWndProc(TMessage& Message);
  void ReleaseWindow();
  void GetValues(TMMControlId ControlId, int Channels, int Items, quint32* Values);
  void SetValues(TMMControlId ControlId, int Channels, int Items, const quint32* Values);
  bool LineQuery(TMMLineQuery query, TMMApiLine& line);
  void SetIgnoredDestinations(int) {}

  quintptr handle_ = 0;
  TMMMixerCallbackWindow* window_ = nullptr;
  TMMCustomAudioDevice* device_ = nullptr;
  TMMObserver deviceObserver_;
  TMMObservable mixerObservable_;
  TMMLineChangeEvent onLineChange_;
  TMMControlChangeEvent onControlChange_;
};
