#include "app/form_record.h"

#include "app/form_schedule.h"
#include "app/record_source.h"
#include "app/settings_location.h"
#include "app/shell_folders.h"
#include "app/user_messages.h"
#include "audio/dx_audio_in.h"
#include "audio/mp3_out.h"
#include "audio/station_audio_in.h"
#include "audio/station_player.h"
#include "browser/site_addresses.h"
#include "mixer/mm_line.h"
#include "platform/capture_sources.h"
#include "platform/mixer_backend.h"
#include "mixer/mm_mixer.h"
#include "mixer_ui/mm_block.h"
#include "skin_controls/skin_buttons.h"
#include "skin_controls/skin_combo_box.h"
#include "skin_controls/skin_edit.h"
#include "skin_controls/skin_file_dialog.h"
#include "skin_controls/skin_labels.h"
#include "skin_controls/skin_message.h"
#include "skin_controls/skin_panels.h"
#include "skin/skin_form.h"
#include "toolkit/form_parser.h"
#include "toolkit/form_reader.h"
#include "toolkit/regular_file.h"
#include "toolkit/std_controls.h"
#include "toolkit/timer.h"

#include <QFileInfo>
#include <cstdio>
#include <iterator>

namespace {
const char* const kNoLineControl = "您的声卡不支持录音控制，不能录音。";
const char* const kOverwrite = "指定MP3文件已存在，继续录音将会覆盖该文件。确认继续吗？";
const char* const kStopRecording = "录音正在进行，您确定要停止录音吗？";
const char* const kRecordingFailed = "录音失败：%1";
const char* const kSettingNotKept = "设置无法保存：%1";
const char* const kRecordSourceCaption = "录音来源";
const char* const kSplitByTrackCaption = "按曲目分段";
const char* const kScheduleCaption = "预约录音…";
const char* const kNoSchedule = "现在不能预约录音。";
const char* const kNoStation = "现在没有正在收听的电台：请先在电台列表中播放一个电台，再开始录音。";
const char* const kSplitFailed = "没能按曲目分段，录音接着写在当前文件里：%1";
// The listed rate in kbps at `index`, or nullptr (no selection).
const int* ListedKbps(int index)
{
  return index >= 0 && index < int(std::size(kRecordBitRates)) ? &kRecordBitRates[index] : nullptr;
}
} // namespace

QString RecordedTimeText(int seconds)
{
  // The time of day of seconds / 86400: whole days fall away.
  int s = seconds % 86400;
  if (s < 0) s += 86400;
  return QStringLiteral("已录制%1:%2:%3分")
      .arg(s / 3600, 2, 10, QLatin1Char('0'))
      .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
      .arg(s % 60, 2, 10, QLatin1Char('0'));
}

TForm_Record::TForm_Record(TComponent* owner, TBareForm) : TForm(owner)
{
  SaveDialog.Title = QStringLiteral("指定录音文件保存的目录和文件名");
  SaveDialog.Filter = QStringLiteral("MP3 文件|*.mp3");
  SaveDialog.FilterIndex = 1;
  const TSettingsLocation settings = MainFormSettingsLocation();
  SettingsReadPath = settings.ReadPath;
  SettingsWritePath = settings.WritePath;
  InstallDefaultSeams();
}

TForm_Record::TForm_Record(TComponent* owner) : TForm_Record(owner, BareForm)
{
  ReadComponentFile(FormDescriptionPath(QStringLiteral("Form_Record")), this);
}

TForm_Record::~TForm_Record() = default;

void TForm_Record::InstallDefaultSeams()
{
  Confirm = [this](const QString& text) { return ShowUserMessage(text, mtWarning, mbYes | mbNo, bsSkinMessage1()); };
  ChooseFile = [this](const TRecordSaveRequest& request) {
    // The window asks about an existing file itself, when recording starts.
    TbsSkinSaveDialog* dialog = bsSkinSaveDialog1();
    if (!dialog) return QString();
    dialog->SetTitle(request.Title);
    dialog->SetFilter(request.Filter);
    dialog->SetFilterIndex(request.FilterIndex);
    dialog->SetInitialDir(request.InitialDir);
    return dialog->Execute() ? dialog->FileName() : QString();
  };
  ReportError = [this](const QString& text) { ShowUserMessage(text, mtError, mbOK, bsSkinMessage1()); };
}


