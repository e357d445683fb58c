// The record window over the in-memory capture and mixer back-ends: read from
// its description, driven through its buttons, with the confirmation box, the
// save dialog and the error report replaced.
#include "app/all_classes.h"
#include "app/form_main.h"
#include "app/form_record.h"
#include "app/record_source.h"
#include "app/shell_folders.h"
#include "audio/audio_test_util.h"
#include "audio/dx_audio_in.h"
#include "audio/mp3_out.h"
#include "audio/station_audio_in.h"
#include "audio/station_player.h"
#include "browser/site_addresses.h"
#include "mixer_ui/mm_block.h"
#include "platform/capture_memory.h"
#include "platform/mixer_memory.h"
#include "skin_controls/skin_buttons.h"
#include "skin_controls/skin_combo_box.h"
#include "skin_controls/skin_edit.h"
#include "skin_controls/skin_file_dialog.h"
#include "skin_controls/skin_labels.h"
#include "skin_controls/skin_panels.h"
#include "skin/skin_form.h"
#include "support/files.h"
#include "support/scoped_mixer_backend.h"
#include "toolkit/ini_file.h"
#include "toolkit/form_reader.h"
#include "toolkit/std_controls.h"
#include "toolkit/timer.h"

#include <QApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTimer>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <optional>

namespace {

constexpr quint32 kRecording = 0xFFFF0001;
const QString kNoLineControl = QStringLiteral("您的声卡不支持录音控制，不能录音。");
const QString kOverwrite = QStringLiteral("指定MP3文件已存在，继续录音将会覆盖该文件。确认继续吗？");
const QString kStopRecording = QStringLiteral("录音正在进行，您确定要停止录音吗？");

// Select file, record, stop, clock, bit-rate list.
struct TControlStates {
  bool Select, Rec, Stop, Timer, Rate;
  bool operator==(const TControlStates&) const = default;
};
std::ostream& operator<<(std::ostream& os, const TControlStates& s)
{
  return os << "{select " << s.Select << ", rec " << s.Rec << ", stop " << s.Stop << ", timer " << s.Timer
            << ", rate " << s.Rate << "}";
}
constexpr TControlStates kControllable{true, false, false, false, true};
constexpr TControlStates kNotControllable{false, false, false, false, true};
constexpr TControlStates kFileChosen{true, true, false, false, true};
constexpr TControlStates kRecordingState{false, false, true, true, false};

class RecordWindowTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    RegisterAllClasses();
    mem = mixerBackend.emplace().Memory();
    TCaptureSystem::SetDefault(&capture);
    ASSERT_TRUE(dir.isValid());
  }
  void TearDown() override
  {
    TComponent::Free(form);
    form = nullptr;
    QCoreApplication::sendPostedEvents();
    TCaptureSystem::SetDefault(nullptr);
    mixerBackend.reset();
  }

  // Mixer 0: playback and recording destinations; the recording line has a
  // volume and, unless `muteFlags` is empty, a mute switch that starts muted.
  void AddMixer(std::optional<quint32> muteFlags = mmapi::CONTROLF_UNIFORM, bool recordingLine = true)
  {
    const int m = mem->AddMixer("Test Mixer");
    TMixerTopology& t = mem->Topology(m);
    t.AddDestination(mmapi::COMPONENTTYPE_DST_SPEAKERS, "Speakers", "Speakers", 2);
    if (!recordingLine) return;
    t.AddDestination(mmapi::COMPONENTTYPE_DST_WAVEIN, "Rec", "Recording Control", 2);
    t.AddControl(kRecording, mmapi::CONTROLTYPE_VOLUME, 0, 0, 65535, 65535, "Vol", "Rec Volume");
    if (muteFlags) {
      recMute = t.AddControl(kRecording, mmapi::CONTROLTYPE_MUTE, *muteFlags, 0, 1, 0, "Mute", "Rec Mute").Info.ControlId;
      mem->SetValues(m, recMute, std::vector<quint32>(*muteFlags & mmapi::CONTROLF_UNIFORM ? 1 : 2, 1));
    }
  }

  TForm_Record* Create()
  {
    form = new TForm_Record(nullptr, BareForm);
    // The window keeps choices in the settings file: the test's own, not the one beside the test program.
    form->SettingsReadPath = form->SettingsWritePath = SettingsFile();
    form->Confirm = [this](const QString& text) {
      asked << text;
      return answer;
    };
    form->ChooseFile = [this](const TRecordSaveRequest& request) {
      requests.push_back(request);
      return chosen;
    };
    form->ReportError = [this](const QString& text) { errors << text; };
    ReadComponentFile(FormDescriptionPath("Form_Record"), form);
    return form;
  }
  QString SettingsFile() const { return dir.filePath("mainform.ini"); }

  TControlStates States() const
  {
    return {form->bsSkinButtonSelectFile()->Enabled(), form->bsSkinButtonRec()->Enabled(),
            form->bsSkinButtonStop()->Enabled(), form->Timer1()->Enabled(), form->bsSkinComboBoxBit()->Enabled()};
  }

  void ChooseFile(const QString& path)
  {
    chosen = path;
    form->bsSkinButtonSelectFile()->SimulateClick();
  }

  // Records until the capture has delivered at least `bytes`, then stops.
  void RecordSome(int bytes = 200000)
  {
    form->bsSkinButtonRec()->SimulateClick();
    ASSERT_EQ(States(), kRecordingState);
    ASSERT_TRUE(WaitUntil([&] { return form->DXAudioIn1()->Position() >= bytes; }));
    form->bsSkinButtonStop()->SimulateClick();
  }

  TMemoryMixerBackend* mem = nullptr;
  std::optional<TScopedMixerBackend> mixerBackend;
  TMemoryCaptureSystem capture;
  QTemporaryDir dir;
  TForm_Record* form = nullptr;
  quint32 recMute = 0;
  QStringList asked, errors;
  int answer = mrYes;
  QString chosen;
  std::vector<TRecordSaveRequest> requests;
};

