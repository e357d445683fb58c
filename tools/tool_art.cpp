// velmora-tool art: redraws the pictures that the window descriptions carry.
#include "app/app_icon.h"
#include "toolkit/image_list.h"

#include <QFile>
#include <QRegularExpression>
#include <QTextStream>

namespace {
QString HexBlock(const QByteArray& bytes)
{
  const QString hex = QString::fromLatin1(bytes.toHex().toUpper());
  QString out = QStringLiteral("{");
  for (qsizetype i = 0; i < hex.size(); i += 64) out += QStringLiteral("\n      ") + hex.mid(i, 64);
  return out + u'}';
}
} // namespace

// The tool-bar strip as the main window's image list stores it.
QByteArray ToolbarStrip()
{
  TImageList list(nullptr);
  for (int i = 0; i < kToolbarImageCount; ++i) list.AddImage(ToolbarImage(i));
  return list.Bitmap();
}

int RunArtCommand(QStringList args)
{
  QTextStream err(stderr);
  if (args.size() != 2 || args[0] != "toolbar") {
    err << "usage: velmora-tool art toolbar FORM.vfm\n";
    return 2;
  }
  QFile f(args[1]);
  if (!f.open(QIODevice::ReadOnly)) {
    err << args[1] << ": " << f.errorString() << "\n";
    return 1;
  }
  QString text = QString::fromUtf8(f.readAll());
  f.close();
  static const QRegularExpression block(
      QStringLiteral("(object ImageList1: TImageList\\s*\\n(?:(?!\\n\\s*end\\n).)*?Bitmap = )\\{[^}]*\\}"),
      QRegularExpression::DotMatchesEverythingOption);
  if (!block.match(text).hasMatch()) {
    err << args[1] << ": no \"Bitmap = {...}\" in object ImageList1\n";
    return 1;
  }
  text.replace(block, QStringLiteral("\\1") + HexBlock(ToolbarStrip()));
  if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(text.toUtf8()) < 0) {
    err << args[1] << ": " << f.errorString() << "\n";
    return 1;
  }
  QTextStream(stdout) << args[1] << ": tool-bar images written\n";
  return 0;
}
