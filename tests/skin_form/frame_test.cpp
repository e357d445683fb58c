// The skinned frame over the built-in skin: geometry, painting, hit-testing,
// region, activation, the default frame and the client background.
#include "skinned_window.h"
#include "support/qt_printers.h"

#include <QApplication>
#include <QMouseEvent>
#include <gtest/gtest.h>

namespace {
TColor Pixel(const QImage& image, int x, int y) { return QColorToColor(image.pixelColor(x, y)); }

// The frame picture's pixel, as drawn (the picture converted like the frame draws it).
TColor PicturePixel(const SkinnedWindow& w, int x, int y)
{
  return QColorToColor(w.Data->FramePicture().Image.pixelColor(x, y));
}

QRect Edges(int l, int t, int r, int b) { return SkinRect(l, t, r, b); }
} // namespace

TEST(FrameGeometry, BuiltInSkinWrapsA246By500ClientIn254By534)
{
  SkinnedWindow w;
  ASSERT_TRUE(w.Frame->SkinInUse());
  EXPECT_EQ(w.Form->Width(), 254);
  EXPECT_EQ(w.Form->Height(), 534);
  EXPECT_EQ(w.Form->NonClientMargins(), QMargins(4, 30, 4, 4));
  EXPECT_EQ(w.Form->ClientRect().size(), QSize(246, 500));
  const TbsFrameGeometry& g = w.Frame->Geometry();
  // The top band's 168-pixel middle (10..178 in the picture) stretches to 231.
  EXPECT_EQ(g.Target.RT.x() - g.Target.LT.x(), 231);
  EXPECT_EQ(g.Target.ClientRect, Edges(4, 30, 250, 530));
  EXPECT_EQ(w.Frame->MinimumSize(), QSize(191, 34));

  // Painted: the corner pieces are the picture's own, the bands sit where they belong.
  w.Activate(true);
  const QImage img = w.Render();
  const int W = 254, H = 534, dx = W - 191, dy = H - 140;
  for (QPoint p : {QPoint(0, 0), QPoint(9, 29), QPoint(2, 12)}) EXPECT_EQ(Pixel(img, p.x(), p.y()), PicturePixel(w, p.x(), p.y())) << p;
  for (QPoint p : {QPoint(178, 0), QPoint(190, 29), QPoint(186, 20)})
    EXPECT_EQ(Pixel(img, p.x() + dx, p.y()), PicturePixel(w, p.x(), p.y())) << p;
  for (QPoint p : {QPoint(0, 139), QPoint(190, 139), QPoint(3, 136)})
    EXPECT_EQ(Pixel(img, p.x() < 100 ? p.x() : p.x() + dx, p.y() + dy), PicturePixel(w, p.x(), p.y())) << p;
  // Stretched, not tiled: the middle's last column lands at the band's stretched end.
  EXPECT_EQ(Pixel(img, 10 + 231 - 1, 1), PicturePixel(w, 177, 1));
}

