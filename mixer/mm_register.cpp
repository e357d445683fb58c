#include "mixer/mm_register.h"

#include "mixer/mm_controls.h"
#include "toolkit/forms.h"

namespace {
// The mixer controls' own cursors, 2001 to 2031. Only the hand over a
// slider's thumb (2005) has a known use; the others get the arrow until the
// program has pictures for them.
void RegisterMixerCursors()
{
  for (int id = mm::FirstCursor; id <= mm::LastCursor; ++id)
    Screen->SetCursors(id, QCursor(id == mm::HandCursor ? Qt::PointingHandCursor : Qt::ArrowCursor));
}
} // namespace

void RegisterMixerClasses()
{
  RegisterMixerIdents();
  RegisterMixerCursors();
  TEventTypes::Register<TMMLineChangeEvent>();
  TEventTypes::Register<TMMControlChangeEvent>();
  TComponentClasses::Register<TMMMixerDevice>();
  TComponentClasses::Register<TMMAudioLine>();
  TComponentClasses::Register<TMMMixerControl>();
  TComponentClasses::Register<TMMVolumeControl>();
  TComponentClasses::Register<TMMPanControl>();
}
