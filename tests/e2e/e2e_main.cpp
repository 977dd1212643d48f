// main() of the end-to-end tests: one QApplication on a real X server (run them under
// xvfb-run -a), and a screenshot of the screen for every failed check.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/e2e/DemoSession.h"

namespace {

// Keeps the screen as it was when a check failed: the open windows and boxes tell more
// than the message.
class ScreenshotOnFailure : public ::testing::EmptyTestEventListener {
  void OnTestStart(const ::testing::TestInfo& info) override {
    // Taken here: asking gtest for the current test while it records a result deadlocks.
    test_ = QStringLiteral("%1.%2").arg(QString::fromLatin1(info.test_suite_name()),
                                        QString::fromLatin1(info.name()));
    shots_ = 0;
  }
  void OnTestPartResult(const ::testing::TestPartResult& result) override {
    if (!result.failed() || shots_ >= 5) return;
    ++shots_;
    const QString path =
        kelvaro::e2e::SaveScreenshot(QStringLiteral("%1-%2").arg(test_).arg(shots_));
    std::fprintf(stderr, "screenshot of the failure: %s\n",
                 path.isEmpty() ? "(could not be written)" : qPrintable(path));
  }
  QString test_ = QStringLiteral("outside-a-test");
  int shots_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  const char* display = std::getenv("DISPLAY");
  if (display == nullptr || *display == '\0') {
    std::fprintf(stderr,
                 "The end-to-end tests need an X server; run them as: xvfb-run -a -s \"-screen 0 "
                 "1280x1024x24\" %s\n",
                 argv[0]);
    return 1;
  }
  // The real X server, and Qt's own file dialogs whatever desktop the machine has.
  qputenv("QT_QPA_PLATFORM", "xcb");
  qunsetenv("QT_QPA_PLATFORMTHEME");
  qunsetenv("XDG_CURRENT_DESKTOP");
  qunsetenv("DESKTOP_SESSION");
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Kelvaro"));
  // Closing the main window ends the process only through its own close handler.
  QApplication::setQuitOnLastWindowClosed(false);
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::UnitTest::GetInstance()->listeners().Append(new ScreenshotOnFailure);
  return RUN_ALL_TESTS();
}
