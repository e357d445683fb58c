// The built-in skin in resources/skin: its container layout, its lists, and
// the geometry the windows derive from it.
#include "skin/skin_data.h"

#include <QFile>
#include <QtEndian>
#include <gtest/gtest.h>

namespace {
const QString kFolder = QStringLiteral(VELMORA_SOURCE_DIR "/resources/skin");

QByteArray ReadFile(const QString& path)
{
  QFile f(path);
  EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
  return f.readAll();
}

class BuiltinSkin : public testing::Test {
protected:
  static void SetUpTestSuite()
  {
    stored_ = new TbsCompressedStoredSkin(nullptr);
    stored_->ImportPackedFile(kFolder + "/skin.bin");
    data_ = new TbsSkinData(nullptr);
    data_->SetCompressedStoredSkin(stored_);
  }
  static void TearDownTestSuite()
  {
    TComponent::Free(data_);
    TComponent::Free(stored_);
  }
  template <typename T>
  static const T& Control(const char* name)
  {
    const int i = data_->FindSkinControl(QString::fromLatin1(name));
    EXPECT_GE(i, 0) << name;
    const T* d = dynamic_cast<const T*>(data_->SkinControls().at(size_t(i)).get());
    EXPECT_NE(d, nullptr) << name;
    return *d;
  }
  template <typename T>
  static const T& Object(const char* name)
  {
    const int i = data_->FindSkinObject(QString::fromLatin1(name));
    EXPECT_GE(i, 0) << name;
    return dynamic_cast<const T&>(*data_->SkinObjects().at(size_t(i)));
  }
  static TbsCompressedStoredSkin* stored_;
  static TbsSkinData* data_;
};
TbsCompressedStoredSkin* BuiltinSkin::stored_ = nullptr;
TbsSkinData* BuiltinSkin::data_ = nullptr;

// The stretch mode a skinned control derives from its corner points.
const char* StretchMode(const TbsDataSkinCustomControl& d)
{
  if (d.SkinRect.isEmpty()) return "smNone";
  if (d.RBPoint.x() != 0 && d.RBPoint.y() != 0) return "smBoth";
  if (d.RTPoint != QPoint()) return "smHorizontal";
  if (d.LBPoint != QPoint()) return "smVertical";
  return "smFixed";
}
} // namespace

TEST_F(BuiltinSkin, CommittedBlockIsAFreshPackOfTheFolder)
{
  TbsCompressedStoredSkin fresh(nullptr);
  ASSERT_TRUE(fresh.PackSkinFolder(kFolder + "/skin.ini"));
  EXPECT_EQ(fresh.PackedFileData(), ReadFile(kFolder + "/skin.bin"));
  EXPECT_TRUE(stored_->CompressedData().startsWith("\x78\xDA"));
}

TEST_F(BuiltinSkin, ContainerLayout)
{
  const QByteArray c = stored_->Inflate();
  ASSERT_EQ(c.size(), 244002);
  const auto i32 = [&](int at) { return qFromLittleEndian<qint32>(c.constData() + at); };
  EXPECT_EQ(i32(0), 3);
  EXPECT_EQ(c[4], '\0');
  TBmpInfo frame;
  DecodeBmp(c.mid(5), &frame);
  EXPECT_EQ(frame.Width, 191);
  EXPECT_EQ(frame.Height, 140);
  EXPECT_EQ(frame.BitsPerPixel, 8);
  EXPECT_EQ(frame.FileSize, 27110);
  EXPECT_EQ(c[27115], '\1');
  EXPECT_EQ(c[27116], '\1');
  EXPECT_EQ(i32(27117), 7);
  const struct {
    int Offset, Width, Height, Bits;
  } extras[] = {{27121, 37, 59, 8},  {29631, 67, 59, 8},  {34597, 100, 216, 8}, {57275, 39, 17, 8},
                {59033, 430, 333, 8}, {203967, 67, 59, 8}, {208173, 103, 67, 4}};
  for (const auto& e : extras) {
    TBmpInfo info = ReadBmpInfo(c.mid(e.Offset));
    EXPECT_EQ(info.Width, e.Width) << e.Offset;
    EXPECT_EQ(info.Height, e.Height) << e.Offset;
    EXPECT_EQ(info.BitsPerPixel, e.Bits) << e.Offset;
  }
  EXPECT_EQ(c.size() - 211775, 32227);
  EXPECT_TRUE(c.mid(211775).startsWith("[VERSION]\r\n"));
  EXPECT_EQ(data_->SkinPictureNames(), (QStringList{"mainmenuitems.bmp", "pw.bmp", "active.bmp", "hw.bmp",
                                                    "controls.bmp", "menuitems.bmp", "mdibg.bmp"}));
  EXPECT_EQ(data_->PictureName(), "main.bmp");
  EXPECT_EQ(data_->SkinPictures().size(), 7u);
}

