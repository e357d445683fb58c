#include "app/all_classes.h"
#include "app/app_icon.h"
#include "support/scoped_mixer_backend.h"
#include "toolkit/image_list.h"
#include "app/form_main.h"
#include "app/form_schedule.h"
#include "schedule/scheduler.h"
#include "toolkit/menus.h"
#include "platform/capture_memory.h"
#include "platform/mixer_memory.h"
#include "platform/tray_area.h"
#include "skin/skin_form.h"
#include "skin/tray_icon.h"
#include "skin/skin_data.h"
#include "skin_controls/skin_buttons.h"
#include "browser/site_addresses.h"
#include "skin_controls/skin_labels.h"
#include "skin_controls/skin_panels.h"
#include "browser/directory_server.h"
#include "browser/embedded_browser.h"
#include "skin_controls/skin_edit.h"
#include "support/qt_printers.h"
#include "toolkit/form_reader.h"
#include "toolkit/ini_file.h"
#include "toolkit/timer.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class MainWindowTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() { RegisterAllClasses(); }

  void SetUp() override
  {
    // A desktop with a notification area.
    SetTrayAreaFactory([this] {
      auto area = std::make_unique<TTrayAreaMemory>();
      trayArea = area.get();
      return area;
    });
    iniPath = dir.filePath("mainform.ini");
    const QString path = iniPath;
    TForm_Main::SettingsLocator = [path] {
      return TSettingsLocation{QFile::exists(path) ? path : QString(), path};
    };
  }
  void TearDown() override
  {
    if (form) TComponent::Free(form);
    TForm_Main::SettingsLocator = nullptr;
    SetTrayAreaFactory(nullptr);
  }

  void WriteIni(const QString& text)
  {
    QFile f(iniPath);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text.toUtf8());
  }

  TForm_Main* Open()
  {
    form = new TForm_Main(nullptr);
    form->CursorPos = [this] { return cursor; };
    return form;
  }

  template <typename T>
  T* Get(const char* name) const
  {
    auto* c = qobject_cast<T*>(form->FindComponent(QString::fromLatin1(name)));
    EXPECT_NE(c, nullptr) << name;
    return c;
  }
  bool Timer1On() const { return Get<TTimer>("Timer1")->Enabled(); }
  bool Timer2On() const { return Get<TTimer>("Timer2")->Enabled(); }
  // A point well away from the window.
  QPoint Away() const { return form->ClientOrigin() + QPoint(form->Width() + 200, form->Height() + 200); }
  QPoint Inside() const { return form->ClientOrigin() + QPoint(20, 20); }

  QTemporaryDir dir;
  QString iniPath;
  TForm_Main* form = nullptr;
  QPoint cursor;
  TTrayAreaMemory* trayArea = nullptr;
};

TEST_F(MainWindowTest, WithoutSettingsTheDesignedPlacementStaysAndExitWritesTheFourKeys)
{
  Open();
  EXPECT_EQ(form->Left(), 767);
  EXPECT_EQ(form->Top(), 214);
  EXPECT_EQ(form->ClientWidth(), 246);
  EXPECT_EQ(form->ClientHeight(), 500);
  EXPECT_FALSE(form->Docked());
  EXPECT_FALSE(form->StayOnTopState());
  EXPECT_EQ(form->FormStyle(), TForm::fsNormal);
  EXPECT_FALSE(Timer1On());
  EXPECT_EQ(Get<TbsSkinSpeedButton>("bsSkinSpeedButton_SetTop")->ImageIndex(), 2);
  EXPECT_TRUE(Get<TbsTrayIcon>("bsTrayIcon1")->IconVisible());
  // The browser heads for the station directory.
  const QUrl url = Get<TEmbeddedBrowser>("EmbeddedBrowser1")->LocationUrl();
  EXPECT_EQ(url.path(), "/qq/");
  EXPECT_EQ(url.query(), "app");

  const int height = form->Height();
  TComponent::Free(form);
  form = nullptr;
  TMemIniFile ini(iniPath);
  EXPECT_EQ(ini.ReadInteger("main", "left", -1), 767);
  EXPECT_EQ(ini.ReadInteger("main", "top", -1), 214);
  EXPECT_EQ(ini.ReadInteger("main", "height", -1), height);
  EXPECT_EQ(ini.ReadString("main", "FormTop", "x"), "0");
}

