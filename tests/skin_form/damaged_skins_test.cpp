// Damaged skins: values that make widths zero or negative, picture indexes
// out of range, frame counts below 1, odd frame points. The frame loads or
// falls back, paints at several sizes, hovers, animates and presses every
// object, and never loops or reads outside a picture.
#include "skinned_window.h"
#include "support/qt_printers.h"

#include <gtest/gtest.h>

namespace {
using Edit = std::pair<QByteArray, QByteArray>;

// Everything a user can do to the frame, at the minimum size and larger.
void Exercise(SkinnedWindow& w)
{
  w.Activate(true);
  for (QSize size : {QSize(1, 1), QSize(254, 534), QSize(700, 120)}) {
    w.Form->SetBounds(100, 100, size.width(), size.height());
    w.Render();
    for (int i = 0; i < int(w.Frame->Objects().size()); ++i) {
      const TbsActiveSkinObject* o = w.Frame->Object(i);
      if (!o || !o->Visible || o->ObjectRect.isEmpty()) continue;
      const QPoint p = o->ObjectRect.center();
      w.MoveTo(p);
      for (int tick = 0; tick < 200 && w.Frame->AnimationTimerActive(); ++tick) w.Frame->AnimationTick();
      EXPECT_FALSE(w.Frame->AnimationTimerActive()) << "a hover animation ends";
      for (int tick = 0; tick < 20 && w.Frame->MorphTimerActive(); ++tick) w.Frame->MorphTick();
      EXPECT_FALSE(w.Frame->MorphTimerActive()) << "a morph ends";
      w.Render();
    }
    w.Activate(false);
    w.Render();
    w.Activate(true);
  }
}
} // namespace

TEST(DamagedSkins, OddValuesLoadAndPaintWithoutLoopingOrReadingOutside)
{
  const std::vector<std::vector<Edit>> damages = {
      {{"countframes=7", "countframes=0"}},
      {{"countframes=7", "countframes=-3"}, {"timerinterval=25", "timerinterval=-10"}},
      {{"activepictureindex=2", "activepictureindex=99"}},
      {{"activepictureindex=2", "activepictureindex=-7"}},
      {{"activeskinrect=0,0,98,14", "activeskinrect=5000,5000,5098,5014"}},
      {{"skinrect=0,0,14,14", "skinrect=0,0,0,0"}},
      {{"skinrect=0,0,14,14", "skinrect=0,0,60000,60000"}},
      {{"framerect=0,90,40,109", "framerect=0,90,0,109"}},
      {{"frameleftoffset=12", "frameleftoffset=900"}, {"framerightoffset=12", "framerightoffset=900"}},
      {{"frametextrect=13,2,26,17", "frametextrect=0,0,500,17"}},
      {{"textrect=0,0,134,19", "textrect=0,0,60000,19"}},
      {{"clientrect=4,30,187,136", "clientrect=0,0,0,0"}},
      {{"clientrect=4,30,187,136", "clientrect=0,0,5000,5000"}},
      {{"righttoppoint=178,30", "righttoppoint=0,0"}, {"rightbottompoint=184,133", "rightbottompoint=0,0"}},
      {{"lefttoppoint=10,30", "lefttoppoint=190,139"}},
      {{"buttonsoffset=1", "buttonsoffset=-100"}},
      {{"borderwidth=4", "borderwidth=-5"}},
      {{"captionrect=7,9,184,24", "captionrect=0,0,0,0"}},
      {{"buttonsrect=0,0,0,0", "buttonsrect=150,0,20,10"}, {"buttonsinleft=0", "buttonsinleft=1"}},
      {{"bgpictureindex=-1", "bgpictureindex=4000"}},
      {{"[SKINOBJECTS]\r\ncount=13", "[SKINOBJECTS]\r\ncount=4000"}},
  };
  for (const auto& damage : damages) {
    SCOPED_TRACE(damage.front().second.toStdString());
    SkinnedWindow w(EditedSkinBlock(damage));
    Exercise(w);
    const QMargins m = w.Form->NonClientMargins();
    EXPECT_GE(std::min({m.left(), m.top(), m.right(), m.bottom()}), 0);
    for (const auto& o : w.Frame->Objects()) {
      if (auto* a = dynamic_cast<const TbsSkinAnimateObject*>(o.get())) {
        EXPECT_GE(a->CountFrames, 1);
        EXPECT_GE(a->Interval, TbsSkinAnimateObject::kTick);
      }
      // An index that names no picture leaves the object without one.
      if (o->PictureIndex != -1) {
        EXPECT_NE(o->Picture(), nullptr);
      } else {
        EXPECT_TRUE(o->ActiveSkinRect.isEmpty());
      }
    }
  }
}

TEST(DamagedSkins, ObjectsInASideBandAreDrawnWhereTheyAre)
{
  // A user object and a plain button in the left band, below the caption.
  SkinnedWindow w(EditedSkinBlock({ObjectCount(15),
                                   {"12=trayanimate:animate\r\n",
                                    "12=trayanimate:animate\r\n13=side:userobject\r\n14=sidebutton:button\r\n\r\n"
                                    "[side]\r\nskinrect=0,100,4,120\r\n\r\n[sidebutton]\r\nactivepictureindex=2\r\n"
                                    "skinrect=0,60,4,74\r\nactiveskinrect=84,0,88,14\r\n"}}));
  std::vector<QRect> painted;
  w.Frame->SetOnPaintEvent([&](TObject*, QString name, TCanvas* canvas, QRect rect) {
    painted.push_back(rect);
    canvas->Brush()->SetColor(clLime);
    canvas->FillRect(rect);
    EXPECT_EQ(name, "side");
  });
  w.Activate(true);
  w.Frame->Object("sidebutton")->Active = true;  // its hot look, from its own picture
  const QImage img = w.Render();
  ASSERT_EQ(painted.size(), 1u);
  EXPECT_EQ(painted[0], QRect(0, 100, 4, 20));
  EXPECT_EQ(QColorToColor(img.pixelColor(1, 105)), clLime);
  EXPECT_EQ(QColorToColor(img.pixelColor(3, 119)), clLime);
  const QImage& picture = w.Data->SkinPictures()[2].Image;
  for (QPoint p : {QPoint(1, 67), QPoint(3, 61), QPoint(0, 73)})
    EXPECT_EQ(QColorToColor(img.pixelColor(p)), QColorToColor(picture.pixelColor(84 + p.x(), p.y() - 60))) << p;
}
