// The schedule window read from its description: it lists the entries of the
// scheduler's store, adds one from its fields (the station being listened to
// filled in), says what it refuses, and turns entries off and removes them.
#include "app/all_classes.h"
#include "app/form_schedule.h"
#include "audio/station_player.h"
#include "schedule/scheduler.h"
#include "skin_controls/skin_buttons.h"
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
  EXPECT_FALSE(onDisk.Find("1")->enabled);
  form->bsSkinListBoxEntries()->SetItemIndex(1);
  Click("bsSkinButtonRemove");
  EXPECT_EQ(form->EntryLines().size(), 1);
  EXPECT_EQ(TScheduleStore(dir.filePath("schedule.json")).Entries().size(), 1u);
  EXPECT_EQ(errors.size(), 3);
}

} // namespace
