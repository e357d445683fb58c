// Mixer controls against the in-memory back-end: look-up by identifier and
// type, value access by channel and item, list items, the volume balance and
// the simulated pan, and reports travelling mixer -> line -> control.
#include "mixer_fixture.h"
#include "support/thrown.h"

namespace {

using Call = TMemoryMixerBackend::Call;

class ControlTest : public MixerTest {
protected:
  void SetUp() override
  {
    MixerTest::SetUp();
    AddStandardMixer();
    mixer = new TMMMixerDevice(&owner);
    recording = new TMMAudioLine(&owner);
    recording->SetMixer(mixer);
    recording->SetLineId(-65535);
    wave = new TMMAudioLine(&owner);
    wave->SetMixer(mixer);
    wave->SetLineId(static_cast<TMMLineId>(wavePlayLine));
  }
  template <typename T = TMMMixerControl>
  T* Control(TMMAudioLine* line)
  {
    auto* c = new T(&owner);
    c->SetAudioLine(line);
    return c;
  }

  TMMMixerDevice* mixer = nullptr;
  TMMAudioLine* recording = nullptr;
  TMMAudioLine* wave = nullptr;
};

TEST_F(ControlTest, TheRecordingMuteIsFoundByTypeAndSwitches)
{
  auto* mute = Control(recording);
  mute->SetControlType(ctMute);
  ASSERT_TRUE(mute->IsAvailable());
  EXPECT_TRUE(mute->IsEnabled());
  EXPECT_EQ(mute->ControlId(), int(recMute));
  EXPECT_EQ(mute->ControlClass(), ccSwitch);
  EXPECT_EQ(mute->ControlInfo()->Name(), "Rec Mute");
  EXPECT_EQ(mute->Channels(), 1);  // uniform
  EXPECT_TRUE(mute->StoredControlType());
  EXPECT_FALSE(mute->StoredControlId());
  EXPECT_FALSE(mute->GetBoolean());
  mute->SetBoolean(true);
  EXPECT_EQ(mem->Values(0, recMute), std::vector<quint32>{1});
  EXPECT_TRUE(mute->GetBooleanValue(chBoth, NoItem));
}

TEST_F(ControlTest, AMissingControlIsUnavailableAndValueAccessSaysWhy)
{
  auto* mute = Control(wave);
  mute->SetControlType(ctMute);
  EXPECT_EQ(mute->ControlId(), -1);
  EXPECT_FALSE(mute->IsAvailable());
  EXPECT_EQ(ThrownMessage<EMMDeviceError>([&] { mute->GetBoolean(); }), "Control not valid");
  auto* lost = new TMMMixerControl(&owner);
  lost->SetControlType(ctVolume);
  EXPECT_EQ(ThrownMessage<EMMDeviceError>([&] { lost->GetUnsigned(); }), "Mixer required for this operation");
  EXPECT_EQ(lost->Channels(), 0);
  EXPECT_EQ(lost->Items(), 0);
}

TEST_F(ControlTest, ADisabledControlIsAvailableButNotEnabled)
{
  mem->Topology(0).AddControl(kRecording, mmapi::CONTROLTYPE_PEAKMETER, mmapi::CONTROLF_DISABLED, -32768, 32767, 0,
                              "Peak", "Rec Peak");
  auto* peak = Control(recording);
  peak->SetControlType(ctPeakMeter);
  EXPECT_TRUE(peak->IsAvailable());
  EXPECT_FALSE(peak->IsEnabled());
  EXPECT_EQ(peak->ControlClass(), ccMeter);
}

TEST_F(ControlTest, ByIdentifierAndLosingTheLine)
{
  auto* volume = Control(recording);
  volume->SetControlId(static_cast<TMMControlId>(recVolume));
  EXPECT_EQ(volume->ControlType(), ctVolume);
  EXPECT_EQ(volume->ControlMode(), TMMCustomMixerControl::cmById);
  EXPECT_TRUE(volume->StoredControlId());
  EXPECT_EQ(volume->ControlInfo()->MaxValue(), 65535);
  EXPECT_EQ(volume->ControlInfo()->Steps(), 65535);

  // The line becomes unresolved: the identifier stays, the control is unavailable.
  int idChanges = 0;
  TMMObserver watcher;
  watcher.OnNotify = [&](TMMObserver*, QObject* data) { idChanges += qobject_cast<TMMControlIdChange*>(data) ? 1 : 0; };
  volume->AddObserver(&watcher);
  recording->SetLineId(0x7777);
  EXPECT_EQ(recording->LineId(), -1);
  EXPECT_EQ(volume->ControlId(), int(recVolume));
  EXPECT_FALSE(volume->IsAvailable());
  EXPECT_EQ(idChanges, 1);

  volume->SetControlId(12345);
  EXPECT_EQ(volume->ControlId(), 12345);  // line unavailable: no look-up
  recording->SetLineId(-65535);
  EXPECT_EQ(volume->ControlId(), -1);  // unknown to the mixer
  EXPECT_EQ(volume->ControlInfo()->Name(), "");
}

TEST_F(ControlTest, ChannelsAndItemsAreIndexedItemByItem)
{
  mem->SetValues(0, recVolume, {1000, 2000});
  auto* volume = Control(recording);
  volume->SetControlType(ctVolume);
  EXPECT_EQ(volume->Channels(), 2);
  EXPECT_EQ(volume->GetSignedValue(chLeft, NoItem), 1000);
  EXPECT_EQ(volume->GetSignedValue(chRight, NoItem), 2000);
  EXPECT_EQ(volume->GetUnsignedValue(chBoth, NoItem), 2000u);  // all channels as one: the higher
  volume->SetUnsignedValue(chRight, NoItem, 3000);
  EXPECT_EQ(mem->Values(0, recVolume), (std::vector<quint32>{1000, 3000}));
  volume->SetUnsignedValue(chBoth, NoItem, 500);
  EXPECT_EQ(mem->Values(0, recVolume), (std::vector<quint32>{500, 500}));

  // A uniform control answers every channel with its single value.
  mem->SetValues(0, recMute, {1});
  auto* mute = Control(recording);
  mute->SetControlType(ctMute);
  EXPECT_TRUE(mute->GetBooleanValue(chRight, NoItem));
  EXPECT_TRUE(mute->GetBooleanValue(chLeft, NoItem));

  EXPECT_EQ(ThrownMessage<EMMMixerControlError>([&] { volume->GetSignedValue(chLeft, 1); }), "Item index out of range");
}

TEST_F(ControlTest, ChoosingAnItemOfASelectorClearsTheOthersInOneWrite)
{
  mem->SetValues(0, recMux, {1, 0, 0, 1, 0});
  auto* mux = Control(recording);
  mux->SetControlType(ctMux);
  ASSERT_EQ(mux->Items(), 5);
  const int writes = mem->CallCount(Call::SetValues);
  mux->SetBooleanValue(chBoth, 2, true);
  EXPECT_EQ(mem->CallCount(Call::SetValues), writes + 1);
  EXPECT_EQ(mem->Values(0, recMux), (std::vector<quint32>{0, 0, 1, 0, 0}));
  EXPECT_TRUE(mux->GetBooleanValue(chBoth, 2));
  EXPECT_FALSE(mux->GetBooleanValue(chBoth, 0));
  EXPECT_THROW(mux->SetBooleanValue(chBoth, 5, true), EMMMixerControlError);
  EXPECT_THROW(mux->GetBoolean(), EMMMCIError);  // a list has no single value

  // A multiple-selection list changes only the chosen item.
  std::vector<TMMApiListText> items(5);
  const quint32 mixerList = mem->Topology(0).AddControl(kRecording, 0x71010001, mmapi::CONTROLF_UNIFORM, 0, 1, 0, "Mix",
                                                        "Rec Mixer", items).Info.ControlId;
  mem->SetValues(0, mixerList, {1, 0, 0, 1, 0});
  auto* list = Control(recording);
  list->SetControlType(ctMixer);
  list->SetBooleanValue(chBoth, 2, true);
  EXPECT_EQ(mem->Values(0, mixerList), (std::vector<quint32>{1, 0, 1, 1, 0}));
}

TEST_F(ControlTest, ItemsDescribeTheirSourceLines)
{
  auto* mux = Control(recording);
  mux->SetControlType(ctMux);
  TMMItemInfo info;
  mux->GetItemInfo(2, info);
  EXPECT_EQ(info.Name, "CD Audio");
  EXPECT_EQ(info.Param1, cdLine);
  EXPECT_EQ(ThrownMessage<EMMMixerControlError>([&] { mux->GetItemInfo(5, info); }), "Item index out of range");

  auto* cd = new TMMAudioLine(&owner);
  cd->SetMixer(mixer);
  cd->SetComponentType(ctSrcCD);
  EXPECT_EQ(mux->FindItemOfLine(cd), 2);
  cd->SetComponentType(ctSrcTelephone);
  EXPECT_EQ(mux->FindItemOfLine(cd), -1);
  EXPECT_EQ(mux->FindItemOfLine(nullptr), -1);

  auto* mute = Control(recording);
  mute->SetControlType(ctMute);
  cd->SetComponentType(ctSrcCD);
  EXPECT_EQ(mute->FindItemOfLine(cd), -1);
  EXPECT_EQ(ThrownMessage<EMMMixerControlError>([&] { mute->GetItemInfo(0, info); }), "Item info requested from non-multiple control");
}

TEST_F(ControlTest, TheVolumeBalanceAttenuatesOneSide)
{
  auto* volume = Control<TMMVolumeControl>(wave);
  ASSERT_TRUE(volume->IsAvailable());
  EXPECT_EQ(volume->ControlId(), int(waveVolume));
  volume->SetPanValue(16384);
  volume->SetSigned(40000);
  EXPECT_EQ(mem->Values(0, waveVolume), (std::vector<quint32>{19999, 40000}));
  volume->SetPanValue(-16384);  // re-applies the current volume at once
  EXPECT_EQ(mem->Values(0, waveVolume), (std::vector<quint32>{40000, 20000}));
  volume->SetUnsignedValue(chBoth, NoItem, 65535);
  EXPECT_EQ(mem->Values(0, waveVolume), (std::vector<quint32>{65535, 32767}));
  volume->SetUnsignedValue(chLeft, NoItem, 100);  // one channel: written as given
  EXPECT_EQ(mem->Values(0, waveVolume), (std::vector<quint32>{100, 32767}));

  // Only the volume control of the line is accepted, even by identifier.
  auto* byId = Control<TMMVolumeControl>(recording);
  byId->SetControlId(static_cast<TMMControlId>(recMute));
  EXPECT_EQ(byId->ControlId(), -1);
}

TEST_F(ControlTest, ARealPanControlIsUsedWhenTheLineHasOne)
{
  auto* volume = Control<TMMVolumeControl>(wave);
  auto* pan = Control<TMMPanControl>(wave);
  pan->SetVolumeControl(volume);
  EXPECT_FALSE(pan->Simulated());
  EXPECT_EQ(pan->ControlId(), int(wavePan));
  EXPECT_EQ(pan->ControlInfo()->Name(), "Wave Pan");
  pan->SetSigned(-1234);
  EXPECT_EQ(static_cast<qint32>(mem->Values(0, wavePan)[0]), -1234);
  EXPECT_EQ(volume->PanValue(), 0);
}

TEST_F(ControlTest, WithoutAPanControlThePanIsSimulatedThroughTheVolume)
{
  mem->SetValues(0, recVolume, {65535, 32768});
  auto* volume = Control<TMMVolumeControl>(recording);
  auto* pan = Control<TMMPanControl>(recording);
  int idChanges = 0, changes = 0;
  TMMObserver watcher;
  watcher.OnNotify = [&](TMMObserver*, QObject* data) {
    idChanges += qobject_cast<TMMControlIdChange*>(data) ? 1 : 0;
    changes += qobject_cast<TMMControlChange*>(data) ? 1 : 0;
  };
  pan->AddObserver(&watcher);
  pan->SetVolumeControl(volume);
  ASSERT_TRUE(pan->Simulated());
  EXPECT_TRUE(pan->IsAvailable());
  EXPECT_EQ(pan->ControlInfo()->Name(), "Simulated pan");
  EXPECT_EQ(pan->ControlInfo()->MinValue(), -32768);
  EXPECT_EQ(pan->ControlInfo()->Flags(), TMMControlFlags(cfUniform));
  EXPECT_EQ(pan->GetSigned(), -16383);
  EXPECT_EQ(volume->PanValue(), -16383);
  EXPECT_EQ(idChanges, 1);
  EXPECT_EQ(changes, 1);
  // Taking the pan from the volume did not write the volume.
  EXPECT_EQ(mem->Values(0, recVolume), (std::vector<quint32>{65535, 32768}));

  // Setting the pan re-balances the volume.
  pan->SetSigned(16384);
  EXPECT_EQ(volume->PanValue(), 16384);
  EXPECT_EQ(mem->Values(0, recVolume), (std::vector<quint32>{32766, 65535}));

  // Both channels silent: the pan keeps its value.
  mixer->SetActive(true);
  mem->InjectControlChange(0, recVolume, {0, 0});
  PumpPosted();
  EXPECT_EQ(pan->GetSignedValue(chBoth, NoItem), 16384);
  mem->InjectControlChange(0, recVolume, {0, 500});
  PumpPosted();
  EXPECT_EQ(pan->GetSigned(), 32767);

  // Turning the simulation off gives the volume its full balance back.
  pan->SetSimulate(false);
  EXPECT_FALSE(pan->Simulated());
  EXPECT_FALSE(pan->IsAvailable());
  EXPECT_EQ(volume->PanValue(), 0);
  EXPECT_EQ(pan->ControlInfo()->Name(), "");
}

TEST_F(ControlTest, AFreedVolumeControlEndsTheSimulation)
{
  auto* volume = new TMMVolumeControl(nullptr);
  volume->SetAudioLine(recording);
  auto* pan = Control<TMMPanControl>(recording);
  pan->SetVolumeControl(volume);
  ASSERT_TRUE(pan->Simulated());
  TComponent::Free(volume);
  EXPECT_EQ(pan->VolumeControl(), nullptr);
  EXPECT_FALSE(pan->Simulated());
}

TEST_F(ControlTest, AValueChangeTravelsFromTheMixerThroughTheLineToTheControlAndItsWatchers)
{
  mixer->SetActive(true);
  auto* mute = Control(recording);
  mute->SetControlType(ctMute);
  auto* other = Control(recording);
  other->SetControlType(ctVolume);
  int events = 0, otherEvents = 0;
  mute->SetOnChange([&](TObject* sender) {
    EXPECT_EQ(sender, mute);
    ++events;
  });
  other->SetOnChange([&](TObject*) { ++otherEvents; });
  std::vector<std::pair<int, int>> seen;
  TMMObserver watcher;
  watcher.OnNotify = [&](TMMObserver*, QObject* data) {
    if (auto* c = qobject_cast<TMMControlChange*>(data)) seen.push_back({c->LineId, c->ControlId});
  };
  mute->AddObserver(&watcher);

  mem->InjectControlChange(0, recMute, {1});
  PumpPosted();
  EXPECT_EQ(events, 1);
  EXPECT_EQ(otherEvents, 0);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0], std::make_pair(-65535, int(recMute)));
  EXPECT_TRUE(mute->GetBoolean());

  // Our own write is reported back like anyone else's.
  mute->SetBoolean(false);
  PumpPosted();
  EXPECT_EQ(events, 2);
}

