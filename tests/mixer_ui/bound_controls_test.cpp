// Connectors, bound slider and check box, and the mixer block on the
// in-memory mixer.
#include "mixer_ui_fixture.h"

#include "toolkit/form_reader.h"

namespace {

TEST_F(MixerUiTest, ConnectorScalesMeterReadingsAndReportsChanges)
{
  const int m = AddRecordingMixer(true);
  TMMAudioLine* line = RecordingLine();
  auto* meter = new TMMMixerControl(&owner);
  meter->SetAudioLine(line);
  meter->SetControlType(ctPeakMeter);
  ASSERT_TRUE(meter->IsAvailable());
  auto* left = new TMMLevel(&owner);
  auto* right = new TMMLevel(&owner);
  auto* connector = new TMMMixerConnector(&owner);
  int changes = 0;
  connector->SetOnChange([&](TObject*) { ++changes; });
  connector->SetLevel1(left);
  connector->SetLevel2(left);  // already the other slot's: refused
  EXPECT_EQ(connector->Level2(), nullptr);
  connector->SetLevel2(right);
  connector->SetControl(meter);
  EXPECT_TRUE(connector->AbsMode());
  EXPECT_DOUBLE_EQ(connector->LevelScale(), 1.0);
  EXPECT_THROW(connector->SetInterval(0), EMMLevelConnectorError);

  mem->SetValues(m, peak, {quint32(-20000), 12000});
  MMTickTimer::Tick();
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(left->LastValue(), 20000);
  EXPECT_EQ(right->LastValue(), 12000);
  MMTickTimer::Tick();
  EXPECT_EQ(changes, 1);  // same readings
  mem->SetValues(m, peak, {quint32(-20000), 11000});
  MMTickTimer::Tick();
  EXPECT_EQ(changes, 2);

  // A failing read stops the connector until it is prepared again.
  mem->FailCall(TMemoryMixerBackend::Call::GetValues, mmapi::MMSYSERR_ERROR, -1);
  MMTickTimer::Tick();
  EXPECT_EQ(errors.size(), 1);
  EXPECT_FALSE(connector->Ready());
  MMTickTimer::Tick();
  EXPECT_EQ(errors.size(), 1);
  mem->FailCall(TMemoryMixerBackend::Call::GetValues, 0, 0);
  connector->SetEnabled(true);
  mem->SetValues(m, peak, {100, 200});
  MMTickTimer::Tick();
  EXPECT_EQ(right->LastValue(), 200);
  EXPECT_EQ(errors.size(), 1);

  // Without a control the levels go dark and disabled.
  meter->Free();
  EXPECT_EQ(connector->Control(), nullptr);
  EXPECT_FALSE(left->Enabled());
}

TEST_F(MixerUiTest, ConnectorRangeFollowsTheMetersBoundsAndTheManufacturer)
{
  for (quint16 manufacturer : {quint16(1), quint16(31)}) {
    mem = backend.emplace().Memory();
    const int m = AddRecordingMixer(true, manufacturer, -100, 100);
    TMMAudioLine* line = RecordingLine();
    auto* meter = new TMMMixerControl(&owner);
    meter->SetAudioLine(line);
    meter->SetControlType(ctPeakMeter);
    auto* level = new TMMLevel(&owner);
    auto* connector = new TMMMixerConnector(&owner);
    connector->SetLevel1(level);
    connector->SetControl(meter);
    mem->SetValues(m, peak, {quint32(-50), quint32(-50)});
    MMTickTimer::Tick();
    if (manufacturer == 31) {
      EXPECT_FALSE(connector->AbsMode());
      EXPECT_EQ(connector->Offset(), 100);
      EXPECT_DOUBLE_EQ(connector->LevelScale(), 163.84);
      EXPECT_EQ(level->LastValue(), 8192);  // (-50 + 100) * 163.84
    } else {
      EXPECT_TRUE(connector->AbsMode());
      EXPECT_DOUBLE_EQ(connector->LevelScale(), 327.68);
      EXPECT_EQ(level->LastValue(), 16384);
    }
    owner.DestroyComponents();
  }
}

TEST_F(MixerUiTest, ConnectorsTickAtTheirOwnIntervals)
{
  int first = 0, second = 0;
  auto* a = new TMMCustomLevelConnector(&owner);
  auto* b = new TMMCustomLevelConnector(&owner);
  a->OnRefresh = [&](TObject*) { ++first; };
  b->OnRefresh = [&](TObject*) { ++second; };
  b->SetInterval(100);
  for (int i = 0; i < 8; ++i) MMTickTimer::Tick();
  EXPECT_EQ(first, 8);
  EXPECT_EQ(second, 2);
  a->SetAutoTrigger(false);
  MMTickTimer::Tick();
  EXPECT_EQ(first, 8);
  // A mixer connector with nothing to read rests, and the timer with it.
  EXPECT_TRUE(MMTickTimer::Running());
  b->Free();
  auto* idle = new TMMMixerConnector(&owner);
  EXPECT_FALSE(MMTickTimer::Running());
  idle->Free();
}

TEST_F(MixerUiTest, BoundSliderMapsTheVolumeOntoItsRangeAndWritesMoves)
{
  const int m = AddRecordingMixer(false);
  TMMAudioLine* line = RecordingLine();
  auto* vol = new TMMVolumeControl(&owner);
  auto* slider = new TMMCustomMixerSlider(&owner);
  EXPECT_FALSE(slider->Enabled());
  slider->SetControl(vol);  // no line yet: disabled, in the middle of 0..2
  EXPECT_FALSE(slider->Enabled());
  EXPECT_EQ(slider->MaxPosition(), 2);
  EXPECT_EQ(slider->Position(), 1);
  mem->SetValues(m, volume, {65535, 65535});
  vol->SetAudioLine(line);
  EXPECT_TRUE(slider->Enabled());
  EXPECT_DOUBLE_EQ(slider->Step(), 2047.96875);
  EXPECT_EQ(slider->MaxPosition(), 32);
  EXPECT_EQ(slider->Position(), 32);

  const int writes = mem->CallCount(TMemoryMixerBackend::Call::SetValues);
  slider->SetPosition(32);  // what it shows already: nothing written
  EXPECT_EQ(mem->CallCount(TMemoryMixerBackend::Call::SetValues), writes);
  slider->SetPosition(16);
  EXPECT_EQ(mem->Values(m, volume), (std::vector<quint32>{32768, 32768}));  // 32767.5, to even
  slider->SetChannel(chRight);
  slider->SetPosition(8);
  EXPECT_EQ(mem->Values(m, volume), (std::vector<quint32>{32768, 16384}));

  // Another program changes it: the thumb follows without writing back.
  const int before = mem->CallCount(TMemoryMixerBackend::Call::SetValues);
  mem->InjectControlChange(m, volume, {0, 65535});
  PumpPosted();
  EXPECT_EQ(slider->Position(), 32);
  EXPECT_EQ(mem->CallCount(TMemoryMixerBackend::Call::SetValues), before);
  EXPECT_THROW(slider->SetControl(new TMMMixerControl(&owner)), EMMMixerControlsError);  // a custom control

  // A write that fails leaves the link unlocked: the next move writes.
  mem->FailCall(TMemoryMixerBackend::Call::SetValues, mmapi::MMSYSERR_ERROR);
  EXPECT_THROW(slider->SetPosition(4), Exception);
  slider->SetPosition(16);
  EXPECT_EQ(mem->Values(m, volume)[1], 32768u);
}

TEST_F(MixerUiTest, BoundCheckBoxWritesOnceAndRereadsBeforeUnmuting)
{
  const int m = AddRecordingMixer(false);
  TMMAudioLine* line = RecordingLine();
  auto* muteControl = new TMMMixerControl(&owner);
  muteControl->SetControlType(ctMute);
  muteControl->SetAudioLine(line);
  auto* box = new TMMCustomMixerCheckBox(&owner);
  box->SetControl(muteControl);
  EXPECT_TRUE(box->Enabled());
  EXPECT_EQ(box->Caption(), "Mute");
  EXPECT_FALSE(box->Checked());

  const int writes = mem->CallCount(TMemoryMixerBackend::Call::SetValues);
  box->SetChecked(true);
  PumpPosted();  // the change report comes back
  EXPECT_EQ(mem->CallCount(TMemoryMixerBackend::Call::SetValues), writes + 1);
  EXPECT_EQ(mem->Values(m, mute), std::vector<quint32>{1});

  // Muted by another program, its report not yet handled: unchecking still unmutes.
  box->SetChecked(false);
  PumpPosted();
  mem->SetValues(m, mute, {1});
  box->SetChecked(false);
  EXPECT_EQ(mem->Values(m, mute), std::vector<quint32>{0});
  EXPECT_FALSE(box->Checked());

  box->SetEnabled(false);
  EXPECT_FALSE(box->Enabled());
  box->SetChecked(true);  // a disabled box keeps showing the switch
  EXPECT_FALSE(box->Checked());
  EXPECT_EQ(mem->Values(m, mute), std::vector<quint32>{0});
}

// The record window's hidden block, as its description holds it.
const char* const kRecordBlock = R"(object Host: TForm
  object MMMixerBlock1: TMMMixerBlock
    Left = 6
    Top = 40
    Width = 83
    Height = 256
    Visible = False
    Line = MMAudioLine1
    object MMMixerBlockLabel1: TMMMixerBlockLabel
      Left = 8
      Top = 7
      Width = 67
      Height = 14
      Caption = '录音控制'
    end
    object MMMixerBlockLabel2: TMMMixerBlockLabel
      Role = lrPanTitle
      Caption = 'Balance:'
    end
    object MMMixerBlockSlider1: TMMMixerBlockSlider
      Width = 67
    end
    object MMMixerBlockLabel3: TMMMixerBlockLabel
      Role = lrVolumeTitle
      Caption = 'Volume:'
    end
    object MMMixerBlockSlider2: TMMMixerBlockSlider
      Role = srLeftVolume
      Logarithmic = True
    end
    object MMMixerBlockLevel1: TMMMixerBlockLevel
      Enabled = False
      Kind = lkVertical
      DecayMode = dmStepUp
      Decay = 8
    end
    object MMMixerBlockCheck1: TMMMixerBlockCheck
      AutoCaption = False
      Caption = 'Mute'
    end
  end
  object MMMixerDevice1: TMMMixerDevice
    Active = True
  end
  object MMAudioLine1: TMMAudioLine
    Mixer = MMMixerDevice1
    LineId = -65535
  end
end
)";

