#include "app/form_schedule.h"

#include "app/form_main.h"
#include "app/record_source.h"
#include "app/shell_folders.h"
#include "app/user_messages.h"
#include "audio/station_player.h"
#include "schedule/scheduler.h"
#include "skin/skin_menu.h"
#include "skin/tray_icon.h"
#include "skin_controls/skin_check_box.h"
#include "skin_controls/skin_combo_box.h"
#include "skin_controls/skin_edit.h"
#include "skin_controls/skin_list_box.h"
#include "skin_controls/skin_message.h"
#include "toolkit/form_reader.h"
#include "toolkit/menus.h"

#include <QDir>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QUrl>
#include <memory>

namespace {
const QString kTrayItem = QStringLiteral("ScheduleTrayItem");
const QString kDateTimeFormat = QStringLiteral("yyyy-MM-dd HH:mm");

// The window OpenScheduleWindow brings up, on the main window's scheduler.
struct TScheduleWindowHost {
  QPointer<TForm_Main> Main;
  QPointer<TScheduler> Scheduler;
  QPointer<TForm_Schedule> Window;
};
TScheduleWindowHost& Host()
{
  static TScheduleWindowHost host;
  return host;
}
} // namespace

QString ScheduleEntryLine(const TScheduleEntry& e)
{
  QString line = (e.Enabled ? QString::fromUtf8("● ") : QString::fromUtf8("○ ")) + e.WhenText() + QStringLiteral("  ") + e.StationName;
  if (e.LastResult != TScheduleEntry::None)
    line += QString::fromUtf8("  上次 %1 %2").arg(e.LastStart.toString(kDateTimeFormat), TScheduleEntry::ResultText(e.LastResult));
  return line;
}

TForm_Schedule::TForm_Schedule(TComponent* owner, TBareForm) : TForm(owner)
{
  ReportError = [this](const QString& text) {
    ShowUserMessage(text, mtError, mbOK, qobject_cast<TbsSkinMessage*>(FindComponent(QStringLiteral("bsSkinMessage1"))));
  };
}

TForm_Schedule::TForm_Schedule(TComponent* owner) : TForm_Schedule(owner, BareForm)
{
  ReadComponentFile(FormDescriptionPath(QStringLiteral("Form_Schedule")), this);
}

TbsSkinListBox* TForm_Schedule::bsSkinListBoxEntries() const
{
  return qobject_cast<TbsSkinListBox*>(FindComponent(QStringLiteral("bsSkinListBoxEntries")));
}

TbsSkinEdit* TForm_Schedule::Edit(const char* name) const
{
  return qobject_cast<TbsSkinEdit*>(FindComponent(QString::fromLatin1(name)));
}

TbsSkinComboBox* TForm_Schedule::bsSkinComboBoxBitRate() const
{
  return qobject_cast<TbsSkinComboBox*>(FindComponent(QStringLiteral("bsSkinComboBoxBitRate")));
}

TbsSkinCheckRadioBox* TForm_Schedule::CheckBox(const char* name) const
{
  return qobject_cast<TbsSkinCheckRadioBox*>(FindComponent(QString::fromLatin1(name)));
}

void TForm_Schedule::ShowBitRate(int kbps)
{
  bitRates_.assign(std::begin(kRecordBitRates), std::end(kRecordBitRates));
  // A rate set elsewhere (velmora-tool) is shown as it is, not changed on saving.
  if (std::find(bitRates_.begin(), bitRates_.end(), kbps) == bitRates_.end()) {
    bitRates_.push_back(kbps);
    std::sort(bitRates_.begin(), bitRates_.end());
  }
  TbsSkinComboBox* combo = bsSkinComboBoxBitRate();
  if (!combo) return;
  QStringList items;
  for (int rate : bitRates_) items << QStringLiteral("%1 kbps").arg(rate);
  combo->SetItems(items);
  combo->SetItemIndex(int(std::find(bitRates_.begin(), bitRates_.end(), kbps) - bitRates_.begin()));
}

void TForm_Schedule::FormCreate(QObject*)
{
  ShowBitRate(TScheduleEntry().Bitrate);
  if (TbsSkinEdit* minutes = Edit("bsSkinEditMinutes")) minutes->SetText(QStringLiteral("60"));
  if (TbsSkinEdit* folder = Edit("bsSkinEditFolder"))
    folder->SetText(QStandardPaths::writableLocation(QStandardPaths::MusicLocation));
  if (TbsSkinEdit* at = Edit("bsSkinEditAt"))
    at->SetText(QDateTime::currentDateTime().addSecs(3600).toString(QStringLiteral("yyyy-MM-dd HH:00")));
}

void TForm_Schedule::SetScheduler(TScheduler* scheduler)
{
  if (scheduler_) disconnect(scheduler_, nullptr, this, nullptr);
  scheduler_ = scheduler;
  if (scheduler_) connect(scheduler_, &TScheduler::Changed, this, &TForm_Schedule::Refresh);
  FillFromPlayer();
  Refresh();
}

