#include "schedule/schedule_store.h"

#include "browser/directory_config.h"
#include "browser/station_store.h"
#include "toolkit/regular_file.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QUrl>
#include <algorithm>

namespace {
constexpr qint64 kMaxScheduleFile = 4 * 1024 * 1024;
constexpr int kWeekSeconds = 7 * 24 * 3600;
const char* const kResultNames[] = {"", "recording", "done", "interrupted", "missed", "failed", "ended-early"};
const QString kDateTimeFormat = QStringLiteral("yyyy-MM-ddTHH:mm:ss");

QString DayName(int day)
{
  static const char* const names[] = {"一", "二", "三", "四", "五", "六", "日"};
  return QString::fromUtf8(names[(day - 1) % 7]);
}

QDateTime ReadDateTime(const QJsonValue& v) { return QDateTime::fromString(v.toString(), kDateTimeFormat); }
QString WriteDateTime(const QDateTime& t) { return t.isValid() ? t.toString(kDateTimeFormat) : QString(); }

// A station's name as part of a file name.
// An entry that can still clash with a new one: on, and not a single one that is over.
bool Blocks(const TScheduleEntry& e, const QDateTime& now)
{
  return e.Enabled && (e.Repeat == TScheduleEntry::Weekly || e.At.addSecs(e.Seconds) > now);
}

QString OverlapText(const TScheduleEntry& other)
{
  return QString::fromUtf8("这个预约和“%1”（%2）的时间重叠了，同一时间只能录一个电台。").arg(other.StationName, other.WhenText());
}

bool SameTimes(const TScheduleEntry& a, const TScheduleEntry& b)
{
  return a.Repeat == b.Repeat && a.At == b.At && a.Days == b.Days && a.Time == b.Time && a.Seconds == b.Seconds &&
         a.Enabled == b.Enabled;
}

QString FileNamePart(QString text)
{
  text.replace(QRegularExpression(QStringLiteral("[/\\\\:*?\"<>|\\x00-\\x1f]")), QStringLiteral("_"));
  text = text.trimmed();
  while (text.startsWith('.')) text.remove(0, 1);
  return text.left(100);
}
} // namespace

QDateTime LocalMoment(const QDate& day, const QTime& time)
{
  const QDateTime moment(day, time);
  if (moment.isValid() || !day.isValid() || !time.isValid()) return moment;
  return QDateTime(day, QTime(0, 0)).addMSecs(time.msecsSinceStartOfDay());
}

QDateTime ParseLocalMoment(const QString& text)
{
  const QStringList parts = text.trimmed().split(QLatin1Char(' '), Qt::SkipEmptyParts);
  if (parts.size() != 2) return QDateTime();
  return LocalMoment(QDate::fromString(parts[0], QStringLiteral("yyyy-MM-dd")),
                     QTime::fromString(parts[1], QStringLiteral("HH:mm")));
}

std::optional<QDateTime> TScheduleEntry::LatestStart(const QDateTime& now) const
{
  if (Repeat == Once) {
    if (At.isValid() && At <= now) return At;
    return std::nullopt;
  }
  for (int back = 0; back <= 7; ++back) {
    const QDate day = now.date().addDays(-back);
    const QDateTime start = LocalMoment(day, Time);
    if (std::find(Days.begin(), Days.end(), day.dayOfWeek()) != Days.end() && start <= now) return start;
  }
  return std::nullopt;
}

std::optional<QDateTime> TScheduleEntry::NextStart(const QDateTime& after) const
{
  if (Repeat == Once) {
    if (At.isValid() && At > after) return At;
    return std::nullopt;
  }
  for (int ahead = 0; ahead <= 7; ++ahead) {
    const QDate day = after.date().addDays(ahead);
    const QDateTime start = LocalMoment(day, Time);
    if (std::find(Days.begin(), Days.end(), day.dayOfWeek()) != Days.end() && start > after) return start;
  }
  return std::nullopt;
}

