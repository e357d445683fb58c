// The skinned edit box: editing keys, read-only rules, single-line paste and
// Enter, the right-click menu and its lifetime, the skin's frame and insets,
// the button and the attached label.
#include "skin_controls/skin_edit.h"
#include "skin/skin_menu.h"
#include "skin/skin_popup_window.h"
#include "skin_controls_support.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QPointer>
#include <gtest/gtest.h>

using namespace skin_test;

namespace {

void Key(TControl* c, int vk, TShiftState shift = TShiftState()) { c->Perform(WM_KEYDOWN, vk, int(shift)); }
void Type(TControl* c, const QString& text)
{
  for (QChar ch : text) c->Perform(WM_CHAR, ch.unicode(), 0);
}

TbsSkinEdit* NewEdit(TForm* form)
{
  auto* edit = new TbsSkinEdit(form);
  edit->SetParent(form);
  edit->SetBounds(60, 40, 150, 20);
  return edit;
}

// The enabled state of the context menu's items by caption.
QMap<QString, bool> MenuState(TbsSkinPopupMenu* menu)
{
  QMap<QString, bool> state;
  for (int i = 0; i < menu->Items()->Count(); ++i) state[menu->Items()->Items(i)->Caption()] = menu->Items()->Items(i)->Enabled();
  return state;
}

TEST(SkinEdit, TypingCaretSelectionUndoAndSingleLinePaste)
{
  Owned<TForm> form(NewForm());
  TbsSkinEdit* edit = NewEdit(form.get());
  int changes = 0;
  QList<QChar> pressed;
  edit->SetOnChange([&](TObject*) { ++changes; });
  edit->SetOnKeyPress([&](TObject*, QChar& ch) { pressed << ch; });
  Type(edit, "abcd");
  EXPECT_EQ(edit->Text(), "abcd");
  EXPECT_EQ(changes, 4);
  Key(edit, VK_LEFT);
  Key(edit, VK_LEFT, ssShift);
  EXPECT_EQ(edit->SelText(), "c");
  Type(edit, "X");
  EXPECT_EQ(edit->Text(), "abXd");
  Type(edit, "\b");
  EXPECT_EQ(edit->Text(), "abd");
  Key(edit, VK_HOME);
  Key(edit, VK_DELETE);
  EXPECT_EQ(edit->Text(), "bd");
  Key(edit, 'Z', ssCtrl);
  EXPECT_EQ(edit->Text(), "abd");

  // Enter is seen by the key-press handler and never typed.
  pressed.clear();
  Type(edit, "\r");
  EXPECT_EQ(edit->Text(), "abd");
  EXPECT_EQ(pressed, QList<QChar>{u'\r'});

  // A pasted text stops at its first line break.
  QGuiApplication::clipboard()->setText("one\r\ntwo");
  Key(edit, 'A', ssCtrl);
  Key(edit, 'V', ssCtrl);
  EXPECT_EQ(edit->Text(), "one");
  edit->SetMaxLength(5);
  QGuiApplication::clipboard()->setText("123456789");
  Key(edit, VK_END);
  Key(edit, 'V', ssCtrl);
  EXPECT_EQ(edit->Text(), "one12") << "the maximum length holds";
}

TEST(SkinEdit, ReadOnlyBoxOnlyCopiesAndSelects)
{
  Owned<TForm> form(NewForm());
  TbsSkinEdit* edit = NewEdit(form.get());
  edit->SetText("C:/录音/a.mp3");
  edit->SetReadOnly(true);
  QGuiApplication::clipboard()->setText("pasted");
  // Each on its own: a typed "x" and a Backspace after it would cancel out.
  Type(edit, "x");
  EXPECT_EQ(edit->Text(), "C:/录音/a.mp3") << "typing";
  Type(edit, "\b");
  EXPECT_EQ(edit->Text(), "C:/录音/a.mp3") << "Backspace";
  edit->SetSelection(0, 0);
  Key(edit, VK_DELETE);
  EXPECT_EQ(edit->Text(), "C:/录音/a.mp3") << "Delete";
  Key(edit, 'A', ssCtrl);
  Key(edit, 'X', ssCtrl);
  Key(edit, 'V', ssCtrl);
  edit->ClearSelection();
  EXPECT_EQ(edit->Text(), "C:/录音/a.mp3");
  EXPECT_TRUE(edit->AllSelected());
  Key(edit, 'C', ssCtrl);
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "C:/录音/a.mp3");

