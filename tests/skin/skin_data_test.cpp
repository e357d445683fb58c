#include "skin/skin_data.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>

namespace {
TbsSkinPicture Picture(int width, int height, int bits, int colours)
{
  QImage image(width, height, QImage::Format_Indexed8);
  QList<QRgb> table;
  for (int i = 0; i < colours; ++i) table.append(qRgb(i * 40 % 256, 255 - i * 17 % 256, i * 5 % 256));
  image.setColorTable(table);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) image.setPixel(x, y, uint((x + 2 * y) % colours));
  return {image, bits};
}

const QStringList kDefinition = {
    "[VERSION]", "skinname=测试皮肤", "skinauthor=Velmora", "[PICTURES]", "picture=main.bmp", "activepicturescount=2",
    "0=a.bmp", "1=b.bmp", "[FORMINFO]", "lefttoppoint=10,30", "righttoppoint=178,30", "leftbottompoint=7,133",
    "rightbottompoint=184,133", "clientrect=4,30,187,136", "topstretch=1", "inactiveeffect=iedarkness",
    "[POPUPWINDOW]", "windowpictureindex=1", "itemsrect=3,4,60,50", "[HINTWINDOW]", "fontname=Tahoma",
    "[SKINOBJECTS]", "count=4", "0=MENUITEM:menuitem", "1=caption:caption", "2=nocolon", "3=odd:unknownkind",
    "[SKINCONTROLS]", "count=5", "0=button:button", "1=statusbar:panel", "2=button:label", "3=:label",
    "4=vupdown:updown", "[MENUITEM]", "fontheight=12", "[statusbar]", "pictureindex=1", "skinrect=197,183,258,206",
    "[button]", "skinrect=2,3,36,31", "righttoppoint=24,16"};

QByteArray Container(const QStringList& definition = kDefinition, int version = 3)
{
  const TbsSkinPicture main = Picture(19, 14, 8, 44), a = Picture(7, 5, 8, 24), b = Picture(13, 6, 4, 16);
  QByteArray c = BuildSkinContainer(main, {}, {}, {a, b}, definition);
  if (version != 3) {
    qToLittleEndian<qint32>(version, c.data());
    if (version == 2) {
      // Two legacy slots after the mask slot: one empty, one with a picture.
      const qsizetype afterMask = 4 + 1 + EncodeBmp(main.Image, 8).size() + 2;
      c.insert(afterMask, QByteArray(1, '\1') + QByteArray(1, '\0') + EncodeBmp(a.Image, 8));
    }
  }
  return c;
}

QByteArray Deflated(const QByteArray& container) { return DeflateSkin(container); }

// Stands for a form: records the skin notices it receives.
class NoticeLog : public TComponent {
public:
  NoticeLog(TComponent* owner, QString name, QStringList* log) : TComponent(owner), log_(log) { SetName(name); }
  void WndProc(TMessage& m) override
  {
    log_->append(QStringLiteral("%1:%2:%3").arg(Name()).arg(m.Msg).arg(m.LParam));
    lastSender = m.WParam;
  }
  qintptr lastSender = 0;

private:
  QStringList* log_;
};

struct Forms {
  Forms(std::vector<TComponent*> forms) { TbsSkinData::SetApplicationForms([forms] { return forms; }); }
  ~Forms() { TbsSkinData::SetApplicationForms(nullptr); }
};

void Set32(QByteArray& d, qsizetype at, qint32 v) { qToLittleEndian(v, d.data() + at); }
} // namespace

