// The schedule window read from its description: it lists the entries of the
// scheduler's store, adds one from its fields (the station being listened to
// filled in), says what it refuses, turns entries off and removes them, and
// changes the chosen entry in place from its fields.
#include "app/all_classes.h"
#include "app/form_schedule.h"
#include "audio/station_player.h"
#include "schedule/scheduler.h"
#include "skin_controls/skin_buttons.h"
#include "skin_controls/skin_check_box.h"
#include "skin_controls/skin_combo_box.h"
#include "skin_controls/skin_edit.h"
#include "skin_controls/skin_list_box.h"
#include "toolkit/form_reader.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class ScheduleWindowTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    RegisterAllClasses();
    TStationPlayer::SetInstance(&player);
    player.Play({"k", QString::fromUtf8("甲台"), "http://127.0.0.1:9/live.mp3", "http://127.0.0.1:9/live.mp3", {}});
    scheduler = std::make_unique<TScheduler>(std::make_unique<TScheduleStore>(dir.filePath("schedule.json")), TScheduler::TServices{});
    form = new TForm_Schedule(nullptr);
    form->ReportError = [this](const QString& text) { errors << text; };
    form->SetScheduler(scheduler.get());
  }
  void TearDown() override
  {
    TComponent::Free(form);
    QCoreApplication::sendPostedEvents();
    TStationPlayer::SetInstance(nullptr);
  }
  void Fill(const char* edit, const QString& text) { form->Edit(edit)->SetText(text); }
  void Click(const char* button)
  {
    qobject_cast<TbsSkinButton*>(form->FindComponent(QString::fromLatin1(button)))->SimulateClick();
  }

  QTemporaryDir dir;
  TStationPlayer player{std::make_unique<TStreamEngineMemory>()};
  std::unique_ptr<TScheduler> scheduler;
  TForm_Schedule* form = nullptr;
  QStringList errors;
};

TEST_F(ScheduleWindowTest, AddsTurnsOffAndRemovesEntriesAndSaysWhatItRefuses)
{
  EXPECT_EQ(form->Edit("bsSkinEditUrl")->Text(), "http://127.0.0.1:9/live.mp3");
  EXPECT_EQ(form->Edit("bsSkinEditName")->Text(), QString::fromUtf8("甲台"));
  // The window's own labels name the fields.
  EXPECT_FALSE(form->Edit("bsSkinEditUrl")->LabelVisible());
  EXPECT_TRUE(form->EntryLines().isEmpty());

  const QDateTime tomorrow = QDateTime::currentDateTime().addDays(1);
  const QString at = tomorrow.toString("yyyy-MM-dd HH:mm");
  Fill("bsSkinEditAt", at);
  Fill("bsSkinEditMinutes", "30");
  Fill("bsSkinEditFolder", dir.filePath("rec"));
  Click("bsSkinButtonAdd");
  ASSERT_EQ(errors, QStringList());
  ASSERT_EQ(form->EntryLines(), QStringList{QString::fromUtf8("● %1，30 分钟  甲台").arg(at)});
  // The same time again, a length that is no number, a day that does not exist.
  Click("bsSkinButtonAdd");
  Fill("bsSkinEditMinutes", "半小时");
  Click("bsSkinButtonAdd");
  Fill("bsSkinEditMinutes", "10");
  Fill("bsSkinEditWeekly", "1,8");
  Click("bsSkinButtonAdd");
  ASSERT_EQ(errors.size(), 3);
  EXPECT_TRUE(errors[0].contains(QString::fromUtf8("时间重叠"))) << errors[0].toStdString();
  EXPECT_TRUE(errors[1].startsWith(QString::fromUtf8("时长要写分钟数")));
  EXPECT_TRUE(errors[2].startsWith(QString::fromUtf8("每周要写 1（星期一）到 7（星期日）")));
  // Weekly, half a day away.
  const QString time = tomorrow.addSecs(12 * 3600).toString("HH:mm");
  Fill("bsSkinEditWeekly", QString::fromUtf8("1，3"));
  Fill("bsSkinEditAt", time);
  Click("bsSkinButtonAdd");
  ASSERT_EQ(errors.size(), 3) << errors.last().toStdString();
  ASSERT_EQ(form->EntryLines().size(), 2);
  EXPECT_EQ(form->EntryLines()[1], QString::fromUtf8("● 每周一、三 %1，10 分钟  甲台").arg(time));

  form->bsSkinListBoxEntries()->SetItemIndex(0);
  Click("bsSkinButtonToggle");
  EXPECT_TRUE(form->EntryLines()[0].startsWith(QString::fromUtf8("○ ")));
  TScheduleStore onDisk(dir.filePath("schedule.json"));
  EXPECT_FALSE(onDisk.Find("1")->Enabled);
  form->bsSkinListBoxEntries()->SetItemIndex(1);
  Click("bsSkinButtonRemove");
  EXPECT_EQ(form->EntryLines().size(), 1);
  EXPECT_EQ(TScheduleStore(dir.filePath("schedule.json")).Entries().size(), 1u);
  EXPECT_EQ(errors.size(), 3);
}

