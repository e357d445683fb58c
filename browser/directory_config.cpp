#include "browser/directory_config.h"

#include "toolkit/ini_file.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

#ifndef VELMORA_VERSION
#define VELMORA_VERSION "0"
#endif

namespace {
std::function<QString()>& Locator()
{
  static std::function<QString()> locator;
  return locator;
}
} // namespace

QString DefaultDiscoveryName() { return QStringLiteral("all.api.radio-browser.info"); }
QString DefaultDirectoryUrl() { return QStringLiteral("https://") + DefaultDiscoveryName() + u'/'; }

TDirectoryConfig ParseDirectoryUrlSetting(const QString& value)
{
  TDirectoryConfig cfg;
  const QStringList parts = value.split(QRegularExpression(QStringLiteral("[\\s,;]+")), Qt::SkipEmptyParts);
  if (parts.isEmpty()) {
    cfg.Enabled = false;
    return cfg;
  }
  for (const QString& part : parts) {
    QUrl url(part, QUrl::StrictMode);
    const bool web = url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https");
    if (!url.isValid() || !web || url.host().isEmpty() || url.hasQuery() || url.hasFragment()) {
      cfg.Enabled = false;
      cfg.Mirrors.clear();
      cfg.Problem = QStringLiteral("电台目录地址无效：%1（应为 http:// 或 https:// 开头的地址）").arg(part.left(200));
      return cfg;
    }
    if (url.host().compare(DefaultDiscoveryName(), Qt::CaseInsensitive) == 0) {
      cfg.DiscoveryName = url.host().toLower();
      continue;
    }
    url.setPath(url.path().endsWith(u'/') ? url.path().chopped(1) : url.path());
    cfg.Mirrors.push_back(url);
  }
  // Explicit mirrors win over discovery when both are given.
  if (!cfg.Mirrors.isEmpty()) cfg.DiscoveryName.clear();
  return cfg;
}

TDirectoryConfig ResolveDirectoryConfig(const QString& settingsFile)
{
  if (qEnvironmentVariableIsSet("VELMORA_DIRECTORY_URL")) {
    TDirectoryConfig cfg = ParseDirectoryUrlSetting(qEnvironmentVariable("VELMORA_DIRECTORY_URL"));
    cfg.Origin = QStringLiteral("environment");
    return cfg;
  }
  if (!settingsFile.isEmpty() && QFileInfo(settingsFile).isFile()) {
    try {
      TMemIniFile ini(settingsFile);
      if (ini.ValueExists("directory", "url")) {
        TDirectoryConfig cfg = ParseDirectoryUrlSetting(ini.ReadString("directory", "url", QString()));
        cfg.Origin = QStringLiteral("settings");
        return cfg;
      }
    } catch (const std::exception&) {
      // An unreadable settings file leaves the default directory.
    }
  }
  TDirectoryConfig cfg = ParseDirectoryUrlSetting(DefaultDirectoryUrl());
  cfg.Origin = QStringLiteral("default");
  return cfg;
}

void SetDirectorySettingsLocator(std::function<QString()> locator) { Locator() = std::move(locator); }

QString DirectorySettingsFile() { return Locator() ? Locator()() : QString(); }

QString DirectoryUserAgent() { return QStringLiteral("Velmora/" VELMORA_VERSION); }

// Generic locations plus our folder: the application-specific ones depend on
// names the tools do not set.
QString UserDataFolder()
{
  return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)).filePath("Velmora");
}

QString UserCacheFolder()
{
  return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation)).filePath("Velmora");
}