TEST(SkinData, LoadsPicturesDefinitionAndLists)
{
  TbsCompressedStoredSkin stored(nullptr);
  stored.SetCompressedData(Deflated(Container()));
  EXPECT_TRUE(stored.CompressedData().startsWith("\x78\xDA"));
  TbsSkinData data(nullptr);
  EXPECT_TRUE(data.IsEmptySkin());
  data.SetCompressedStoredSkin(&stored);
  ASSERT_FALSE(data.IsEmptySkin());

  EXPECT_EQ(data.FramePicture().Image.size(), QSize(19, 14));
  EXPECT_EQ(data.FramePicture().BitsPerPixel, 8);
  EXPECT_EQ(data.FramePicture().Image.colorCount(), 44);
  EXPECT_TRUE(data.InactiveFramePicture().Empty());
  EXPECT_TRUE(data.FrameMask().Empty());
  ASSERT_EQ(data.SkinPictures().size(), 2u);
  EXPECT_EQ(data.SkinPictures()[1].BitsPerPixel, 4);
  EXPECT_EQ(data.SkinPictures()[1].Image, Picture(13, 6, 4, 16).Image);
  EXPECT_EQ(data.SkinPicture(2), nullptr);
  EXPECT_EQ(data.SkinPicture(-1), nullptr);
  EXPECT_EQ(data.SkinPictureNames(), (QStringList{"a.bmp", "b.bmp"}));
  EXPECT_EQ(data.PictureName(), "main.bmp");
  EXPECT_EQ(data.SkinName, QString::fromUtf8("测试皮肤"));
  EXPECT_EQ(data.SkinAuthor, "Velmora");

  const TbsDataSkinFormInfo& f = data.FormInfo();
  EXPECT_EQ(f.LTPoint, QPoint(10, 30));
  EXPECT_EQ(f.RBPoint, QPoint(184, 133));
  EXPECT_EQ(f.ClientRect, SkinRect(4, 30, 187, 136));
  EXPECT_TRUE(f.TopStretch);
  EXPECT_EQ(f.BGPictureIndex, -1);
  EXPECT_EQ(f.InActiveEffect, TbsInactiveEffect::ieDarkness);
  EXPECT_TRUE(f.MaskRectArea.isEmpty());  // no mask picture: left alone
  EXPECT_EQ(data.PopupWindowData().WindowPictureIndex, 1);
  EXPECT_EQ(data.HintWindowData().FontName, "Tahoma");

  // Entries without a colon or with an unknown kind add nothing; names may repeat and be empty.
  ASSERT_EQ(data.SkinObjects().size(), 2u);
  ASSERT_EQ(data.SkinControls().size(), 5u - 0u - 0u);
  EXPECT_EQ(data.FindSkinObject("MENUITEM"), 0);
  EXPECT_EQ(data.FindSkinObject("menuitem"), -1);
  EXPECT_EQ(data.FindSkinObject("odd"), -1);
  EXPECT_EQ(data.FindSkinControl("statusbar"), 1);
  EXPECT_EQ(data.FindSkinControl("StatusBar"), -1);
  EXPECT_EQ(data.FindSkinControl("button"), 0);  // the first of two
  EXPECT_NE(dynamic_cast<TbsDataSkinButtonControl*>(data.SkinControls()[0].get()), nullptr);
  EXPECT_NE(dynamic_cast<TbsDataSkinLabelControl*>(data.SkinControls()[2].get()), nullptr);
  EXPECT_EQ(data.FindSkinControl(""), 3);
  EXPECT_EQ(dynamic_cast<TbsDataSkinMenuItem&>(*data.SkinObjects()[0]).FontHeight, 12);
  const auto& statusbar = dynamic_cast<TbsDataSkinPanelControl&>(*data.SkinControls()[1]);
  EXPECT_EQ(statusbar.PictureIndex, 1);
  EXPECT_EQ(statusbar.SkinRect, SkinRect(197, 183, 258, 206));
  EXPECT_EQ(data.SkinControls()[2]->ClassName(), std::string("TbsDataSkinLabelControl"));

  data.ClearSkin();
  EXPECT_TRUE(data.IsEmptySkin());
  EXPECT_TRUE(data.SkinControls().empty());
  EXPECT_TRUE(data.FramePicture().Empty());
  EXPECT_EQ(data.PopupWindowData().WindowPictureIndex, -1);
}

