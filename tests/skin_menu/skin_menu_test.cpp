// Skinned popup menus: sizes from the skin, keyboard and mouse tracking, the
// submenu delay, scrolling, item execution and the close notices.
#include "menu_support.h"
#include "skin/skin_popup_window.h"
#include "skin/skin_utils.h"
#include "skin/tray_icon.h"
#include "toolkit/form_reader.h"

#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <gtest/gtest.h>

namespace {

class SkinMenu : public testing::Test {
protected:
  void SetUp() override
  {
    form_ = new MenuHostForm();
    form_->SetBounds(100, 100, 300, 200);
    menu_ = new TbsSkinPopupMenu(form_);
    TbsSkinMenu::SetCursorSource([this] { return cursor_; });
  }
  void TearDown() override
  {
    TbsSkinMenu::SetCursorSource(nullptr);
    if (form_) TComponent::Free(form_);
    QCoreApplication::processEvents();
  }
  TMenuItem* Add(TMenuItem* parent, const QString& name, const QString& caption, const QString& shortCut = QString())
  {
    TMenuItem* item = TMenuItem::Create(name, caption, shortCut, [this, name](TObject*) { clicked_ << name; });
    parent->Add(item);
    return item;
  }
  // The main window's system menu as the skinned frame builds it.
  void BuildSystemMenu()
  {
    Add(menu_->Items(), "BSF_MINTOTRAY", QStringLiteral("最小化到托盘(&T)"));
    Add(menu_->Items(), "N1", "-");
    Add(menu_->Items(), "BSF_CLOSE", QStringLiteral("关闭(&C)"), "Alt+F4");
  }
  TbsSkinMenu* Runner() const { return form_->SkinMenu(); }
  TbsSkinPopupWindow* Level(int i) const { return Runner()->Level(i); }
  void ClickItem(TbsSkinPopupWindow* level, int index)
  {
    const QPoint c = level->Item(index).ItemRect.center();
    level->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakeMouseLParam(c.x(), c.y()));
    level->Perform(WM_LBUTTONUP, 0, MakeMouseLParam(c.x(), c.y()));
  }

  MenuHostForm* form_ = nullptr;
  TbsSkinPopupMenu* menu_ = nullptr;
  QPoint cursor_{-1, -1};
  QStringList clicked_;
};

TEST_F(SkinMenu, MainWindowSystemMenuWithTheBuiltInSkin)
{
  form_->skin = ReadMainWindowSkin(form_);
  ASSERT_NE(form_->skin, nullptr);
  ASSERT_FALSE(form_->skin->IsEmptySkin());
  BuildSystemMenu();
  menu_->Popup(200, 150);
  ASSERT_EQ(Runner()->LevelCount(), 1);
  EXPECT_EQ(form_->opened, 1);
  TbsSkinPopupWindow* level = Level(0);
  ASSERT_TRUE(level->Skinned());
  // 18 + 9 + 18 item rows in a 59-pixel picture whose items area is 49 high.
  EXPECT_EQ(level->Height(), 55);
  ASSERT_EQ(level->ItemCount(), 3);
  EXPECT_EQ(level->Item(0).ItemRect, QRect(4, 5, level->Width() - 8, 18));
  EXPECT_EQ(level->Item(1).ItemRect, QRect(4, 23, level->Width() - 8, 9));
  EXPECT_EQ(level->Item(2).ItemRect, QRect(4, 32, level->Width() - 8, 18));
  EXPECT_EQ(level->BoundsRect().topLeft(), QPoint(200, 150));
  EXPECT_EQ(level->Canvas()->Font()->Name(), "Arial");
  EXPECT_EQ(level->Canvas()->Font()->Height(), 14);
  EXPECT_EQ(level->ActiveIndex(), 0);

  // The active row comes from the active item picture, the others from the normal one.
  TBitmap image;
  level->PaintToBitmap(image);
  const QImage& pic = form_->skin->SkinPicture(5)->Image;
  const QImage& shown = image.Image();
  EXPECT_EQ(shown.pixelColor(4 + 1, 5 + 9), pic.pixelColor(1, 19 + 9));
  EXPECT_EQ(shown.pixelColor(4 + 1, 32 + 9), pic.pixelColor(1, 0 + 9));
  EXPECT_EQ(shown.pixelColor(4 + 1, 23 + 4), pic.pixelColor(1, 40 + 4));
  image.Image().scaled(level->Width() * 3, 55 * 3).save(QStringLiteral(VELMORA_BINARY_DIR "/skin_system_menu.png"));

  // The skin cleared under the open menu: the level keeps drawing what it showed.
  form_->skin->ClearSkin();
  TBitmap again;
  level->PaintToBitmap(again);
  EXPECT_EQ(again.Image(), image.Image());
}