TEST_F(MixerUiTest, TheRecordWindowsBlockBindsItsChildrenByRole)
{
  const int m = AddRecordingMixer(false);
  mem->SetValues(m, mute, {1});
  TComponent* form = ReadComponentText(QString::fromUtf8(kRecordBlock), QStringLiteral("record_block.vfm"), new TForm(&owner));
  auto* block = qobject_cast<TMMMixerBlock*>(form->FindComponent("MMMixerBlock1"));
  ASSERT_TRUE(block);
  auto* check = qobject_cast<TMMMixerBlockCheck*>(form->FindComponent("MMMixerBlockCheck1"));
  EXPECT_EQ(block->MuteCheck(), check);
  EXPECT_EQ(block->MuteKind(), mkMute);
  EXPECT_EQ(check->Control(), block->BlockMute());
  EXPECT_TRUE(check->Enabled());
  EXPECT_TRUE(check->Checked());
  EXPECT_EQ(check->Caption(), "Mute");
  EXPECT_EQ(block->TitleLabel()->Caption(), "Recording Control");
  EXPECT_EQ(block->PanLabel()->Caption(), "Balance:");
  EXPECT_EQ(block->PanSlider()->Control(), block->BlockPan());
  EXPECT_EQ(block->LeftSlider()->Control(), block->BlockVolume());
  EXPECT_EQ(block->LeftSlider()->Channel(), chBoth);  // the only volume slider
  EXPECT_TRUE(block->LeftSlider()->Logarithmic());
  EXPECT_FALSE(block->PanSlider()->PicLeft()->Empty());
  EXPECT_EQ(block->BlockConnector()->Level1(), block->LeftLevel());
  EXPECT_FALSE(block->LeftLevel()->Visible());  // the line has no peak meter
  EXPECT_FALSE(MMTickTimer::Running());          // nor anything else to tick for

  // Unchecking unmutes the line, as the record window does before recording.
  check->SetChecked(false);
  EXPECT_EQ(mem->Values(m, mute), std::vector<quint32>{0});
  // A mute from elsewhere shows.
  mem->InjectControlChange(m, mute, {1});
  PumpPosted();
  EXPECT_TRUE(check->Checked());
}

