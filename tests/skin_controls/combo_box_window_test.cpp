// The record window's bit-rate box, read from a window description and shown:
// driven by the window system's mouse and key events, and on a real X display
// by synthetic clicks and keys from xdotool.
#include "skin_controls/skin_combo_box.h"
#include "skin_controls_support.h"
#include "support/pump.h"
#include "toolkit/form_reader.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QProcess>
#include <QStandardPaths>
#include <QWidget>
#include <gtest/gtest.h>

using namespace skin_test;

namespace {

// The bit-rate box as the record window describes it.
const char kDescription[] = R"(object BitRateWindow: TForm
  Left = 100
  Top = 100
  BorderStyle = bsNone
  ClientWidth = 300
  ClientHeight = 60
  object bsSkinComboBoxBit: TbsSkinComboBox
    Left = 136
    Top = 11
    Width = 120
    Height = 20
    SkinDataName = 'combobox'
    Style = bscbFixedStyle
    DropDownCount = 8
    ListBoxUseSkinItemHeight = True
    Items = (
      '32 kbps'
      '64 kbps'
      '128 kbps')
    ItemIndex = 1
    Font.Name = 'Arial'
    Font.Height = 14
  end
end
)";

struct BitRateWindow {
  Owned<TForm> Form;
  TbsSkinComboBox* Box = nullptr;
  TbsSkinData* Skin = nullptr;

  BitRateWindow()
  {
    RegisterClasses();
    Form.reset(static_cast<TForm*>(ReadComponentText(QString::fromUtf8(kDescription), "bitrate.vfm")));
    Box = qobject_cast<TbsSkinComboBox*>(Form->FindComponent("bsSkinComboBoxBit"));
    Skin = LoadBuiltinSkin(Form.get());
    Box->SetSkinData(Skin);
    Form->Show();
    Form->Handle()->activateWindow();
  }
  ~BitRateWindow()
  {
    if (Box) Box->CloseUpList(false);
  }
};

void Mouse(QWidget* w, QEvent::Type type, QPoint at)
{
  const Qt::MouseButtons held = type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton;
  QMouseEvent e(type, QPointF(at), QPointF(w->mapToGlobal(at)), Qt::LeftButton, held, Qt::NoModifier);
  QCoreApplication::sendEvent(w, &e);
}

void KeyTo(QWidget* w, int key, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
  QKeyEvent press(QEvent::KeyPress, key, mods);
  QCoreApplication::sendEvent(w, &press);
  QKeyEvent release(QEvent::KeyRelease, key, mods);
  QCoreApplication::sendEvent(w, &release);
}

TEST(SkinComboBoxWindow, DescribedBitRateBoxAnswersMouseAndKeys)
{
  BitRateWindow t;
  ASSERT_NE(t.Box, nullptr);
  EXPECT_EQ(t.Box->Text(), "64 kbps");
  EXPECT_EQ(t.Box->Height(), 20);
  int clicks = 0;
  t.Box->SetOnClick([&](TObject*) { ++clicks; });

  QWidget* w = t.Box->Handle();
  const QPoint button = t.Box->ButtonArea().center();
  Mouse(w, QEvent::MouseButtonPress, button);
  Mouse(w, QEvent::MouseButtonRelease, button);
  ASSERT_TRUE(t.Box->ListOpen());
  TbsListBox* inner = t.Box->PopupList()->ListBox();
  EXPECT_TRUE(t.Box->PopupList()->Handle()->isVisible());

  // A click on the third row chooses it.
  const QPoint third = inner->ItemRect(2).center();
  Mouse(inner->Handle(), QEvent::MouseMove, third);
  Mouse(inner->Handle(), QEvent::MouseButtonPress, third);
  Mouse(inner->Handle(), QEvent::MouseButtonRelease, third);
  EXPECT_FALSE(t.Box->ListOpen());
  EXPECT_EQ(t.Box->Text(), "128 kbps");
  EXPECT_EQ(clicks, 1);

  // Alt+Down opens, Escape closes without a choice.
  KeyTo(w, Qt::Key_Down, Qt::AltModifier);
  ASSERT_TRUE(t.Box->ListOpen());
  KeyTo(w, Qt::Key_Escape);
  EXPECT_FALSE(t.Box->ListOpen());
  EXPECT_EQ(t.Box->Text(), "128 kbps");
  EXPECT_EQ(clicks, 1);
}

// Runs xdotool with the arguments and keeps the event loop going meanwhile.
bool Xdotool(const QStringList& args)
{
  QProcess p;
  p.start(QStringLiteral("xdotool"), args);
  if (!p.waitForStarted(5000)) return false;
  PumpUntil([&] { return p.state() == QProcess::NotRunning; }, 10000);
  return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

TEST(SkinComboBoxWindow, SyntheticXClicksOpenAndCloseTheList)
{
  if (QGuiApplication::platformName() != QLatin1String("xcb") || QStandardPaths::findExecutable("xdotool").isEmpty())
    GTEST_SKIP() << "needs an X display and xdotool";
  BitRateWindow t;
  ASSERT_TRUE(PumpUntil([&] { return t.Box->Handle()->isVisible(); }));
  const QPoint button = t.Box->ClientToScreen(t.Box->ButtonArea().center());
  auto click = [](QPoint at) {
    return Xdotool({"mousemove", QString::number(at.x()), QString::number(at.y()), "click", "1"});
  };

  ASSERT_TRUE(click(button));
  ASSERT_TRUE(PumpUntil([&] { return t.Box->ListOpen(); })) << "a click on the arrow opens the list";
  ASSERT_TRUE(click(button));
  ASSERT_TRUE(PumpUntil([&] { return !t.Box->ListOpen(); })) << "a second click closes it";
  EXPECT_EQ(t.Box->Text(), "64 kbps");

  ASSERT_TRUE(click(button));
  ASSERT_TRUE(PumpUntil([&] { return t.Box->ListOpen(); }));
  TbsListBox* inner = t.Box->PopupList()->ListBox();
  ASSERT_TRUE(click(inner->ClientToScreen(inner->ItemRect(0).center())));
  ASSERT_TRUE(PumpUntil([&] { return !t.Box->ListOpen(); }));
  EXPECT_EQ(t.Box->Text(), "32 kbps");

  // Keys from the X server: Alt+Down opens, Down moves, Enter takes it.
  t.Box->SetFocus();
  ASSERT_TRUE(PumpUntil([&] { return t.Box->Focused(); }));
  ASSERT_TRUE(Xdotool({"key", "alt+Down"}));
  ASSERT_TRUE(PumpUntil([&] { return t.Box->ListOpen(); }));
  ASSERT_TRUE(Xdotool({"key", "Down", "Return"}));
  ASSERT_TRUE(PumpUntil([&] { return !t.Box->ListOpen(); }));
  EXPECT_EQ(t.Box->Text(), "64 kbps");
}

} // namespace
