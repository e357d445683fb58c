// Skinned menus on a real X display driven by the real pointer (xdotool):
// the shown level looks like its picture, hovering activates items and opens
// a submenu after the delay, a click runs an item, a press elsewhere closes.
// Runs only on the xcb platform (see CMakeLists.txt: its own Xvfb).
#include "menu_support.h"
#include "skin/skin_popup_window.h"
#include "support/pump.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QProcess>
#include <QScreen>
#include <gtest/gtest.h>

namespace {

// The deadline of a wait for something that will happen: generous, the
// machine may be busy (a wait ends as soon as it holds).
constexpr int kReadyMs = 20000;

void Pointer(const QStringList& args) { QProcess::execute("xdotool", args); }
void MoveTo(QPoint p) { Pointer({"mousemove", QString::number(p.x()), QString::number(p.y())}); }

QImage OnScreen(const QRect& r)
{
  return QGuiApplication::primaryScreen()->grabWindow(0, r.x(), r.y(), r.width(), r.height()).toImage().convertToFormat(
      QImage::Format_RGB888);
}

QImage Drawn(TbsSkinPopupWindow* level)
{
  TBitmap out;
  level->PaintToBitmap(out);
  return out.Image().convertToFormat(QImage::Format_RGB888);
}

TEST(MenuDesktop, PointerDrivesTheMenu)
{
  if (QGuiApplication::platformName() != "xcb") GTEST_SKIP() << "needs an X display: the ctest test skin_menu_desktop runs this on its own Xvfb with a panel";
  auto* form = new MenuHostForm();
  form->SetBounds(40, 40, 500, 400);
  form->skin = ReadMainWindowSkin(form);
  form->Show();
  auto* menu = new TbsSkinPopupMenu(form);
  QStringList clicked;
  const auto add = [&](TMenuItem* parent, const QString& caption) {
    TMenuItem* item = TMenuItem::Create(QString(), caption, QString(), [&clicked, caption](TObject*) { clicked << caption; });
    parent->Add(item);
    return item;
  };
  add(menu->Items(), QStringLiteral("第一"));
  TMenuItem* more = add(menu->Items(), QStringLiteral("更多"));
  add(more, QStringLiteral("里面"));
  add(menu->Items(), QStringLiteral("最后"));
  MoveTo(QPoint(600, 600));
  menu->Popup(100, 100);
  TbsSkinMenu* runner = form->SkinMenu();
  TbsSkinPopupWindow* top = runner->Level(0);
  ASSERT_TRUE(PumpUntil([&] { return top->Handle()->isVisible() && OnScreen(top->BoundsRect()) == Drawn(top); }, kReadyMs))
      << "the level on the screen differs from its picture";

  // Hovering the last item makes it active (the 50 ms poll of the real cursor).
  MoveTo(top->ItemScreenRect(2).center());
  ASSERT_TRUE(PumpUntil([&] { return top->ActiveIndex() == 2; }, kReadyMs));
  EXPECT_TRUE(PumpUntil([&] { return OnScreen(top->BoundsRect()) == Drawn(top); }, kReadyMs));

  // Resting on "更多" opens its submenu after the delay.
  MoveTo(top->ItemScreenRect(1).center());
  ASSERT_TRUE(PumpUntil([&] { return top->ActiveIndex() == 1; }, kReadyMs));
  QElapsedTimer delay;
  delay.start();
  ASSERT_TRUE(PumpUntil([&] { return runner->LevelCount() == 2; }, kReadyMs));
  EXPECT_GE(delay.elapsed(), 400);
  TbsSkinPopupWindow* sub = runner->Level(1);
  ASSERT_TRUE(PumpUntil([&] { return sub->Handle()->isVisible(); }, kReadyMs));

  // A click on the submenu's item runs it and closes everything.
  MoveTo(sub->ItemScreenRect(0).center());
  PumpUntil([] { return false; }, 150);
  Pointer({"click", "1"});
  ASSERT_TRUE(PumpUntil([&] { return !clicked.isEmpty(); }, kReadyMs));
  EXPECT_EQ(clicked, QStringList{QStringLiteral("里面")});
  EXPECT_FALSE(runner->IsOpen());
  EXPECT_EQ(form->closed, 1);

  // Opened while the button is held on the form (as a caption button opens
  // it), the release over an item runs that item.
  MoveTo(QPoint(400, 350));
  Pointer({"mousedown", "1"});
  ASSERT_TRUE(PumpUntil([] { return QGuiApplication::mouseButtons().testFlag(Qt::LeftButton); }, kReadyMs));
  menu->Popup(100, 100);
  ASSERT_TRUE(PumpUntil([&] { return runner->Level(0)->Handle()->isVisible(); }, kReadyMs));
  MoveTo(runner->Level(0)->ItemScreenRect(2).center());
  PumpUntil([] { return false; }, 150);
  Pointer({"mouseup", "1"});
  ASSERT_TRUE(PumpUntil([&] { return clicked.size() == 2; }, kReadyMs));
  EXPECT_EQ(clicked.last(), QStringLiteral("最后"));
  EXPECT_FALSE(runner->IsOpen());

  // Opened again, a press on the form closes it without running anything.
  menu->Popup(100, 100);
  ASSERT_TRUE(PumpUntil([&] { return runner->Level(0)->Handle()->isVisible(); }, kReadyMs));
  MoveTo(QPoint(400, 350));
  PumpUntil([] { return false; }, 150);
  Pointer({"click", "1"});
  EXPECT_TRUE(PumpUntil([&] { return !runner->IsOpen(); }, kReadyMs));
  EXPECT_EQ(clicked.size(), 2);
  TComponent::Free(form);
}

} // namespace
