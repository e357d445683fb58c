// Where "mainform.ini" lives: beside the executable, as the program has always
// kept it; when that folder cannot be written (an installed program), in the
// user's configuration folder, so that settings are never silently lost.
#pragma once

#include <QString>

struct TSettingsLocation {
  QString ReadPath;   // the file to read at start-up ("" when there is none)
  QString WritePath;  // the file to write at exit
};

// `exeDir` and `configDir` are the executable's folder and the user's
// configuration folder (parameters so that tests can choose them).
TSettingsLocation LocateSettings(const QString& exeDir, const QString& configDir,
                                 const QString& fileName = QStringLiteral("mainform.ini"));
// The user's configuration folder, ~/.config/Velmora (XDG_CONFIG_HOME respected).
QString UserConfigFolder();
// Laid out by `cmake --install` or the package: the desktop entry in ../share.
bool IsInstalledProgram(const QString& exeDir);
// The program's own location; an installed program uses the user's configuration folder.
TSettingsLocation MainFormSettingsLocation();
