// Audio lines against the in-memory back-end: the four ways of finding a
// line, deferred resolution while loading, forwarded reports, tolerated and
// raised result codes.
#include "mixer_fixture.h"
#include "support/thrown.h"

namespace {

using Call = TMemoryMixerBackend::Call;

class LineTest : public MixerTest {
protected:
  // Counts TMMLineIdChange notifications of a line.
  struct Watcher {
    TMMObserver Observer;
    int IdChanges = 0, LineChanges = 0, ControlChanges = 0;
    explicit Watcher(TMMAudioLine& line)
    {
      Observer.OnNotify = [this](TMMObserver*, QObject* data) {
        if (qobject_cast<TMMLineIdChange*>(data)) ++IdChanges;
        if (qobject_cast<TMMLineChange*>(data)) ++LineChanges;
        if (qobject_cast<TMMControlChange*>(data)) ++ControlChanges;
      };
      line.AddObserver(&Observer);
    }
  };
};

TEST_F(LineTest, TheRecordingDestinationResolvesByIdentifier)
{
  AddStandardMixer();
  TMMMixerDevice mixer(&owner);
  TMMAudioLine line(&owner);
  Watcher watcher(line);
  line.SetMixer(&mixer);
  line.SetLineId(-65535);
  EXPECT_EQ(line.LineId(), -65535);
  EXPECT_EQ(line.LineInfo()->Name(), "Recording Control");
  EXPECT_EQ(line.LineInfo()->ShortName(), "Rec");
  EXPECT_EQ(line.DestIndex(), 1);
  EXPECT_EQ(line.LineInfo()->Connections(), 5);
  EXPECT_EQ(line.LineInfo()->Controls(), 3);
  EXPECT_EQ(line.LineInfo()->Channels(), 2);
  EXPECT_EQ(line.LineInfo()->Flags(), TMMLineFlags(cfActive));
  EXPECT_EQ(line.ComponentType(), ctDstWaveIn);
  EXPECT_EQ(line.LineMode(), TMMAudioLine::lmById);
  EXPECT_TRUE(line.StoredLineId());
  EXPECT_FALSE(line.StoredComponentType());
  EXPECT_EQ(watcher.IdChanges, 2);  // one per setter

  // A source line reports no destination index.
  line.SetLineId(static_cast<TMMLineId>(micLine));
  EXPECT_EQ(line.DestIndex(), -1);
  EXPECT_TRUE(line.LineInfo()->Flags().testFlag(cfSource));
  EXPECT_EQ(line.ComponentType(), ctSrcMicrophone);
}

TEST_F(LineTest, AnUnknownIdentifierLeavesTheLineUnresolvedButAMissingMixerKeepsIt)
{
  mem->AddMixer("Empty");  // a mixer without lines
  TMMMixerDevice mixer(&owner);
  TMMAudioLine line(&owner);
  Watcher watcher(line);
  line.SetLineId(-65535);
  EXPECT_EQ(line.LineId(), -65535);  // no mixer yet: kept
  EXPECT_EQ(line.LineInfo()->Name(), "");
  line.SetMixer(&mixer);
  EXPECT_EQ(line.LineId(), -1);
  EXPECT_EQ(line.LineInfo()->Connections(), 0);
  EXPECT_FALSE(line.StoredLineId());
  EXPECT_EQ(watcher.IdChanges, 2);

  // With no mixer device in the system, the identifier stays and watchers are still told.
  mem = backend.emplace().Memory();
  TMMMixerDevice none(&owner);
  TMMAudioLine stored(&owner);
  Watcher storedWatcher(stored);
  stored.SetMixer(&none);
  stored.SetLineId(-65535);
  EXPECT_FALSE(stored.IsMixerValid());
  EXPECT_EQ(stored.LineId(), -65535);
  EXPECT_EQ(stored.LineInfo()->Name(), "");
  EXPECT_EQ(storedWatcher.IdChanges, 2);
}

TEST_F(LineTest, ByComponentTypeFindsTheFirstSuchLineAndStoresOnlyTheType)
{
  AddStandardMixer();
  TMMMixerDevice mixer(&owner);
  TMMAudioLine line(&owner);
  line.SetMixer(&mixer);
  line.SetComponentType(ctDstSpeakers);
  EXPECT_EQ(line.LineId(), -65536);
  EXPECT_EQ(line.LineInfo()->Name(), "Speakers");
  EXPECT_EQ(line.DestIndex(), 0);
  EXPECT_TRUE(line.StoredComponentType());
  EXPECT_FALSE(line.StoredLineId());
  line.SetComponentType(ctSrcTelephone);  // none on this mixer
  EXPECT_EQ(line.LineId(), -1);
  EXPECT_EQ(line.LineInfo()->Name(), "");
}

TEST_F(LineTest, ByTargetFindsTheDestinationOfThatDevice)
{
  AddStandardMixer();
  mem->AddDevice(TMMDeviceFamily::WaveIn, "Test Wave In", 0, 1, 2, 0x0100);
  TTestAudioDevice waveIn(&owner, TMMCustomAudioDevice::dkWaveIn);
  TMMMixerDevice mixer(&owner);
  TMMAudioLine line(&owner);
  line.SetMixer(&mixer);
  line.SetTarget(&waveIn);
  EXPECT_EQ(line.LineMode(), TMMAudioLine::lmByTarget);
  EXPECT_EQ(line.LineId(), -65535);
  EXPECT_TRUE(line.StoredTarget());
  EXPECT_EQ(ThrownMessage<EMMMixerDeviceError>([&] { line.SetTarget(&mixer); }), "Can't target to mixer");
  EXPECT_EQ(line.Target(), &waveIn);
  line.SetTarget(nullptr);
  EXPECT_EQ(line.LineMode(), TMMAudioLine::lmByTarget);
  EXPECT_EQ(line.LineId(), -1);
  EXPECT_FALSE(line.StoredTarget());
}

TEST_F(LineTest, SourcesAreFoundUnderADestinationLineByTypeButNotByIdentifier)
{
  AddStandardMixer();
  TMMMixerDevice mixer(&owner);
  TMMAudioLine dest(&owner);
  dest.SetMixer(&mixer);
  dest.SetLineId(-65535);
  TMMAudioLine source(&owner);
  source.SetMixer(&mixer);
  source.SetComponentType(ctSrcCD);
  source.SetDestLine(&dest);
  EXPECT_EQ(source.LineId(), int(cdLine));
  EXPECT_EQ(source.LineInfo()->Name(), "CD Audio");
  EXPECT_EQ(source.DestLine(), &dest);

  // The destination re-resolving makes its sources look again.
  dest.SetLineId(-65536);  // playback: has no CD source
  EXPECT_EQ(source.LineId(), -1);
  dest.SetLineId(-65535);
  EXPECT_EQ(source.LineId(), int(cdLine));

  // Source line found by identifier: only accepted when the destination's
  // identifier equals the source's destination index, which never holds here.
  TMMAudioLine byId(&owner);
  byId.SetMixer(&mixer);
  byId.SetLineId(static_cast<TMMLineId>(micLine));
  byId.SetDestLine(&dest);
  EXPECT_EQ(byId.LineId(), -1);

  TMMComponent notALine(&owner);
  EXPECT_EQ(ThrownMessage<EMMMixerDeviceError>([&] { source.SetDestLine(&notALine); }), "DestLine should be TMMAudioLine");
  EXPECT_EQ(source.DestLine(), &dest);
}

TEST_F(LineTest, ASourceUnderADestinationOfAnotherMixerDeviceIsUnresolved)
{
  AddStandardMixer();
  TMMMixerDevice mixer(&owner), otherDevice(&owner);
  TMMAudioLine dest(&owner);
  dest.SetMixer(&otherDevice);
  dest.SetLineId(-65535);
  TMMAudioLine source(&owner);
  source.SetMixer(&mixer);
  source.SetComponentType(ctSrcCD);
  source.SetDestLine(&dest);
  EXPECT_EQ(source.LineId(), -1);
}

TEST_F(LineTest, ASourceIsFoundByTargetUnderItsDestination)
{
  AddStandardMixer();
  TMixerTopology& t = mem->Topology(0);
  TMMApiLine& synth = t.AddSource(kPlayback, mmapi::COMPONENTTYPE_SRC_SYNTHESIZER, "Synth", "Synth", 2);
  synth.Target = {mmapi::TARGETTYPE_MIDIOUT, 0, 1, 2, 0x0100, "Test Synth"};
  const quint32 synthLine = synth.LineId;
  mem->AddDevice(TMMDeviceFamily::MidiOut, "Test Synth", 0, 1, 2, 0x0100);
  TTestAudioDevice midiOut(&owner, TMMCustomAudioDevice::dkMidiOut);
  TMMMixerDevice mixer(&owner);
  TMMAudioLine dest(&owner);
  dest.SetMixer(&mixer);
  dest.SetComponentType(ctDstSpeakers);
  TMMAudioLine source(&owner);
  source.SetMixer(&mixer);
  source.SetDestLine(&dest);
  source.SetTarget(&midiOut);
  EXPECT_EQ(source.LineId(), int(synthLine));
  EXPECT_EQ(source.ComponentType(), ctSrcSynthesizer);
}

TEST_F(LineTest, LoadingDefersTheLookUpUntilLoaded)
{
  AddStandardMixer();
  TMMMixerDevice mixer(&owner);
  TMMAudioLine line(&owner);
  Watcher watcher(line);
  line.BeginLoading();
  line.SetMixer(&mixer);
  line.SetLineId(-65535);
  EXPECT_EQ(line.LineInfo()->Name(), "");
  EXPECT_EQ(watcher.IdChanges, 0);
  line.Loaded();
  EXPECT_EQ(line.LineInfo()->Name(), "Recording Control");
  EXPECT_EQ(watcher.IdChanges, 1);
}

TEST_F(LineTest, MixerReportsReachTheLineTheyConcern)
{
  AddStandardMixer();
  TMMMixerDevice mixer(&owner);
  mixer.SetActive(true);
  TMMAudioLine line(&owner);
  line.SetMixer(&mixer);
  line.SetLineId(-65535);
  Watcher watcher(line);
  int changes = 0;
  std::vector<std::pair<int, int>> controlEvents;
  line.SetOnChange([&](TObject*) { ++changes; });
  line.SetOnControlChange([&](TObject* sender, TMMLineId l, TMMControlId c) {
    EXPECT_EQ(sender, &line);
    controlEvents.push_back({l, c});
  });

  mem->InjectLineChange(0, kPlayback);
  PumpPosted();
  EXPECT_EQ(changes, 0);
  mem->InjectLineChange(0, kRecording);
  PumpPosted();
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(watcher.LineChanges, 1);

  mem->InjectControlChange(0, playMute, {1});
  mem->InjectControlChange(0, recMute, {1});
  PumpPosted();
  ASSERT_EQ(controlEvents.size(), 1u);
  EXPECT_EQ(controlEvents[0], std::make_pair(-65535, int(recMute)));
  EXPECT_EQ(watcher.ControlChanges, 1);

  // A device change makes the line look itself up again.
  const int before = watcher.IdChanges;
  mixer.SetActive(false);
  AddStandardMixer("Second");
  mixer.SetDeviceId(1);
  EXPECT_EQ(watcher.IdChanges, before + 1);
  EXPECT_EQ(line.LineId(), -65535);
}

TEST_F(LineTest, FreedPartnersAreForgottenAndTheLineLooksAgain)
{
  AddStandardMixer();
  auto* mixer = new TMMMixerDevice(nullptr);
  auto* dest = new TMMAudioLine(nullptr);
  dest->SetMixer(mixer);
  dest->SetLineId(-65535);
  TMMAudioLine line(&owner);
  line.SetMixer(mixer);
  line.SetComponentType(ctSrcLine);
  line.SetDestLine(dest);
  EXPECT_EQ(line.LineId(), int(lineLine));
  TComponent::Free(dest);
  EXPECT_EQ(line.DestLine(), nullptr);
  EXPECT_EQ(line.LineId(), int(lineLine));  // found directly now
  TComponent::Free(mixer);
  EXPECT_EQ(line.Mixer(), nullptr);
  EXPECT_EQ(line.LineId(), int(lineLine));  // no mixer: kept
}

TEST_F(LineTest, ToleratedCodesUnresolveQuietlyAndOthersRaise)
{
  AddStandardMixer();
  TMMMixerDevice mixer(&owner);
  TMMAudioLine line(&owner);
  line.SetMixer(&mixer);
  for (quint32 code : {mmapi::MIXERR_INVALLINE, mmapi::MMSYSERR_NODRIVER, mmapi::MMSYSERR_INVALPARAM}) {
    mem->FailCall(Call::LineInfo, code);
    line.SetLineId(-65535);
    EXPECT_EQ(line.LineId(), -1) << code;
  }
  mem->FailCall(Call::LineInfo, mmapi::MMSYSERR_INVALHANDLE);
  EXPECT_THROW(line.SetLineId(-65535), EMMMCIError);

  // A found line of a type outside the table.
  TMMApiLine& odd = mem->Topology(0).AddSource(kPlayback, 0x1FFF, "Odd", "Odd", 1);
  EXPECT_EQ(ThrownMessage<EMMMixerServiceError>([&] { line.SetLineId(static_cast<TMMLineId>(odd.LineId)); }), "Undefined API component type");
}

TEST_F(LineTest, LinesNamingEachOtherAsDestinationDoNotLoop)
{
  AddStandardMixer();
  TMMMixerDevice mixer(&owner);
  TMMAudioLine a(&owner), b(&owner);
  a.SetMixer(&mixer);
  b.SetMixer(&mixer);
  a.SetLineId(-65535);
  b.SetComponentType(ctSrcCD);
  b.SetDestLine(&a);
  a.SetDestLine(&b);
  EXPECT_EQ(a.LineId(), -1);  // b is a source: no destination for a
}

} // namespace
