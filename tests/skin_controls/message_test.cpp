// The skinned message box: captions, buttons and their results, sizes (short,
// long and skinned), strings from the skin's table, and the modal run.
#include "skin_controls/skin_message.h"
#include "skin_controls_support.h"

#include <QApplication>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QTimer>
#include <gtest/gtest.h>

using namespace skin_test;

namespace {

TEST(SkinMessage, WarningWithYesAndNo)
{
  Owned<TbsSkinMessage> message(new TbsSkinMessage(nullptr));
  std::unique_ptr<TbsMessageForm, ComponentDeleter> form(
      message->BuildMessageForm(QStringLiteral("文件已存在。"), mtWarning, mbYes | mbNo));
  EXPECT_EQ(form->Caption(), "警告");
  TbsSkinButton* yes = form->Button("Yes");
  TbsSkinButton* no = form->Button("No");
  ASSERT_TRUE(yes && no);
  EXPECT_EQ(form->Button("OK"), nullptr);
  EXPECT_EQ(yes->Caption(), "是(&Y)");
  EXPECT_EQ(no->Caption(), "否(&N)");
  EXPECT_TRUE(yes->Default());
  EXPECT_FALSE(yes->Cancel());
  EXPECT_TRUE(no->Cancel());
  EXPECT_EQ(yes->ModalResult(), 6);
  EXPECT_EQ(no->ModalResult(), 7);

  // Two buttons: a row of 130; a short text: a client 170 wide.
  const TbsSkinStdLabel* label = form->MessageLabel();
  ASSERT_LT(label->Left() + label->Width(), 130);
  EXPECT_EQ(form->ClientWidth(), 170);
  EXPECT_EQ(form->ClientHeight(), 25 + label->Height() + 50);
  EXPECT_EQ(yes->BoundsRect(), QRect(20, form->ClientHeight() - 35, 60, 25));
  EXPECT_EQ(no->Left(), 90);
  auto* icon = qobject_cast<TbsMessageIcon*>(form->FindComponent("Image"));
  ASSERT_NE(icon, nullptr);
  EXPECT_EQ(icon->BoundsRect(), QRect(5, 10, 32, 32));
  EXPECT_EQ(icon->Kind(), mtWarning);

  // A kind outside the table is the custom kind: the program's title, no icon.
  std::unique_ptr<TbsMessageForm, ComponentDeleter> odd(message->BuildMessageForm("x", 9, mbOK));
  EXPECT_EQ(odd->Caption(), Application->Title());
  EXPECT_EQ(qobject_cast<TbsMessageIcon*>(odd->FindComponent("Image"))->Kind(), mtCustom);
  EXPECT_TRUE(odd->Button("OK")->Default());
  EXPECT_TRUE(odd->Button("OK")->Cancel());
}

TEST(SkinMessage, LongTextWrapsInsideTheWorkAreaAndTheRowIsCentred)
{
  Owned<TbsSkinMessage> message(new TbsSkinMessage(nullptr));
  const QRect work = Screen->WorkAreaRect();
  QString text;
  for (int i = 0; i < 400; ++i) text += QStringLiteral("很长的消息 ");
  std::unique_ptr<TbsMessageForm, ComponentDeleter> form(message->BuildMessageForm(text, mtError, mbOK | mbCancel));
  EXPECT_EQ(form->Caption(), "错误");
  EXPECT_LE(form->Width(), work.width());
  EXPECT_LE(form->Height(), work.height());
  EXPECT_GT(form->MessageLabel()->Height(), 30) << "wrapped onto several lines";
  EXPECT_LE(form->MessageLabel()->Left() + form->MessageLabel()->Width(), form->ClientWidth());
  TbsSkinButton* ok = form->Button("OK");
  TbsSkinButton* cancel = form->Button("Cancel");
  EXPECT_EQ(ok->Left() - 0, form->ClientWidth() - (cancel->Left() + cancel->Width()));
  EXPECT_LE(ok->Top() + ok->Height(), form->ClientHeight());

  // A long path has no spaces to break at: it breaks inside, every line within the label.
  QString path = QStringLiteral("录音失败：无法创建文件 ");
  for (int i = 0; i < 30; ++i) path += QStringLiteral("/很长的文件夹名字_%1").arg(i);
  path += QStringLiteral("/节目.mp3：Read-only file system");
  std::unique_ptr<TbsMessageForm, ComponentDeleter> boxed(message->BuildMessageForm(path, mtError, mbOK));
  const TbsSkinStdLabel* pathLabel = boxed->MessageLabel();
  EXPECT_LE(pathLabel->Left() + pathLabel->Width(), boxed->ClientWidth());
  TFont font;
  const_cast<TbsSkinStdLabel*>(pathLabel)->TextFont(&font);
  const QFontMetrics metrics(font.ToQFont());
  const QStringList lines = pathLabel->Caption().split(u'\n');
  EXPECT_GT(lines.size(), 1);
  for (const QString& line : lines) EXPECT_LE(metrics.horizontalAdvance(line), pathLabel->Width()) << line.toStdString();
  EXPECT_EQ(lines.join(QString()).remove(u' '), QString(path).remove(u' ')) << "nothing lost";
  // Every line shows whole: a line's spacing for each but the last, which needs its full height.
  EXPECT_GE(pathLabel->Height(), (lines.size() - 1) * metrics.lineSpacing() + metrics.height());

  // A one-line text a little wider than the row widens the box to its end plus 40.
  std::unique_ptr<TbsMessageForm, ComponentDeleter> wide(
      message->BuildMessageForm(QStringLiteral("一行稍长的文字，不换行也放得下"), mtInformation, mbOK));
  const TbsSkinStdLabel* label = wide->MessageLabel();
  EXPECT_FALSE(label->WordWrap());
  EXPECT_EQ(wide->ClientWidth(), label->Left() + label->Width() + 40);
}

TEST(SkinMessage, SkinnedButtonsAndStringsFromTheSkinTable)
{
  Owned<TForm> owner(NewForm());
  TbsSkinData* skin = LoadSmallSkin(owner.get(), ControlLines({"button:button"},
                                                              {"[button]", "pictureindex=0", "skinrect=0,0,30,23",
                                                               "lefttoppoint=3,3", "righttoppoint=27,3",
                                                               "clientrect=3,3,27,20"}));
  auto* strings = new TbsResourceStrData(owner.get());
  strings->SetResStrings({"MSG_BTN_RETRY=再来", "MSG_CAP_CONFIRM=请确认"});
  skin->SetResourceStrData(strings);
  Owned<TbsSkinMessage> message(new TbsSkinMessage(nullptr));
  message->SetCtrlSkinData(skin);
  std::unique_ptr<TbsMessageForm, ComponentDeleter> form(
      message->BuildMessageForm(QStringLiteral("再试一次？"), mtConfirmation, mbRetry | mbCancel));
  EXPECT_EQ(form->Caption(), "请确认");
  TbsSkinButton* retry = form->Button("Retry");
  ASSERT_NE(retry, nullptr);
  EXPECT_EQ(retry->Caption(), "再来");
  EXPECT_TRUE(retry->Default()) << "no OK, no Yes: Retry";
  EXPECT_EQ(retry->Height(), 23);
  EXPECT_EQ(form->ClientHeight(), 23 + form->MessageLabel()->Height() + 50);

  // The skin data going away clears the reference.
  TComponent::Free(skin);
  EXPECT_EQ(message->CtrlSkinData(), nullptr);
}

TEST(SkinMessage, ModalRunReturnsThePressedButton)
{
  Owned<TbsSkinMessage> message(new TbsSkinMessage(nullptr));
  QTimer::singleShot(0, [&] {
    ASSERT_NE(message->CurrentForm(), nullptr);
    message->CurrentForm()->Button("No")->SimulateClick();
  });
  EXPECT_EQ(message->ShowMessageBox("?", mtWarning, mbYes | mbNo, 0), 7);
  EXPECT_EQ(message->CurrentForm(), nullptr) << "freed after the call";

  QTimer::singleShot(0, [&] { message->CurrentForm()->Perform(WM_KEYDOWN, VK_RETURN, 0); });
  EXPECT_EQ(message->ShowMessageBox("?", mtWarning, mbYes | mbNo, 0), 6) << "Enter presses the default";

  QTimer::singleShot(0, [&] { message->CurrentForm()->Close(); });
  EXPECT_EQ(message->ShowMessageBox("?", mtInformation, mbOK, 0), 2) << "closed without a button";
}

TEST(SkinMessage, AClickOnTheBodyLeavesTheLetterKeysAnswering)
{
  Owned<TbsSkinMessage> message(new TbsSkinMessage(nullptr));
  const auto clickBodyThenType = [&](QChar letter) {
    QTimer::singleShot(0, [&, letter] {
      TbsMessageForm* form = message->CurrentForm();
      ASSERT_NE(form, nullptr);
      QWidget* window = form->Handle();
      window->activateWindow();
      const QPointF body(form->NonClientMargins().left() + 10, form->NonClientMargins().top() + 5);
      QMouseEvent press(QEvent::MouseButtonPress, body, window->mapToGlobal(body), Qt::LeftButton, Qt::LeftButton, {});
      QCoreApplication::sendEvent(window, &press);
      QMouseEvent release(QEvent::MouseButtonRelease, body, window->mapToGlobal(body), Qt::LeftButton, Qt::NoButton, {});
      QCoreApplication::sendEvent(window, &release);
      QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : window;
      QKeyEvent key(QEvent::KeyPress, Qt::Key_A + (letter.toUpper().unicode() - u'A'), {}, QString(letter));
      QCoreApplication::sendEvent(target, &key);
    });
  };
  clickBodyThenType(u'n');
  EXPECT_EQ(message->ShowMessageBox(QStringLiteral("录音正在进行，您确定要停止录音吗？"), mtWarning, mbYes | mbNo, 0), 7);
  clickBodyThenType(u'y');
  EXPECT_EQ(message->ShowMessageBox(QStringLiteral("录音正在进行，您确定要停止录音吗？"), mtWarning, mbYes | mbNo, 0), 6);
}

} // namespace