TEST_F(RecordWindowTest, ComesUpHiddenAsDesignedWithItsControlsReady)
{
  AddMixer();
  Create();
  EXPECT_EQ(form->Name(), "Form_Record");
  EXPECT_EQ(form->Caption(), "Velmora 节目录音");
  EXPECT_EQ(form->Height(), 100);
  EXPECT_EQ(form->ClientWidth(), 428);
  EXPECT_EQ(form->BorderStyle(), TForm::bsDialog);
  EXPECT_EQ(form->Position(), TForm::poScreenCenter);
  EXPECT_FALSE(form->Visible());
  EXPECT_EQ(States(), kControllable);

  EXPECT_EQ(form->bsSkinButtonSelectFile()->Caption(), "指定录音保存文件");
  EXPECT_EQ(form->bsSkinButtonRec()->Caption(), "开始录音");
  EXPECT_EQ(form->bsSkinButtonStop()->Caption(), "停止录音");
}

TEST_F(RecordWindowTest, TheBitRateBoxTheFileBoxAndTheMessageBoxAreSetUpAsDesigned)
{
  AddMixer();
  Create();
  TbsSkinComboBox* bits = form->bsSkinComboBoxBit();
  ASSERT_TRUE(bits);
  EXPECT_EQ(bits->Items(), QStringList({"32 kbps", "64 kbps", "128 kbps"}));
  EXPECT_EQ(bits->ItemIndex(), 1);
  EXPECT_EQ(bits->Text(), "64 kbps");
  EXPECT_EQ(bits->Style(), TbsSkinComboBox::bscbFixedStyle);
  EXPECT_EQ(bits->DropDownCount(), 8);
  EXPECT_TRUE(bits->ListBoxUseSkinItemHeight());
  EXPECT_EQ(bits->SkinDataName(), "combobox");
  EXPECT_EQ(bits->Font()->Name(), "Arial");
  TbsSkinEdit* edit = form->bsSkinEditSaveFile();
  ASSERT_TRUE(edit);
  EXPECT_TRUE(edit->ReadOnly());
  EXPECT_EQ(edit->SkinDataName(), "statusedit");
  EXPECT_GE(edit->SkinControlIndex(), 0) << "the built-in skin defines statusedit";
  EXPECT_EQ(edit->Font()->Name(), "Arial");
  // Through its properties: the box's header cannot join the mixer's in one file.
  const QObject* message = form->FindComponent("bsSkinMessage1");
  ASSERT_TRUE(message);
  EXPECT_EQ(message->property("SkinData").value<TbsSkinData*>(), bits->SkinData());
  EXPECT_EQ(message->property("ButtonSkinDataName").toString(), "button");
  EXPECT_EQ(message->property("MessageLabelSkinDataName").toString(), "stdlabel");
  EXPECT_TRUE(message->property("UseSkinFont").toBool());
  EXPECT_EQ(form->bsSkinEditSaveFile()->Text(), "");
  EXPECT_EQ(form->bsSkinStatusPanelRecTime()->Caption(), "");
  EXPECT_EQ(form->Timer1()->Interval(), 1000);
}

TEST_F(RecordWindowTest, TheShrunkWindowKeepsTheButtonsAndTheStatusBarInView)
{
  AddMixer();
  Create();
  TbsSkinComboBox* bits = form->bsSkinComboBoxBit();
  TbsSkinEdit* edit = form->bsSkinEditSaveFile();
  ASSERT_TRUE(bits && edit);
  // The built-in skin sets the heights; the shrunk window keeps the top row
  // and the status bar (at its bottom) in view, the mixer block out of sight.
  TbsSkinStatusBar* bar = form->bsSkinStatusBar1();
  ASSERT_TRUE(bar);
  for (TbsSkinButton* b : {form->bsSkinButtonSelectFile(), form->bsSkinButtonRec(), form->bsSkinButtonStop()}) {
    EXPECT_EQ(b->Height(), 28) << b->Name().toStdString();
    EXPECT_LE(b->Top() + b->Height(), bar->Top()) << b->Name().toStdString();
  }
  EXPECT_EQ(bar->Height(), 23);
  EXPECT_EQ(form->bsSkinStatusPanelRecTime()->Height(), 17);
  EXPECT_EQ(edit->Height(), 17);
  EXPECT_EQ(bits->Height(), 20);
  EXPECT_LE(bits->Top() + bits->Height(), bar->Top());
  EXPECT_EQ(bar->Top() + bar->Height(), form->ClientHeight());
  EXPECT_EQ(form->bsSkinStatusPanelRecTime()->Width(), 100);
  EXPECT_EQ(form->bsSkinEditSaveFile()->Parent(), bar);
  EXPECT_FALSE(form->MMMixerBlock1()->Visible());
}

TEST_F(RecordWindowTest, RecordsSixteenBitStereoTo128KbpsWithTheProgramsTags)
{
  AddMixer();
  Create();
  TDXAudioIn* in = form->DXAudioIn1();
  EXPECT_EQ(in->BytesToRead(), -1);
  EXPECT_EQ(in->InBitsPerSample(), 16);
  EXPECT_EQ(in->InChannels(), 2);
  EXPECT_EQ(in->InSampleRate(), 44100);
  TMP3Out* out = form->MP3Out1();
  EXPECT_EQ(out->Input(), in);
  EXPECT_TRUE(out->SuspendWhenIdle());
  EXPECT_EQ(out->BitRate(), TMP3Out::br128);
  EXPECT_EQ(out->Id3TagAlbum(), "Velmora 广播节目");
  // No address in the description: the maker's comes from the build, at Record.
  for (const QString& tag : {out->Id3TagTitle(), out->Id3TagArtist(), out->Id3TagTrack(), out->Id3TagComment(),
                             out->Id3TagGenre(), out->Id3TagYear()})
    EXPECT_EQ(tag, "");

  // With an address every maker's tag holds it; without, the title is the file's name.
  SetMakerTags(out, "/r/早间新闻.mp3", "http://www.example.com/");
  for (const QString& tag : {out->Id3TagTitle(), out->Id3TagArtist(), out->Id3TagTrack(), out->Id3TagComment(),
                             out->Id3TagGenre()})
    EXPECT_EQ(tag, "http://www.example.com/");
  SetMakerTags(out, "/r/早间新闻.mp3", "");
  EXPECT_EQ(out->Id3TagTitle(), "早间新闻");
  for (const QString& tag : {out->Id3TagArtist(), out->Id3TagTrack(), out->Id3TagComment(), out->Id3TagGenre()})
    EXPECT_EQ(tag, "");
}

