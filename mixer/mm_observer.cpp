#include "mixer/mm_observer.h"

#include <algorithm>

TMMObserver::~TMMObserver()
{
  if (observable_) observable_->RemoveObserver(this);
}

void TMMObserver::Update(QObject* Data)
{
  if (lockCount_ == 0 && OnNotify) OnNotify(this, Data);
}

TMMObservable::~TMMObservable()
{
  while (!observers_.empty()) RemoveObserver(observers_.back());
}

void TMMObservable::AddObserver(TMMObserver* O)
{
  if (!O) return;
  if (O->observable_) O->observable_->RemoveObserver(O);
  observers_.push_back(O);
  O->observable_ = this;
}

void TMMObservable::RemoveObserver(TMMObserver* O)
{
  if (!O || O->observable_ != this) return;
  observers_.erase(std::remove(observers_.begin(), observers_.end(), O), observers_.end());
  O->observable_ = nullptr;
}

void TMMObservable::NotifyObservers(QObject* Data)
{
  // A receiver may detach itself or others while we go.
  for (size_t i = observers_.size(); i > 0; --i) {
    if (i > observers_.size()) continue;
    observers_[i - 1]->Update(Data);
  }
}
