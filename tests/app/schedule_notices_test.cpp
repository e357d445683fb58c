// What a scheduled recording tells reaches the user on a bare X session too:
// with neither a notification service nor a notification area the program
// shows its own skinned box without waiting for it (notices that come while
// it is open join it); a notification area gets a balloon and a notification
// service the notice, and then no box appears.
#include "app/schedule_desktop.h"
#include "platform/tray_area.h"
#include "skin/tray_icon.h"
#include "skin_controls/skin_message.h"
#include "support/private_session_bus.h"
#include "support/pump.h"

#include <gtest/gtest.h>

namespace {

TEST(ScheduleNotices, TheProgramShowsItsOwnBoxOnlyWhenTheDesktopHasNoOtherWay)
{
  TPrivateSessionBus bus;
  if (!bus.Start()) GTEST_SKIP() << "needs dbus-daemon (scripts/setup)";
  TTrayAreaMemory* area = nullptr;
  SetTrayAreaFactory([&] {
    auto a = std::make_unique<TTrayAreaMemory>();
    a->available = false;
    area = a.get();
    return a;
  });
  auto* main = new TForm(nullptr);
  auto* tray = new TbsTrayIcon(main);
  tray->SetIconVisible(true);
  {
    TScheduleNotices notices(tray, bus.Address());
    notices.Tell(QString::fromUtf8("预约录音完成"), QString::fromUtf8("甲台 已录好：/tmp/甲台.mp3"));
    TbsMessageForm* box = notices.Box();
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->Visible());
    EXPECT_FALSE(box->Modal());
    notices.Tell(QString::fromUtf8("错过了预约录音"), QString::fromUtf8("乙台 在 08:00 的预约录音没有录上"));
    ASSERT_NE(notices.Box(), nullptr);
    const QString text = notices.Box()->MessageLabel()->Caption().remove('\n');
    EXPECT_TRUE(text.contains(QString::fromUtf8("甲台 已录好")) && text.contains(QString::fromUtf8("乙台 在 08:00"))) << text.toStdString();
    int boxes = 0;
    for (int i = 0; i < Application->ComponentCount(); ++i) {
      auto* form = qobject_cast<TForm*>(Application->Components(i));
      boxes += form && form->Visible() && form->inherits("TbsMessageForm");
    }
    EXPECT_EQ(boxes, 1);
    // OK closes it, and the next notice starts afresh.
    notices.Box()->Button("OK")->SimulateClick();
    ASSERT_TRUE(PumpUntil([&] { return !notices.Box(); }, 3000));

    // A notification area: the balloon, no box.
    ASSERT_NE(area, nullptr);
    area->SetAvailable(true);
    tray->SetIconVisible(true);
    notices.Tell(QString::fromUtf8("预约录音开始"), QString::fromUtf8("正在录制 丙台"));
    EXPECT_EQ(area->messages, QStringList{QString::fromUtf8("预约录音开始\n正在录制 丙台")});
    EXPECT_EQ(notices.Box(), nullptr);

    // A notification service: the notice goes there alone.
    TFakeNotifications service;
    ASSERT_TRUE(service.Register(bus.Address()));
    notices.Tell(QString::fromUtf8("预约录音完成"), QString::fromUtf8("丙台 已录好"));
    ASSERT_TRUE(PumpUntil([&] { return !service.shown.isEmpty(); }, 5000));
    EXPECT_EQ(service.shown, QStringList{QString::fromUtf8("Velmora|预约录音完成|丙台 已录好")});
    EXPECT_EQ(area->messages.size(), 1);
    EXPECT_EQ(notices.Box(), nullptr);
  }
  TComponent::Free(main);
  SetTrayAreaFactory(nullptr);
}

} // namespace