QString TScheduleEntry::WhenText() const
{
  QString when;
  if (Repeat == Once) {
    when = At.toString(QStringLiteral("yyyy-MM-dd HH:mm"));
  } else {
    QStringList names;
    for (int d : Days) names << DayName(d);
    when = QString::fromUtf8("每周%1 %2").arg(names.join(QString::fromUtf8("、")), Time.toString(QStringLiteral("HH:mm")));
  }
  const QString length = Seconds % 60 ? QString::fromUtf8("%1 秒").arg(Seconds) : QString::fromUtf8("%1 分钟").arg(Seconds / 60);
  return QString::fromUtf8("%1，%2").arg(when, length);
}

QString TScheduleEntry::FileName(const QDateTime& start) const
{
  static const QRegularExpression field(QStringLiteral("\\{(station|date)(?::([^}]*))?\\}"));
  QString out;
  qsizetype from = 0;
  for (auto it = field.globalMatch(NamePattern); it.hasNext();) {
    const QRegularExpressionMatch m = it.next();
    out += NamePattern.mid(from, m.capturedStart() - from);
    if (m.captured(1) == QLatin1String("station")) {
      out += FileNamePart(StationName);
    } else {
      const QString format = m.captured(2).isEmpty() ? QStringLiteral("yyyy-MM-dd HHmm") : m.captured(2);
      out += FileNamePart(start.toString(format));
    }
    from = m.capturedEnd();
  }
  out += NamePattern.mid(from);
  out = FileNamePart(out);
  if (out.isEmpty() || out == QLatin1String(".mp3")) out = FileNamePart(StationName) + start.toString(QStringLiteral(" yyyy-MM-dd HHmm"));
  if (!out.endsWith(QLatin1String(".mp3"), Qt::CaseInsensitive)) out += QStringLiteral(".mp3");
  return out;
}

QString TScheduleEntry::ResultText(TResult r)
{
  switch (r) {
  case None: return QString();
  case Recording: return QString::fromUtf8("正在录音");
  case Done: return QString::fromUtf8("已录好");
  case Interrupted: return QString::fromUtf8("被中断");
  case Missed: return QString::fromUtf8("错过了");
  case Failed: return QString::fromUtf8("失败");
  case EndedEarly: return QString::fromUtf8("提前结束");
  }
  return QString();
}

