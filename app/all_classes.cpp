#include "app/all_classes.h"

#include "mixer/mm_register.h"
#include "toolkit/component.h"

void RegisterAllClasses()
{
  RegisterToolkitClasses();
  RegisterMixerClasses();
}
