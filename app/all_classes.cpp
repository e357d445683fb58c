#include "app/all_classes.h"

#include "audio/audio_classes.h"
#include "toolkit/component.h"

void RegisterAllClasses()
{
  RegisterToolkitClasses();
  RegisterAudioClasses();
}
