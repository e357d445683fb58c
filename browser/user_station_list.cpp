#include "browser/user_station_list.h"

#include "browser/directory_station.h"
#include "toolkit/regular_file.h"

#include <QJsonArray>
#include <QStringDecoder>
#include <QStringList>

QString DecodeUserStationText(const QByteArray& bytes, std::vector<int>* unreadableLines)
{
  QStringDecoder utf8(QStringDecoder::Utf8);
  const QString text = utf8.decode(bytes);
  if (!utf8.hasError()) return text;
  // Not UTF-8: a list written on a Chinese system is most likely GB18030 (GBK).
  QStringDecoder gb18030("GB18030");
  if (gb18030.isValid()) {
    const QString wide = gb18030.decode(bytes);
    if (!gb18030.hasError()) return wide;
  }
  // Neither: the lines that do not decode are named, not shown garbled.
  QStringList lines = text.split(u'\n');
  for (int i = 0; i < lines.size(); ++i)
    if (lines[i].contains(QChar::ReplacementCharacter)) {
      if (unreadableLines) unreadableLines->push_back(i + 1);
      lines[i].clear();
    }
  return lines.join(u'\n');
}

TUserStationList ParseUserStationList(const QString& text)
{
  TUserStationList out;
  const QStringList lines = text.split(u'\n');
  for (int i = 0; i < lines.size(); ++i) {
    const QString line = lines[i].trimmed();
    if (line.isEmpty() || line.startsWith(u'#')) continue;
    QStringList parts = line.split(u'|');
    for (QString& p : parts) p = p.trimmed();
    TStation s;
    if (parts.size() == 2) {
      s = {QStringLiteral("我的电台"), parts[0], parts[1]};
    } else if (parts.size() == 3) {
      s = {parts[0].isEmpty() ? QStringLiteral("我的电台") : parts[0], parts[1], parts[2]};
    } else {
      out.SkippedLines.push_back(i + 1);
      continue;
    }
    if (s.Name.isEmpty() || !IsStreamAddress(s.Url)) {
      out.SkippedLines.push_back(i + 1);
      continue;
    }
    out.Stations.push_back(s);
  }
  return out;
}

QJsonObject UserStationListJson(const QString& file)
{
  QJsonArray stations;
  auto add = [&](const QString& category, const QString& name, const QString& url) {
    stations.append(QJsonObject{{"category", category}, {"name", name}, {"url", url}});
  };
  QJsonObject out;
  const TRegularFileRead user = ReadRegularFile(file, kMaxUserStationListFile);
  if (user.Status != TRegularFileRead::Missing) {
    out.insert("userFile", file);
    if (user.Ok()) {
      const TUserStationList parsed = ParseUserStationList(DecodeUserStationText(user.Data));
      for (const TStation& s : parsed.Stations) add(s.Category, s.Name, s.Url);
      QJsonArray skipped;
      for (int n : parsed.SkippedLines) skipped.append(n);
      out.insert("skippedLines", skipped);
    } else {
      out.insert("userFileError", QStringLiteral("无法读取自定义电台列表"));
    }
  }
  out.insert("stations", stations);
  return out;
}