TEST_F(MainWindowTest, TopZeroStartsDockedAndHidesWhenTheMouseIsAway)
{
  WriteIni("[main]\nleft=100\ntop=0\nheight=420\n");
  Open();
  EXPECT_EQ(form->Left(), 100);
  EXPECT_EQ(form->Height(), 420);
  EXPECT_TRUE(form->Docked());
  EXPECT_TRUE(form->StayOnTopState());
  EXPECT_EQ(form->FormStyle(), TForm::fsStayOnTop);
  EXPECT_TRUE(Timer1On());

  cursor = Inside();
  form->Timer1Timer(nullptr);
  EXPECT_EQ(form->Top(), 0) << "the mouse is over the window: it stays";
  EXPECT_TRUE(Timer1On());

  cursor = Away();
  form->Timer1Timer(nullptr);
  EXPECT_EQ(form->Top(), 5 - 420);
  EXPECT_FALSE(Timer1On());

  // The mouse over the visible strip brings it back and restarts the check.
  form->bsSkinStatusBar1MouseMove(nullptr, TShiftState(), 3, 3);
  EXPECT_EQ(form->Top(), 0);
  EXPECT_TRUE(Timer1On());
}

TEST_F(MainWindowTest, StoredStayOnTopComesBackWhenFloatingAndTheDockStateWinsAtTheEdge)
{
  WriteIni("[main]\nFormTop=1\ntop=214\n");
  Open();
  EXPECT_TRUE(form->StayOnTopState());
  EXPECT_EQ(form->FormStyle(), TForm::fsStayOnTop);
  EXPECT_EQ(Get<TbsSkinSpeedButton>("bsSkinSpeedButton_SetTop")->ImageIndex(), 3);
  EXPECT_FALSE(form->Docked());
  EXPECT_EQ(form->Left(), 500);  // missing keys fall back to 500
  EXPECT_EQ(form->Height(), 500);

  TComponent::Free(form);
  form = nullptr;
  WriteIni("[main]\ntop=214\n");  // no FormTop: not on top
  Open();
  EXPECT_FALSE(form->StayOnTopState());
  EXPECT_EQ(form->FormStyle(), TForm::fsNormal);

  TComponent::Free(form);
  form = nullptr;
  WriteIni("[main]\nFormTop=0\ntop=0\n");  // at the edge: docked, so on top
  Open();
  EXPECT_TRUE(form->Docked());
  EXPECT_TRUE(form->StayOnTopState());

  TComponent::Free(form);
  form = nullptr;
  WriteIni("[main]\nleft=abc\ntop=0x10\nheight=$190\n");
  Open();
  EXPECT_EQ(form->Left(), 500);  // not a number: the default
  EXPECT_EQ(form->Top(), 16);
  EXPECT_EQ(form->Height(), 400);
}

TEST_F(MainWindowTest, NeverSmallerThanItsFrameWithBothBarsAndAlwaysWholeOnTheWorkArea)
{
  Open();
  const QMargins m = form->NonClientMargins();
  const int minimum = m.top() + m.bottom() + Get<TbsSkinToolBar>("bsSkinToolBar1")->Height() +
                      Get<TbsSkinStatusBar>("bsSkinStatusBar1")->Height();
  ASSERT_GT(minimum, m.top() + m.bottom() + 40);
  // The size loop: the bottom edge dragged up to nothing stops at the bars.
  form->SendMessage(WM_ENTERSIZEMOVE, 0, 0);
  QRect r(form->Left(), form->Top(), form->Width(), 1);
  form->SendMessage(WM_SIZING, WMSZ_BOTTOM, PointerParam(&r));
  form->SetBounds(r.left(), r.top(), r.width(), r.height());
  form->SendMessage(WM_EXITSIZEMOVE, 0, 0);
  EXPECT_EQ(form->Height(), minimum);
  TComponent::Free(form);
  form = nullptr;

  const QRect work = Screen->MonitorFromPoint(QPoint(300, 200)).WorkareaRect;
  const char* const placements[] = {
      "[main]\nleft=300\ntop=200\nheight=0\n",      "[main]\nleft=300\ntop=200\nheight=-50\n",
      "[main]\nleft=300\ntop=200\nheight=99999\n",  "[main]\nleft=300\ntop=99999\nheight=300\n",
      "[main]\nleft=-99999\ntop=-99999\nheight=0\n", "[main]\nleft=99999\ntop=50\nheight=300\n",
  };
  for (const char* ini : placements) {
    SCOPED_TRACE(ini);
    WriteIni(QString::fromLatin1(ini));
    Open();
    const QRect shown = form->BoundsRect();
    EXPECT_GE(shown.height(), minimum);
    EXPECT_TRUE(work.contains(shown)) << shown.x() << "," << shown.y() << " " << shown.width() << "x" << shown.height();
    // What was shown is what is saved.
    TComponent::Free(form);
    form = nullptr;
    TMemIniFile saved(iniPath);
    EXPECT_EQ(saved.ReadInteger("main", "left", -1), shown.left());
    EXPECT_EQ(saved.ReadInteger("main", "top", -1), shown.top());
    EXPECT_EQ(saved.ReadInteger("main", "height", -1), shown.height());
  }
  // Slid away at the top edge, as the program left it: it stays so.
  WriteIni("[main]\nleft=300\ntop=-395\nheight=400\n");
  Open();
  EXPECT_EQ(form->Top(), -395);
  EXPECT_TRUE(form->Docked());
}

