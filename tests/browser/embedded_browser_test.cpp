#include "browser/embedded_browser.h"
#include "browser/web_view/web_engine_view.h"
#include "support/pump.h"
#include "support/qt_printers.h"
#include "toolkit/form_reader.h"
#include "toolkit/std_controls.h"

#include <QWebEngineView>
#include <gtest/gtest.h>

namespace {

class EmbeddedBrowserTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    RegisterToolkitClasses();
    RegisterToolkitVisualClasses();
    RegisterBrowserClasses();
  }
};

using B = TEmbeddedBrowser;

TEST_F(EmbeddedBrowserTest, FlagWordsOfTheMainWindowsDescription)
{
  TComponent* root = ReadComponentText(
      "object Form1: TForm\n"
      "  object EmbeddedBrowser1: TEmbeddedBrowser\n"
      "    DownloadOptions = [DLCTL_DLIMAGES, DLCTL_VIDEOS, DLCTL_BGSOUNDS]\n"
      "    UserInterfaceOptions = [ENABLE_FORMS_AUTOCOMPLETE]\n"
      "    PrintOptions.Margins.Left = 19.05\n"
      "    PrintOptions.Header = '&w&b页码，&p/&P'\n"
      "    PrintOptions.Footer = '&u&b&d'\n"
      "    PrintOptions.Orientation = poPortrait\n"
      "  end\n"
      "end\n",
      "main.vfm");
  auto* browser = qobject_cast<B*>(root->FindComponent("EmbeddedBrowser1"));
  ASSERT_NE(browser, nullptr);
  EXPECT_EQ(browser->DownloadControlWord(), 0x70u);
  EXPECT_EQ(browser->HostUIWord(), 0x4000u);
  EXPECT_EQ(browser->Answer(B::hqAmbientDownloadControl).Value, 0x70);
  EXPECT_EQ(browser->Answer(B::hqAmbientDownloadControl).Result, B::S_OK);
  EXPECT_EQ(browser->Answer(B::hqHostInfo).Value, 0x4000);
  EXPECT_EQ(browser->PrintOptions()->Header(), QString::fromUtf8("&w&b页码，&p/&P"));
  EXPECT_EQ(browser->PrintOptions()->HTMLHeader(), QStringList{"<HTML></HTML>"});
  TComponent::Free(root);
}

TEST_F(EmbeddedBrowserTest, WordsFollowTheSetsAndTheViewIsAskedAgain)
{
  B browser(nullptr);
  EXPECT_EQ(browser.DownloadControlWord(), 0x70u);  // images, videos, background sounds
  EXPECT_EQ(browser.HostUIWord(), 0u);
  const int before = browser.DownloadControlRequeries();
  browser.SetDownloadOptions(B::DLCTL_DLIMAGES | B::DLCTL_NO_SCRIPTS | B::DLCTL_OFFLINE);
  EXPECT_EQ(browser.DownloadControlWord(), 0x80000090u);
  EXPECT_EQ(browser.DownloadControlRequeries(), before + 1);
  browser.SetDownloadOptions(browser.DownloadOptions());  // same value: nothing
  EXPECT_EQ(browser.DownloadControlRequeries(), before + 1);
  browser.SetDownloadOptions({});
  EXPECT_EQ(browser.DownloadControlWord(), 0u);
  browser.SetUserInterfaceOptions(B::NO3DBORDER | B::IME_ENABLE_RECONVERSION);
  EXPECT_EQ(browser.HostUIWord(), 0x20004u);
}

TEST_F(EmbeddedBrowserTest, DefaultHostAnswers)
{
  B browser(nullptr);
  struct {
    B::THostQuestion Q;
    qint32 Result;
  } expected[] = {
      {B::hqShowContextMenu, B::S_FALSE},       {B::hqShowUI, B::S_FALSE},
      {B::hqHideUI, B::S_FALSE},                {B::hqUpdateUI, B::S_FALSE},
      {B::hqEnableModeless, B::S_FALSE},        {B::hqOnDocWindowActivate, B::S_FALSE},
      {B::hqOnFrameWindowActivate, B::S_FALSE}, {B::hqResizeBorder, B::S_FALSE},
      {B::hqTranslateAccelerator, B::S_FALSE},  {B::hqGetOptionKeyPath, B::S_FALSE},
      {B::hqTranslateUrl, B::S_FALSE},          {B::hqGetOverrideKeyPath, B::S_OK},
      {B::hqGetDropTarget, B::S_OK},            {B::hqGetExternal, B::S_FALSE},
      {B::hqFilterDataObject, B::S_FALSE},      {B::hqShowMessage, B::S_FALSE},
      {B::hqShowHelp, B::S_FALSE},              {B::hqGetTypeInfoCount, B::E_NOTIMPL},
      {B::hqGetTypeInfo, B::E_NOTIMPL},         {B::hqGetIDsOfNames, B::E_NOTIMPL},
      {B::hqQueryStatus, B::S_OK},              {B::hqExecWithoutGroup, B::OLECMDERR_E_UNKNOWNGROUP},
      {B::hqExecWithGroup, B::OLECMDERR_E_NOTSUPPORTED}, {B::hqQueryService, B::E_NOINTERFACE},
      {B::hqHostInfo, B::S_OK},
  };
  for (const auto& e : expected) EXPECT_EQ(browser.Answer(e.Q).Result, e.Result) << int(e.Q);
  browser.SetHelpFile("help.chm");
  EXPECT_EQ(browser.Answer(B::hqShowHelp).Result, B::S_OK);
}

