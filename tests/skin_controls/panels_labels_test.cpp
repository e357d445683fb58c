// Panels (checked mode, roll-up), the tool bar's scrolling and the labels.
#include "skin_controls/skin_buttons.h"
#include "skin_controls/skin_labels.h"
#include "skin_controls/skin_panels.h"
#include "skin_controls_support.h"
#include "support/qt_printers.h"

#include <QDesktopServices>
#include <gtest/gtest.h>

using namespace skin_test;

namespace {

template <typename T>
T* New(TWinControl* parent)
{
  auto* c = new T(parent);
  c->SetParent(parent);
  return c;
}

TEST(SkinPanels, CheckedModeEnablesTheChildrenAndReportsEveryAssignment)
{
  Owned<TForm> form(NewForm());
  auto* panel = New<TbsSkinPanel>(form.get());
  TControl* a = New<TbsSkinSpeedButton>(panel);
  TControl* b = New<TbsSkinButton>(panel);
  int reports = 0;
  panel->SetOnChecked([&](TObject*) { ++reports; });
  panel->SetChecked(false);
  EXPECT_TRUE(a->Enabled()) << "outside checked mode the children stay";
  panel->SetCheckedMode(true);
  panel->SetChecked(false);
  EXPECT_FALSE(a->Enabled());
  EXPECT_FALSE(b->Enabled());
  panel->SetChecked(true);
  EXPECT_TRUE(a->Enabled());
  EXPECT_TRUE(b->Enabled());
  panel->SetChecked(true);
  EXPECT_EQ(reports, 4);
  panel->SetAutoEnabledControls(false);
  panel->SetChecked(false);
  EXPECT_TRUE(a->Enabled());

  // A click on the caption strip toggles the check.
  panel->SetCaptionMode(true);
  panel->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakeMouseLParam(30, 5));
  panel->Perform(WM_LBUTTONUP, 0, MakeMouseLParam(30, 5));
  EXPECT_TRUE(panel->Checked());
  panel->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakeMouseLParam(30, 60));
  panel->Perform(WM_LBUTTONUP, 0, MakeMouseLParam(30, 60));
  EXPECT_TRUE(panel->Checked());
}

TEST(SkinPanels, RollingUpHidesOnlyVisibleChildrenAndRollingDownShowsThem)
{
  Owned<TForm> form(NewForm());
  auto* panel = New<TbsSkinPanel>(form.get());
  panel->SetCaptionMode(true);
  TControl* shown = New<TbsSkinSpeedButton>(panel);
  TControl* hidden = New<TbsSkinSpeedButton>(panel);
  hidden->Hide();
  panel->SetRollUpState(true);
  EXPECT_FALSE(panel->RollUpState()) << "not without roll-up mode";
  EXPECT_EQ(panel->Height(), 150);

  panel->SetRollUpMode(true);
  panel->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakeMouseLParam(30, 5));
  panel->Perform(WM_LBUTTONUP, 0, MakeMouseLParam(30, 5));
  EXPECT_TRUE(panel->RollUpState());
  EXPECT_EQ(panel->Height(), 22 + 1);
  EXPECT_EQ(panel->RealHeight(), 150);
  EXPECT_FALSE(shown->Visible());
  EXPECT_EQ(panel->HiddenChildCount(), 1);
  panel->SetRollUpState(false);
  EXPECT_EQ(panel->Height(), 150);
  EXPECT_EQ(panel->RealHeight(), -1);
  EXPECT_TRUE(shown->Visible());
  EXPECT_FALSE(hidden->Visible());

  // With a definition only the part outside the stretched client area stays;
  // a new skin recomputes it and keeps the height to come back to.
  const QStringList sections = {"[boxed]", "pictureindex=0", "skinrect=0,10,30,30", "lefttoppoint=4,4",
                                "righttoppoint=26,4", "leftbottompoint=4,16", "rightbottompoint=26,16",
                                "clientrect=3,3,27,17", "captionrect=3,0,27,3"};
  TbsSkinData* skin = LoadSmallSkin(form.get(), ControlLines({"boxed:panel"}, sections));
  panel->SetSkinDataName("boxed");
  panel->SetSkinData(skin);
  panel->SetHeight(100);
  panel->SetRollUpState(true);
  EXPECT_EQ(panel->Height(), 100 - (14 + 80));
  EXPECT_EQ(panel->MappedCaptionRect(), SkinRect(3, 0, 150 - 3, 3));
  panel->ApplySkinData();
  EXPECT_EQ(panel->Height(), 6);
  EXPECT_EQ(panel->RealHeight(), 100);
  panel->SetRollUpState(false);
  EXPECT_EQ(panel->Height(), 100);
}

