#include "app/all_classes.h"

#include "audio/audio_classes.h"
#include "browser/embedded_browser.h"
#include "mixer/mm_register.h"
#include "skin/skin_data.h"
#include "toolkit/component.h"
#include "toolkit/std_controls.h"

void RegisterAllClasses()
{
  RegisterToolkitClasses();
  RegisterToolkitVisualClasses();
  RegisterSkinClasses();
  RegisterAudioClasses();
  RegisterBrowserClasses();
  RegisterMixerClasses();
}