TEST_F(SkinMenu, DamagedMenuDefinitionsFallBackToTheBuiltInLook)
{
  form_->skin = ReadMainWindowSkin(form_);
  BuildSystemMenu();
  auto* item = dynamic_cast<TbsDataSkinMenuItem*>(form_->skin->SkinObjects().at(0).get());
  ASSERT_NE(item, nullptr);
  // A menu-item picture that does not exist: rows of the built-in height.
  item->ActivePictureIndex = 99;
  menu_->Popup(10, 10);
  EXPECT_FALSE(Level(0)->Skinned());
  EXPECT_EQ(Level(0)->Height(), 48);
  item->ActivePictureIndex = 5;
  // A window picture that does not exist.
  form_->skin->PopupWindowData().WindowPictureIndex = -7;
  menu_->Popup(10, 10);
  EXPECT_FALSE(Level(0)->Skinned());
  form_->skin->PopupWindowData().WindowPictureIndex = 1;
  // An items area larger than the picture: the window stays at least one pixel and nothing hangs.
  form_->skin->PopupWindowData().ItemsRect = QRect(0, 0, 500, 500);
  menu_->Popup(10, 10);
  ASSERT_TRUE(Level(0)->Skinned());
  EXPECT_GE(Level(0)->Height(), 1);
  EXPECT_GE(Level(0)->Width(), 1);
  TBitmap image;
  Level(0)->PaintToBitmap(image);
  Runner()->KeyDown(VK_DOWN);
  EXPECT_TRUE(Runner()->IsOpen());
}

TEST_F(SkinMenu, DefaultLookWithoutASkin)
{
  BuildSystemMenu();
  menu_->Popup(10, 10);
  TbsSkinPopupWindow* level = Level(0);
  ASSERT_FALSE(level->Skinned());
  // Default item height 20, a separator 4, and 2 pixels of frame at each end.
  EXPECT_EQ(level->Height(), 20 + 4 + 20 + 4);
  EXPECT_EQ(level->Item(2).ItemRect, QRect(2, 26, level->Width() - 4, 20));
  TBitmap image;
  level->PaintToBitmap(image);
  // The active first item: a frame in 0x800000 filled with 13811126.
  EXPECT_EQ(QColorToColor(image.Image().pixelColor(2, 12)), 0x800000);
  EXPECT_EQ(QColorToColor(image.Image().pixelColor(level->Width() - 6, 12)), 13811126);
}

TEST_F(SkinMenu, EscapeClosesAOneLevelMenuAndTellsTheForm)
{
  BuildSystemMenu();
  menu_->Popup(10, 10);
  ASSERT_TRUE(Runner()->IsOpen());
  QPointer<TbsSkinPopupWindow> level = Level(0);
  // The key goes to the form's window; the open menu takes it from there.
  QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QCoreApplication::sendEvent(form_->Handle(), &escape);
  EXPECT_FALSE(Runner()->IsOpen());
  EXPECT_EQ(Runner()->LevelCount(), 0);
  EXPECT_EQ(form_->closed, 1);
  EXPECT_EQ(form_->closeNotices, 1);
  EXPECT_TRUE(clicked_.isEmpty());
  // The closed level is hidden at once and freed afterwards.
  ASSERT_TRUE(level);
  EXPECT_FALSE(level->Visible());
  QCoreApplication::processEvents();
  EXPECT_FALSE(level);
  // Closing again tells nobody.
  Runner()->CloseAll();
  EXPECT_EQ(form_->closed, 1);
}