// What the file says, before the dock state has its say: a file without the
// key is not on top, one that says so is.
TEST_F(MainWindowTest, StayOnTopIsReadFromTheFileAndOffWithoutTheKey)
{
  WriteIni("[main]\nleft=300\ntop=100\nheight=400\n");
  Open();
  form->SetStayOnTopState(true);
  form->LoadSettings();
  EXPECT_FALSE(form->StayOnTopState());
  WriteIni("[main]\nleft=300\ntop=100\nheight=400\nFormTop=1\n");
  form->LoadSettings();
  EXPECT_TRUE(form->StayOnTopState());
}

TEST_F(MainWindowTest, MouseNearWidensTheClientAreaMostlyUpward)
{
  Open();
  const QPoint origin = form->ClientOrigin();
  const QRect client = form->ClientRect();
  cursor = origin + QPoint(10, -30);  // over the caption
  EXPECT_TRUE(form->MouseNear());
  cursor = origin + QPoint(10, -35);  // the widened edge itself is outside
  EXPECT_FALSE(form->MouseNear());
  cursor = origin + QPoint(-5, 10);  // exactly 5 pixels left
  EXPECT_FALSE(form->MouseNear());
  cursor = origin + QPoint(-4, 10);
  EXPECT_TRUE(form->MouseNear());
  cursor = origin + QPoint(client.width() + 4, client.height() + 4);
  EXPECT_TRUE(form->MouseNear());
  cursor = origin + QPoint(client.width() + 5, 10);
  EXPECT_FALSE(form->MouseNear());
}

TEST_F(MainWindowTest, StayOnTopButtonToggles)
{
  Open();
  auto* button = Get<TbsSkinSpeedButton>("bsSkinSpeedButton_SetTop");
  button->SimulateClick();
  EXPECT_TRUE(form->StayOnTopState());
  EXPECT_EQ(button->ImageIndex(), 3);
  EXPECT_EQ(button->Hint(), QString::fromUtf8("取消窗口总在最前面"));
  button->SimulateClick();
  EXPECT_FALSE(form->StayOnTopState());
  EXPECT_EQ(button->ImageIndex(), 2);
  EXPECT_EQ(button->Hint(), QString::fromUtf8("设定窗口总在最前面"));
}

TEST_F(MainWindowTest, DockingNotificationsFromTheFramesMoveLoop)
{
  Open();
  auto* frame = Get<TbsSkinForm>("bsSkinForm1");
  const int edge = Screen->MonitorFromWindow(form).WorkareaRect.top();
  // A drag as the toolkit's move loop runs it: the proposed place may be changed.
  const auto drag = [&](int top) {
    form->SendMessage(WM_ENTERSIZEMOVE, 0, 0);
    QRect r(form->Left(), top, form->Width(), form->Height());
    form->SendMessage(WM_MOVING, 0, PointerParam(&r));
    form->SetBounds(r.left(), r.top(), r.width(), r.height());
    form->SendMessage(WM_EXITSIZEMOVE, 0, 0);
  };
  drag(edge + 4);
  EXPECT_EQ(form->Top(), edge) << "within 4 pixels of the edge it snaps";
  EXPECT_EQ(form->Docked(), edge == 0);
  EXPECT_EQ(Timer1On(), edge == 0);
  drag(edge + 5);
  EXPECT_EQ(form->Top(), edge + 5) << "at 5 pixels it floats";
  EXPECT_FALSE(form->Docked());
  EXPECT_FALSE(form->StayOnTopState());
  EXPECT_FALSE(Timer1On());
  // A program's move is no drag: nothing is raised.
  form->SetTop(0);
  EXPECT_FALSE(form->Docked());
  EXPECT_FALSE(frame->InMoveSize());
  // The end of a resize by the bottom edge at top 0 docks it too.
  form->SendMessage(WM_ENTERSIZEMOVE, 0, 0);
  QRect r(form->Left(), 0, form->Width(), form->Height() + 30);
  form->SendMessage(WM_SIZING, WMSZ_BOTTOM, PointerParam(&r));
  form->SetBounds(r.left(), r.top(), r.width(), r.height());
  form->SendMessage(WM_EXITSIZEMOVE, 0, 0);
  EXPECT_TRUE(form->Docked());
}

