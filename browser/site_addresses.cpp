#include "browser/site_addresses.h"

QString MakerSiteAddress() { return QStringLiteral(VELMORA_MAKER_SITE).trimmed(); }

QString MakerSiteCaption(const QString& address)
{
  QString caption = address.trimmed();
  for (const QLatin1String scheme : {QLatin1String("https://"), QLatin1String("http://")})
    if (caption.startsWith(scheme, Qt::CaseInsensitive)) caption.remove(0, scheme.size());
  while (caption.endsWith(u'/')) caption.chop(1);
  return caption;
}