TbsSkinButton* TForm_Record::bsSkinButtonSelectFile() const { return FindComponent<TbsSkinButton>("bsSkinButtonSelectFile"); }
TbsSkinComboBox* TForm_Record::bsSkinComboBoxBit() const { return FindComponent<TbsSkinComboBox>("bsSkinComboBoxBit"); }
TbsSkinButton* TForm_Record::bsSkinButtonRec() const { return FindComponent<TbsSkinButton>("bsSkinButtonRec"); }
TbsSkinButton* TForm_Record::bsSkinButtonStop() const { return FindComponent<TbsSkinButton>("bsSkinButtonStop"); }
TbsSkinStatusBar* TForm_Record::bsSkinStatusBar1() const { return FindComponent<TbsSkinStatusBar>("bsSkinStatusBar1"); }
TbsSkinEdit* TForm_Record::bsSkinEditSaveFile() const { return FindComponent<TbsSkinEdit>("bsSkinEditSaveFile"); }
TbsSkinSaveDialog* TForm_Record::bsSkinSaveDialog1() const { return FindComponent<TbsSkinSaveDialog>("bsSkinSaveDialog1"); }
TbsSkinStatusPanel* TForm_Record::bsSkinStatusPanelRecTime() const
{
  return FindComponent<TbsSkinStatusPanel>("bsSkinStatusPanelRecTime");
}
TTimer* TForm_Record::Timer1() const { return FindComponent<TTimer>("Timer1"); }
TDXAudioIn* TForm_Record::DXAudioIn1() const { return FindComponent<TDXAudioIn>("DXAudioIn1"); }
TMP3Out* TForm_Record::MP3Out1() const { return FindComponent<TMP3Out>("MP3Out1"); }
TMMMixerBlock* TForm_Record::MMMixerBlock1() const { return FindComponent<TMMMixerBlock>("MMMixerBlock1"); }
TMMMixerBlockCheck* TForm_Record::MMMixerBlockCheck1() const { return FindComponent<TMMMixerBlockCheck>("MMMixerBlockCheck1"); }

TStationAudioIn* TForm_Record::StationAudioIn1()
{
  if (auto* in = FindComponent<TStationAudioIn>("StationAudioIn1")) return in;
  auto* in = new TStationAudioIn(this);
  in->SetName(QStringLiteral("StationAudioIn1"));
  return in;
}

bool TForm_Record::RecordingLineIsRecorded() const
{
  if (stationSource_) return false;
  const TDXAudioIn* in = DXAudioIn1();
  const int device = in->DeviceNumber();
  if (device < 0 || device >= in->DeviceCount() || !in->Device(device).DefaultInput) return false;
  const TMMMixerBlock* block = MMMixerBlock1();
  const TMMAudioLine* line = block ? block->Line() : nullptr;
  return line && line->Mixer() && line->Mixer()->DeviceId() == 0 && line->LineId() != badLineId &&
         line->ComponentType() == ctDstWaveIn;
}

void TForm_Record::UnmuteRecordingLine()
{
  if (RecordingLineIsRecorded()) MMMixerBlockCheck1()->SetChecked(false);
}

void TForm_Record::FormCreate(TObject*)
{
  SetHeight(100);
  RestorePlace();
  if (const TbsSkinSaveDialog* dialog = bsSkinSaveDialog1()) {
    SaveDialog.Title = dialog->Title();
    SaveDialog.Filter = dialog->Filter();
    SaveDialog.FilterIndex = dialog->FilterIndex();
  }
  SaveDialog.InitialDir = SpecialFolderPath(0);
  TakeRecordSource(ReadRecordSource(SettingsReadPath));
  splitByTrack_ = ReadRecordSplit(SettingsReadPath);
  RestoreBitRate();
  CreateSystemMenu();
  TbsSkinButton* select = bsSkinButtonSelectFile();
  // The station's recording needs no mixer.
  select->SetEnabled(FindMixerAgain() || stationSource_);
  if (select->Enabled()) {
    UnmuteRecordingLine();
  } else if (!SoundServerRunning()) {
    // The server may come later: a file can be chosen, and Record looks again.
    select->SetEnabled(true);
    bsSkinEditSaveFile()->SetText(kNoSoundServerText);
  } else {
    bsSkinEditSaveFile()->SetText(QString::fromUtf8(kNoLineControl));
  }
}

