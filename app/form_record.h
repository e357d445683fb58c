// The record window: records the sound card's recording source, or the
// station being listened to, to an MP3 file. The user picks the file, a bit rate, starts and stops; the status bar
// shows the file name and the recorded time. Read from its description
// (resources/forms/Form_Record.vfm); the recording is done by DXAudioIn1 and
// MP3Out1, and MMMixerBlockCheck1, the mute check of the hidden mixer block
// MMMixerBlock1, is the recording line's switch.
//
// The confirmation box, the save dialog and the error report are seams that
// tests replace; by default the confirmation and the error report are
// bsSkinMessage1 (a skinned box of the same kind when the description lacks
// it) and the save dialog bsSkinSaveDialog1.
#pragma once

#include "app/app_forms.h"
#include "toolkit/forms.h"

#include <functional>
#include <utility>
#include <vector>

class TbsSkinButton;
class TbsSkinStatusBar;
class TbsSkinStatusPanel;
class TbsSkinComboBox;
class TbsSkinEdit;
class TbsSkinMessage;
class TbsSkinSaveDialog;
class TTimer;
class TDXAudioIn;
class TMP3Out;
class TStationAudioIn;
class TStationPlayer;
class QDate;
class TMMMixerBlock;
class TMMMixerBlockCheck;
class TMenuItem;

// What the save dialog is asked with.
struct TRecordSaveRequest {
  QString Title;
  QString Filter;      // "name|pattern" pairs, as the description gives them
  int FilterIndex = 1;
  QString InitialDir;  // "": the dialog's own default
};

class TForm_Record : public TForm {
  Q_OBJECT
public:
  explicit TForm_Record(TComponent* owner);
  // Without the description (the class registry's factory).
  TForm_Record(TComponent* owner, TBareForm);
  ~TForm_Record() override;

  // The confirmation box: a warning with Yes and No; 6 means Yes.
  std::function<int(const QString& text)> Confirm;
  // The save dialog: the chosen file, or "" when the user cancelled.
  std::function<QString(const TRecordSaveRequest& request)> ChooseFile;
  // A recording that could not start or failed on the way.
  std::function<void(const QString& text)> ReportError;

  // The save dialog's settings (title and filter from bsSkinSaveDialog1, the
  // initial folder set by FormCreate).
  TRecordSaveRequest SaveDialog;

  // The capture source, offered in the system menu's "录音来源" (the names,
  // the one in use checked). FormCreate uses the stored choice; SetRecordSource
  // records from `name` from the next start on and keeps it in the settings
  // file (SettingsWritePath), raising EIniFileException when that fails.
  QStringList RecordSourceNames() const;
  QString RecordSource() const;
  void SetRecordSource(const QString& name);
  QString SettingsReadPath, SettingsWritePath;
  // "按曲目分段": a station's recording starts a new file, named after the
  // track, at every change of the stream's title (from the next start on);
  // kept in the settings file like the source.
  bool SplitByTrack() const { return splitByTrack_; }
  void SetSplitByTrack(bool split);
  TMenuItem* SplitByTrackMenuItem() const;
  // The system menu's "录音来源" item; its entries are filled each time the
  // menu opens, disabled while a recording runs.
  TMenuItem* RecordSourceMenuItem() const;


  Q_INVOKABLE void FormCreate(TObject* Sender);
  Q_INVOKABLE void FormCloseQuery(TObject* Sender, bool& CanClose);
  // Before the window closes or the program ends: true when nothing records,
  // or the user agreed to stop the recording (it is then stopped, the file
  // finished); false keeps everything running.
  bool MayStopRecording();
  Q_INVOKABLE void FormDestroy(TObject* Sender);
  Q_INVOKABLE void bsSkinButtonSelectFileClick(TObject* Sender);
  Q_INVOKABLE void bsSkinButtonRecClick(TObject* Sender);
  Q_INVOKABLE void bsSkinButtonStopClick(TObject* Sender);
  // A rate chosen in the bit-rate list is kept in the settings file.
  Q_INVOKABLE void bsSkinComboBoxBitClick(TObject* Sender);
  Q_INVOKABLE void Timer1Timer(TObject* Sender);
  Q_INVOKABLE void MP3Out1ThreadException(TObject* Sender, const QString& Message);

