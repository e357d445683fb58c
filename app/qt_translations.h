// Qt's own texts (dialog buttons, the file dialog, message boxes) in the
// program's language: the user's Chinese variant when the locale is Chinese,
// simplified Chinese otherwise, since every other text of the program is.
#pragma once

#include <QLocale>
#include <QString>

// Installs the translator on the application; returns the locale name used
// ("" when no translation file was found).
QString InstallQtTranslations(const QLocale& userLocale);
