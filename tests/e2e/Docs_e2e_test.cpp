// Not checks but the README's pictures and the browser check's input, made by the real
// program on a real X server after real runs. Each runs only when asked for:
//   KELVARO_DOCS_DIR=<folder>     main-window.png, grid.png, deep-analysis.png, settings.png,
//                                 sorted-grid.png
//   KELVARO_HTML_EXPORT=<file>    the demo grid exported to HTML through Export to HTML
// (scripts/screenshots and scripts/browser-check set them).
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QPushButton>

#include "grid/view/TResultGrid.h"
#include "tests/e2e/DemoSession.h"

namespace kelvaro::e2e {
namespace {

void RunDemoPhrases(Tfrm& frm) {
  ASSERT_EQ(frm.Memo1->toPlainText(), QString::fromLatin1(kDemoKeywords));
  Click(frm.bStart);
  ASSERT_TRUE(WaitForRunEnd(frm));
  ASSERT_EQ(frm.gRes->Model().RowCount(), 5);
}

TEST(Docs, Screenshots) {
  const QString folder = qEnvironmentVariable("KELVARO_DOCS_DIR");
  if (folder.isEmpty()) GTEST_SKIP() << "set KELVARO_DOCS_DIR to take the screenshots";
  ASSERT_TRUE(QDir().mkpath(folder));
  DemoSession session(/*with_volume=*/true);
  Tfrm& frm = session.frm();
  RunDemoPhrases(frm);
  // Leave two phrases ticked for the Deep Analysis picture.
  ClickCheckBox(*frm.gRes, 2);
  ClickCheckBox(*frm.gRes, 4);
  ASSERT_TRUE(SaveWidgetPicture(&frm, QDir(folder).filePath("main-window.png")));
  ASSERT_TRUE(SaveWidgetPicture(frm.gRes, QDir(folder).filePath("grid.png")));

  TfrmDeepAnalysis& deep = session.deep();
  auto window =
      ModalWatch::Arm(QStringLiteral("the Deep Analysis window"), IsWidget(&deep), [&](QWidget*) {
        Click(deep.bStart);
        EXPECT_TRUE(WaitForRunEnd(deep));
        EXPECT_TRUE(SaveWidgetPicture(&deep, QDir(folder).filePath("deep-analysis.png")));
        Click(deep.TBXButton2);
      });
  Click(frm.TBXButton1);
  ASSERT_TRUE(window->Handled());

  TfSettings& settings = session.settings();
  auto dialog =
      ModalWatch::Arm(QStringLiteral("the settings dialog"), IsWidget(&settings), [&](QWidget*) {
        EXPECT_TRUE(SaveWidgetPicture(&settings, QDir(folder).filePath("settings.png")));
        Click(settings.BitBtn2);
      });
  Click(frm.btSettings);
  ASSERT_TRUE(dialog->Handled());

  // The easiest phrases on top: sorted by Allintitle, smallest count first.
  ClickHeader(*frm.gRes, 3);
  ASSERT_TRUE(SaveWidgetPicture(frm.gRes, QDir(folder).filePath("sorted-grid.png")));
  for (const char* name :
       {"main-window.png", "grid.png", "deep-analysis.png", "settings.png", "sorted-grid.png"}) {
    EXPECT_GT(QFileInfo(QDir(folder).filePath(name)).size(), 1000) << name;
  }
}

TEST(Docs, HtmlExport) {
  const QString file = qEnvironmentVariable("KELVARO_HTML_EXPORT");
  if (file.isEmpty()) GTEST_SKIP() << "set KELVARO_HTML_EXPORT to the file to export to";
  const QString path = QFileInfo(file).absoluteFilePath();
  ASSERT_TRUE(QDir().mkpath(QFileInfo(path).absolutePath()));
  DemoSession session;
  Tfrm& frm = session.frm();
  RunDemoPhrases(frm);

  // A file left from an earlier run must not pass for this one.
  if (QFileInfo::exists(path)) {
    ASSERT_TRUE(QFile::remove(path));
  }
  auto dialog = ModalWatch::Arm(QStringLiteral("the Export to HTML dialog"),
                                IsFileDialog(QStringLiteral("dlgS2")),
                                [path](QWidget* d) { EnterFileName(d, path); });
  Click(frm.Button3);
  ASSERT_TRUE(dialog->Handled());
  EXPECT_TRUE(FileText(path).contains(QStringLiteral("</table>")));
}

}  // namespace
}  // namespace kelvaro::e2e
