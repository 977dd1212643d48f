// The main window driven as a person would: typed phrases, Start, the buttons, the boxes,
// the file dialogs answered by the test, against the substitute search service.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <algorithm>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/AtomicFile.h"
#include "deep/view/DeepAnalysisForm.h"
#include "grid/view/GridHeaderView.h"
#include "grid/view/TResultGrid.h"
#include "main/KeywordWorker.h"
#include "main/view/MainForm.h"
#include "main/ProjectFiles.h"
#include "settings/SettingsStore.h"
#include "settings/view/uSettings.h"
#include "store/AnswerStore.h"
#include "tests/support/DownloadGate.h"
#include "tests/support/TempDir.h"
#include "tests/support/qt/ModalAnswer.h"
#include "tools/SearchAnswers.h"
#include "tools/SubstituteSearchServer.h"
#include "ui/Chime.h"
#include "web/CustomSearch.h"
#include "web/DataForSeo.h"
#include "web/SearchService.h"
#include "web/uHelper.h"

namespace kelvaro {
namespace {

using testing::AnswerNextBox;
using testing::AnswerNextModal;
using testing::SeenBox;
using testing::WaitUntil;

constexpr char kAnalyzingText[] = "The analyzing is in progress. It must be finished first.";
constexpr char kSearchingText[] =
    "Searching in progress. Stop the search first or wait for it to finish.";
constexpr char kOverwriteText[] = "The file you specified exists. Do you want to overwrite it?";
constexpr char kKey[] = "demo-key";
constexpr char kEngine[] = "demo-cx";

// A count cell as a run leaves it: the query that was asked, up to its key.
std::string Link(const std::string& url, const std::string& count) {
  const size_t key = std::min(url.find("&key="), url.find("&api_key="));
  return "<a href=\"" + url.substr(0, key) + "\">" + count + "</a>";
}

uint32_t Rgb(const QColor& color) { return color.rgb() & 0xFFFFFFu; }

QStringList Captions(QWidget* modal) {
  QStringList captions;
  for (auto* button : modal->findChildren<QAbstractButton*>()) captions << button->text();
  return captions;
}

class MainFormTest : public ::testing::Test {
 protected:
  MainFormTest() : hive_(temp_.File("settings.reg")), store_(hive_) {
    frm_ = MakeWindow(downloads_);
    frm_->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(frm_.get()));
  }
  ~MainFormTest() override {
    downloads_.Open();
    if (frm_) frm_->ShutdownWorker();
  }

  // `demo_credentials`: replace what the store gave with the demo key pair.
  std::unique_ptr<Tfrm> MakeWindow(testing::DownloadGate& downloads, bool demo_credentials = true) {
    services_.endpoint = service_.Endpoint();
    services_.http = &downloads;
    services_.temp_dir = temp_.path().string() + "/";
    services_.timings.phrase_pause_ms = 0;  // no test waits the half second between keywords
    MainFormEnvironment environment;
    environment.store = &store_;
    auto frm = std::make_unique<Tfrm>(environment, services_);
    frm->FormCreate();  // writes the chime file, loads the (empty) settings
    if (demo_credentials) frm->Credentials().Set({kKey, kEngine});
    frm->RunFileDialog = [this](QFileDialog* dialog) {
      dialogs_.push_back(dialog);
      return next_file_;
    };
    return frm;
  }

  // Types the phrases into the memo, one per line, as a person would.
  void Type(const std::vector<std::string>& phrases) {
    frm_->Memo1->setFocus();
    for (size_t i = 0; i < phrases.size(); ++i) {
      if (i > 0) QTest::keyClick(frm_->Memo1, Qt::Key_Return);
      QTest::keyClicks(frm_->Memo1, QString::fromStdString(phrases[i]));
    }
  }

  void RunToEnd() {
    frm_->bStart->click();
    ASSERT_TRUE(frm_->IsSearching(false));
    ASSERT_TRUE(WaitUntil([&] { return !frm_->IsSearching(false); }));
  }

  std::string Url(QueryKind kind, const std::string& phrase) const {
    return BuildQueryURL(kind, phrase, kKey, kEngine, service_.Endpoint());
  }

  // A ticked result row as a run leaves it, with counts and made-up query URLs.
  void PutRow(int row, const std::string& phrase, const std::string& quotes,
              const std::string& title, const std::string& url, bool ticked = true) {
    ResultGridModel& grid = frm_->gRes->Model();
    while (grid.RowCount() <= row) grid.AddRow();
    grid.AddCheckBox(0, row, ticked, false);
    grid.SetCells(1, row, phrase);
    grid.SetCells(2, row, quotes);
    grid.SetCells(3, row, title);
    grid.SetCells(4, row, url);
  }

  uint32_t Background(int col, int row) {
    return Rgb(frm_->gRes->Visuals(col, row, GridDrawState{}).background);
  }

  // A click in the middle of column `col`'s header.
  void ClickHeader(int col) {
    GridHeaderView& header = frm_->gRes->Header();
    QTest::mouseClick(header.viewport(), Qt::LeftButton, {},
                      QPoint(header.sectionViewportPosition(col) + header.sectionSize(col) / 2,
                             header.height() / 2));
  }

  // Clicks `button` while a box is expected to stay away; true when none came.
  static bool ClickShowsNoBox(QPushButton* button) {
    testing::ShownBoxes boxes;
    button->click();
    return boxes.Count() == 0;
  }

