// The shell file list on temporary trees: masks and order, navigation by keys
// and double clicks, type-ahead, F5, renaming in place, items that vanish and
// folders that cannot be listed, and what the details view paints.
#include "skin_controls/skin_file_list.h"
#include "skin_controls_support.h"
#include "support/pump.h"
#include "support/qt_printers.h"
#include "toolkit/form_reader.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace skin_test;

namespace {

// A temporary home with the namespace installed over it while the test runs.
class FileListTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    form.reset(NewForm());
    form->SetBounds(0, 0, 450, 300);
    list = new TbsSkinFileListView(form.get());
    list->SetParent(form.get());
    list->SetBounds(0, 0, 450, 300);
  }
  void TearDown() override
  {
    form.reset();
  }

  QStringList Captions() const
  {
    QStringList out;
    for (int i = 0; i < list->ItemCount(); ++i) out << list->Folder(i)->DisplayName();
    return out;
  }
  void Key(int vk, TShiftState shift = {}) { list->SendMessage(WM_KEYDOWN, vk, qintptr(int(shift))); }
  void Type(const QString& text, TWinControl* to = nullptr)
  {
    for (QChar c : text) (to ? to : list)->SendMessage(WM_CHAR, c.unicode());
  }
  void Show(const QString& path) { list->GoToPath(home + path); }

  TemporaryHome temporaryHome;
  const QString home = temporaryHome.Path();
  Owned<TForm> form;
  TbsSkinFileListView* list = nullptr;
};

constexpr int VK_F2 = VK_F1 + 1, VK_F5 = VK_F1 + 4;

TEST_F(FileListTest, MaskShowsFoldersFirstThenMatchingFilesWithoutRegardToCase)
{
  QDir().mkpath(home + "/r/Sub");
  QDir().mkpath(home + "/r/alpha");
  for (const char* f : {"Song.MP3", "b.wav", "archive.ZIP", "track10.mp3", "track2.mp3", "noext"})
    Touch(home + "/r/" + f);
  Show("/r");
  EXPECT_EQ(Captions(), QStringList({"alpha", "Sub", "archive.ZIP", "b.wav", "noext", "Song.MP3", "track2.mp3",
                                     "track10.mp3"}));
  list->SetMask("*.mp3");
  EXPECT_EQ(Captions(), QStringList({"alpha", "Sub", "Song.MP3", "track2.mp3", "track10.mp3"}));
  // An archive is a file: listed under a mask that takes it, never entered.
  list->SetMask("MP3 文件|*.zip");
  EXPECT_EQ(Captions(), QStringList({"alpha", "Sub", "archive.ZIP"}));
  EXPECT_FALSE(list->Folder(2)->IsFolder());
  list->SetItemIndex(2);
  Key(VK_RETURN);
  EXPECT_EQ(list->FolderPath(), home + "/r");
  EXPECT_EQ(list->SelectedPath(), home + "/r/archive.ZIP");
  // A pattern without a dot takes no file.
  list->SetMask("*");
  EXPECT_EQ(Captions(), QStringList({"alpha", "Sub"}));
  list->SetSorted(false);
  EXPECT_EQ(Captions().size(), 2);
  list->SetObjectTypes(otNonFolders);
  list->SetMask("*.*");
  EXPECT_EQ(Captions().size(), 6);
}

TEST_F(FileListTest, FileMaskRules)
{
  EXPECT_TRUE(TbsFileMask("*.mp3").Matches("LOUD.MP3"));
  EXPECT_TRUE(TbsFileMask("All|*.*").Matches("README"));
  EXPECT_FALSE(TbsFileMask("*.mp3").Matches("x.mp3.wav"));
  EXPECT_TRUE(TbsFileMask("*.mp3;*.wav").Matches("a.wav"));
  EXPECT_TRUE(TbsFileMask("rec?.[ab]*").Matches("rec1.a"));
  EXPECT_FALSE(TbsFileMask("rec?.[ab]*").Matches("rec12.a"));
  EXPECT_FALSE(TbsFileMask("*").Matches("a.mp3"));
  EXPECT_EQ(TbsFileMask("*.mp3;*.wav").DefaultExtension(), ".mp3");
  EXPECT_EQ(TbsFileMask("MP3 文件|*.mp3").DefaultExtension(), ".mp3");
  EXPECT_EQ(TbsFileMask("*.*").DefaultExtension(), "");
  EXPECT_EQ(TbsFileMask("*.mp?").DefaultExtension(), "");
  EXPECT_EQ(TbsFileMask("*").DefaultExtension(), "");
}