QString ScheduleEntryProblem(const TScheduleEntry& e)
{
  const QUrl url(e.StationUrl, QUrl::StrictMode);
  if (!url.isValid() || (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https")) || url.host().isEmpty())
    return QString::fromUtf8("“%1”不是电台的网址（http:// 或 https://）").arg(e.StationUrl);
  if (e.StationName.trimmed().isEmpty()) return QString::fromUtf8("没有写电台的名字");
  if (e.Seconds < 1 || e.Seconds > TScheduleStore::kMaxSeconds)
    return QString::fromUtf8("录音长度要在 1 秒到 %1 小时之间").arg(TScheduleStore::kMaxSeconds / 3600);
  if (e.Repeat == TScheduleEntry::Once && !e.At.isValid()) return QString::fromUtf8("没有写开始的日期和时间");
  if (e.Repeat == TScheduleEntry::Weekly) {
    if (!e.Time.isValid()) return QString::fromUtf8("没有写开始的时间");
    if (e.Days.empty()) return QString::fromUtf8("没有选每周的哪几天");
    for (int d : e.Days)
      if (d < 1 || d > 7) return QString::fromUtf8("星期要写 1（星期一）到 7（星期日）");
  }
  if (e.Folder.trimmed().isEmpty()) return QString::fromUtf8("没有写保存的文件夹");
  static const int rates[] = {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 192, 224, 256, 320};
  if (std::find(std::begin(rates), std::end(rates), e.Bitrate) == std::end(rates))
    return QString::fromUtf8("MP3 没有 %1 kbps 的比特率").arg(e.Bitrate);
  return QString();
}

bool ScheduleEntriesOverlap(const TScheduleEntry& a, const TScheduleEntry& b)
{
  const qint64 lenA = a.Seconds, lenB = b.Seconds;
  if (a.Repeat == TScheduleEntry::Weekly && b.Repeat == TScheduleEntry::Weekly) {
    // Seconds of the week, round the week's end.
    const int ta = a.Time.msecsSinceStartOfDay() / 1000, tb = b.Time.msecsSinceStartOfDay() / 1000;
    for (int da : a.Days)
      for (int db : b.Days) {
        const int sa = (da - 1) * 86400 + ta, sb = (db - 1) * 86400 + tb;
        const int bAfterA = ((sb - sa) % kWeekSeconds + kWeekSeconds) % kWeekSeconds;
        const int aAfterB = ((sa - sb) % kWeekSeconds + kWeekSeconds) % kWeekSeconds;
        if (bAfterA < lenA || aAfterB < lenB) return true;
      }
    return false;
  }
  if (a.Repeat == TScheduleEntry::Weekly) return ScheduleEntriesOverlap(b, a);
  // `a` is once: the occurrence of `b` that starts last before `a` ends.
  const QDateTime aEnd = a.At.addSecs(lenA);
  const std::optional<QDateTime> s = b.LatestStart(aEnd.addMSecs(-1));
  return s && s->addSecs(lenB) > a.At;
}

QJsonObject ScheduleEntryToJson(const TScheduleEntry& e)
{
  QJsonObject o{{"id", e.Id},           {"station", e.StationName}, {"url", e.StationUrl},
                {"seconds", e.Seconds}, {"folder", e.Folder},        {"pattern", e.NamePattern},
                {"bitrate", e.Bitrate}, {"aloud", e.PlayAloud},      {"enabled", e.Enabled},
                {"split", e.SplitByTrack}};
  if (e.Repeat == TScheduleEntry::Once) {
    o.insert("at", WriteDateTime(e.At));
  } else {
    QJsonArray days;
    for (int d : e.Days) days.append(d);
    o.insert("days", days);
    o.insert("time", e.Time.toString(QStringLiteral("HH:mm")));
  }
  if (e.HandledUntil.isValid()) o.insert("handledUntil", WriteDateTime(e.HandledUntil));
  if (e.LastResult != TScheduleEntry::None) {
    o.insert("lastResult", QString::fromLatin1(kResultNames[e.LastResult]));
    o.insert("lastStart", WriteDateTime(e.LastStart));
    if (!e.LastFile.isEmpty()) o.insert("lastFile", e.LastFile);
    if (!e.LastMessage.isEmpty()) o.insert("lastMessage", e.LastMessage);
  }
  return o;
}

bool ScheduleEntryFromJson(const QJsonObject& o, TScheduleEntry* e)
{
  TScheduleEntry r;
  r.Id = o.value("id").toString();
  r.StationName = o.value("station").toString();
  r.StationUrl = o.value("url").toString();
  r.Seconds = o.value("seconds").toInt(0);
  r.Folder = o.value("folder").toString();
  r.NamePattern = o.value("pattern").toString(r.NamePattern);
  r.Bitrate = o.value("bitrate").toInt(128);
  r.PlayAloud = o.value("aloud").toBool(false);
  r.SplitByTrack = o.value("split").toBool(false);
  r.Enabled = o.value("enabled").toBool(true);
  if (o.contains("days")) {
    r.Repeat = TScheduleEntry::Weekly;
    for (const QJsonValue& d : o.value("days").toArray()) r.Days.push_back(d.toInt(0));
    std::sort(r.Days.begin(), r.Days.end());
    r.Time = QTime::fromString(o.value("time").toString(), QStringLiteral("HH:mm"));
  } else {
    r.At = ReadDateTime(o.value("at"));
  }
  r.HandledUntil = ReadDateTime(o.value("handledUntil"));
  const QString result = o.value("lastResult").toString();
  for (int i = 1; i < int(std::size(kResultNames)); ++i)
    if (result == QLatin1String(kResultNames[i])) r.LastResult = TScheduleEntry::TResult(i);
  r.LastStart = ReadDateTime(o.value("lastStart"));
  r.LastFile = o.value("lastFile").toString();
  r.LastMessage = o.value("lastMessage").toString();
  if (r.Id.isEmpty() || !ScheduleEntryProblem(r).isEmpty()) return false;
  *e = std::move(r);
  return true;
}

TScheduleStore::TScheduleStore(QString file) : file_(std::move(file)) { Reload(); }

QString TScheduleStore::DefaultFile() { return QDir(UserDataFolder()).filePath(QStringLiteral("schedule.json")); }

const TScheduleEntry* TScheduleStore::Find(const QString& id) const
{
  for (const TScheduleEntry& e : entries_)
    if (e.Id == id) return &e;
  return nullptr;
}

bool TScheduleStore::Load() { return Reload(); }

void TScheduleStore::Refresh()
{
  const QFileInfo info(file_);
  const qint64 size = info.exists() ? info.size() : -1;
  if (size != seenSize_ || info.lastModified() != seenModified_) Reload();
}

bool TScheduleStore::Reload()
{
  entries_.clear();
  problem_.clear();
  const QFileInfo info(file_);
  seenSize_ = info.exists() ? info.size() : -1;
  seenModified_ = info.lastModified();
  if (!info.exists() && !info.isSymLink()) return true;
  TRegularFileRead r = ReadRegularFile(file_, kMaxScheduleFile);
  QString error = r.Ok() ? QString() : r.Error;
  if (error.isEmpty() && r.Data.trimmed().isEmpty()) return true;
  QJsonParseError parse{};
  const QJsonDocument doc = error.isEmpty() ? QJsonDocument::fromJson(r.Data, &parse) : QJsonDocument();
  if (error.isEmpty() && parse.error != QJsonParseError::NoError) error = parse.errorString();
  const QJsonObject root = doc.object();
  if (error.isEmpty() && root.value("version").toInt(0) > kVersion)
    error = QString::fromUtf8("它来自更新版本的程序（版本 %1）").arg(root.value("version").toInt());
  if (error.isEmpty() && !root.value("entries").isArray()) error = QString::fromUtf8("没有预约列表");
  std::vector<TScheduleEntry> entries;
  if (error.isEmpty()) {
    int bad = 0;
    for (const QJsonValue& v : root.value("entries").toArray()) {
      TScheduleEntry e;
      if (ScheduleEntryFromJson(v.toObject(), &e)) entries.push_back(std::move(e));
      else ++bad;
    }
    if (bad) error = QString::fromUtf8("其中 %1 项无法识别").arg(bad);
  }
  if (!error.isEmpty()) {
    problem_ = QString::fromUtf8("预约录音文件 %1 无法读取（%2）。为免丢失，该文件保持原样，预约暂不能修改；修好或移走该文件后再试。")
                   .arg(file_, error);
    return false;
  }
  entries_ = std::move(entries);
  return true;
}

bool TScheduleStore::Save(const std::vector<TScheduleEntry>& entries, QString* error)
{
  QJsonArray list;
  for (const TScheduleEntry& e : entries) list.append(ScheduleEntryToJson(e));
  const QJsonObject doc{{"version", kVersion}, {"entries", list}};
  QString why;
  if (!WriteFileAtomically(file_, QJsonDocument(doc).toJson(QJsonDocument::Indented), &why)) {
    if (error) *error = QString::fromUtf8("无法保存预约录音：%1").arg(why);
    return false;
  }
  entries_ = entries;
  const QFileInfo info(file_);
  seenSize_ = info.size();
  seenModified_ = info.lastModified();
  return true;
}

bool TScheduleStore::Add(TScheduleEntry entry, QString* error, QString* id)
{
  auto fail = [&](const QString& why) {
    if (error) *error = why;
    return false;
  };
  if (!Reload()) return fail(problem_);
  if (entry.Repeat == TScheduleEntry::Weekly) std::sort(entry.Days.begin(), entry.Days.end());
  entry.Days.erase(std::unique(entry.Days.begin(), entry.Days.end()), entry.Days.end());
  if (const QString p = ScheduleEntryProblem(entry); !p.isEmpty()) return fail(p);
  const QDateTime now = Now();
  if (entry.Repeat == TScheduleEntry::Once && entry.At <= now)
    return fail(QString::fromUtf8("开始时间 %1 已经过去了").arg(entry.At.toString(QStringLiteral("yyyy-MM-dd HH:mm"))));
  if (entry.Enabled)
    for (const TScheduleEntry& other : entries_)
      if (Blocks(other, now) && ScheduleEntriesOverlap(entry, other))
        return fail(OverlapText(other));
  if (entry.Id.isEmpty()) {
    int top = 0;
    for (const TScheduleEntry& e : entries_) top = std::max(top, e.Id.toInt());
    entry.Id = QString::number(top + 1);
  } else if (Find(entry.Id)) {
    return fail(QString::fromUtf8("已经有编号为 %1 的预约").arg(entry.Id));
  }
  // Nothing from before the entry existed is due.
  entry.HandledUntil = now;
  std::vector<TScheduleEntry> list = entries_;
  list.push_back(entry);
  if (!Save(list, error)) return false;
  if (id) *id = entry.Id;
  return true;
}

bool TScheduleStore::Remove(const QString& id, QString* error)
{
  if (!Reload()) {
    if (error) *error = problem_;
    return false;
  }
  std::vector<TScheduleEntry> list = entries_;
  std::erase_if(list, [&](const TScheduleEntry& e) { return e.Id == id; });
  if (list.size() == entries_.size()) {
    if (error) *error = QString::fromUtf8("没有编号为 %1 的预约").arg(id);
    return false;
  }
  return Save(list, error);
}

bool TScheduleStore::SetEnabled(const QString& id, bool enabled, QString* error)
{
  return Change(id, [&](TScheduleEntry& x) { x.Enabled = enabled; }, error);
}

bool TScheduleStore::Change(const QString& id, const std::function<void(TScheduleEntry&)>& change, QString* error)
{
  auto fail = [&](const QString& why) {
    if (error) *error = why;
    return false;
  };
  if (!Reload()) return fail(problem_);
  std::vector<TScheduleEntry> list = entries_;
  auto it = std::find_if(list.begin(), list.end(), [&](const TScheduleEntry& e) { return e.Id == id; });
  if (it == list.end()) return fail(QString::fromUtf8("没有编号为 %1 的预约").arg(id));
  const TScheduleEntry before = *it;
  TScheduleEntry& e = *it;
  change(e);
  e.Id = id;
  std::sort(e.Days.begin(), e.Days.end());
  e.Days.erase(std::unique(e.Days.begin(), e.Days.end()), e.Days.end());
  if (const QString p = ScheduleEntryProblem(e); !p.isEmpty()) return fail(p);
  if (!SameTimes(before, e)) {
    const QDateTime now = Now();
    if (e.Repeat == TScheduleEntry::Once && e.At != before.At && e.At <= now)
      return fail(QString::fromUtf8("开始时间 %1 已经过去了").arg(e.At.toString(QStringLiteral("yyyy-MM-dd HH:mm"))));
    if (e.Enabled)
      for (const TScheduleEntry& other : entries_)
        if (other.Id != id && Blocks(other, now) && ScheduleEntriesOverlap(e, other)) return fail(OverlapText(other));
    // Occurrences before the change (or while it was off) are not owed.
    e.HandledUntil = std::max(e.HandledUntil, now);
  }
  return Save(list, error);
}
