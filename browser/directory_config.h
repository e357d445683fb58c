// Where the online station directory is and where its local data lives.
//
// The address is one setting, "[directory] url=" in the program's settings
// file, and VELMORA_DIRECTORY_URL overrides it. Either holds one or more base
// addresses (separated by spaces, commas or semicolons) used as they are, or
// the discovery name's address (the default), which is resolved to the
// directory's mirrors. An empty value turns the online directory off.
#pragma once

#include <QList>
#include <QString>
#include <QUrl>
#include <functional>

struct TDirectoryConfig {
  bool Enabled = true;
  QList<QUrl> Mirrors;          // given mirrors; empty: discover them
  QString DiscoveryName;        // resolved to the mirrors when `mirrors` is empty
  QString Problem;              // a setting that could not be used, in the user's words
  QString Origin;               // "environment", "settings" or "default"
};

// The directory's public discovery name and the default setting.
QString DefaultDiscoveryName();
QString DefaultDirectoryUrl();

// Reads the setting text (as found in the settings file or the environment).
TDirectoryConfig ParseDirectoryUrlSetting(const QString& value);

// The environment first, then "[directory] url=" of `settingsFile` (may be
// empty or missing), then the default.
TDirectoryConfig ResolveDirectoryConfig(const QString& settingsFile);

// The settings file the program reads; the program installs where it lives
// (its settings helper), so this layer does not decide it.
void SetDirectorySettingsLocator(std::function<QString()> locator);
QString DirectorySettingsFile();

// "Velmora/<version>", sent with every request to the directory.
QString DirectoryUserAgent();

// ~/.local/share/Velmora (favourites) and ~/.cache/Velmora (offline copies),
// after the XDG variables.
QString UserDataFolder();
QString UserCacheFolder();