TEST_F(EmbeddedBrowserTest, AssignedHooksAnswerInsteadOfTheDefaults)
{
  B browser(nullptr);
  int calls = 0;
  browser.OnShowContextMenu = [&](TObject* sender, qint32& result) {
    EXPECT_EQ(sender, &browser);
    result = B::S_OK;  // the program shows its own menu
    ++calls;
  };
  EXPECT_EQ(browser.Answer(B::hqShowContextMenu).Result, B::S_OK);
  EXPECT_EQ(calls, 1);
  int refreshes = 0;
  browser.OnRefresh = [&](TObject*, qint32&) { ++refreshes; };
  browser.Refresh();
  EXPECT_EQ(refreshes, 1);
}

TEST_F(EmbeddedBrowserTest, KeysOfferedToThePageFirst)
{
  EXPECT_TRUE(B::OffersKeyForTranslation(9, false));    // Tab
  EXPECT_TRUE(B::OffersKeyForTranslation(46, true));    // Delete
  EXPECT_TRUE(B::OffersKeyForTranslation(37, false));   // Left on the keypad
  EXPECT_FALSE(B::OffersKeyForTranslation(13, false));  // Enter
  EXPECT_FALSE(B::OffersKeyForTranslation(8, false));   // Backspace
  EXPECT_FALSE(B::OffersKeyForTranslation(37, true));   // extended Left
  EXPECT_FALSE(B::OffersKeyForTranslation(39, true));   // extended Right
}

TEST_F(EmbeddedBrowserTest, WriteKeepsTheOptionSets)
{
  B browser(nullptr);
  browser.SetName("EmbeddedBrowser1");
  browser.SetUserInterfaceOptions(B::ENABLE_FORMS_AUTOCOMPLETE);
  const QString text = WriteComponentText(&browser);
  EXPECT_TRUE(text.contains("UserInterfaceOptions = [ENABLE_FORMS_AUTOCOMPLETE]")) << text.toStdString();
  EXPECT_FALSE(text.contains("DownloadOptions"));  // the default set is not written
  TComponent* back = ReadComponentText(text, "w.vfm");
  EXPECT_EQ(qobject_cast<B*>(back)->HostUIWord(), 0x4000u);
  TComponent::Free(back);
}

TEST_F(EmbeddedBrowserTest, TheWebEngineStartsAfterTheWindowsFirstPaint)
{
  TComponent* root = ReadComponentText("object Form1: TForm\n"
                                       "  ClientWidth = 240\n"
                                       "  ClientHeight = 200\n"
                                       "  object EmbeddedBrowser1: TEmbeddedBrowser\n"
                                       "    Align = alClient\n"
                                       "  end\n"
                                       "end\n",
                                       "main.vfm");
  auto* form = qobject_cast<TForm*>(root);
  auto* browser = qobject_cast<B*>(root->FindComponent("EmbeddedBrowser1"));
  ASSERT_TRUE(form && browser);
  const QUrl page("data:text/html,<p>stations</p>");
  browser->Navigate(page);
  ASSERT_NE(form->Handle(), nullptr);
  ASSERT_TRUE(browser->HandleAllocated());
  EXPECT_FALSE(browser->HasView()) << "the pane's window exists, but the form is not on screen yet";
  form->Show();
  ASSERT_TRUE(PumpUntil([&] { return browser->HasView(); }, 5000));
  // The page it was told to show follows, inside the pane.
  QWebEngineView* view = WebEngineViewOf(*browser);
  ASSERT_NE(view, nullptr);
  EXPECT_TRUE(browser->Handle()->isAncestorOf(view));
  EXPECT_TRUE(PumpUntil([&] { return view->url() == page; }, 5000));
  TComponent::Free(root);
}

} // namespace
