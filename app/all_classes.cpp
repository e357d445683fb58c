#include "app/all_classes.h"

#include "browser/embedded_browser.h"
#include "toolkit/component.h"

void RegisterAllClasses()
{
  RegisterToolkitClasses();
  RegisterBrowserClasses();
}
