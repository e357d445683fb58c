// Binding a control to a skin definition: look-up, fitting the skin rectangle
// to the control's size, painting, and the skin coming and going.
#include "skin/skin_control_notices.h"
#include "skin_controls/skin_buttons.h"
#include "skin_controls/skin_control.h"
#include "skin_controls/skin_labels.h"
#include "skin_controls/skin_panels.h"
#include "skin_controls_support.h"
#include "support/qt_printers.h"

#include <QRandomGenerator>
#include <gtest/gtest.h>

using namespace skin_test;

namespace {

QSize SizeOf(const TControl* c) { return QSize(c->Width(), c->Height()); }

const QStringList kEntries = {"hstrip:panel", "fixed:panel", "huge:panel", "badpic:panel", "vstrip:panel",
                              "both:panel",   "masked:panel"};
const QStringList kSections = {
    "[hstrip]", "pictureindex=0", "skinrect=0,0,20,10", "lefttoppoint=4,2", "righttoppoint=15,2",
    "clientrect=2,2,18,8",
    "[fixed]", "pictureindex=0", "skinrect=5,5,15,12",
    "[huge]", "pictureindex=0", "skinrect=0,0,100000,100000",
    "[badpic]", "pictureindex=7", "skinrect=0,0,10,10", "righttoppoint=5,5",
    "[vstrip]", "pictureindex=0", "skinrect=20,0,30,30", "lefttoppoint=2,5", "leftbottompoint=2,20",
    "clientrect=1,6,9,19",
    "[both]", "pictureindex=0", "skinrect=0,10,30,30", "lefttoppoint=4,4", "righttoppoint=26,4",
    "leftbottompoint=4,16", "rightbottompoint=26,16", "clientrect=3,3,27,17",
    "[masked]", "pictureindex=0", "maskpictureindex=1", "skinrect=0,0,8,8"};

class SkinControlBase : public testing::Test {
protected:
  void SetUp() override
  {
    form_.reset(NewForm());
    skin_ = LoadSmallSkin(form_.get(), ControlLines(kEntries, kSections));
  }
  TbsSkinCustomControl* Control(const QString& definition, QRect bounds = QRect(0, 0, 60, 40))
  {
    auto* c = new TbsSkinCustomControl(form_.get());
    c->SetParent(form_.get());
    c->SetBoundsRect(bounds);
    c->SetSkinDataName(definition);
    c->SetSkinData(skin_);
    return c;
  }
  Owned<TForm> form_;
  TbsSkinData* skin_ = nullptr;
};

TEST_F(SkinControlBase, HorizontalDefinitionKeepsItsHeightAndRepeatsTheMiddle)
{
  TbsSkinCustomControl* c = Control("hstrip");
  EXPECT_EQ(c->StretchMode(), smHorizontal);
  EXPECT_EQ(c->Height(), 10);
  c->SetBounds(0, 0, 50, 40);
  ASSERT_EQ(SizeOf(c), QSize(50, 10));
  EXPECT_EQ(c->StretchedClientRect(), SkinRect(2, 2, 48, 8));

  const QImage image = Paint(c);
  // Ends copied, the 11 middle columns repeated unscaled, the last repetition cut.
  for (int x = 0; x < 50; ++x) {
    const int source = x < 4 ? x : x >= 45 ? 15 + (x - 45) : 4 + (x - 4) % 11;
    ASSERT_EQ(QColorToColor(image.pixelColor(x, 6)), ColumnColor(source, 6)) << "column " << x;
  }

  // No width: the width stays, the height still follows the skin, nothing breaks.
  c->SetBounds(0, 0, 0, 33);
  EXPECT_EQ(SizeOf(c), QSize(0, 10));
  QImage window(300, 200, QImage::Format_RGB32);
  QPainter painter(&window);
  form_->PaintTo(painter, 0, 0);
}

TEST_F(SkinControlBase, FixedDefinitionDictatesTheSizeClippedToItsPicture)
{
  TbsSkinCustomControl* fixed = Control("fixed");
  EXPECT_EQ(fixed->StretchMode(), smFixed);
  EXPECT_EQ(SizeOf(fixed), QSize(10, 7));
  fixed->SetBounds(3, 4, 200, 1);
  EXPECT_EQ(fixed->BoundsRect(), QRect(3, 4, 10, 7));
  EXPECT_EQ(QColorToColor(Paint(fixed).pixelColor(9, 6)), ColumnColor(14, 11));

  // A rectangle far beyond the picture: the control takes only what the picture holds.
  EXPECT_EQ(SizeOf(Control("huge")), QSize(40, 30));
  // A picture index that names no picture: nothing to draw, the size stays.
  TbsSkinCustomControl* bad = Control("badpic", QRect(0, 0, 23, 17));
  EXPECT_EQ(bad->StretchMode(), smNone);
  EXPECT_EQ(SizeOf(bad), QSize(23, 17));
  EXPECT_EQ(QColorToColor(Paint(bad).pixelColor(5, 5)), ColorToRGB(clBtnFace));
}

TEST_F(SkinControlBase, NineAndVerticalPartsAndMappedRectangles)
{
  TbsSkinCustomControl* both = Control("both", QRect(0, 0, 50, 40));
  EXPECT_EQ(both->StretchMode(), smBoth);
  EXPECT_EQ(both->StretchedClientRect(), SkinRect(3, 3, 47, 37));
  const QImage image = Paint(both);
  EXPECT_EQ(QColorToColor(image.pixelColor(0, 0)), ColumnColor(0, 10));
  EXPECT_EQ(QColorToColor(image.pixelColor(49, 39)), ColumnColor(29, 29));
  // The client part is tiled from its own top-left corner.
  EXPECT_EQ(QColorToColor(image.pixelColor(3 + 24, 3)), ColumnColor(3, 13));

  TbsSkinCustomControl* v = Control("vstrip", QRect(0, 0, 77, 50));
  EXPECT_EQ(v->StretchMode(), smVertical);
  EXPECT_EQ(SizeOf(v), QSize(10, 50));
  EXPECT_EQ(v->MapSkinRect(SkinRect(1, 22, 9, 28)), SkinRect(1, 42, 9, 48));  // below: moves down
  EXPECT_EQ(v->MapSkinRect(SkinRect(1, 3, 9, 25)), SkinRect(1, 3, 9, 45));    // across: grows
  EXPECT_EQ(v->MapSkinRect(SkinRect(1, 0, 9, 4)), SkinRect(1, 0, 9, 4));      // above: stays
}

TEST_F(SkinControlBase, MissingDefinitionDrawsTheDefaultLookAtTheDefaultSize)
{
  for (const QString& name : {QStringLiteral("HStrip"), QStringLiteral("nosuchdefinition")}) {
    auto* c = new TbsSkinCustomControl(form_.get());
    c->SetParent(form_.get());
    c->SetDefaultWidth(33);
    c->SetDefaultHeight(12);
    c->SetBounds(0, 0, 60, 40);
    c->SetSkinDataName(name);
    c->SetSkinData(skin_);
    EXPECT_EQ(c->SkinControlIndex(), -1) << name.toStdString();
    EXPECT_EQ(SizeOf(c), QSize(33, 12)) << name.toStdString();
    EXPECT_EQ(QColorToColor(Paint(c).pixelColor(10, 5)), ColorToRGB(clBtnFace));
  }
}

TEST_F(SkinControlBase, SkinArrivingLaterAndSkinDestroyedWhileBound)
{
  auto* empty = new TbsSkinData(form_.get());
  auto* c = new TbsSkinCustomControl(form_.get());
  c->SetParent(form_.get());
  c->SetBounds(0, 0, 60, 40);
  c->SetSkinDataName("hstrip");
  c->SetSkinData(empty);
  EXPECT_EQ(c->Height(), 40) << "an empty skin applies nothing";

  QStringList lines = ControlLines(kEntries, kSections);
  TbsSkinData* other = LoadSmallSkin(form_.get(), lines);
  SendSkinNoticeToControls(form_.get(), SKN_CHANGE, other);
  EXPECT_EQ(c->Height(), 40) << "a notice of another skin is not for this control";

  Owned<TbsSkinData> loaded(LoadSmallSkin(nullptr, lines));
  c->SetSkinData(loaded.get());
  EXPECT_EQ(c->Height(), 10);
  SendSkinNoticeToControls(form_.get(), SKN_CHANGING, loaded.get());
  EXPECT_EQ(c->SkinControlIndex(), -1);
  SendSkinNoticeToControls(form_.get(), SKN_CHANGE, loaded.get());
  EXPECT_EQ(c->SkinControlIndex(), 0);
  EXPECT_EQ(QColorToColor(Paint(c).pixelColor(1, 1)), ColumnColor(1, 1));

  loaded.reset();
  EXPECT_EQ(c->SkinData(), nullptr);
  EXPECT_EQ(QColorToColor(Paint(c).pixelColor(1, 1)), ColorToRGB(clBtnFace));
}

TEST_F(SkinControlBase, MaskShapesTheWindow)
{
  TbsSkinCustomControl* c = Control("masked");
  EXPECT_TRUE((c->WindowRegion() ^ QRegion(0, 0, 4, 8)).isEmpty());
  c->SetSkinDataName("fixed");
  c->ApplySkinData();
  EXPECT_TRUE(c->WindowRegion().isEmpty());
}

TEST(SkinControlBuiltin, BarsAndFieldsTakeTheirSkinSizes)
{
  Owned<TForm> form(NewForm());
  form->SetBounds(0, 0, 246, 300);
  TbsSkinData* skin = LoadBuiltinSkin(form.get());
  auto* bar = new TbsSkinToolBar(form.get());
  bar->SetParent(form.get());
  bar->SetAlign(TControl::alTop);
  auto* status = new TbsSkinStatusBar(form.get());
  status->SetParent(form.get());
  auto* field = new TbsSkinStatusPanel(status);
  field->SetParent(status);
  field->SetAlign(TControl::alLeft);
  field->SetCaption(QStringLiteral("网络版请登录："));
  field->SetAutoSize(true);
  auto* top = new TbsSkinStatusPanel(status);
  top->SetParent(status);
  top->SetAlign(TControl::alTop);
  top->SetAutoSize(true);
  EXPECT_EQ(bar->Height(), 25);
  EXPECT_EQ(status->Height(), 21);

  bar->SetSkinData(skin);
  status->SetSkinData(skin);
  EXPECT_EQ(bar->Height(), 30);
  EXPECT_EQ(status->Height(), 23);
  EXPECT_EQ(status->Top(), 300 - 23);
  bar->SetHeight(25);
  EXPECT_EQ(bar->Height(), 30);
  EXPECT_EQ(field->SkinData(), skin);
  EXPECT_EQ(field->Height(), 17);

  TCanvas measure;
  measure.Font()->SetName("Arial");
  measure.Font()->SetHeight(14);
  EXPECT_EQ(field->Width(), measure.TextWidth(QStringLiteral("网络版请登录：")) + 4);
  field->SetCaption(QStringLiteral("网"));
  EXPECT_EQ(field->Width(), measure.TextWidth(QStringLiteral("网")) + 4);
  EXPECT_EQ(top->Width(), status->Width() - 9 - 9) << "a top-aligned field keeps the width it is given";
}

} // namespace

