#include "browser/directory_station.h"

#include <QJsonDocument>
#include <QJsonValue>

namespace {

constexpr int kMaxNameLength = 200;
constexpr int kMaxTextLength = 500;
constexpr int kMaxUrlLength = 2048;

// Text from the network: no control characters, bounded length.
QString CleanText(const QJsonValue& v, int maxLength)
{
  QString text = v.isString() ? v.toString() : v.isDouble() ? QString::number(v.toDouble()) : QString();
  for (QChar& c : text)
    if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format) c = u' ';
  text = text.simplified();
  if (text.size() > maxLength) text = text.left(maxLength - 1) + QChar(0x2026);
  return text;
}

QString CleanUrl(const QJsonValue& v)
{
  const QString text = v.toString().trimmed();
  if (text.size() > kMaxUrlLength || !IsStreamAddress(text)) return QString();
  return text;
}

int IntegerOf(const QJsonValue& v)
{
  if (v.isDouble()) return int(qBound(0.0, v.toDouble(), 1e9));
  if (v.isString()) return v.toString().toInt();
  return 0;
}

bool BoolOf(const QJsonValue& v, bool fallback)
{
  if (v.isBool()) return v.toBool();
  if (v.isDouble()) return v.toDouble() != 0;
  if (v.isString()) return v.toString() == QLatin1String("1") || v.toString() == QLatin1String("true");
  return fallback;
}

// The directory's name or ours, whichever the object carries.
QJsonValue Field(const QJsonObject& o, const char* ours, const char* theirs)
{
  const QJsonValue v = o.value(QLatin1String(ours));
  return v.isUndefined() && theirs ? o.value(QLatin1String(theirs)) : v;
}

} // namespace

bool IsStreamAddress(const QString& text)
{
  const QUrl url(text, QUrl::StrictMode);
  return url.isValid() && !url.host().isEmpty() &&
         (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https"));
}

QJsonObject TDirectoryStation::ToJson() const
{
  QJsonObject o{{"name", Name}, {"url", Url}, {"key", Key()}};
  auto put = [&](const char* k, const QString& v) {
    if (!v.isEmpty()) o.insert(QLatin1String(k), v);
  };
  put("uuid", Uuid);
  put("urlResolved", UrlResolved);
  put("homepage", Homepage);
  put("favicon", Favicon);
  put("tags", Tags);
  put("country", Country);
  put("countryCode", CountryCode);
  put("language", Language);
  put("codec", Codec);
  put("category", Category);
  if (Bitrate) o.insert("bitrate", Bitrate);
  if (Votes) o.insert("votes", Votes);
  if (ClickCount) o.insert("clickCount", ClickCount);
  if (Hls) o.insert("hls", true);
  return o;
}

bool StationFromJson(const QJsonObject& o, TDirectoryStation& s)
{
  s = {};
  s.Url = CleanUrl(o.value("url"));
  s.UrlResolved = CleanUrl(Field(o, "urlResolved", "url_resolved"));
  if (s.Url.isEmpty()) s.Url = s.UrlResolved;
  if (s.Url.isEmpty()) return false;
  s.Uuid = CleanText(Field(o, "uuid", "stationuuid"), 64);
  s.Name = CleanText(o.value("name"), kMaxNameLength);
  if (s.Name.isEmpty()) s.Name = QUrl(s.PlayUrl()).host();
  s.Homepage = CleanUrl(o.value("homepage"));
  s.Favicon = CleanUrl(o.value("favicon"));
  s.Tags = CleanText(o.value("tags"), kMaxTextLength);
  s.Country = CleanText(o.value("country"), 100);
  s.CountryCode = CleanText(Field(o, "countryCode", "countrycode"), 8);
  s.Language = CleanText(o.value("language"), 200);
  s.Codec = CleanText(o.value("codec"), 40);
  s.Category = CleanText(o.value("category"), 100);
  s.Bitrate = IntegerOf(o.value("bitrate"));
  s.Votes = IntegerOf(o.value("votes"));
  s.ClickCount = IntegerOf(Field(o, "clickCount", "clickcount"));
  s.Hls = BoolOf(o.value("hls"), false);
  return true;
}

namespace {
// The end of the JSON value starting at `i`: the index of the ',' or ']' that
// follows it at the outer level, or -1 when the text ends first.
qsizetype EndOfElement(const QByteArray& json, qsizetype i)
{
  int depth = 0;
  bool inString = false;
  for (const qsizetype n = json.size(); i < n; ++i) {
    const char c = json[i];
    if (inString) {
      if (c == '\\') ++i;
      else if (c == '"') inString = false;
    } else if (c == '"') {
      inString = true;
    } else if (c == '{' || c == '[') {
      ++depth;
    } else if (c == '}' || c == ']') {
      if (depth == 0) return c == ']' ? i : -1;
      --depth;
    } else if (c == ',' && depth == 0) {
      return i;
    }
  }
  return -1;
}

qsizetype SkipSpace(const QByteArray& json, qsizetype i)
{
  while (i < json.size() && (json[i] == ' ' || json[i] == '\n' || json[i] == '\r' || json[i] == '\t')) ++i;
  return i;
}
} // namespace

TStationParse ParseDirectoryStations(const QByteArray& json, int maxStations, bool cut)
{
  TStationParse out;
  const auto unreadable = [&](const QString& why) {
    out = {};
    out.Error = QStringLiteral("电台目录的应答无法解析（%1）").arg(why);
    return out;
  };
  qsizetype i = SkipSpace(json, 0);
  if (i >= json.size() || json[i] != '[') {
    QJsonParseError err{};
    QJsonDocument::fromJson(json, &err);
    if (err.error != QJsonParseError::NoError) return unreadable(err.errorString());
    out.Error = QStringLiteral("电台目录的应答不是电台列表");
    return out;
  }
  i = SkipSpace(json, i + 1);
  if (i < json.size() && json[i] == ']') {
    out.Complete = true;
    return out;
  }
  // One element at a time: only the part asked for is ever read.
  while (int(out.Stations.size()) < maxStations) {
    const qsizetype end = EndOfElement(json, i);
    if (end < 0) {
      if (cut) return out;  // the entries before the cut are whole
      return unreadable(QStringLiteral("应答不完整"));
    }
    const QByteArray element = json.mid(i, end - i).trimmed();
    QJsonParseError err{};
    const QJsonDocument doc = QJsonDocument::fromJson("[" + element + "]", &err);
    if (element.isEmpty() || err.error != QJsonParseError::NoError) return unreadable(err.errorString());
    const QJsonValue v = doc.array().at(0);
    TDirectoryStation s;
    if (!v.isObject() || !StationFromJson(v.toObject(), s)) {
      ++out.Skipped;
    } else if (!BoolOf(v.toObject().value("lastcheckok"), true)) {
      ++out.Broken;
    } else {
      out.Stations.push_back(std::move(s));
    }
    if (json[end] == ']') {
      out.Complete = true;
      break;
    }
    i = SkipSpace(json, end + 1);
  }
  return out;
}

QJsonArray StationsToJson(const std::vector<TDirectoryStation>& stations)
{
  QJsonArray out;
  for (const TDirectoryStation& s : stations) out.append(s.ToJson());
  return out;
}

std::vector<TDirectoryStation> StationsFromJson(const QJsonArray& array, int* skipped)
{
  std::vector<TDirectoryStation> out;
  for (const QJsonValue& v : array) {
    TDirectoryStation s;
    if (v.isObject() && StationFromJson(v.toObject(), s)) out.push_back(std::move(s));
    else if (skipped) ++*skipped;
  }
  return out;
}
