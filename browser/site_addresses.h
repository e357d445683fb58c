// The maker's addresses, kept in one place. The station directory is served by
// the program itself (DirectoryServer); the maker's web site, a build setting
// (VELMORA_MAKER_SITE, empty by default), is shown in the main window's status
// bar, opened in the desktop's browser and written into recorded MP3 tags.
#pragma once

#include <QString>
#include <QUrl>

// The maker's web site: the status-bar link and the MP3 tags; empty when the
// build names none.
QString MakerSiteAddress();
// The address as the link shows it: without the scheme and the closing slash.
QString MakerSiteCaption(const QString& address);

// Path and query of the station-directory page on the directory server.
inline QString StationDirectoryPath() { return QStringLiteral("/qq/"); }
inline QString StationDirectoryQuery() { return QStringLiteral("app"); }

// The station-directory page of the in-process directory server (started on
// first use; see directory_server.h).
QUrl StationDirectoryUrl();

class TEmbeddedBrowser;
// Shows the station-directory page in `browser`, admitted to the server.
void OpenStationDirectory(TEmbeddedBrowser& browser);
