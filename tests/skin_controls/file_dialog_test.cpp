// The skinned open and save dialogs on a temporary tree: what is accepted and
// what the returned path is, what stays open and why, the folder it opens in,
// back history, masks, new folders, and the modal window driven by keys.
#include "skin_controls/skin_file_dialog.h"
#include "skin_controls_support.h"
#include "support/qt_printers.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

using namespace skin_test;

namespace {

class FileDialogTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    QDir().mkpath(home + "/rec");
    owner.reset(new TComponent(nullptr));
    dialog = new TbsSkinSaveDialog(owner.get());
    dialog->SetFilter("MP3 文件|*.mp3");
    dialog->SetInitialDir(home + "/rec");
  }
  void TearDown() override
  {
    form.reset();
    owner.reset();
  }

  // Opens the window as Execute would, problems collected instead of shown.
  TbsOpenDlgForm* Open()
  {
    form.reset(dialog->CreateForm());
    form->ReportProblem = [this](const QString& text) { problems << text; };
    return form.get();
  }
  // Types a name into the name box and presses Enter there.
  void Enter(const QString& text)
  {
    form->FileNameEdit()->SetText(text);
    form->FileNameEntered();
  }
  // What Execute would return after the window closed as it stands.
  bool Finish() { return dialog->Finish(form.get(), form->ModalResult()); }
  QStringList Captions() const
  {
    QStringList out;
    for (int i = 0; i < form->FileList()->ItemCount(); ++i) out << form->FileList()->Folder(i)->DisplayName();
    return out;
  }

  TemporaryHome temporaryHome;
  const QString home = temporaryHome.Path();
  Owned<TComponent> owner;
  Owned<TbsOpenDlgForm> form;
  TbsSkinOpenDialog* dialog = nullptr;
  QStringList problems;
};

TEST(FileDialogExtension, ComesFromTheFirstPatternWithoutWildcardAndIsNotDoubled)
{
  EXPECT_EQ(WithFilterExtension("/r/take", "*.mp3"), "/r/take.mp3");
  EXPECT_EQ(WithFilterExtension("/r/TAKE.MP3", "*.mp3"), "/r/TAKE.MP3");
  EXPECT_EQ(WithFilterExtension("/r/take.wav", "*.mp3"), "/r/take.wav.mp3");
  EXPECT_EQ(WithFilterExtension("/r/take", "*.mp3;*.wav"), "/r/take.mp3");
  EXPECT_EQ(WithFilterExtension("/r/take", "*.*"), "/r/take");
  EXPECT_EQ(WithFilterExtension("/r/take", "*"), "/r/take");
  EXPECT_EQ(WithFilterExtension("/r/take", "*.mp?"), "/r/take");
}

TEST_F(FileDialogTest, SaveJoinsTheShownFolderAndTheNameAndAddsTheExtension)
{
  Open();
  EXPECT_EQ(form->FileList()->FolderPath(), home + "/rec");
  Enter("take one");
  ASSERT_EQ(form->ModalResult(), mrOk);
  ASSERT_TRUE(Finish());
  EXPECT_EQ(dialog->FileName(), home + "/rec/take one.mp3");

  // An existing file is returned without a question; its name came from the list.
  Touch(home + "/rec/old.MP3");
  Open();
  form->FileList()->SetItemIndex(0);
  EXPECT_EQ(form->FileNameEdit()->Text(), "old.MP3");
  form->Accept();
  ASSERT_TRUE(Finish());
  EXPECT_EQ(dialog->FileName(), home + "/rec/old.MP3");
  EXPECT_TRUE(problems.isEmpty()) << problems.join('\n').toStdString();
}