  searchsim::SubstituteSearchServer service_;
  testing::TempDir temp_;
  std::string hive_;
  SettingsStore store_;
  testing::DownloadGate downloads_;
  RunServices services_;
  std::vector<QFileDialog*> dialogs_;
  QString next_file_;
  std::unique_ptr<Tfrm> frm_;
};

// Two typed phrases through the real worker, bridge and service: one ticked row each,
// every count a link to the query that produced it, the progress in sixths, the memo
// locked during the run and the window idle (and chiming) at its end.
TEST_F(MainFormTest, TwoPhrasesGiveLinkedCountRowsAndTheWindowIsIdleAfter) {
  const std::vector<std::string> phrases = {"popular red shoes", "niche blue hats"};
  Type(phrases);
  ASSERT_EQ(frm_->Memo1->toPlainText(), QStringLiteral("popular red shoes\nniche blue hats"));
  std::vector<int> progress;
  QObject::connect(frm_->barProgress, &QProgressBar::valueChanged,
                   [&](int value) { progress.push_back(value); });

  frm_->bStart->click();
  EXPECT_TRUE(frm_->IsSearching(false));
  EXPECT_TRUE(frm_->Memo1->isReadOnly());
  EXPECT_EQ(frm_->Memo1->palette().color(QPalette::Base), QColor(192, 220, 192));
  ASSERT_TRUE(WaitUntil([&] { return !frm_->IsSearching(false); }));

  ASSERT_EQ(frm_->gRes->Model().RowCount(), 3);
  std::vector<std::string> urls;
  for (int i = 0; i < 2; ++i) {
    const int row = i + 1;
    const std::string& p = phrases[i];
    EXPECT_TRUE(frm_->gRes->Model().HasCheckBox(0, row));
    EXPECT_TRUE(frm_->gRes->Model().IsChecked(0, row));
    EXPECT_EQ(frm_->gRes->Model().Cells(0, row), "");
    EXPECT_EQ(frm_->gRes->Model().Cells(1, row), p);
    const std::string counts[] = {std::to_string(searchsim::PhraseCount(p)),
                                  std::to_string(searchsim::TitleCount(p)),
                                  std::to_string(searchsim::UrlCount(p))};
    const QueryKind kinds[] = {QueryKind::Phrase, QueryKind::Title, QueryKind::URL};
    for (int q = 0; q < 3; ++q) {
      urls.push_back(Url(kinds[q], p));
      EXPECT_EQ(frm_->gRes->Model().Cells(2 + q, row), Link(urls.back(), counts[q]));
    }
  }
  // The service saw exactly those URLs, in order.
  const auto requests = service_.Requests();
  ASSERT_EQ(requests.size(), urls.size());
  for (size_t i = 0; i < urls.size(); ++i) {
    EXPECT_EQ(service_.Endpoint() + requests[i].target, urls[i]);
  }
  // "popular" counts are all red, "niche" counts all green; the other cells uncoloured.
  const uint32_t base = Rgb(frm_->gRes->palette().color(QPalette::Base));
  for (int col = 2; col <= 4; ++col) {
    EXPECT_EQ(Background(col, 1), 0xFF3C3Cu) << col;
    EXPECT_EQ(Background(col, 2), 0x00FF00u) << col;
  }
  EXPECT_EQ(Background(1, 1), base);
  EXPECT_EQ(Background(0, 2), base);

  EXPECT_EQ(progress, (std::vector<int>{17, 33, 50, 67, 83, 100, 0}));
  EXPECT_FALSE(frm_->Memo1->isReadOnly());
  EXPECT_EQ(frm_->Memo1->palette().color(QPalette::Base),
            QApplication::palette().color(QPalette::Base));
  EXPECT_EQ(frm_->barProgress->value(), 0);
  EXPECT_TRUE(std::filesystem::is_regular_file(temp_.File(kChimeFileName)));
  EXPECT_EQ(frm_->MediaPlayer1().PlayCount(), 1);

  // A second Start begins on a fresh grid.
  frm_->Memo1->setPlainText(QStringLiteral("few hats"));
  RunToEnd();
  ASSERT_EQ(frm_->gRes->Model().RowCount(), 2);
  EXPECT_EQ(frm_->gRes->Model().Cells(1, 1), "few hats");
  EXPECT_EQ(frm_->gRes->Model().Cells(2, 1), Link(Url(QueryKind::Phrase, "few hats"), "4"));
  EXPECT_EQ(frm_->MediaPlayer1().PlayCount(), 2);
}

// What a person sees first: the caption, the client area, the delay, and the hint of the
// control under the mouse in the status bar.
TEST_F(MainFormTest, LayoutAndHints) {
  EXPECT_EQ(frm_->windowTitle(), QStringLiteral("Kelvaro"));
  EXPECT_EQ(frm_->size(), QSize(889, 491));
  EXPECT_EQ(frm_->Edit1->text(), QStringLiteral("0"));
  EXPECT_EQ(frm_->Memo1->lineWrapMode(), QPlainTextEdit::WidgetWidth);
  EXPECT_EQ(frm_->barProgress->minimum(), 0);
  EXPECT_EQ(frm_->barProgress->maximum(), 100);
  ASSERT_EQ(frm_->gRes->Model().RowCount(), 2);
  EXPECT_FALSE(frm_->CheckBox1->isVisible());
  EXPECT_FALSE(frm_->CheckBox1->isChecked());
  // The cost line follows the typing.
  Type({"red shoes", "blue hats"});
  // Worked out once typing pauses, away from the GUI thread.
  EXPECT_TRUE(WaitUntil([&] { return frm_->lblCost->text() == QStringLiteral("2 phrases: 6 queries"); }))
      << frm_->lblCost->text().toStdString();
  QTest::mouseMove(frm_->bSave);
  ASSERT_TRUE(WaitUntil([&] { return !frm_->barStatus->currentMessage().isEmpty(); }));
  EXPECT_EQ(frm_->barStatus->currentMessage(), frm_->bSave->statusTip());
}

// The columns each window defines are the ones its grid shows: the one place their titles
// and widths are checked.
TEST_F(MainFormTest, BothWindowsShowTheirColumns) {
  TfrmDeepAnalysis deep(services_, frm_.get());
  const struct {
    GridCreationValues defined;
    TResultGrid* grid;
    std::vector<std::string> titles;
    std::vector<int> widths;
  } windows[] = {
      {MainForm::KeywordGridColumns(),
       frm_->gRes,
       {"", "Keyword", "Quotes", "Allintitle", "Allinurl"},
       {20, 229, 100, 100, 100}},
      {DeepAnalysisForm::TopResultsGridColumns(),
       deep.gRes,
       {"", "Page Title", "URL", "Backlinks"},
       {20, 160, 160, 65}},
  };
  for (const auto& w : windows) {
    EXPECT_EQ(w.defined.column_headers, w.titles);
    EXPECT_EQ(w.defined.col_widths, w.widths);
    ASSERT_EQ(w.grid->Model().ColCount(), static_cast<int>(w.titles.size()));
    ASSERT_EQ(w.grid->Model().RowCount(), 2);
    for (int col = 0; col < w.grid->Model().ColCount(); ++col) {
      EXPECT_EQ(w.grid->Model().Cells(col, 0), w.titles[col]);
      EXPECT_EQ(w.grid->Model().ColWidths(col), w.widths[col]);
    }
  }
}

// Tab moves on from the memo (no tab character gets into a phrase) and from the grid,
// Shift+Tab back; the arrow keys still move between the grid's cells.
TEST_F(MainFormTest, TabMovesBetweenControls) {
  frm_->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(frm_.get()));
  frm_->Memo1->setFocus();
  QTest::keyClicks(frm_->Memo1, QStringLiteral("red"));
  QTest::keyClick(frm_->Memo1, Qt::Key_Tab);
  EXPECT_EQ(frm_->Memo1->toPlainText(), QStringLiteral("red"));
  EXPECT_EQ(QApplication::focusWidget(), frm_->bStart);
  QTest::keyClick(frm_->bStart, Qt::Key_Backtab);
  EXPECT_EQ(QApplication::focusWidget(), frm_->Memo1);

  PutRow(1, "a", "1", "1", "1");
  PutRow(2, "b", "1", "1", "1");
  frm_->gRes->setFocus();
  frm_->gRes->setCurrentIndex(frm_->gRes->model()->index(0, 1));
  QTest::keyClick(frm_->gRes, Qt::Key_Down);
  EXPECT_EQ(frm_->gRes->currentIndex(), frm_->gRes->model()->index(1, 1));
  QTest::keyClick(frm_->gRes, Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), frm_->bSave);
  QTest::keyClick(frm_->bSave, Qt::Key_Backtab);
  EXPECT_EQ(QApplication::focusWidget(), frm_->gRes);
  EXPECT_EQ(frm_->gRes->currentIndex(), frm_->gRes->model()->index(1, 1));
}