TEST(FrameGeometry, CaptionButtonsAndCaptionOfTheMainWindow)
{
  SkinnedWindow w;
  w.Frame->SetBorderIcons(TbsSkinForm::TbsBorderIcons(TbsSkinForm::biSystemMenu | TbsSkinForm::biMinimizeToTray));
  const int W = w.Form->Width();
  auto rect = [&](const char* name) { return w.Frame->Object(QString::fromLatin1(name))->ObjectRect; };
  auto visible = [&](const char* name) { return w.Frame->Object(QString::fromLatin1(name))->Visible; };
  EXPECT_EQ(rect("CloseAnimate"), Edges(W - 21, 9, W - 7, 23));
  EXPECT_EQ(rect("trayanimate"), Edges(W - 36, 9, W - 22, 23));
  EXPECT_EQ(rect("sysmenuanimate"), Edges(7, 9, 21, 23));
  EXPECT_TRUE(visible("CloseAnimate") && visible("trayanimate") && visible("sysmenuanimate"));
  EXPECT_FALSE(visible("MaxAnimate") || visible("MinAnimate") || visible("RollUpAnimate"));
  // Menu objects belong to menus: no caption object for them.
  EXPECT_EQ(w.Frame->ObjectIndex("MENUITEM"), -1);
  EXPECT_EQ(w.Frame->ObjectIndex("menubarclosebutton"), -1);

  TbsSkinCaptionObject* caption = w.Frame->CaptionObject();
  ASSERT_TRUE(caption);
  EXPECT_EQ(caption->ObjectRect, Edges(21, 5, W - 36, 24));
  EXPECT_EQ(caption->TextArea(), Edges(34, 7, W - 50, 24));
  w.Activate(true);
  w.Render();
  const auto& layout = caption->LastLayout();
  EXPECT_EQ(layout.Text, w.Form->Caption());
  EXPECT_EQ(layout.Plate.width(), layout.TextBounds.width() + 27);
  EXPECT_EQ(layout.Plate.x(), layout.TextBounds.x() - 13);

  // The record window's icons: close and system menu only.
  w.Frame->SetBorderIcons(TbsSkinForm::biSystemMenu);
  EXPECT_TRUE(visible("CloseAnimate") && visible("sysmenuanimate"));
  EXPECT_FALSE(visible("trayanimate"));
  EXPECT_EQ(caption->ObjectRect.right() + 1, W - 21);
}

TEST(HitTest, EdgesCaptionObjectsAndClient)
{
  SkinnedWindow w;
  const int W = w.Form->Width(), H = w.Form->Height();
  EXPECT_EQ(w.HitAt({W - 3, H / 2}), HTRIGHT);
  EXPECT_EQ(w.HitAt({1, H / 2}), HTLEFT);
  EXPECT_EQ(w.HitAt({W / 2, H - 2}), HTBOTTOM);
  EXPECT_EQ(w.HitAt({W / 2, 1}), HTTOP);
  EXPECT_EQ(w.HitAt({1, 1}), HTTOPLEFT);
  EXPECT_EQ(w.HitAt({W - 2, H - 2}), HTBOTTOMRIGHT);
  EXPECT_EQ(w.HitAt({W / 2, 15}), HTCAPTION);
  EXPECT_EQ(w.HitAt({W - 14, 15}), HTOBJECT);  // the close button
  EXPECT_EQ(w.Frame->HitTest({W / 2, H / 2}), HTCLIENT);

  // Without a border width no point is near an edge; a dialog never sizes.
  SkinnedWindow thin(EditedSkinBlock({{"borderwidth=4", "borderwidth=0"}}));
  EXPECT_EQ(thin.HitAt({W - 3, H / 2}), HTOBJECT);
  SkinnedWindow dialog(BuiltinSkinBlock(), TForm::bsDialog);
  EXPECT_EQ(dialog.HitAt({W - 3, H / 2}), HTOBJECT);
  EXPECT_EQ(dialog.HitAt({1, 1}), HTOBJECT);
}

TEST(HitTest, TheCursorShowsWhatAPressWouldDo)
{
  SkinnedWindow w;
  w.Activate(true);
  QWidget* widget = w.Form->Handle();
  const int W = w.Form->Width(), H = w.Form->Height();
  w.MoveTo({W - 2, H / 2});
  EXPECT_EQ(widget->cursor().shape(), Qt::SizeHorCursor);
  w.MoveTo({W - 2, H - 2});
  EXPECT_EQ(widget->cursor().shape(), Qt::SizeFDiagCursor);
  w.MoveTo({W / 2, 1});
  EXPECT_EQ(widget->cursor().shape(), Qt::SizeVerCursor);
  w.MoveTo({120, 15});
  EXPECT_EQ(widget->cursor().shape(), Qt::ArrowCursor);
}

