// The maker's addresses, kept in one place. The station directory is served by
// the program itself (DirectoryServer); the maker's web site is shown in the
// main window's status bar and opened in the desktop's browser.
#pragma once

#include <QString>
#include <QUrl>

// The maker's web site: the status-bar link and the MP3 tags.
inline QString MakerSiteAddress() { return QStringLiteral("http://www.velmora.example/"); }

// Path and query of the station-directory page on the directory server.
inline QString StationDirectoryPath() { return QStringLiteral("/qq/"); }
inline QString StationDirectoryQuery() { return QStringLiteral("app"); }

// The station-directory page of the in-process directory server (started on
// first use; see directory_server.h).
QUrl StationDirectoryUrl();

class TEmbeddedBrowser;
// Shows the station-directory page in `browser`, admitted to the server.
void OpenStationDirectory(TEmbeddedBrowser& browser);
