// Set-up of the mixer control tests: the in-memory mixer of the mixer tests
// plus a recording line shaped for the bound controls (volume 0..65535 with
// no step count, mute, a peak meter), and a host window for controls.
#pragma once

#include "mixer/mixer_fixture.h"
#include "mixer_ui/mm_block.h"
#include "toolkit/forms.h"

class MixerUiTest : public MixerTest {
protected:
  quint32 volume = 0, mute = 0, peak = 0;

  void SetUp() override
  {
    MixerTest::SetUp();
    RegisterMixerUiClasses();
    Application->OnException = [this](const QString& text) { errors << text; };
  }
  void TearDown() override
  {
    Application->OnException = nullptr;
    MixerTest::TearDown();
  }

  // Mixer 0: playback, then the recording destination (stereo).
  int AddRecordingMixer(bool withPeak, quint16 manufacturer = 1, qint32 peakMin = -32768, qint32 peakMax = 32767)
  {
    const int m = mem->AddMixer("Card", manufacturer);
    TMixerTopology& t = mem->Topology(m);
    TMMApiLineTarget out{mmapi::TARGETTYPE_WAVEOUT, 0, 1, 2, 0x0100, "Wave Out"};
    TMMApiLineTarget in{mmapi::TARGETTYPE_WAVEIN, 0, 1, 2, 0x0100, "Wave In"};
    t.AddDestination(mmapi::COMPONENTTYPE_DST_SPEAKERS, "Speakers", "Speakers", 2, out);
    t.AddDestination(mmapi::COMPONENTTYPE_DST_WAVEIN, "Rec", "Recording Control", 2, in);
    volume = t.AddControl(kRecording, mmapi::CONTROLTYPE_VOLUME, 0, 0, 65535, 0, "Vol", "Rec Volume").Info.ControlId;
    mute = t.AddControl(kRecording, mmapi::CONTROLTYPE_MUTE, mmapi::CONTROLF_UNIFORM, 0, 1, 0, "Mute", "Rec Mute").Info.ControlId;
    if (withPeak)
      peak = t.AddControl(kRecording, mmapi::CONTROLTYPE_PEAKMETER, 0, peakMin, peakMax, 0, "Peak", "Rec Peak").Info.ControlId;
    return m;
  }

  // The recording line of mixer 0, opened.
  TMMAudioLine* RecordingLine()
  {
    auto* device = new TMMMixerDevice(&owner);
    device->SetActive(true);
    auto* line = new TMMAudioLine(&owner);
    line->SetMixer(device);
    line->SetLineId(-65535);
    return line;
  }

  // A shown form to put controls on.
  TForm* Host()
  {
    if (!host) {
      host = new TForm(&owner);
      host->SetBounds(0, 0, 300, 300);
    }
    return host;
  }

  TForm* host = nullptr;
  QStringList errors;
};