TEST_F(SkinMenu, SubmenuOpensAfterTheDelayOrAtOnceOnAClick)
{
  Add(menu_->Items(), "First", "First");
  TMenuItem* more = Add(menu_->Items(), "More", "More");
  Add(more, "Inner1", "Inner one");
  Add(more, "Inner2", "Inner two");
  menu_->Popup(50, 50);
  TbsSkinPopupWindow* top = Level(0);
  // The cursor comes to rest on "More": it becomes active and waits for its submenu.
  cursor_ = top->ItemScreenRect(1).center();
  top->MousePoll(cursor_);
  EXPECT_EQ(top->ActiveIndex(), 1);
  EXPECT_TRUE(Runner()->SubMenuTimer().isActive());
  EXPECT_EQ(Runner()->SubMenuTimer().interval(), 500);
  EXPECT_EQ(Runner()->LevelCount(), 1);
  Runner()->SubMenuTimerElapsed();
  ASSERT_EQ(Runner()->LevelCount(), 2);
  TbsSkinPopupWindow* sub = Level(1);
  EXPECT_EQ(sub->ParentItem(), more);
  // Beside its item, its first item level with it.
  EXPECT_EQ(sub->Left(), top->ItemScreenRect(1).x() + top->ItemScreenRect(1).width() + 1);
  EXPECT_EQ(sub->Top() + sub->ItemsArea().y(), top->ItemScreenRect(1).y());

  // Back on "First": the submenu goes after the same delay.
  cursor_ = top->ItemScreenRect(0).center();
  top->MousePoll(cursor_);
  EXPECT_TRUE(Runner()->SubMenuTimer().isActive());
  EXPECT_EQ(Runner()->LevelCount(), 2);
  Runner()->SubMenuTimerElapsed();
  EXPECT_EQ(Runner()->LevelCount(), 1);
  // With nothing deeper open, a plain item waits for nothing.
  cursor_ = top->ItemScreenRect(1).center();
  top->MousePoll(cursor_);
  cursor_ = top->ItemScreenRect(0).center();
  top->MousePoll(cursor_);
  EXPECT_FALSE(Runner()->SubMenuTimer().isActive());
  // Right opens the active item's submenu at once, Left closes it.
  top->SetActive(1);
  EXPECT_TRUE(Runner()->KeyDown(VK_RIGHT));
  EXPECT_EQ(Runner()->LevelCount(), 2);
  EXPECT_TRUE(Runner()->KeyDown(VK_LEFT));
  EXPECT_EQ(Runner()->LevelCount(), 1);

  // A click on "More" opens the submenu with no delay.
  ClickItem(top, 1);
  EXPECT_EQ(Runner()->LevelCount(), 2);
  EXPECT_FALSE(Runner()->SubMenuTimer().isActive());
  EXPECT_TRUE(Runner()->IsOpen());
  // Enter in the submenu runs its active (first) item and closes everything.
  EXPECT_TRUE(Runner()->KeyDown(VK_RETURN));
  EXPECT_EQ(clicked_, QStringList{"Inner1"});
  EXPECT_FALSE(Runner()->IsOpen());
}