TEST_F(FileListTest, NavigatesByKeysAndDoubleClicksAndReportsEachChange)
{
  QDir().mkpath(home + "/top/inner/deep");
  Touch(home + "/top/file.txt");
  int changes = 0;
  list->SetFolderChangeCallback([&] { ++changes; });
  Show("/top");
  EXPECT_EQ(changes, 1);
  Show("/top");  // the folder shown already: no change
  EXPECT_EQ(changes, 1);

  list->SetItemIndex(0);
  Key(VK_RETURN);
  EXPECT_EQ(list->FolderPath(), home + "/top/inner");
  EXPECT_EQ(changes, 2);
  Key(VK_BACK);
  EXPECT_EQ(list->FolderPath(), home + "/top");

  // Double click on a folder goes in; on a file it only raises OnDblClick.
  int dblClicks = 0;
  list->SetOnDblClick([&](TObject*) { ++dblClicks; });
  const QPoint onFolder = list->ItemRect(0).center(), onFile = list->ItemRect(1).center();
  list->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MakeMouseLParam(onFile.x(), onFile.y()));
  list->SendMessage(WM_LBUTTONUP, 0, MakeMouseLParam(onFile.x(), onFile.y()));
  list->SendMessage(WM_LBUTTONDBLCLK, MK_LBUTTON, MakeMouseLParam(onFile.x(), onFile.y()));
  EXPECT_EQ(list->FolderPath(), home + "/top");
  EXPECT_EQ(list->SelectedPath(), home + "/top/file.txt");
  list->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MakeMouseLParam(onFolder.x(), onFolder.y()));
  list->SendMessage(WM_LBUTTONUP, 0, MakeMouseLParam(onFolder.x(), onFolder.y()));
  list->SendMessage(WM_LBUTTONDBLCLK, MK_LBUTTON, MakeMouseLParam(onFolder.x(), onFolder.y()));
  EXPECT_EQ(list->FolderPath(), home + "/top/inner");
  EXPECT_EQ(dblClicks, 2);

  // Up from home reaches the desktop, then stays there.
  Show("");
  Key(VK_BACK);
  EXPECT_TRUE(list->CurrentFolder()->AbsoluteId().isEmpty());
  EXPECT_EQ(list->FolderPath(), home + "/Desktop");
  // Virtual entries by their Chinese reading: jisuanji before zhuwenjianjia.
  EXPECT_EQ(Captions(), QStringList({"计算机", "主文件夹"}));
  Key(VK_BACK);
  EXPECT_TRUE(list->CurrentFolder()->AbsoluteId().isEmpty());
  list->GoTo({kShellComputerId});
  EXPECT_TRUE(list->FolderPath().isEmpty());
  EXPECT_EQ(Captions(), QStringList({"文件系统"}));
}

TEST_F(FileListTest, TypeAheadFindsItemsByTheirFirstLetters)
{
  QDir().mkpath(home + "/t");
  for (const char* f : {"apple.mp3", "banana.mp3", "berry.mp3", "zebra-last.mp3"}) Touch(home + "/t/" + f);
  Show("/t");
  Type("ZEB");
  EXPECT_EQ(list->ItemIndex(), 3);
  list->ResetTypeAhead();
  Type("b");
  EXPECT_EQ(list->ItemIndex(), 1);
  list->ResetTypeAhead();
  Type("b");  // the next one that starts so
  EXPECT_EQ(list->ItemIndex(), 2);
  list->ResetTypeAhead();
  Type("q");  // none: the selection stays
  EXPECT_EQ(list->ItemIndex(), 2);
  EXPECT_EQ(list->FindCaption(3, "APP", false), -1);
  EXPECT_EQ(list->FindCaption(3, "app", true), 0);
}

TEST_F(FileListTest, RefreshShowsChangesAndKeepsTheSelectedPlace)
{
  QDir().mkpath(home + "/f");
  for (const char* f : {"a.mp3", "b.mp3", "c.mp3"}) Touch(home + "/f/" + f);
  int changes = 0;
  Show("/f");
  list->SetFolderChangeCallback([&] { ++changes; });
  list->SetItemIndex(2);
  Touch(home + "/f/d.mp3");
  Key(VK_F5);
  EXPECT_EQ(Captions(), QStringList({"a.mp3", "b.mp3", "c.mp3", "d.mp3"}));
  EXPECT_EQ(list->ItemIndex(), 2);
  EXPECT_EQ(changes, 0);
  list->SetItemIndex(3);
  QFile::remove(home + "/f/d.mp3");
  Key(VK_F5);
  EXPECT_EQ(list->ItemCount(), 3);
  EXPECT_EQ(list->ItemIndex(), -1);
  list->SetItemIndex(2);
  Key(VK_F5);
  EXPECT_EQ(list->ItemIndex(), 2);
}