TEST_F(BuiltinSkin, ListsInTheirOrder)
{
  QStringList objects, controls;
  for (const auto& o : data_->SkinObjects()) objects << o->IDName + ':' + o->Kind;
  for (const auto& c : data_->SkinControls()) controls << c->IDName + ':' + c->Kind;
  EXPECT_EQ(objects, QString("MENUITEM:menuitem caption:caption CloseAnimate:animate MaxAnimate:animate "
                             "MinAnimate:animate RollUpAnimate:animate mainmenubaritem:mainmenubaritem "
                             "sysmenuanimate:animate menubarsysmenubutton:mainmenubarbutton "
                             "menubarclosebutton:mainmenubarbutton menubarmaxbutton:mainmenubarbutton "
                             "menubarminbutton:mainmenubarbutton trayanimate:animate")
                         .split(' '));
  EXPECT_EQ(controls,
            QString("panel:panel button:button checkbox:checkradio radiobox:checkradio gauge:gauge trackbar:trackbar "
                    "label:label toolpanel:panel toolbutton:button vgauge:gauge htrackbar:trackbar grid:grid tab:tab "
                    "edit:edit memo:memo hscrollbar:scrollbar vscrollbar:scrollbar listbox:listbox combobox:combobox "
                    "checklistbox:checklistbox spinedit:spinedit groupbox:panel stdlabel:stdlabel statuspanel:label "
                    "statusbar:panel buttonedit:edit vupdown:updown hupdown:updown captionlistbox:listbox "
                    "captionchecklistbox:checklistbox captioncombobox:combobox mainmenubar:mainmenubar "
                    "controlbar:controlbar vsplitter:splitter hsplitter:splitter resizebutton:button "
                    "bothhscrollbar:scrollbar bigtoolpanel:panel bigtoolbutton:button toolmenubutton:menubutton "
                    "toolmenutrackbutton:menubutton bigtoolmenutrackbutton:menubutton bigtoolmenubutton:menubutton "
                    "scrollbox:scrollbox listview:listview treeview:treeview statusgauge:gauge richedit:richedit "
                    "expanel:expanel slider:slider bevel:bevel statusedit:edit statusbuttonedit:edit "
                    "statusspinedit:spinedit statuscombobox:combobox toolcombobox:combobox tooledit:edit "
                    "toolspinedit:spinedit toolbuttonedit:edit")
                .split(' '));
  EXPECT_EQ(data_->FindSkinControl("statusbar"), 24);
  EXPECT_EQ(data_->FindSkinControl("StatusBar"), -1);
  EXPECT_EQ(data_->FindSkinObject("MENUITEM"), 0);
}

