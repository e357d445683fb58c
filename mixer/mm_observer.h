// Observers and the change objects that travel through them. A sender creates
// a change, broadcasts it with NotifyObservers and frees it at once; receivers
// recognise it by its class and never keep it.
#pragma once

#include "mixer/mm_object.h"

#include <QObject>
#include <functional>
#include <vector>

class TMMObservable;

class TMMObserver {
public:
  TMMObserver() = default;
  virtual ~TMMObserver();
  TMMObserver(const TMMObserver&) = delete;
  TMMObserver& operator=(const TMMObserver&) = delete;

  TMMObservable* Observable() const { return observable_; }

  // Ignored notifications while locked: a re-entrancy guard of the owner.
  void Lock() { ++lockCount_; }
  void Unlock() { --lockCount_; }
  bool IsLocked() const { return lockCount_ != 0; }
  int LockCount() const { return lockCount_; }

  virtual void Update(QObject* Data);

  // (Sender: this observer, Data: the change).
  std::function<void(TMMObserver* Sender, QObject* Data)> OnNotify;

private:
  friend class TMMObservable;
  TMMObservable* observable_ = nullptr;
  int lockCount_ = 0;
};

class TMMObservable {
public:
  TMMObservable() = default;
  // Detaches every observer, last first; the observers live on.
  ~TMMObservable();
  TMMObservable(const TMMObservable&) = delete;
  TMMObservable& operator=(const TMMObservable&) = delete;

  // Moves O here from wherever it was attached (here included: no duplicates).
  void AddObserver(TMMObserver* O);
  // Detaches O only when it is attached here.
  void RemoveObserver(TMMObserver* O);
  // Calls Update on every observer, last attached first.
  void NotifyObservers(QObject* Data);

  const std::vector<TMMObserver*>& Observers() const { return observers_; }

private:
  std::vector<TMMObserver*> observers_;
};

// The device identity or its capabilities changed.
class TMMDeviceChange : public QObject {
  Q_OBJECT
};

// Base of the mixer's change reports; never sent itself.
class TMMMixerChange : public TMMObject {
  Q_OBJECT
};

// The mixer reported a change on line LineId.
class TMMLineChange : public TMMMixerChange {
  Q_OBJECT
public:
  explicit TMMLineChange(TMMLineId lineId = badLineId) : LineId(lineId) {}
  TMMLineId LineId;
};

// The value of control ControlId on line LineId changed.
class TMMControlChange : public TMMMixerChange {
  Q_OBJECT
public:
  TMMControlChange(TMMLineId lineId = badLineId, TMMControlId controlId = badControlId)
      : LineId(lineId), ControlId(controlId) {}
  TMMLineId LineId;
  TMMControlId ControlId;
};

// The line was looked up again; its identifier and information may differ.
class TMMLineIdChange : public TMMMixerChange {
  Q_OBJECT
};

// The control was looked up again; its identifier and information may differ.
class TMMControlIdChange : public TMMMixerChange {
  Q_OBJECT
};
