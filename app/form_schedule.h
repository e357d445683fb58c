// The schedule window (预约录音): the scheduled recordings in a list with
// their last result, fields to add one (the station being listened to filled
// in) or to change the chosen one (choosing it fills them), and buttons to turn
// an entry on or off and to remove it. Read from its
// description (resources/forms/Form_Schedule.vfm); changes go through the
// scheduler's store, so what the window refuses (an overlap, a start in the
// past, a file it cannot use) is said in the window's skinned message box.
#pragma once

#include "app/app_forms.h"
#include "toolkit/forms.h"

#include <QPointer>
#include <functional>

class TScheduler;
class TScheduleEntry;
class TbsSkinListBox;
class TbsSkinEdit;
class TbsSkinComboBox;
class TbsSkinCheckRadioBox;
class TbsSkinMessage;
class TbsTrayIcon;
class TForm_Main;

class TForm_Schedule : public TForm {
  Q_OBJECT
public:
  explicit TForm_Schedule(TComponent* owner);
  TForm_Schedule(TComponent* owner, TBareForm);

  // The scheduler whose entries are shown and changed.
  void SetScheduler(TScheduler* scheduler);
  // What was refused or could not be done (the skinned box; tests catch it).
  std::function<void(const QString& text)> ReportError;

  // The list's lines as shown, and the ids behind them.
  QStringList EntryLines() const;
  QString SelectedId() const;
  void Refresh();
  // Fills the station's fields (the page's "预约" or the caller's choice).
  void FillStation(const QString& name, const QString& url);

  Q_INVOKABLE void FormCreate(QObject* Sender);
  Q_INVOKABLE void bsSkinListBoxEntriesChange(QObject* Sender);
  Q_INVOKABLE void bsSkinButtonAddClick(QObject* Sender);
  Q_INVOKABLE void bsSkinButtonChangeClick(QObject* Sender);
  Q_INVOKABLE void bsSkinButtonRemoveClick(QObject* Sender);
  Q_INVOKABLE void bsSkinButtonToggleClick(QObject* Sender);

  TbsSkinListBox* bsSkinListBoxEntries() const;
  TbsSkinEdit* Edit(const char* name) const;
  TbsSkinComboBox* bsSkinComboBoxBitRate() const;
  TbsSkinCheckRadioBox* CheckBox(const char* name) const;
  // Selects the entry (-1 or an unknown id: none) and shows it in the fields.
  void SelectEntry(const QString& id);

private:
  // The entry the fields describe, or "" and the reason.
  QString EntryFromFields(TScheduleEntry& e) const;
  // Puts the entry into the fields.
  void ShowEntry(const TScheduleEntry& e);
  // The bit-rate list: the record window's rates, and `kbps` when it is another.
  void ShowBitRate(int kbps);
  void FillFromPlayer();

  QPointer<TScheduler> scheduler_;
  QStringList ids_;
  std::vector<int> bitRates_;
};

// One line of the list: "● 每周一 08:00，30 分钟  电台名  上次 … 已录好".
QString ScheduleEntryLine(const TScheduleEntry& e);

// Registers the schedule window for the description reader.
void RegisterScheduleWindowClasses();
// The tray menu's "预约录音…" on the main window's tray icon: opens (or brings
// up) the schedule window on `scheduler`. Also makes `form` and `scheduler`
// the ones OpenScheduleWindow uses.
void AddScheduleTrayItem(TForm_Main& form, TScheduler* scheduler);
// Opens (or brings up) the program's schedule window, its station fields
// filled with `url` and `name` when given (else the station being listened
// to, when the window is made). False when there is no scheduler yet.
bool OpenScheduleWindow(const QString& name = QString(), const QString& url = QString());
