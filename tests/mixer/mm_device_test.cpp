// Audio devices and the mixer device against the in-memory back-end: device
// numbers and capabilities, the result-code rule, the stored Active, opening
// and closing, change reports and following another device.
#include "mixer_fixture.h"

#include "support/thrown.h"
#include "toolkit/forms.h"

namespace {

using Call = TMemoryMixerBackend::Call;

class DeviceTest : public MixerTest {};

TEST_F(DeviceTest, WithoutMixersOnlyTheNamedNumbersAndZeroAreAccepted)
{
  TMMMixerDevice mixer(&owner);
  EXPECT_EQ(mixer.DeviceCount(), 0);
  EXPECT_FALSE(mixer.IsValid());
  EXPECT_EQ(mixer.DeviceCaps()->ProductName(), "");
  EXPECT_EQ(mixer.Destinations(), 0);
  for (int id : {0, -1, -2}) EXPECT_NO_THROW(mixer.SetDeviceId(id)) << id;
  EXPECT_EQ(ThrownMessage<EMMDeviceError>([&] { mixer.SetDeviceId(1); }), "Device id is out of range");
  EXPECT_EQ(mixer.DeviceId(), -2);
  EXPECT_EQ(ThrownMessage<EMMMixerDeviceError>([&] { mixer.SetActive(true); }), "Device not valid");
  EXPECT_FALSE(mixer.Active());
}

TEST_F(DeviceTest, CapabilitiesFollowTheDeviceNumber)
{
  AddStandardMixer("First");
  mem->AddMixer("Second", 7, 9, 0x0203);
  TMMMixerDevice mixer(&owner);
  EXPECT_EQ(mixer.DeviceCount(), 2);
  EXPECT_TRUE(mixer.IsValid());
  EXPECT_EQ(mixer.DeviceCaps()->ProductName(), "First");
  EXPECT_EQ(mixer.Destinations(), 2);
  mixer.SetDeviceId(1);
  EXPECT_EQ(mixer.DeviceCaps()->ProductName(), "Second");
  EXPECT_EQ(mixer.DeviceCaps()->ManufacturerId(), 7);
  EXPECT_EQ(mixer.DeviceCaps()->ProductId(), 9);
  EXPECT_EQ(mixer.DeviceCaps()->VerMajor(), 2);
  EXPECT_EQ(mixer.DeviceCaps()->VerMinor(), 3);
  EXPECT_EQ(mixer.Destinations(), 0);
  mixer.SetDeviceId(InvalidId);
  EXPECT_FALSE(mixer.IsValid());
  EXPECT_EQ(mixer.DeviceCaps()->ProductName(), "");
}

TEST_F(DeviceTest, ChangingTheNumberOfAnOpenDeviceReopensItAndNotifiesOnce)
{
  AddStandardMixer();
  AddStandardMixer("Other");
  TMMMixerDevice mixer(&owner);
  int changes = 0, watched = 0;
  mixer.SetOnChange([&](TObject* sender) {
    EXPECT_EQ(sender, &mixer);
    ++changes;
  });
  TMMObserver watcher;
  watcher.OnNotify = [&](TMMObserver*, QObject* data) { watched += qobject_cast<TMMDeviceChange*>(data) ? 1 : 0; };
  mixer.AddObserver(&watcher);
  mixer.SetActive(true);
  ASSERT_TRUE(mixer.Active());
  const quintptr firstHandle = mixer.Handle();

  mixer.SetDeviceId(0);  // the current value: nothing at all
  EXPECT_EQ(changes, 0);
  EXPECT_EQ(mem->CallCount(Call::Close), 0);

  mixer.SetDeviceId(1);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(watched, 1);
  EXPECT_EQ(mem->CallCount(Call::Close), 1);
  EXPECT_EQ(mem->CallCount(Call::Open), 2);
  EXPECT_TRUE(mixer.Active());
  EXPECT_NE(mixer.Handle(), firstHandle);
  EXPECT_EQ(mixer.MixerId(), 1);
  EXPECT_EQ(mixer.DeviceCaps()->ProductName(), "Other");
}

TEST_F(DeviceTest, StoredActiveOpensOnlyOnceLoadedWithTheStoredNumber)
{
  AddStandardMixer();
  AddStandardMixer("Other");
  TMMMixerDevice mixer(&owner);
  mixer.BeginLoading();
  mixer.SetActive(true);
  EXPECT_TRUE(mixer.Active());  // reads the stored value while loading
  mixer.SetDeviceId(1);
  EXPECT_EQ(mem->CallCount(Call::Open), 0);
  EXPECT_EQ(mixer.Handle(), 0u);
  mixer.Loaded();
  EXPECT_EQ(mem->CallCount(Call::Open), 1);
  EXPECT_TRUE(mixer.Active());
  EXPECT_EQ(mixer.MixerId(), 1);
}

TEST_F(DeviceTest, ResultCodesAreToleratedOnlyWhereNamedAndOthersCarryTheirText)
{
  AddStandardMixer();
  TMMMixerDevice mixer(&owner);
  EXPECT_FALSE(mixer.Mapper());  // no mapper: code 2 is an answer
  mem->SetMapper(TMMDeviceFamily::Mixer, true);
  EXPECT_TRUE(mixer.Mapper());
  mem->FailCall(Call::DeviceCaps, mmapi::MMSYSERR_INVALHANDLE);
  EXPECT_FALSE(mixer.Mapper());
  mem->FailCall(Call::DeviceCaps, mmapi::MMSYSERR_NOMEM);
  const auto noMemory = Thrown<EMMMCIError>([&] { (void)mixer.Mapper(); });
  ASSERT_TRUE(noMemory);
  EXPECT_EQ(noMemory->ErrorCode, 7);
  EXPECT_EQ(noMemory->Message(), mmapi::StandardErrorText(7));
  mem->FailCall(Call::DeviceCaps, 4321);
  const auto unknown = Thrown<EMMMCIError>([&] { (void)mixer.Destinations(); });
  ASSERT_TRUE(unknown);
  EXPECT_EQ(unknown->ErrorCode, 4321);
  EXPECT_EQ(unknown->Message(), "MMSystem error: 4321");
  mem->SetErrorText(4321, "custom text");
  EXPECT_EQ(MMErrorText(4321), "custom text");
  EXPECT_EQ(CheckMMResult(mmapi::MIXERR_INVALLINE, {mmapi::MIXERR_INVALLINE}), mmapi::MIXERR_INVALLINE);
  EXPECT_EQ(CheckMMResult(0), 0u);
}

TEST_F(DeviceTest, CapabilityFailuresAtCreationMarkTheDeviceInvalidButLaterOnesReachTheCaller)
{
  AddStandardMixer();
  AddStandardMixer("Other");
  mem->FailCall(Call::DeviceCaps, mmapi::MMSYSERR_NODRIVER);
  TMMMixerDevice broken(&owner);
  EXPECT_EQ(broken.DeviceId(), InvalidId);
  EXPECT_FALSE(broken.IsValid());

  TMMMixerDevice mixer(&owner);
  mixer.SetActive(true);
  mem->FailCall(Call::DeviceCaps, mmapi::MMSYSERR_NODRIVER);
  EXPECT_THROW(mixer.SetDeviceId(1), EMMMCIError);
  EXPECT_EQ(mixer.DeviceId(), 1);
  EXPECT_FALSE(mixer.Active());
}

TEST_F(DeviceTest, AFailedOpenLeavesTheMixerClosedWithoutAnError)
{
  AddStandardMixer();
  TMMMixerDevice mixer(&owner);
  mem->FailCall(Call::Open, mmapi::MMSYSERR_ALLOCATED);
  EXPECT_NO_THROW(mixer.SetActive(true));
  EXPECT_FALSE(mixer.Active());
  EXPECT_EQ(mixer.Handle(), 0u);
  EXPECT_EQ(mixer.CallbackWindow(), nullptr);
  EXPECT_EQ(mem->OpenHandles(), 0);
  // Queries name the mixer by number and still work.
  TMMApiLine line;
  EXPECT_TRUE(mixer.GetLineInfoById(-65535, line));
  EXPECT_EQ(line.Name, "Recording Control");
}

TEST_F(DeviceTest, ClosingReleasesHandleAndWindowAndReopeningMakesNewOnes)
{
  AddStandardMixer();
  TMMMixerDevice mixer(&owner);
  mixer.SetActive(true);
  QPointer<TMMMixerCallbackWindow> window = mixer.CallbackWindow();
  ASSERT_TRUE(window);
  const quintptr handle = mixer.Handle();
  mixer.SetActive(false);
  EXPECT_EQ(mixer.Handle(), 0u);
  EXPECT_EQ(mixer.CallbackWindow(), nullptr);
  EXPECT_EQ(mem->OpenHandles(), 0);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_FALSE(window);
  mixer.SetActive(true);
  EXPECT_NE(mixer.Handle(), 0u);
  EXPECT_NE(mixer.Handle(), handle);
  EXPECT_NE(mixer.CallbackWindow(), nullptr);
}

TEST_F(DeviceTest, ChangeReportsReachWatchersAndEventsOnlyForOurHandle)
{
  AddStandardMixer();
  TMMMixerDevice mixer(&owner);
  std::vector<std::pair<int, int>> controlEvents;
  std::vector<int> lineEvents;
  mixer.SetOnControlChange([&](TObject*, TMMLineId line, TMMControlId control) { controlEvents.push_back({line, control}); });
  mixer.SetOnLineChange([&](TObject*, TMMLineId line) { lineEvents.push_back(line); });
  std::vector<std::pair<int, int>> seen;
  TMMObserver watcher;
  watcher.OnNotify = [&](TMMObserver*, QObject* data) {
    if (auto* c = qobject_cast<TMMControlChange*>(data)) seen.push_back({c->LineId, c->ControlId});
  };
  mixer.AddMixerObserver(&watcher);
  TMMObserver deviceWatcher;  // attached the plain way: device changes only
  int deviceWatcherCalls = 0;
  deviceWatcher.OnNotify = [&](TMMObserver*, QObject*) { ++deviceWatcherCalls; };
  mixer.AddObserver(&deviceWatcher);
  mixer.SetActive(true);

  mem->InjectControlChange(0, recMute, {1});
  PumpPosted();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0], std::make_pair(-65535, int(recMute)));
  ASSERT_EQ(controlEvents.size(), 1u);
  EXPECT_EQ(controlEvents[0], seen[0]);

  // Another mixer's handle: the default handler, nobody told.
  TComponent::PostMessage(mixer.CallbackWindow(), mmapi::MM_MIXM_LINE_CHANGE, qintptr(mixer.Handle() + 99), -65535);
  PumpPosted();
  EXPECT_TRUE(lineEvents.empty());
  mem->InjectLineChange(0, kRecording);
  PumpPosted();
  ASSERT_EQ(lineEvents.size(), 1u);
  EXPECT_EQ(lineEvents[0], -65535);
  EXPECT_EQ(deviceWatcherCalls, 0);
}

