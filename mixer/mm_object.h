// Bases of the mixer components: the change-reporting object with update
// batching and the roots of the component tree.
#pragma once

#include "mixer/mm_types.h"
#include "toolkit/component.h"

#include <functional>
#include <vector>

// A persistent object that reports its changes (OnChange, inherited from
// TPersistent) and can batch them between BeginUpdate and EndUpdate.
class TMMObject : public TPersistent {
  Q_OBJECT
public:
  explicit TMMObject(QObject* parent = nullptr) : TPersistent(parent) {}

  void BeginUpdate();
  void EndUpdate();
  int UpdateCount() const { return updateCount_; }

  // Fired when a batch of changes begins.
  std::function<void(TPersistent*)> OnChanging;

protected:
  virtual void DoChange(bool Starting);
  virtual void Changing();
  // Fires OnChange unless a batch is open.
  virtual void Changed();

private:
  int updateCount_ = 0;
};

// Root of all mixer components.
class TMMComponent : public TComponent {
  Q_OBJECT
public:
  explicit TMMComponent(TComponent* AOwner) : TComponent(AOwner) {}

protected:
  // While a description is read, and whenever it is only being checked
  // (designing), devices stay closed and look-ups wait.
  bool DeviceWorkDeferred() const { return IsLoading() || IsDesigning(); }
};

// Root of devices, lines, mixer controls and connectors.
class TMMNonVisualComponent : public TMMComponent {
  Q_OBJECT
public:
  explicit TMMNonVisualComponent(TComponent* AOwner) : TMMComponent(AOwner) {}
};
