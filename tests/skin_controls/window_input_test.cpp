// Skinned controls on a shown window, driven by the window system's mouse and
// key events rather than by messages (also run on a real X display).
#include "skin_controls/skin_buttons.h"
#include "skin_controls/skin_panels.h"
#include "skin_controls_support.h"
#include "support/qt_printers.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <gtest/gtest.h>

using namespace skin_test;

namespace {

void Mouse(QWidget* w, QEvent::Type type, QPoint at, Qt::MouseButtons held)
{
  const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
  QMouseEvent e(type, QPointF(at), QPointF(w->mapToGlobal(at)), button, held, Qt::NoModifier);
  QCoreApplication::sendEvent(w, &e);
}

void Click(QWidget* w, QPoint at)
{
  Mouse(w, QEvent::MouseButtonPress, at, Qt::LeftButton);
  Mouse(w, QEvent::MouseButtonRelease, at, Qt::NoButton);
}

TEST(SkinWindowInput, ToolButtonsAndPushButtonsAnswerTheMouse)
{
  Owned<TForm> form(NewForm());
  TbsSkinData* skin = LoadBuiltinSkin(form.get());
  auto* bar = new TbsSkinToolBar(form.get());
  bar->SetParent(form.get());
  bar->SetAlign(TControl::alTop);
  int clicks[2] = {};
  TbsSkinSpeedButton* tools[2];
  for (int i = 0; i < 2; ++i) {
    tools[i] = new TbsSkinSpeedButton(form.get());
    tools[i]->SetParent(bar);
    tools[i]->SetBounds(i * 25, 0, 25, 25);
    tools[i]->SetAlign(TControl::alLeft);
    tools[i]->SetOnClick([&clicks, i](TObject*) { ++clicks[i]; });
  }
  bar->SetSkinData(skin);
  int pushClicks = 0;
  auto* push = new TbsSkinButton(form.get());
  push->SetParent(form.get());
  push->SetBounds(10, 60, 113, 25);
  push->SetCaption(QStringLiteral("开始录音"));
  push->SetSkinData(skin);
  push->SetOnClick([&](TObject*) { ++pushClicks; });
  form->Show();
  QWidget* barWindow = bar->Handle();
  const QPoint first = tools[0]->BoundsRect().center(), second = tools[1]->BoundsRect().center();

  // Hovering makes a tool button hot; leaving it cools it.
  Mouse(barWindow, QEvent::MouseMove, first, Qt::NoButton);
  EXPECT_TRUE(tools[0]->MouseInside());
  Mouse(barWindow, QEvent::MouseMove, QPoint(200, 10), Qt::NoButton);
  EXPECT_FALSE(tools[0]->MouseInside());

  Click(barWindow, first);
  EXPECT_EQ(clicks[0], 1);
  // Pressed, dragged away and released elsewhere: no click, the button is up.
  Mouse(barWindow, QEvent::MouseButtonPress, second, Qt::LeftButton);
  EXPECT_TRUE(tools[1]->Down());
  Mouse(barWindow, QEvent::MouseMove, QPoint(200, 10), Qt::LeftButton);
  EXPECT_FALSE(tools[1]->MouseInside());
  Mouse(barWindow, QEvent::MouseButtonRelease, QPoint(200, 10), Qt::NoButton);
  EXPECT_EQ(clicks[1], 0);
  EXPECT_FALSE(tools[1]->Down());

  // The push button takes the focus with the press, then Space clicks it too.
  Click(push->Handle(), QPoint(20, 10));
  EXPECT_EQ(pushClicks, 1);
  EXPECT_EQ(QApplication::focusWidget() == nullptr ? push->Handle()->window()->focusWidget() : QApplication::focusWidget(),
            push->Handle());
  QKeyEvent down(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));
  QKeyEvent up(QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));
  QCoreApplication::sendEvent(push->Handle(), &down);
  QCoreApplication::sendEvent(push->Handle(), &up);
  EXPECT_EQ(pushClicks, 2);
}

} // namespace