TEST_F(BuiltinSkin, FrameAndCaptionGeometry)
{
  const TbsDataSkinFormInfo& f = data_->FormInfo();
  const QSize picture = data_->FramePicture().Image.size();
  EXPECT_EQ(f.LTPoint, QPoint(10, 30));
  EXPECT_EQ(f.RTPoint, QPoint(178, 30));
  EXPECT_EQ(f.LBPoint, QPoint(7, 133));
  EXPECT_EQ(f.RBPoint, QPoint(184, 133));
  EXPECT_EQ(f.ClientRect, SkinRect(4, 30, 187, 136));
  EXPECT_EQ(f.BGPictureIndex, -1);
  EXPECT_EQ(f.MDIBGPictureIndex, 6);
  EXPECT_TRUE(f.TopStretch);
  EXPECT_FALSE(f.LeftStretch || f.RightStretch || f.BottomStretch);
  EXPECT_TRUE(f.MaskRectArea.isEmpty());
  EXPECT_EQ(f.HitTestLTPoint, QPoint(6, 7));
  EXPECT_EQ(f.HitTestRTPoint, QPoint(184, 7));
  EXPECT_EQ(f.HitTestLBPoint, QPoint(7, 132));
  EXPECT_EQ(f.HitTestRBPoint, QPoint(183, 132));
  EXPECT_TRUE(f.ButtonsRect.isEmpty());
  EXPECT_EQ(f.CaptionRect, SkinRect(7, 9, 184, 24));
  EXPECT_EQ(f.ButtonsOffset, 1);
  EXPECT_FALSE(f.ButtonsInLeft || f.MainMenuPopupUp || f.AutoRenderingInActiveImage);
  EXPECT_EQ(f.BorderWidth, 4);
  EXPECT_EQ(f.InActiveEffect, TbsInactiveEffect::ieBrightness);
  // Borders 4, 30, 4, 4; top middle 168 pixels, bottom middle 177.
  EXPECT_EQ(picture, QSize(191, 140));
  EXPECT_EQ(picture.width() - (f.ClientRect.x() + f.ClientRect.width()), 4);
  EXPECT_EQ(picture.height() - (f.ClientRect.y() + f.ClientRect.height()), 4);
  EXPECT_EQ(f.RTPoint.x() - f.LTPoint.x(), 168);
  EXPECT_EQ(f.RBPoint.x() - f.LBPoint.x(), 177);

  // Caption buttons laid out from the caption rectangle's right edge: close,
  // then minimize-to-tray (the others are hidden); the system-menu button at its left.
  const int W = 254;
  const auto& close = Object<TbsDataSkinAnimate>("CloseAnimate");
  const auto& tray = Object<TbsDataSkinAnimate>("trayanimate");
  const auto& sys = Object<TbsDataSkinAnimate>("sysmenuanimate");
  for (const TbsDataSkinAnimate* a : {&close, &tray, &sys, &Object<TbsDataSkinAnimate>("MaxAnimate"),
                                      &Object<TbsDataSkinAnimate>("MinAnimate"), &Object<TbsDataSkinAnimate>("RollUpAnimate")}) {
    EXPECT_TRUE(a->SkinRectInAPicture && a->ButtonStyle);
    EXPECT_EQ(a->CountFrames, 7);
    EXPECT_EQ(a->TimerInterval, 25);
    EXPECT_EQ(a->SkinRect.size(), QSize(14, 14));
    const QImage& own = data_->SkinPicture(a->ActivePictureIndex)->Image;
    EXPECT_LE(a->ActiveSkinRect.x() + 7 * a->SkinRect.width(), own.width());
  }
  EXPECT_EQ(close.Command, TbsStdCommand::cmClose);
  EXPECT_EQ(tray.Command, TbsStdCommand::cmMinimizeToTray);
  EXPECT_EQ(sys.Command, TbsStdCommand::cmSysMenu);
  const int rowRight = f.CaptionRect.x() + f.CaptionRect.width() + (W - picture.width());
  const int closeLeft = rowRight - close.SkinRect.width();
  EXPECT_EQ(closeLeft, W - 21);
  EXPECT_EQ(rowRight, W - 7);
  const int trayRight = closeLeft - f.ButtonsOffset;
  EXPECT_EQ(trayRight - tray.SkinRect.width(), W - 36);
  EXPECT_EQ(trayRight, W - 22);
  const int sysTop = f.CaptionRect.y() + f.CaptionRect.height() / 2 - sys.SkinRect.height() / 2;
  EXPECT_EQ(sysTop, 9);
  EXPECT_EQ(f.CaptionRect.x() + sys.SkinRect.width(), 21);

  // The caption text area runs from 34 to W - 50 from y 7; its plate is 27 wider and starts 13 left.
  const auto& caption = Object<TbsDataSkinCaption>("caption");
  const QRect object(21, caption.SkinRect.y(), (W - 36) - 21, caption.SkinRect.height());
  EXPECT_EQ(object.y(), 5);
  EXPECT_EQ(object.y() + object.height(), 24);
  const int left = object.x() + caption.TextRect.x() + caption.FrameTextRect.x();
  const int right = object.x() + caption.TextRect.x() + caption.TextRect.width() + (object.width() - caption.SkinRect.width()) +
                    (caption.FrameTextRect.x() + caption.FrameTextRect.width()) - caption.FrameRect.width();
  EXPECT_EQ(left, 34);
  EXPECT_EQ(right, W - 50);
  EXPECT_EQ(object.y() + caption.TextRect.y() + caption.FrameTextRect.y(), 7);
  EXPECT_EQ(caption.FrameRect.width() - caption.FrameTextRect.width(), 27);
  EXPECT_EQ(caption.FrameTextRect.x(), 13);
  EXPECT_EQ(caption.ActiveFontColor, 0);
  EXPECT_EQ(caption.FontColor, 8421504);
}