  edit->SetSelection(0, 2);
  edit->ShowContextMenu(QPoint(-1, -1));
  ASSERT_NE(edit->ContextMenu(), nullptr);
  const QMap<QString, bool> state = MenuState(edit->ContextMenu());
  EXPECT_FALSE(state.value("撤销"));
  EXPECT_FALSE(state.value("剪切"));
  EXPECT_TRUE(state.value("复制"));
  EXPECT_FALSE(state.value("粘贴"));
  EXPECT_FALSE(state.value("删除"));
  EXPECT_TRUE(state.value("全部选定"));
  EXPECT_EQ(edit->ContextMenu()->Items()->Count(), 8);

  // The menu's own command ends before the menu goes; a new right click
  // replaces a menu that was closed without a choice.
  QPointer<TbsSkinPopupMenu> menu = edit->ContextMenu();
  menu->Items()->Items(7)->Click();
  EXPECT_TRUE(edit->AllSelected());
  edit->Perform(WM_AFTERDISPATCH);
  EXPECT_EQ(edit->ContextMenu(), nullptr);
  EXPECT_FALSE(menu.isNull()) << "still alive while the command's event runs";
  for (int i = 0; i < 3 && menu; ++i) QCoreApplication::processEvents();
  EXPECT_TRUE(menu.isNull());
}

// Chinese names come from an input method: its committed text is typed at
// the caret (one line, the selection replaced); a read-only box takes none.
TEST(SkinEdit, InputMethodTextIsTypedAtTheCaret)
{
  Owned<TForm> form(NewForm());
  TbsSkinEdit* edit = NewEdit(form.get());
  QWidget* widget = edit->Handle();
  EXPECT_TRUE(widget->testAttribute(Qt::WA_InputMethodEnabled));
  EXPECT_TRUE(widget->inputMethodQuery(Qt::ImEnabled).toBool());
  edit->SetText("a.mp3");
  edit->SetSelection(0, 1);
  QInputMethodEvent preedit("zao", {});
  QCoreApplication::sendEvent(widget, &preedit);
  EXPECT_EQ(edit->Text(), "a.mp3") << "composing text is not yet typed";
  QInputMethodEvent commit;
  commit.setCommitString("早间\n新闻");
  QCoreApplication::sendEvent(widget, &commit);
  EXPECT_EQ(edit->Text(), "早间.mp3");
  const QRect caret = widget->inputMethodQuery(Qt::ImCursorRectangle).toRect();
  EXPECT_GT(caret.left(), 0) << "the candidate window follows the caret";

  edit->SetReadOnly(true);
  EXPECT_FALSE(widget->testAttribute(Qt::WA_InputMethodEnabled));
  QCoreApplication::sendEvent(widget, &commit);
  EXPECT_EQ(edit->Text(), "早间.mp3");
}

TEST(SkinEdit, StatusEditTakesTheSkinsHeightAndInsets)
{
  Owned<TForm> form(NewForm());
  TbsSkinData* skin = LoadBuiltinSkin(form.get());
  TbsSkinEdit* edit = NewEdit(form.get());
  edit->SetSkinDataName("statusedit");
  edit->SetReadOnly(true);
  edit->SetSkinData(skin);
  EXPECT_EQ(edit->Height(), 17);
  EXPECT_EQ(edit->NonClientMargins(), QMargins(1, 2, 2, 1));
  EXPECT_EQ(edit->TextRect(), SkinRect(1, 2, 148, 16));
  edit->SetHeight(40);
  EXPECT_EQ(edit->Height(), 17) << "the skin's height holds";
  EXPECT_EQ(edit->Font()->Name(), "Arial");
  edit->SetEnabled(false);
  EXPECT_EQ(edit->Font()->Color(), 8421504) << "disabled colour of the skin";

  // The whole box is painted from the skin, the text area included.
  edit->SetText("录音文件");
  const QImage image = Paint(edit);
  EXPECT_EQ(CountNearColor(image, image.rect(), kUnpainted, 0), 0);

  // A skin without the definition leaves the default look and size.
  edit->SetSkinDataName("nosuchedit");
  edit->ApplySkinData();
  EXPECT_EQ(edit->Height(), 20);
  EXPECT_EQ(edit->NonClientMargins(), QMargins(2, 2, 2, 2));
}