void TForm_Schedule::FillFromPlayer()
{
  // The station being listened to is the one most likely wanted.
  TStationPlayer* player = TStationPlayer::Instance();
  if (!player || !player->HasStation()) return;
  if (TbsSkinEdit* url = Edit("bsSkinEditUrl")) url->SetText(player->Station().Url.isEmpty() ? player->Station().StreamUrl : player->Station().Url);
  if (TbsSkinEdit* name = Edit("bsSkinEditName")) name->SetText(player->Station().Name);
}

void TForm_Schedule::FillStation(const QString& name, const QString& url)
{
  if (TbsSkinEdit* edit = Edit("bsSkinEditUrl")) edit->SetText(url);
  if (TbsSkinEdit* edit = Edit("bsSkinEditName")) edit->SetText(name);
}

void TForm_Schedule::Refresh()
{
  QStringList lines;
  ids_.clear();
  if (scheduler_) {
    scheduler_->Store().Refresh();
    for (const TScheduleEntry& e : scheduler_->Store().Entries()) {
      QString line = ScheduleEntryLine(e);
      if (e.Id == scheduler_->RunningId()) line += QString::fromUtf8("  （正在录音）");
      lines << line;
      ids_ << e.Id;
    }
  }
  if (TbsSkinListBox* list = bsSkinListBoxEntries()) {
    const int index = list->ItemIndex();
    list->SetItems(lines);
    if (index >= 0 && index < lines.size()) list->SetItemIndex(index);
  }
}

QStringList TForm_Schedule::EntryLines() const
{
  TbsSkinListBox* list = bsSkinListBoxEntries();
  return list ? list->Items() : QStringList();
}

QString TForm_Schedule::SelectedId() const
{
  TbsSkinListBox* list = bsSkinListBoxEntries();
  const int index = list ? list->ItemIndex() : -1;
  return index >= 0 && index < ids_.size() ? ids_[index] : QString();
}

QString TForm_Schedule::EntryFromFields(TScheduleEntry& e) const
{
  auto text = [this](const char* name) {
    TbsSkinEdit* edit = Edit(name);
    return edit ? edit->Text().trimmed() : QString();
  };
  e.StationUrl = text("bsSkinEditUrl");
  e.StationName = text("bsSkinEditName");
  if (e.StationName.isEmpty()) e.StationName = QUrl(e.StationUrl).host();
  e.Folder = text("bsSkinEditFolder");
  if (TbsSkinComboBox* combo = bsSkinComboBoxBitRate(); combo && combo->ItemIndex() >= 0 && combo->ItemIndex() < int(bitRates_.size()))
    e.Bitrate = bitRates_[combo->ItemIndex()];
  if (TbsSkinCheckRadioBox* aloud = CheckBox("bsSkinCheckRadioBoxAloud")) e.PlayAloud = aloud->Checked();
  if (TbsSkinCheckRadioBox* split = CheckBox("bsSkinCheckRadioBoxSplit")) e.SplitByTrack = split->Checked();
  bool ok = false;
  const double minutes = text("bsSkinEditMinutes").toDouble(&ok);
  if (!ok || minutes <= 0) return QString::fromUtf8("时长要写分钟数，例如 30");
  e.Seconds = int(minutes * 60 + 0.5);
  const QString weekly = text("bsSkinEditWeekly");
  const QString at = text("bsSkinEditAt");
  if (weekly.isEmpty()) {
    e.Repeat = TScheduleEntry::Once;
    e.At = ParseLocalMoment(at);
    if (!e.At.isValid()) return QString::fromUtf8("开始时间要写成“年-月-日 时:分”，例如 %1").arg(QDateTime::currentDateTime().toString(kDateTimeFormat));
    return QString();
  }
  e.Repeat = TScheduleEntry::Weekly;
  for (const QString& d : weekly.split(QRegularExpression(QStringLiteral("[,，、 ]+")), Qt::SkipEmptyParts)) {
    const int day = d.toInt(&ok);
    if (!ok || day < 1 || day > 7) return QString::fromUtf8("每周要写 1（星期一）到 7（星期日），例如 1,3,5");
    e.Days.push_back(day);
  }
  // Weekly: the time of day alone, or the time of a full date and time.
  e.Time = QTime::fromString(at, QStringLiteral("HH:mm"));
  if (!e.Time.isValid()) e.Time = QTime::fromString(at.section(QLatin1Char(' '), 1), QStringLiteral("HH:mm"));
  if (!e.Time.isValid()) return QString::fromUtf8("每周录音的开始时间要写成“时:分”，例如 08:00");
  return QString();
}