// The colour rule at its thresholds, through the handler the grid asks when painting.
TEST_F(MainFormTest, CountCellsAreColouredByTheirThresholds) {
  struct Case {
    int col;
    std::string text;
    uint32_t colour;
  };
  const uint32_t base = Rgb(frm_->gRes->palette().color(QPalette::Base));
  const Case cases[] = {
      {2, Link("u1", "612345"), 0xFF3C3C},  // red in Quotes
      {3, Link("u2", "9999"), 0x00FF00},    // green in Allintitle
      {4, Link("u3", "10000"), 0xFFFF00},   // yellow in Allinurl
      {2, Link("u", "612 345"), 0xFF3C3C},  // the space is not part of the number
      {2, Link("u", "199999"), 0x00FF00},
      {2, Link("u", "200000"), 0xFFFF00},
      {2, Link("u", "599999"), 0xFFFF00},
      {2, "600000", 0xFF3C3C},  // a plain count is read the same way
      {3, Link("u", "49999"), 0xFFFF00},
      {4, Link("u", "50000"), 0xFF3C3C},
      {3, Link("u", "about"), 0x00FF00},  // no digits reads as -1: green
      {4, "   ", base},                   // blank: left alone
      {1, "612345", base},                // only the three count columns
  };
  for (const Case& c : cases) {
    frm_->gRes->Model().SetCells(c.col, 1, c.text);
    EXPECT_EQ(Background(c.col, 1), c.colour) << c.col << " " << c.text;
  }
  frm_->gRes->Model().SetCells(2, 0, "612345");
  EXPECT_NE(Background(2, 0), 0xFF3C3Cu);  // never the header
}

TEST_F(MainFormTest, StartWithOnlySpacesAsksForPhrasesAndStartsNothing) {
  frm_->Memo1->setPlainText(QStringLiteral("   \n\n  \n"));
  SeenBox box;
  AnswerNextBox(&box, QStringLiteral("OK"));
  frm_->bStart->click();
  ASSERT_TRUE(box.seen);
  EXPECT_EQ(box.title, QStringLiteral("Information"));
  EXPECT_EQ(box.text,
            QStringLiteral("Please type in some keyword phrases before search (one per line)."));
  EXPECT_EQ(frm_->AnalyzeThread(), nullptr);
  EXPECT_FALSE(frm_->IsSearching(false));
  EXPECT_FALSE(frm_->Memo1->isReadOnly());
}

// The delay edit's text reaches the worker as its pause between searches.
TEST_F(MainFormTest, DelayTextSetsThePauseBetweenQueries) {
  downloads_.Close();
  frm_->Memo1->setPlainText(QStringLiteral("red shoes"));
  frm_->Edit1->setText(QStringLiteral(" 2"));
  frm_->bStart->click();
  ASSERT_NE(frm_->AnalyzeThread(), nullptr);
  EXPECT_EQ(frm_->AnalyzeThread()->worker().SearchDelayMs(), 2000);
}

TEST_F(MainFormTest, ClearCheckedAnsweredNoStillRenumbersAndYesRemovesTickedRows) {
  PutRow(1, "a", "1", "1", "1");
  PutRow(2, "b", "2", "2", "2", /*ticked=*/false);
  PutRow(3, "c", "3", "3", "3");

  SeenBox no;
  AnswerNextBox(&no, QStringLiteral("&No"));
  frm_->bClearAll->click();
  ASSERT_TRUE(no.seen);
  EXPECT_EQ(no.title, QStringLiteral("Confirm"));
  EXPECT_EQ(no.text, QStringLiteral("Delete checked row(s)?"));
  ASSERT_EQ(frm_->gRes->Model().RowCount(), 4);
  for (int row = 1; row <= 3; ++row) {
    EXPECT_EQ(frm_->gRes->Model().Cells(0, row), std::to_string(row));
    EXPECT_EQ(frm_->gRes->Model().Cells(1, row), std::string(1, static_cast<char>('a' + row - 1)));
  }
  EXPECT_EQ(frm_->gRes->Model().UpdateCount(), 0);

  SeenBox yes;
  AnswerNextBox(&yes, QStringLiteral("&Yes"));
  frm_->bClearAll->click();
  ASSERT_EQ(frm_->gRes->Model().RowCount(), 2);
  EXPECT_EQ(frm_->gRes->Model().Cells(1, 1), "b");
  EXPECT_EQ(frm_->gRes->Model().Cells(0, 1), "1");

  // Every row ticked: a header and one empty row are left, nothing numbered, no box.
  frm_->gRes->Model().ToggleCheck(0, 1);
  AnswerNextBox(&yes, QStringLiteral("&Yes"));
  frm_->bClearAll->click();
  ASSERT_EQ(frm_->gRes->Model().RowCount(), 2);
  for (int col = 0; col < frm_->gRes->Model().ColCount(); ++col) {
    EXPECT_EQ(frm_->gRes->Model().Cells(col, 1), "") << "column " << col;
  }
  EXPECT_FALSE(frm_->gRes->Model().HasCheckBox(0, 1));
  EXPECT_EQ(frm_->gRes->Model().UpdateCount(), 0);
}

TEST_F(MainFormTest, SaveProjectThenOpenProjectGivesTheSameRowsTicked) {
  // A comma in the first phrase must not change how the file is read back.
  const std::vector<std::string> phrases = {"salt, pepper", "red shoes", "a \"quoted\" one"};
  for (size_t i = 0; i < phrases.size(); ++i) {
    const std::string& p = phrases[i];
    PutRow(static_cast<int>(i) + 1, p, Link(Url(QueryKind::Phrase, p), "150000"),
           Link(Url(QueryKind::Title, p), "20000"), Link(Url(QueryKind::URL, p), "60000"));
  }
  std::vector<std::vector<std::string>> before;
  for (int row = 1; row <= 3; ++row) {
    before.push_back({});
    for (int col = 1; col <= 4; ++col) before.back().push_back(frm_->gRes->Model().Cells(col, row));
  }
  const std::string project = temp_.File("keywords.csv");
  next_file_ = QString::fromStdString(project);
  frm_->bSave->click();
  ASSERT_EQ(dialogs_.size(), 1u);
  EXPECT_EQ(dialogs_[0], frm_->dlgS);
  EXPECT_EQ(frm_->dlgS->acceptMode(), QFileDialog::AcceptSave);
  EXPECT_EQ(frm_->dlgS->defaultSuffix(), QStringLiteral("csv"));
  const std::string bytes = testing::ReadBytes(project);
  EXPECT_EQ(bytes.rfind("\"\",Keyword,Quotes,Allintitle,Allinurl\r\nY,\"salt, pepper\",", 0), 0u)
      << bytes;

  SeenBox clear;
  AnswerNextBox(&clear, QStringLiteral("&Yes"));
  frm_->Memo1->setPlainText(QStringLiteral("kept until Clear All"));
  frm_->bClear->click();
  EXPECT_EQ(clear.text, QStringLiteral("Clear all rows?"));
  ASSERT_EQ(frm_->gRes->Model().RowCount(), 2);
  EXPECT_TRUE(frm_->Memo1->toPlainText().isEmpty());
  frm_->Memo1->setPlainText(QStringLiteral("untouched by Open Project"));

  frm_->bOpen->click();
  ASSERT_EQ(dialogs_.size(), 2u);
  EXPECT_EQ(dialogs_[1], frm_->dlgO);
  EXPECT_EQ(frm_->dlgO->acceptMode(), QFileDialog::AcceptOpen);
  ASSERT_EQ(frm_->gRes->Model().RowCount(), 4);
  for (int row = 1; row <= 3; ++row) {
    SCOPED_TRACE(row);
    EXPECT_EQ(frm_->gRes->Model().Cells(0, row), "Y");
    EXPECT_TRUE(frm_->gRes->Model().HasCheckBox(0, row));
    EXPECT_TRUE(frm_->gRes->Model().IsChecked(0, row));
    for (int col = 1; col <= 4; ++col) {
      EXPECT_EQ(frm_->gRes->Model().Cells(col, row), before[row - 1][col - 1]);
    }
  }
  EXPECT_EQ(frm_->Memo1->toPlainText(), QStringLiteral("untouched by Open Project"));
  EXPECT_EQ(frm_->gRes->Model().Cells(1, 0), "Keyword");

  // A project saved after Clear Checked: the row numbers come back as texts, and the rows
  // with a phrase get their ticked boxes.
  frm_->gRes->Model().SetCells(1, 2, "");
  SeenBox keep;
  AnswerNextBox(&keep, QStringLiteral("&No"));
  frm_->bClearAll->click();
  SeenBox overwrite;
  AnswerNextBox(&overwrite, QStringLiteral("&Yes"));
  frm_->bSave->click();
  ASSERT_TRUE(overwrite.seen);
  frm_->gRes->Model().SetRowCount(2);
  frm_->gRes->Model().RemoveCheckBox(0, 1);
  frm_->bOpen->click();
  ASSERT_EQ(frm_->gRes->Model().RowCount(), 4);
  for (int row = 1; row <= 3; ++row) {
    SCOPED_TRACE(row);
    EXPECT_EQ(frm_->gRes->Model().Cells(0, row), std::to_string(row));
    if (row != 2) {
      EXPECT_TRUE(frm_->gRes->Model().IsChecked(0, row));
    }
  }
}