TEST(SkinPanels, BackgroundTilesOfNoSizeDrawNothingAndEnd)
{
  Owned<TForm> form(NewForm());
  const QStringList sections = {"[flat]", "pictureindex=0", "skinrect=0,0,30,30", "lefttoppoint=4,4",
                                "righttoppoint=26,4", "leftbottompoint=4,26", "rightbottompoint=26,26",
                                "clientrect=9,3,9,27", "[backwards]", "pictureindex=0", "skinrect=0,0,30,30",
                                "lefttoppoint=4,4", "righttoppoint=26,4", "leftbottompoint=4,26",
                                "rightbottompoint=26,26", "clientrect=20,3,6,27", "[nobg]", "pictureindex=0",
                                "bgpictureindex=9", "skinrect=0,0,30,30", "righttoppoint=26,4"};
  TbsSkinData* skin = LoadSmallSkin(form.get(), ControlLines({"flat:panel", "backwards:panel", "nobg:panel"}, sections));
  for (const char* name : {"flat", "backwards", "nobg"}) {
    auto* panel = New<TbsSkinPanel>(form.get());
    panel->SetBorderStyle(int(TbsSkinBorderStyle::bvNone));
    panel->SetSkinDataName(name);
    panel->SetSkinData(skin);
    EXPECT_NE(panel->SkinControlIndex(), -1) << name;
    EXPECT_EQ(QColorToColor(Paint(panel).pixelColor(20, 10)), ColorToRGB(clBtnFace)) << name;
  }
}

TEST(SkinToolBar, ScrollsOnlyWhenItsButtonsDoNotFit)
{
  Owned<TForm> form(NewForm());
  auto* bar = New<TbsSkinToolBar>(form.get());
  bar->SetBounds(0, 0, 200, 25);
  std::vector<TbsSkinSpeedButton*> buttons;
  for (int i = 0; i < 3; ++i) {
    buttons.push_back(New<TbsSkinSpeedButton>(bar));
    buttons.back()->SetBounds(i * 25, 0, 25, 25);
    buttons.back()->SetAlign(TControl::alLeft);
  }
  bar->SetCanScroll(true);
  EXPECT_FALSE(bar->ArrowsShown());
  EXPECT_EQ(bar->ScrollPosition(), 0);

  bar->SetWidth(60);
  ASSERT_TRUE(bar->ArrowsShown());
  EXPECT_EQ(bar->ClientWidth(), 60 - 2 * TbsSkinToolBar::kArrowWidth);
  // The arrows sit in the frame at both ends, their middle rows button-text coloured.
  const QImage arrows = Paint(bar);
  EXPECT_EQ(QColorToColor(arrows.pixelColor(6, 9 + 3)), ColorToRGB(clBtnText));
  EXPECT_EQ(QColorToColor(arrows.pixelColor(60 - 12 + 6, 9 + 3)), ColorToRGB(clBtnText));
  bar->SetScrollOffset(10);
  bar->SetScrollOffset(-4);
  EXPECT_EQ(bar->ScrollOffset(), 10);
  EXPECT_TRUE(bar->ScrollStep(TbsSkinToolBar::sdRight));
  EXPECT_EQ(bar->ScrollPosition(), 10);
  EXPECT_EQ(buttons[0]->Left(), -10);
  for (int i = 0; i < 5; ++i) bar->ScrollStep(TbsSkinToolBar::sdRight);
  EXPECT_EQ(bar->ScrollPosition(), 75 - 36 + 1) << "never beyond the content";
  EXPECT_FALSE(bar->ScrollStep(TbsSkinToolBar::sdRight));
  for (int i = 0; i < 5; ++i) bar->ScrollStep(TbsSkinToolBar::sdLeft);
  EXPECT_EQ(bar->ScrollPosition(), 0);
  EXPECT_EQ(buttons[0]->Left(), 0);

  // The arrows: a press scrolls on a timer; the release scrolls one more step.
  bar->SetScrollTimerInterval(0);
  EXPECT_EQ(bar->ScrollTimerInterval(), 50);
  EXPECT_EQ(bar->Perform(WM_NCHITTEST, 0, MakeMouseLParam(bar->ClientOrigin().x() + 40, 3)),
            TbsSkinToolBar::HTSCROLLRIGHT);
  bar->Perform(WM_NCLBUTTONDOWN, TbsSkinToolBar::HTSCROLLRIGHT);
  EXPECT_TRUE(bar->ScrollTimerActive());
  bar->ScrollTimerTick();
  bar->Perform(WM_NCLBUTTONUP, TbsSkinToolBar::HTSCROLLRIGHT);
  EXPECT_FALSE(bar->ScrollTimerActive());
  EXPECT_EQ(bar->ScrollPosition(), 20);

  bar->SetWidth(200);
  EXPECT_FALSE(bar->ArrowsShown());
  EXPECT_EQ(bar->ScrollPosition(), 0);
  EXPECT_EQ(buttons[0]->Left(), 0);

  // Captions and flatness are handed on to the buttons.
  bar->SetAutoShowHideCaptions(true);
  bar->SetShowCaptions(true);
  bar->SetFlat(true);
  for (TbsSkinSpeedButton* b : buttons) {
    EXPECT_TRUE(b->ShowCaption());
    EXPECT_TRUE(b->Flat());
    EXPECT_TRUE(b->Transparent());
  }
}

