#include "browser/playlist.h"

#include "browser/directory_station.h"

bool LooksLikePlaylist(const QUrl& url)
{
  const QString path = url.path().toLower();
  return path.endsWith(".pls") || path.endsWith(".m3u") || path.endsWith(".m3u8");
}

bool IsPlaylistContentType(const QByteArray& contentType)
{
  const QByteArray t = contentType.toLower();
  return t.contains("scpls") || t.contains("mpegurl") || t.contains("x-pls");
}

TPlaylist ParsePlaylist(const QByteArray& text, const QUrl& base)
{
  TPlaylist out;
  const QString body = QString::fromUtf8(text);
  const QStringList lines = body.split(QRegularExpression(QStringLiteral("\r\n|\r|\n")));
  auto add = [&](QString entry) {
    entry = entry.trimmed();
    if (entry.isEmpty()) return;
    const QString resolved = base.resolved(QUrl(entry)).toString();
    if (IsStreamAddress(resolved) && !out.Streams.contains(resolved)) out.Streams.push_back(resolved);
  };
  const QString first = lines.value(0).trimmed();
  if (first.compare(QLatin1String("[playlist]"), Qt::CaseInsensitive) == 0) {
    out.Kind = TPlaylist::pkPls;
    for (const QString& line : lines) {
      const QString l = line.trimmed();
      if (l.startsWith(QLatin1String("File"), Qt::CaseInsensitive) && l.contains(u'=')) add(l.mid(l.indexOf(u'=') + 1));
    }
    return out;
  }
  bool extended = first.startsWith(QLatin1String("#EXTM3U"));
  bool sawEntry = false;
  for (const QString& line : lines) {
    const QString l = line.trimmed();
    if (l.startsWith(QLatin1String("#EXT-X-"))) {
      out.Kind = TPlaylist::pkHls;
      out.Streams.clear();
      return out;
    }
    if (l.isEmpty() || l.startsWith(u'#')) continue;
    // Anything that is no address means this is no playlist (an audio stream, a page).
    const QUrl entry(l);
    if (!entry.isValid() || l.contains(u'\0')) return TPlaylist{};
    sawEntry = true;
    add(l);
  }
  if (extended || (sawEntry && !out.Streams.isEmpty())) out.Kind = TPlaylist::pkM3u;
  return out;
}
