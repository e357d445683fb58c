// Playlists that stations publish instead of a stream: .pls and .m3u hold the
// stream's address; an HLS playlist (.m3u8 with #EXT-X- tags) is a segmented
// stream, handed to the player as it is.
#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

struct TPlaylist {
  enum TKind { pkNone, pkPls, pkM3u, pkHls };
  TKind Kind = pkNone;
  QStringList Streams;  // http(s) entries, in order (relative ones resolved)
};

// True when the address looks like a playlist by its path (.pls, .m3u, .m3u8).
bool LooksLikePlaylist(const QUrl& url);
// True when a content type names a playlist (audio/x-scpls, audio/x-mpegurl, ...).
bool IsPlaylistContentType(const QByteArray& contentType);
// Reads a playlist fetched from `base`; kind pkNone when the text is none.
TPlaylist ParsePlaylist(const QByteArray& text, const QUrl& base);
