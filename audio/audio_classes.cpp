#include "audio/audio_classes.h"

#include "audio/dx_audio_in.h"
#include "audio/mp3_out.h"

void RegisterAudioClasses()
{
  TEventTypes::Register<TThreadExceptionEvent>();
  TEventTypes::Register<TNotifyEvent>();
  TComponentClasses::Register<TDXAudioIn>();
  TComponentClasses::Register<TMP3Out>();
}