TEST_F(FileDialogTest, TypedPathsAreTakenAsTheyStandOrRefusedWithAReason)
{
  QDir().mkpath(home + "/other");
  Open();
  Enter(home + "/other/abs");  // absolute: never joined to the shown folder
  ASSERT_EQ(form->ModalResult(), mrOk);
  ASSERT_TRUE(Finish());
  EXPECT_EQ(dialog->FileName(), home + "/other/abs.mp3");

  Open();  // in the folder of the last file
  Enter("missing/take");
  EXPECT_EQ(form->ModalResult(), mrNone);
  ASSERT_EQ(problems.size(), 1);
  EXPECT_TRUE(problems[0].contains(home + "/other/missing")) << problems[0].toStdString();

  // A folder's name goes into that folder; empty names and masks do nothing.
  Enter("../rec");
  EXPECT_EQ(form->FileList()->FolderPath(), home + "/rec");
  EXPECT_EQ(form->FileNameEdit()->Text(), "");
  Enter("");
  form->Accept();
  EXPECT_EQ(form->ModalResult(), mrNone);

  // The computer is no folder: nothing is saved there, and the user is told.
  form->FileList()->GoTo({kShellComputerId});
  problems.clear();
  Enter("take");
  EXPECT_EQ(form->ModalResult(), mrNone);
  EXPECT_EQ(problems.size(), 1);
  EXPECT_FALSE(Finish());
}

TEST_F(FileDialogTest, CancelKeepsTheFileNameButTakesTheFilterShown)
{
  dialog->SetFilter("MP3 文件|*.mp3|Wave|*.wav");
  dialog->SetFilterIndex(9);  // beyond the entries: the last one
  dialog->SetFileName(home + "/gone/keep.mp3");
  Open();
  EXPECT_EQ(form->FilterBox()->ItemIndex(), 1);
  // A folder that is gone: InitialDir, the name alone in the box.
  EXPECT_EQ(form->FileList()->FolderPath(), home + "/rec");
  EXPECT_EQ(form->FileNameEdit()->Text(), "keep.mp3");
  form->FilterBox()->SetItemIndex(0);
  EXPECT_FALSE(dialog->Finish(form.get(), mrCancel));
  EXPECT_EQ(dialog->FileName(), home + "/gone/keep.mp3");
  EXPECT_EQ(dialog->FilterIndex(), 1);

  dialog->SetInitialDir(home + "/gone");
  EXPECT_EQ(dialog->FirstFolder(), QDir::homePath());
  dialog->SetFileName(home + "/rec/x.mp3");
  EXPECT_EQ(dialog->FirstFolder(), home + "/rec");
}

TEST_F(FileDialogTest, BackReturnsThroughTheVisitedFolders)
{
  for (const char* f : {"A", "B", "C", "D"}) QDir().mkpath(home + "/rec/" + f);
  Open();
  auto go = [&](const char* f) { form->FileList()->GoToPath(home + "/rec/" + f); };
  go("A"), go("B"), go("C");
  form->GoBack();
  form->GoBack();
  EXPECT_EQ(form->FileList()->FolderPath(), home + "/rec/A");
  go("B"), go("C");
  form->GoBack();
  go("D");
  form->GoBack();
  EXPECT_EQ(form->FileList()->FolderPath(), home + "/rec/B");
  form->GoUp();
  EXPECT_EQ(form->FileList()->FolderPath(), home + "/rec");
}

TEST_F(FileDialogTest, FilterAndTypedMasksChooseTheFilesShown)
{
  QDir().mkpath(home + "/rec/Sub");
  for (const char* f : {"b.wav", "a.MP3", "c.mp3"}) Touch(home + "/rec/" + f);
  Open();
  EXPECT_EQ(Captions(), QStringList({"Sub", "a.MP3", "c.mp3"}));
  EXPECT_EQ(form->FileList()->ItemIndex(), 0);
  Enter("*");
  EXPECT_EQ(Captions(), QStringList({"Sub"}));
  Enter("*.wav");
  EXPECT_EQ(Captions(), QStringList({"Sub", "b.wav"}));
  EXPECT_EQ(form->ModalResult(), mrNone);
}

TEST_F(FileDialogTest, ScrollBarsShowOnlyWhileTheContentIsLongerAndMoveTheList)
{
  Open();
  TbsSkinFileListView* list = form->FileList();
  TbsSkinScrollBar *h = form->HScrollBar(), *v = form->VScrollBar();
  EXPECT_FALSE(h->Visible());
  EXPECT_FALSE(v->Visible());
  for (int i = 0; i < 60; ++i) Touch(home + QString("/rec/take%1.mp3").arg(i, 2, 10, QChar('0')));
  list->Refresh();
  // The list view grows sideways.
  EXPECT_TRUE(h->Visible());
  EXPECT_FALSE(v->Visible());
  EXPECT_EQ(list->Top() + list->Height(), h->Top());

  form->SetViewStyle(TbsSkinCustomListView::vsReport);
  ASSERT_TRUE(v->Visible());
  EXPECT_TRUE(h->Both());  // the corner stays free for the vertical bar
  EXPECT_EQ(list->Left() + list->Width(), v->Left());
  EXPECT_EQ(v->Max() + 1 - v->PageSize(), list->ContentSize().height() - list->HeaderRect().height() -
                                              list->PageSize().height());
  v->SetPosition(40);
  EXPECT_EQ(list->ScrollPos().y(), 40);
  list->SetScrollPos({0, 10000});
  EXPECT_EQ(v->Position(), v->MaxPosition());
  EXPECT_EQ(list->ScrollPos().y(), v->Position());
}

