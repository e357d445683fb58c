// velmora-tool art: redraws the pictures that the window descriptions carry.
#include "app/app_icon.h"
#include "skin/skin_data.h"
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

// The stored skin block of a skin folder, as the windows carry it.
QByteArray PackedSkinBlock(const QString& skinIni)
{
  TbsCompressedStoredSkin stored(nullptr);
  if (!stored.PackSkinFolder(skinIni)) return QByteArray();
  return stored.CompressedData();
}

namespace {
// Replaces `property = {...}` inside `object objectName: ...` of a description file.
int ReplaceBinary(const QString& path, const QString& objectName, const QString& property, const QByteArray& bytes,
                  const QString& what)
{
  QTextStream err(stderr);
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) {
    err << path << ": " << f.errorString() << "\n";
    return 1;
  }
  QString text = QString::fromUtf8(f.readAll());
  f.close();
  const QRegularExpression block(QStringLiteral("(object %1: \\w+\\s*\\n(?:(?!\\n\\s*end\\n).)*?%2 = )\\{[^}]*\\}")
                                     .arg(objectName, property),
                                 QRegularExpression::DotMatchesEverythingOption);
  if (!block.match(text).hasMatch()) {
    err << path << ": no \"" << property << " = {...}\" in object " << objectName << "\n";
    return 1;
  }
  text.replace(block, QStringLiteral("\\1") + HexBlock(bytes));
  if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(text.toUtf8()) < 0) {
    err << path << ": " << f.errorString() << "\n";
    return 1;
  }
  QTextStream(stdout) << path << ": " << what << " written\n";
  return 0;
}
} // namespace

int RunArtCommand(QStringList args)
{
  if (args.size() == 2 && args[0] == "toolbar")
    return ReplaceBinary(args[1], "ImageList1", "Bitmap", ToolbarStrip(), "tool-bar images");
  if (args.size() == 3 && args[0] == "skin") {
    const QByteArray block = PackedSkinBlock(args[2]);
    if (block.isEmpty()) {
      QTextStream(stderr) << args[2] << ": cannot pack this skin folder\n";
      return 1;
    }
    return ReplaceBinary(args[1], "bsCompressedStoredSkin1", "CompressedData", block, "stored skin");
  }
  if (args.size() == 3 && args[0] == "icon") {
    bool ok = false;
    const int size = args[1].toInt(&ok);
    if (!ok || size < 8 || size > 1024) {
      QTextStream(stderr) << "art icon: the size is a number of pixels from 8 to 1024\n";
      return 2;
    }
    if (!AppIconImage(size).save(args[2], "PNG")) {
      QTextStream(stderr) << "art icon: cannot write " << args[2] << "\n";
      return 1;
    }
    return 0;
  }
  QTextStream(stderr) << "usage: velmora-tool art toolbar FORM.vfm\n       velmora-tool art skin FORM.vfm SKIN.ini\n"
                         "       velmora-tool art icon SIZE OUT.png\n";
  return 2;
}