// Sorting by Allintitle and tick all in the window; Save Project and Clear Checked then work
// on the sorted rows.
TEST_F(MainFormTest, HeaderClicksSortAndTickAllThenSaveAndClearCheckedFollowTheOrder) {
  PutRow(1, "b", "1", "300", "1");
  PutRow(2, "a", "1", "20", "1", /*ticked=*/false);
  PutRow(3, "c", "1", "1", "1");
  ClickHeader(3);
  ResultGridModel& grid = frm_->gRes->Model();
  EXPECT_EQ(grid.Cells(1, 1) + grid.Cells(1, 2) + grid.Cells(1, 3), "cab");
  EXPECT_FALSE(grid.IsChecked(0, 2));
  ClickHeader(0);
  EXPECT_TRUE(grid.IsChecked(0, 1) && grid.IsChecked(0, 2) && grid.IsChecked(0, 3));

  const std::string project = temp_.File("sorted.csv");
  next_file_ = QString::fromStdString(project);
  frm_->bSave->click();
  EXPECT_EQ(
      testing::ReadBytes(project),
      "\"\",Keyword,Quotes,Allintitle,Allinurl\r\nY,c,1,1,1\r\nY,a,1,20,1\r\nY,b,1,300,1\r\n");
  SeenBox no;
  AnswerNextBox(&no, QStringLiteral("&No"));
  frm_->bClearAll->click();
  EXPECT_EQ(grid.Cells(0, 1) + grid.Cells(1, 1) + grid.Cells(0, 3) + grid.Cells(1, 3), "1c3b");
}

TEST_F(MainFormTest, OpenProjectOfAMissingFileShowsTheErrorBox) {
  next_file_ = QString::fromStdString(temp_.File("gone.csv"));
  SeenBox box;
  AnswerNextBox(&box, QStringLiteral("OK"));
  frm_->bOpen->click();
  ASSERT_TRUE(box.seen);
  EXPECT_EQ(box.title, QStringLiteral("Kelvaro"));
  EXPECT_TRUE(box.text.startsWith(
      QString::fromStdString("Cannot open file \"" + FullPath(temp_.File("gone.csv")) + "\". ")))
      << box.text.toStdString();
  EXPECT_TRUE(box.text.endsWith('.'));
}

// The documented exports: a CSV export without the check column and markup; an HTML
// export whose links open in a new browser window.
TEST_F(MainFormTest, ExportsWriteTheDocumentedBytes) {
  PutRow(1, "red shoes", Link("u1", "12345"), Link("u2", "678"), Link("u3", "90"));
  const std::string csv = temp_.File("export.csv");
  next_file_ = QString::fromStdString(csv);
  frm_->bExport->click();
  ASSERT_EQ(dialogs_.size(), 1u);
  EXPECT_EQ(dialogs_[0], frm_->dlgS);
  EXPECT_EQ(testing::ReadBytes(csv),
            "Keyword,Quotes,Allintitle,Allinurl\r\n"
            "red shoes,12345,678,90\r\n");

  // Column 0 is cut whatever it holds: row numbers from 10 up, the empty row of Clear All.
  for (int row = 2; row <= 11; ++row) {
    std::string phrase = "k";
    phrase += std::to_string(row);
    PutRow(row, phrase, "1", "2", "3", false);
  }
  SeenBox keep;
  AnswerNextBox(&keep, QStringLiteral("&No"));
  frm_->bClearAll->click();  // renumbers 1 .. 11
  ASSERT_EQ(frm_->gRes->Model().Cells(0, 11), "11");
  const std::string numbered = temp_.File("numbered.csv");
  next_file_ = QString::fromStdString(numbered);
  frm_->bExport->click();
  const auto lines = MainForm::SplitTextLines(testing::ReadBytes(numbered));
  ASSERT_EQ(lines.size(), 12u);
  EXPECT_EQ(lines[10], "k10,1,2,3");
  EXPECT_EQ(lines[11], "k11,1,2,3");

  SeenBox clear;
  AnswerNextBox(&clear, QStringLiteral("&Yes"));
  frm_->bClear->click();
  const std::string empty = temp_.File("empty.csv");
  next_file_ = QString::fromStdString(empty);
  frm_->bExport->click();
  EXPECT_EQ(testing::ReadBytes(empty),
            "Keyword,Quotes,Allintitle,Allinurl\r\n"
            "\"\",\"\",\"\",\"\"\r\n");

  // The HTML example, with the system colours it takes.
  QPalette colours = frm_->gRes->palette();
  colours.setColor(QPalette::Button, QColor(0xF0, 0xF0, 0xF0));
  colours.setColor(QPalette::Base, Qt::white);
  colours.setColor(QPalette::Text, Qt::black);
  frm_->gRes->setPalette(colours);
  PutRow(1, "red shoes", Link("u1", "150000"), Link("u2", "20000"), Link("u3", "60000"));
  PutRow(2, "blue hats", Link("u4", "700000"), Link("u5", "5000"), Link("u6", "12000"), false);
  const std::string html = temp_.File("export.html");
  next_file_ = QString::fromStdString(html);
  frm_->Button3->click();
  EXPECT_EQ(dialogs_.back(), frm_->dlgS2);
  EXPECT_EQ(frm_->dlgS2->defaultSuffix(), QStringLiteral("html"));
  // The whole document line by line, after the links were set to open a new window.
  const char* const html_lines[] = {
      "<style>",
      ".c0 {background-color: #F0F0F0;color: #000000;font-size:8pt;font-family: "
      "Tahoma;vertical-align: top}",
      ".c1 {background-color: #FFFFFF;color: #000000;font-size:8pt;font-family: "
      "Tahoma;vertical-align: top}",
      ".c2 {background-color: #00FF00;color: #000000;font-size:8pt;font-family: "
      "Tahoma;vertical-align: top}",
      ".c3 {background-color: #FFFF00;color: #000000;font-size:8pt;font-family: "
      "Tahoma;vertical-align: top}",
      ".c4 {background-color: #FF3C3C;color: #000000;font-size:8pt;font-family: "
      "Tahoma;vertical-align: top}",
      "</style>",
      "<table border=\"1\" cellspacing=\"0\" cellpadding=\"0\"  width=\"100%\" target=\"_blank\">",
      "<tr>",
      "<td class=\"c0\" nowrap=\"nowrap\" target=\"_blank\">&nbsp;</td>",
      "<td class=\"c0\" nowrap=\"nowrap\" target=\"_blank\">Keyword</td>",
      "<td class=\"c0\" nowrap=\"nowrap\" target=\"_blank\">Quotes</td>",
      "<td class=\"c0\" nowrap=\"nowrap\" target=\"_blank\">Allintitle</td>",
      "<td class=\"c0\" nowrap=\"nowrap\" target=\"_blank\">Allinurl</td>",
      "</tr>",
      "<tr>",
      "<td class=\"c1\" nowrap=\"nowrap\" target=\"_blank\">Y</td>",
      "<td class=\"c1\" nowrap=\"nowrap\" target=\"_blank\">red shoes</td>",
      "<td class=\"c2\" nowrap=\"nowrap\" target=\"_blank\">150000</td>",
      "<td class=\"c3\" nowrap=\"nowrap\" target=\"_blank\">20000</td>",
      "<td class=\"c4\" nowrap=\"nowrap\" target=\"_blank\">60000</td>",
      "</tr>",
      "<tr>",
      "<td class=\"c1\" nowrap=\"nowrap\" target=\"_blank\">N</td>",
      "<td class=\"c1\" nowrap=\"nowrap\" target=\"_blank\">blue hats</td>",
      "<td class=\"c4\" nowrap=\"nowrap\" target=\"_blank\">700000</td>",
      "<td class=\"c2\" nowrap=\"nowrap\" target=\"_blank\">5000</td>",
      "<td class=\"c3\" nowrap=\"nowrap\" target=\"_blank\">12000</td>",
      "</tr>",
      "</table>",
      "",
  };
  std::string expected;
  for (const char* line : html_lines) expected.append(line).append("\r\n");
  EXPECT_EQ(testing::ReadBytes(html), expected);
}