TEST_F(BuiltinSkin, MenuAndPopupWindow)
{
  const TbsDataSkinPopupWindow& popup = data_->PopupWindowData();
  const QImage& window = data_->SkinPicture(popup.WindowPictureIndex)->Image;
  EXPECT_EQ(window.size(), QSize(67, 59));
  const auto& item = Object<TbsDataSkinMenuItem>("MENUITEM");
  EXPECT_EQ(item.SkinRect.height(), 18);
  EXPECT_EQ(item.DividerRect.height(), 9);
  // Two items and a separator: 18 + 9 + 18 + 59 - 49.
  EXPECT_EQ(popup.ItemsRect.height(), 49);
  EXPECT_EQ(18 + 9 + 18 + window.height() - popup.ItemsRect.height(), 55);
  EXPECT_EQ(data_->HintWindowData().WindowPictureIndex, 3);
}

TEST_F(BuiltinSkin, ControlValuesTheWindowsRelyOn)
{
  const auto& button = Control<TbsDataSkinButtonControl>("button");
  EXPECT_EQ(button.SkinRect, SkinRect(2, 3, 36, 31));
  EXPECT_EQ(button.ActiveSkinRect, SkinRect(70, 3, 104, 31));
  EXPECT_EQ(button.DownSkinRect, SkinRect(36, 3, 70, 31));
  EXPECT_TRUE(button.DisabledSkinRect.isEmpty());
  EXPECT_EQ(button.RTPoint, QPoint(24, 16));
  EXPECT_EQ(button.RBPoint, QPoint(0, 0));
  EXPECT_EQ(button.DisabledFontColor, 8421504);
  EXPECT_EQ(button.FontColor | button.ActiveFontColor | button.DownFontColor, 0);
  EXPECT_FALSE(button.Morphing);
  const auto& toolbutton = Control<TbsDataSkinButtonControl>("toolbutton");
  EXPECT_EQ(toolbutton.SkinRect, SkinRect(282, 156, 313, 182));
  EXPECT_EQ(toolbutton.ActiveSkinRect, SkinRect(314, 156, 345, 182));
  EXPECT_EQ(toolbutton.DownSkinRect, SkinRect(346, 156, 377, 182));
  EXPECT_EQ(toolbutton.DisabledFontColor, 0);

  const auto& statusbar = Control<TbsDataSkinPanelControl>("statusbar");
  EXPECT_EQ(statusbar.PictureIndex, 4);
  EXPECT_EQ(statusbar.MaskPictureIndex, -1);
  EXPECT_EQ(statusbar.SkinRect, SkinRect(197, 183, 258, 206));
  EXPECT_EQ(statusbar.LTPoint, QPoint(10, 12));
  EXPECT_EQ(statusbar.RTPoint, QPoint(50, 11));
  EXPECT_EQ(statusbar.ClientRect, SkinRect(9, 3, 52, 21));
  EXPECT_TRUE(statusbar.CaptionRect.isEmpty());
  EXPECT_EQ(statusbar.Alignment, TbsAlignment::taCenter);
  EXPECT_EQ(statusbar.FontName, "Arial");
  EXPECT_EQ(statusbar.FontHeight, 12);
  EXPECT_EQ(statusbar.FontStyle, 0);
  EXPECT_TRUE(statusbar.CheckImageRect.isEmpty() && statusbar.UnCheckImageRect.isEmpty());
  const auto& toolpanel = Control<TbsDataSkinPanelControl>("toolpanel");
  EXPECT_EQ(toolpanel.SkinRect, SkinRect(210, 275, 259, 305));
  EXPECT_EQ(toolpanel.ClientRect, SkinRect(2, 2, 47, 28));
  const auto& statuspanel = Control<TbsDataSkinLabelControl>("statuspanel");
  EXPECT_EQ(statuspanel.SkinRect.width() - statuspanel.ClientRect.width(), 4);
  const auto& statusedit = Control<TbsDataSkinEditControl>("statusedit");
  EXPECT_EQ(statusedit.SkinRect, SkinRect(260, 187, 305, 204));
  EXPECT_EQ(statusedit.ClientRect, SkinRect(1, 2, 43, 16));
  EXPECT_EQ(statusedit.DisabledFontColor, 8421504);
  const auto& combobox = Control<TbsDataSkinComboBox>("combobox");
  EXPECT_EQ(combobox.ButtonRect, SkinRect(47, 2, 61, 18));
  EXPECT_EQ(combobox.ListBoxName, "listbox");
  const auto& listbox = Control<TbsDataSkinListBox>("listbox");
  EXPECT_EQ(listbox.ItemRect, SkinRect(56, 163, 103, 182));
  EXPECT_EQ(listbox.BothScrollBarName, "bothhscrollbar");
  const auto& vscroll = Control<TbsDataSkinScrollBarControl>("vscrollbar");
  EXPECT_EQ(vscroll.UpButtonRect, SkinRect(2, 38, 15, 51));
  EXPECT_EQ(vscroll.ThumbRect, SkinRect(250, 123, 263, 137));
  EXPECT_EQ(vscroll.ThumbOffset1, 5);
  EXPECT_EQ(Control<TbsDataSkinListView>("listview").BGColor, 15256238);
  const auto& stdlabel = Control<TbsDataSkinStdLabelControl>("stdlabel");
  EXPECT_EQ(stdlabel.ActiveFontColor, 16711680);
  EXPECT_EQ(stdlabel.FontHeight, 14);

  // Heights the windows take from the skin, and how each control stretches.
  EXPECT_EQ(button.SkinRect.height(), 28);
  EXPECT_EQ(statusbar.SkinRect.height(), 23);
  EXPECT_EQ(statuspanel.SkinRect.height(), 17);
  EXPECT_EQ(statusedit.SkinRect.height(), 17);
  EXPECT_EQ(combobox.SkinRect.height(), 20);
  EXPECT_EQ(toolpanel.SkinRect.height(), 30);
  for (const char* name : {"button", "toolpanel", "toolbutton", "statusbar", "statuspanel", "statusedit", "edit", "combobox",
                           "hscrollbar", "bothhscrollbar"})
    EXPECT_STREQ(StretchMode(Control<TbsDataSkinCustomControl>(name)), "smHorizontal") << name;
  for (const char* name : {"listbox", "resizebutton", "panel"})
    EXPECT_STREQ(StretchMode(Control<TbsDataSkinCustomControl>(name)), "smBoth") << name;
  EXPECT_STREQ(StretchMode(vscroll), "smVertical");
}

