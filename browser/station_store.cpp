#include "browser/station_store.h"

#include "toolkit/regular_file.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QSaveFile>

namespace {
constexpr qint64 kMaxStoreFile = 32 * 1024 * 1024;

QByteArray ReadWhole(const QString& path, QString* error)
{
  TRegularFileRead r = ReadRegularFile(path, kMaxStoreFile);
  if (r.Status == TRegularFileRead::Missing) *error = QStringLiteral("文件不见了");
  else if (!r.Ok()) *error = r.Error;
  return std::move(r.Data);
}
} // namespace

bool WriteFileAtomically(const QString& path, const QByteArray& bytes, QString* error)
{
  if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
    if (error) *error = QStringLiteral("无法创建文件夹 %1").arg(QFileInfo(path).absolutePath());
    return false;
  }
  QSaveFile f(path);
  if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size() || !f.commit()) {
    if (error) *error = QStringLiteral("%1：%2").arg(path, f.errorString());
    return false;
  }
  return true;
}

TStationStore::TStationStore(QString dataFolder, QString cacheFolder)
    : dataFolder_(std::move(dataFolder)), cacheFolder_(std::move(cacheFolder))
{
  LoadFavourites();
}

QString TStationStore::FavouritesFile() const { return QDir(dataFolder_).filePath("favourites.json"); }
QString TStationStore::CacheFile() const { return QDir(cacheFolder_).filePath("directory-cache.json"); }

void TStationStore::LoadFavourites()
{
  favourites_.clear();
  favouritesProblem_.clear();
  const QString path = FavouritesFile();
  if (!QFileInfo::exists(path)) return;
  QString error;
  const QByteArray bytes = ReadWhole(path, &error);
  // An empty file (made by hand, or left by a full disk) holds no favourites yet.
  if (error.isEmpty() && bytes.trimmed().isEmpty()) return;
  QJsonParseError parse{};
  const QJsonDocument doc = error.isEmpty() ? QJsonDocument::fromJson(bytes, &parse) : QJsonDocument();
  if (error.isEmpty() && parse.error != QJsonParseError::NoError) error = parse.errorString();
  else if (error.isEmpty() && !doc.object().value("stations").isArray()) error = QStringLiteral("没有收藏列表");
  if (!error.isEmpty()) {
    favouritesProblem_ =
        QStringLiteral("收藏文件 %1 无法读取（%2）。为免丢失，收藏暂不能修改；修好或移走该文件后重新启动。").arg(path, error);
    return;
  }
  int skipped = 0;
  favourites_ = StationsFromJson(doc.object().value("stations").toArray(), &skipped);
  if (skipped)
    favouritesProblem_ = QStringLiteral("收藏文件中有 %1 项无法识别；为免丢失，收藏暂不能修改。").arg(skipped);
}

bool TStationStore::IsFavourite(const QString& key) const
{
  return std::any_of(favourites_.begin(), favourites_.end(), [&](const TDirectoryStation& s) { return s.Key() == key; });
}

bool TStationStore::SaveFavourites(const std::vector<TDirectoryStation>& list, QString* error)
{
  if (!favouritesProblem_.isEmpty()) {
    if (error) *error = favouritesProblem_;
    return false;
  }
  QJsonObject doc{{"version", 1}, {"stations", StationsToJson(list)}};
  QString why;
  if (!WriteFileAtomically(FavouritesFile(), QJsonDocument(doc).toJson(QJsonDocument::Indented), &why)) {
    if (error) *error = QStringLiteral("无法保存收藏：%1").arg(why);
    return false;
  }
  favourites_ = list;
  return true;
}

bool TStationStore::AddFavourite(const TDirectoryStation& station, QString* error)
{
  if (IsFavourite(station.Key())) return true;
  std::vector<TDirectoryStation> list = favourites_;
  list.push_back(station);
  return SaveFavourites(list, error);
}

bool TStationStore::RemoveFavourite(const QString& key, QString* error)
{
  std::vector<TDirectoryStation> list = favourites_;
  std::erase_if(list, [&](const TDirectoryStation& s) { return s.Key() == key; });
  if (list.size() == favourites_.size()) return true;
  return SaveFavourites(list, error);
}

QJsonObject TStationStore::ReadCache(QString* problem) const
{
  const QString path = CacheFile();
  if (!QFileInfo::exists(path)) return {};
  QString error;
  const QByteArray bytes = ReadWhole(path, &error);
  QJsonParseError parse{};
  const QJsonDocument doc = error.isEmpty() ? QJsonDocument::fromJson(bytes, &parse) : QJsonDocument();
  if (error.isEmpty() && (parse.error != QJsonParseError::NoError || !doc.isObject()))
    error = parse.error != QJsonParseError::NoError ? parse.errorString() : QStringLiteral("格式不对");
  if (!error.isEmpty()) {
    if (problem) *problem = QStringLiteral("离线缓存 %1 无法读取（%2），已忽略。").arg(path, error);
    return {};
  }
  return doc.object().value("answers").toObject();
}

bool TStationStore::CacheAnswer(const QString& key, const std::vector<TDirectoryStation>& stations, QString* error)
{
  QJsonObject answers = ReadCache(nullptr);
  answers.insert(key, QJsonObject{{"savedAt", QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs)},
                                  {"stations", StationsToJson(stations)}});
  while (answers.size() > kMaxCachedAnswers) {
    QString oldest;
    QString oldestAt;
    for (auto it = answers.begin(); it != answers.end(); ++it) {
      const QString at = it.value().toObject().value("savedAt").toString();
      if (oldest.isEmpty() || at < oldestAt) {
        oldest = it.key();
        oldestAt = at;
      }
    }
    answers.remove(oldest);
  }
  QString why;
  if (!WriteFileAtomically(CacheFile(), QJsonDocument(QJsonObject{{"version", 1}, {"answers", answers}}).toJson(QJsonDocument::Compact), &why)) {
    if (error) *error = QStringLiteral("无法写入离线缓存：%1").arg(why);
    return false;
  }
  return true;
}

std::optional<TStationStore::TCached> TStationStore::CachedAnswer(const QString& key, QString* problem) const
{
  const QJsonObject entry = ReadCache(problem).value(key).toObject();
  if (entry.isEmpty()) return std::nullopt;
  TCached out;
  out.SavedAt = QDateTime::fromString(entry.value("savedAt").toString(), Qt::ISODateWithMs);
  out.Stations = StationsFromJson(entry.value("stations").toArray());
  return out;
}
