// The layout of a sound card's ALSA elements as a mixer, for an element set
// like a typical onboard card's, checked through the mixer model itself.
#include "mixer_fixture.h"

#include "platform/mixer_alsa_plan.h"

namespace {

TAlsaElement Element(const QString& name, std::initializer_list<int> playback, std::initializer_list<int> capture,
                     bool volume = true, bool mute = true)
{
  TAlsaElement e;
  e.Name = name;
  if (playback.size()) {
    e.Playback = {volume, mute, false, false, playback, 0, 87};
  }
  if (capture.size()) {
    e.Capture = {volume, mute, false, false, capture, 0, 63};
  }
  return e;
}

std::vector<TAlsaElement> OnboardCard()
{
  std::vector<TAlsaElement> elements;
  elements.push_back(Element("Master", {0, 1}, {}));
  elements.push_back(Element("Headphone", {0, 1}, {}));
  elements.push_back(Element("PCM", {0, 1}, {}, true, false));
  elements.push_back(Element("Mic", {0, 1}, {}));
  TAlsaElement line = Element("Line", {0, 1}, {0, 1});
  line.Capture.Volume = false;  // capture switch only
  elements.push_back(line);
  elements.push_back(Element("Beep", {0}, {}));
  elements.push_back(Element("Capture", {}, {0, 1}));
  TAlsaElement source;
  source.Name = "Input Source";
  source.Enumerated = source.EnumCapture = true;
  source.EnumItems = {"Mic", "Line", "Internal Mic"};
  elements.push_back(source);
  TAlsaElement mode;
  mode.Name = "Auto-Mute Mode";
  mode.Enumerated = true;
  mode.EnumItems = {"Disabled", "Enabled"};
  elements.push_back(mode);
  return elements;
}

TEST(AlsaPlan, ElementsBecomeDestinationsSourcesAndControls)
{
  const TAlsaPlan plan = PlanAlsaMixer(OnboardCard(), "HDA Intel PCH", 1, 0x0102);
  const TMixerTopology& t = plan.Topology;
  EXPECT_EQ(t.DestinationCount(), 2u);
  const TMMApiLine* playback = t.Line(0xFFFF0000);
  const TMMApiLine* recording = t.Line(0xFFFF0001);
  ASSERT_TRUE(playback && recording);
  EXPECT_EQ(playback->ComponentType, mmapi::COMPONENTTYPE_DST_SPEAKERS);
  EXPECT_EQ(recording->ComponentType, mmapi::COMPONENTTYPE_DST_WAVEIN);
  EXPECT_EQ(recording->Target.Type, mmapi::TARGETTYPE_WAVEIN);
  EXPECT_EQ(recording->Target.ProductName, "HDA Intel PCH");
  // Headphone, PCM, Mic, Line, Beep, Auto-Mute Mode under playback; Line under recording.
  EXPECT_EQ(playback->Connections, 6u);
  EXPECT_EQ(recording->Connections, 1u);
  EXPECT_EQ(playback->Controls, 2u);
  EXPECT_EQ(recording->Controls, 3u);

  std::vector<TMMApiControl> controls;
  ASSERT_EQ(t.LineControls(0xFFFF0001, controls), 0u);
  ASSERT_EQ(controls.size(), 3u);
  EXPECT_EQ(controls[0].ControlType, mmapi::CONTROLTYPE_VOLUME);
  EXPECT_EQ(controls[0].Flags & mmapi::CONTROLF_UNIFORM, 0u);  // separate channels
  EXPECT_EQ(controls[0].Steps, 63u);
  EXPECT_EQ(controls[1].ControlType, mmapi::CONTROLTYPE_MUTE);
  EXPECT_EQ(controls[1].Name, "Capture Mute");
  EXPECT_EQ(controls[2].ControlType, mmapi::CONTROLTYPE_MUX);
  EXPECT_EQ(controls[2].MultipleItems, 3u);
  const TMixerTopologyControl* mux = t.Control(controls[2].ControlId);
  ASSERT_EQ(mux->Items.size(), 3u);
  EXPECT_EQ(mux->Items[0].Param1, 0xFFFFFFFFu);  // Mic has no recording source line
  EXPECT_EQ(t.Line(mux->Items[1].Param1)->Name, "Line");
  EXPECT_EQ(t.Line(mux->Items[1].Param1)->Destination, 1u);
  EXPECT_EQ(plan.Bindings.at(controls[1].ControlId).Role, TAlsaRole::CaptureSwitch);
  EXPECT_EQ(plan.Bindings.at(controls[1].ControlId).Element, 6u);

  // The mono beep keeps one value; the mode switch is a single-select list.
  TMMApiLine beep;
  beep.Destination = 0;
  beep.Source = 4;
  ASSERT_EQ(t.FindLine(TMMLineQuery::BySource, beep), 0u);
  EXPECT_EQ(beep.Name, "Beep");
  EXPECT_EQ(beep.ComponentType, mmapi::COMPONENTTYPE_SRC_PCSPEAKER);
  EXPECT_EQ(beep.Channels, 1u);
  ASSERT_EQ(t.LineControls(beep.LineId, controls), 0u);
  EXPECT_TRUE(controls[0].Flags & mmapi::CONTROLF_UNIFORM);
  TMMApiLine mode;
  mode.Destination = 0;
  mode.Source = 5;
  ASSERT_EQ(t.FindLine(TMMLineQuery::BySource, mode), 0u);
  ASSERT_EQ(t.LineControls(mode.LineId, controls), 0u);
  EXPECT_EQ(controls[0].ControlType, mmapi::CONTROLTYPE_SINGLESELECT);
  EXPECT_EQ(controls[0].MultipleItems, 2u);
}

TEST(AlsaPlan, WithoutMasterOrCaptureTheDestinationsStillExist)
{
  std::vector<TAlsaElement> elements;
  elements.push_back(Element("Speaker", {0, 1}, {}));
  TAlsaElement master2 = Element("Master", {0, 1}, {});
  master2.Index = 1;  // a second Master is an ordinary source
  elements.push_back(master2);
  const TAlsaPlan plan = PlanAlsaMixer(elements, "USB Audio", 2, 0x0102);
  const TMixerTopology& t = plan.Topology;
  EXPECT_EQ(t.Line(0xFFFF0000)->Controls, 0u);
  EXPECT_EQ(t.Line(0xFFFF0000)->Connections, 2u);
  EXPECT_EQ(t.Line(0xFFFF0001)->Controls, 0u);
  TMMApiLine second;
  second.Source = 1;
  ASSERT_EQ(t.FindLine(TMMLineQuery::BySource, second), 0u);
  EXPECT_EQ(second.Name, "Master 1");
}

TEST(AlsaPlan, VolumesMapOntoTheModelsRangeBothWays)
{
  EXPECT_EQ(AlsaToModelVolume(0, 0, 87), 0u);
  EXPECT_EQ(AlsaToModelVolume(87, 0, 87), 65535u);
  EXPECT_EQ(AlsaToModelVolume(-10, -20, 0), 32768u);  // -10 of -20..0 is half way
  EXPECT_EQ(AlsaToModelVolume(500, 0, 87), 65535u);   // out of range reads clamp
  EXPECT_EQ(AlsaToModelVolume(5, 3, 3), 0u);          // an empty range
  for (long v = 0; v <= 87; ++v) EXPECT_EQ(ModelToAlsaVolume(AlsaToModelVolume(v, 0, 87), 0, 87), v);
  EXPECT_EQ(ModelToAlsaVolume(70000, 0, 87), 87);
  EXPECT_EQ(ModelToAlsaVolume(0, -6400, 0), -6400);
}

class AlsaPlanModelTest : public MixerTest {};

TEST_F(AlsaPlanModelTest, TheModelFindsTheRecordingMuteAndTheSelectorItems)
{
  const int m = mem->AddMixer("card");
  mem->Topology(m) = PlanAlsaMixer(OnboardCard(), "HDA Intel PCH", 1, 0x0102).Topology;
  TMMMixerDevice mixer(&owner);
  TMMAudioLine recording(&owner);
  recording.SetMixer(&mixer);
  recording.SetLineId(-65535);
  ASSERT_EQ(recording.LineInfo()->Name(), "Recording");
  TMMMixerControl mute(&owner);
  mute.SetAudioLine(&recording);
  mute.SetControlType(ctMute);
  EXPECT_TRUE(mute.IsEnabled());
  EXPECT_EQ(mute.Channels(), 2);

  TMMMixerControl mux(&owner);
  mux.SetAudioLine(&recording);
  mux.SetControlType(ctMux);
  TMMAudioLine lineIn(&owner);
  lineIn.SetMixer(&mixer);
  lineIn.SetComponentType(ctSrcLine);
  EXPECT_EQ(lineIn.LineInfo()->Flags() & cfSource, cfSource);
  EXPECT_EQ(mux.FindItemOfLine(&lineIn), -1);  // the playback Line comes first
  lineIn.SetDestLine(&recording);
  EXPECT_EQ(mux.FindItemOfLine(&lineIn), 1);

  TMMAudioLine mic(&owner);
  mic.SetMixer(&mixer);
  mic.SetComponentType(ctSrcMicrophone);
  EXPECT_EQ(mic.LineInfo()->Name(), "Mic");
  EXPECT_EQ(mux.FindItemOfLine(&mic), -1);
}

} // namespace