// An existing file: Cancel at the overwrite question writes nothing; Yes replaces it. A
// cancelled dialog writes and shows nothing.
TEST_F(MainFormTest, OverwriteQuestionGuardsAnExistingFile) {
  PutRow(1, "red shoes", Link("u1", "1"), Link("u2", "2"), Link("u3", "3"));
  const std::string file = temp_.File("old.csv");
  for (QPushButton* button : {frm_->bSave, frm_->bExport, frm_->Button3}) {
    SCOPED_TRACE(button->text().toStdString());
    testing::WriteBytes(file, "old bytes");
    next_file_ = QString::fromStdString(file);
    QString title;
    QString text;
    QStringList captions;
    AnswerNextModal([&](QWidget* modal) {
      title = modal->windowTitle();
      text = testing::MessageBoxText(modal);
      captions = Captions(modal);
      testing::ClickButton(modal, QStringLiteral("Cancel"));
    });
    button->click();
    EXPECT_EQ(title, QStringLiteral("Confirm"));
    EXPECT_EQ(text, QString::fromLatin1(kOverwriteText));
    EXPECT_EQ(captions, (QStringList{QStringLiteral("&Yes"), QStringLiteral("Cancel")}));
    EXPECT_EQ(testing::ReadBytes(file), "old bytes");

    next_file_.clear();  // the dialog cancelled
    EXPECT_TRUE(ClickShowsNoBox(button));
    EXPECT_EQ(testing::ReadBytes(file), "old bytes");
  }
  next_file_ = QString::fromStdString(file);
  SeenBox yes;
  AnswerNextBox(&yes, QStringLiteral("&Yes"));
  frm_->bSave->click();
  EXPECT_TRUE(yes.seen);
  EXPECT_EQ(testing::ReadBytes(file).rfind("\"\",Keyword,", 0), 0u);
  // No scrap of the safe writing is left beside it.
  for (const auto& entry : std::filesystem::directory_iterator(temp_.path())) {
    EXPECT_EQ(entry.path().filename().string().find(".~"), std::string::npos) << entry.path();
  }
}

// A save that cannot be written says so in the standard error box, and an existing file
// keeps its bytes. (Tests run as root, so permissions stop nothing: a missing folder, a
// file where the folder should be, and a file-size limit stand in for an unwritable disk.)
TEST_F(MainFormTest, FailedSaveShowsTheErrorAndKeepsTheOldFile) {
  PutRow(1, "red shoes", Link("u1", "1"), Link("u2", "2"), Link("u3", "3"));
  testing::WriteBytes(temp_.File("blocker"), "a file, not a folder");
  const std::string targets[] = {temp_.File("missing") + "/p.csv",
                                 temp_.File("blocker") + "/p.csv"};
  for (QPushButton* button : {frm_->bSave, frm_->bExport, frm_->Button3}) {
    for (const std::string& target : targets) {
      SCOPED_TRACE(button->text().toStdString() + " " + target);
      next_file_ = QString::fromStdString(target);
      SeenBox box;
      AnswerNextBox(&box, QStringLiteral("OK"));
      button->click();
      ASSERT_TRUE(box.seen);
      EXPECT_EQ(box.title, QStringLiteral("Kelvaro"));
      EXPECT_TRUE(box.text.startsWith(
          QString::fromStdString("Cannot create file \"" + FullPath(target) + "\". ")))
          << box.text.toStdString();
      EXPECT_TRUE(box.text.endsWith('.'));
      EXPECT_FALSE(std::filesystem::exists(target));
    }
  }
  EXPECT_EQ(testing::ReadBytes(temp_.File("blocker")), "a file, not a folder");

  // The disk refuses the new bytes part way: the old file is kept whole, no scrap left.
  const std::string file = temp_.File("project.csv");
  const auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit limit{};
  getrlimit(RLIMIT_FSIZE, &limit);
  const rlimit saved = limit;
  for (QPushButton* button : {frm_->bSave, frm_->bExport, frm_->Button3}) {
    SCOPED_TRACE(button->text().toStdString());
    testing::WriteBytes(file, "old project bytes");
    next_file_ = QString::fromStdString(file);
    SeenBox error;
    AnswerNextModal([&](QWidget* modal) {
      testing::ClickButton(modal, QStringLiteral("&Yes"));
      AnswerNextBox(&error, QStringLiteral("OK"));
    });
    limit.rlim_cur = 8;
    setrlimit(RLIMIT_FSIZE, &limit);
    button->click();
    setrlimit(RLIMIT_FSIZE, &saved);
    ASSERT_TRUE(error.seen);
    EXPECT_EQ(error.title, QStringLiteral("Kelvaro"));
    EXPECT_EQ(error.text, QStringLiteral("Stream write error."));
    EXPECT_EQ(testing::ReadBytes(file), "old project bytes");
  }
  std::signal(SIGXFSZ, old_handler);
  for (const auto& entry : std::filesystem::directory_iterator(temp_.path())) {
    EXPECT_EQ(entry.path().filename().string().find(".~"), std::string::npos) << entry.path();
  }
}