TEST_F(RecordWindowTest, ComesUpWithTheRecordingLineUnmuted)
{
  AddMixer();
  Create();
  // The block's check found the line's switch, and FormCreate unmuted the line.
  TMMMixerBlockCheck* lineSwitch = form->MMMixerBlockCheck1();
  EXPECT_EQ(form->MMMixerBlock1()->MuteCheck(), lineSwitch);
  EXPECT_EQ(form->MMMixerBlock1()->MuteKind(), mkMute);
  EXPECT_TRUE(lineSwitch->Enabled());
  EXPECT_FALSE(lineSwitch->Checked());
  EXPECT_EQ(mem->Values(0, recMute), std::vector<quint32>{0});
}

TEST_F(RecordWindowTest, TheFileButtonAsksForAnMp3FileOnTheDesktop)
{
  AddMixer();
  Create();
  form->bsSkinButtonSelectFile()->SimulateClick();  // the dialog is cancelled
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].Title, "指定录音文件保存的目录和文件名");
  EXPECT_EQ(requests[0].Filter, "MP3 文件|*.mp3");
  EXPECT_EQ(requests[0].FilterIndex, 1);
  EXPECT_EQ(requests[0].InitialDir, SpecialFolderPath(0));
  EXPECT_EQ(States(), kControllable);
}

TEST_F(RecordWindowTest, ALineWithoutAUsableMuteSwitchMakesRecordingUnreachable)
{
  struct Case {
    const char* Name;
    std::optional<quint32> Mute;
    bool RecordingLine;
    bool Mixer = true;
  };
  for (const Case& c : {Case{"no mute control", std::nullopt, true},
                        Case{"mute control disabled", mmapi::CONTROLF_UNIFORM | mmapi::CONTROLF_DISABLED, true},
                        Case{"no recording line", std::nullopt, false},
                        Case{"no mixer at all", std::nullopt, false, false}}) {
    SCOPED_TRACE(c.Name);
    mem = mixerBackend.emplace().Memory();
    if (c.Mixer) AddMixer(c.Mute, c.RecordingLine);
    Create();
    EXPECT_EQ(qobject_cast<TMMMixerDevice*>(form->FindComponent("MMMixerDevice1"))->Active(), c.Mixer);
    form->Show();  // the user opens it: the message is all there is
    EXPECT_TRUE(form->Visible());
    EXPECT_EQ(States(), kNotControllable);
    EXPECT_FALSE(form->MMMixerBlockCheck1()->Enabled());
    EXPECT_EQ(form->bsSkinEditSaveFile()->Text(), kNoLineControl);
    EXPECT_EQ(mem->CallCount(TMemoryMixerBackend::Call::SetValues), 0);
    TComponent::Free(form);
    form = nullptr;
  }
}

TEST_F(RecordWindowTest, ControlStatesFollowChoosingRecordingAndStopping)
{
  AddMixer();
  Create();
  const QString file = dir.filePath("节目.mp3");
  ChooseFile(file);
  EXPECT_EQ(form->bsSkinEditSaveFile()->Text(), file);
  EXPECT_EQ(States(), kFileChosen);

  // Someone muted the line meanwhile: starting unmutes it again.
  mem->InjectControlChange(0, recMute, {1});
  ASSERT_TRUE(WaitUntil([&] { return form->MMMixerBlockCheck1()->Checked(); }));
  const int writes = mem->CallCount(TMemoryMixerBackend::Call::SetValues);

  RecordSome();
  EXPECT_EQ(States(), kFileChosen);  // after Stop: as when a file was chosen
  EXPECT_EQ(mem->Values(0, recMute), std::vector<quint32>{0});
  EXPECT_EQ(mem->CallCount(TMemoryMixerBackend::Call::SetValues), writes + 1);
  EXPECT_EQ(form->MP3Out1()->State(), TAuOutput::asIdle);
  EXPECT_TRUE(asked.isEmpty());
  const TDecoded d = DecodeMp3(file);
  ASSERT_TRUE(d.Ok);
  EXPECT_GE(d.Seconds(), 1.0);
  EXPECT_EQ(d.Album, "Velmora 广播节目");
  EXPECT_EQ(d.Title, MakerSiteAddress().isEmpty() ? QFileInfo(file).completeBaseName().toStdString()
                                                  : MakerSiteAddress().toStdString());
  if (MakerSiteAddress().isEmpty()) {
    EXPECT_EQ(d.Track, "") << "no track number without the maker's address";
  }

  // Choosing again while a file is chosen keeps the window in that state.
  ChooseFile(dir.filePath("second.mp3"));
  EXPECT_EQ(States(), kFileChosen);
  EXPECT_EQ(form->bsSkinEditSaveFile()->Text(), dir.filePath("second.mp3"));
}

TEST_F(RecordWindowTest, RecordingAnotherSourceLeavesTheLinesMuteAlone)
{
  AddMixer();
  capture.DeviceList.push_back({"memory:monitor", QStringLiteral("正在播放的声音"), false});
  Create();
  mem->InjectControlChange(0, recMute, {1});  // the user muted the microphone
  ASSERT_TRUE(WaitUntil([&] { return form->MMMixerBlockCheck1()->Checked(); }));
  const int writes = mem->CallCount(TMemoryMixerBackend::Call::SetValues);

  form->DXAudioIn1()->SetDeviceNumber(1);
  EXPECT_FALSE(form->RecordingLineIsRecorded());
  const QString file = dir.filePath("monitor.mp3");
  ChooseFile(file);
  RecordSome();
  EXPECT_EQ(capture.LastDeviceId, "memory:monitor");
  EXPECT_EQ(mem->Values(0, recMute), std::vector<quint32>{1});
  EXPECT_EQ(mem->CallCount(TMemoryMixerBackend::Call::SetValues), writes);
  EXPECT_TRUE(DecodeMp3(file).Ok);

  // Back on the default input the line is what is recorded: unmuted again.
  form->DXAudioIn1()->SetDeviceNumber(0);
  EXPECT_TRUE(form->RecordingLineIsRecorded());
  RecordSome();
  EXPECT_EQ(mem->Values(0, recMute), std::vector<quint32>{0});
}

TEST_F(RecordWindowTest, AnExistingFileIsOverwrittenOnlyAfterYes)
{
  AddMixer();
  Create();
  const QString file = dir.filePath("old.mp3");
  {
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("keep me");
  }
  ChooseFile(file);
  answer = mrNo;
  form->bsSkinButtonRecClick(form);
  EXPECT_EQ(asked, QStringList{kOverwrite});
  EXPECT_EQ(States(), kFileChosen);
  EXPECT_EQ(form->MP3Out1()->State(), TAuOutput::asIdle);
  EXPECT_EQ(ReadAll(file), QByteArray("keep me"));

  answer = mrYes;
  RecordSome();
  EXPECT_EQ(asked.size(), 2);
  EXPECT_TRUE(DecodeMp3(file).Ok);
}

