// velmora-tool skin: packing the built-in skin, describing stored skins, and a
// contact sheet of every definition's pictures.
#include "skin/skin_data.h"
#include "toolkit/regular_file.h"
#include "tools/tool_commands.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QStringList>
#include <QTextStream>
#include <QtEndian>

// The built-in skin, installed beside the program.
// Beside the tool in the build tree; in share/velmora when installed.
QString DefaultSkinFile()
{
  const QString dir = QCoreApplication::applicationDirPath();
  const QString installed = dir + QStringLiteral("/../share/velmora/skin.bin");
  if (!QFileInfo::exists(dir + QStringLiteral("/skin.bin")) && QFileInfo::exists(installed)) return QFileInfo(installed).canonicalFilePath();
  return dir + QStringLiteral("/skin.bin");
}

namespace {

QTextStream& Out()
{
  static QTextStream out(stdout);
  return out;
}
QTextStream& Err()
{
  static QTextStream err(stderr);
  return err;
}

constexpr qint64 kMaxSkinFile = 64 * 1024 * 1024;

// A stored block (zlib stream) or a packed skin file (version, length, block).
void LoadStoredSkin(const QString& path, TbsCompressedStoredSkin& stored)
{
  const QByteArray file = ReadRegularFileOrRaise(path, kMaxSkinFile);
  const bool zlib = file.size() >= 2 && quint8(file[0]) == 0x78 && ((quint8(file[0]) << 8) | quint8(file[1])) % 31 == 0;
  if (zlib) {
    stored.SetCompressedData(file);
  } else {
    stored.ImportPackedFile(path);
    if (stored.IsDataEmpty()) {
      // A later version still says how many bytes follow, and they are a zlib stream.
      const qint64 length = file.size() >= 10 ? qFromLittleEndian<qint32>(file.constData() + 4) : -1;
      if (length != file.size() - 8 || quint8(file[8]) != 0x78)
        throw ESkinDataError(QStringLiteral("%1 is no packed skin and no stored skin block").arg(path));
      throw ESkinDataError(QStringLiteral("%1: packed skin of a version above 3").arg(path));
    }
  }
}

int Pack(const QStringList& args)
{
  if (args.size() != 2) {
    Err() << "usage: velmora-tool skin pack FOLDER/skin.ini OUT.bin\n";
    return 2;
  }
  TbsCompressedStoredSkin stored(nullptr);
  if (!stored.PackSkinFolder(args[0])) {
    Err() << "skin pack: " << args[0]
          << " lacks one of [VERSION], [PICTURES], [FORMINFO], [SKINOBJECTS], [SKINCONTROLS]\n";
    return 1;
  }
  QFile out(args[1]);
  const QByteArray data = stored.PackedFileData();
  if (!out.open(QIODevice::WriteOnly) || out.write(data) != data.size()) {
    Err() << "skin pack: cannot write " << args[1] << ": " << out.errorString() << "\n";
    return 1;
  }
  Out() << "packed " << args[0] << ": " << stored.Inflate().size() << " bytes, " << stored.CompressedData().size()
        << " compressed, into " << args[1] << "\n";
  return 0;
}

int Info(const QStringList& args)
{
  if (args.size() != 1) {
    Err() << "usage: velmora-tool skin info FILE\n";
    return 2;
  }
  TbsCompressedStoredSkin stored(nullptr);
  LoadStoredSkin(args[0], stored);
  const QByteArray container = stored.Inflate();
  Out() << "compressed " << stored.CompressedData().size() << " bytes, inflated " << container.size() << " bytes\n";
  TbsSkinData data(nullptr);
  data.LoadFromContainer(container);
  const qint32 version = qFromLittleEndian<qint32>(container.constData());
  Out() << "version " << version << "\n";
  if (data.IsEmptySkin()) {
    Out() << "(a container of a later version: not read)\n";
    return 0;
  }
  const auto picture = [&](const QString& what, const TbsSkinPicture& p, const QString& name) {
    Out() << what << ": ";
    if (p.Empty())
      Out() << "none";
    else
      Out() << p.Image.width() << " x " << p.Image.height() << ", " << p.BitsPerPixel << " bits, " << p.Image.colorCount()
            << " colours";
    if (!name.isEmpty()) Out() << " (" << name << ")";
    Out() << "\n";
  };
  picture("frame picture", data.FramePicture(), data.PictureName());
  picture("inactive frame picture", data.InactiveFramePicture(), data.InactivePictureName());
  picture("frame mask", data.FrameMask(), data.MaskPictureName());
  Out() << data.SkinPictures().size() << " extra pictures\n";
  for (size_t i = 0; i < data.SkinPictures().size(); ++i)
    picture(QStringLiteral("  %1").arg(i), data.SkinPictures()[i],
            i < size_t(data.SkinPictureNames().size()) ? data.SkinPictureNames()[int(i)] : QString());
  Out() << "skin \"" << data.SkinName << "\" by \"" << data.SkinAuthor << "\"\n";
  Out() << data.SkinObjects().size() << " skin objects\n";
  for (size_t i = 0; i < data.SkinObjects().size(); ++i)
    Out() << "  " << i << " " << data.SkinObjects()[i]->IDName << ":" << data.SkinObjects()[i]->Kind << "\n";
  Out() << data.SkinControls().size() << " control definitions\n";
  for (size_t i = 0; i < data.SkinControls().size(); ++i)
    Out() << "  " << i << " " << data.SkinControls()[i]->IDName << ":" << data.SkinControls()[i]->Kind << "\n";
  return 0;
}

// Collects the rectangles of a definition with their keys.
class RectCollector : public TbsSkinFieldVisitor {
public:
  std::vector<std::pair<QString, QRect>> rects;
  void Integer(const char*, int&, int) override {}
  void Color(const char*, int&, int) override {}
  void Flag(const char*, bool&, bool) override {}
  void Point(const char*, QPoint&, QPoint) override {}
  void Rect(const char* key, QRect& value, QRect) override
  {
    if (!value.isEmpty()) rects.emplace_back(QString::fromLatin1(key), value);
  }
  void String(const char*, QString&, const QString&) override {}
  void FontStyle(const char*, int&, int) override {}
  void Alignment(const char*, TbsAlignment&, TbsAlignment) override {}
  void MorphKind(const char*, TbsMorphKind&, TbsMorphKind) override {}
  void InactiveEffect(const char*, TbsInactiveEffect&, TbsInactiveEffect) override {}
  void Command(const char*, TbsStdCommand&, TbsStdCommand) override {}
};

// Keys whose rectangles lie in the control, not in the picture.
bool InControl(const QString& key, const TbsDataSkinDefinition& d)
{
  static const QStringList relative = {
      "clientrect", "captionrect", "textrect", "textarea", "checkimagearea", "trackarea", "progressarea",
      "itemtextrect", "celltextrect", "fixedcelltextrect", "frametextrect", "closebuttonrect", "hrollbuttonrect",
      "hrestorebuttonrect", "vrollbuttonrect", "vrestorebuttonrect", "rollvcaptionrect", "rollhcaptionrect",
      "itemcheckrect", "trackbuttonrect", "upbuttonrect", "itemsrect"};
  if (relative.contains(key)) return true;
  const bool editLike = dynamic_cast<const TbsDataSkinEditControl*>(&d) || dynamic_cast<const TbsDataSkinComboBox*>(&d);
  if (key == "buttonrect") return !dynamic_cast<const TbsDataSkinTrackBarControl*>(&d);
  if (key == "downbuttonrect") return !editLike;
  return false;
}

// Draws `source` of `picture` stretched in three parts to `width` (ends fixed).
QImage Strip(const QImage& picture, const QRect& source, int left, int right, int width)
{
  QImage out(width, source.height(), QImage::Format_RGB32);
  QPainter p(&out);
  const int middle = source.width() - left - right;
  for (int x = left; x < width - right; x += std::max(1, middle))
    p.drawImage(QPoint(x, 0), picture.copy(source.x() + left, source.y(), std::max(1, middle), source.height()));
  p.drawImage(QPoint(0, 0), picture.copy(source.x(), source.y(), left, source.height()));
  p.drawImage(QPoint(width - right, 0), picture.copy(source.right() - right + 1, source.y(), right, source.height()));
  return out;
}

int Sheet(const QStringList& args)
{
  if (args.isEmpty() || args.size() > 2) {
    Err() << "usage: velmora-tool skin sheet OUT.png [FILE]   (FILE defaults to the built-in skin.bin beside the program)\n";
    return 2;
  }
  TbsCompressedStoredSkin stored(nullptr);
  LoadStoredSkin(args.size() > 1 ? args[1] : DefaultSkinFile(), stored);
  TbsSkinData data(nullptr);
  data.LoadFromStoredSkin(&stored);

  const int scale = 2, columns = 4, cardWidth = 330;
  QFont labelFont("Arial");
  labelFont.setPixelSize(10);
  const QFontMetrics labelMetrics(labelFont);
  // Each picture takes the room of its picture or of its key, whichever is wider.
  const auto advance = [&](const QString& key, const QImage& crop) {
    return std::max(crop.width(), labelMetrics.horizontalAdvance(key)) + 8;
  };
  struct Card {
    QString Title;
    std::vector<std::pair<QString, QImage>> Parts;
    int Height = 0;
  };
  std::vector<Card> cards;
  const auto add = [&](TbsDataSkinDefinition& d, int pictureIndex) {
    Card card;
    card.Title = d.IDName + u':' + d.Kind;
    const TbsSkinPicture* picture = data.SkinPicture(pictureIndex);
    RectCollector rects;
    d.VisitFields(rects);
    int x = 10, rowHeight = 0;
    card.Height = 22;
    for (const auto& [key, r] : rects.rects) {
      if (!picture || InControl(key, d) || !picture->Image.rect().contains(r)) continue;
      QImage crop = picture->Image.copy(r).scaled(r.size() * scale);
      if (x + advance(key, crop) > cardWidth - 8) x = 10, card.Height += rowHeight + 16, rowHeight = 0;
      x += advance(key, crop);
      rowHeight = std::max(rowHeight, crop.height());
      card.Parts.emplace_back(key, crop);
    }
    card.Height += rowHeight + 20;
    cards.push_back(std::move(card));
  };
  for (auto& o : data.SkinObjects()) add(*o, o->ActivePictureIndex);
  for (auto& c : data.SkinControls()) add(*c, c->PictureIndex);

  // A preview on top: the frame with a caption, buttons with Chinese captions, the status bar.
  const int previewHeight = 200;
  std::vector<int> columnHeights(columns, previewHeight + 10);
  std::vector<QPoint> places;
  for (const Card& c : cards) {
    const int col = int(std::min_element(columnHeights.begin(), columnHeights.end()) - columnHeights.begin());
    places.emplace_back(col * cardWidth, columnHeights[col]);
    columnHeights[col] += c.Height + 8;
  }
  QImage sheet(columns * cardWidth, *std::max_element(columnHeights.begin(), columnHeights.end()), QImage::Format_RGB32);
  sheet.fill(QColor(0xFA, 0xFB, 0xFD));
  QPainter p(&sheet);
  QFont font("Arial");
  font.setPixelSize(13);
  p.setFont(font);
  if (!data.IsEmptySkin() && !data.FramePicture().Empty()) {
    const QImage& frame = data.FramePicture().Image;
    p.drawImage(QRect(10, 10, frame.width(), frame.height()), frame);
    QFont title = font;
    title.setBold(true);
    title.setPixelSize(14);
    p.setFont(title);
    p.setPen(Qt::black);
    p.drawText(QRect(34, 7, 140, 17).translated(10, 10), Qt::AlignLeft | Qt::AlignVCenter, QString::fromUtf8("Ostrel网络收音机"));
    p.setFont(font);
    const int b = data.FindSkinControl("button");
    const TbsSkinPicture* controls = data.SkinPicture(4);
    if (b >= 0 && controls) {
      const auto& button = dynamic_cast<const TbsDataSkinButtonControl&>(*data.SkinControls()[size_t(b)]);
      const QRect looks[] = {button.SkinRect, button.ActiveSkinRect, button.DownSkinRect};
      const char* captions[] = {"开始录音", "停止录音", "指定录音保存文件"};
      for (int i = 0; i < 3; ++i) {
        const int w = i == 2 ? 130 : 90;
        const QImage face = Strip(controls->Image, looks[i], button.LTPoint.x(), button.SkinRect.width() - button.RTPoint.x(), w);
        const QPoint at(220 + (i == 2 ? 200 : i * 100), 20);
        p.drawImage(at, face);
        p.setPen(Qt::black);
        p.drawText(QRect(at, face.size()), Qt::AlignCenter, QString::fromUtf8(captions[i]));
      }
    }
    const int s = data.FindSkinControl("statusbar"), sp = data.FindSkinControl("statuspanel");
    if (s >= 0 && sp >= 0 && controls) {
      const auto& bar = dynamic_cast<const TbsDataSkinCustomControl&>(*data.SkinControls()[size_t(s)]);
      const auto& panel = dynamic_cast<const TbsDataSkinCustomControl&>(*data.SkinControls()[size_t(sp)]);
      p.drawImage(QPoint(220, 70), Strip(controls->Image, bar.SkinRect, bar.LTPoint.x(), bar.SkinRect.width() - bar.RTPoint.x(), 400));
      const QImage field = Strip(controls->Image, panel.SkinRect, panel.LTPoint.x(), panel.SkinRect.width() - panel.RTPoint.x(), 110);
      p.drawImage(QPoint(229, 73), field);
      p.drawText(QRect(QPoint(229, 73), field.size()), Qt::AlignCenter, QString::fromUtf8("网络版请登录："));
    }
  }
  for (size_t i = 0; i < cards.size(); ++i) {
    const Card& c = cards[i];
    const QPoint at = places[i];
    p.setPen(QColor(0xD0, 0xD7, 0xE2));
    p.drawRect(QRect(at + QPoint(4, 0), QSize(cardWidth - 8, c.Height)));
    p.setPen(Qt::black);
    p.drawText(at + QPoint(10, 16), c.Title);
    int x = 10, y = 24, rowHeight = 0;
    for (const auto& [key, crop] : c.Parts) {
      if (x + advance(key, crop) > cardWidth - 8) x = 10, y += rowHeight + 16, rowHeight = 0;
      p.drawImage(at + QPoint(x, y), crop);
      p.setPen(QColor(0x60, 0x6C, 0x80));
      p.setFont(labelFont);
      p.drawText(at + QPoint(x, y + crop.height() + 11), key);
      p.setFont(font);
      x += advance(key, crop);
      rowHeight = std::max(rowHeight, crop.height());
    }
  }
  p.end();
  if (!sheet.save(args[0], "PNG")) {
    Err() << "skin sheet: cannot write " << args[0] << "\n";
    return 1;
  }
  Out() << "wrote " << args[0] << " (" << sheet.width() << " x " << sheet.height() << ", " << cards.size()
        << " definitions)\n";
  return 0;
}

} // namespace

int RunSkinCommand(QStringList args)
{
  const QString sub = args.isEmpty() ? QString() : args.takeFirst();
  try {
    if (sub == "pack") return Pack(args);
    if (sub == "info") return Info(args);
    if (sub == "sheet") return Sheet(args);
  } catch (const Exception& e) {
    Err() << "skin " << sub << ": " << e.Message() << "\n";
    return 1;
  }
  Err() << "usage: velmora-tool skin pack|info|sheet ...\n";
  return 2;
}
