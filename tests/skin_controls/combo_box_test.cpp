// The skinned combo box and its popup list: opening (size, place, scroll bar),
// closing with and without a choice, keys, typed prefixes, the wheel, the
// mouse and the fade-in.
#include "skin_controls/skin_combo_box.h"
#include "skin_controls_support.h"
#include "skin/skin_utils.h"
#include "toolkit/image_list.h"

#include <gtest/gtest.h>

using namespace skin_test;

namespace {

const QStringList kBitRates = {"32 kbps", "64 kbps", "128 kbps"};

struct BitRateBox {
  Owned<TForm> Form{NewForm()};
  TbsSkinData* Skin = LoadBuiltinSkin(Form.get());
  TbsSkinComboBox* Box = new TbsSkinComboBox(Form.get());
  int Clicks = 0;
  int Changes = 0;

  BitRateBox()
  {
    Box->SetParent(Form.get());
    Box->SetBounds(136, 11, 120, 20);
    Box->SetItems(kBitRates);
    Box->SetItemIndex(1);
    Box->SetSkinData(Skin);
    Box->SetOnClick([this](TObject*) { ++Clicks; });
    Box->SetOnChange([this](TObject*) { ++Changes; });
  }
  ~BitRateBox() { Box->CloseUpList(false); }
  void Key(int vk, TShiftState shift = TShiftState()) { Box->Perform(WM_KEYDOWN, vk, int(shift)); }
  void Type(QChar ch) { Box->Perform(WM_CHAR, ch.unicode(), 0); }
};

TEST(SkinComboBox, BitRateBoxOpensThreeRowsWithoutAScrollBar)
{
  BitRateBox t;
  EXPECT_EQ(t.Box->Height(), 20);
  EXPECT_EQ(t.Box->Text(), "64 kbps");
  EXPECT_EQ(t.Box->ButtonArea(), SkinRect(47 + 57, 2, 61 + 57, 18)) << "the button follows the right edge";

  t.Box->DropDownList();
  TbsPopupListBox* list = t.Box->PopupList();
  ASSERT_TRUE(t.Box->ListOpen());
  EXPECT_EQ(list->SkinDataName(), "listbox");
  EXPECT_EQ(list->ItemHeight(), 19);
  EXPECT_EQ(list->Height(), 3 * 19 + 4);
  EXPECT_EQ(list->Width(), 120);
  EXPECT_EQ(list->VScrollBar(), nullptr);
  EXPECT_EQ(list->ListBox()->TopIndex(), 0);
  EXPECT_EQ(list->ItemIndex(), 1);
  EXPECT_EQ(QPoint(list->Left(), list->Top()), t.Box->ClientToScreen(QPoint(0, 20)));
  EXPECT_EQ(t.Box->PopupList()->ListBox()->ItemRect(2).bottom() + 1, 57);

  // The list shows every row in the skin's pictures.
  const QImage image = Paint(list);
  EXPECT_EQ(CountNearColor(image, image.rect(), kUnpainted, 0), 0);

  // Escape (or a click outside) returns to the item of the opening, without OnClick.
  t.Box->Perform(WM_MOUSEWHEEL, -120);
  EXPECT_EQ(list->ItemIndex(), 2) << "the wheel moves the open list's selection only";
  EXPECT_EQ(t.Clicks, 0);
  t.Key(VK_ESCAPE);
  EXPECT_FALSE(t.Box->ListOpen());
  EXPECT_EQ(t.Box->ItemIndex(), 1);
  EXPECT_EQ(t.Box->Text(), "64 kbps");
  EXPECT_EQ(t.Clicks, 0);

  // Enter takes the list's choice.
  int closeUps = 0;
  t.Box->SetOnCloseUp([&](TObject*) { ++closeUps; });
  t.Key(VK_DOWN, ssAlt);
  ASSERT_TRUE(t.Box->ListOpen());
  t.Box->Perform(WM_MOUSEWHEEL, 120);
  t.Key(VK_RETURN);
  EXPECT_EQ(t.Box->ItemIndex(), 0);
  EXPECT_EQ(t.Box->Text(), "32 kbps");
  EXPECT_EQ(t.Clicks, 1);
  EXPECT_EQ(closeUps, 1);
}

TEST(SkinComboBox, KeysAndTypedPrefixes)
{
  BitRateBox t;
  const auto realClock = TbsSkinCustomComboBox::Clock();
  t.Type(u'1');
  EXPECT_EQ(t.Box->Text(), "128 kbps");
  EXPECT_EQ(t.Clicks, 1);
  TbsSkinCustomComboBox::Clock() = [] { return qint64(1000000); };  // later than the pause
  t.Type(u'6');
  EXPECT_EQ(t.Box->Text(), "64 kbps");
  // Fast typing extends the prefix; a long prefix is searched from the top.
  TbsSkinCustomComboBox::Clock() = [] { return qint64(1000100); };
  t.Type(u'4');
  EXPECT_EQ(t.Box->SearchText(), "64");
  EXPECT_EQ(t.Box->ItemIndex(), 1);
  TbsSkinCustomComboBox::Clock() = [] { return qint64(1000200); };
  t.Type(u'x');
  EXPECT_EQ(t.Box->ItemIndex(), 1) << "no match leaves the item";
  TbsSkinCustomComboBox::Clock() = realClock;

  t.Clicks = 0;
  t.Box->SetItemIndex(2);
  t.Clicks = 0;
  t.Key(VK_DOWN);
  EXPECT_EQ(t.Box->ItemIndex(), 2) << "Down on the last item does nothing";
  EXPECT_EQ(t.Clicks, 0);
  t.Key(VK_UP);
  EXPECT_EQ(t.Box->ItemIndex(), 1);
  EXPECT_EQ(t.Clicks, 1);

  // The wheel on the closed box commits with OnClick; a touchpad's small
  // deltas add up to a notch first.
  t.Box->Perform(WM_MOUSEWHEEL, 60);
  EXPECT_EQ(t.Box->ItemIndex(), 1);
  t.Box->Perform(WM_MOUSEWHEEL, 60);
  EXPECT_EQ(t.Box->ItemIndex(), 0);
  EXPECT_EQ(t.Clicks, 2);

  // Page keys: up from 0 stays, down never passes the last item.
  t.Key(VK_PRIOR);
  EXPECT_EQ(t.Box->ItemIndex(), 0);
  t.Key(VK_NEXT);
  EXPECT_EQ(t.Box->ItemIndex(), 2);

  // Out-of-range indexes leave the text alone; an empty box does not open.
  t.Box->SetItemIndex(7);
  EXPECT_EQ(t.Box->ItemIndex(), -1);
  EXPECT_EQ(t.Box->Text(), "128 kbps");
  t.Box->SetItems({});
  t.Box->DropDownList();
  EXPECT_FALSE(t.Box->ListOpen());
  t.Box->SetDropDownCount(0);
  EXPECT_EQ(t.Box->DropDownCount(), 8);
}

TEST(SkinComboBox, LongListNearTheScreenBottomOpensAboveWithAScrollBar)
{
  BitRateBox t;
  QStringList many;
  for (int i = 0; i < 30; ++i) many << QStringLiteral("item %1").arg(i);
  t.Box->SetItems(many);
  t.Box->SetItemIndex(25);
  const QRect work = GetMonitorWorkArea(t.Box, true);
  t.Form->SetBounds(0, work.bottom() - 40, 300, 60);
  t.Box->SetTop(10);
  t.Box->DropDownList();
  TbsPopupListBox* list = t.Box->PopupList();
  ASSERT_TRUE(t.Box->ListOpen());
  EXPECT_EQ(list->Top() + list->Height(), t.Box->ClientToScreen(QPoint(0, 0)).y()) << "opens above";
  ASSERT_NE(list->VScrollBar(), nullptr);
  TbsSkinScrollBar* bar = list->VScrollBar();
  EXPECT_EQ(bar->PageSize(), 8);
  EXPECT_EQ(bar->Max(), 29);
  EXPECT_EQ(bar->Position(), list->ListBox()->TopIndex());
  EXPECT_LE(list->ListBox()->TopIndex(), 25);
  EXPECT_GE(list->ListBox()->TopIndex() + 8, 26) << "the item is in view";
  bar->SetPosition(0);
  EXPECT_EQ(list->ListBox()->TopIndex(), 0) << "the bar scrolls the list";

  // A drag from the box below the list scrolls it on the 25 ms timer.
  t.Box->CloseUpList(false);
  t.Box->SetItemIndex(10);
  const QPoint inButton = t.Box->ButtonArea().center();
  t.Box->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakeMouseLParam(inButton.x(), inButton.y()));
  ASSERT_TRUE(t.Box->ListOpen());
  TbsListBox* inner = list->ListBox();
  const QPoint row = t.Box->ScreenToClient(inner->ClientToScreen(inner->ItemRect(inner->TopIndex() + 1).center()));
  t.Box->Perform(WM_MOUSEMOVE, MK_LBUTTON, MakeMouseLParam(row.x(), row.y()));
  EXPECT_EQ(list->ItemIndex(), inner->TopIndex() + 1);
  const QPoint above = t.Box->ScreenToClient(inner->ClientToScreen(QPoint(5, -3)));
  t.Box->Perform(WM_MOUSEMOVE, MK_LBUTTON, MakeMouseLParam(above.x(), above.y()));
  ASSERT_TRUE(t.Box->AutoScrolling());
  const int before = list->ItemIndex();
  t.Box->AutoScrollTick();
  EXPECT_EQ(list->ItemIndex(), before - 1);
  // Released outside the inner list: closed without a choice.
  t.Box->Perform(WM_LBUTTONUP, 0, MakeMouseLParam(above.x(), above.y()));
  EXPECT_FALSE(t.Box->ListOpen());
  EXPECT_EQ(t.Box->ItemIndex(), 10);
}