// The other two corners, and the last pixel of each corner zone: the built-in
// skin's hit points are 184,7 (top right) and 7,132 (bottom left) of its
// 191 x 140 picture, carried to the window's right and bottom edges.
TEST(HitTest, TheTopRightAndBottomLeftCornersEndAtTheSkinsHitPoints)
{
  SkinnedWindow w;
  const int W = w.Form->Width(), H = w.Form->Height();
  const int rightX = 184 + (W - 191), bottomY = 132 + (H - 140);
  EXPECT_EQ(w.HitAt({W - 2, 1}), HTTOPRIGHT);
  EXPECT_EQ(w.HitAt({rightX, 1}), HTTOPRIGHT);
  EXPECT_EQ(w.HitAt({rightX - 1, 1}), HTTOP);
  EXPECT_EQ(w.HitAt({W - 2, 7}), HTTOPRIGHT);
  EXPECT_EQ(w.HitAt({W - 2, 8}), HTRIGHT);

  EXPECT_EQ(w.HitAt({1, H - 2}), HTBOTTOMLEFT);
  EXPECT_EQ(w.HitAt({7, H - 2}), HTBOTTOMLEFT);
  EXPECT_EQ(w.HitAt({8, H - 2}), HTBOTTOM);
  EXPECT_EQ(w.HitAt({1, bottomY}), HTBOTTOMLEFT);
  EXPECT_EQ(w.HitAt({1, bottomY - 1}), HTLEFT);
}

TEST(HitTest, HitPointsOutsideEveryZoneGiveTheOrdinaryAnswer)
{
  // Corner points that leave the right edge in no zone: the point is near the
  // edge but falls through to the caption/object/client answer.
  SkinnedWindow w(EditedSkinBlock({{"hittestrighttoppoint=184,7", "hittestrighttoppoint=500,300"}}));
  const int W = w.Form->Width(), H = w.Form->Height();
  EXPECT_EQ(w.HitAt({W - 3, H / 2}), HTOBJECT);
}

TEST(MoveSize, DraggingTheCaptionMovesTheEdgeSizesWithinTheLimits)
{
  SkinnedWindow w;
  w.Form->Show();
  QWidget* widget = w.Form->Handle();
  auto send = [&](QEvent::Type type, QPoint windowPoint, Qt::MouseButton b, Qt::MouseButtons bs) {
    const QPoint global = w.Screen(windowPoint);
    QMouseEvent e(type, QPointF(widget->mapFromGlobal(global)), QPointF(global), b, bs, Qt::NoModifier);
    QApplication::sendEvent(widget, &e);
  };
  const QPoint start = w.Form->BoundsRect().topLeft();
  send(QEvent::MouseButtonPress, {120, 15}, Qt::LeftButton, Qt::LeftButton);
  EXPECT_TRUE(w.Frame->InMoveSize());
  send(QEvent::MouseMove, {150, 55}, Qt::NoButton, Qt::LeftButton);
  send(QEvent::MouseButtonRelease, {150, 55}, Qt::LeftButton, Qt::NoButton);
  EXPECT_FALSE(w.Frame->InMoveSize());
  EXPECT_EQ(w.Form->BoundsRect().topLeft(), start + QPoint(30, 40));
  EXPECT_EQ(w.Form->Width(), 254);

  // The right edge, dragged far left, stops at the picture's width.
  const int H = w.Form->Height();
  send(QEvent::MouseButtonPress, {253, H / 2}, Qt::LeftButton, Qt::LeftButton);
  send(QEvent::MouseMove, {100, H / 2}, Qt::NoButton, Qt::LeftButton);
  send(QEvent::MouseButtonRelease, {100, H / 2}, Qt::LeftButton, Qt::NoButton);
  EXPECT_EQ(w.Form->Width(), 191);
  EXPECT_EQ(w.Form->BoundsRect().topLeft(), start + QPoint(30, 40));
  // The objects followed the new size.
  EXPECT_EQ(w.Frame->Object("CloseAnimate")->ObjectRect.right() + 1, 191 - 7);
}

TEST(Activation, CaptionColourFollowsTheFormAndTheEventsFire)
{
  SkinnedWindow w;
  QStringList log;
  w.Frame->SetOnActivate([&](TObject*) { log << "activate"; });
  w.Frame->SetOnDeActivate([&](TObject*) { log << "deactivate"; });
  w.Activate(true);
  w.Render();
  EXPECT_EQ(w.Frame->CaptionObject()->LastLayout().Color, 0);
  const QImage active = w.Render();
  w.Activate(false);
  w.Render();
  EXPECT_EQ(w.Frame->CaptionObject()->LastLayout().Color, 8421504);
  // The frame picture itself stays (no inactive picture, no automatic rendering).
  const QImage inactive = w.Render();
  EXPECT_EQ(Pixel(inactive, 2, 2), Pixel(active, 2, 2));
  EXPECT_EQ(Pixel(inactive, 100, 3), Pixel(active, 100, 3));
  EXPECT_EQ(log, QStringList({"activate", "deactivate"}));
}