TEST_F(ScheduleWindowTest, ChoosingAnEntryShowsItAndChangeSavesItUnderTheSameId)
{
  const QDateTime day = QDateTime::currentDateTime().addDays(2);
  const QString at = day.toString("yyyy-MM-dd HH:mm");
  Fill("bsSkinEditAt", at);
  Fill("bsSkinEditMinutes", "30");
  Fill("bsSkinEditFolder", dir.filePath("rec"));
  Click("bsSkinButtonAdd");
  Fill("bsSkinEditAt", day.addSecs(3600).toString("yyyy-MM-dd HH:mm"));
  Fill("bsSkinEditName", QString::fromUtf8("乙台"));
  Click("bsSkinButtonAdd");
  ASSERT_EQ(errors, QStringList());
  // An entry another program made, at a rate the list does not offer.
  QString error;
  ASSERT_TRUE(scheduler->Store().Change("1", [](TScheduleEntry& e) { e.Bitrate = 192; }, &error)) << error.toStdString();
  form->Refresh();

  // The user goes up the list with the keyboard: the first entry fills the fields.
  TbsListBox* list = form->bsSkinListBoxEntries()->ListBox();
  list->Perform(WM_KEYDOWN, VK_UP, 0);
  ASSERT_EQ(form->SelectedId(), "1");
  EXPECT_EQ(form->Edit("bsSkinEditName")->Text(), QString::fromUtf8("甲台"));
  EXPECT_EQ(form->Edit("bsSkinEditAt")->Text(), at);
  EXPECT_EQ(form->Edit("bsSkinEditMinutes")->Text(), "30");
  EXPECT_EQ(form->bsSkinComboBoxBitRate()->Text(), "192 kbps");
  auto* aloud = form->CheckBox("bsSkinCheckRadioBoxAloud");
  auto* split = form->CheckBox("bsSkinCheckRadioBoxSplit");
  EXPECT_FALSE(aloud->Checked());
  EXPECT_FALSE(split->Checked());
  // A name typed over; a press on the chosen row shows the entry again.
  Fill("bsSkinEditName", "Other");
  list->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakeMouseLParam(10, list->ItemRect(0).center().y()));
  list->Perform(WM_LBUTTONUP, 0, MakeMouseLParam(10, list->ItemRect(0).center().y()));
  EXPECT_EQ(form->Edit("bsSkinEditName")->Text(), QString::fromUtf8("甲台"));

  // Longer, heard, split, at 64 kbps: it overlaps only itself, so it is saved
  // under its id with its last result kept.
  Fill("bsSkinEditMinutes", "45");
  aloud->Toggle();
  split->Toggle();
  form->bsSkinComboBoxBitRate()->SetItemIndex(1);
  Click("bsSkinButtonChange");
  ASSERT_EQ(errors, QStringList());
  TScheduleStore onDisk(dir.filePath("schedule.json"));
  ASSERT_EQ(onDisk.Entries().size(), 2u);
  const TScheduleEntry& changed = *onDisk.Find("1");
  EXPECT_EQ(changed.Seconds, 45 * 60);
  EXPECT_EQ(changed.Bitrate, 64);
  EXPECT_TRUE(changed.PlayAloud);
  EXPECT_TRUE(changed.SplitByTrack);
  EXPECT_EQ(form->EntryLines()[0], QString::fromUtf8("● %1，45 分钟  甲台").arg(at));

  // Into the second entry's hour: refused in words, the stored entry untouched.
  Fill("bsSkinEditMinutes", "90");
  Click("bsSkinButtonChange");
  ASSERT_EQ(errors.size(), 1);
  EXPECT_TRUE(errors[0].contains(QString::fromUtf8("乙台"))) << errors[0].toStdString();
  EXPECT_EQ(TScheduleStore(dir.filePath("schedule.json")).Find("1")->Seconds, 45 * 60);

  // Nothing chosen: said, nothing changed.
  form->bsSkinListBoxEntries()->SetItemIndex(-1);
  Click("bsSkinButtonChange");
  ASSERT_EQ(errors.size(), 2);
  EXPECT_TRUE(errors[1].contains(QString::fromUtf8("选中")));
}

} // namespace