TEST_F(MainWindowTest, RestoreFromTrayWaitsForTheMouseBeforeHidingAgain)
{
  WriteIni("[main]\ntop=0\n");
  Open();
  cursor = Away();
  form->Timer1Timer(nullptr);
  ASSERT_LT(form->Top(), 0);
  auto* frame = Get<TbsSkinForm>("bsSkinForm1");
  // Sent to the tray while shown at the edge: the auto-hide check was running.
  cursor = Inside();
  form->bsSkinStatusBar1MouseMove(nullptr, TShiftState(), 0, 0);
  ASSERT_TRUE(Timer1On());
  cursor = Away();
  frame->MinimizeToTray();
  EXPECT_FALSE(form->Visible());
  frame->RestoreFromTray();
  EXPECT_TRUE(form->Visible());
  EXPECT_EQ(form->Top(), 0);
  EXPECT_TRUE(Timer2On());
  EXPECT_FALSE(Timer1On());
  EXPECT_TRUE(Get<TbsTrayIcon>("bsTrayIcon1")->IconVisible());
  form->Timer2Timer(nullptr);  // the mouse has not come yet
  EXPECT_TRUE(Timer2On());
  cursor = Inside();
  form->Timer2Timer(nullptr);
  EXPECT_FALSE(Timer2On());
  EXPECT_TRUE(Timer1On());
}

TEST_F(MainWindowTest, RecordButtonShowsTheRecordWindowAndRefreshFailuresAreSwallowed)
{
  Open();
  TForm record(nullptr);
  record.SetName("Form_Record");
  EXPECT_FALSE(record.Visible());
  Get<TbsSkinSpeedButton>("bsSkinSpeedButtonRecord")->SimulateClick();
  EXPECT_TRUE(record.Visible());

  auto* browser = Get<TEmbeddedBrowser>("EmbeddedBrowser1");
  int refreshes = 0;
  browser->OnRefresh = [&](TObject*, qint32&) {
    ++refreshes;
    throw Exception("offline");
  };
  EXPECT_NO_THROW(Get<TbsSkinSpeedButton>("bsSkinSpeedButtonRefesh")->SimulateClick());
  EXPECT_EQ(refreshes, 1);
}