TEST(SkinData, VersionRulesAndPictureCounts)
{
  TbsSkinData v3(nullptr), v2(nullptr), v1(nullptr);
  v3.LoadFromContainer(Container());
  v2.LoadFromContainer(Container(kDefinition, 2));
  v1.LoadFromContainer(Container(kDefinition, -7));  // any version up to 3 is read as the current one
  for (TbsSkinData* d : {&v2, &v1}) {
    EXPECT_FALSE(d->IsEmptySkin());
    EXPECT_EQ(d->FramePicture().Image, v3.FramePicture().Image);
    ASSERT_EQ(d->SkinPictures().size(), 2u);
    EXPECT_EQ(d->SkinPictures()[0].Image, v3.SkinPictures()[0].Image);
    EXPECT_EQ(d->SkinControls().size(), v3.SkinControls().size());
  }

  // Version 4: empty after SKN_CHANGING, nothing more.
  QStringList log;
  TComponent form(nullptr);
  NoticeLog receiver(&form, "Form1", &log);
  Forms forms({&receiver});
  TbsSkinData newer(nullptr);
  newer.LoadFromContainer(v3.IsEmptySkin() ? QByteArray() : Container(kDefinition, 4));
  EXPECT_TRUE(newer.IsEmptySkin());
  EXPECT_EQ(log, (QStringList{"Form1:1225:1000"}));

  // No extra pictures: every picture index names nothing.
  QByteArray none = BuildSkinContainer(Picture(4, 4, 8, 4), {}, {}, {}, kDefinition);
  TbsSkinData empty(nullptr);
  empty.LoadFromContainer(none);
  EXPECT_FALSE(empty.IsEmptySkin());
  EXPECT_TRUE(empty.SkinPictures().empty());
  EXPECT_EQ(empty.SkinPicture(dynamic_cast<TbsDataSkinPanelControl&>(*empty.SkinControls()[1]).PictureIndex), nullptr);
}

TEST(SkinData, NoticesGoToTheOwnerFormFirstThenEveryOtherForm)
{
  QStringList log;
  TComponent app(nullptr);
  auto* main = new NoticeLog(&app, "Main", &log);
  auto* record = new NoticeLog(&app, "Record", &log);
  auto* third = new NoticeLog(&app, "Third", &log);
  Forms forms({main, record, third});
  TbsCompressedStoredSkin stored(nullptr);
  stored.SetCompressedData(Deflated(Container()));
  auto* data = new TbsSkinData(record);
  data->SetCompressedStoredSkin(&stored);
  EXPECT_EQ(log, (QStringList{"Record:1225:1000", "Main:1225:1000", "Third:1225:1000", "Record:1226:1000",
                              "Main:1226:1000", "Third:1226:1000", "Record:1227:1000", "Main:1227:1000",
                              "Third:1227:1000"}));
  EXPECT_EQ(main->lastSender, reinterpret_cast<qintptr>(data));

  log.clear();
  TbsResourceStrData strings(nullptr);
  data->SetResourceStrData(&strings);
  EXPECT_EQ(log, (QStringList{"Record:1274:1000", "Main:1274:1000", "Third:1274:1000"}));

  // Setting the same stored skin again does nothing; a stored skin without data changes nothing.
  log.clear();
  data->SetCompressedStoredSkin(&stored);
  TbsCompressedStoredSkin blank(nullptr);
  data->SetCompressedStoredSkin(&blank);
  EXPECT_TRUE(log.isEmpty());
  EXPECT_FALSE(data->IsEmptySkin());
}

TEST(SkinData, FreedPartnersClearTheirReferencesOnly)
{
  auto* stored = new TbsCompressedStoredSkin(nullptr);
  stored->SetCompressedData(Deflated(Container()));
  auto* strings = new TbsResourceStrData(nullptr);
  TbsSkinData data(nullptr);
  data.SetCompressedStoredSkin(stored);
  data.SetResourceStrData(strings);
  TComponent::Free(stored);
  TComponent::Free(strings);
  EXPECT_EQ(data.CompressedStoredSkin(), nullptr);
  EXPECT_EQ(data.ResourceStrData(), nullptr);
  EXPECT_FALSE(data.IsEmptySkin());
  EXPECT_EQ(data.FindSkinControl("statusbar"), 1);
}

