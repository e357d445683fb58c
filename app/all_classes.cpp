#include "app/all_classes.h"

#include "toolkit/component.h"

void RegisterAllClasses()
{
  RegisterToolkitClasses();
}