TEST(SkinComboBox, OddSkinValuesAndImagesPaintSafely)
{
  Owned<TForm> form(NewForm());
  TbsSkinData* skin = LoadSmallSkin(form.get(), ControlLines({"combobox:combobox", "listbox:listbox"},
                                                             {"[combobox]", "pictureindex=0", "skinrect=0,0,30,20",
                                                              "lefttoppoint=4,10", "righttoppoint=20,10",
                                                              "clientrect=1,1,20,19", "listboxname=listbox",
                                                              "[listbox]", "pictureindex=0", "skinrect=0,0,30,30",
                                                              "itemrect=0,0,0,0", "clientrect=2,2,28,28"}));
  auto* images = new TImageList(form.get());
  images->SetWidth(4);
  images->SetHeight(4);
  QImage square(4, 4, QImage::Format_RGB32);
  square.fill(Qt::red);
  images->AddImage(square);
  auto* box = new TbsSkinComboBox(form.get());
  box->SetParent(form.get());
  box->SetItems({"a", "b", "c"});
  box->SetImages(images);  // one image for three items
  box->SetSkinData(skin);
  box->SetItemIndex(2);
  EXPECT_EQ(Paint(box).size(), QSize(120, 20));
  box->SetListBoxUseSkinItemHeight(true);
  box->SetListBoxDefaultItemHeight(0);
  box->DropDownList();
  ASSERT_TRUE(box->ListOpen());
  EXPECT_EQ(box->PopupList()->ItemHeight(), 1) << "no item picture, no height: one pixel rows";
  EXPECT_EQ(Paint(box->PopupList()).size(), QSize(box->PopupList()->Width(), box->PopupList()->Height()));
  box->CloseUpList(false);
}