TEST_F(MainWindowTest, SkinnedBarsTakeTheSkinsSizesAroundTheBrowser)
{
  Open();
  auto* skin = Get<TbsSkinData>("bsSkinData1");
  ASSERT_FALSE(skin->IsEmptySkin());
  const std::pair<const char*, const char*> bound[] = {
      {"bsSkinToolBar1", "toolpanel"},           {"bsSkinSpeedButtonRefesh", "toolbutton"},
      {"bsSkinSpeedButton_SetTop", "toolbutton"}, {"bsSkinSpeedButtonRecord", "toolbutton"},
      {"bsSkinStdLabel1", "stdlabel"},           {"bsSkinStatusBar1", "statusbar"},
      {"bsSkinStatusPanel1", "statuspanel"},     {"bsSkinLinkLabel1", "stdlabel"}};
  for (const auto& [name, definition] : bound) {
    TComponent* c = Get<TComponent>(name);
    EXPECT_EQ(c->property("SkinDataName").toString(), QString::fromLatin1(definition)) << name;
    // The link draws its own look: no skin data.
    EXPECT_EQ(c->property("SkinData").value<QObject*>(), name == std::string("bsSkinLinkLabel1") ? nullptr : skin) << name;
  }

  // Both bars stretch only sideways: the skin's heights, whatever the description says.
  auto* bar = Get<TbsSkinToolBar>("bsSkinToolBar1");
  auto* status = Get<TbsSkinStatusBar>("bsSkinStatusBar1");
  EXPECT_EQ(bar->BoundsRect(), QRect(0, 0, 246, 30));
  EXPECT_EQ(status->BoundsRect(), QRect(0, 500 - 23, 246, 23));
  EXPECT_EQ(Get<TControl>("EmbeddedBrowser1")->BoundsRect(), QRect(0, 30, 246, 500 - 30 - 23));

  // Three glyph buttons side by side from the left on the bar's images, the version at the right.
  EXPECT_EQ(bar->Images(), Get<TImageList>("ImageList1"));
  EXPECT_TRUE(bar->ShowHint());
  EXPECT_FALSE(bar->ShowCaptions());
  int x = -1;
  for (auto [name, image] : {std::pair{"bsSkinSpeedButtonRefesh", 0}, {"bsSkinSpeedButton_SetTop", 2}, {"bsSkinSpeedButtonRecord", 4}}) {
    auto* b = Get<TbsSkinSpeedButton>(name);
    EXPECT_EQ(b->ImageIndex(), image) << name;
    EXPECT_EQ(b->Width(), 25) << name;
    EXPECT_TRUE(b->ShowHint()) << name << " takes the bar's hints";
    if (x >= 0) {
      EXPECT_EQ(b->Left(), x) << name;
    }
    x = b->Left() + b->Width();
  }
  EXPECT_EQ(Get<TbsSkinSpeedButton>("bsSkinSpeedButtonRefesh")->Hint(), QString::fromUtf8("刷新，获取最新电台电视数据"));
  EXPECT_EQ(Get<TbsSkinSpeedButton>("bsSkinSpeedButtonRecord")->Hint(), QString::fromUtf8("录音"));
  auto* version = Get<TbsSkinStdLabel>("bsSkinStdLabel1");
  EXPECT_EQ(version->Caption(), QString::fromUtf8("版本 1.2.4"));
  EXPECT_EQ(version->Width(), 65);
  QRect barArea = bar->ClientRect();
  bar->AdjustClientRect(barArea);
  EXPECT_EQ(version->Left() + version->Width(), barArea.right() + 1);
  EXPECT_EQ(Get<TbsSkinSpeedButton>("bsSkinSpeedButtonRefesh")->Left(), barArea.left());

  // The field is as wide as its text in the skin's font and the picture's 4-pixel border;
  // the link fills the rest of the bar.
  auto* field = Get<TbsSkinStatusPanel>("bsSkinStatusPanel1");
  TCanvas measure;
  measure.Font()->SetName(QStringLiteral("Arial"));
  measure.Font()->SetHeight(14);
  EXPECT_EQ(field->Width(), measure.TextWidth(QString::fromUtf8("网络版请登录：")) + 4);
  EXPECT_EQ(field->Height(), 17);
  auto* link = Get<TbsSkinLinkLabel>("bsSkinLinkLabel1");
  EXPECT_EQ(link->Left(), field->Left() + field->Width());
  QRect statusArea = status->ClientRect();
  status->AdjustClientRect(statusArea);
  EXPECT_EQ(field->Left(), statusArea.left());
  EXPECT_EQ(link->Left() + link->Width(), statusArea.right() + 1);
  EXPECT_EQ(link->URL(), MakerSiteAddress());

  // The maker's address is the build's: shown without its scheme, or nothing at all.
  ShowMakerSite(link, "http://www.example.com/");
  EXPECT_EQ(link->Caption(), "www.example.com");
  EXPECT_EQ(link->URL(), "http://www.example.com/");
  EXPECT_EQ(link->Cursor(), crHandPoint);
  ShowMakerSite(link, "");
  EXPECT_EQ(link->Caption(), "");
  EXPECT_EQ(link->Cursor(), crDefault);
  QStringList opened;
  auto& open = TbsSkinLinkLabel::OpenUrl();
  const auto saved = open;
  open = [&](const QString& url) {
    opened << url;
    return true;
  };
  link->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MakeMouseLParam(5, 5));
  link->SendMessage(WM_LBUTTONUP, 0, MakeMouseLParam(5, 5));
  open = saved;
  EXPECT_TRUE(opened.isEmpty()) << "a link without an address opens nothing";
}

