// Scheduled recordings (预约录音): the entries and the file that keeps them,
// schedule.json in the data folder. Every change reads the file again, applies
// itself and writes the whole file atomically, so the program and velmora-tool
// can both change it. A file that cannot be read (broken, from a newer version
// of the program, not readable) is left as it is: the store reports it and
// refuses changes.
#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <functional>
#include <optional>
#include <vector>

struct TScheduleEntry {
  enum TRepeat { Once, Weekly };
  // What became of the occurrence last dealt with.
  enum TResult { None, Recording, Done, Interrupted, Missed, Failed, EndedEarly };

  QString Id;
  QString StationName, StationUrl;
  TRepeat Repeat = Once;
  QDateTime At;            // Once: local date and time
  std::vector<int> Days;   // Weekly: 1 Monday .. 7 Sunday, sorted
  QTime Time;              // Weekly: the time of day
  int Seconds = 3600;      // the recording's length
  QString Folder;
  QString NamePattern = QStringLiteral("{station} {date:yyyy-MM-dd HHmm}.mp3");
  int Bitrate = 128;
  bool PlayAloud = false;  // plays on the program's player; else records without sound
  bool SplitByTrack = false;  // a new file, named after the title, at every new stream title
  bool Enabled = true;

  // Occurrences that start at or before this have been dealt with (recorded,
  // reported missed) or come from before the entry existed.
  QDateTime HandledUntil;
  TResult LastResult = None;
  QDateTime LastStart;     // the occurrence lastResult is about
  QString LastFile, LastMessage;

  // The latest start at or before `now` (local time), if any.
  std::optional<QDateTime> LatestStart(const QDateTime& now) const;
  // The first start after `after`.
  std::optional<QDateTime> NextStart(const QDateTime& after) const;
  // "每周一、三 08:00" / "2026-12-11 08:00", with the length.
  QString WhenText() const;
  // The recording's file for the occurrence starting at `start` (pattern
  // filled in, no folder).
  QString FileName(const QDateTime& start) const;
  static QString ResultText(TResult r);
};

// The moment a date and a time on the wall clock stand for. A time the clock
// skips (the hour lost when summer time begins) is taken as that long after
// midnight, so an entry set for it still records that day.
QDateTime LocalMoment(const QDate& day, const QTime& time);
// "yyyy-MM-dd HH:mm" read as LocalMoment reads it (invalid: not that form).
QDateTime ParseLocalMoment(const QString& text);

// What is wrong with an entry on its own ("" when nothing).
QString ScheduleEntryProblem(const TScheduleEntry& e);
// Whether two entries' recordings can run at the same time.
bool ScheduleEntriesOverlap(const TScheduleEntry& a, const TScheduleEntry& b);

class TScheduleStore {
public:
  static constexpr int kVersion = 1;
  static constexpr int kMaxSeconds = 24 * 3600;

  explicit TScheduleStore(QString file);
  // schedule.json in the program's data folder.
  static QString DefaultFile();

  const QString& File() const { return file_; }
  // Reads the file again; false (and Problem()) when it cannot be used.
  bool Load();
  // Reads it again only when it changed on disk since the last look.
  void Refresh();
  // Valid until the next change or reading: every change reads the file anew.
  const std::vector<TScheduleEntry>& Entries() const { return entries_; }
  const TScheduleEntry* Find(const QString& id) const;
  // Why the file cannot be used or changed ("" when it can), in the user's words.
  QString Problem() const { return problem_; }

  // A new entry (its id made here unless set); refused when it is incomplete,
  // a single start lies in the past, or it overlaps an enabled entry.
  bool Add(TScheduleEntry entry, QString* error, QString* id = nullptr);
  bool Remove(const QString& id, QString* error);
  bool SetEnabled(const QString& id, bool enabled, QString* error);
  // Changes one entry in place, keeping its id: the scheduler's bookkeeping,
  // or the user's edit. A change of the times or of on/off is checked as a
  // new entry is (against the others only) and owes nothing from before it;
  // a refused change leaves the file as it was.
  bool Change(const QString& id, const std::function<void(TScheduleEntry&)>& change, QString* error);

  // The time entries are made at (the scheduler's clock in tests).
  std::function<QDateTime()> Now = [] { return QDateTime::currentDateTime(); };

private:
  bool Save(const std::vector<TScheduleEntry>& entries, QString* error);
  // Reads the file; then `problem_` says whether changes are allowed.
  bool Reload();

  QString file_;
  std::vector<TScheduleEntry> entries_;
  QString problem_;
  QDateTime seenModified_;
  qint64 seenSize_ = -1;
};

QJsonObject ScheduleEntryToJson(const TScheduleEntry& e);
// False when the object is no entry (missing station, start, length).
bool ScheduleEntryFromJson(const QJsonObject& o, TScheduleEntry* e);
