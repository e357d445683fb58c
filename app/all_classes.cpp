#include "app/all_classes.h"

#include "toolkit/component.h"
#include "toolkit/std_controls.h"

void RegisterAllClasses()
{
  RegisterToolkitClasses();
  RegisterToolkitVisualClasses();
}
