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
  Owned<TForm> form{NewForm()};
  TbsSkinData* skin = LoadBuiltinSkin(form.get());
  TbsSkinComboBox* box = new TbsSkinComboBox(form.get());
  int clicks = 0;
  int changes = 0;

  BitRateBox()
  {
    box->SetParent(form.get());
    box->SetBounds(136, 11, 120, 20);
    box->SetItems(kBitRates);
    box->SetItemIndex(1);
    box->SetSkinData(skin);
    box->SetOnClick([this](TObject*) { ++clicks; });
    box->SetOnChange([this](TObject*) { ++changes; });
  }
  ~BitRateBox() { box->CloseUpList(false); }
  void Key(int vk, TShiftState shift = TShiftState()) { box->Perform(WM_KEYDOWN, vk, int(shift)); }
  void Type(QChar ch) { box->Perform(WM_CHAR, ch.unicode(), 0); }
};

TEST(SkinComboBox, BitRateBoxOpensThreeRowsWithoutAScrollBar)
{
  BitRateBox t;
  EXPECT_EQ(t.box->Height(), 20);
  EXPECT_EQ(t.box->Text(), "64 kbps");
  EXPECT_EQ(t.box->ButtonArea(), SkinRect(47 + 57, 2, 61 + 57, 18)) << "the button follows the right edge";

  t.box->DropDownList();
  TbsPopupListBox* list = t.box->PopupList();
  ASSERT_TRUE(t.box->ListOpen());
  EXPECT_EQ(list->SkinDataName(), "listbox");
  EXPECT_EQ(list->ItemHeight(), 19);
  EXPECT_EQ(list->Height(), 3 * 19 + 4);
  EXPECT_EQ(list->Width(), 120);
  EXPECT_EQ(list->VScrollBar(), nullptr);
  EXPECT_EQ(list->ListBox()->TopIndex(), 0);
  EXPECT_EQ(list->ItemIndex(), 1);
  EXPECT_EQ(QPoint(list->Left(), list->Top()), t.box->ClientToScreen(QPoint(0, 20)));
  EXPECT_EQ(t.box->PopupList()->ListBox()->ItemRect(2).bottom() + 1, 57);

  // The list shows every row in the skin's pictures.
  const QImage image = Paint(list);
  EXPECT_EQ(CountNearColor(image, image.rect(), kUnpainted, 0), 0);

  // Escape (or a click outside) returns to the item of the opening, without OnClick.
  t.box->Perform(WM_MOUSEWHEEL, -120);
  EXPECT_EQ(list->ItemIndex(), 2) << "the wheel moves the open list's selection only";
  EXPECT_EQ(t.clicks, 0);
  t.Key(VK_ESCAPE);
  EXPECT_FALSE(t.box->ListOpen());
  EXPECT_EQ(t.box->ItemIndex(), 1);
  EXPECT_EQ(t.box->Text(), "64 kbps");
  EXPECT_EQ(t.clicks, 0);

  // Enter takes the list's choice.
  int closeUps = 0;
  t.box->SetOnCloseUp([&](TObject*) { ++closeUps; });
  t.Key(VK_DOWN, ssAlt);
  ASSERT_TRUE(t.box->ListOpen());
  t.box->Perform(WM_MOUSEWHEEL, 120);
  t.Key(VK_RETURN);
  EXPECT_EQ(t.box->ItemIndex(), 0);
  EXPECT_EQ(t.box->Text(), "32 kbps");
  EXPECT_EQ(t.clicks, 1);
  EXPECT_EQ(closeUps, 1);
}

