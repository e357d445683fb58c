// The program entry: title, the main window, the record window (hidden), then
// the message loop until the main window closes.
#include "app/all_classes.h"
#include "app/app_icon.h"
#include "app/form_main.h"
#include "app/session_end.h"
#include "app/settings_location.h"
#include "browser/directory_config.h"

#include <QApplication>
#include <csignal>

int main(int argc, char** argv)
{
  // A closed pipe or socket is an error to report, not a reason to die.
  std::signal(SIGPIPE, SIG_IGN);
  // The program places its own windows: on Wayland it runs through XWayland.
  ChooseWindowSystem();
  // The web view needs these before the application object exists.
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  if (geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
  QApplication qtApp(argc, argv);
  QApplication::setOrganizationName(QStringLiteral("Velmora"));
  QApplication::setApplicationName(QStringLiteral("Velmora"));
  QApplication::setWindowIcon(AppIcon());
  RegisterAllClasses();
  // "[directory] url=" lives in the program's settings file.
  SetDirectorySettingsLocator([] { return MainFormSettingsLocation().readPath; });

  int status = 0;
  try {
    Application->SetTitle(QStringLiteral("Velmora网络广播"));
    TForm_Main* mainForm = Application->CreateForm<TForm_Main>();
    CreateSecondaryWindows();
    // The session ends (logout, SIGTERM): close as the user would.
    WatchSessionEnd([mainForm] { mainForm->Close(); });
    Application->Run();
  } catch (...) {
    Application->HandleException(std::current_exception());
    status = 1;
  }
  // Windows go while the toolkit still runs: settings are saved, a running
  // recording is finished.
  Application->DestroyComponents();
  return status;
}