// Export to Excel stands after Export to HTML, is refused during a run like the other file
// buttons, asks for an .xlsx file, shows a failure in the standard error box, and writes a
// workbook.
TEST_F(MainFormTest, ExportToExcelRefusedDuringARunThenWritesAWorkbook) {
  ASSERT_NE(frm_->bExportExcel, nullptr);
  EXPECT_EQ(frm_->bExportExcel->text(), QStringLiteral("Export to Excel"));
  QLayout* row = frm_->Button3->parentWidget()->layout();
  EXPECT_EQ(row->indexOf(frm_->bExportExcel), row->indexOf(frm_->Button3) + 1);

  downloads_.Close();
  Type({"red shoes"});
  frm_->bStart->click();
  ASSERT_TRUE(WaitUntil([&] { return downloads_.Waiting() == 1; }));
  SeenBox refused;
  AnswerNextBox(&refused, QStringLiteral("OK"));
  frm_->bExportExcel->click();
  ASSERT_TRUE(refused.seen);
  EXPECT_EQ(refused.title, QStringLiteral("Information"));
  EXPECT_EQ(refused.text, QString::fromLatin1(kSearchingText));
  EXPECT_TRUE(dialogs_.empty());
  downloads_.Open();
  ASSERT_TRUE(WaitUntil([&] { return !frm_->IsSearching(false); }));

  const std::string missing = temp_.File("missing") + "/keywords.xlsx";
  next_file_ = QString::fromStdString(missing);
  SeenBox error;
  AnswerNextBox(&error, QStringLiteral("OK"));
  frm_->bExportExcel->click();
  ASSERT_TRUE(error.seen);
  EXPECT_EQ(error.title, QStringLiteral("Kelvaro"));
  EXPECT_TRUE(error.text.startsWith(
      QString::fromStdString("Cannot create file \"" + FullPath(missing) + "\". ")));
  ASSERT_EQ(dialogs_.size(), 1u);
  EXPECT_EQ(dialogs_[0], frm_->dlgS3);
  EXPECT_EQ(frm_->dlgS3->nameFilters(), QStringList{QStringLiteral("Excel workbook (*.xlsx)")});
  EXPECT_EQ(frm_->dlgS3->defaultSuffix(), QStringLiteral("xlsx"));

  const std::string file = temp_.File("keywords.xlsx");
  next_file_ = QString::fromStdString(file);
  EXPECT_TRUE(ClickShowsNoBox(frm_->bExportExcel));
  EXPECT_EQ(testing::ReadBytes(file).rfind("PK\x03\x04", 0), 0u);  // a zip: the workbook
}

// While the worker runs (held in its first download): Start, Close and Deep Analysis
// get the "analyzing" notice; the file and clearing buttons the "searching" one, and no
// dialog opens.
TEST_F(MainFormTest, ButtonsAreRefusedDuringARun) {
  downloads_.Close();
  Type({"red shoes", "blue hats"});
  frm_->bStart->click();
  ASSERT_TRUE(WaitUntil([&] { return downloads_.Waiting() == 1; }));
  auto* thread = frm_->AnalyzeThread();

  for (QPushButton* button : {frm_->bStart, frm_->TBXButton2, frm_->TBXButton1}) {
    SCOPED_TRACE(button->text().toStdString());
    SeenBox box;
    AnswerNextBox(&box, QStringLiteral("OK"));
    button->click();
    ASSERT_TRUE(box.seen);
    EXPECT_EQ(box.title, QStringLiteral("Information"));
    EXPECT_EQ(box.text, QString::fromLatin1(kAnalyzingText));
  }
  SeenBox close_box;
  AnswerNextBox(&close_box, QStringLiteral("OK"));
  EXPECT_FALSE(frm_->close());
  EXPECT_EQ(close_box.text, QString::fromLatin1(kAnalyzingText));
  EXPECT_TRUE(frm_->isVisible());
  EXPECT_EQ(frm_->AnalyzeThread(), thread);

  next_file_ = QString::fromStdString(temp_.File("during.csv"));
  for (QPushButton* button :
       {frm_->bSave, frm_->bOpen, frm_->bExport, frm_->Button3, frm_->bClear, frm_->bClearAll}) {
    SCOPED_TRACE(button->text().toStdString());
    SeenBox box;
    AnswerNextBox(&box, QStringLiteral("OK"));
    button->click();
    ASSERT_TRUE(box.seen);
    EXPECT_EQ(box.title, QStringLiteral("Information"));
    EXPECT_EQ(box.text, QString::fromLatin1(kSearchingText));
  }
  EXPECT_TRUE(dialogs_.empty());
  EXPECT_FALSE(std::filesystem::exists(temp_.File("during.csv")));
  // The worker appends rows: a header click does not sort and says why.
  ClickHeader(1);
  EXPECT_EQ(frm_->gRes->SortColumn(), -1);
  EXPECT_EQ(frm_->barStatus->currentMessage(),
            QStringLiteral("Sorting is possible when the search has finished."));

  downloads_.Open();
  ASSERT_TRUE(WaitUntil([&] { return !frm_->IsSearching(false); }));
  EXPECT_EQ(frm_->gRes->Model().RowCount(), 3);
  EXPECT_EQ(frm_->gRes->Model().Cells(1, 2), "blue hats");
  EXPECT_TRUE(frm_->barStatus->currentMessage().isEmpty());
}

// Stop during the first of three keywords: that keyword is completed, then the run ends.
TEST_F(MainFormTest, StopFinishesTheKeywordUnderWay) {
  downloads_.Close();
  frm_->Memo1->setPlainText(QStringLiteral("red shoes\nblue hats\ngreen socks"));
  frm_->bStart->click();
  ASSERT_TRUE(WaitUntil([&] { return downloads_.Waiting() == 1; }));
  frm_->bStop->click();
  downloads_.Open();
  ASSERT_TRUE(WaitUntil([&] { return !frm_->IsSearching(false); }));
  EXPECT_EQ(service_.Requests().size(), 3u);
  ASSERT_EQ(frm_->gRes->Model().RowCount(), 2);
  EXPECT_EQ(
      frm_->gRes->Model().Cells(4, 1),
      Link(Url(QueryKind::URL, "red shoes"), std::to_string(searchsim::UrlCount("red shoes"))));
}

// The memo wraps a long phrase over several displayed lines; it is still one phrase.
TEST_F(MainFormTest, PhraseWiderThanTheMemoStaysOnePhrase) {
  const std::string phrase =
      "a rather long keyword phrase that the memo has to wrap over more than one line";
  frm_->Memo1->setPlainText(QString::fromStdString(phrase));
  const QTextBlock block = frm_->Memo1->document()->firstBlock();
  // The test is only worth it when the memo wraps the phrase, which it does once laid out.
  ASSERT_TRUE(WaitUntil([&] { return block.layout() && block.layout()->lineCount() > 1; }));
  RunToEnd();
  ASSERT_EQ(frm_->gRes->Model().RowCount(), 2);
  EXPECT_EQ(frm_->gRes->Model().Cells(1, 1), phrase);
  const auto requests = service_.Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0].q, phrase);
  EXPECT_EQ(requests[1].q, "allintitle: " + phrase);
  EXPECT_EQ(requests[2].q, "allinurl: " + phrase);
}