void TForm_Schedule::ShowEntry(const TScheduleEntry& e)
{
  auto set = [this](const char* name, const QString& text) {
    if (TbsSkinEdit* edit = Edit(name)) edit->SetText(text);
  };
  set("bsSkinEditUrl", e.StationUrl);
  set("bsSkinEditName", e.StationName);
  QStringList days;
  for (int d : e.Days) days << QString::number(d);
  set("bsSkinEditWeekly", days.join(u','));
  set("bsSkinEditAt", e.Repeat == TScheduleEntry::Once ? e.At.toString(kDateTimeFormat) : e.Time.toString(QStringLiteral("HH:mm")));
  set("bsSkinEditMinutes", QString::number(e.Seconds / 60.0, 'g', 6));
  set("bsSkinEditFolder", e.Folder);
  ShowBitRate(e.Bitrate);
  if (TbsSkinCheckRadioBox* aloud = CheckBox("bsSkinCheckRadioBoxAloud")) aloud->SetChecked(e.PlayAloud);
  if (TbsSkinCheckRadioBox* split = CheckBox("bsSkinCheckRadioBoxSplit")) split->SetChecked(e.SplitByTrack);
}

void TForm_Schedule::SelectEntry(const QString& id)
{
  TbsSkinListBox* list = bsSkinListBoxEntries();
  const int index = int(ids_.indexOf(id));
  if (list) list->SetItemIndex(index);
  const TScheduleEntry* e = scheduler_ && index >= 0 ? scheduler_->Store().Find(id) : nullptr;
  if (e) ShowEntry(*e);
}

void TForm_Schedule::bsSkinListBoxEntriesChange(QObject*) { SelectEntry(SelectedId()); }

void TForm_Schedule::bsSkinButtonAddClick(QObject*)
{
  if (!scheduler_) return;
  TScheduleEntry e;
  QString error = EntryFromFields(e), id;
  if (error.isEmpty()) scheduler_->Store().Add(e, &error, &id);
  if (!error.isEmpty()) {
    if (ReportError) ReportError(error);
    return;
  }
  Refresh();
  SelectEntry(id);
}

void TForm_Schedule::bsSkinButtonChangeClick(QObject*)
{
  const QString id = SelectedId();
  if (!scheduler_) return;
  TScheduleEntry fields;
  QString error;
  if (id.isEmpty()) error = QString::fromUtf8("请先在列表中选中要修改的预约。");
  else if (id == scheduler_->RunningId()) error = QString::fromUtf8("这个预约正在录音，录完后才能修改。");
  else error = EntryFromFields(fields);
  // What the fields hold replaces what the user sees; the file name pattern
  // and the last result stay.
  if (error.isEmpty())
    scheduler_->Store().Change(id, [&](TScheduleEntry& e) {
      e.StationUrl = fields.StationUrl;
      e.StationName = fields.StationName;
      e.Repeat = fields.Repeat;
      e.At = fields.At;
      e.Days = fields.Days;
      e.Time = fields.Time;
      e.Seconds = fields.Seconds;
      e.Folder = fields.Folder;
      e.Bitrate = fields.Bitrate;
      e.PlayAloud = fields.PlayAloud;
      e.SplitByTrack = fields.SplitByTrack;
    }, &error);
  if (!error.isEmpty() && ReportError) ReportError(error);
  Refresh();
}

void TForm_Schedule::bsSkinButtonRemoveClick(QObject*)
{
  const QString id = SelectedId();
  if (!scheduler_ || id.isEmpty()) return;
  QString error;
  if (id == scheduler_->RunningId()) error = QString::fromUtf8("这个预约正在录音，录完后才能删除。");
  else scheduler_->Store().Remove(id, &error);
  if (!error.isEmpty() && ReportError) ReportError(error);
  Refresh();
}

void TForm_Schedule::bsSkinButtonToggleClick(QObject*)
{
  const QString id = SelectedId();
  if (!scheduler_ || id.isEmpty()) return;
  const TScheduleEntry* e = scheduler_->Store().Find(id);
  QString error;
  if (e && !scheduler_->Store().SetEnabled(id, !e->Enabled, &error) && ReportError) ReportError(error);
  Refresh();
}

void RegisterScheduleWindowClasses()
{
  TComponentClasses::RegisterWith<TForm_Schedule>([](TComponent* owner) -> TComponent* { return new TForm_Schedule(owner, BareForm); });
}

void AddScheduleTrayItem(TForm_Main& form, TScheduler* scheduler)
{
  Host() = {&form, scheduler, nullptr};
  auto* tray = qobject_cast<TbsTrayIcon*>(form.FindComponent(QStringLiteral("bsTrayIcon1")));
  TbsSkinPopupMenu* menu = tray ? tray->PopupMenu() : nullptr;
  if (!menu || menu->Items()->Find(kTrayItem)) return;
  menu->Items()->Insert(0, TMenuItem::Create(kTrayItem, QString::fromUtf8("预约录音…"), QString(), [](TObject*) { OpenScheduleWindow(); }));
}

bool OpenScheduleWindow(const QString& name, const QString& url)
{
  TScheduleWindowHost& host = Host();
  if (!host.Main || !host.Scheduler) return false;
  if (!host.Window) {
    host.Window = new TForm_Schedule(host.Main);
    host.Window->SetScheduler(host.Scheduler);
  }
  if (!url.isEmpty()) host.Window->FillStation(name, url);
  host.Window->Refresh();
  host.Window->Show();
  host.Window->BringToFront();
  return true;
}