TEST_F(RecordWindowTest, TheBitRateListChoosesTheEncodersRate)
{
  AddMixer();
  Create();
  TbsSkinComboBox* bits = form->bsSkinComboBoxBit();
  TMP3Out* out = form->MP3Out1();
  const QString file = dir.filePath("rate.mp3");
  ChooseFile(file);

  bits->SetItemIndex(0);
  RecordSome();
  EXPECT_EQ(out->BitRate(), TMP3Out::br32);
  TDecoded d = DecodeMp3(file);
  ASSERT_TRUE(d.Ok);
  ASSERT_FALSE(d.Bitrates.empty());
  EXPECT_EQ(std::count(d.Bitrates.begin(), d.Bitrates.end(), 32), std::ptrdiff_t(d.Bitrates.size()));

  // No selection: the previous rate stays.
  bits->SetItemIndex(-1);
  answer = mrYes;
  RecordSome();
  EXPECT_EQ(out->BitRate(), TMP3Out::br32);

  for (auto [index, rate] : {std::pair{1, TMP3Out::br64}, std::pair{2, TMP3Out::br128}}) {
    bits->SetItemIndex(index);
    RecordSome();
    EXPECT_EQ(out->BitRate(), rate);
  }
  d = DecodeMp3(file);
  ASSERT_TRUE(d.Ok);
  EXPECT_EQ(d.Bitrates.front(), 128);
}

TEST_F(RecordWindowTest, WithNoRateSelectedAFreshWindowRecordsAt128)
{
  AddMixer();
  Create();
  form->bsSkinComboBoxBit()->SetItemIndex(-1);
  const QString file = dir.filePath("default.mp3");
  ChooseFile(file);
  RecordSome();
  EXPECT_EQ(form->MP3Out1()->BitRate(), TMP3Out::br128);
  const TDecoded d = DecodeMp3(file);
  ASSERT_TRUE(d.Ok);
  EXPECT_EQ(d.Bitrates.front(), 128);
}

// The captions of a menu level, as the skinned menu shows them.
QStringList Captions(const TMenuItem* items)
{
  QStringList out;
  for (int i = 0; i < items->Count(); ++i) out << items->Items(i)->Caption();
  return out;
}

TEST_F(RecordWindowTest, TheSystemMenuOffersTheSourcesAndTheChoiceIsKeptAndRecorded)
{
  AddMixer();
  capture.DeviceList = {{"memory:0", QStringLiteral("默认输入"), true},
                        {"memory:monitor", QStringLiteral("正在播放的声音"), false},
                        {"memory:mic", QStringLiteral("Mic & Line"), false}};
  WriteFile(SettingsFile(), "[main]\nleft=12\n[record]\nsource=正在播放的声音\n");
  Create();
  auto* frame = qobject_cast<TbsSkinForm*>(form->FindComponent("bsSkinForm1"));
  ASSERT_TRUE(frame);
  EXPECT_EQ(Captions(frame->BuildSystemMenu()->Items()), QStringList({"录音来源", "按曲目分段", "预约录音…", "-", "关闭(&C)"}));
  // Only a station has tracks to split by.
  EXPECT_FALSE(form->SplitByTrackMenuItem()->Enabled());
  TMenuItem* sources = form->RecordSourceMenuItem();
  ASSERT_TRUE(sources);
  EXPECT_EQ(Captions(sources), QStringList({"默认输入", "正在播放的声音", "正在收听的电台", "Mic && Line"}));
  auto checked = [&] {
    frame->BuildSystemMenu();
    QStringList out;
    for (int i = 0; i < sources->Count(); ++i)
      if (sources->Items(i)->Checked()) out << sources->Items(i)->Caption();
    return out;
  };
  EXPECT_EQ(checked(), QStringList{"正在播放的声音"});

  // Chosen: the next recording takes it, the settings keep it beside the placement.
  sources->Items(3)->Click();
  EXPECT_EQ(checked(), QStringList{"Mic && Line"});
  EXPECT_EQ(ReadRecordSource(SettingsFile()), "Mic & Line");
  ChooseFile(dir.filePath("mic.mp3"));
  form->bsSkinButtonRec()->SimulateClick();
  ASSERT_EQ(States(), kRecordingState);
  // While it runs the source cannot change: shown, not offered.
  EXPECT_EQ(checked(), QStringList{"Mic && Line"});
  for (int i = 0; i < sources->Count(); ++i) EXPECT_FALSE(sources->Items(i)->Enabled()) << i;
  form->bsSkinButtonStop()->SimulateClick();
  EXPECT_EQ(capture.LastDeviceId, "memory:mic");
  frame->BuildSystemMenu();
  EXPECT_TRUE(sources->Items(0)->Enabled());

  // The default input is no choice to keep.
  sources->Items(0)->Click();
  EXPECT_EQ(ReadRecordSource(SettingsFile()), "");
  EXPECT_EQ(TMemIniFile(SettingsFile()).ReadInteger("main", "left", 0), 12);

  // Settings that cannot be written: said so, and the source is used all the same.
  form->SettingsWritePath = dir.filePath("no-such-folder/mainform.ini");
  sources->Items(1)->Click();
  ASSERT_EQ(errors.size(), 1);
  EXPECT_TRUE(errors[0].startsWith("设置无法保存：")) << errors[0].toStdString();
  EXPECT_EQ(form->RecordSource(), "正在播放的声音");
}

