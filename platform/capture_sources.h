// The capture sources a person chooses from, named by what they are: through
// the sound server when one runs (PulseAudio, or PipeWire's PulseAudio
// service) "默认输入", "正在播放的声音" (what the default output plays) and
// the server's inputs by their descriptions; without a server the default
// device and the sound cards' capture devices. ALSA's plugin names (rate
// converters, upmix, OSS, JACK) are never offered.
#pragma once

#include "platform/capture_device.h"

#include <QByteArray>
#include <QString>
#include <vector>

// The system's default input: what recording takes unless told otherwise.
extern const QString kDefaultInputName;
// The monitor of the default output: the sound that is playing.
extern const QString kPlayingSoundName;

struct TServerSource {
  QByteArray Name;       // the server's name, as the capture opens it
  QString Description;   // for people
  bool Monitor = false;  // the monitor of an output
};

struct TSoundServerState {
  QByteArray DefaultSink;  // empty: no output
  std::vector<TServerSource> Sources;
};

struct TCardCaptureDevice {
  QByteArray CardId;  // ALSA card id ("PCH")
  int Device = 0;
  QString CardName;   // "HDA Intel PCH"
  QString DeviceName; // "ALC892 Analog"
};

// The list from what the server reports. Names are unique (a repeated
// description gets " (2)", " (3)"...).
std::vector<TCaptureDeviceInfo> ServerCaptureSources(const TSoundServerState& state);
// The list from the sound cards when there is no server.
std::vector<TCaptureDeviceInfo> CardCaptureSources(const std::vector<TCardCaptureDevice>& cards);

// Asks the sound server (no autospawn, bounded by `timeoutMs`); false when none answers.
bool QuerySoundServer(TSoundServerState& state, int timeoutMs = 2000);
// Whether a sound server answers (PulseAudio, or PipeWire's PulseAudio service).
bool SoundServerRunning(int timeoutMs = 1000);
// What is said when recording needs a sound server and none runs.
extern const QString kNoSoundServerText;
// The capture devices of the sound cards ALSA knows.
std::vector<TCardCaptureDevice> QueryCaptureCards();
// What a person can record from now: the server's list, else the cards'.
std::vector<TCaptureDeviceInfo> AvailableCaptureSources();