TEST(Activation, AutomaticInactiveRenderingAppliesTheSkinsEffect)
{
  SkinnedWindow w(EditedSkinBlock({{"autorenderinginactiveimage=0", "autorenderinginactiveimage=1"},
                                   {"inactiveeffect=iebrightness", "inactiveeffect=ieinvert"}}));
  w.Activate(true);
  const QImage active = w.Render();
  w.Activate(false);
  const QImage inactive = w.Render();
  for (QPoint p : {QPoint(2, 2), QPoint(100, 3), QPoint(1, 300), QPoint(120, 532)}) {
    const TColor a = Pixel(active, p.x(), p.y()), i = Pixel(inactive, p.x(), p.y());
    EXPECT_EQ(i, RGB(255 - GetRValue(a), 255 - GetGValue(a), 255 - GetBValue(a))) << p;
  }
}

TEST(Region, TheMaskCutsTheWindowAndItsTransparentEdgeSizes)
{
  // A mask as large as the frame picture, black but for a 10 x 10 transparent top-left corner.
  TbsCompressedStoredSkin stored(nullptr);
  stored.SetCompressedData(BuiltinSkinBlock());
  const QByteArray container = stored.Inflate();
  TbsSkinData source(nullptr);
  source.LoadFromContainer(container);
  QImage mask(source.FramePicture().Image.size(), QImage::Format_RGB888);
  mask.fill(Qt::black);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x) mask.setPixel(x, y, qRgb(255, 255, 255));
  QByteArray text = container.mid(container.indexOf("[VERSION]"));
  text.replace("mask=\r\n", "mask=mask.bmp\r\n");
  const QByteArray block = DeflateSkin(BuildSkinContainer(source.FramePicture(), TbsSkinPicture(), TbsSkinPicture{mask, 24},
                                                          source.SkinPictures(), QString::fromLatin1(text).split(QStringLiteral("\r\n"))));
  SkinnedWindow w(block);
  ASSERT_TRUE(w.Frame->SkinInUse());
  const QRegion region = w.Form->WindowRegion();
  EXPECT_FALSE(region.contains(QPoint(1, 1)));
  EXPECT_TRUE(region.contains(QPoint(12, 12)));
  EXPECT_TRUE(region.contains(QPoint(w.Form->Width() - 1, w.Form->Height() - 1)));
  EXPECT_TRUE(region.contains(QPoint(100, 300)));  // the mask-free client area
  // Beside the transparent corner the border sizes; without a mask it does not.
  EXPECT_EQ(w.HitAt({12, 5}), HTTOP);
  SkinnedWindow plain;
  EXPECT_EQ(plain.HitAt({12, 5}), HTOBJECT);
  // A skin without a mask takes the region away again.
  w.Stored->SetCompressedData(BuiltinSkinBlock());
  w.Data->LoadFromStoredSkin(w.Stored);
  EXPECT_TRUE(w.Form->WindowRegion().isEmpty());
}