bool TForm_Record::FindMixerAgain()
{
  if (MMMixerBlockCheck1()->Enabled()) return true;
  // The sound server started or came back since the window was made: open
  // the mixer anew, which looks the line and its switch up again.
  if (auto* mixer = FindComponent<TMMMixerDevice>("MMMixerDevice1")) {
    try {
      mixer->SetActive(false);
      MixerBackend().Rescan();
      // A change of device is what makes the line and its switch look themselves up again.
      const TMMDeviceId id = mixer->DeviceId();
      mixer->SetDeviceId(InvalidId);
      mixer->SetDeviceId(id);
      mixer->SetActive(true);
    } catch (const Exception&) {
      // still no mixer: said below
    }
  }
  return MMMixerBlockCheck1()->Enabled();
}

void TForm_Record::RefreshRecordSources()
{
  TDXAudioIn* in = DXAudioIn1();
  if (!in || MP3Out1()->State() != TAuOutput::asIdle) return;
  in->RefreshDevices();
  // The kept choice again, now that it may be back.
  const QString kept = ReadRecordSource(SettingsReadPath);
  if (!kept.isEmpty()) TakeRecordSource(kept);
}

void TForm_Record::TakeRecordSource(const QString& name)
{
  stationSource_ = name == kListenedStationName;
  if (!stationSource_) UseRecordSource(*DXAudioIn1(), name);
}

void TForm_Record::bsSkinButtonSelectFileClick(TObject*)
{
  const QString file = ChooseFile ? ChooseFile(SaveDialog) : QString();
  if (file.isEmpty()) return;
  bsSkinEditSaveFile()->SetText(file);
  bsSkinButtonRec()->SetEnabled(true);
}

void TForm_Record::bsSkinButtonRecClick(TObject*)
{
  // The mixer may have gone since the window came up (the sound server
  // stopped), or come since: looked for again; without it the line cannot
  // be switched, so nothing starts and the chosen file stays. The station's
  // recording needs a station instead.
  TStationPlayer* player = stationSource_ ? TStationPlayer::Instance() : nullptr;
  if (player && !StationIsListened(*player)) {
    if (ReportError) ReportError(QString::fromUtf8(kNoStation));
    return;
  }
  if (!player && !FindMixerAgain()) {
    if (ReportError) ReportError(SoundServerRunning() ? QString::fromUtf8(kNoLineControl) : kNoSoundServerText);
    return;
  }
  RefreshRecordSources();
  const QString file = bsSkinEditSaveFile()->Text();
  const QFileInfo target(file);
  if (target.exists() && !target.isDir()) {
    if (!Confirm || Confirm(QString::fromUtf8(kOverwrite)) != mrYes) return;
  }
  UnmuteRecordingLine();
  Timer1()->SetEnabled(true);
  bsSkinButtonSelectFile()->SetEnabled(false);
  bsSkinButtonRec()->SetEnabled(false);
  // The rate is fixed for the run: a list that still changed would show a rate the file does not have.
  bsSkinComboBoxBit()->SetEnabled(false);
  TMP3Out* out = MP3Out1();
  // No selection: the rate stays as it was.
  if (const int* listed = ListedKbps(bsSkinComboBoxBit()->ItemIndex())) out->SetBitRate(*TMP3Out::BitRateOf(*listed));
  out->SetFileName(file);
  SetMakerTags(out, file, MakerSiteAddress());
  QObject::disconnect(splitting_);
  splitProblemShown_.clear();
  if (player) {
    SetStationTags(out, player->Station().Name, player->Title(), QDate::currentDate());
    out->SetInput(StationAudioIn1());
    if (splitByTrack_) splitting_ = ::SplitByTrack(player, out, this);
  } else {
    out->SetId3TagDate(QDate());
    out->SetInput(DXAudioIn1());
  }
  // A run that cannot start is reported through OnThreadException, from
  // inside Start; the window is then back in the "file chosen" state.
  const int failuresBefore = failures_;
  try {
    out->Start();
  } catch (const Exception& e) {
    MP3Out1ThreadException(out, e.Message());
    return;
  }
  if (failures_ == failuresBefore) bsSkinButtonStop()->SetEnabled(true);
}

