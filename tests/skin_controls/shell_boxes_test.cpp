// The folder box linked with the file list, and the filter box, on a temporary tree.
#include "skin_controls/skin_shell_boxes.h"
#include "skin_controls_support.h"
#include "support/qt_printers.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace skin_test;

namespace {

class ShellBoxesTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    home = dir.filePath("home");
    media = dir.filePath("media/USB");
    QDir().mkpath(home + "/Desktop");
    QDir().mkpath(home + "/Music/Live");
    QDir().mkpath(media + "/Rec");
    QFile f(home + "/Music/a.mp3");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    const QString usb = media;
    previous = SetShellNamespace(LinuxShellNamespace({home + "/Desktop", home, [usb] {
                                                        return std::vector<TShellMount>{{"/", "ext4", ""},
                                                                                        {usb, "vfat", "USB"}};
                                                      }}));
    form.reset(NewForm());
    list = new TbsSkinFileListView(form.get());
    list->SetParent(form.get());
    box = new TbsSkinShellComboBox(form.get());
    box->SetParent(form.get());
    list->SetShellComboBox(box);
  }
  void TearDown() override
  {
    form.reset();
    SetShellNamespace(std::move(previous));
  }

  // "caption:level" of every entry, the selected one marked with "*".
  QStringList Entries() const
  {
    QStringList out;
    for (int i = 0; i < box->EntryCount(); ++i)
      out << QString("%1%2:%3").arg(i == box->ItemIndex() ? "*" : "").arg(box->Items()[i]).arg(box->EntryLevel(i));
    return out;
  }

  QTemporaryDir dir;
  QString home, media;
  std::unique_ptr<TShellNamespace> previous;
  Owned<TForm> form;
  TbsSkinFileListView* list = nullptr;
  TbsSkinShellComboBox* box = nullptr;
};

TEST_F(ShellBoxesTest, FolderBoxFollowsTheListAndTheListFollowsTheBox)
{
  EXPECT_EQ(box->ShellListView(), list);
  list->GoToPath(home);
  EXPECT_EQ(Entries(), QStringList({"桌面:0", "计算机:1", "文件系统:2", "USB:2", "*主文件夹:1"}));

  // A deeper folder: its ancestors below the deepest one listed, one level each.
  list->GoToPath(home + "/Music/Live");
  EXPECT_EQ(Entries(), QStringList({"桌面:0", "计算机:1", "文件系统:2", "USB:2", "主文件夹:1", "Music:2",
                                    "*Live:3"}));

  // Choosing a drive shows its top folder; going into a subfolder adds it under the drive.
  int changes = 0;
  box->SetOnChange([&](TObject*) { ++changes; });
  box->ChooseEntry(box->IndexOf({kShellComputerId, media}));
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(list->FolderPath(), media);
  EXPECT_EQ(list->Folder(0)->DisplayName(), "Rec");
  list->SetItemIndex(0);
  list->SendMessage(WM_KEYDOWN, VK_RETURN);
  EXPECT_EQ(list->FolderPath(), media + "/Rec");
  EXPECT_EQ(Entries(), QStringList({"桌面:0", "计算机:1", "文件系统:2", "USB:2", "*Rec:3", "主文件夹:1"}));

  // The desktop entry brings the list back to the top.
  box->ChooseEntry(0);
  EXPECT_TRUE(list->CurrentFolder()->AbsoluteId().isEmpty());
  EXPECT_EQ(box->ItemIndex(), 0);

  EXPECT_THROW(box->SetRoot("rfNetwork"), EShellError);
  EXPECT_EQ(box->Root(), "rfDesktop");
  box->SetRoot(home + "/Music");
  EXPECT_EQ(list->FolderPath(), home + "/Music");
  EXPECT_EQ(Entries(), QStringList({"*Music:0", "Live:1"}));
}

TEST(ShellBoxes, TheHomeFolderIsOfferedAlsoWhenTheDesktopIsHome)
{
  QTemporaryDir dir;
  const QString home = dir.filePath("home");
  QDir().mkpath(home + "/Music");
  auto previous = SetShellNamespace(LinuxShellNamespace({home + "/Desktop", home, [] {
                                                           return std::vector<TShellMount>{{"/", "ext4", ""}};
                                                         }}));
  {
    Owned<TForm> form(NewForm());
    auto* list = new TbsSkinFileListView(form.get());
    list->SetParent(form.get());
    auto* box = new TbsSkinShellComboBox(form.get());
    box->SetParent(form.get());
    list->SetShellComboBox(box);
    list->GoToPath(home + "/Music");
    const int entry = box->Items().indexOf(QStringLiteral("主文件夹"));
    ASSERT_GE(entry, 0) << box->Items().join(", ").toStdString();
    EXPECT_EQ(box->EntryLevel(entry), 1);
    box->ChooseEntry(entry);
    EXPECT_EQ(list->FolderPath(), home);
  }
  SetShellNamespace(std::move(previous));
}

TEST_F(ShellBoxesTest, FilterBoxTakesPairsAndHandsTheMaskToTheList)
{
  auto* filter = new TbsSkinFilterComboBox(form.get());
  EXPECT_EQ(filter->Items(), QStringList({"All files (*.*)"}));
  filter->SetFilter("MP3 文件|*.mp3");
  EXPECT_EQ(filter->Items(), QStringList({"MP3 文件"}));
  EXPECT_EQ(filter->Mask(), "*.mp3");

  filter->SetFilter("声音|*.mp3;*.wav|全部|*.*|孤单");
  EXPECT_EQ(filter->Items(), QStringList({"声音", "全部"}));
  EXPECT_EQ(filter->ItemIndex(), 0);
  filter->SetItemIndex(-1);
  EXPECT_EQ(filter->Mask(), "*.*");
  EXPECT_EQ(filter->ItemIndex(), 1);

  int changes = 0;
  filter->SetOnChange([&](TObject*) { ++changes; });
  filter->SetFileList(list);
  list->GoToPath(home + "/Music");
  filter->SetItemIndex(0);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(list->Mask(), "*.mp3;*.wav");

  filter->SetFilter("");
  EXPECT_TRUE(filter->Items().isEmpty());
  EXPECT_EQ(filter->Mask(), "*.*");
}

} // namespace