TEST(SkinLabels, LinkLabelColoursFontAndCursor)
{
  Owned<TForm> form(NewForm());
  auto* link = New<TbsSkinLinkLabel>(form.get());
  link->SetCaption(QStringLiteral("www.velmora.example"));
  EXPECT_EQ(link->Cursor(), crHandPoint);
  TFont font;
  link->TextFont(&font);
  EXPECT_EQ(font.Name(), "Arial");
  EXPECT_EQ(font.Height(), 14);
  EXPECT_TRUE(font.Style() & TFont::fsUnderline);
  EXPECT_EQ(font.Color(), link->DefaultFont()->Color());
  link->Perform(CM_MOUSEENTER);
  link->TextFont(&font);
  EXPECT_EQ(font.Color(), clBlue);
  link->Perform(CM_MOUSELEAVE);

  // With the skin but without its font: the own font, the skin's colours.
  TbsSkinData* skin = LoadBuiltinSkin(form.get());
  link->SetSkinData(skin);
  link->SetUseSkinFont(false);
  link->Font()->SetName("Courier");
  link->Font()->SetColor(clRed);
  link->TextFont(&font);
  EXPECT_EQ(font.Name(), "Courier");
  EXPECT_EQ(font.Color(), 0);
  link->Perform(CM_MOUSEENTER);
  link->TextFont(&font);
  EXPECT_EQ(font.Color(), 16711680);

  // Disabled: engraved, and the mouse changes nothing that shows.
  link->SetEnabled(false);
  const QImage inside = Paint(link);
  link->Perform(CM_MOUSELEAVE);
  const QImage outside = Paint(link);
  EXPECT_EQ(inside, outside);
  EXPECT_GT(CountNearColor(outside, QRect(0, 0, link->Width(), link->Height()), clBtnShadow, 30), 5);
  EXPECT_GT(CountNearColor(outside, QRect(0, 0, link->Width(), link->Height()), clBtnHighlight, 30), 5);
}

TEST(SkinLabels, LinkClickOpensTheAddressWithTheDesktopAndReportsFailure)
{
  Owned<TForm> form(NewForm());
  auto* link = New<TbsSkinLinkLabel>(form.get());
  link->SetURL(QStringLiteral("velmora-test://site/page"));
  QStringList order;
  link->SetOnClick([&](TObject*) { order << "click"; });
  UrlCatcher catcher;
  QDesktopServices::setUrlHandler("velmora-test", &catcher, "open");
  link->SimulateClick();
  QDesktopServices::unsetUrlHandler("velmora-test");
  ASSERT_EQ(catcher.urls.size(), 1);
  EXPECT_EQ(catcher.urls[0], QUrl("velmora-test://site/page"));
  EXPECT_EQ(order, QStringList{"click"});

  auto saved = TbsSkinLinkLabel::OpenUrl();
  TbsSkinLinkLabel::OpenUrl() = [](const QString&) { return false; };
  QStringList reports;
  Application->OnException = [&](const QString& message) { reports << message; };
  link->SimulateClick();
  Application->OnException = nullptr;
  TbsSkinLinkLabel::OpenUrl() = saved;
  ASSERT_EQ(reports.size(), 1);
  EXPECT_TRUE(reports[0].contains("velmora-test://site/page")) << reports[0].toStdString();
  EXPECT_EQ(order.size(), 2) << "OnClick runs before the address is handed over";
}

TEST(SkinLabels, MeasuringEmptyAndAmpersandCaptions)
{
  Owned<TForm> form(NewForm());
  auto* label = New<TbsSkinStdLabel>(form.get());
  label->SetAutoSize(true);
  label->SetCaption(QString());
  label->AdjustBounds();
  EXPECT_EQ(label->Height(), label->DefaultFont()->Metrics().height());
  EXPECT_GT(label->Width(), 0);
  label->SetCaption(QStringLiteral("A&B"));
  const int withAccel = label->Width();
  label->SetShowAccelChar(false);
  EXPECT_GT(label->Width(), withAccel) << "the ampersand is shown";

  // A field with a glyph grows by the glyph and its gap.
  auto* panel = New<TbsSkinStatusPanel>(form.get());
  panel->SetCaption(QStringLiteral("00:00"));
  panel->SetAutoSize(true);
  const int plain = panel->Width();
  TBitmap glyph;
  glyph.SetSize(32, 16);
  panel->SetNumGlyphs(2);
  panel->SetGlyph(&glyph);
  EXPECT_EQ(panel->Width(), plain + 16 + 3);
}

} // namespace