void TForm_Record::Timer1Timer(TObject*)
{
  bsSkinStatusPanelRecTime()->SetCaption(RecordedTimeText(MP3Out1()->ElapsedSeconds()));
  ShowFileBeingWritten();
}

void TForm_Record::ShowFileBeingWritten()
{
  const std::vector<TMP3Out::TPart> parts = MP3Out1()->Parts();
  if (!parts.empty() && bsSkinEditSaveFile()->Text() != parts.back().FileName)
    bsSkinEditSaveFile()->SetText(parts.back().FileName);
  // A split that could not be made is said once; the take goes on regardless.
  const QString problem = MP3Out1()->SplitProblem();
  if (!problem.isEmpty() && problem != splitProblemShown_) {
    splitProblemShown_ = problem;
    if (ReportError) ReportError(QString::fromUtf8(kSplitFailed).arg(UserMessageText(problem)));
  }
}

void TForm_Record::bsSkinButtonStopClick(TObject*)
{
  TMP3Out* out = MP3Out1();
  // The wait runs only the worker's queued calls (a failure's report), no
  // clicks: the buttons may change after it.
  out->RequestStop(true);
  out->WaitForStop();  // the file is complete and closed when this returns
  ShowFileBeingWritten();
  ShowFileChosen();
}

void TForm_Record::FormCloseQuery(TObject*, bool& CanClose) { CanClose = MayStopRecording(); }

bool TForm_Record::MayStopRecording()
{
  if (MP3Out1()->State() == TAuOutput::asIdle) return true;
  if (!Confirm || Confirm(QString::fromUtf8(kStopRecording)) != mrYes) return false;
  bsSkinButtonStopClick(this);
  return true;
}

void TForm_Record::FormDestroy(TObject*)
{
  TMP3Out* out = MP3Out1();
  if (out && out->State() != TAuOutput::asIdle) {
    out->RequestStop(true);
    out->WaitForStop();
  }
  SavePlace();
}

void TForm_Record::RestorePlace()
{
  // Shown once, the window remembers where the user left it.
  SetOnShow([this](TObject*) { placeShown_ = true; });
  const std::optional<QPoint> stored = ReadRecordPlace(SettingsReadPath);
  if (!stored) return;
  QRect place(*stored, QSize(Width(), Height()));
  // A place no screen shows opens whole on the work area instead.
  if (Screen->MonitorCount() > 0) {
    const QRect work = Screen->MonitorFromPoint(place.center()).WorkareaRect;
    if (!work.isEmpty() && !work.contains(place)) {
      place.moveLeft(std::clamp(place.left(), work.left(), std::max(work.left(), work.right() + 1 - place.width())));
      place.moveTop(std::clamp(place.top(), work.top(), std::max(work.top(), work.bottom() + 1 - place.height())));
    }
  }
  SetPosition(poDesigned);
  SetBounds(place.left(), place.top(), Width(), Height());
}

void TForm_Record::SavePlace()
{
  if (!placeShown_ || SettingsWritePath.isEmpty()) return;
  try {
    WriteRecordPlace(SettingsWritePath, QPoint(Left(), Top()));
  } catch (const Exception& e) {
    // The program is ending: nobody waits for a box now.
    std::fprintf(stderr, "%s\n", QString::fromUtf8(kSettingNotKept).arg(UserMessageText(e.Message())).toLocal8Bit().constData());
  }
}

void TForm_Record::MP3Out1ThreadException(TObject*, const QString& Message)
{
  // The output has already closed what the run held: back to "file chosen",
  // with the reason shown.
  ++failures_;
  ShowFileChosen();
  if (ReportError) ReportError(QString::fromUtf8(kRecordingFailed).arg(UserMessageText(Message)));
}