TEST_F(FileListTest, RenamesInPlaceUnlessReadOnlyAndRefusesTakenNames)
{
  QDir().mkpath(home + "/n");
  Touch(home + "/n/a.mp3");
  Touch(home + "/n/b.mp3");
  Show("/n");
  list->SetItemIndex(0);
  list->SetReadOnly(true);
  Key(VK_F2);
  EXPECT_FALSE(list->IsEditing());

  list->SetReadOnly(false);
  Key(VK_F2);
  ASSERT_TRUE(list->IsEditing());
  auto* editor = qobject_cast<TWinControl*>(list->Controls(0));
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(editor->Text(), "a.mp3");
  Type(QString(5, QChar('\b')) + "c.mp3", editor);
  editor->SendMessage(WM_KEYDOWN, VK_RETURN);
  EXPECT_FALSE(list->IsEditing());
  EXPECT_TRUE(QFile::exists(home + "/n/c.mp3"));
  EXPECT_FALSE(QFile::exists(home + "/n/a.mp3"));
  EXPECT_EQ(list->Folder(0)->DisplayName(), "c.mp3");
  EXPECT_EQ(list->SelectedPath(), home + "/n/c.mp3");

  // A taken name is refused and both files stay.
  EXPECT_THROW(list->Folder(0)->Rename("b.mp3"), EShellError);
  EXPECT_TRUE(QFile::exists(home + "/n/c.mp3"));
  EXPECT_TRUE(QFile::exists(home + "/n/b.mp3"));
  // Escape leaves the name alone.
  Key(VK_F2);
  ASSERT_TRUE(list->IsEditing());
  Type("zzz", qobject_cast<TWinControl*>(list->Controls(list->ControlCount() - 1)));
  qobject_cast<TWinControl*>(list->Controls(list->ControlCount() - 1))->SendMessage(WM_KEYDOWN, VK_ESCAPE);
  EXPECT_FALSE(list->IsEditing());
  EXPECT_TRUE(QFile::exists(home + "/n/c.mp3"));
}

