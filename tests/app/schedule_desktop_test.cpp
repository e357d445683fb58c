// The schedule window as a user meets it, on a desktop of its own with a
// window manager and a notification area: opened from the tray menu, an entry
// added by typing and Tab alone (Enter on the add button), then chosen in the
// list by a click, changed, turned off and removed with the mouse; the
// schedule file is read back after each step.
#include "desktop_session.h"
#include "schedule/schedule_store.h"
#include "skin_form/skinned_window.h"

#include <QDir>
#include <gtest/gtest.h>

namespace {

const QString kScheduleCaption = QStringLiteral("预约录音");
// The window's client size and places in its client area (its description).
constexpr QSize kClient(460, 378);
constexpr QPoint kFirstRow(60, 16), kToggle(333, 186), kRemove(414, 186), kUrl(262, 220), kName(262, 246),
    kMinutes(424, 272), kChange(333, 358);

QPoint ClientOrigin()
{
  SkinnedWindow w(BuiltinSkinBlock(), TForm::bsDialog, kClient);
  const QMargins m = w.Form->NonClientMargins();
  return QPoint(m.left(), m.top());
}

void Screenshot(const TDesktop& desktop, const char* name)
{
  QProcess::execute("import", {"-display", desktop.Display(), "-window", "root",
                               QStringLiteral(VELMORA_BINARY_DIR "/%1.png").arg(QLatin1String(name))});
}

TEST(ScheduleDesktop, AnEntryIsAddedByKeysChangedTurnedOffAndRemovedByMouse)
{
  TDesktop desktop(true, true);
  ASSERT_TRUE(desktop.Ok()) << desktop.Error().toStdString();
  TProgram program(desktop);
  program.Environment().insert("XDG_DATA_HOME", program.Folder() + "/data");
  program.WriteSettings("[main]\nleft=300\ntop=100\nheight=400\n");
  const QString main = program.Start();
  ASSERT_FALSE(main.isEmpty()) << program.Output().toStdString();
  const QString file = program.Folder() + "/data/Velmora/schedule.json";
  const auto stored = [&] {
    TScheduleStore store(file);
    EXPECT_EQ(store.Problem(), QString());
    return store.Entries();
  };

  // The tray menu's "预约录音…", below "播放" and a separator.
  QRect icon;
  ASSERT_TRUE(WaitFor([&] { return !(icon = desktop.TrayIcon(QStringLiteral("velmora"))).isNull(); }, kReadyMs));
  const qint64 pid = program.Process().processId();
  QString window;
  ASSERT_TRUE(WaitFor([&] {
    const QRect menu = desktop.OpenContextMenu(icon.center(), pid, 160);
    if (menu.isNull()) return false;
    desktop.Click(menu.center().x(), menu.top() + 38);
    return WaitFor([&] {
      const QStringList ids = desktop.VisibleWindows(kScheduleCaption);
      if (!ids.isEmpty()) window = ids.last();
      return !window.isEmpty() && desktop.TakenOnByManager(window);
    }, 3000);
  }, kReadyMs)) << (Screenshot(desktop, "schedule_no_window"), program.Output().toStdString());
  const QPoint client = desktop.Geometry(window).topLeft() + ClientOrigin();
  const auto click = [&](QPoint p) { desktop.Click(client.x() + p.x(), client.y() + p.y()); };
  const auto type = [&](const QString& text) {
    desktop.Keys({"ctrl+a"});
    desktop.XDoTool({"type", "--delay", "20", text});
  };

  // Added from the keyboard: each field in turn by Tab, Space on "按曲目分段",
  // Enter on "添加预约".
  const QDateTime at = QDateTime::currentDateTime().addDays(1);
  const QString atText = at.toString("yyyy-MM-dd HH:mm");
  const QString folder = program.Folder() + "/rec";
  desktop.XDoTool({"windowfocus", "--sync", window});
  click(kUrl);
  type("http://127.0.0.1:9/news.mp3");
  desktop.Keys({"Tab"});
  type("News FM");
  desktop.Keys({"Tab"});
  type(atText);
  desktop.Keys({"Tab", "Tab"});
  type("5");
  desktop.Keys({"Tab"});
  type(folder);
  // The bit rate, "播放声音", "按曲目分段", "修改", "添加预约".
  desktop.Keys({"Tab", "Tab", "Tab", "space", "Tab", "Tab", "Return"});
  ASSERT_TRUE(WaitFor([&] { return stored().size() == 1; }, 5000)) << (Screenshot(desktop, "schedule_not_added"), "");
  TScheduleEntry e = stored()[0];
  const QString id = e.Id;
  EXPECT_EQ(e.StationUrl, "http://127.0.0.1:9/news.mp3");
  EXPECT_EQ(e.StationName, "News FM");
  EXPECT_EQ(e.At.toString("yyyy-MM-dd HH:mm"), atText);
  EXPECT_EQ(e.Seconds, 300);
  EXPECT_EQ(e.Folder, folder);
  EXPECT_EQ(e.Bitrate, 128);
  EXPECT_TRUE(e.SplitByTrack);
  EXPECT_FALSE(e.PlayAloud);
  EXPECT_TRUE(e.Enabled);

  // A name typed over, then the entry chosen in the list: the fields show it
  // again; made longer and saved by "修改".
  click(kName);
  type("Other");
  click(kFirstRow);
  click(kMinutes);
  type("7");
  click(kChange);
  ASSERT_TRUE(WaitFor([&] { return !stored().empty() && stored()[0].Seconds == 420; }, 5000))
      << (Screenshot(desktop, "schedule_not_changed"), "");
  e = stored()[0];
  EXPECT_EQ(stored().size(), 1u);
  EXPECT_EQ(e.Id, id);
  EXPECT_EQ(e.StationName, "News FM");
  EXPECT_TRUE(e.SplitByTrack);

  click(kToggle);
  ASSERT_TRUE(WaitFor([&] { return !stored().empty() && !stored()[0].Enabled; }, 5000))
      << (Screenshot(desktop, "schedule_not_off"), "");
  click(kRemove);
  ASSERT_TRUE(WaitFor([&] { return stored().empty(); }, 5000)) << (Screenshot(desktop, "schedule_not_removed"), "");
  ASSERT_TRUE(program.End(SIGTERM));
}

} // namespace