TEST_F(DeviceTest, AnErrorWhileHandlingAReportGoesToTheExceptionHandler)
{
  AddStandardMixer();
  TMMMixerDevice mixer(&owner);
  QStringList reported;
  Application->OnException = [&](const QString& message) { reported << message; };
  mixer.SetActive(true);
  mem->InjectControlChange(0, 999, {});  // a control the mixer does not know
  PumpPosted();
  Application->OnException = nullptr;
  ASSERT_EQ(reported.size(), 1);
  EXPECT_EQ(reported[0], mmapi::StandardErrorText(mmapi::MIXERR_INVALCONTROL));
}

TEST_F(DeviceTest, ClosingFromInsideAChangeHandlerIsSafe)
{
  AddStandardMixer();
  TMMMixerDevice mixer(&owner);
  mixer.SetActive(true);
  int calls = 0;
  mixer.SetOnControlChange([&](TObject*, TMMLineId, TMMControlId) {
    ++calls;
    mixer.SetActive(false);
  });
  mem->InjectControlChange(0, recMute, {1});
  mem->InjectControlChange(0, recMute, {0});
  PumpPosted();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(calls, 1);  // the second report was for the closed handle
  EXPECT_FALSE(mixer.Active());
}

TEST_F(DeviceTest, FollowingADeviceUsesItsMixer)
{
  AddStandardMixer();
  AddStandardMixer("Card");
  mem->AddDevice(TMMDeviceFamily::WaveIn, "Card Wave In", 1);
  TTestAudioDevice waveIn(&owner, TMMCustomAudioDevice::dkWaveIn);
  TMMMixerDevice other(&owner);
  TMMMixerDevice mixer(&owner);
  EXPECT_EQ(ThrownMessage<EMMMixerDeviceError>([&] { mixer.SetDevice(&other); }), "Mixer can't reference mixer");
  EXPECT_EQ(mixer.Device(), nullptr);

  EXPECT_FALSE(mixer.StoredDeviceId());
  mixer.SetActive(true);
  int changes = 0;
  mixer.SetOnChange([&](TObject*) { ++changes; });
  mixer.SetDevice(&waveIn);
  EXPECT_EQ(mixer.DeviceId(), 1);
  EXPECT_EQ(changes, 1);
  EXPECT_TRUE(mixer.Active());
  EXPECT_FALSE(mixer.StoredDeviceId());  // the followed device's mixer
  mixer.SetDeviceId(0);  // the followed device decides
  EXPECT_EQ(mixer.DeviceId(), 1);

  // Any change of the followed device brings the mixer back to its mixer.
  changes = 0;
  mem->AddDevice(TMMDeviceFamily::WaveIn, "Second", 1);
  waveIn.SetDeviceId(1);
  EXPECT_EQ(mixer.DeviceId(), 1);
  EXPECT_EQ(changes, 1);
  EXPECT_TRUE(mixer.Active());
}