TEST_F(FileDialogTest, NewFolderIsMadeOnceListedAndNamedByTheUser)
{
  Open();
  form->NewFolder();
  EXPECT_TRUE(QFileInfo(home + "/rec/新建文件夹").isDir());
  EXPECT_EQ(Captions(), QStringList({"新建文件夹"}));
  // Its name is ready to type over, as in a file manager.
  TbsSkinFileListView* list = form->FileList();
  ASSERT_TRUE(list->IsEditing());
  auto* editor = qobject_cast<TWinControl*>(list->Controls(list->ControlCount() - 1));
  ASSERT_NE(editor, nullptr);
  for (QChar c : QString(5, QChar('\b')) + "节目") editor->SendMessage(WM_CHAR, c.unicode());
  editor->SendMessage(WM_KEYDOWN, VK_RETURN);
  EXPECT_TRUE(QFileInfo(home + "/rec/节目").isDir());
  EXPECT_EQ(Captions(), QStringList({"节目"}));
  // F2 renames in the dialog too.
  list->SetItemIndex(0);
  list->SendMessage(WM_KEYDOWN, VK_F1 + 1, 0);
  EXPECT_TRUE(list->IsEditing());
  list->EndEditing(false);
  form->NewFolder();
  list->EndEditing(false);
  form->NewFolder();
  EXPECT_EQ(Captions(), QStringList({"节目", "新建文件夹"}));
  EXPECT_TRUE(problems.isEmpty());
  form->FileList()->GoTo({kShellComputerId});
  form->NewFolder();
  EXPECT_EQ(problems.size(), 1);
}

TEST_F(FileDialogTest, OpenModeTakesOnlyExistingFilesAndDoubleClickAcceptsAtOnce)
{
  auto* open = new TbsSkinOpenDialog(owner.get());
  open->SetFilter("MP3 文件|*.mp3");
  open->SetInitialDir(home + "/rec");
  dialog = open;
  Touch(home + "/rec/song.mp3");
  Open();
  EXPECT_EQ(form->OKButton()->Caption(), "打开(&O)");
  Enter("nothing.mp3");
  EXPECT_EQ(form->ModalResult(), mrNone);
  Enter("song.mp3");
  ASSERT_EQ(form->ModalResult(), mrOk);
  ASSERT_TRUE(Finish());
  EXPECT_EQ(open->FileName(), home + "/rec/song.mp3");
  EXPECT_EQ(open->Files(), QStringList({home + "/rec/song.mp3"}));

  Open();
  form->FileActivated(0);
  EXPECT_EQ(form->ModalResult(), mrOk);
  EXPECT_EQ(form->AcceptedPath(), home + "/rec/song.mp3");
}

TEST_F(FileDialogTest, ExecuteRunsModallyAndAnswersKeys)
{
  QTimer::singleShot(0, [this] {
    TbsOpenDlgForm* f = dialog->CurrentForm();
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->Caption(), "Save file");
    for (QChar c : QString("k1")) f->FileNameEdit()->SendMessage(WM_CHAR, c.unicode());
    f->FileNameEdit()->SendMessage(WM_KEYDOWN, VK_RETURN, 0);
  });
  ASSERT_TRUE(dialog->Execute());
  EXPECT_EQ(dialog->FileName(), home + "/rec/k1.mp3");
  EXPECT_EQ(dialog->CurrentForm(), nullptr);

  QTimer::singleShot(0, [this] { dialog->CurrentForm()->FileNameEdit()->SendMessage(WM_KEYDOWN, VK_ESCAPE, 0); });
  EXPECT_FALSE(dialog->Execute());
  EXPECT_EQ(dialog->FileName(), home + "/rec/k1.mp3");
}

} // namespace
