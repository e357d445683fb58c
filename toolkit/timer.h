// The window timer: OnTimer every Interval milliseconds while Enabled, on the UI thread.
#pragma once

#include "toolkit/component.h"

#include <QTimer>

class TTimer : public TComponent {
  Q_OBJECT
  Q_PROPERTY(bool Enabled READ Enabled WRITE SetEnabled)
  Q_PROPERTY(int Interval READ Interval WRITE SetInterval)
  Q_PROPERTY(TNotifyEvent OnTimer READ OnTimer WRITE SetOnTimer)
public:
  explicit TTimer(TComponent* AOwner);

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool v);
  // Milliseconds; 0 stops the timer. A change restarts the count.
  int Interval() const { return interval_; }
  void SetInterval(int v);
  TNotifyEvent OnTimer() const { return onTimer_; }
  void SetOnTimer(const TNotifyEvent& e);
  // True while ticks are due (enabled, an interval and a handler).
  bool Running() const { return timer_.isActive(); }

  void Loaded() override;

protected:
  virtual void Timer();

private:
  void UpdateTimer();

  QTimer timer_;
  bool enabled_ = true;
  int interval_ = 1000;
  TNotifyEvent onTimer_;
};
