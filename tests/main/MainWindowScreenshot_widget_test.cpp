// Takes docs/main-window.png: the main window after a keyword run against the substitute
// search service. Runs only when KELVARO_MAIN_SCREENSHOT names the picture file, on a real
// (virtual) display, from the repository's root:
//   KELVARO_TEST_DISPLAY=1 KELVARO_MAIN_SCREENSHOT=docs/main-window.png
//   xvfb-run -a -s "-screen 0 1024x768x24" build/<dir>/tests/main_widget_tests
//   --gtest_filter='MainWindowScreenshot.*'
// (one command line).
// Otherwise it is skipped.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <cstdlib>
#include <string>

#include "grid/TResultGrid.h"
#include "main/MainForm.h"
#include "tests/support/TempDir.h"
#include "tools/SearchService.h"

namespace kelvaro {
namespace {

TEST(MainWindowScreenshot, AfterARun) {
  const char* file = std::getenv("KELVARO_MAIN_SCREENSHOT");
  if (file == nullptr) GTEST_SKIP() << "KELVARO_MAIN_SCREENSHOT not set";

  searchsim::SearchService service;
  testing::TempDir temp;
  MainFormEnvironment environment;
  environment.endpoint = service.Endpoint();
  environment.temp_dir = temp.path().string() + "/";
  Tfrm frm(environment);
  frm.FormCreate();
  frm.Credentials().Set("demo-key", "demo-cx");
  frm.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&frm));

  frm.Memo1->setPlainText(
      QStringLiteral("running shoes\nniche trail socks\nwinter boots\npopular rain jackets\n"
                     "common hiking poles"));
  frm.bStart->click();
  QElapsedTimer clock;
  clock.start();
  while (frm.IsSearching(false) && clock.elapsed() < 20000) QTest::qWait(10);
  ASSERT_FALSE(frm.IsSearching(false));
  ASSERT_EQ(frm.gRes->RowCount(), 6);
  frm.gRes->ToggleCheck(0, 3);  // one row left unticked, as a person would
  QTest::qWait(100);

  const QPixmap picture = frm.grab();
  ASSERT_TRUE(picture.save(QString::fromLocal8Bit(file), "PNG"));
}

}  // namespace
}  // namespace kelvaro