// A failing query: the question with the API's message; Yes goes on with the next
// keyword, No ends the run. On the last keyword a plain box, and the run ends.
TEST_F(MainFormTest, FailingQueryAsksWhetherToContinue) {
  const QString question = QStringLiteral(
      "Abnormal request terminatiom. Backend Error\r\n\r\nDo you wish to continue request?");
  frm_->Memo1->setPlainText(QStringLiteral("fail red\nniche shoes"));
  SeenBox yes;
  AnswerNextBox(&yes, QStringLiteral("&Yes"));
  RunToEnd();
  ASSERT_TRUE(yes.seen);
  EXPECT_EQ(yes.title, QStringLiteral("Confirm"));
  EXPECT_EQ(yes.text, question);
  ASSERT_EQ(frm_->gRes->Model().RowCount(), 2);
  EXPECT_EQ(frm_->gRes->Model().Cells(1, 1), "niche shoes");
  EXPECT_EQ(service_.Requests().size(), 4u);
  EXPECT_EQ(frm_->MediaPlayer1().PlayCount(), 1);

  service_.ClearRequests();
  SeenBox no;
  AnswerNextBox(&no, QStringLiteral("&No"));
  RunToEnd();
  ASSERT_TRUE(no.seen);
  EXPECT_EQ(no.text, question);
  ASSERT_EQ(frm_->gRes->Model().RowCount(), 2);
  EXPECT_EQ(frm_->gRes->Model().Cells(1, 1), "");
  EXPECT_EQ(service_.Requests().size(), 1u);

  // The title query of the last keyword fails: its row keeps only the Quotes link.
  service_.ClearRequests();
  frm_->Memo1->setPlainText(QStringLiteral("niche shoes"));
  downloads_.Close();
  frm_->bStart->click();
  ASSERT_TRUE(WaitUntil([&] { return downloads_.Waiting() == 1; }));
  downloads_.Allow(1);
  ASSERT_TRUE(
      WaitUntil([&] { return downloads_.Waiting() == 1 && service_.Requests().size() == 1; }));
  service_.InjectFault(searchsim::Fault::Canned(
      403, "{\"error\": {\"code\": 403, \"message\": \"Daily Limit Exceeded\"}}"));
  downloads_.Open();
  SeenBox plain;
  QStringList captions;
  AnswerNextModal([&](QWidget* modal) {
    plain.seen = true;
    plain.title = modal->windowTitle();
    plain.text = testing::MessageBoxText(modal);
    captions = Captions(modal);
    testing::ClickButton(modal, QStringLiteral("OK"));
  });
  ASSERT_TRUE(WaitUntil([&] { return !frm_->IsSearching(false); }));
  service_.ClearFault();
  ASSERT_TRUE(plain.seen);
  EXPECT_EQ(plain.title, QStringLiteral("Kelvaro"));
  EXPECT_EQ(plain.text, QStringLiteral("Abnormal request terminatiom. Daily Limit Exceeded"));
  EXPECT_EQ(captions, QStringList{QStringLiteral("OK")});
  ASSERT_EQ(frm_->gRes->Model().RowCount(), 2);
  EXPECT_EQ(frm_->gRes->Model().Cells(2, 1),
            Link(Url(QueryKind::Phrase, "niche shoes"),
                 std::to_string(searchsim::PhraseCount("niche shoes"))));
  EXPECT_EQ(frm_->gRes->Model().Cells(3, 1), "");
  EXPECT_EQ(frm_->gRes->Model().Cells(4, 1), "");
}

// The worker's question leaves the window usable: Settings opens and fixes the key while
// the worker waits, Start is still refused, and Yes then goes on with the next phrase.
TEST_F(MainFormTest, WorkerBoxLeavesTheWindowUsable) {
  TfSettings settings(frm_->Credentials(), frm_.get());
  frm_->SetSettingsDialog(&settings);
  frm_->Credentials().Set({"wrong-key", kEngine});
  frm_->Memo1->setPlainText(QStringLiteral("red shoes\nniche shoes"));
  frm_->bStart->click();
  QWidget* box = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (box = testing::OpenWorkerBox()) != nullptr; }));
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

  bool settings_shown = false;
  AnswerNextModal([&](QWidget* modal) {
    auto* dialog = qobject_cast<TfSettings*>(modal);
    if (dialog == nullptr) return;
    settings_shown = true;
    dialog->leAPIKey->setText(QString::fromLatin1(kKey));
    testing::ClickButton(dialog, QStringLiteral("OK"));
  });
  QTest::mouseClick(frm_->btSettings, Qt::LeftButton);
  EXPECT_TRUE(settings_shown);
  EXPECT_EQ(frm_->Credentials().APIKey(), kKey);
  SeenBox refused;
  AnswerNextBox(&refused, QStringLiteral("OK"));
  QTest::mouseClick(frm_->bStart, Qt::LeftButton);
  EXPECT_EQ(refused.text, QString::fromLatin1(kAnalyzingText));
  EXPECT_EQ(service_.Requests().size(), 1u);  // the worker still waits for its answer

  testing::ClickButton(box, QStringLiteral("&Yes"));
  ASSERT_TRUE(WaitUntil([&] { return !frm_->IsSearching(false); }));
  EXPECT_EQ(frm_->gRes->Model().Cells(1, 1), "niche shoes");
  EXPECT_EQ(service_.Requests().size(), 4u);
}

// The window going away mid-run stops the worker at once, and nothing runs on the
// destroyed window.
TEST_F(MainFormTest, DestroyingTheWindowDuringARunStopsTheWorker) {
  frm_->Memo1->setPlainText(QStringLiteral("red shoes\nblue hats\ngreen socks\nfew hats"));
  frm_->Edit1->setText(QStringLiteral("5"));
  frm_->bStart->click();
  ASSERT_TRUE(WaitUntil([&] {
    return frm_->gRes->Model().RowCount() == 2 && !frm_->gRes->Model().Cells(1, 1).empty();
  }));
  // The worker sits in its five-second pause; the window going away wakes it, and the
  // window's end waits for the run to return.
  frm_.reset();
  QCoreApplication::processEvents();
  EXPECT_EQ(service_.Requests().size(), 1u);
}

// "Terminate program" during a run, with the worker stuck in a download: the window stops
// waiting for it after a short while, and when the download does return nothing of the
// run reaches the window any more.
TEST_F(MainFormTest, TerminateDuringARunLeavesTheWorkerNoWayBack) {
  services_.timings.shutdown_wait_ms = 0;  // the download is held: no wait would end it
  downloads_.Close();
  frm_->Memo1->setPlainText(QStringLiteral("red shoes\nblue hats"));
  frm_->bStart->click();
  ASSERT_TRUE(WaitUntil([&] { return downloads_.Waiting() == 1; }));
  auto* thread = frm_->AnalyzeThread();
  frm_->TerminateRequested = true;
  frm_->FormActivate();
  // Returned although the worker is still held in its download.
  EXPECT_EQ(downloads_.Waiting(), 1);
  EXPECT_FALSE(thread->isFinished());
  downloads_.Open();
  ASSERT_TRUE(WaitUntil([&] { return thread->isFinished(); }));
  QCoreApplication::processEvents();
  EXPECT_EQ(frm_->gRes->Model().Cells(1, 1), "");
  EXPECT_EQ(frm_->barProgress->value(), 0);
  EXPECT_EQ(service_.Requests().size(), 1u);  // the held download, and nothing after it
  EXPECT_EQ(frm_->MediaPlayer1().PlayCount(), 0);
}