  // Elements by name (null when the description lacks one).
  TbsSkinButton* bsSkinButtonSelectFile() const;
  TbsSkinComboBox* bsSkinComboBoxBit() const;
  TbsSkinButton* bsSkinButtonRec() const;
  TbsSkinButton* bsSkinButtonStop() const;
  TbsSkinStatusBar* bsSkinStatusBar1() const;
  TbsSkinEdit* bsSkinEditSaveFile() const;
  TbsSkinMessage* bsSkinMessage1() const;
  TbsSkinSaveDialog* bsSkinSaveDialog1() const;
  TbsSkinStatusPanel* bsSkinStatusPanelRecTime() const;
  TTimer* Timer1() const;
  TDXAudioIn* DXAudioIn1() const;
  // The source of the station being listened to, made on first use.
  TStationAudioIn* StationAudioIn1();
  TMP3Out* MP3Out1() const;
  TMMMixerBlock* MMMixerBlock1() const;
  TMMMixerBlockCheck* MMMixerBlockCheck1() const;

  // Whether the recording line's mute governs what DXAudioIn1 records: the
  // input takes the system's default input and the line is the recording
  // destination of the mixer that serves it (mixer 0). Only then does the
  // window unmute the line; a recording of another source leaves it alone.
  bool RecordingLineIsRecorded() const;

private:
  void InstallDefaultSeams();
  // "File chosen": select and record enabled, stop disabled, clock off.
  void ShowFileChosen();
  // The file box shows the file the run writes now (the last part after a split by track).
  void ShowFileBeingWritten();
  // Unmutes the recording line when it is what the input records.
  void UnmuteRecordingLine();
  // Opens the mixer again when the line switch is unusable (the sound server
  // came or came back); whether the switch is usable now.
  bool FindMixerAgain();
  // Lists the sources again while idle, the kept choice taken when it is back.
  void RefreshRecordSources();
  // Gives the skinned frame a system menu with "录音来源".
  void CreateSystemMenu();
  void FillRecordSourceMenu();
  void ChooseRecordSource(const QString& name);
  // Takes `name` as the source (the station's, or a sound-card one).
  void TakeRecordSource(const QString& name);
  // Selects the stored bit rate in the list (an unknown one keeps the designed rate).
  void RestoreBitRate();
  // The window's place: read when it is made, kept at the end once it was shown.
  void RestorePlace();
  void SavePlace();

  int failures_ = 0;      // failures reported by MP3Out1
  bool stationSource_ = false;  // records the station being listened to
  bool placeShown_ = false;
  bool splitByTrack_ = false;
  QMetaObject::Connection splitting_;  // the station's titles to MP3Out1 while a split take runs
  QString splitProblemShown_;          // the take's failed split already told
};

// "已录制hh:mm:ss分" for `seconds` recorded (the time of day of seconds / 86400).
QString RecordedTimeText(int seconds);

// The ID3 tags the record window writes (MP3Out1's Id3Tag* properties in its
// description), property name to text.
std::vector<std::pair<QString, QString>> RecordWindowTags();

// The tags that name the maker: with an address, title, artist, track,
// comment and genre hold it; without one, the title is the file's name and
// the others are left out.
void SetMakerTags(TMP3Out* out, const QString& file, const QString& makerAddress);

// The tags of a station's recording: title the stream's title (the station's
// name when it has none), artist the station's name, the recording's date.
void SetStationTags(TMP3Out* out, const QString& stationName, const QString& streamTitle, const QDate& date);
// A station is there to be recorded: playing, or on its way to (connecting,
// buffering, reconnecting).
bool StationIsListened(const TStationPlayer& player);

// Registers the record window and its own components for the description reader.
void RegisterRecordWindowClasses();