TEST_F(BuiltinSkin, EveryPictureRectangleLiesInItsPicture)
{
  // No definition has a mask, and every skin rectangle is inside its picture.
  for (const auto& c : data_->SkinControls()) {
    SCOPED_TRACE(c->IDName.toStdString());
    EXPECT_EQ(c->MaskPictureIndex, -1);
    if (c->SkinRect.isEmpty()) continue;
    const TbsSkinPicture* picture = data_->SkinPicture(c->PictureIndex);
    ASSERT_NE(picture, nullptr);
    EXPECT_TRUE(picture->Image.rect().contains(c->SkinRect));
  }
  for (const auto& o : data_->SkinObjects()) {
    SCOPED_TRACE(o->IDName.toStdString());
    const TbsSkinPicture* own = data_->SkinPicture(o->ActivePictureIndex);
    ASSERT_NE(own, nullptr);
    const QImage& where = o->SkinRectInAPicture ? own->Image : data_->FramePicture().Image;
    EXPECT_TRUE(where.rect().contains(o->SkinRect));
    if (!o->ActiveSkinRect.isEmpty()) {
      EXPECT_TRUE(own->Image.rect().contains(o->ActiveSkinRect));
    }
  }
}

#ifdef VELMORA_SKIN_GENERATOR
#include <QProcess>

TEST(BuiltinSkinGenerator, CommittedFolderIsWhatTheGeneratorDraws)
{
  QProcess generator;
  generator.start(QStringLiteral(VELMORA_SKIN_GENERATOR), {"--check", kFolder});
  ASSERT_TRUE(generator.waitForFinished(60000));
  EXPECT_EQ(generator.exitCode(), 0) << generator.readAllStandardError().toStdString();
}
#endif
