#include "app/schedule_desktop.h"

#include "app/form_main.h"
#include "app/form_record.h"
#include "app/form_schedule.h"
#include "app/player_desktop.h"
#include "audio/mp3_out.h"
#include "browser/directory_server.h"
#include "browser/site_addresses.h"
#include "platform/desktop_session_services.h"
#include "schedule/station_recording.h"
#include "app/user_messages.h"
#include "skin/tray_icon.h"
#include "skin_controls/skin_message.h"

#include <QDate>
#include <QDir>
#include <QPointer>
#include <cstdio>

TScheduleNotices::TScheduleNotices(TbsTrayIcon* tray, QString busAddress) : tray_(tray), busAddress_(std::move(busAddress)) {}

TScheduleNotices::~TScheduleNotices()
{
  if (box_) TComponent::Free(box_.data());
}

void TScheduleNotices::Tell(const QString& title, const QString& text)
{
  // Also in the program's output, whatever shows it.
  std::fprintf(stderr, "%s\n", (title + QString::fromUtf8("：") + text).toLocal8Bit().constData());
  if (SendDesktopNotification(title, text, QStringLiteral("velmora"), busAddress_)) return;
  if (tray_ && tray_->CanHideToTray() && tray_->IconVisible()) {
    tray_->ShowBalloon(title, text);
    return;
  }
  if (Application->Terminated()) return;
  // Neither: the program's own box, open until the user closes it.
  if (box_) TComponent::Free(box_.data());
  shown_ << title + u'\n' + text;
  box_ = ShowUserNotice(shown_.join(QStringLiteral("\n\n")), mtInformation, [this] { shown_.clear(); });
}

TScheduler::TServices ProgramScheduleServices(TbsTrayIcon* tray)
{
  TScheduler::TServices s;
  s.MakeRecording = [] {
    return std::make_unique<TStationRecording>([](TMP3Out* out, const QString& station, const QString& title) {
      for (const auto& [tag, value] : RecordWindowTags()) out->setProperty(tag.toLatin1().constData(), value);
      SetMakerTags(out, out->FileName(), MakerSiteAddress());
      SetStationTags(out, station, title, QDate::currentDate());
    });
  };
  auto notices = std::make_shared<TScheduleNotices>(tray);
  s.Notify = [notices](const QString& title, const QString& text) { notices->Tell(title, text); };
  s.UserText = UserMessageText;
  s.KeepAwake = [](const QString& why) -> std::shared_ptr<void> {
    QString error;
    std::shared_ptr<TSleepInhibitor> held = TSleepInhibitor::Acquire(QStringLiteral("Velmora"), why, &error);
    if (!held) std::fprintf(stderr, "%s\n", QString::fromUtf8("无法阻止系统睡眠：%1").arg(error).toLocal8Bit().constData());
    return held;
  };
  return s;
}

TScheduler* AttachScheduleToMainWindow(TForm_Main& form, TPlayerDesktop* desktop)
{
  auto* tray = qobject_cast<TbsTrayIcon*>(form.FindComponent(QStringLiteral("bsTrayIcon1")));
  auto* scheduler = new TScheduler(std::make_unique<TScheduleStore>(TScheduleStore::DefaultFile()),
                                   ProgramScheduleServices(tray), &form);
  QPointer<TPlayerDesktop> hint(desktop);
  QObject::connect(scheduler, &TScheduler::Changed, scheduler, [scheduler, hint] {
    if (hint) hint->SetHintNote(scheduler->StatusText());
  });
  AddScheduleTrayItem(form, scheduler);
  // The page's "预约" on a station.
  QObject::connect(TDirectoryServer::Instance(), &TDirectoryServer::ScheduleRequested, scheduler,
                   [](const QString& name, const QString& url) { OpenScheduleWindow(name, url); });
  scheduler->Start();
  return scheduler;
}
