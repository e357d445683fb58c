// The audio device base: one multimedia device of the system (MIDI, wave,
// auxiliary or mixer) with its number, capabilities, open state and watchers,
// and the one rule that turns platform result codes into exceptions.
#pragma once

#include "mixer/mm_observer.h"
#include "mixer/mm_utils.h"
#include "platform/mixer_backend.h"

#include <initializer_list>

VELMORA_EXCEPTION(EMMDeviceError, Exception);

// A failed platform multimedia call.
class EMMMCIError : public Exception {
public:
  EMMMCIError(qint32 code, QString message) : Exception(std::move(message)), ErrorCode(code) {}
  qint32 ErrorCode;
};

// Message for a result code: the platform's text, else "MMSystem error: %d".
QString MMErrorText(quint32 code);
// 0 and the tolerated codes are returned; any other code raises EMMMCIError.
quint32 CheckMMResult(quint32 result, std::initializer_list<quint32> tolerated = {});

// Where an exception that escapes a mixer message handler goes (the
// application's handler once there is one; a warning by default).
void MMHandleException(const std::exception& e);
void MMSetExceptionHandler(std::function<void(const std::exception&)> handler);

// Capabilities of the current device; shown, never stored, writes ignored.
class TMMDeviceCaps : public TPersistent {
  Q_OBJECT
  Q_PROPERTY(int ManufacturerId READ ManufacturerId WRITE SetIgnored STORED false)
  Q_PROPERTY(int ProductId READ ProductId WRITE SetIgnored STORED false)
  Q_PROPERTY(int VerMajor READ VerMajor WRITE SetIgnored STORED false)
  Q_PROPERTY(int VerMinor READ VerMinor WRITE SetIgnored STORED false)
  Q_PROPERTY(QString ProductName READ ProductName WRITE SetIgnoredName STORED false)
public:
  explicit TMMDeviceCaps(QObject* parent = nullptr) : TPersistent(parent) {}
  int ManufacturerId() const { return manufacturerId_; }
  int ProductId() const { return productId_; }
  int VerMajor() const { return verMajor_; }
  int VerMinor() const { return verMinor_; }
  QString ProductName() const { return productName_; }
  void SetIgnored(int) {}
  void SetIgnoredName(const QString&) {}
  void Assign(const TPersistent*) override {}

  void Clear() { Set({}); }
  void Set(const TMMApiDeviceCaps& caps);

private:
  quint16 manufacturerId_ = 0;
  quint16 productId_ = 0;
  quint8 verMajor_ = 0;
  quint8 verMinor_ = 0;
  QString productName_;
};

class TMMCustomAudioDevice : public TMMNonVisualComponent {
  Q_OBJECT
  Q_CLASSINFO("IntegerIdents:DeviceId", "TMMDeviceId")
  Q_PROPERTY(int DeviceCount READ DeviceCount WRITE SetIgnoredInt STORED false)
  Q_PROPERTY(TMMDeviceCaps* DeviceCaps READ DeviceCaps WRITE SetIgnoredCaps STORED false)
  Q_PROPERTY(bool Mapper READ Mapper WRITE SetIgnoredBool STORED false)
  Q_PROPERTY(bool Active READ Active WRITE SetActive)
  Q_PROPERTY(int DeviceId READ DeviceId WRITE SetDeviceId)
  Q_PROPERTY(TNotifyEvent OnChange READ OnChange WRITE SetOnChange)

public:
  enum TMMDeviceKind : quint8 { dkMidiIn, dkMidiOut, dkWaveIn, dkWaveOut, dkAux, dkMixer };

  explicit TMMCustomAudioDevice(TComponent* AOwner);
  ~TMMCustomAudioDevice() override;

  int DeviceCount() const;
  TMMDeviceCaps* DeviceCaps() const { return caps_; }
  bool Mapper() const;
  bool Active() const { return IsLoading() ? streamedActive_ : active_; }
  void SetActive(bool value);
  TMMDeviceId DeviceId() const { return deviceId_; }
  void SetDeviceId(TMMDeviceId value);
  const TNotifyEvent& OnChange() const { return onChange_; }
  void SetOnChange(const TNotifyEvent& value) { onChange_ = value; }
  TMMDeviceKind DeviceKind() const { return kind_; }
  // Whether a description stores DeviceId.
  Q_INVOKABLE virtual bool StoredDeviceId() const { return true; }

  void AddObserver(TMMObserver* O) { observable_.AddObserver(O); }
  void RemoveObserver(TMMObserver* O) { observable_.RemoveObserver(O); }

  bool IsValid() const { return DeviceCount() >= 1 && deviceId_ != InvalidId; }
  // Number of the mixer that serves this device; -2 when none.
  TMMDeviceId GetMixerId() const;

  // Platform family and values of a device kind.
  static TMMDeviceFamily Family(TMMDeviceKind kind) { return static_cast<TMMDeviceFamily>(kind); }
  static quint32 MixerObjectFlag(TMMDeviceKind kind);
  static quint32 MixerTargetType(TMMDeviceKind kind);

  void Loaded() override;

protected:
  virtual void Open();
  virtual void Close();
  virtual void DeviceChanged();
  virtual void NotifyChange();
  virtual void DoDeviceChange();

  void SetDeviceKind(TMMDeviceKind kind);
  void SetDeviceIdDirect(TMMDeviceId id) { deviceId_ = id; }
  void UpdateCaps();

private:
  void SetIgnoredInt(int) {}
  void SetIgnoredBool(bool) {}
  void SetIgnoredCaps(TMMDeviceCaps*) {}

  bool active_ = false;
  bool streamedActive_ = false;
  TMMDeviceKind kind_ = dkWaveOut;
  TMMDeviceId deviceId_ = 0;
  TMMDeviceCaps* caps_;
  TMMObservable observable_;
  TNotifyEvent onChange_;
};