TEST(SkinComboBox, KeysAndTypedPrefixes)
{
  BitRateBox t;
  const auto realClock = TbsSkinCustomComboBox::Clock();
  t.Type(u'1');
  EXPECT_EQ(t.box->Text(), "128 kbps");
  EXPECT_EQ(t.clicks, 1);
  TbsSkinCustomComboBox::Clock() = [] { return qint64(1000000); };  // later than the pause
  t.Type(u'6');
  EXPECT_EQ(t.box->Text(), "64 kbps");
  // Fast typing extends the prefix; a long prefix is searched from the top.
  TbsSkinCustomComboBox::Clock() = [] { return qint64(1000100); };
  t.Type(u'4');
  EXPECT_EQ(t.box->SearchText(), "64");
  EXPECT_EQ(t.box->ItemIndex(), 1);
  TbsSkinCustomComboBox::Clock() = [] { return qint64(1000200); };
  t.Type(u'x');
  EXPECT_EQ(t.box->ItemIndex(), 1) << "no match leaves the item";
  TbsSkinCustomComboBox::Clock() = realClock;

  t.clicks = 0;
  t.box->SetItemIndex(2);
  t.clicks = 0;
  t.Key(VK_DOWN);
  EXPECT_EQ(t.box->ItemIndex(), 2) << "Down on the last item does nothing";
  EXPECT_EQ(t.clicks, 0);
  t.Key(VK_UP);
  EXPECT_EQ(t.box->ItemIndex(), 1);
  EXPECT_EQ(t.clicks, 1);

  // The wheel on the closed box commits with OnClick; a touchpad's small
  // deltas add up to a notch first.
  t.box->Perform(WM_MOUSEWHEEL, 60);
  EXPECT_EQ(t.box->ItemIndex(), 1);
  t.box->Perform(WM_MOUSEWHEEL, 60);
  EXPECT_EQ(t.box->ItemIndex(), 0);
  EXPECT_EQ(t.clicks, 2);

  // Page keys: up from 0 stays, down never passes the last item.
  t.Key(VK_PRIOR);
  EXPECT_EQ(t.box->ItemIndex(), 0);
  t.Key(VK_NEXT);
  EXPECT_EQ(t.box->ItemIndex(), 2);

  // Out-of-range indexes leave the text alone; an empty box does not open.
  t.box->SetItemIndex(7);
  EXPECT_EQ(t.box->ItemIndex(), -1);
  EXPECT_EQ(t.box->Text(), "128 kbps");
  t.box->SetItems({});
  t.box->DropDownList();
  EXPECT_FALSE(t.box->ListOpen());
  t.box->SetDropDownCount(0);
  EXPECT_EQ(t.box->DropDownCount(), 8);
}

TEST(SkinComboBox, LongListNearTheScreenBottomOpensAboveWithAScrollBar)
{
  BitRateBox t;
  QStringList many;
  for (int i = 0; i < 30; ++i) many << QStringLiteral("item %1").arg(i);
  t.box->SetItems(many);
  t.box->SetItemIndex(25);
  const QRect work = GetMonitorWorkArea(t.box, true);
  t.form->SetBounds(0, work.bottom() - 40, 300, 60);
  t.box->SetTop(10);
  t.box->DropDownList();
  TbsPopupListBox* list = t.box->PopupList();
  ASSERT_TRUE(t.box->ListOpen());
  EXPECT_EQ(list->Top() + list->Height(), t.box->ClientToScreen(QPoint(0, 0)).y()) << "opens above";
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
  t.box->CloseUpList(false);
  t.box->SetItemIndex(10);
  const QPoint inButton = t.box->ButtonArea().center();
  t.box->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakeMouseLParam(inButton.x(), inButton.y()));
  ASSERT_TRUE(t.box->ListOpen());
  TbsListBox* inner = list->ListBox();
  const QPoint row = t.box->ScreenToClient(inner->ClientToScreen(inner->ItemRect(inner->TopIndex() + 1).center()));
  t.box->Perform(WM_MOUSEMOVE, MK_LBUTTON, MakeMouseLParam(row.x(), row.y()));
  EXPECT_EQ(list->ItemIndex(), inner->TopIndex() + 1);
  const QPoint above = t.box->ScreenToClient(inner->ClientToScreen(QPoint(5, -3)));
  t.box->Perform(WM_MOUSEMOVE, MK_LBUTTON, MakeMouseLParam(above.x(), above.y()));
  ASSERT_TRUE(t.box->AutoScrolling());
  const int before = list->ItemIndex();
  t.box->AutoScrollTick();
  EXPECT_EQ(list->ItemIndex(), before - 1);
  // Released outside the inner list: closed without a choice.
  t.box->Perform(WM_LBUTTONUP, 0, MakeMouseLParam(above.x(), above.y()));
  EXPECT_FALSE(t.box->ListOpen());
  EXPECT_EQ(t.box->ItemIndex(), 10);
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
  t.box->SetAlphaBlend(true);
  t.box->SetAlphaBlendAnimation(true);
  t.box->SetAlphaBlendValue(201);
  t.box->DropDownList();
  TbsPopupListBox* list = t.box->PopupList();
  ASSERT_TRUE(list->Layered());
  EXPECT_EQ(list->Opacity(), 0);
  for (int i = 0; i < 200 && list->Fading(); ++i) list->FadeTick();
  EXPECT_FALSE(list->Fading());
  EXPECT_EQ(list->Opacity(), 201);

  t.box->CloseUpList(false);
  t.box->DropDownList();
  list->FadeTick();
  t.box->CloseUpList(false);
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