void TForm_Record::ShowFileChosen()
{
  Timer1()->SetEnabled(false);
  bsSkinButtonStop()->SetEnabled(false);
  bsSkinButtonSelectFile()->SetEnabled(true);
  bsSkinButtonRec()->SetEnabled(true);
  bsSkinComboBoxBit()->SetEnabled(true);
}

QStringList TForm_Record::RecordSourceNames() const
{
  const TDXAudioIn* in = DXAudioIn1();
  return in ? ::RecordSourceNames(*in) : QStringList();
}

QString TForm_Record::RecordSource() const
{
  if (stationSource_) return kListenedStationName;
  const TDXAudioIn* in = DXAudioIn1();
  if (!in || in->DeviceNumber() < 0 || in->DeviceNumber() >= in->DeviceCount()) return QString();
  return in->Device(in->DeviceNumber()).Description;
}

void TForm_Record::SetRecordSource(const QString& name)
{
  // Taken before it is kept: a settings file that cannot be written does not
  // keep the user from recording this source now.
  TakeRecordSource(name);
  // The first entry is the system's default input: choosing it forgets the choice.
  const QStringList names = RecordSourceNames();
  WriteRecordSource(SettingsWritePath, !names.isEmpty() && name == names.first() ? QString() : name);
}

void TForm_Record::CreateSystemMenu()
{
  auto* frame = FindComponent<TbsSkinForm>("bsSkinForm1");
  if (!frame || frame->SystemMenu()) return;
  auto* menu = new TbsSkinPopupMenu(this);
  menu->SetName(QStringLiteral("bsSkinPopupMenuSystem"));
  menu->Items()->Add(TMenuItem::Create(QStringLiteral("MenuItemRecordSource"), QString::fromUtf8(kRecordSourceCaption)));
  menu->Items()->Add(TMenuItem::Create(QStringLiteral("MenuItemSplitByTrack"), QString::fromUtf8(kSplitByTrackCaption), QString(),
                                       [this](TObject*) {
                                         try {
                                           SetSplitByTrack(!splitByTrack_);
                                         } catch (const Exception& e) {
                                           if (ReportError) ReportError(QString::fromUtf8(kSettingNotKept).arg(UserMessageText(e.Message())));
                                         }
                                       }));
  menu->Items()->Add(TMenuItem::Create(QStringLiteral("MenuItemSchedule"), QString::fromUtf8(kScheduleCaption), QString(),
                                       [this](TObject*) {
                                         if (!OpenScheduleWindow() && ReportError) ReportError(QString::fromUtf8(kNoSchedule));
                                       }));
  menu->Items()->Add(TMenuItem::Create(QStringLiteral("MenuItemSystemLine"), QStringLiteral("-")));
  // The frame raises OnPopup before it shows the menu: the list is current each time.
  menu->SetOnPopup([this](TObject*) { FillRecordSourceMenu(); });
  frame->SetSystemMenu(menu);
}

TMenuItem* TForm_Record::RecordSourceMenuItem() const
{
  const auto* frame = FindComponent<TbsSkinForm>("bsSkinForm1");
  return frame && frame->SystemMenu() ? frame->SystemMenu()->Items()->Find(QStringLiteral("MenuItemRecordSource")) : nullptr;
}

void TForm_Record::SetSplitByTrack(bool split)
{
  // Taken before it is kept, as the source is.
  splitByTrack_ = split;
  WriteRecordSplit(SettingsWritePath, split);
}

TMenuItem* TForm_Record::SplitByTrackMenuItem() const
{
  const auto* frame = FindComponent<TbsSkinForm>("bsSkinForm1");
  return frame && frame->SystemMenu() ? frame->SystemMenu()->Items()->Find(QStringLiteral("MenuItemSplitByTrack")) : nullptr;
}