TEST_F(FileListTest, VanishedItemsShowEmptyDetailsAndUnlistableFoldersAnEmptyList)
{
  QDir().mkpath(home + "/v/sub");
  Touch(home + "/v/stays.mp3");
  Touch(home + "/v/vanishes.mp3");
  list->SetViewStyle(TbsSkinCustomListView::vsReport);
  Show("/v");
  ASSERT_EQ(list->ColumnCount(), 4);
  EXPECT_EQ(list->Column(0).Caption, "名称");
  EXPECT_EQ(list->Column(3).Caption, "已修改");
  EXPECT_THROW(list->Folder(1)->Details(1), EShellError);
  QFile::remove(home + "/v/vanishes.mp3");
  const QImage shot = Paint(list);
  EXPECT_EQ(CountNearColor(shot, shot.rect(), kUnpainted, 0), 0);
  TbsShellFolder* gone = list->Folder(2);
  ASSERT_EQ(gone->DisplayName(), "vanishes.mp3");
  EXPECT_EQ(gone->DetailsError(), ENOENT);
  EXPECT_EQ(gone->Details(0), "vanishes.mp3");
  EXPECT_EQ(gone->Details(1), "");
  EXPECT_EQ(gone->Details(3), "");
  EXPECT_EQ(list->Folder(1)->Details(1), "1 KB");
  EXPECT_FALSE(list->Folder(1)->Details(3).isEmpty());

  // A listing cut short by an error: the flag and the cursor are put back.
  list->SetOnAddFolder([](TObject*, TbsShellFolder*, bool&) { throw EShellError("disk gone"); });
  EXPECT_THROW(list->Refresh(), EShellError);
  EXPECT_FALSE(list->Filling());
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
  list->SetOnAddFolder([](TObject*, TbsShellFolder* node, bool& add) { add = node->IsFolder(); });
  list->Refresh();
  EXPECT_EQ(Captions(), QStringList({"sub"}));
  list->SetOnAddFolder({});

  // A folder gone before it is shown: an empty list, the flag and cursor back.
  QDir(home + "/v").removeRecursively();
  list->Refresh();
  EXPECT_EQ(list->ItemCount(), 0);
  EXPECT_FALSE(list->Filling());
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(FileListTest, RootsThatCannotBeResolvedKeepThePreviousRoot)
{
  QDir().mkpath(home + "/Desktop/on-desktop");
  list->SetRoot("rfDesktop");
  list->SetRoot(home);
  EXPECT_EQ(list->FolderPath(), home);
  for (const QString& bad : {home + "/missing", QString("rfNetwork")}) {
    try {
      list->SetRoot(bad);
      ADD_FAILURE() << bad.toStdString();
    } catch (const EShellError& e) {
      EXPECT_EQ(e.Message(), QString("Error setting path: \"%1\"").arg(bad));
    }
    EXPECT_EQ(list->Root(), home);
    EXPECT_EQ(list->FolderPath(), home);
  }
  list->SetRoot("RFDESKTOPDIRECTORY");
  EXPECT_EQ(Captions(), QStringList({"计算机", "主文件夹", "on-desktop"}));
  EXPECT_THROW(list->GoToPath(home + "/nowhere"), EShellError);
}

TEST_F(FileListTest, DescriptionsNameTheRootAndAMissingOneShowsTheDesktop)
{
  QDir().mkpath(home + "/stored/inside");
  const QString text = QString("object Window1: TForm\n  object List1: TbsSkinFileListView\n"
                               "    Mask = '*.mp3'\n    Root = '%1'\n  end\nend\n");
  Owned<TForm> stored(qobject_cast<TForm*>(ReadComponentText(text.arg(home + "/stored"), "stored.vfm")));
  ASSERT_TRUE(stored);
  auto* read = qobject_cast<TbsSkinFileListView*>(stored->FindComponent("List1"));
  ASSERT_TRUE(read);
  EXPECT_EQ(read->FolderPath(), home + "/stored");
  EXPECT_EQ(read->ItemCount(), 1);
  EXPECT_TRUE(WriteComponentText(stored.get()).contains("Mask = '*.mp3'"));

  Owned<TForm> moved(qobject_cast<TForm*>(ReadComponentText(text.arg(home + "/gone"), "moved.vfm")));
  ASSERT_TRUE(moved);
  read = qobject_cast<TbsSkinFileListView*>(moved->FindComponent("List1"));
  EXPECT_EQ(read->Root(), home + "/gone");
  EXPECT_TRUE(read->CurrentFolder()->AbsoluteId().isEmpty());
}

TEST_F(FileListTest, DetailsViewPaintsSkinnedHeadersAndTheSelection)
{
  QDir().mkpath(home + "/p/Folder");
  for (int i = 0; i < 40; ++i) Touch(home + QString("/p/file%1.mp3").arg(i));
  TbsSkinData* skin = LoadBuiltinSkin(form.get());
  list->SetSkinData(skin);
  list->ApplySkinData();
  list->SetViewStyle(TbsSkinCustomListView::vsReport);
  Show("/p");
  EXPECT_EQ(list->BackgroundColor(), 15256238);
  EXPECT_EQ(list->Font()->Name(), "Arial");
  list->SetItemIndex(1);
  const QImage plain = Paint(list);
  const QRect header = list->HeaderRect();
  ASSERT_GT(header.height(), 0);
  // Rows below the header are the skin's background; the header is the button picture.
  EXPECT_GT(CountNearColor(plain, QRect(0, header.bottom() + 1, 450, 200), 15256238, 6), 20000);
  EXPECT_LT(CountNearColor(plain, header, 15256238, 6), header.width() * header.height() / 4);
  // A press on a section draws it pressed until the button comes up; one on a divider presses none.
  const int divider = list->Column(0).Width;
  list->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MakeMouseLParam(divider + 20, 5));
  EXPECT_EQ(list->PressedSection(), 1);
  EXPECT_NE(Paint(list), plain);
  list->SendMessage(WM_LBUTTONUP, 0, MakeMouseLParam(divider + 20, 5));
  EXPECT_EQ(list->PressedSection(), -1);
  list->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MakeMouseLParam(divider, 5));
  EXPECT_EQ(list->PressedSection(), -1);
  list->SendMessage(WM_LBUTTONUP, 0, MakeMouseLParam(divider, 5));
  // Scrolling down to the last item paints other rows.
  list->MakeVisible(list->ItemCount() - 1);
  EXPECT_GT(list->ScrollPos().y(), 0);
  EXPECT_GE(list->ItemRect(list->ItemCount() - 1).top(), header.bottom());
  EXPECT_LE(list->ItemRect(list->ItemCount() - 1).bottom(), list->ClientHeight());
  EXPECT_NE(Paint(list), plain);
  // Columns wider than the list: the right arrow scrolls them, the selection stays.
  list->SetWidth(list->Column(0).Width + 40);
  const int selected = list->ItemIndex();
  list->SendMessage(WM_KEYDOWN, VK_RIGHT);
  EXPECT_GT(list->ScrollPos().x(), 0);
  EXPECT_EQ(list->ItemIndex(), selected);
  list->SetWidth(450);

  // The other styles lay every item out where ItemAtPos finds it again.
  for (auto style : {TbsSkinCustomListView::vsIcon, TbsSkinCustomListView::vsSmallIcon,
                     TbsSkinCustomListView::vsList, TbsSkinCustomListView::vsReport}) {
    list->SetViewStyle(style);
    for (int i : {0, 7, 40}) {
      list->MakeVisible(i);
      EXPECT_EQ(list->ItemAtPos(list->ItemRect(i).center()), i) << int(style);
    }
  }
}

} // namespace

