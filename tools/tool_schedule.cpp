// velmora-tool schedule: the scheduled recordings the program keeps
// (schedule.json in the data folder), listed, added and removed.
#include "schedule/schedule_store.h"

#include <QDir>
#include <QStandardPaths>
#include <QStringList>
#include <QTextStream>
#include <QUrl>
#include <cmath>

namespace {

int ScheduleUsage(const QString& error)
{
  QTextStream(stderr) << "schedule: " << error << "\n"
                      << "usage: velmora-tool schedule list\n"
                         "       velmora-tool schedule add --url URL [--name NAME] (--at \"yyyy-MM-dd HH:mm\" | --weekly 1,3,5 --time HH:mm)\n"
                         "                                 [--minutes M | --seconds S] [--folder DIR] [--bitrate KBPS] [--pattern TEXT] [--aloud] [--split]\n"
                         "       velmora-tool schedule remove|enable|disable ID\n";
  return 2;
}

int List(const TScheduleStore& store)
{
  QTextStream out(stdout);
  if (store.Entries().empty()) out << QString::fromUtf8("没有预约录音（%1）\n").arg(store.File());
  for (const TScheduleEntry& e : store.Entries()) {
    QString last;
    if (e.LastResult != TScheduleEntry::None)
      last = QString::fromUtf8("上次 %1 %2").arg(e.LastStart.toString(QStringLiteral("yyyy-MM-dd HH:mm")), TScheduleEntry::ResultText(e.LastResult));
    out << e.Id << "\t" << (e.Enabled ? QString::fromUtf8("启用") : QString::fromUtf8("停用")) << "\t" << e.WhenText() << "\t"
        << e.StationName << "\t" << e.StationUrl << "\t" << QDir(e.Folder).filePath(e.NamePattern) << "\t"
        << e.Bitrate << " kbps" << (e.PlayAloud ? QString::fromUtf8("\t播放") : QString())
        << (e.SplitByTrack ? QString::fromUtf8("\t按曲目分段") : QString()) << (last.isEmpty() ? QString() : "\t" + last)
        << "\n";
  }
  return 0;
}

int Add(TScheduleStore& store, const QStringList& args)
{
  TScheduleEntry e;
  e.Folder = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
  bool weekly = false, haveAt = false;
  for (int i = 0; i < args.size(); ++i) {
    const QString& a = args[i];
    const bool takesValue = a != "--aloud" && a != "--split";
    if (takesValue && i + 1 >= args.size()) return ScheduleUsage(QString::fromUtf8("%1 后面缺少内容").arg(a));
    const QString v = takesValue ? args[++i] : QString();
    bool ok = true;
    if (a == "--url") e.StationUrl = v;
    else if (a == "--name") e.StationName = v;
    else if (a == "--at") {
      e.At = ParseLocalMoment(v);
      ok = e.At.isValid();
      haveAt = true;
    } else if (a == "--weekly") {
      weekly = true;
      for (const QString& d : v.split(',', Qt::SkipEmptyParts)) {
        const int day = d.trimmed().toInt(&ok);
        if (!ok || day < 1 || day > 7) return ScheduleUsage(QString::fromUtf8("--weekly 要写 1（星期一）到 7（星期日），用逗号分开"));
        e.Days.push_back(day);
      }
    } else if (a == "--time") {
      e.Time = QTime::fromString(v, QStringLiteral("HH:mm"));
      ok = e.Time.isValid();
    } else if (a == "--minutes" || a == "--seconds") {
      const double n = v.toDouble(&ok);
      e.Seconds = int(std::lround(a == "--minutes" ? n * 60 : n));
      ok = ok && n > 0 && n < 1e7;
    } else if (a == "--folder") e.Folder = QDir(v).absolutePath();
    else if (a == "--bitrate") e.Bitrate = v.toInt(&ok);
    else if (a == "--pattern") e.NamePattern = v;
    else if (a == "--aloud") e.PlayAloud = true;
    else if (a == "--split") e.SplitByTrack = true;
    else return ScheduleUsage(QString::fromUtf8("未知的选项 %1").arg(a));
    if (!ok) return ScheduleUsage(QString::fromUtf8("%1 的值“%2”不对").arg(a, v));
  }
  if (weekly == haveAt) return ScheduleUsage(QString::fromUtf8("要写 --at（一次）或 --weekly 和 --time（每周）之一"));
  e.Repeat = weekly ? TScheduleEntry::Weekly : TScheduleEntry::Once;
  if (e.StationName.isEmpty()) e.StationName = QUrl(e.StationUrl).host();
  QString error, id;
  if (!store.Add(e, &error, &id)) {
    QTextStream(stderr) << "schedule: " << error << "\n";
    return 1;
  }
  const TScheduleEntry* added = store.Find(id);
  QTextStream(stdout) << QString::fromUtf8("已添加预约 %1：%2 %3\n").arg(id, added->StationName, added->WhenText());
  return 0;
}

} // namespace

int RunScheduleCommand(QStringList args)
{
  if (args.isEmpty()) return ScheduleUsage(QString::fromUtf8("缺少 list、add 或 remove"));
  const QString what = args.takeFirst();
  TScheduleStore store(TScheduleStore::DefaultFile());
  if (what == "list") {
    if (!args.isEmpty()) return ScheduleUsage(QString::fromUtf8("list 不带参数"));
    if (!store.Problem().isEmpty()) {
      QTextStream(stderr) << "schedule: " << store.Problem() << "\n";
      return 1;
    }
    return List(store);
  }
  if (what == "add") return Add(store, args);
  if (what == "remove" || what == "enable" || what == "disable") {
    if (args.size() != 1) return ScheduleUsage(QString::fromUtf8("%1 要写一个预约的编号").arg(what));
    QString error;
    const bool ok = what == "remove" ? store.Remove(args[0], &error) : store.SetEnabled(args[0], what == "enable", &error);
    if (!ok) {
      QTextStream(stderr) << "schedule: " << error << "\n";
      return 1;
    }
    return 0;
  }
  return ScheduleUsage(QString::fromUtf8("未知的子命令 %1").arg(what));
}