namespace {

// Odd skins: points and rectangles anywhere (backwards, beyond the picture,
// empty), picture indexes of any value, controls of any size.
TEST(SkinControlOddSkins, EveryDefinitionPaintsAndNoFixedControlOutgrowsItsPicture)
{
  QRandomGenerator rng(20261210);
  auto n = [&](int lo, int hi) { return int(rng.bounded(lo, hi + 1)); };
  auto rect = [&] {
    const int l = n(0, 38), t = n(0, 28);
    return QStringLiteral("%1,%2,%3,%4").arg(l).arg(t).arg(l + n(-3, 30)).arg(t + n(-3, 25));
  };
  auto point = [&] { return n(0, 1) ? QStringLiteral("0,0") : QStringLiteral("%1,%2").arg(n(0, 45)).arg(n(0, 35)); };
  QStringList entries, sections;
  for (int i = 0; i < 60; ++i) {
    const QString name = QStringLiteral("odd%1").arg(i);
    entries << name + (i % 3 == 0 ? ":panel" : i % 3 == 1 ? ":button" : ":label");
    sections << "[" + name + "]" << QStringLiteral("pictureindex=%1").arg(n(0, 4) ? 0 : n(-2, 2))
             << QStringLiteral("maskpictureindex=%1").arg(n(-1, 2)) << "skinrect=" + rect()
             << "activeskinrect=" + rect() << "downskinrect=" + rect() << "clientrect=" + rect()
             << "captionrect=" + rect() << "lefttoppoint=" + point() << "righttoppoint=" + point()
             << "leftbottompoint=" + point() << "rightbottompoint=" + point()
             << QStringLiteral("bgpictureindex=%1").arg(n(-1, 3)) << "morphing=1";
  }
  Owned<TForm> form(NewForm());
  TbsSkinData* skin = LoadSmallSkin(form.get(), ControlLines(entries, sections));
  int fixed = 0, stretched = 0;
  for (int i = 0; i < 60; ++i) {
    const QString name = QStringLiteral("odd%1").arg(i);
    std::vector<TControl*> controls;
    // Bound through their bases: one call per control type let GCC's -O3
    // bounds check take one type's object for another's and warn falsely.
    auto add = [&](auto* c) {
      c->SetParent(form.get());
      c->SetSkinDataName(name);
      c->SetSkinData(skin);
      controls.push_back(c);
    };
    add(static_cast<TbsSkinCustomControl*>(new TbsSkinPanel(form.get())));
    add(static_cast<TbsSkinCustomControl*>(new TbsSkinButton(form.get())));
    add(static_cast<TbsGraphicSkinCustomControl*>(new TbsSkinSpeedButton(form.get())));
    auto* label = new TbsSkinStatusPanel(form.get());
    label->SetCaption(QStringLiteral("文字"));
    label->SetAutoSize(true);
    add(static_cast<TbsSkinCustomControl*>(label));
    for (TControl* c : controls) {
      for (QSize size : {QSize(0, 0), QSize(1, 1), QSize(37, 23), QSize(180, 90)}) {
        c->SetBounds(3, 4, size.width(), size.height());
        const QImage image = Paint(c);
        EXPECT_EQ(image.width(), std::max(1, c->Width()));
      }
      const auto* custom = qobject_cast<TbsSkinCustomControl*>(c);
      const auto* graphic = qobject_cast<TbsGraphicSkinCustomControl*>(c);
      const TbsStretchMode mode = custom ? custom->StretchMode() : graphic->StretchMode();
      (mode == smFixed ? fixed : stretched) += mode != smNone;
      if (mode == smFixed && c->Width() > 0) {
        EXPECT_LE(c->Width(), 40) << name.toStdString();
        EXPECT_LE(c->Height(), 30) << name.toStdString();
      }
      c->Perform(CM_MOUSEENTER);
      c->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakeMouseLParam(2, 2));
      Paint(c);
      c->Perform(WM_LBUTTONUP, 0, MakeMouseLParam(2, 2));
    }
    for (TControl* c : controls) c->Free();
  }
  EXPECT_GT(fixed, 10);
  EXPECT_GT(stretched, 40);
}

} // namespace