TEST_F(ControlTest, LoadingKeepsOnlyTheClassInStepUntilLoaded)
{
  auto* mute = new TMMMixerControl(&owner);
  mute->BeginLoading();
  mute->SetAudioLine(recording);
  mute->SetControlType(ctMute);
  EXPECT_EQ(mute->ControlClass(), ccSwitch);
  EXPECT_EQ(mute->ControlId(), -1);
  mute->Loaded();
  EXPECT_EQ(mute->ControlId(), int(recMute));
}

TEST_F(ControlTest, ToleratedCodesLeaveTheControlMissingAndOthersRaise)
{
  auto* mute = Control(recording);
  for (quint32 code : {mmapi::MIXERR_INVALCONTROL, mmapi::MIXERR_INVALLINE, mmapi::MMSYSERR_NODRIVER}) {
    mem->FailCall(Call::ControlByType, code);
    mute->SetControlType(ctMute);
    EXPECT_EQ(mute->ControlId(), -1) << code;
    mute->SetControlType(ctCustom);
  }
  mem->FailCall(Call::ControlByType, mmapi::MMSYSERR_INVALPARAM);
  EXPECT_THROW(mute->SetControlType(ctMute), EMMMCIError);
  mute->SetControlType(ctVolume);
  mem->FailCall(Call::GetValues, mmapi::MMSYSERR_ERROR);
  EXPECT_THROW(mute->GetUnsignedValue(chLeft, NoItem), EMMMCIError);
}

} // namespace