TEST_F(RecordWindowTest, TheListenedStationIsRecordedFromThePlayerWithItsTags)
{
  AddMixer();
  auto engine = std::make_unique<TStreamEngineMemory>();
  TStreamEngineMemory* station = engine.get();
  TStationPlayer player(std::move(engine));
  TStationPlayer::SetInstance(&player);
  Create();
  TMenuItem* sources = form->RecordSourceMenuItem();
  auto* frame = qobject_cast<TbsSkinForm*>(form->FindComponent("bsSkinForm1"));
  frame->BuildSystemMenu();
  const int stationEntry = int(Captions(sources).indexOf("正在收听的电台"));
  ASSERT_GE(stationEntry, 1);
  sources->Items(stationEntry)->Click();
  EXPECT_EQ(ReadRecordSource(SettingsFile()), "正在收听的电台");
  ChooseFile(dir.filePath("station.mp3"));

  // Nothing listened to: said, and nothing starts.
  form->bsSkinButtonRec()->SimulateClick();
  ASSERT_EQ(errors.size(), 1);
  EXPECT_TRUE(errors[0].startsWith("现在没有正在收听的电台")) << errors[0].toStdString();
  EXPECT_FALSE(form->bsSkinButtonStop()->Enabled());

  // Split by track: kept, and the take goes on in a file named after the next title.
  TMenuItem* split = form->SplitByTrackMenuItem();
  frame->BuildSystemMenu();
  ASSERT_TRUE(split->Enabled());
  EXPECT_FALSE(split->Checked());
  split->Click();
  frame->BuildSystemMenu();
  EXPECT_TRUE(split->Checked());
  EXPECT_TRUE(ReadRecordSplit(SettingsFile()));

  player.Play({"k", "早间电台", "http://127.0.0.1:1/a.mp3", {}, {}});
  TStreamEvent tags;
  tags.Kind = TStreamEvent::seTags;
  tags.Title = "新闻";
  station->Emit(tags);
  form->bsSkinButtonRec()->SimulateClick();
  ASSERT_EQ(States(), kRecordingState);
  EXPECT_EQ(form->MP3Out1()->Input(), form->StationAudioIn1());
  frame->BuildSystemMenu();
  EXPECT_FALSE(split->Enabled());
  QByteArray pcm(TStationAudioIn::BytesFor(100), '\x10');
  auto feedUntil = [&](qint64 ms) {
    return WaitUntil([&] {
      station->EmitPcm(pcm);
      return form->StationAudioIn1()->Position() >= TStationAudioIn::BytesFor(ms);
    });
  };
  ASSERT_TRUE(feedUntil(300));
  tags.Title = "天气: 晴/多云";
  station->Emit(tags);
  // A read may take up to a second of what is held: the split comes with the next block.
  ASSERT_TRUE(feedUntil(form->StationAudioIn1()->Position() * 1000 / TStationAudioIn::BytesFor(1000) + 600));
  // The file box follows the take into the file it goes on in (at the clock's tick).
  const QString nextFile = dir.filePath("天气_ 晴_多云.mp3");
  EXPECT_TRUE(WaitUntil([&] {
    form->Timer1Timer(nullptr);
    return form->bsSkinEditSaveFile()->Text() == nextFile;
  })) << form->bsSkinEditSaveFile()->Text().toStdString();
  form->bsSkinButtonStop()->SimulateClick();
  const std::vector<TMP3Out::TPart> parts = form->MP3Out1()->Parts();
  ASSERT_EQ(parts.size(), 2u);
  EXPECT_EQ(parts[1].FileName, nextFile);
  EXPECT_EQ(form->bsSkinEditSaveFile()->Text(), nextFile);
  EXPECT_EQ(parts[0].Frames + parts[1].Frames, form->StationAudioIn1()->Position() / TStationAudioIn::kFrameBytes);
  const TDecoded next = DecodeMp3(parts[1].FileName);
  ASSERT_TRUE(next.Ok);
  EXPECT_EQ(next.Title, "天气: 晴/多云");
  EXPECT_EQ(next.Artist, "早间电台");

  // A split whose file cannot be made (the folder gone): the take goes on in its file, said once.
  ASSERT_TRUE(QDir(dir.path()).mkdir("gone"));
  ChooseFile(dir.filePath("gone/take.mp3"));
  errors.clear();
  form->bsSkinButtonRec()->SimulateClick();
  ASSERT_EQ(States(), kRecordingState);
  ASSERT_TRUE(feedUntil(300));
  ASSERT_TRUE(QDir(dir.path()).rename("gone", "moved"));
  tags.Title = "体育";
  station->Emit(tags);
  ASSERT_TRUE(feedUntil(form->StationAudioIn1()->Position() * 1000 / TStationAudioIn::BytesFor(1000) + 600));
  form->Timer1Timer(nullptr);
  form->Timer1Timer(nullptr);
  form->bsSkinButtonStop()->SimulateClick();
  EXPECT_EQ(form->MP3Out1()->Parts().size(), 1u);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_TRUE(errors[0].startsWith("没能按曲目分段，录音接着写在当前文件里：无法创建文件")) << errors[0].toStdString();
  EXPECT_TRUE(DecodeMp3(dir.filePath("moved/take.mp3")).Ok);

  TStationPlayer::SetInstance(nullptr);
  const TDecoded d = DecodeMp3(dir.filePath("station.mp3"));
  ASSERT_TRUE(d.Ok);
  EXPECT_GE(d.Seconds(), 0.3);
  EXPECT_EQ(d.Title, "新闻");
  EXPECT_EQ(d.Artist, "早间电台");
  EXPECT_EQ(d.Album, "Velmora 广播节目");
  EXPECT_EQ(d.DayMonth, QDate::currentDate().toString("ddMM").toStdString());
}

TEST_F(RecordWindowTest, TheChosenBitRateIsKeptForTheNextStart)
{
  AddMixer();
  WriteFile(SettingsFile(), "[record]\nbitrate=32\n");
  Create();
  EXPECT_EQ(form->bsSkinComboBoxBit()->ItemIndex(), 0);
  form->bsSkinComboBoxBit()->SetItemIndex(2);
  EXPECT_EQ(ReadRecordBitRate(SettingsFile()), 128);
  TComponent::Free(form);
  // Odd values leave the designed 64 kbps.
  for (const char* stored : {"bitrate=0", "bitrate=96", "bitrate=abc", "bitrate=-64"}) {
    SCOPED_TRACE(stored);
    WriteFile(SettingsFile(), QByteArray("[record]\n") + stored + "\n");
    Create();
    EXPECT_EQ(form->bsSkinComboBoxBit()->ItemIndex(), 1);
    TComponent::Free(form);
  }
  form = nullptr;
  EXPECT_TRUE(errors.isEmpty());
}