TEST_F(SkinMenu, KeyboardSkipsSeparatorsAndDisabledItemsAndWraps)
{
  Add(menu_->Items(), "A", "A");
  Add(menu_->Items(), "N1", "-");
  Add(menu_->Items(), "B", "B")->SetEnabled(false);
  Add(menu_->Items(), "C", "C");
  menu_->Popup(10, 10);
  TbsSkinPopupWindow* level = Level(0);
  EXPECT_EQ(level->ActiveIndex(), 0);
  Runner()->KeyDown(VK_DOWN);
  EXPECT_EQ(level->ActiveIndex(), 3);
  Runner()->KeyDown(VK_DOWN);
  EXPECT_EQ(level->ActiveIndex(), 0);
  Runner()->KeyDown(VK_UP);
  EXPECT_EQ(level->ActiveIndex(), 3);
  // Right on an item without submenu and Left on the only level change nothing.
  Runner()->KeyDown(VK_RIGHT);
  Runner()->KeyDown(VK_LEFT);
  EXPECT_EQ(Runner()->LevelCount(), 1);
  Runner()->KeyDown(VK_RETURN);
  EXPECT_EQ(clicked_, QStringList{"C"});
}

TEST_F(SkinMenu, LevelWithoutSelectableItemsNeitherHangsNorRunsAnything)
{
  Add(menu_->Items(), "N1", "-");
  Add(menu_->Items(), "X", "X")->SetEnabled(false);
  menu_->Popup(10, 10);
  TbsSkinPopupWindow* level = Level(0);
  EXPECT_EQ(level->ActiveIndex(), -1);
  EXPECT_TRUE(Runner()->KeyDown(VK_DOWN));
  EXPECT_TRUE(Runner()->KeyDown(VK_UP));
  EXPECT_EQ(level->ActiveIndex(), -1);
  // Enter with no active item does nothing; a click on the disabled item neither.
  EXPECT_TRUE(Runner()->KeyDown(VK_RETURN));
  ClickItem(level, 1);
  EXPECT_TRUE(Runner()->IsOpen());
  EXPECT_TRUE(clicked_.isEmpty());
}

TEST_F(SkinMenu, ClickRunsTheCommandAfterClosingAndTellsTheOpener)
{
  BuildSystemMenu();
  NoticeControl opener;
  menu_->SetPopupComponent(&opener);
  int closedBeforeCommand = -1;
  menu_->Items()->Items(2)->SetOnClick([&](TObject*) { closedBeforeCommand = form_->closed; });
  menu_->Popup(10, 10);
  ClickItem(Level(0), 2);
  EXPECT_EQ(closedBeforeCommand, 1);
  EXPECT_FALSE(Runner()->IsOpen());
  EXPECT_EQ(opener.closeNotices, 1);
  EXPECT_EQ(opener.dispatchNotices, 1);
  EXPECT_EQ(form_->closeNotices, 1);
}

TEST_F(SkinMenu, CommandThatFreesTheFormAndItsMenus)
{
  BuildSystemMenu();
  bool ran = false;
  menu_->Items()->Items(2)->SetOnClick([&](TObject*) {
    ran = true;
    TComponent::Free(form_);
    form_ = nullptr;
  });
  menu_->Popup(10, 10);
  QPointer<TbsSkinPopupWindow> level = Level(0);
  ClickItem(level, 2);
  EXPECT_TRUE(ran);
  // The level outlived its own click handler and goes with the next pass of the loop.
  QCoreApplication::processEvents();
  EXPECT_FALSE(level);
}