TEST_F(MainWindowTest, DescriptionCarriesTheToolbarImagesAsDrawn)
{
  TComponent* bare = ReadComponentFile(FormDescriptionPath("Form_Main"), nullptr, nullptr, TReadOptions{.Designing = true});
  auto* images = qobject_cast<TImageList*>(bare->FindComponent("ImageList1"));
  ASSERT_NE(images, nullptr);
  EXPECT_EQ(images->Count(), 5);
  TImageList fresh(nullptr);
  for (int i = 0; i < 5; ++i) fresh.AddImage(ToolbarImage(i));
  EXPECT_EQ(images->Bitmap(), fresh.Bitmap()) << "run: velmora-tool art toolbar resources/forms/Form_Main.vfm";
  TComponent::Free(bare);
}

// A click on the record button that comes before the record window was made
// (it is made right after the first paint) makes it and shows it, once.
TEST_F(MainWindowTest, TheRecordButtonBeforeTheRecordWindowWasMadeMakesAndShowsIt)
{
  TMemoryCaptureSystem capture;
  TCaptureSystem::SetDefault(&capture);
  TScopedMixerBackend mixer;
  Open();
  ASSERT_EQ(RecordWindow(), nullptr);
  Get<TbsSkinSpeedButton>("bsSkinSpeedButtonRecord")->SimulateClick();
  TForm* record = RecordWindow();
  ASSERT_NE(record, nullptr);
  EXPECT_TRUE(record->Visible());
  CreateSecondaryWindows();  // the creation after the first paint comes late
  int windows = 0;
  for (int i = 0; i < Screen->FormCount(); ++i) windows += Screen->Forms(i)->Name() == "Form_Record";
  EXPECT_EQ(windows, 1);
  TComponent::Free(record);
  TCaptureSystem::SetDefault(nullptr);
}

TEST_F(MainWindowTest, TheTrayMenuOpensTheScheduleWindowAndTheIconTakesBalloons)
{
  Open();
  ASSERT_NE(form->Scheduler(), nullptr);
  auto* tray = Get<TbsTrayIcon>("bsTrayIcon1");
  TMenuItem* item = tray->PopupMenu()->Items()->Find("ScheduleTrayItem");
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(item->Caption(), QString::fromUtf8("预约录音…"));
  item->Click();
  TForm_Schedule* window = nullptr;
  for (int i = 0; i < Screen->FormCount(); ++i)
    if (auto* w = qobject_cast<TForm_Schedule*>(Screen->Forms(i))) window = w;
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(window->Visible());
  EXPECT_EQ(window->Caption(), QString::fromUtf8("预约录音"));
  item->Click();  // brought up again, not made twice
  int windows = 0;
  for (int i = 0; i < Screen->FormCount(); ++i) windows += qobject_cast<TForm_Schedule*>(Screen->Forms(i)) != nullptr;
  EXPECT_EQ(windows, 1);

  // The page's "预约" brings the same window up with the station filled in.
  emit TDirectoryServer::Instance()->ScheduleRequested(QString::fromUtf8("乙台"), "http://127.0.0.1:9/b.mp3");
  EXPECT_EQ(window->Edit("bsSkinEditName")->Text(), QString::fromUtf8("乙台"));
  EXPECT_EQ(window->Edit("bsSkinEditUrl")->Text(), "http://127.0.0.1:9/b.mp3");
  // So does the record window's system menu.
  TMemoryCaptureSystem capture;
  TCaptureSystem::SetDefault(&capture);
  TScopedMixerBackend mixer;
  CreateSecondaryWindows();
  TForm* record = RecordWindow();
  ASSERT_NE(record, nullptr);
  auto* frame = qobject_cast<TbsSkinForm*>(record->FindComponent("bsSkinForm1"));
  ASSERT_NE(frame, nullptr);
  window->Hide();
  frame->BuildSystemMenu()->Items()->Find("MenuItemSchedule")->Click();
  EXPECT_TRUE(window->Visible());
  windows = 0;
  for (int i = 0; i < Screen->FormCount(); ++i) windows += qobject_cast<TForm_Schedule*>(Screen->Forms(i)) != nullptr;
  EXPECT_EQ(windows, 1);
  TComponent::Free(record);
  TCaptureSystem::SetDefault(nullptr);

  ASSERT_NE(trayArea, nullptr);
  tray->ShowBalloon(QString::fromUtf8("预约录音完成"), QString::fromUtf8("甲台 已录好"));
  EXPECT_EQ(trayArea->messages, QStringList{QString::fromUtf8("预约录音完成\n甲台 已录好")});
}

} // namespace