TEST_F(MixerUiTest, ABlockAssignsRolesAndLaysOutItsChildren)
{
  AddRecordingMixer(true);
  TMMAudioLine* line = RecordingLine();
  auto* block = new TMMMixerBlock(&owner);
  block->SetParent(Host());
  block->SetDesigning(true);
  auto* title = new TMMMixerBlockLabel(&owner);
  title->SetParent(block);
  EXPECT_EQ(block->TitleLabel(), title);
  EXPECT_EQ(title->Caption(), "Not connected");
  TMMMixerBlockSlider* sliders[4];
  for (auto*& s : sliders) {
    s = new TMMMixerBlockSlider(&owner);
    s->SetParent(block);
  }
  EXPECT_EQ(sliders[0]->Role(), srPan);
  EXPECT_EQ(sliders[1]->Role(), srLeftVolume);
  EXPECT_EQ(sliders[2]->Role(), srRightVolume);
  EXPECT_EQ(sliders[3]->Role(), srPan);
  EXPECT_EQ(block->PanSlider(), sliders[3]);  // found later, replaces the first
  auto* level = new TMMMixerBlockLevel(&owner);
  level->SetParent(block);
  auto* check = new TMMMixerBlockCheck(&owner);
  check->SetParent(block);
  block->SetLine(line);
  EXPECT_EQ(title->Caption(), "Recording Control");
  EXPECT_EQ(block->LeftSlider()->Channel(), chLeft);
  EXPECT_EQ(block->RightSlider()->Channel(), chRight);
  EXPECT_TRUE(level->Visible());
  EXPECT_EQ(level->Kind(), lkVertical);
  // Sliders take three quarters of the middle, the level the rest; the check sits at the bottom.
  EXPECT_LT(block->RightSlider()->Left() + block->RightSlider()->Width(), level->Left() + 1);
  EXPECT_EQ(check->Top() + check->Height(), block->Height() - block->BevelExtent() - block->Font()->Metrics().height() / 2);
  EXPECT_EQ(sliders[1]->TabOrder(), 1);

  // A line the mixer does not know: everything bound rests, the title is empty.
  check->SetChecked(true);
  line->SetLineId(0x1234);
  EXPECT_EQ(title->Caption(), "");
  EXPECT_FALSE(block->LeftSlider()->Enabled());
  EXPECT_EQ(block->LeftSlider()->Position(), 1);
  EXPECT_FALSE(check->Enabled());
  EXPECT_TRUE(check->Checked());
  block->SetDesigning(false);
  block->Arrange();
  EXPECT_FALSE(level->Visible());

  TPanel outside(nullptr);
  EXPECT_THROW(level->SetParent(&outside), EMMBlockError);
  EXPECT_EQ(level->Parent(), block);
  sliders[2]->SetParent(nullptr);
  EXPECT_EQ(block->RightSlider(), nullptr);
  EXPECT_EQ(block->LeftSlider()->Channel(), chBoth);
}

