#include "mixer/mm_register.h"

#include "mixer/mm_controls.h"

void RegisterMixerClasses()
{
  RegisterMixerIdents();
  TEventTypes::Register<TMMLineChangeEvent>();
  TEventTypes::Register<TMMControlChangeEvent>();
  TComponentClasses::Register<TMMMixerDevice>();
  TComponentClasses::Register<TMMAudioLine>();
  TComponentClasses::Register<TMMMixerControl>();
  TComponentClasses::Register<TMMVolumeControl>();
  TComponentClasses::Register<TMMPanControl>();
}