TEST(SkinEdit, ButtonModeAndLabel)
{
  Owned<TForm> form(NewForm());
  TbsSkinEdit* edit = NewEdit(form.get());
  const QRect before = edit->TextRect();
  edit->SetButtonMode(true);
  EXPECT_EQ(edit->TextRect().width(), before.width() - 20);
  EXPECT_EQ(edit->ButtonRect(), QRect(130, 0, 20, 20));
  EXPECT_EQ(edit->NonClientMargins().right(), 22);

  int clicks = 0;
  edit->SetOnButtonClick([&](TObject*) { ++clicks; });
  const QPoint onButton = edit->ClientToScreen(QPoint(128 + 5, 5));
  EXPECT_EQ(edit->Perform(WM_NCHITTEST, 0, MakeMouseLParam(onButton.x(), onButton.y())), TbsSkinEdit::kHitButton);
  edit->Perform(WM_NCLBUTTONDOWN, TbsSkinEdit::kHitButton);
  EXPECT_TRUE(edit->ButtonDown());
  edit->Perform(WM_NCLBUTTONUP, TbsSkinEdit::kHitButton);
  EXPECT_EQ(clicks, 1);
  EXPECT_FALSE(edit->ButtonDown());

  // The label sits by the box as told and follows it.
  edit->EditLabel()->SetCaption("文件:");
  edit->SetLabelPosition(TbsCustomEdit::lpAbove);
  EXPECT_EQ(edit->EditLabel()->Left(), 60);
  EXPECT_EQ(edit->EditLabel()->Top(), 40 - edit->EditLabel()->Height() - 3);
  edit->SetLabelPosition(TbsCustomEdit::lpLeft);
  edit->SetLeft(100);
  EXPECT_EQ(edit->EditLabel()->Left() + edit->EditLabel()->Width() + 3, 100);
  edit->SetVisible(false);
  EXPECT_FALSE(edit->LabelVisible());
}

} // namespace

namespace {

// A form with a menu runner, as the skinned frame provides one.
class MenuHostForm : public TForm, public TbsSkinMenuHost {
public:
  MenuHostForm() : TForm(nullptr), menu_(new TbsSkinMenu(this)) { menu_->SetForm(this); }
  TbsSkinMenu* SkinMenu() const override { return menu_; }
  TbsSkinData* MenuSkinData() const override { return nullptr; }

private:
  TbsSkinMenu* menu_;
};

TEST(SkinEdit, KeyboardMenuOpensAtTheCentreOfTheBox)
{
  RegisterClasses();
  Owned<MenuHostForm> form(new MenuHostForm);
  form->SetBorderStyle(TForm::bsNone);
  form->SetBounds(0, 0, 300, 200);
  TbsSkinEdit* edit = NewEdit(form.get());
  form->Show();
  edit->SetText("abc");
  Key(edit, 0x79, ssShift);  // Shift+F10
  ASSERT_NE(edit->ContextMenu(), nullptr);
  TbsSkinMenu* runner = form->SkinMenu();
  ASSERT_EQ(runner->LevelCount(), 1);
  const TbsSkinPopupWindow* level = runner->Level(0);
  const QMargins m = edit->NonClientMargins();
  const QPoint centre = edit->ClientToScreen(QPoint(edit->Width() / 2 - m.left(), edit->Height() / 2 - m.top()));
  EXPECT_EQ(QPoint(level->Left(), level->Top()), centre);
  runner->CloseAll();
}

} // namespace