void TForm_Record::FillRecordSourceMenu()
{
  TMenuItem* sources = RecordSourceMenuItem();
  if (!sources) return;
  sources->Clear();
  RefreshRecordSources();
  const QString current = RecordSource();
  // A running recording keeps its source: the choice is shown, not offered.
  const bool idle = MP3Out1()->State() == TAuOutput::asIdle;
  const QStringList names = RecordSourceNames();
  for (int i = 0; i < names.size(); ++i) {
    const QString name = names[i];
    QString caption = name;
    caption.replace(u'&', QLatin1String("&&"));  // a description's '&' is no mnemonic
    TMenuItem* item = TMenuItem::Create(QStringLiteral("MenuItemSource%1").arg(i), caption, QString(),
                                        [this, name](TObject*) { ChooseRecordSource(name); });
    item->SetRadioItem(true);
    item->SetChecked(name == current);
    item->SetEnabled(idle);
    sources->Add(item);
  }
  sources->SetEnabled(!names.isEmpty());
  if (TMenuItem* split = SplitByTrackMenuItem()) {
    // Only a station has tracks; a running take keeps its choice.
    split->SetChecked(splitByTrack_);
    split->SetEnabled(stationSource_ && MP3Out1()->State() == TAuOutput::asIdle);
  }
}

void TForm_Record::ChooseRecordSource(const QString& name)
{
  try {
    SetRecordSource(name);
  } catch (const Exception& e) {
    if (ReportError) ReportError(QString::fromUtf8(kSettingNotKept).arg(UserMessageText(e.Message())));
  }
}

void TForm_Record::RestoreBitRate()
{
  const int kbps = ReadRecordBitRate(SettingsReadPath);
  for (int i = 0; i < int(std::size(kRecordBitRates)); ++i)
    if (kRecordBitRates[i] == kbps) bsSkinComboBoxBit()->SetItemIndex(i);
  // Set only now: restoring the stored rate is no choice to keep.
  bsSkinComboBoxBit()->SetOnClick([this](TObject* sender) { bsSkinComboBoxBitClick(sender); });
}

void TForm_Record::bsSkinComboBoxBitClick(TObject*)
{
  const int* listed = ListedKbps(bsSkinComboBoxBit()->ItemIndex());
  if (!listed) return;
  try {
    WriteRecordBitRate(SettingsWritePath, *listed);
  } catch (const Exception& e) {
    if (ReportError) ReportError(QString::fromUtf8(kSettingNotKept).arg(UserMessageText(e.Message())));
  }
}

std::vector<std::pair<QString, QString>> RecordWindowTags()
{
  const QString path = FormDescriptionPath(QStringLiteral("Form_Record"));
  const QByteArray text = ReadRegularFileOrRaise(path, kMaxDescriptionSize);
  const std::unique_ptr<TDescObject> root = ParseDescription(QString::fromUtf8(text), path);
  std::vector<std::pair<QString, QString>> tags;
  for (const auto& child : root->Children) {
    if (child->Name != QLatin1String("MP3Out1")) continue;
    for (const TDescProperty& p : child->Properties)
      if (p.Name.startsWith(QLatin1String("Id3Tag")) && p.Value.ValueKind == TDescValue::String) tags.emplace_back(p.Name, p.Value.Text);
  }
  return tags;
}

void SetMakerTags(TMP3Out* out, const QString& file, const QString& makerAddress)
{
  out->SetId3TagTitle(makerAddress.isEmpty() ? QFileInfo(file).completeBaseName() : makerAddress);
  for (void (TMP3Out::*set)(const QString&) :
       {&TMP3Out::SetId3TagArtist, &TMP3Out::SetId3TagTrack, &TMP3Out::SetId3TagComment, &TMP3Out::SetId3TagGenre})
    (out->*set)(makerAddress);
}

void SetStationTags(TMP3Out* out, const QString& stationName, const QString& streamTitle, const QDate& date)
{
  out->SetId3TagTitle(streamTitle.isEmpty() ? stationName : streamTitle);
  out->SetId3TagArtist(stationName);
  out->SetId3TagDate(date);
}

bool StationIsListened(const TStationPlayer& player)
{
  return player.HasStation() && player.State() != TStationPlayer::psStopped && player.State() != TStationPlayer::psFailed;
}

void RegisterRecordWindowClasses()
{
  TComponentClasses::RegisterWith<TForm_Record>(
      [](TComponent* owner) -> TComponent* { return new TForm_Record(owner, BareForm); });
}

TbsSkinMessage* TForm_Record::bsSkinMessage1() const
{
  return qobject_cast<TbsSkinMessage*>(FindComponent(QStringLiteral("bsSkinMessage1")));
}


