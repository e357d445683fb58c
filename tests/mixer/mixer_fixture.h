// Shared set-up of the mixer tests: an in-memory back-end with a mixer shaped
// like a sound card's, installed for the duration of a test.
#pragma once

#include "mixer/mm_controls.h"
#include "mixer/mm_register.h"
#include "platform/mixer_memory.h"

#include "support/pump.h"
#include "support/scoped_mixer_backend.h"

#include <QCoreApplication>
#include <gtest/gtest.h>
#include <optional>

inline void PumpPosted() { QCoreApplication::sendPostedEvents(); }

// What a recording line and its mute look like once their device went away,
// whichever back-end: the line and the control are no longer usable, a read
// is a clear error, and the mixer reported the line.
inline void ExpectRecordingLineGone(TMMAudioLine* line, TMMMixerControl* mute, int lineReports)
{
  EXPECT_GE(lineReports, 1) << "the mixer reports the line";
  EXPECT_EQ(line->LineId(), badLineId);
  EXPECT_FALSE(mute->IsAvailable());
  EXPECT_FALSE(mute->IsEnabled());
  EXPECT_THROW(mute->GetBoolean(), Exception);
}

// A device of another family, for following and targeting.
class TTestAudioDevice : public TMMCustomAudioDevice {
public:
  TTestAudioDevice(TComponent* owner, TMMDeviceKind kind) : TMMCustomAudioDevice(owner) { SetDeviceKind(kind); }
  int opens = 0;

protected:
  void Open() override
  {
    ++opens;
    TMMCustomAudioDevice::Open();
  }
};

class MixerTest : public ::testing::Test {
protected:
  // Identifiers of the standard mixer.
  static constexpr quint32 kPlayback = 0xFFFF0000, kRecording = 0xFFFF0001;
  quint32 playVolume = 0, playMute = 0, recVolume = 0, recMute = 0, recMux = 0, micVolume = 0, wavePan = 0,
          waveVolume = 0, micLine = 0, lineLine = 0, cdLine = 0, waveLine = 0, auxLine = 0, wavePlayLine = 0;

  void SetUp() override
  {
    RegisterMixerClasses();
    mem = backend.emplace().Memory();
  }
  void TearDown() override
  {
    owner.DestroyComponents();
    PumpPosted();
    backend.reset();
  }

  // Mixer 0: playback with stereo volume and mute, a wave-out source with a
  // volume and a pan; recording with volume, mute and a five-item mux over
  // its five sources.
  int AddStandardMixer(const QString& name = "Test Mixer")
  {
    const int m = mem->AddMixer(name);
    TMixerTopology& t = mem->Topology(m);
    TMMApiLineTarget out{mmapi::TARGETTYPE_WAVEOUT, 0, 1, 2, 0x0100, "Test Wave Out"};
    TMMApiLineTarget in{mmapi::TARGETTYPE_WAVEIN, 0, 1, 2, 0x0100, "Test Wave In"};
    t.AddDestination(mmapi::COMPONENTTYPE_DST_SPEAKERS, "Speakers", "Speakers", 2, out);
    t.AddDestination(mmapi::COMPONENTTYPE_DST_WAVEIN, "Rec", "Recording Control", 2, in);
    playVolume = t.AddControl(kPlayback, mmapi::CONTROLTYPE_VOLUME, 0, 0, 65535, 65535, "Vol", "Master Volume").Info.ControlId;
    playMute = t.AddControl(kPlayback, mmapi::CONTROLTYPE_MUTE, mmapi::CONTROLF_UNIFORM, 0, 1, 0, "Mute", "Master Mute").Info.ControlId;
    wavePlayLine = t.AddSource(kPlayback, mmapi::COMPONENTTYPE_SRC_WAVEOUT, "Wave", "Wave Out", 2).LineId;
    waveVolume = t.AddControl(wavePlayLine, mmapi::CONTROLTYPE_VOLUME, 0, 0, 65535, 65535, "Vol", "Wave Volume").Info.ControlId;
    wavePan = t.AddControl(wavePlayLine, mmapi::CONTROLTYPE_PAN, mmapi::CONTROLF_UNIFORM, -32768, 32767, 0, "Pan", "Wave Pan").Info.ControlId;
    micLine = t.AddSource(kRecording, mmapi::COMPONENTTYPE_SRC_MICROPHONE, "Mic", "Microphone", 1).LineId;
    lineLine = t.AddSource(kRecording, mmapi::COMPONENTTYPE_SRC_LINE, "Line", "Line In", 2).LineId;
    cdLine = t.AddSource(kRecording, mmapi::COMPONENTTYPE_SRC_COMPACTDISC, "CD", "CD Audio", 2).LineId;
    auxLine = t.AddSource(kRecording, mmapi::COMPONENTTYPE_SRC_AUXILIARY, "Aux", "Aux", 2).LineId;
    waveLine = t.AddSource(kRecording, mmapi::COMPONENTTYPE_SRC_WAVEOUT, "Mix", "Stereo Mix", 2).LineId;
    micVolume = t.AddControl(micLine, mmapi::CONTROLTYPE_VOLUME, 0, 0, 65535, 65535, "Vol", "Mic Volume").Info.ControlId;
    recVolume = t.AddControl(kRecording, mmapi::CONTROLTYPE_VOLUME, 0, 0, 65535, 65535, "Vol", "Rec Volume").Info.ControlId;
    recMute = t.AddControl(kRecording, mmapi::CONTROLTYPE_MUTE, mmapi::CONTROLF_UNIFORM, 0, 1, 0, "Mute", "Rec Mute").Info.ControlId;
    std::vector<TMMApiListText> items;
    for (quint32 line : {micLine, lineLine, cdLine, auxLine, waveLine})
      items.push_back({line, 0, t.Line(line)->Name});
    recMux = t.AddControl(kRecording, mmapi::CONTROLTYPE_MUX, mmapi::CONTROLF_UNIFORM, 0, 4, 0, "Mux", "Rec Source", items).Info.ControlId;
    return m;
  }

  TMemoryMixerBackend* mem = nullptr;
  std::optional<TScopedMixerBackend> backend;
  TComponent owner{nullptr};
};

// Counts the change reports of a mixer object.
struct ChangeCounter {
  int Changing = 0, Changed = 0;
  void Attach(TMMObject& o)
  {
    o.OnChanging = [this](TPersistent*) { ++Changing; };
    o.OnChange = [this](TPersistent*) { ++Changed; };
  }
};