TEST(SkinData, FormInfoWithAMaskWidensTheAreaAndFillsHitTestPoints)
{
  QStringList def = kDefinition;
  def.replace(def.indexOf("picture=main.bmp"), "picture=main.bmp\nmask=mask.bmp");
  def = def.join('\n').split('\n');
  def << "[FORMINFO]";  // a second [FORMINFO] is never read
  def.insert(def.indexOf("topstretch=1"), "maskrectarea=6,40,100,120");
  def.insert(def.indexOf("topstretch=1"), "hittestlefttoppoint=0,9");
  def.insert(def.indexOf("topstretch=1"), "hittestrighttoppoint=180,9");
  TbsSkinData data(nullptr);
  data.LoadFromContainer(Container(def));
  const auto& f = data.FormInfo();
  EXPECT_EQ(data.MaskPictureName(), "mask.bmp");
  EXPECT_EQ(f.MaskRectArea, SkinRect(4, 30, 187, 136));
  EXPECT_EQ(f.HitTestLTPoint, QPoint(10, 30));
  EXPECT_EQ(f.HitTestRTPoint, QPoint(180, 9));
  EXPECT_EQ(f.HitTestLBPoint, QPoint(7, 133));

  // Frame points outside the client rectangle are pulled inside it.
  QStringList pulled = kDefinition;
  pulled.replace(pulled.indexOf("lefttoppoint=10,30"), "lefttoppoint=1,2");
  pulled.replace(pulled.indexOf("righttoppoint=178,30"), "righttoppoint=190,3");
  pulled.replace(pulled.indexOf("leftbottompoint=7,133"), "leftbottompoint=2,139");
  pulled.replace(pulled.indexOf("rightbottompoint=184,133"), "rightbottompoint=189,138");
  data.LoadFromContainer(Container(pulled));
  EXPECT_EQ(data.FormInfo().LTPoint, QPoint(4, 30));
  EXPECT_EQ(data.FormInfo().RTPoint, QPoint(187, 30));
  EXPECT_EQ(data.FormInfo().LBPoint, QPoint(4, 136));
  EXPECT_EQ(data.FormInfo().RBPoint, QPoint(187, 136));
  // ...unless the right-bottom point shares a coordinate with the left-top one.
  pulled.replace(pulled.indexOf("rightbottompoint=189,138"), "rightbottompoint=1,138");
  data.LoadFromContainer(Container(pulled));
  EXPECT_EQ(data.FormInfo().LTPoint, QPoint(1, 2));
}

