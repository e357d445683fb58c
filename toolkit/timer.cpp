#include "toolkit/timer.h"

#include "toolkit/controls.h"

TTimer::TTimer(TComponent* AOwner) : TComponent(AOwner)
{
  timer_.setTimerType(Qt::CoarseTimer);
  QObject::connect(&timer_, &QTimer::timeout, this, [this] { Guarded([this] { Timer(); }); });
}

void TTimer::SetEnabled(bool v)
{
  if (v == enabled_) return;
  enabled_ = v;
  UpdateTimer();
}

void TTimer::SetInterval(int v)
{
  v = std::max(v, 0);
  if (v == interval_) return;
  interval_ = v;
  UpdateTimer();
}

void TTimer::SetOnTimer(const TNotifyEvent& e)
{
  onTimer_ = e;
  UpdateTimer();
}

void TTimer::Loaded()
{
  TComponent::Loaded();
  UpdateTimer();
}

void TTimer::UpdateTimer()
{
  timer_.stop();
  if (enabled_ && interval_ > 0 && onTimer_ && !IsLoading() && !IsDesigning()) timer_.start(interval_);
}

void TTimer::Timer()
{
  if (onTimer_) onTimer_(this);
}
