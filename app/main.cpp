// The program entry: title, the main window, the record window (hidden), then
// the message loop until the main window closes.
#include "app/all_classes.h"
#include "app/app_icon.h"
#include "app/form_main.h"
#include "app/process_end.h"
#include "app/qt_translations.h"
#include "app/session_end.h"
#include "app/settings_location.h"
#include "app/single_instance.h"
#include "app/user_messages.h"
#include "platform/display_check.h"
#include "platform/window_reparenting.h"
#include "browser/directory_config.h"
#include "browser/web_view/web_engine_view.h"
#include "toolkit/first_paint.h"

#include <QApplication>
#include <QDir>
#include <QWidget>
#include <csignal>
#include <cstdio>
#include <cstring>

namespace {
const char kUsage[] =
    "用法：velmora [--help] [--version]\n"
    "Velmora网络广播：收听网络电台，把正在播放的声音录制成 MP3 文件。\n"
    "\n"
    "  --help     显示这段说明并退出\n"
    "  --version  显示版本并退出\n"
    "\n"
    "不带参数启动时打开程序窗口；程序已在运行时把它的窗口带到前面。\n"
    "开发和诊断命令见 velmora-tool help。\n";

// --help and --version answer and end before anything else starts (no
// display, no second instance, no window). 0: go on; else the exit status + 1.
int AnswerCommandLine(int argc, char** argv)
{
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(kUsage, stdout);
      return 1;
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("velmora %s\n", VELMORA_VERSION);
      return 1;
    }
  }
  return 0;
}
} // namespace

int main(int argc, char** argv)
{
  if (const int answered = AnswerCommandLine(argc, argv)) return answered - 1;
  // A closed pipe or socket is an error to report, not a reason to die.
  std::signal(SIGPIPE, SIG_IGN);
  // A file-size limit (ulimit -f) makes the write fail with EFBIG: the
  // recording is reported and its file finished instead of the program killed.
  std::signal(SIGXFSZ, SIG_IGN);
  // A session that ends while the program starts ends it cleanly, once there
  // is something to close, rather than by the signal's default action.
  CatchSessionEndSignals();
  // The program places its own windows: on Wayland it runs through XWayland.
  ChooseWindowSystem();
  if (const QString problem = UnreachableDisplay(); !problem.isEmpty()) {
    std::fprintf(stderr, "%s\n", problem.toLocal8Bit().constData());
    return 1;
  }
  // The web view needs these before the application object exists.
  if (geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
  InstallWebEngineView();
  QApplication qtApp(argc, argv);
  QApplication::setOrganizationName(QStringLiteral("Velmora"));
  QApplication::setApplicationName(QStringLiteral("Velmora"));
  QApplication::setWindowIcon(AppIcon());
  InstallQtTranslations(QLocale::system());
  // A window the manager unframes late is placed anew where the program put it.
  WatchWindowReparenting([](WId window) {
    if (TForm* form = Screen->FormOfWindow(window)) form->WindowReparented();
  });
  // One program per user: a second start brings the first one's window up.
  TSingleInstance instance;
  if (instance.AskRunningInstance()) {
    std::fprintf(stderr, "%s\n", QStringLiteral("Velmora网络广播已在运行：已把它的窗口带到前面。").toLocal8Bit().constData());
    return 0;
  }
  RegisterAllClasses();
  // What goes wrong reaches the user in Chinese, in the skinned box.
  ReportErrorsInSkinnedBoxes();
  // Where the user keeps stations.txt (and the settings, when the program's folder is read-only).
  QDir().mkpath(UserConfigFolder());
  ReportLinksThatOpenNothing();

  TForm_Main* mainForm = nullptr;
  // Listening before the windows are made: a start meanwhile finds this one.
  instance.Listen([&mainForm] {
    if (mainForm) mainForm->BringBack();
  });

  // The session ends (logout, SIGTERM): close as the user would. The window
  // is up before start-up is over, so an end may come while the rest is made.
  bool endRequested = false;
  const auto endSession = [&mainForm, &endRequested] {
    endRequested = true;
    if (!mainForm) return;
    mainForm->EndingWithSession = true;
    // A box waiting for an answer would hold the end up: it is closed unanswered.
    for (int i = 0; i < 16; ++i) {
      QWidget* modal = QApplication::activeModalWidget();
      if (!modal) break;
      modal->close();
    }
    mainForm->Close();
  };
  WatchSessionEnd(endSession);
  // "[directory] url=" lives in the program's settings file.
  SetDirectorySettingsLocator([] { return MainFormSettingsLocation().ReadPath; });

  int status = 0;
  try {
    Application->SetTitle(QStringLiteral("Velmora网络广播"));
    mainForm = Application->CreateForm<TForm_Main>();
    // The record window (mixer, capture sources) is made once the main
    // window is on screen: nothing slow runs before the first window. If it
    // cannot be made, the program reports why and ends, as before.
    RunAfterFirstPaint(mainForm->Handle(), [&status] {
      try {
        CreateSecondaryWindows();
      } catch (...) {
        Application->HandleException(std::current_exception());
        status = 1;
        Application->Terminate();
      }
    });
    if (endRequested) endSession();
    else Application->Run();
  } catch (...) {
    Application->HandleException(std::current_exception());
    status = 1;
  }
  // Windows go while the toolkit still runs: settings are saved, a running
  // recording is finished.
  mainForm = nullptr;
  Application->DestroyComponents();
  // Qt's own end may wait on a network look-up that never finishes.
  EndProcessWithin(status, std::chrono::seconds(3));
  return status;
}