TEST_F(MixerUiTest, ADescriptionKeepsWhatItStoredWhateverTheRoleSets)
{
  auto* form = new TForm(nullptr);
  form->SetName("Original");
  auto* block = new TMMMixerBlock(form);
  block->SetName("Block");
  block->SetParent(form);
  auto* slider = new TMMMixerBlockSlider(form);
  slider->SetName("Volume");
  slider->SetParent(block);
  slider->SetRole(srLeftVolume);
  slider->Scale()->SetTickCount(9);
  slider->SetGrooveSize(4);
  auto* level = new TMMMixerBlockLevel(form);
  level->SetName("Level");
  level->SetParent(block);
  level->SetRole(lrRightLevel);
  level->SetPoint1(30);
  const QString text = WriteComponentText(form);
  TComponent::Free(form);

  TComponent* copy = ReadComponentText(text, QStringLiteral("copy.vfm"), new TForm(&owner));
  auto* volumeCopy = qobject_cast<TMMMixerBlockSlider*>(copy->FindComponent("Volume"));
  auto* levelCopy = qobject_cast<TMMMixerBlockLevel*>(copy->FindComponent("Level"));
  ASSERT_TRUE(volumeCopy && levelCopy) << text.toStdString();
  EXPECT_EQ(volumeCopy->Role(), srLeftVolume);
  EXPECT_EQ(volumeCopy->Scale()->TickCount(), 9);
  EXPECT_EQ(volumeCopy->Scale()->EnlargeEvery(), 6);
  EXPECT_EQ(volumeCopy->GrooveSize(), 4);
  EXPECT_TRUE(volumeCopy->Logarithmic());
  EXPECT_TRUE(volumeCopy->PicLeft()->Empty());
  EXPECT_EQ(levelCopy->Role(), lrRightLevel);
  EXPECT_EQ(levelCopy->Point1(), 30);
  EXPECT_EQ(qobject_cast<TMMMixerBlock*>(copy->FindComponent("Block"))->RightLevel(), levelCopy);
}

TEST_F(MixerUiTest, ASourceSelectorTakesTheMuteChecksPlace)
{
  AddStandardMixer();
  auto* device = new TMMMixerDevice(&owner);
  auto* dest = new TMMAudioLine(&owner);
  dest->SetMixer(device);
  dest->SetLineId(-65535);
  auto* source = new TMMAudioLine(&owner);
  source->SetMixer(device);
  source->SetLineId(qint32(cdLine));
  auto* selector = new TMMMixerControl(&owner);
  selector->SetAudioLine(dest);
  selector->SetControlType(ctMux);
  auto* block = new TMMMixerBlock(&owner);
  block->SetParent(Host());
  auto* check = new TMMMixerBlockCheck(&owner);
  check->SetParent(block);
  block->SetLine(source);
  block->SetMixer(selector);
  EXPECT_EQ(block->MuteKind(), mkSelect);
  EXPECT_EQ(check->Item(), 2);
  EXPECT_EQ(check->Caption(), "CD Audio");
  block->SetMixer(nullptr);
  EXPECT_EQ(block->MuteKind(), mkMute);
  EXPECT_EQ(check->Item(), NoItem);
}

} // namespace