// The mixer goes away while the window is open (the sound server stopped, or
// the element behind the switch removed): Record says the window cannot
// record, nothing starts and the chosen file stays.
TEST_F(RecordWindowTest, RecordAfterTheMixerWentAwaySaysItCannotRecord)
{
  for (bool wholeDevice : {true, false}) {
    SCOPED_TRACE(wholeDevice ? "device gone" : "mute control gone");
    mem = mixerBackend.emplace().Memory();
    AddMixer();
    Create();
    errors.clear();
    const QString file = dir.filePath("lost.mp3");
    ChooseFile(file);
    if (wholeDevice)
      mem->RemoveDevice(0);
    else
      mem->RemoveControl(0, recMute);
    ASSERT_TRUE(WaitUntil([&] { return !form->MMMixerBlockCheck1()->Enabled(); }));
    form->bsSkinButtonRec()->SimulateClick();
    EXPECT_EQ(errors, QStringList{kNoLineControl});
    EXPECT_EQ(States(), kFileChosen);
    EXPECT_EQ(form->bsSkinEditSaveFile()->Text(), file);
    EXPECT_EQ(capture.Opens, 0);
    EXPECT_FALSE(QFileInfo::exists(file));
    TComponent::Free(form);
    form = nullptr;
  }
}

TEST(RecordedTimeText, ShowsTheTimeOfDayOfTheSecondsRecorded)
{
  EXPECT_EQ(RecordedTimeText(0), "已录制00:00:00分");
  EXPECT_EQ(RecordedTimeText(125), "已录制00:02:05分");
  EXPECT_EQ(RecordedTimeText(3725), "已录制01:02:05分");
  EXPECT_EQ(RecordedTimeText(86399), "已录制23:59:59分");
  EXPECT_EQ(RecordedTimeText(86400 + 3661), "已录制01:01:01分");  // a whole day falls away
}

TEST_F(RecordWindowTest, TheClockShowsTheSecondsCaptured)
{
  AddMixer();
  // Two seconds of audio in the first two refills, then the device stalls.
  capture.RealTime = true;
  capture.Schedule = [](int index, int, const TCaptureFormat& f) -> uint32_t {
    return index < 2 ? uint32_t(f.SampleRate * f.BlockAlign()) : 0;
  };
  Create();
  ChooseFile(dir.filePath("clock.mp3"));
  form->bsSkinButtonRec()->SimulateClick();
  // The window's own one-second timer updates the panel.
  EXPECT_TRUE(WaitUntil([&] { return form->bsSkinStatusPanelRecTime()->Caption() == "已录制00:00:02分"; }, 6000))
      << form->bsSkinStatusPanelRecTime()->Caption().toStdString();
  EXPECT_EQ(States(), kRecordingState);  // a stalled device is still a recording
  form->bsSkinButtonStop()->SimulateClick();
  EXPECT_EQ(States(), kFileChosen);
  EXPECT_EQ(form->bsSkinStatusPanelRecTime()->Caption(), "已录制00:00:02分");  // the last time stays
  EXPECT_NEAR(DecodeMp3(dir.filePath("clock.mp3")).Seconds(), 2.0, 0.1);
}

TEST_F(RecordWindowTest, ClosingDuringARecordingAsksFirst)
{
  AddMixer();
  capture.RealTime = true;
  Create();
  form->Show();
  const QString file = dir.filePath("close.mp3");
  ChooseFile(file);
  form->Close();  // nothing running: closes without asking
  EXPECT_FALSE(form->Visible());
  EXPECT_TRUE(asked.isEmpty());

  form->Show();
  form->bsSkinButtonRec()->SimulateClick();
  ASSERT_TRUE(WaitUntil([&] { return form->DXAudioIn1()->Position() > 0; }));
  answer = mrNo;
  form->Close();
  EXPECT_EQ(asked, QStringList{kStopRecording});
  EXPECT_TRUE(form->Visible());
  EXPECT_EQ(States(), kRecordingState);
  const int before = form->DXAudioIn1()->Position();
  EXPECT_TRUE(WaitUntil([&] { return form->DXAudioIn1()->Position() > before; })) << "the recording went on";

  answer = mrYes;
  form->Handle()->close();  // the window's own close button
  EXPECT_EQ(asked.size(), 2);
  EXPECT_FALSE(form->Visible());
  EXPECT_EQ(form->MP3Out1()->State(), TAuOutput::asIdle);
  EXPECT_EQ(States(), kFileChosen);
  const TDecoded d = DecodeMp3(file);
  ASSERT_TRUE(d.Ok);
  EXPECT_EQ(d.Album, "Velmora 广播节目");
}

TEST_F(RecordWindowTest, ClosingTheMainWindowDuringARecordingAsksAndNoKeepsItRunning)
{
  AddMixer();
  capture.RealTime = true;
  Create();
  const QString mainSettings = dir.filePath("main.ini");
  TForm_Main::SettingsLocator = [mainSettings] { return TSettingsLocation{QString(), mainSettings}; };
  auto* main = new TForm_Main(nullptr);
  const auto endMain = qScopeGuard([main] {
    TComponent::Free(main);
    TForm_Main::SettingsLocator = nullptr;
  });
  EXPECT_TRUE(main->CloseQuery()) << "nothing records: it closes without asking";
  EXPECT_TRUE(asked.isEmpty());

  const QString file = dir.filePath("main_close.mp3");
  ChooseFile(file);
  form->bsSkinButtonRec()->SimulateClick();
  ASSERT_TRUE(WaitUntil([&] { return form->DXAudioIn1()->Position() > 0; }));
  answer = mrNo;
  EXPECT_FALSE(main->CloseQuery());
  EXPECT_EQ(asked, QStringList{kStopRecording});
  EXPECT_EQ(States(), kRecordingState);
  const int before = form->DXAudioIn1()->Position();
  EXPECT_TRUE(WaitUntil([&] { return form->DXAudioIn1()->Position() > before; })) << "the recording went on";

  // The session's end waits for no answer; the record window finishes the file as it goes.
  main->EndingWithSession = true;
  EXPECT_TRUE(main->CloseQuery());
  EXPECT_EQ(asked.size(), 1);
  main->EndingWithSession = false;

  answer = mrYes;
  EXPECT_TRUE(main->CloseQuery());
  EXPECT_EQ(asked.size(), 2);
  EXPECT_EQ(form->MP3Out1()->State(), TAuOutput::asIdle);
  const TDecoded d = DecodeMp3(file);
  ASSERT_TRUE(d.Ok);
  EXPECT_EQ(d.Album, "Velmora 广播节目");
}

