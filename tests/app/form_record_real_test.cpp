// The record window on the real stack: its description read as the program
// reads it, the ALSA mixer for the recording line's switch, a tone played into
// PulseAudio's null sink and recorded from its monitor. scripts/test starts the
// sound server and sets VELMORA_SOUND_SERVER.
#include "app/all_classes.h"
#include "app/form_record.h"
#include "app/record_source.h"
#include "audio/audio_test_util.h"
#include "audio/dx_audio_in.h"
#include "audio/mp3_out.h"
#include "browser/site_addresses.h"
#include "desktop_session.h"
#include "skin_form/skinned_window.h"
#include "mixer_ui/mm_block.h"
#include "skin_controls/skin_buttons.h"
#include "skin_controls/skin_edit.h"
#include "skin_controls/skin_labels.h"
#include "platform/capture_device.h"
#include "platform/mixer_backend.h"
#include "skin/skin_form.h"
#include "skin/skin_popup_window.h"
#include "support/private_sound_server.h"
#include "support/scoped_mixer_backend.h"
#include "support/scoped_process_state.h"
#include "toolkit/form_reader.h"
#include "toolkit/std_controls.h"

#include <QDataStream>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPixmap>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <csignal>
#include <gtest/gtest.h>

namespace {

// The window as the program makes it, with the settings file and the error
// report of the test.
TForm_Record* CreateRecordWindow(const QString& settings, QStringList& errors)
{
  auto* form = new TForm_Record(nullptr, BareForm);
  form->SettingsReadPath = form->SettingsWritePath = settings;
  form->ReportError = [&errors](const QString& text) { errors << text; };
  ReadComponentFile(FormDescriptionPath(QStringLiteral("Form_Record")), form);
  return form;
}

struct TFreeForm {
  TForm_Record*& F;
  ~TFreeForm() { TComponent::Free(F); }
};

TEST(RecordWindowRealStack, RecordsThreeSecondsOfAToneWithItsTags)
{
  if (qEnvironmentVariableIsEmpty("VELMORA_SOUND_SERVER"))
    GTEST_SKIP() << "needs the private PulseAudio server that scripts/test starts";
  RegisterAllClasses();
  TCaptureSystem::SetDefault(nullptr);  // ALSA
  TScopedMixerBackend alsaMixer(nullptr);
  QTemporaryDir dir;
  TPlayedTone tone(20.0);

  // Muted by someone before: the window unmutes the line when it comes up.
  QProcess::execute("amixer", {"-q", "sset", "Capture", "nocap"});
  auto* form = new TForm_Record(nullptr);
  struct Free {
    TForm_Record*& F;
    ~Free() { TComponent::Free(F); }
  } freeForm{form};
  QStringList asked, errors;
  const QString file = dir.filePath("节目录音.mp3");
  form->Confirm = [&](const QString& text) {
    asked << text;
    return int(mrYes);
  };
  form->ChooseFile = [&](const TRecordSaveRequest&) { return file; };
  form->ReportError = [&](const QString& text) { errors << text; };
  TMMMixerBlockCheck* lineSwitch = form->MMMixerBlockCheck1();
  ASSERT_TRUE(lineSwitch->Enabled()) << "the sound server's recording line has no usable switch";
  EXPECT_FALSE(lineSwitch->Checked());
  EXPECT_EQ(form->bsSkinEditSaveFile()->Text(), "");

  // Shown at height 100 the block is out of sight, yet bound: a mute set by
  // another program arrives, and Record takes it back.
  form->Show();
  EXPECT_FALSE(form->MMMixerBlock1()->Visible());
  QProcess::execute("amixer", {"-q", "sset", "Capture", "nocap"});
  EXPECT_TRUE(WaitUntil([&] { return lineSwitch->Checked(); }, 5000)) << "the mute never reached the block";

  ASSERT_EQ(tone.Start(), "");

  form->bsSkinButtonSelectFile()->SimulateClick();
  EXPECT_EQ(form->bsSkinEditSaveFile()->Text(), file);
  form->bsSkinButtonRec()->SimulateClick();
  ASSERT_TRUE(form->bsSkinButtonStop()->Enabled());
  EXPECT_FALSE(lineSwitch->Checked());
  QProcess amixer;
  amixer.start("amixer", {"sget", "Capture"});
  ASSERT_TRUE(amixer.waitForFinished(5000));
  EXPECT_TRUE(amixer.readAll().contains("[on]")) << "the recording line is still muted";
  // Three seconds of captured audio (a fresh server may deliver nothing at first).
  const int threeSeconds = 3 * 44100 * 4;
  ASSERT_TRUE(WaitUntil([&] { return form->DXAudioIn1()->Position() >= threeSeconds; }, 15000));
  ASSERT_TRUE(WaitUntil([&] { return form->bsSkinStatusPanelRecTime()->Caption().startsWith("已录制00:00:0"); }, 3000));

  const QImage shot = form->Handle()->grab().toImage();
  const QString shotPath = QStringLiteral(VELMORA_BINARY_DIR "/record_window.png");
  EXPECT_TRUE(shot.save(shotPath)) << shotPath.toStdString();
  EXPECT_EQ(shot.height(), 100);

  // What the file holds is judged against what was captured when Stop came,
  // not against the time the screenshot took.
  const double capturedAtStop = double(form->DXAudioIn1()->Position()) / (44100 * 4);
  form->bsSkinButtonStop()->SimulateClick();
  EXPECT_TRUE(form->bsSkinButtonRec()->Enabled());
  EXPECT_TRUE(errors.isEmpty()) << errors.join("\n").toStdString();
  EXPECT_TRUE(asked.isEmpty());

  const TDecoded d = DecodeMp3(file);
  ASSERT_TRUE(d.Ok);
  EXPECT_GE(d.Seconds(), capturedAtStop - 0.1);
  EXPECT_LE(d.Seconds(), capturedAtStop + 0.6);  // at most one more refill
  EXPECT_EQ(d.Bitrates.front(), 64);  // the list's designed choice
  EXPECT_EQ(d.Album, "Velmora 广播节目");
  EXPECT_EQ(d.Title, MakerSiteAddress().isEmpty() ? QFileInfo(file).completeBaseName().toStdString()
                                                  : MakerSiteAddress().toStdString());
  EXPECT_EQ(d.Artist, MakerSiteAddress().toStdString());
  EXPECT_EQ(d.Comment, MakerSiteAddress().toStdString());
  // The tone, judged against the recording's own level (the server's volumes may differ).
  const TToneStats whole = AnalyzeTone(d, 0, 0, d.Frames());
  ASSERT_GT(whole.Rms, 100) << "the recording is silent";
  EXPECT_GE(LongestToneSeconds(d, 1000), 2.5) << "whole recording: rms " << whole.Rms << ", " << whole.Frequency;
}

// The sources the sound server has, in the skinned system menu; the one
// chosen is kept for the next start.
TEST(RecordWindowRealStack, TheSystemMenuListsTheServersSourcesAndKeepsTheChoice)
{
  if (qEnvironmentVariableIsEmpty("VELMORA_SOUND_SERVER"))
    GTEST_SKIP() << "needs the private PulseAudio server that scripts/test starts";
  RegisterAllClasses();
  TCaptureSystem::SetDefault(nullptr);
  TScopedMixerBackend alsaMixer(nullptr);
  QTemporaryDir dir;
  const QString settings = dir.filePath("mainform.ini");
  QStringList errors;
  TForm_Record* form = CreateRecordWindow(settings, errors);
  TFreeForm freeForm{form};
  form->Show();
  auto* frame = qobject_cast<TbsSkinForm*>(form->FindComponent("bsSkinForm1"));
  ASSERT_TRUE(frame);
  frame->ShowSystemMenu(QRect(form->Left() + 10, form->Top() + 10, 1, 1));
  TbsSkinMenu* menu = frame->SkinMenu();
  ASSERT_TRUE(menu->IsOpen());
  const auto active = [&](int level) {
    const TbsSkinPopupWindow* w = menu->Level(level);
    return w->ActiveIndex() < 0 ? QString() : w->Item(w->ActiveIndex()).MenuItem->Caption();
  };
  ASSERT_EQ(active(0), "录音来源");
  ASSERT_TRUE(menu->KeyDown(VK_RIGHT));
  ASSERT_EQ(menu->LevelCount(), 2);
  TbsSkinPopupWindow* sources = menu->Level(1);
  QStringList names, checked;
  for (int i = 0; i < sources->ItemCount(); ++i) {
    const TMenuItem* item = sources->Item(i).MenuItem;
    names << item->Caption();
    if (item->Checked()) checked << item->Caption();
  }
  ASSERT_GE(names.size(), 2);
  EXPECT_EQ(names[0], "默认输入");
  EXPECT_TRUE(names.contains("正在播放的声音")) << names.join(", ").toStdString();
  EXPECT_EQ(checked, QStringList{"默认输入"});
  const QImage shot = sources->Handle()->grab().toImage();
  EXPECT_TRUE(shot.save(QStringLiteral(VELMORA_BINARY_DIR "/record_window_source_menu.png")));

  for (int i = 0; i < names.size() && active(1) != "正在播放的声音"; ++i) menu->KeyDown(VK_DOWN);
  ASSERT_TRUE(menu->KeyDown(VK_RETURN));
  EXPECT_FALSE(menu->IsOpen());
  EXPECT_EQ(form->RecordSource(), "正在播放的声音");
  EXPECT_EQ(ReadRecordSource(settings), "正在播放的声音");
  EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();

  // The next start records from it.
  TForm_Record* next = CreateRecordWindow(settings, errors);
  TFreeForm freeNext{next};
  EXPECT_EQ(next->RecordSource(), "正在播放的声音");
  EXPECT_FALSE(next->RecordingLineIsRecorded()) << "the monitor is not the default input";
}

// The sound server comes and goes: a window made while none runs says so and
// still lets a file be chosen; once a server runs, Record finds its mixer and
// records, without a new window; when it stops, Record says the server is
// gone and starts nothing.
TEST(RecordWindowRealStack, ASoundServerThatStartsLaterIsFoundOnRecordAndOneThatStopsIsTold)
{
  if (qEnvironmentVariableIsEmpty("VELMORA_SOUND_SERVER"))
    GTEST_SKIP() << "needs the private PulseAudio server that scripts/test starts";
  TPrivateSoundServer server;  // not started yet
  TScopedEnv pulse("PULSE_SERVER", ("unix:" + server.Socket()).toUtf8());
  RegisterAllClasses();
  TCaptureSystem::SetDefault(nullptr);
  TScopedMixerBackend alsaMixer(nullptr);
  QTemporaryDir dir;
  QStringList errors;
  TForm_Record* form = CreateRecordWindow(dir.filePath("mainform.ini"), errors);
  TFreeForm freeForm{form};
  const QString file = dir.filePath("again.mp3");
  form->ChooseFile = [&](const TRecordSaveRequest&) { return file; };
  form->Show();
  EXPECT_FALSE(form->MMMixerBlockCheck1()->Enabled());
  EXPECT_EQ(form->bsSkinEditSaveFile()->Text(), "声音服务未运行，不能录音。");
  ASSERT_TRUE(form->bsSkinButtonSelectFile()->Enabled()) << "a file can be chosen for when the server runs";

  // A record that takes its first second, then stops: the file plays.
  const auto recordASecond = [&] {
    errors.clear();
    form->bsSkinButtonRec()->SimulateClick();
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
    ASSERT_TRUE(form->bsSkinButtonStop()->Enabled());
    ASSERT_TRUE(WaitUntil([&] { return form->DXAudioIn1()->Position() >= 44100 * 4; }, 10000));
    form->bsSkinButtonStopClick(form);
    const TDecoded d = DecodeMp3(file);
    ASSERT_TRUE(d.Ok);
    EXPECT_GE(d.Seconds(), 0.9);
    QFile::remove(file);
  };

  ASSERT_TRUE(server.Start());
  ASSERT_TRUE(WaitUntil([] { return Pactl({"info"}).contains("Server Name"); }, 10000));
  form->bsSkinButtonSelectFile()->SimulateClick();
  ASSERT_TRUE(form->bsSkinButtonRec()->Enabled());
  recordASecond();
  EXPECT_TRUE(form->MMMixerBlockCheck1()->Enabled()) << "the mixer was found on Record";

  server.Stop();
  ASSERT_TRUE(WaitUntil([&] { return !form->MMMixerBlockCheck1()->Enabled(); }, 10000)) << "the mixer never went";
  ASSERT_TRUE(WaitUntil([&] { return !QFile::exists(server.Socket()); }, 10000));
  errors.clear();
  form->bsSkinButtonRec()->SimulateClick();
  EXPECT_EQ(errors, QStringList{QStringLiteral("声音服务未运行，不能录音。")});
  EXPECT_FALSE(form->bsSkinButtonStop()->Enabled());
  EXPECT_TRUE(form->bsSkinButtonRec()->Enabled());
  EXPECT_EQ(form->bsSkinEditSaveFile()->Text(), file);
  EXPECT_EQ(form->MP3Out1()->State(), TAuOutput::asIdle);
  EXPECT_FALSE(QFileInfo::exists(file));
}

// A source that paces itself like a card's input, as the server's default:
// ten seconds of its tone reach the file in about ten seconds, unbroken, and
// the time panel shows the audio in the file.
TEST(RecordWindowRealStack, RecordsASelfPacedInputInRealTimeAndShowsTheAudioInTheFile)
{
  if (qEnvironmentVariableIsEmpty("VELMORA_SOUND_SERVER"))
    GTEST_SKIP() << "needs the private PulseAudio server that scripts/test starts";
  RegisterAllClasses();
  TCaptureSystem::SetDefault(nullptr);
  SetMixerBackend(nullptr);
  const QString module = Pactl({"load-module", "module-sine-source", "source_name=velmora_window_sine", "frequency=500"});
  const QString previous = Pactl({"get-default-source"});
  struct Restore {
    QString Module, Previous;
    ~Restore()
    {
      Pactl({"set-default-source", Previous});
      Pactl({"unload-module", Module});
    }
  } restore{module, previous};
  ASSERT_EQ(Pactl({"set-default-source", "velmora_window_sine"}), "");
  QTemporaryDir dir;
  QStringList errors;
  TForm_Record* form = CreateRecordWindow(dir.filePath("mainform.ini"), errors);
  TFreeForm freeForm{form};
  const QString file = dir.filePath("sine.mp3");
  form->ChooseFile = [&](const TRecordSaveRequest&) { return file; };
  form->Show();
  form->bsSkinButtonSelectFile()->SimulateClick();
  QElapsedTimer clock;
  clock.start();
  form->bsSkinButtonRec()->SimulateClick();
  ASSERT_TRUE(form->bsSkinButtonStop()->Enabled()) << errors.join('\n').toStdString();
  WaitUntil([&] { return clock.elapsed() >= 10000; }, 11000);
  form->Timer1Timer(form);
  const QString shown = form->bsSkinStatusPanelRecTime()->Caption();
  form->bsSkinButtonStopClick(form);
  const double took = double(clock.elapsed()) / 1000;
  EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
  const TDecoded d = DecodeMp3(file);
  ASSERT_TRUE(d.Ok);
  // The server hands the source's audio over 2 s at a time.
  EXPECT_GE(d.Seconds(), took - 2.5) << "audio was lost";
  EXPECT_LE(d.Seconds(), took + 2.5);
  // Shown just before Stop, which may still take in one last block.
  const int inFile = int(std::lround(d.Seconds()));
  EXPECT_TRUE(shown == RecordedTimeText(inFile) || shown == RecordedTimeText(inFile - 1))
      << shown.toStdString() << " for " << d.Seconds() << " s in the file";
  const TToneContinuity c = AnalyzeContinuity(d, 500);
  EXPECT_GT(c.Level, 2000);
  EXPECT_EQ(c.Gaps, 0) << "the tone breaks off: audio was dropped";
  EXPECT_EQ(form->DXAudioIn1()->LostBytes(), 0);
}

// Where the record window's client area and caption are, in window
// coordinates (the built-in skin's dialog frame with the system-menu button).
struct RecordFrameSpots {
  QPoint Client, Caption;
};
RecordFrameSpots RecordFrame()
{
  SkinnedWindow w(BuiltinSkinBlock(), TForm::bsDialog, QSize(428, 72));
  w.Frame->SetBorderIcons(TbsSkinForm::biSystemMenu);
  const QMargins m = w.Form->NonClientMargins();
  return {QPoint(m.left(), m.top()), w.Frame->CaptionObject()->ObjectRect.center()};
}

// The program as a user drives it, by synthetic mouse and keys on its own X
// server: the bit-rate box opened by a click and chosen by a click and by
// keys, the source chosen in the system menu; both are kept in the settings
// and the next recording uses them.
TEST(RecordWindowProgram, TheBitRateBoxAndTheSourceMenuTakeMouseAndKeysAndTheRecordingUsesThem)
{
  if (qEnvironmentVariableIsEmpty("VELMORA_SOUND_SERVER"))
    GTEST_SKIP() << "needs the private PulseAudio server that scripts/test starts";
  TDesktop desktop(false);
  ASSERT_TRUE(desktop.Ok()) << desktop.Error().toStdString();
  TProgram program(desktop);
  program.WriteSettings("[main]\nleft=300\ntop=100\nheight=400\n");
  const QString main = program.Start();
  ASSERT_FALSE(main.isEmpty()) << program.Output().toStdString();
  const QString record = OpenRecordWindow(desktop, desktop.Geometry(main));
  ASSERT_FALSE(record.isEmpty()) << program.Output().toStdString();
  const QRect shown = desktop.Geometry(record);
  const RecordFrameSpots frame = RecordFrame();
  const QPoint client = shown.topLeft() + frame.Client;
  const qint64 pid = program.Process().processId();
  const auto saveShot = [&](const char* name) {
    QProcess::execute("import", {"-display", desktop.Display(), "-window", "root",
                                 QStringLiteral(VELMORA_BINARY_DIR "/%1.png").arg(QLatin1String(name))});
    return "";
  };

  // The list: a window of the program right below the box.
  const QRect combo(client + QPoint(136, 11), QSize(120, 20));
  const auto list = [&] {
    for (const QRect& r : desktop.ProcessWindows(pid))
      if (std::abs(r.left() - combo.left()) <= 4 && std::abs(r.top() - combo.bottom() - 1) <= 4 && r.height() > 20) return r;
    return QRect();
  };
  const auto kept = [&](const QByteArray& entry) { return WaitFor([&] { return program.Settings().contains(entry); }, 5000); };
  QRect rows;
  desktop.Click(combo.center().x(), combo.center().y());
  ASSERT_TRUE(WaitFor([&] { return !(rows = list()).isNull(); }, 5000)) << saveShot("record_program_no_list");
  const int row = (rows.height() - 4) / 3;  // three rows and the list's frame
  desktop.Click(rows.left() + 30, rows.top() + 2 + 2 * row + row / 2);
  EXPECT_TRUE(WaitFor([&] { return list().isNull(); }, 5000)) << "the list stays open";
  EXPECT_TRUE(kept("bitrate=128")) << program.Settings().toStdString();
  desktop.Click(combo.center().x(), combo.center().y());
  ASSERT_TRUE(WaitFor([&] { return !list().isNull(); }, 5000)) << saveShot("record_program_no_list");
  desktop.Keys({"Up", "Up", "Return"});
  EXPECT_TRUE(WaitFor([&] { return list().isNull(); }, 5000)) << "the list stays open";
  EXPECT_TRUE(kept("bitrate=32")) << program.Settings().toStdString();

  // The system menu by a right click on the caption, its source list by keys.
  const int windows = int(desktop.ProcessWindows(pid).size());
  desktop.RightClick(shown.left() + frame.Caption.x(), shown.top() + frame.Caption.y());
  ASSERT_TRUE(WaitFor([&] { return desktop.ProcessWindows(pid).size() > windows; }, 5000)) << saveShot("record_program_no_menu");
  desktop.Keys({"Right", "Down"});
  saveShot("record_program_source_menu");
  desktop.Keys({"Return"});
  EXPECT_TRUE(kept("source=正在播放的声音")) << program.Settings().toStdString();

  // A recording: the file typed into the save dialog, Record, Stop.
  const QString file = program.Folder() + "/rate.mp3";
  desktop.Click(client.x() + 8 + 56, client.y() + 8 + 14);
  QStringList dialog;
  ASSERT_TRUE(WaitFor([&] { return !(dialog = desktop.VisibleWindows("指定录音文件保存的目录和文件名")).isEmpty(); }, 10000))
      << saveShot("record_program_no_dialog");
  desktop.TypeInto(dialog.first(), file);
  desktop.Keys({"Return"});
  ASSERT_TRUE(WaitFor([&] { return desktop.VisibleWindows("指定录音文件保存的目录和文件名").isEmpty(); }, 5000));
  desktop.Click(client.x() + 264 + 37, client.y() + 8 + 14);
  // A second at 32 kbps is 4000 bytes.
  ASSERT_TRUE(WaitFor([&] { return QFileInfo(file).size() > 8000; }, 15000)) << saveShot("record_program_not_recording");
  desktop.Click(client.x() + 344 + 37, client.y() + 8 + 14);
  ASSERT_TRUE(program.End(SIGTERM));
  const TDecoded d = DecodeMp3(file);
  ASSERT_TRUE(d.Ok);
  ASSERT_FALSE(d.Bitrates.empty());
  EXPECT_EQ(std::count(d.Bitrates.begin(), d.Bitrates.end(), 32), std::ptrdiff_t(d.Bitrates.size()));
  // Saved again at the end with the placement, the choices stay.
  const QByteArray settings = program.Settings();
  EXPECT_TRUE(settings.contains("bitrate=32") && settings.contains("source=正在播放的声音")) << settings.toStdString();
}

// The hidden record window's buttons take the focus, as buttons do; the main
// window takes the first click a user gives it, however early: the record
// button right after the window shows (the record window may not be made yet).
TEST(RecordWindowProgram, TheMainWindowTakesItsFirstClickAfterStartUp)
{
  TDesktop desktop(false);
  ASSERT_TRUE(desktop.Ok()) << desktop.Error().toStdString();
  TProgram program(desktop);
  program.WriteSettings("[main]\nleft=300\ntop=100\nheight=400\n");
  for (int start = 0; start < 3; ++start) {
    SCOPED_TRACE(start);
    const QString main = program.Start();
    ASSERT_FALSE(main.isEmpty()) << program.Output().toStdString();
    const QRect shown = desktop.Geometry(main);
    desktop.MovePointer(shown.left() - 20, shown.top() - 20);
    desktop.Click(shown.left() + 66, shown.top() + 36);  // the tool bar's record button
    EXPECT_TRUE(WaitFor([&] { return !desktop.VisibleWindows(kRecordCaption).isEmpty(); }, 5000)) << "the click was lost";
    ASSERT_TRUE(program.End(SIGTERM));
  }
}

} // namespace