TEST_F(DeviceTest, AFreedFollowedDeviceIsForgotten)
{
  AddStandardMixer();
  mem->AddDevice(TMMDeviceFamily::WaveOut, "Out", 0);
  auto* waveOut = new TTestAudioDevice(nullptr, TMMCustomAudioDevice::dkWaveOut);
  TMMMixerDevice mixer(&owner);
  mixer.SetDevice(waveOut);
  EXPECT_EQ(mixer.Device(), waveOut);
  TComponent::Free(waveOut);
  EXPECT_EQ(mixer.Device(), nullptr);
  EXPECT_TRUE(mixer.IsValid());
}

TEST_F(DeviceTest, DeviceFamiliesReportCountsAndMixerNumbers)
{
  AddStandardMixer();
  mem->AddDevice(TMMDeviceFamily::MidiOut, "Synth", -1);
  TTestAudioDevice midi(&owner, TMMCustomAudioDevice::dkMidiOut);
  EXPECT_EQ(midi.DeviceCount(), 1);
  EXPECT_EQ(midi.DeviceCaps()->ProductName(), "Synth");
  EXPECT_EQ(midi.GetMixerId(), InvalidId);  // served by no mixer
  TTestAudioDevice aux(&owner, TMMCustomAudioDevice::dkAux);
  EXPECT_EQ(aux.DeviceCount(), 0);
  EXPECT_FALSE(aux.IsValid());
  mem->FailCall(Call::MixerId, mmapi::MMSYSERR_NODRIVER);
  EXPECT_EQ(midi.GetMixerId(), InvalidId);
  mem->FailCall(Call::MixerId, mmapi::MMSYSERR_ERROR);
  EXPECT_THROW(midi.GetMixerId(), EMMMCIError);
  EXPECT_EQ(TMMCustomAudioDevice::MixerObjectFlag(TMMCustomAudioDevice::dkWaveIn), 0x20000000u);
  EXPECT_EQ(TMMCustomAudioDevice::MixerTargetType(TMMCustomAudioDevice::dkMidiIn), 4u);
}

} // namespace
