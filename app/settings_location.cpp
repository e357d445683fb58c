#include "app/settings_location.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <unistd.h>

namespace {
bool CanWriteIn(const QString& dir, const QString& file)
{
  // Settings are saved through a new file renamed over the old one: the folder
  // must take it, and a read-only file stays the user's wish not to change it.
  const QFileInfo existing(QDir(dir).filePath(file));
  if (access(QFile::encodeName(dir).constData(), W_OK) != 0) return false;
  return !existing.exists() || access(QFile::encodeName(existing.filePath()).constData(), W_OK) == 0;
}
} // namespace

TSettingsLocation LocateSettings(const QString& exeDir, const QString& configDir, const QString& fileName)
{
  const QString besideExe = QDir(exeDir).filePath(fileName);
  const QString inConfig = QDir(configDir).filePath(fileName);
  TSettingsLocation loc;
  if (CanWriteIn(exeDir, fileName)) {
    loc.WritePath = besideExe;
    loc.ReadPath = QFileInfo::exists(besideExe) ? besideExe : QString();
    return loc;
  }
  loc.WritePath = inConfig;
  // The user's own copy wins; a read-only one beside the program still gives the first placement.
  if (QFileInfo::exists(inConfig)) loc.ReadPath = inConfig;
  else if (QFileInfo::exists(besideExe)) loc.ReadPath = besideExe;
  return loc;
}

QString UserConfigFolder()
{
  return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)).filePath(QStringLiteral("Velmora"));
}

bool IsInstalledProgram(const QString& exeDir)
{
  return QFileInfo::exists(QDir(exeDir).filePath(QStringLiteral("../share/applications/velmora.desktop")));
}

TSettingsLocation MainFormSettingsLocation()
{
  const QString exeDir = QCoreApplication::applicationDirPath();
  // Installed, the program's folder is shared by every user (and writable by
  // root): each user keeps their own settings.
  if (IsInstalledProgram(exeDir)) {
    const QString inConfig = QDir(UserConfigFolder()).filePath(QStringLiteral("mainform.ini"));
    return {QFileInfo::exists(inConfig) ? inConfig : QString(), inConfig};
  }
  return LocateSettings(exeDir, UserConfigFolder());
}