TEST_F(SkinMenu, MenuFreedByItsOwnCommand)
{
  BuildSystemMenu();
  NoticeControl opener;
  menu_->SetPopupComponent(&opener);
  QPointer<TbsSkinPopupMenu> guard(menu_);
  // Released by its command: still there when the command returns, gone after the event.
  bool aliveAfterRelease = false;
  menu_->Items()->Items(0)->SetOnClick([&](TObject* sender) {
    menu_->Release();
    aliveAfterRelease = guard && qobject_cast<TMenuItem*>(sender)->Caption() == QStringLiteral("最小化到托盘(&T)");
  });
  menu_->Popup(10, 10);
  Runner()->KeyDown(VK_RETURN);
  EXPECT_TRUE(aliveAfterRelease);
  EXPECT_TRUE(guard);
  EXPECT_EQ(opener.dispatchNotices, 1);
  QCoreApplication::processEvents();
  EXPECT_FALSE(guard);

  // Freed outright by its command: nothing of it is touched afterwards.
  menu_ = new TbsSkinPopupMenu(form_);
  BuildSystemMenu();
  menu_->SetPopupComponent(&opener);
  guard = menu_;
  menu_->Items()->Items(0)->SetOnClick([this](TObject*) { TComponent::Free(menu_); });
  menu_->Popup(10, 10);
  Runner()->KeyDown(VK_RETURN);
  EXPECT_FALSE(guard);
  EXPECT_EQ(opener.dispatchNotices, 2);
  EXPECT_EQ(Runner()->LevelCount(), 0);
}

TEST_F(SkinMenu, MenuTallerThanTheWorkAreaScrolls)
{
  for (int i = 0; i < 200; ++i) Add(menu_->Items(), QStringLiteral("I%1").arg(i), QStringLiteral("Item %1").arg(i));
  menu_->Popup(10, 10);
  TbsSkinPopupWindow* level = Level(0);
  const QRect bounds = Runner()->Bounds();
  ASSERT_TRUE(level->Scrolling());
  EXPECT_EQ(level->BoundsRect(), QRect(10 + 1, bounds.y(), level->Width(), bounds.height()));
  // Items start below the 10-pixel marker band and stop above the lower one.
  EXPECT_EQ(level->Item(0).ItemRect.y(), level->ItemsArea().y() + 10);
  const int shown = level->VisibleCount();
  EXPECT_EQ(shown, (level->ItemsArea().height() - 20) / 20);
  EXPECT_FALSE(level->Item(shown).Visible);

  // Resting in the lower band scrolls one item per poll; leaving it stops.
  cursor_ = level->BoundsRect().topLeft() + QPoint(level->Width() / 2, level->ItemsArea().bottom() - 3);
  level->MousePoll(cursor_);
  level->MousePoll(cursor_);
  EXPECT_EQ(level->ScrollDirection(), 2);
  EXPECT_EQ(level->FirstVisible(), 2);
  cursor_ += QPoint(0, -100);
  level->MousePoll(cursor_);
  EXPECT_EQ(level->ScrollDirection(), 0);
  EXPECT_EQ(level->FirstVisible(), 2);

  // Up from the first item wraps to the last, which scrolls into view.
  level->SetActive(0);
  EXPECT_EQ(level->FirstVisible(), 0);
  Runner()->KeyDown(VK_UP);
  EXPECT_EQ(level->ActiveIndex(), 199);
  EXPECT_TRUE(level->Item(199).Visible);
  EXPECT_EQ(level->FirstVisible() + level->VisibleCount(), 200);
}

TEST_F(SkinMenu, PlacementKeepsTheMenuInsideTheWorkArea)
{
  BuildSystemMenu();
  menu_->Popup(0, 0);
  const QRect work = Runner()->Bounds();
  const int w = Level(0)->Width(), h = Level(0)->Height();
  // At the bottom-right corner: opens above the point and ends at the right edge.
  const int right = work.x() + work.width(), bottom = work.y() + work.height();
  menu_->Popup(right - 5, bottom - 5);
  EXPECT_EQ(Level(0)->BoundsRect(), QRect(right - w, bottom - 5 - h, w, h));

  // Near the top right: below the point, moved left to fit.
  menu_->Popup(right - 5, work.y() + 10);
  EXPECT_EQ(Level(0)->BoundsRect(), QRect(right - w, work.y() + 10, w, h));
  // Under a button's rectangle, opening upward when there is room above.
  menu_->PopupUnder(QRect(100, 300, 40, 20), true);
  EXPECT_EQ(Level(0)->BoundsRect(), QRect(100, 300 - h, w, h));
  // The previous menus were closed each time one opened.
  EXPECT_EQ(form_->closed, 3);
  EXPECT_EQ(form_->opened, 4);
}