namespace {

// The same keys as the window system delivers them to a shown list.
class FileListWindow : public FileListTest {
protected:
  void Press(Qt::Key key, const QString& text = {})
  {
    QKeyEvent e(QEvent::KeyPress, key, Qt::NoModifier, text);
    QCoreApplication::sendEvent(list->Handle(), &e);
  }
};

TEST_F(FileListWindow, TypedLettersFindItemsAndPunctuationMovesNothing)
{
  QDir().mkpath(home + "/w/folder");
  for (const char* f : {"(live).mp3", "apple.mp3", "melon.mp3", "mango.mp3"}) Touch(home + "/w/" + f);
  list->SetViewStyle(TbsSkinCustomListView::vsReport);
  form->Show();
  Show("/w");
  list->SetFocus();
  list->SetItemIndex(0);
  Press(Qt::Key_M, "m");
  Press(Qt::Key_A, "a");
  EXPECT_EQ(list->Folder(list->ItemIndex())->DisplayName(), "mango.mp3");
  list->ResetTypeAhead();
  // "(" shares its code with the down arrow; it is a letter to look for here.
  Press(Qt::Key_ParenLeft, "(");
  EXPECT_EQ(list->Folder(list->ItemIndex())->DisplayName(), "(live).mp3");
  const int found = list->ItemIndex();
  Press(Qt::Key_Down);
  EXPECT_EQ(list->ItemIndex(), found + 1);
  Touch(home + "/w/zebra.mp3");
  Press(Qt::Key_F5);
  EXPECT_EQ(list->ItemCount(), 6);
  list->SetItemIndex(0);
  Press(Qt::Key_Return);
  EXPECT_EQ(list->FolderPath(), home + "/w/folder");
  Press(Qt::Key_Backspace);
  EXPECT_EQ(list->FolderPath(), home + "/w");
}

TEST_F(FileListWindow, ASlowClickOnTheCurrentItemEditsItsNameADoubleClickDoesNot)
{
  QDir().mkpath(home + "/s");
  Touch(home + "/s/a.mp3");
  Touch(home + "/s/b.mp3");
  form->Show();
  Show("/s");
  // On a real display the window must be active before the list can hold the focus.
  // The focus asked for before the window is active may be lost: asked again until it holds.
  form->Handle()->activateWindow();
  PumpUntil([&] {
    if (!list->Focused()) list->SetFocus();
    return list->Focused();
  }, 10000);
  ASSERT_TRUE(list->Focused());
  const QPoint onA = list->ItemRect(0).center(), onB = list->ItemRect(1).center();
  const auto click = [&](QPoint p) {
    list->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MakeMouseLParam(p.x(), p.y()));
    list->SendMessage(WM_LBUTTONUP, 0, MakeMouseLParam(p.x(), p.y()));
  };
  // The first click chooses the item; only a click on the chosen one edits it.
  click(onA);
  EXPECT_FALSE(list->SlowClickPending());
  click(onA);
  ASSERT_TRUE(list->SlowClickPending());
  list->SlowClickTick();
  ASSERT_TRUE(list->IsEditing());
  EXPECT_EQ(qobject_cast<TWinControl*>(list->Controls(list->ControlCount() - 1))->Text(), "a.mp3");
  list->EndEditing(false);

  // A double click opens, it does not rename.
  click(onB);
  click(onB);
  list->SendMessage(WM_LBUTTONDBLCLK, MK_LBUTTON, MakeMouseLParam(onB.x(), onB.y()));
  EXPECT_FALSE(list->SlowClickPending());
  EXPECT_FALSE(list->IsEditing());
  // Nor does a read-only list.
  list->SetReadOnly(true);
  click(onB);
  EXPECT_FALSE(list->SlowClickPending());
}

} // namespace