// Close when idle closes the window and keeps the key and engine code in the store.
TEST_F(MainFormTest, CloseWhenIdleSavesTheSettings) {
  frm_->Credentials().Set({"another-key", "another-cx"});
  frm_->TBXButton2->click();
  EXPECT_FALSE(frm_->isVisible());
  Credentials stored;
  SettingsStore(hive_).Load(stored);
  EXPECT_EQ(stored.api_key, "another-key");
  EXPECT_EQ(stored.engine_code, "another-cx");
  // Boxes still work after the window asked the program to end.
  SeenBox box;
  AnswerNextBox(&box, QStringLiteral("OK"));
  frm_->bStart->click();
  EXPECT_TRUE(box.seen);
}

// A run in SerpApi mode against the substitute service ends with what it cost.
TEST_F(MainFormTest, SerpApiRunEndsWithTheQueriesSentAndTheSearchesLeft) {
  frm_->Credentials().Set({kKey, "", kSerpApi, ""});
  Type({"niche blue hats"});
  RunToEnd();
  EXPECT_EQ(frm_->gRes->Model().Cells(2, 1),
            Link(SearchServiceNamed(kSerpApi).QueryURL(QueryKind::Phrase, "niche blue hats",
                                                       {kKey, "", kSerpApi, service_.Endpoint()}),
                 std::to_string(searchsim::PhraseCount("niche blue hats"))));
  auto* cost = frm_->barStatus->findChild<QLabel*>(QStringLiteral("lblRunCost"));
  ASSERT_NE(cost, nullptr);
  // A hint of the control under the mouse may cover it, but only while it shows.
  frm_->barStatus->clearMessage();
  EXPECT_TRUE(cost->isVisible());
  EXPECT_EQ(cost->text(), QStringLiteral("Queries sent: 3. Searches left: 99997."));
}

// A DataForSEO run: the line beside Start gives its price, the rows come as the tasks are
// collected, and the status line ends with the cost and the balance.
TEST_F(MainFormTest, DataForSeoRunShowsItsPriceAndEndsWithTheCostAndBalance) {
  Credentials dfs;
  dfs.service = kDataForSeo;
  dfs.dfs_login = "demo-login";
  dfs.dfs_password = "demo-password";
  frm_->Credentials().Set(dfs);
  services_.timings.tasks_ready_interval_ms = 20;
  Type({"niche blue hats", "red shoes"});
  EXPECT_TRUE(WaitUntil([&] {
    return frm_->lblCost->text() == QStringLiteral("2 phrases: 6 tasks, about $0.01");
  })) << frm_->lblCost->text().toStdString();
  RunToEnd();
  ASSERT_EQ(frm_->gRes->Model().RowCount(), 3);
  EXPECT_EQ(frm_->gRes->Model().Cells(1, 2), "red shoes");
  EXPECT_EQ(frm_->gRes->Model().Cells(4, 2),
            Link(SearchServiceNamed(kDataForSeo)
                     .QueryURL(QueryKind::URL, "red shoes", {"", "", kDataForSeo, service_.Endpoint()}),
                 std::to_string(searchsim::UrlCount("red shoes"))));
  auto* cost = frm_->barStatus->findChild<QLabel*>(QStringLiteral("lblRunCost"));
  ASSERT_NE(cost, nullptr);
  EXPECT_EQ(cost->text(), QStringLiteral("Queries sent: 6. Cost: $0.0132. Balance: $49.99."));
  services_.timings.tasks_ready_interval_ms = 3000;
}

// With four searches at once the rows still come in the order of the lines, each with the
// counts and links a one-at-a-time run gives them.
TEST_F(MainFormTest, FourSearchesAtOnceFillTheRowsInTheOrderOfTheLines) {
  services_.searches_at_once = 4;
  const std::vector<std::string> phrases = {"red shoes", "blue hats", "green socks", "teal boots"};
  service_.HoldFirstAnswers(4);
  service_.SetAnswerDelay(std::chrono::milliseconds(50), phrases[0]);
  Type(phrases);
  RunToEnd();
  EXPECT_EQ(service_.MostInFlight(), 4);
  ASSERT_EQ(frm_->gRes->Model().RowCount(), 5);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(frm_->gRes->Model().Cells(1, i + 1), phrases[i]);
    EXPECT_EQ(frm_->gRes->Model().Cells(4, i + 1),
              Link(Url(QueryKind::URL, phrases[i]), std::to_string(searchsim::UrlCount(phrases[i]))));
  }
  services_.searches_at_once = 1;
}

// With the answer store and reuse on, a second run over the same phrase sends nothing; the
// line before Start, the status line and the cells' hints tell what came from the store.
TEST_F(MainFormTest, ASecondRunTakesItsAnswersFromTheStore) {
  AnswerStore answers(temp_.File("answers.sqlite"));
  services_.answers = &answers;
  services_.reuse_days = 30;
  Type({"niche blue hats"});
  RunToEnd();
  const std::string first = frm_->gRes->Model().Cells(2, 1);
  // Worked out once typing pauses, away from the GUI thread.
  EXPECT_TRUE(WaitUntil([&] { return frm_->lblCost->text() == QStringLiteral("1 phrase: 0 queries, 3 stored"); }))
      << frm_->lblCost->text().toStdString();
  EXPECT_EQ(frm_->gRes->Model().CellHint(2, 1), "");

  service_.ClearRequests();
  RunToEnd();
  EXPECT_TRUE(service_.Requests().empty());
  EXPECT_EQ(frm_->gRes->Model().Cells(2, 1), first);
  EXPECT_EQ(frm_->gRes->Model().CellHint(4, 1).rfind("Stored answer from ", 0), 0u);
  auto* cost = frm_->barStatus->findChild<QLabel*>(QStringLiteral("lblRunCost"));
  ASSERT_NE(cost, nullptr);
  EXPECT_EQ(cost->text(), QStringLiteral("Queries sent: 0. Stored answers used: 3."));
  services_.answers = nullptr;
}

// The window loads the service and endpoint with the key pair and saves all four at close;
// an unknown service is reported and kept for the settings dialog to put right.
TEST_F(MainFormTest, StoreKeepsTheSearchServiceAndEndpoint) {
  frm_.reset();
  SettingsStore(hive_).SaveSearchSettings({"serp-key", "", kSerpApi, "http://proxy.test:81"});
  frm_ = MakeWindow(downloads_, false);
  const Credentials loaded = frm_->Credentials().Get();
  EXPECT_EQ(loaded.service, kSerpApi);
  EXPECT_EQ(loaded.endpoint, "http://proxy.test:81");
  frm_->Credentials().Set({"key-2", "cx-2", kGoogleCustomSearch, ""});
  frm_->show();
  frm_->TBXButton2->click();
  Credentials stored;
  SettingsStore(hive_).LoadSearchSettings(stored);
  EXPECT_EQ(stored.api_key, "key-2");
  EXPECT_EQ(stored.engine_code, "cx-2");
  EXPECT_EQ(stored.service, kGoogleCustomSearch);
  EXPECT_EQ(stored.endpoint, "");

  frm_.reset();
  SettingsStore(hive_).SaveSearchSettings({"serp-key", "", "Bing", ""});
  SeenBox box;
  AnswerNextBox(&box, QStringLiteral("OK"));
  frm_ = MakeWindow(downloads_, false);
  ASSERT_TRUE(box.seen);
  EXPECT_EQ(box.text, QStringLiteral("Unknown search service \"Bing\"."));
  EXPECT_EQ(frm_->Credentials().Get().service, "Bing");
  EXPECT_EQ(frm_->Credentials().APIKey(), "serp-key");
}

}  // namespace
}  // namespace kelvaro