TEST_F(SkinMenu, NothingOpensWithoutItemsOrWithoutASkinnedForm)
{
  menu_->Popup(10, 10);
  EXPECT_FALSE(Runner()->IsOpen());
  Runner()->Popup(nullptr, nullptr, false, menu_->Items(), QRect(10, 10, 0, 0), 5);
  EXPECT_FALSE(Runner()->IsOpen());
  TForm plain(nullptr);
  auto* orphan = new TbsSkinPopupMenu(&plain);
  orphan->Items()->Add(TMenuItem::Create("A", "A"));
  EXPECT_EQ(orphan->FindHost(), nullptr);
  orphan->Popup(10, 10);
  EXPECT_EQ(form_->opened, 0);
}

TEST_F(SkinMenu, MenuTransparency)
{
  BuildSystemMenu();
  Runner()->SetAlphaBlend(true);
  menu_->Popup(10, 10);
  if (!TransparencySupported()) GTEST_SKIP() << "no window opacity here";
  EXPECT_NEAR(Level(0)->Handle()->windowOpacity(), 150 / 255.0, 0.01);
  // Fading in starts fully transparent.
  Runner()->SetAlphaBlendAnimation(true);
  menu_->Popup(10, 10);
  EXPECT_NEAR(Level(0)->Handle()->windowOpacity(), 0.0, 0.01);
}

TEST_F(SkinMenu, PressOutsideTheLevelsCloses)
{
  BuildSystemMenu();
  menu_->Popup(10, 10);
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(900, 700), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QCoreApplication::sendEvent(form_->Handle(), &press);
  EXPECT_FALSE(Runner()->IsOpen());
  EXPECT_EQ(form_->closed, 1);
}

TEST_F(SkinMenu, DescriptionsHoldPopupMenusWithNestedItems)
{
  RegisterToolkitClasses();
  RegisterSkinClasses();
  const QString text = QStringLiteral(
      "object Holder: TComponent\n"
      "  object bsSkinPopupMenu1: TbsSkinPopupMenu\n"
      "    object Open1: TMenuItem\n"
      "      Caption = '打开(&O)'\n"
      "      ShortCut = 'Ctrl+O'\n"
      "      object Sub1: TMenuItem\n"
      "        Caption = 'Sub'\n"
      "        Checked = True\n"
      "      end\n"
      "    end\n"
      "    object N1: TMenuItem\n"
      "      Caption = '-'\n"
      "    end\n"
      "  end\n"
      "  object bsTrayIcon1: TbsTrayIcon\n"
      "    Hint = 'Velmora网络广播电视'\n"
      "    IconVisible = False\n"
      "    PopupMenu = bsSkinPopupMenu1\n"
      "  end\n"
      "end\n");
  TComponent* root = ReadComponentText(text, "menu.vfm");
  auto* popup = qobject_cast<TbsSkinPopupMenu*>(root->FindComponent("bsSkinPopupMenu1"));
  ASSERT_NE(popup, nullptr);
  ASSERT_EQ(popup->Items()->Count(), 2);
  TMenuItem* open = popup->Items()->Items(0);
  EXPECT_EQ(open->Caption(), QStringLiteral("打开(&O)"));
  EXPECT_EQ(open->ShortCut(), "Ctrl+O");
  ASSERT_EQ(open->Count(), 1);
  EXPECT_TRUE(open->Items(0)->Checked());
  EXPECT_TRUE(popup->Items()->Items(1)->IsLine());
  auto* tray = qobject_cast<TbsTrayIcon*>(root->FindComponent("bsTrayIcon1"));
  ASSERT_NE(tray, nullptr);
  EXPECT_EQ(tray->PopupMenu(), popup);
  EXPECT_FALSE(tray->IconVisible());
  EXPECT_EQ(WriteComponentText(root), text);
  TComponent::Free(root);
}

} // namespace
