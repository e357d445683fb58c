#include "menu_support.h"

#include "skin/skin_data.h"
#include "toolkit/form_reader.h"

#include <QFile>
#include <QRegularExpression>
#include <stdexcept>

TbsSkinData* ReadMainWindowSkin(TComponent* owner)
{
  RegisterToolkitClasses();
  RegisterSkinClasses();
  QFile f(QStringLiteral(VELMORA_SOURCE_DIR "/resources/forms/Form_Main.vfm"));
  if (!f.open(QIODevice::ReadOnly)) throw std::runtime_error("Form_Main.vfm unreadable");
  const QString text = QString::fromUtf8(f.readAll());
  // The two skin objects as the description holds them (two-blank indent, "end" closes each).
  QString objects;
  for (const char* name : {"bsSkinData1", "bsCompressedStoredSkin1"}) {
    const QRegularExpression re(QStringLiteral("\\n  object %1: .*?\\n  end\\n").arg(QLatin1String(name)),
                                QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch m = re.match(text);
    if (!m.hasMatch()) throw std::runtime_error(std::string("no ") + name + " in Form_Main.vfm");
    objects += m.captured(0).mid(1);
  }
  TComponent* holder = ReadComponentText(QStringLiteral("object MainSkin: TComponent\n") + objects + "end\n",
                                         QStringLiteral("Form_Main.vfm"), nullptr, owner);
  return qobject_cast<TbsSkinData*>(holder->FindComponent(QStringLiteral("bsSkinData1")));
}
