// Skinned hint window: its size from the skin's hint picture, its place by
// the cursor, and the component's take-over of the application's hints.
#include "menu_support.h"
#include "skin/skin_hint.h"

#include <QGuiApplication>
#include <QScreen>
#include <gtest/gtest.h>

TEST(SkinHint, SizeFromTheHintPictureOrTheBuiltInLook)
{
  TForm owner(nullptr);
  auto* hint = new TbsSkinHint(&owner);
  TbsSkinHintWindow* window = hint->HintWindow();
  const QString text = QStringLiteral("系统菜单");

  // Without a skin: the text plus 4 pixels each way, in the default font.
  TFont font;
  font.Assign(hint->DefaultFont());
  const QSize plain = window->CalcHintSize(text);
  EXPECT_EQ(plain, QSize(font.Metrics().horizontalAdvance(text) + 8, font.Metrics().height() + 8));

  // With the built-in skin: the text plus the picture's border (39 x 17 picture, client 3,2,36,15), Arial 12.
  hint->SetSkinData(ReadMainWindowSkin(&owner));
  ASSERT_NE(window->SkinDefinition(), nullptr);
  TFont skinFont;
  skinFont.SetName("Arial");
  skinFont.SetHeight(12);
  const QSize skinned = window->CalcHintSize(text);
  EXPECT_EQ(skinned, QSize(skinFont.Metrics().horizontalAdvance(text) + 3 + 39 - 36, skinFont.Metrics().height() + 2 + 17 - 15)
                         .expandedTo(QSize(39, 17)));
  // A short text still gets the whole picture.
  EXPECT_EQ(window->CalcHintSize(QStringLiteral("x")).width(), 39);
  hint->SetUseSkinFont(false);
  EXPECT_NE(window->CalcHintSize(text), skinned);
}

TEST(SkinHint, PlacedBelowTheCursorAndKeptOnTheScreen)
{
  TForm owner(nullptr);
  auto* hint = new TbsSkinHint(&owner);
  TbsSkinHintWindow* window = hint->HintWindow();
  hint->ShowHintAt(QPoint(100, 100), QStringLiteral("提示"));
  EXPECT_TRUE(window->Visible());
  EXPECT_EQ(window->BoundsRect().topLeft(), QPoint(100, 100 + TbsSkinHintWindow::kCursorHeight));
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  const QPoint corner(screen.right() - 2, screen.bottom() - 2);
  hint->ShowHintAt(corner, QStringLiteral("提示"));
  const QSize size = window->BoundsRect().size();
  EXPECT_EQ(window->BoundsRect().topLeft(),
            QPoint(corner.x() - size.width() - 2, corner.y() + TbsSkinHintWindow::kCursorHeight - size.height() - 2));
  hint->HideHint();
  EXPECT_FALSE(window->Visible());
}

TEST(SkinHint, TakesOverTheApplicationsHintsAndMayBeRefused)
{
  TForm owner(nullptr);
  auto* hint = new TbsSkinHint(&owner);
  EXPECT_EQ(Application->HintShortPause, 100);
  ASSERT_TRUE(static_cast<bool>(Application->HintWindow));
  hint->SetOnShowHint([](TObject*, QString& text, bool& canShow) {
    if (text == "no") canShow = false;
    text += "!";
  });
  Application->HintWindow(&owner, QPoint(10, 10), "yes");
  EXPECT_TRUE(hint->HintWindow()->Visible());
  EXPECT_EQ(hint->HintWindow()->HintText(), "yes!");
  hint->ShowHintAt(QPoint(10, 10), "no");
  EXPECT_FALSE(hint->HintWindow()->Visible());

  // A second active hint of the main form switches the first off.
  Application->SetMainForm(&owner);
  auto* second = new TbsSkinHint(&owner);
  second->SetActive(false);
  second->SetActive(true);
  EXPECT_FALSE(hint->Active());
  EXPECT_TRUE(second->Active());
  // Delayed showing waits for the application's hint pause.
  second->ActivateHint("later");
  EXPECT_TRUE(second->ShowTimer().isActive());
  EXPECT_EQ(second->ShowTimer().interval(), Application->HintPause);
  Application->SetMainForm(nullptr);
  TComponent::Free(second);
  EXPECT_FALSE(static_cast<bool>(Application->HintWindow));
}
