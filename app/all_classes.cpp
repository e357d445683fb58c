#include "app/all_classes.h"

#include "app/form_main.h"
#include "app/form_record.h"
#include "app/form_schedule.h"
#include "audio/audio_classes.h"
#include "browser/embedded_browser.h"
#include "mixer/mm_register.h"
#include "mixer_ui/mm_block.h"
#include "skin/skin_data.h"
#include "skin_controls/skin_controls_register.h"
#include "toolkit/component.h"
#include "toolkit/std_controls.h"

void RegisterAllClasses()
{
  RegisterToolkitClasses();
  RegisterToolkitVisualClasses();
  RegisterSkinClasses();
  RegisterSkinControlClasses();
  RegisterAudioClasses();
  RegisterMixerClasses();
  RegisterMixerUiClasses();
  RegisterBrowserClasses();
  RegisterMainWindowClasses();
  RegisterRecordWindowClasses();
  RegisterScheduleWindowClasses();
}

TForm* RecordWindow()
{
  for (int i = 0; i < Screen->FormCount(); ++i)
    if (Screen->Forms(i)->Name() == QLatin1String("Form_Record")) return Screen->Forms(i);
  return nullptr;
}

void CreateSecondaryWindows()
{
  if (!RecordWindow()) Application->CreateForm<TForm_Record>();
}
