// The mixer model when its device goes away while it is open, on the
// in-memory back-end (the ALSA back-end's counterpart is in mm_alsa_test.cpp).
#include "mixer_fixture.h"

#include "toolkit/forms.h"

namespace {

class DeviceLossTest : public MixerTest {
protected:
  void SetUp() override
  {
    MixerTest::SetUp();
    AddStandardMixer();
    Application->OnException = [this](const QString& message) { errors << message; };
    mixer = new TMMMixerDevice(&owner);
    mixer->SetActive(true);
    mixer->SetOnLineChange([this](TObject*, TMMLineId) { ++lineReports; });
    recording = new TMMAudioLine(&owner);
    recording->SetMixer(mixer);
    recording->SetLineId(static_cast<TMMLineId>(kRecording));
    mute = new TMMMixerControl(&owner);
    mute->SetAudioLine(recording);
    mute->SetControlType(ctMute);
    mic = new TMMAudioLine(&owner);
    mic->SetMixer(mixer);
    mic->SetLineId(static_cast<TMMLineId>(micLine));
    ASSERT_TRUE(mute->IsEnabled());
  }
  void TearDown() override
  {
    Application->OnException = nullptr;
    MixerTest::TearDown();
  }

  TMMMixerDevice* mixer = nullptr;
  TMMAudioLine *recording = nullptr, *mic = nullptr;
  TMMMixerControl* mute = nullptr;
  int lineReports = 0;
  QStringList errors;
};

TEST_F(DeviceLossTest, DeviceGoneLeavesEveryLineInvalidWithReports)
{
  mem->RemoveDevice(0);
  PumpPosted();
  ExpectRecordingLineGone(recording, mute, lineReports);
  EXPECT_EQ(mic->LineId(), badLineId);
  EXPECT_EQ(mixer->Destinations(), 0);
  EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
  // Nothing keeps reporting: the queue is empty after one pass.
  const int reports = lineReports;
  PumpPosted();
  EXPECT_EQ(lineReports, reports);
  // Closing and freeing the model afterwards is clean.
  mixer->SetActive(false);
  EXPECT_EQ(mem->OpenHandles(), 0);
}

TEST_F(DeviceLossTest, RemovedPartsTakeOnlyTheirControlsAndLines)
{
  mem->RemoveControl(0, recMute);  // the element behind the recording switch
  PumpPosted();
  EXPECT_EQ(recording->LineId(), static_cast<TMMLineId>(kRecording)) << "the line stays";
  EXPECT_FALSE(mute->IsAvailable());
  EXPECT_EQ(lineReports, 1);

  mem->RemoveLine(0, micLine);
  PumpPosted();
  EXPECT_EQ(mic->LineId(), badLineId);
  EXPECT_EQ(recording->LineId(), static_cast<TMMLineId>(kRecording));
  EXPECT_EQ(recording->LineInfo()->Connections(), 4);
  EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
}

} // namespace