TEST_F(RecordWindowTest, TheWindowOpensWhereItWasLeft)
{
  AddMixer();
  const auto write = [&](const QByteArray& text) {
    QFile f(SettingsFile());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
  };
  write("[record]\nbitrate=32\nleft=40\ntop=60\n");
  Create();
  EXPECT_EQ(form->BoundsRect().topLeft(), QPoint(40, 60));
  form->Show();
  EXPECT_EQ(form->BoundsRect().topLeft(), QPoint(40, 60)) << "not centred again when shown";
  form->SetBounds(70, 90, form->Width(), form->Height());
  form->Hide();
  TComponent::Free(form);
  form = nullptr;
  TMemIniFile ini(SettingsFile());
  EXPECT_EQ(ini.ReadInteger("record", "left", -1), 70);
  EXPECT_EQ(ini.ReadInteger("record", "top", -1), 90);
  EXPECT_EQ(ini.ReadInteger("record", "bitrate", -1), 32);

  // A place no screen shows opens whole on the work area.
  write("[record]\nleft=99999\ntop=-500\n");
  Create();
  const QRect work = Screen->MonitorFromPoint(form->BoundsRect().center()).WorkareaRect;
  EXPECT_TRUE(work.contains(form->BoundsRect())) << form->Left() << "," << form->Top();
  // Never shown: nothing is written.
  TComponent::Free(form);
  form = nullptr;
  EXPECT_EQ(TMemIniFile(SettingsFile()).ReadString("record", "left", ""), "99999");
}

TEST_F(RecordWindowTest, TheBitRateListLooksDisabledWhileRecording)
{
  AddMixer();
  capture.RealTime = true;
  Create();
  form->Show();
  ChooseFile(dir.filePath("look.mp3"));
  TbsSkinComboBox* bits = form->bsSkinComboBoxBit();
  const QImage idle = bits->Handle()->grab().toImage();
  form->bsSkinButtonRec()->SimulateClick();
  ASSERT_EQ(States(), kRecordingState);
  const QImage recording = bits->Handle()->grab().toImage();
  EXPECT_NE(recording, idle) << "drawn as it was while it takes no choice";
  form->bsSkinButtonStop()->SimulateClick();
  EXPECT_EQ(bits->Handle()->grab().toImage(), idle);
}

TEST_F(RecordWindowTest, DestroyingTheWindowFinishesARunningRecording)
{
  AddMixer();
  capture.RealTime = true;
  Create();
  const QString file = dir.filePath("end.mp3");
  ChooseFile(file);
  form->bsSkinButtonRec()->SimulateClick();
  ASSERT_TRUE(WaitUntil([&] { return form->DXAudioIn1()->Position() > 0; }));
  const int captured = form->DXAudioIn1()->Position();
  TComponent::Free(form);
  form = nullptr;
  const TDecoded d = DecodeMp3(file);
  ASSERT_TRUE(d.Ok);
  // Everything captured reached the file (the encoder may resample: compare times).
  EXPECT_GE(d.Seconds(), captured / 176400.0 - 0.01);
  EXPECT_EQ(d.Album, "Velmora 广播节目");
  EXPECT_TRUE(asked.isEmpty());
}

TEST_F(RecordWindowTest, ARecordingThatCannotStartIsReportedAndTheFileStaysChosen)
{
  AddMixer();
  Create();
  const QString unwritable = dir.filePath("missing/folder/x.mp3");
  ChooseFile(unwritable);
  form->bsSkinButtonRec()->SimulateClick();
  ASSERT_EQ(errors.size(), 1);
  // In Chinese; the system's reason follows in its words.
  EXPECT_EQ(errors[0], "录音失败：无法创建文件 " + unwritable + "：No such file or directory");
  EXPECT_EQ(States(), kFileChosen);
  EXPECT_EQ(form->bsSkinEditSaveFile()->Text(), unwritable);
  EXPECT_EQ(form->MP3Out1()->State(), TAuOutput::asIdle);

  // No capture device to open.
  capture.OpenResult = TCaptureResult::NoDriver;
  ChooseFile(dir.filePath("y.mp3"));
  form->bsSkinButtonRec()->SimulateClick();
  ASSERT_EQ(errors.size(), 2);
  EXPECT_EQ(errors[1], "录音失败：无法打开录音设备：没有可用的录音设备（DSERR_NODRIVER）");
  EXPECT_EQ(States(), kFileChosen);

  // Once the cause is gone, the same window records.
  capture.OpenResult = TCaptureResult::Ok;
  RecordSome();
  EXPECT_EQ(errors.size(), 2);
  EXPECT_TRUE(DecodeMp3(dir.filePath("y.mp3")).Ok);
}

TEST_F(RecordWindowTest, ACaptureDeviceThatFailsOnTheWayEndsTheRecordingWithAReport)
{
  AddMixer();
  capture.FailAtWait = 3;
  Create();
  const QString file = dir.filePath("lost.mp3");
  ChooseFile(file);
  form->bsSkinButtonRec()->SimulateClick();
  ASSERT_TRUE(WaitUntil([&] { return !errors.isEmpty(); }));
  EXPECT_EQ(errors[0], "录音失败：录音设备出错：录音设备已被移除");
  EXPECT_EQ(States(), kFileChosen);
  ASSERT_TRUE(WaitUntil([&] { return form->MP3Out1()->State() == TAuOutput::asIdle; }));
  // What was captured before the failure is a complete file.
  const TDecoded d = DecodeMp3(file);
  ASSERT_TRUE(d.Ok);
  EXPECT_NEAR(d.Seconds(), 1.2, 0.1);  // three refills of 400 ms
  // Stop is disabled; closing does not ask.
  form->Close();
  EXPECT_TRUE(asked.isEmpty());
}

