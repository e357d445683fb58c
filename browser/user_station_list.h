// The user's own station list (stations.txt): its text, its lines, and the
// form the station-directory page reads it in ("/qq/stations.json").
#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <vector>

// A list typed by hand: a megabyte is thousands of stations.
constexpr qint64 kMaxUserStationListFile = 1024 * 1024;

struct TStation {
  QString Category;
  QString Name;
  QString Url;
};

// The user's own stations: one per line, "名称 | 地址" or "分类 | 名称 | 地址";
// blank lines and lines starting with '#' are ignored. Lines that cannot be
// read are listed by number in `skippedLines` rather than dropped silently.
struct TUserStationList {
  std::vector<TStation> Stations;
  std::vector<int> SkippedLines;
};
TUserStationList ParseUserStationList(const QString& text);

// The user's stations.txt as text: UTF-8, else GB18030 (GBK and GB2312
// included); lines that are neither are left out and named in `unreadableLines`.
QString DecodeUserStationText(const QByteArray& bytes, std::vector<int>* unreadableLines = nullptr);

// The list in `file` for the page: {stations: [{category, name, url}],
// userFile, skippedLines} when it exists, userFileError when it cannot be read.
QJsonObject UserStationListJson(const QString& file);