TEST(SkinData, BrokenStoredSkinsRaiseAndLeaveTheSkinEmpty)
{
  const QByteArray good = Container();
  const qsizetype frameSize = EncodeBmp(Picture(19, 14, 8, 44).Image, 8).size();
  const qsizetype countAt = 4 + 1 + frameSize + 2;
  struct Case {
    const char* What;
    std::function<QByteArray()> Make;
  };
  const Case cases[] = {
      {"no version", [] { return QByteArray("\3\0", 2); }},
      {"no picture flag", [] { return QByteArray("\3\0\0\0", 4); }},
      {"flag without picture", [] { return QByteArray("\3\0\0\0\0", 5); }},
      {"cut in the frame picture", [&] { return good.left(500); }},
      {"cut before the count", [&] { return good.left(countAt + 2); }},
      {"cut in an extra picture", [&] { return good.left(countAt + 4 + 30); }},
      {"two billion pictures", [&] { QByteArray d = good; Set32(d, countAt, 2000000000); return d; }},
      {"negative picture count", [&] { QByteArray d = good; Set32(d, countAt, -1); return d; }},
      {"more pictures than stored", [&] { QByteArray d = good; Set32(d, countAt, 3); return d; }},
      {"bfSize lies", [&] { QByteArray d = good; Set32(d, 5 + 2, 10); return d; }},
      {"bfSize beyond the block", [&] { QByteArray d = good; Set32(d, 5 + 2, 0x7FFFFFFF); return d; }},
      {"absurd picture size", [&] { QByteArray d = good; Set32(d, 5 + 18, 5000); Set32(d, 5 + 22, 5000); return d; }},
      {"bad bit count", [&] { QByteArray d = good; d[5 + 28] = 5; return d; }},
      {"empty number in a rect", [] { QStringList d = kDefinition; d.replace(d.indexOf("skinrect=2,3,36,31"), "skinrect=1,,3,4"); return Container(d); }},
      {"huge control count", [] { QStringList d = kDefinition; d.replace(d.indexOf("count=5"), "count=2000000000"); return Container(d); }},
      {"huge name list", [] { QStringList d = kDefinition; d.replace(d.indexOf("activepicturescount=2"), "activepicturescount=99999999"); return Container(d); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.What);
    TbsSkinData data(nullptr);
    data.LoadFromContainer(good);
    ASSERT_FALSE(data.IsEmptySkin());
    try {
      data.LoadFromContainer(c.Make());
      ADD_FAILURE() << "no error";
    } catch (const Exception& e) {
      EXPECT_FALSE(e.Message().isEmpty());
    }
    EXPECT_TRUE(data.IsEmptySkin());
    EXPECT_TRUE(data.SkinControls().empty());
    EXPECT_TRUE(data.FramePicture().Empty());
  }

  // Cut anywhere in the pictures: an error, never a crash.
  const qsizetype textAt = good.indexOf("[VERSION]");
  for (qsizetype cut = 0; cut < textAt; cut += 7) {
    TbsSkinData data(nullptr);
    EXPECT_THROW(data.LoadFromContainer(good.left(cut)), Exception) << cut;
  }
}

TEST(SkinData, PictureSizeLimits)
{
  // A real picture wider than a skin picture may be.
  QImage wide(kMaxSkinPictureDimension + 1, 1, QImage::Format_Indexed8);
  wide.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
  wide.fill(1);
  TbsSkinData data(nullptr);
  try {
    data.LoadFromContainer(BuildSkinContainer({wide, 1}, {}, {}, {}, kDefinition));
    ADD_FAILURE() << "no error";
  } catch (const ESkinDataError& e) {
    EXPECT_TRUE(e.Message().contains("at most")) << e.what();
  }
  // Pictures within the size limit that together exceed the pixel budget.
  QImage big(kMaxSkinPictureDimension, kMaxSkinPictureDimension, QImage::Format_Indexed8);
  big.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
  big.fill(0);
  const int fit = int(kMaxSkinPixels / (qint64(big.width()) * big.height()));
  std::vector<TbsSkinPicture> many(size_t(fit), TbsSkinPicture{big, 1});
  data.LoadFromContainer(BuildSkinContainer({}, {}, {}, many, kDefinition));
  EXPECT_EQ(data.SkinPictures().size(), size_t(fit));
  many.push_back({big, 1});
  try {
    data.LoadFromContainer(BuildSkinContainer({}, {}, {}, many, kDefinition));
    ADD_FAILURE() << "no error";
  } catch (const ESkinDataError& e) {
    EXPECT_TRUE(e.Message().contains("pixels in all")) << e.what();
  }
  EXPECT_TRUE(data.IsEmptySkin());
}

TEST(SkinData, CompressedBlockInflatesInChunksAndRejectsCorruption)
{
  const QByteArray container = Container();
  TbsCompressedStoredSkin stored(nullptr);
  stored.SetCompressedData(Deflated(container));
  QBuffer buffer;
  buffer.open(QIODevice::WriteOnly);
  buffer.write("prefix");
  stored.InflateTo(buffer);
  EXPECT_EQ(buffer.data(), "prefix" + container);
  EXPECT_EQ(stored.Inflate(), container);

  TbsSkinData data(nullptr);
  for (const QByteArray& bad : {QByteArray("not zlib at all"), Deflated(container).left(100),
                                Deflated(container).replace(40, 8, "XXXXXXXX")}) {
    TbsCompressedStoredSkin corrupt(nullptr);
    corrupt.SetCompressedData(bad);
    try {
      data.SetCompressedStoredSkin(&corrupt);
      ADD_FAILURE() << "no error";
    } catch (const EZDecompressionError& e) {
      EXPECT_EQ(e.Message(), "compression error");
    }
    EXPECT_TRUE(data.IsEmptySkin());
    data.SetCompressedStoredSkin(nullptr);
  }

  // A block that inflates beyond the limit stops there.
  TbsCompressedStoredSkin bomb(nullptr);
  bomb.SetCompressedData(DeflateSkin(QByteArray(kMaxInflatedSkinSize + 4096, '\0')));
  EXPECT_LT(bomb.CompressedData().size(), 100000);
  EXPECT_THROW(bomb.Inflate(), ESkinDataError);
}

TEST(SkinData, PackFolderAndPackedFiles)
{
  QTemporaryDir dir;
  const auto save = [&](const QString& name, const QByteArray& bytes) {
    QFile f(dir.filePath(name));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
  };
  save("main.bmp", EncodeBmp(Picture(19, 14, 8, 44).Image, 8));
  save("a.bmp", EncodeBmp(Picture(7, 5, 8, 24).Image, 8));
  save("b.bmp", EncodeBmp(Picture(13, 6, 4, 16).Image, 4));
  save("skin.ini", (kDefinition.join("\n") + "\n").toUtf8());

  TbsCompressedStoredSkin stored(nullptr);
  ASSERT_TRUE(stored.PackSkinFolder(dir.filePath("skin.ini")));
  EXPECT_EQ(stored.Inflate(), Container());

  // Packed file: version, length, block; importing gives the same block.
  save("skin.bin", stored.PackedFileData());
  TbsCompressedStoredSkin imported(nullptr);
  imported.ImportPackedFile(dir.filePath("skin.bin"));
  EXPECT_EQ(imported.CompressedData(), stored.CompressedData());
  QByteArray newer = stored.PackedFileData();
  Set32(newer, 0, 4);
  save("newer.bin", newer);
  imported.ImportPackedFile(dir.filePath("newer.bin"));
  EXPECT_TRUE(imported.IsDataEmpty());
  QByteArray lying = stored.PackedFileData();
  Set32(lying, 4, lying.size());
  save("lying.bin", lying);
  EXPECT_THROW(imported.ImportPackedFile(dir.filePath("lying.bin")), ESkinDataError);
  EXPECT_THROW(imported.ImportPackedFile(dir.filePath("missing.bin")), EFOpenError);

  // A definition without a required section keeps the old block; a missing picture raises.
  const QByteArray before = stored.CompressedData();
  save("partial.ini", "[VERSION]\n[PICTURES]\n[FORMINFO]\n[SKINOBJECTS]\n");
  EXPECT_FALSE(stored.PackSkinFolder(dir.filePath("partial.ini")));
  EXPECT_EQ(stored.CompressedData(), before);
  save("missing.ini", "[VERSION]\n[PICTURES]\npicture=nothere.bmp\n[FORMINFO]\n[SKINOBJECTS]\n[SKINCONTROLS]\n");
  EXPECT_THROW(stored.PackSkinFolder(dir.filePath("missing.ini")), EFOpenError);
  EXPECT_EQ(stored.CompressedData(), before);
}

TEST(SkinData, ResourceStringsAndRegistration)
{
  TbsResourceStrData strings(nullptr);
  // One line per known string name, in table order.
  EXPECT_EQ(strings.ResStrings().size(), 73);
  EXPECT_EQ(strings.CharSet(), 1);
  EXPECT_EQ(strings.ResStrings().first(), "MI_MINCAPTION=Mi&nimize");
  EXPECT_EQ(strings.ResStrings().last().section('=', 0, 0), "FLV_FREESPACE");
  EXPECT_EQ(strings.GetResString("menubutton_hint"), "System menu");
  EXPECT_EQ(strings.GetResString("FLV_LOOKIN"), "Look in: ");
  EXPECT_EQ(strings.GetResString("NO_SUCH"), "");
  strings.SetResStrings({"A=first", "a=second", "B"});
  EXPECT_EQ(strings.GetResString("A"), "first");
  EXPECT_EQ(strings.GetResString("B"), "");

  RegisterSkinClasses();
  TComponent owner(nullptr);
  for (const char* name : {"TbsCompressedStoredSkin", "TbsSkinData", "TbsResourceStrData"}) {
    TComponent* c = TComponentClasses::Create(QString::fromLatin1(name), &owner);
    ASSERT_NE(c, nullptr) << name;
    EXPECT_EQ(c->Owner(), &owner);
  }
  // The description reader sets the block through the property.
  TbsCompressedStoredSkin stored(nullptr);
  EXPECT_TRUE(stored.setProperty("CompressedData", QByteArray("\x78\xDA")));
  EXPECT_EQ(stored.CompressedData(), QByteArray("\x78\xDA"));
}