TEST(DefaultFrame, WithoutASkinPlainBordersCaptionAndButtons)
{
  SkinnedWindow w{QByteArray()};
  EXPECT_FALSE(w.Frame->SkinInUse());
  EXPECT_EQ(w.Form->NonClientMargins(), QMargins(3, 22, 3, 3));
  EXPECT_EQ(w.Form->ClientRect().size(), QSize(246, 500));
  w.Frame->SetBorderIcons(TbsSkinForm::TbsBorderIcons(TbsSkinForm::biSystemMenu | TbsSkinForm::biMinimizeToTray));
  const int W = w.Form->Width();
  EXPECT_EQ(w.Frame->Object("closebutton")->ObjectRect, QRect(W - 20, 4, 17, 17));
  EXPECT_EQ(w.Frame->Object("traybutton")->ObjectRect, QRect(W - 37, 4, 17, 17));
  EXPECT_EQ(w.Frame->Object("sysmenubutton")->ObjectRect, QRect(3, 4, 17, 17));
  EXPECT_FALSE(w.Frame->Object("maxbutton")->Visible);
  w.Activate(true);
  const QImage img = w.Render();
  EXPECT_EQ(Pixel(img, 0, 0), ColorToRGB(cl3DLight));
  EXPECT_EQ(Pixel(img, W - 1, 100), ColorToRGB(cl3DDkShadow));
  EXPECT_EQ(Pixel(img, 1, 100), ColorToRGB(clBtnHighlight));
  EXPECT_EQ(Pixel(img, W - 2, 100), ColorToRGB(clBtnShadow));
  EXPECT_EQ(Pixel(img, 2, 100), ColorToRGB(clBtnFace));
  EXPECT_EQ(Pixel(img, 25, 5), ColorToRGB(clBtnShadow));       // first grip line
  EXPECT_EQ(Pixel(img, 25, 6), ColorToRGB(clBtnHighlight));
  EXPECT_EQ(w.HitAt({W - 10, 10}), HTOBJECT);
  EXPECT_EQ(w.HitAt({W / 2, 10}), HTCAPTION);
  EXPECT_EQ(w.HitAt({W - 1, 200}), HTRIGHT);
  // Hovered, the close button gets its frame and fill.
  w.MoveTo({W - 10, 10});
  const QImage hot = w.Render();
  EXPECT_EQ(Pixel(hot, W - 20, 4), 0x800000);
  EXPECT_EQ(Pixel(hot, W - 19, 5), 13811126);
}

TEST(ClientBackground, TiledFromTheFramePictureWithTheLogoCentred)
{
  SkinnedWindow w;
  const QImage img = w.Render();
  // The client area repeats the picture's client rectangle (4,30)-(187,136).
  EXPECT_EQ(Pixel(img, 4 + 5, 30 + 5), PicturePixel(w, 4 + 5, 30 + 5));
  EXPECT_EQ(Pixel(img, 4 + 183 + 5, 30 + 106 + 5), PicturePixel(w, 4 + 5, 30 + 5));
  TBitmap logo;
  logo.SetSize(10, 6);
  logo.Canvas()->Brush()->SetColor(clRed);
  logo.Canvas()->FillRect(QRect(0, 0, 10, 6));
  w.Frame->SetLogoBitMap(&logo);
  const QImage withLogo = w.Render();
  EXPECT_EQ(Pixel(withLogo, 4 + 123 - 5, 30 + 250 - 3), clRed);
  EXPECT_NE(Pixel(withLogo, 4 + 123 - 6, 30 + 250 - 3), clRed);
  w.Frame->SetLogoBitMapStretch(true);
  const QImage stretched = w.Render();
  EXPECT_EQ(Pixel(stretched, 5, 31), clRed);
  EXPECT_EQ(Pixel(stretched, 249, 529), clRed);
}

TEST(Lifetime, LosingTheSkinDataOrTheFrameKeepsTheClientArea)
{
  SkinnedWindow w;
  TComponent::Free(w.Data);
  w.Data = nullptr;
  EXPECT_FALSE(w.Frame->SkinInUse());
  EXPECT_EQ(w.Form->NonClientMargins(), QMargins(3, 22, 3, 3));
  EXPECT_EQ(w.Form->ClientRect().size(), QSize(246, 500));
  w.Render();
  // Without the component the window goes back to the window system's frame.
  TComponent::Free(w.Frame);
  w.Frame = nullptr;
  EXPECT_FALSE(w.Form->OwnFrame());
  EXPECT_EQ(w.Form->NonClientMargins(), QMargins());
  EXPECT_EQ(w.Form->ClientRect().size(), QSize(246, 500));
  // Its hook stays harmless: messages go on to the form.
  EXPECT_EQ(w.Form->SendMessage(WM_NCHITTEST, 0, MakeMouseLParam(-5000, -5000)), HTNOWHERE);
}
