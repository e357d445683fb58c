#include "mixer/mm_object.h"

#include "toolkit/exceptions.h"

void TMMObject::BeginUpdate()
{
  if (updateCount_ == 0) DoChange(true);
  ++updateCount_;
}

void TMMObject::EndUpdate()
{
  if (updateCount_ <= 0) return;
  --updateCount_;
  if (updateCount_ == 0) DoChange(false);
}

void TMMObject::DoChange(bool Starting)
{
  if (Starting)
    Changing();
  else
    Changed();
}

void TMMObject::Changing()
{
  if (updateCount_ == 0 && OnChanging) OnChanging(this);
}

void TMMObject::Changed()
{
  if (updateCount_ == 0) TPersistent::Changed();
}
