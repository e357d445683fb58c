#include "app/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

QString InstallQtTranslations(const QLocale& userLocale)
{
  const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
  QList<QLocale> candidates;
  if (userLocale.language() == QLocale::Chinese) candidates << userLocale;
  candidates << QLocale(QLocale::Chinese, QLocale::China);
  for (const QLocale& locale : candidates) {
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"), folder)) {
      QCoreApplication::installTranslator(translator);
      return locale.name();
    }
    delete translator;
  }
  return QString();
}