TEST(SkinComboBox, FadeInStopsAtAnOddTargetAndNotAfterClosing)
{
  BitRateBox t;
  t.Box->SetAlphaBlend(true);
  t.Box->SetAlphaBlendAnimation(true);
  t.Box->SetAlphaBlendValue(201);
  t.Box->DropDownList();
  TbsPopupListBox* list = t.Box->PopupList();
  ASSERT_TRUE(list->Layered());
  EXPECT_EQ(list->Opacity(), 0);
  for (int i = 0; i < 200 && list->Fading(); ++i) list->FadeTick();
  EXPECT_FALSE(list->Fading());
  EXPECT_EQ(list->Opacity(), 201);

  t.Box->CloseUpList(false);
  t.Box->DropDownList();
  list->FadeTick();
  t.Box->CloseUpList(false);
  EXPECT_FALSE(list->Fading());
  const int after = list->Opacity();
  list->FadeTick();
  EXPECT_EQ(list->Opacity(), after) << "no fade once closed";
}

} // namespace

namespace {

TEST(SkinComboBox, EditStyleCompletesTypedPrefixes)
{
  Owned<TForm> form(NewForm());
  auto* box = new TbsSkinComboBox(form.get());
  box->SetParent(form.get());
  box->SetItems({"apple", "apricot", "banana"});
  int changes = 0;
  box->SetOnChange([&](TObject*) { ++changes; });
  box->SetStyle(TbsSkinComboBox::bscbEditStyle);
  TbsCustomEdit* edit = box->ItemEdit();
  ASSERT_NE(edit, nullptr);
  EXPECT_FALSE(box->TabStop());
  EXPECT_EQ(edit->BoundsRect(), box->ItemArea());

  const auto realClock = TbsSkinCustomComboBox::Clock();
  qint64 now = 0;
  TbsSkinCustomComboBox::Clock() = [&now] { return now += 300; };
  auto type = [&](QChar ch) {
    edit->SendMessage(WM_CHAR, ch.unicode(), 0);
    edit->SendMessage(WM_KEYUP, ch.toUpper().unicode(), 0);
  };
  type(u'a');
  EXPECT_EQ(box->ItemIndex(), 0);
  EXPECT_EQ(edit->Text(), "apple");
  EXPECT_EQ(edit->SelText(), "pple") << "the part not typed is selected";
  type(u'p');
  type(u'r');
  EXPECT_EQ(box->ItemIndex(), 1);
  EXPECT_EQ(edit->Text(), "apricot");
  EXPECT_EQ(edit->SelText(), "icot");
  EXPECT_EQ(box->Text(), "apricot");
  EXPECT_GT(changes, 0);

  // Up and Down choose items; the edit follows Text.
  edit->SendMessage(WM_KEYDOWN, VK_DOWN, 0);
  EXPECT_EQ(edit->Text(), "banana");
  box->SetItemIndex(0);
  EXPECT_EQ(edit->Text(), "apple");
  TbsSkinCustomComboBox::Clock() = realClock;

  box->SetStyle(TbsSkinComboBox::bscbFixedStyle);
  EXPECT_EQ(box->ItemEdit(), nullptr);
  EXPECT_TRUE(box->TabStop());
}

} // namespace
