#include "app/shell_folders.h"

#include <QDir>
#include <QStandardPaths>
#include <array>

namespace {
// The numbers 0 to 61 without 15, 50, 51, 52 and 60, in ascending order.
constexpr std::array<int, 57> kFolderNumbers = [] {
  std::array<int, 57> t{};
  int n = 0;
  for (int v = 0; v <= 61; ++v)
    if (v != 15 && v != 50 && v != 51 && v != 52 && v != 60) t[n++] = v;
  return t;
}();

QString Standard(QStandardPaths::StandardLocation where) { return QStandardPaths::writableLocation(where); }

// Where each shell folder number lives on a freedesktop system; "" when it has no counterpart.
QString PathOfFolderNumber(int number)
{
  const QString home = QDir::homePath();
  switch (number) {
  case 0:   // desktop
  case 16:  // desktop directory
  case 25:  // common desktop directory
    return Standard(QStandardPaths::DesktopLocation);
  case 5:   // personal documents
  case 46:  // common documents
    return Standard(QStandardPaths::DocumentsLocation);
  case 13: return Standard(QStandardPaths::MusicLocation);
  case 14: return Standard(QStandardPaths::MoviesLocation);
  case 39: return Standard(QStandardPaths::PicturesLocation);
  case 7:  // start-up programs
    return QDir(Standard(QStandardPaths::GenericConfigLocation)).filePath("autostart");
  case 20: return QDir(Standard(QStandardPaths::GenericDataLocation)).filePath("fonts");
  case 26:  // application data
  case 28:  // local application data
    return Standard(QStandardPaths::GenericDataLocation);
  case 32: return Standard(QStandardPaths::GenericCacheLocation);
  case 35: return QStringLiteral("/usr/share");
  case 38: return QStringLiteral("/usr");
  case 40: return home;
  default: return QString();
  }
}
} // namespace

int SpecialFolderNumber(int index)
{
  index %= 128;
  if (index < 0 || index >= int(kFolderNumbers.size())) return -1;
  return kFolderNumbers[size_t(index)];
}

QString SpecialFolderPath(int index)
{
  const int number = SpecialFolderNumber(index);
  if (number < 0) return QString();
  const QString path = PathOfFolderNumber(number);
  return !path.isEmpty() && QDir(path).exists() ? QDir::cleanPath(path) : QString();
}
