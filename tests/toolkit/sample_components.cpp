#include "sample_components.h"

void RegisterSampleClasses()
{
  RegisterToolkitClasses();
  TComponentClasses::Register<TSampleWidget>();
  TComponentClasses::Register<TSampleForm>();
  TComponentClasses::Register<TFailingLoad>();
  TIntegerIdents::Register(QStringLiteral("TSampleDeviceId"),
                           {{QStringLiteral("MapperId"), -1}, {QStringLiteral("InvalidId"), -2}});
}
