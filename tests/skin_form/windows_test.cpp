// Both program windows wear the skinned frame: read from their descriptions,
// the built-in skin loaded, the Part's caption buttons.
#include "app/all_classes.h"
#include "app/form_main.h"
#include "app/form_record.h"
#include "skin/tray_icon.h"
#include "platform/capture_memory.h"
#include "platform/mixer_memory.h"
#include "skinned_window.h"
#include "support/scoped_mixer_backend.h"
#include "toolkit/std_controls.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
QStringList VisibleObjects(const TbsSkinForm* frame)
{
  QStringList names;
  for (const auto& o : frame->Objects())
    if (o->Visible) names << o->IDName;
  return names;
}
} // namespace

TEST(ProgramWindows, TheMainWindowIsSkinnedAtItsDesignedSize)
{
  RegisterAllClasses();
  QTemporaryDir dir;
  const QString ini = dir.filePath("mainform.ini");
  TForm_Main::SettingsLocator = [ini] { return TSettingsLocation{QString(), ini}; };
  auto* form = new TForm_Main(nullptr);
  TForm_Main::SettingsLocator = nullptr;
  auto* frame = qobject_cast<TbsSkinForm*>(form->FindComponent("bsSkinForm1"));
  ASSERT_TRUE(frame);
  EXPECT_TRUE(frame->SkinInUse());
  EXPECT_TRUE(form->OwnFrame());
  EXPECT_EQ(form->Width(), 254);
  EXPECT_EQ(form->Height(), 534);
  EXPECT_EQ(form->ClientRect().size(), QSize(246, 500));
  EXPECT_EQ(VisibleObjects(frame), QStringList({"caption", "CloseAnimate", "sysmenuanimate", "trayanimate"}));
  EXPECT_TRUE(frame->Magnetic());
  EXPECT_EQ(frame->MagneticSize(), 5);
  EXPECT_EQ(frame->DefMenuItemHeight(), 20);
  EXPECT_EQ(frame->TrayIcon(), form->FindComponent("bsTrayIcon1"));
  EXPECT_TRUE(frame->OnMagnetTopIn() && frame->OnMagnetTopOut() && frame->OnRestoreFromTray());
  TComponent::Free(form);
}

TEST(ProgramWindows, TheRecordWindowShowsCloseAndSystemMenuOnly)
{
  RegisterAllClasses();
  TScopedMixerBackend backend;
  TMemoryMixerBackend* mem = backend.Memory();
  TMemoryCaptureSystem capture;
  TCaptureSystem::SetDefault(&capture);
  const int m = mem->AddMixer("Test Mixer");
  TMixerTopology& t = mem->Topology(m);
  t.AddDestination(mmapi::COMPONENTTYPE_DST_SPEAKERS, "Speakers", "Speakers", 2);
  t.AddDestination(mmapi::COMPONENTTYPE_DST_WAVEIN, "Rec", "Recording Control", 2);
  t.AddControl(0xFFFF0001, mmapi::CONTROLTYPE_MUTE, mmapi::CONTROLF_UNIFORM, 0, 1, 0, "Mute", "Rec Mute");

  auto* form = new TForm_Record(nullptr);
  auto* frame = qobject_cast<TbsSkinForm*>(form->FindComponent("bsSkinForm1"));
  ASSERT_TRUE(frame);
  EXPECT_TRUE(frame->SkinInUse());
  EXPECT_EQ(VisibleObjects(frame), QStringList({"caption", "CloseAnimate", "sysmenuanimate"}));
  EXPECT_EQ(form->NonClientMargins(), QMargins(4, 30, 4, 4));
  EXPECT_EQ(form->Height(), 100);
  EXPECT_EQ(form->ClientWidth(), 428);
  auto* bar = qobject_cast<TControl*>(form->FindComponent("bsSkinStatusBar1"));
  ASSERT_TRUE(bar);
  EXPECT_EQ(bar->Top() + bar->Height(), form->ClientHeight());
  // Not sizeable: its edges do not size it.
  const QMargins mg = form->NonClientMargins();
  const QPoint origin = form->ClientOrigin() - QPoint(mg.left(), mg.top());
  const QPoint edge = origin + QPoint(form->Width() - 2, form->Height() / 2);
  EXPECT_EQ(form->SendMessage(WM_NCHITTEST, 0, MakeMouseLParam(edge.x(), edge.y())), HTOBJECT);
  TComponent::Free(form);
  QCoreApplication::sendPostedEvents();
  TCaptureSystem::SetDefault(nullptr);
}
