// Test entry: every test program runs with a headless QApplication so that
// widgets, timers and synchronised calls behave as in the program.
#include "browser/web_view/web_engine_view.h"

#include <QApplication>
#include <gtest/gtest.h>

#include <csignal>

int main(int argc, char** argv)
{
  // A peer that goes away (a sound server, a test server) must give an error, not end the run.
  std::signal(SIGPIPE, SIG_IGN);
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  // The web view needs these before the application object exists.
  if (qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX")) qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
  if (qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS"))
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu --no-sandbox --autoplay-policy=no-user-gesture-required");
  InstallWebEngineView();
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
