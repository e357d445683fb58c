// Registration of the audio pipeline's component classes and event types.
#pragma once

void RegisterAudioClasses();