TEST_F(RecordWindowTest, TheLineSwitchMirrorsTheMuteAndWritesOnlyChanges)
{
  AddMixer(0);  // per channel, not uniform
  Create();
  TMMMixerBlockCheck* lineSwitch = form->MMMixerBlockCheck1();
  ASSERT_TRUE(lineSwitch->Enabled());
  EXPECT_EQ(mem->Values(0, recMute), std::vector<quint32>({0, 0}));  // unmuted on both channels
  const int writes = mem->CallCount(TMemoryMixerBackend::Call::SetValues);

  // Another program mutes one channel: the switch shows muted, and writes nothing.
  mem->InjectControlChange(0, recMute, {0, 1});
  ASSERT_TRUE(WaitUntil([&] { return lineSwitch->Checked(); }));
  QCoreApplication::processEvents();
  EXPECT_EQ(mem->CallCount(TMemoryMixerBackend::Call::SetValues), writes);

  lineSwitch->SetChecked(false);
  EXPECT_EQ(mem->Values(0, recMute), std::vector<quint32>({0, 0}));
  EXPECT_EQ(mem->CallCount(TMemoryMixerBackend::Call::SetValues), writes + 1);
  lineSwitch->SetChecked(false);  // unchanged: no write
  QCoreApplication::processEvents();
  QCoreApplication::processEvents();
  EXPECT_EQ(mem->CallCount(TMemoryMixerBackend::Call::SetValues), writes + 1);

  // A switch asked to be disabled stays so and writes nothing.
  lineSwitch->SetEnabled(false);
  EXPECT_FALSE(lineSwitch->Enabled());
  lineSwitch->SetChecked(true);
  EXPECT_FALSE(lineSwitch->Checked());  // shows the switch as it is
  EXPECT_EQ(mem->CallCount(TMemoryMixerBackend::Call::SetValues), writes + 1);
  lineSwitch->SetEnabled(true);
  EXPECT_TRUE(lineSwitch->Enabled());

  // The driver now marks the switch disabled: the next look-up of the line disables the box.
  for (TMixerTopologyControl& c : mem->Topology(0).Controls)
    if (c.Info.ControlId == recMute) c.Info.Flags |= mmapi::CONTROLF_DISABLED;
  auto* line = qobject_cast<TMMAudioLine*>(form->FindComponent("MMAudioLine1"));
  ASSERT_TRUE(line);
  line->UpdateLine();
  EXPECT_FALSE(lineSwitch->Enabled());
}

TEST_F(RecordWindowTest, ReadForCheckingTheDescriptionOpensNoMixer)
{
  // No mixer at all: a window read as designing still comes up whole.
  TComponent* root = ReadComponentFile(FormDescriptionPath("Form_Record"), nullptr, nullptr, TReadOptions{.Designing = true});
  ASSERT_TRUE(root);
  auto* mixer = qobject_cast<TMMMixerDevice*>(root->FindComponent("MMMixerDevice1"));
  ASSERT_TRUE(mixer);
  EXPECT_TRUE(mixer->Active());  // the stored value, kept
  EXPECT_EQ(mem->CallCount(TMemoryMixerBackend::Call::Open), 0);
  EXPECT_TRUE(WriteComponentText(root).contains("Active = True"));
  // No OnCreate while designing: the file field has no message.
  EXPECT_EQ(qobject_cast<TbsSkinEdit*>(root->FindComponent("bsSkinEditSaveFile"))->Text(), "");
  TComponent::Free(root);
}

// The skinned message box on screen, or nullptr.
TForm* ShownMessageBox()
{
  for (int i = 0; i < Application->ComponentCount(); ++i) {
    auto* box = qobject_cast<TForm*>(Application->Components(i));
    if (box && box->Visible() && box->inherits("TbsMessageForm")) return box;
  }
  return nullptr;
}

TEST_F(RecordWindowTest, TheDefaultBoxesAreTheSkinnedYesNoWarningAndAnMp3SaveDialog)
{
  AddMixer();
  form = new TForm_Record(nullptr);  // the window's own boxes, not the tests' seams
  ASSERT_TRUE(form->bsSkinMessage1());
  QString title, text;
  QStringList buttons;
  auto answerWith = [&](const QString& pick) {
    QTimer::singleShot(0, [&, pick] {
      TForm* box = ShownMessageBox();
      ASSERT_NE(box, nullptr);
      title = box->Caption();
      auto* label = qobject_cast<TbsSkinStdLabel*>(box->FindComponent("Message"));
      ASSERT_TRUE(label);
      text = label->Caption();
      buttons.clear();
      for (const char* name : {"Yes", "No", "OK", "Cancel"})
        if (auto* b = qobject_cast<TbsSkinButton*>(box->FindComponent(name))) buttons << b->Caption();
      qobject_cast<TbsSkinButton*>(box->FindComponent(pick))->SimulateClick();
    });
  };
  answerWith("Yes");
  EXPECT_EQ(form->Confirm(kOverwrite), mrYes);
  EXPECT_EQ(title, "警告");
  EXPECT_EQ(text, kOverwrite);
  EXPECT_EQ(buttons, QStringList({"是(&Y)", "否(&N)"}));
  answerWith("No");
  EXPECT_EQ(form->Confirm(kStopRecording), mrNo);
  EXPECT_EQ(ShownMessageBox(), nullptr);
  // Errors: the skinned box too, with its OK.
  answerWith("OK");
  form->ReportError(QStringLiteral("录音失败：无法创建文件 /x.mp3：Read-only file system"));
  EXPECT_EQ(title, "错误");
  EXPECT_EQ(buttons, QStringList({"确定"}));
  EXPECT_EQ(ShownMessageBox(), nullptr);

  // The skinned save dialog, answered by keys typed into its name box.
  QStringList filters;
  QString folder;
  auto pickFile = [&](const QString& name, int key) {
    QTimer::singleShot(0, [&, name, key] {
      TbsOpenDlgForm* d = form->bsSkinSaveDialog1()->CurrentForm();
      ASSERT_NE(d, nullptr);
      title = d->Caption();
      filters = d->FilterBox()->Items();
      folder = d->FileList()->FolderPath();
      for (QChar c : name) d->FileNameEdit()->SendMessage(WM_CHAR, c.unicode());
      d->FileNameEdit()->SendMessage(WM_KEYDOWN, key, 0);
    });
  };
  form->SaveDialog.InitialDir = dir.path();
  pickFile("new", VK_RETURN);
  form->bsSkinButtonSelectFile()->SimulateClick();
  EXPECT_EQ(title, "指定录音文件保存的目录和文件名");
  EXPECT_EQ(filters, QStringList{"MP3 文件"});
  EXPECT_EQ(folder, dir.path());
  const QString target = dir.filePath("new.mp3");
  EXPECT_EQ(form->bsSkinEditSaveFile()->Text(), target);
  EXPECT_TRUE(form->bsSkinButtonRec()->Enabled());

  // Cancelled: the chosen file stays; the dialog opened where the last file is.
  folder.clear();
  pickFile("other", VK_ESCAPE);
  EXPECT_EQ(form->ChooseFile(form->SaveDialog), "");
  EXPECT_EQ(folder, dir.path());
  EXPECT_EQ(form->bsSkinEditSaveFile()->Text(), target);
}

} // namespace
