// The whole program, driven on a real X server as a person would: phrases typed into the
// memo, buttons clicked, file names put into the real file dialogs, questions answered
// with the mouse. What is checked is what the person gets: the grid, the colours on the
// screen and the files on disk.
#include <gtest/gtest.h>

#include <QColor>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <cmath>
#include <string>
#include <vector>

#include "grid/GridCsv.h"
#include "grid/view/TResultGrid.h"
#include "tests/e2e/DemoSession.h"
#include "tools/SearchAnswers.h"
#include "web/CustomSearch.h"
#include "web/SearchService.h"

namespace kelvaro::e2e {
namespace {

using searchsim::PhraseCount;
using searchsim::TitleCount;
using searchsim::UrlCount;

const QColor kGreen(0, 255, 0);
const QColor kYellow(255, 255, 0);
const QColor kRed(255, 60, 60);

class EndToEnd : public ::testing::Test {
 protected:
  // The count link the program puts into the grid for one query of `phrase`.
  std::string Link(QueryKind kind, const std::string& phrase) const {
    const int64_t count = kind == QueryKind::Phrase  ? PhraseCount(phrase)
                          : kind == QueryKind::Title ? TitleCount(phrase)
                                                     : UrlCount(phrase);
    return "<a href=\"" + Url(kind, phrase) + "\">" + std::to_string(count) + "</a>";
  }
  // The query a count link holds: the request's URL up to its key.
  std::string Url(QueryKind kind, const std::string& text) const {
    const std::string asked = BuildQueryURL(kind, text, "demo-key", "demo-cx", endpoint);
    return asked.substr(0, asked.find("&key=demo-key"));
  }

  // Types the phrases into the keyword memo, presses Start and waits for the run's end.
  void RunKeywords(const QString& phrases) {
    TypeReplacing(frm.Memo1, phrases);
    ASSERT_EQ(frm.Memo1->toPlainText(), phrases);
    PressStartAndWait();
  }
  void PressStartAndWait() {
    Click(frm.bStart);
    EXPECT_TRUE(frm.Memo1->isReadOnly()) << "the memo is not locked during the run";
    ASSERT_TRUE(WaitForRunEnd(frm));
    EXPECT_FALSE(frm.Memo1->isReadOnly());
    EXPECT_EQ(frm.barProgress->value(), 0);
  }

  // Answers the next file dialog `name` with `path` (put in, then Save or Open).
  std::shared_ptr<ModalWatch> AnswerFileDialog(const QString& name, const QString& path) {
    return ModalWatch::Arm(QStringLiteral("the file dialog ") + name, IsFileDialog(name),
                           [path](QWidget* dialog) { EnterFileName(dialog, path); });
  }
  // Answers the next message box titled `title` with the button `caption`.
  std::shared_ptr<ModalWatch> AnswerBox(const QString& title, const QString& caption) {
    return ModalWatch::Arm(QStringLiteral("a box \"") + title + "\"", IsMessageBox(title),
                           [caption](QWidget* box) { ClickButtonOf(box, caption); });
  }

  // The grid's data rows, columns 1-4.
  std::vector<std::vector<std::string>> Rows() {
    std::vector<std::vector<std::string>> rows;
    ResultGridModel& grid = frm.gRes->Model();
    for (int row = 1; row < grid.RowCount(); ++row) {
      rows.push_back(
          {grid.Cells(1, row), grid.Cells(2, row), grid.Cells(3, row), grid.Cells(4, row)});
    }
    return rows;
  }
  std::vector<std::string> ExpectedRow(const std::string& phrase) const {
    return {phrase, Link(QueryKind::Phrase, phrase), Link(QueryKind::Title, phrase),
            Link(QueryKind::URL, phrase)};
  }

  DemoSession session;
  Tfrm& frm = session.frm();
  const std::string endpoint = session.service().Endpoint();
};

std::string CsvLine(const std::vector<std::string>& fields) {
  std::string line;
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) line += ',';
    AppendCSVField(line, fields[i]);
  }
  return line;
}

const std::string kNiche = "niche trail running shoes";
const std::string kCommon = "common garden tools";
const std::string kPopular = "popular phone cases";
const std::string kFew = "few results here";

TEST_F(EndToEnd, KeywordRunThenProjectsAndExportsThroughTheFileDialogs) {
  EXPECT_EQ(frm.windowTitle(), QStringLiteral("Kelvaro (offline demo)"));
  RunKeywords(QString::fromStdString(kNiche + "\n" + kCommon + "\n" + kPopular));

  // One ticked row per phrase, each count a link to its query, coloured on screen by
  // its band.
  const std::vector<std::vector<std::string>> expected = {ExpectedRow(kNiche), ExpectedRow(kCommon),
                                                          ExpectedRow(kPopular)};
  ASSERT_EQ(Rows(), expected);
  const QColor bands[] = {kGreen, kYellow, kRed};
  for (int row = 1; row <= 3; ++row) {
    EXPECT_TRUE(frm.gRes->Model().IsChecked(0, row)) << "row " << row;
    for (int col = 2; col <= 4; ++col) {
      EXPECT_EQ(ShownCellColor(*frm.gRes, col, row).name().toStdString(),
                bands[row - 1].name().toStdString())
          << "cell " << col << "," << row;
    }
  }

  // Save Project into a new file.
  const QString project = session.File("project.csv");
  auto dialog = AnswerFileDialog(QStringLiteral("dlgS"), project);
  Click(frm.bSave);
  ASSERT_TRUE(dialog->Handled());
  const QStringList project_lines = FileLines(project);
  ASSERT_EQ(project_lines.size(), 4);
  EXPECT_EQ(project_lines[0].toStdString(), "\"\",Keyword,Quotes,Allintitle,Allinurl");
  for (int row = 1; row <= 3; ++row) {
    std::vector<std::string> fields = expected[row - 1];
    fields.insert(fields.begin(), "Y");
    EXPECT_EQ(project_lines[row].toStdString(), CsvLine(fields));
  }
  const QString project_text = FileText(project);

  // Export to CSV: the counts without their links and without the check column.
  const QString csv = session.File("export.csv");
  dialog = AnswerFileDialog(QStringLiteral("dlgS"), csv);
  Click(frm.bExport);
  ASSERT_TRUE(dialog->Handled());
  const QStringList csv_lines = FileLines(csv);
  ASSERT_EQ(csv_lines.size(), 4);
  EXPECT_EQ(csv_lines[0], QStringLiteral("Keyword,Quotes,Allintitle,Allinurl"));
  for (int row = 1; row <= 3; ++row) {
    const std::string& phrase = expected[row - 1][0];
    EXPECT_EQ(csv_lines[row].toStdString(),
              CsvLine({phrase, std::to_string(PhraseCount(phrase)),
                       std::to_string(TitleCount(phrase)), std::to_string(UrlCount(phrase))}));
  }

  // Export to HTML: every count link opens the public results page in a new browser
  // window, never the key's query; the three bands are cell backgrounds.
  const QString html = session.File("export.html");
  dialog = AnswerFileDialog(QStringLiteral("dlgS2"), html);
  Click(frm.Button3);
  ASSERT_TRUE(dialog->Handled());
  const std::string document = FileText(html).toStdString();
  for (const auto& row : expected) {
    for (const QueryKind kind : {QueryKind::Phrase, QueryKind::Title, QueryKind::URL}) {
      const std::string link =
          "<a href=\"" + PublicResultsURL(Url(kind, row[0])) + "\" target=\"_blank\">";
      EXPECT_NE(document.find(link), std::string::npos) << link;
    }
  }
  EXPECT_EQ(document.find("demo-key"), std::string::npos);
  for (const char* color : {"#00FF00", "#FFFF00", "#FF3C3C"}) {
    EXPECT_NE(document.find(std::string("{background-color: ") + color), std::string::npos)
        << color;
  }

  // Clear All, answered Yes: the grid and the memo are empty.
  auto question = AnswerBox(QStringLiteral("Confirm"), QStringLiteral("&Yes"));
  Click(frm.bClear);
  ASSERT_TRUE(question->Handled());
  EXPECT_EQ(question->text, QStringLiteral("Clear all rows?"));
  EXPECT_EQ(frm.gRes->Model().RowCount(), 2);
  EXPECT_EQ(frm.gRes->Model().Cells(1, 1), "");
  EXPECT_TRUE(frm.Memo1->toPlainText().isEmpty());

  // Open Project brings the rows back, ticked, with "Y" kept in the check column.
  dialog = AnswerFileDialog(QStringLiteral("dlgO"), project);
  Click(frm.bOpen);
  ASSERT_TRUE(dialog->Handled());
  EXPECT_EQ(Rows(), expected);
  for (int row = 1; row <= 3; ++row) {
    EXPECT_TRUE(frm.gRes->Model().IsChecked(0, row)) << "row " << row;
    EXPECT_EQ(frm.gRes->Model().Cells(0, row), "Y");
    EXPECT_EQ(ShownCellColor(*frm.gRes, 2, row).name(), bands[row - 1].name()) << row;
  }

  // Saving over an existing file asks first: Cancel leaves it alone, Yes replaces it.
  ASSERT_TRUE(QFile::remove(project));
  {
    QFile old(project);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old\r\n");
  }
  dialog = AnswerFileDialog(QStringLiteral("dlgS"), project);
  question = AnswerBox(QStringLiteral("Confirm"), QStringLiteral("Cancel"));
  Click(frm.bSave);
  ASSERT_TRUE(dialog->Handled());
  ASSERT_TRUE(question->Handled());
  EXPECT_EQ(question->text,
            QStringLiteral("The file you specified exists. Do you want to overwrite it?"));
  EXPECT_EQ(FileText(project), QStringLiteral("old\r\n"));

  dialog = AnswerFileDialog(QStringLiteral("dlgS"), project);
  question = AnswerBox(QStringLiteral("Confirm"), QStringLiteral("&Yes"));
  Click(frm.bSave);
  ASSERT_TRUE(dialog->Handled());
  ASSERT_TRUE(question->Handled());
  EXPECT_EQ(FileText(project), project_text);
}

// "#,###": thousands separated by commas, no decimals, 0 as the empty text.
std::string GroupedThousands(int64_t value) {
  if (value == 0) return std::string();
  std::string digits = std::to_string(value);
  for (int i = static_cast<int>(digits.size()) - 3; i > 0; i -= 3) digits.insert(i, ",");
  return digits;
}

// Checks the 13 rows the deep analysis writes for `phrase` from grid row `first`.
void ExpectDeepRows(const ResultGridModel& grid, int first, const std::string& phrase) {
  SCOPED_TRACE(phrase);
  EXPECT_EQ(grid.Cells(1, first), "<b>" + phrase + "</b>");
  EXPECT_EQ(grid.Cells(2, first), "<b>" + std::to_string(PhraseCount(phrase)) + "</b>");
  int64_t sum = 0;
  int counted = 0;
  for (int n = 1; n <= 10; ++n) {
    const int row = first + n;
    EXPECT_EQ(grid.Cells(0, row), std::to_string(n));
    EXPECT_FALSE(grid.Cells(1, row).empty()) << "title of row " << row;
    const std::string& url = grid.Cells(2, row);
    EXPECT_EQ(url.rfind("https://", 0), 0u) << url;
    // The second pass asked the backlinks of exactly the URL shown.
    const int64_t backlinks = searchsim::BacklinkCount(url);
    EXPECT_EQ(grid.Cells(3, row), std::to_string(backlinks)) << url;
    sum += backlinks;
    ++counted;
  }
  EXPECT_EQ(grid.Cells(2, first + 11), "<b>Averages:</b>");
  const double mean = static_cast<double>(sum) / counted;
  const int64_t rounded = static_cast<int64_t>(std::nearbyint(mean));  // halves to even
  EXPECT_EQ(grid.Cells(3, first + 11), "<b>" + GroupedThousands(rounded) + "</b>");
  for (int col = 0; col <= 3; ++col) EXPECT_EQ(grid.Cells(col, first + 12), "") << col;
}

TEST_F(EndToEnd, DeepAnalysisOfTwoTickedPhrasesThenClearCheckedAndClose) {
  // The demo's own phrases, as a new user would run them first.
  ASSERT_EQ(frm.Memo1->toPlainText(), QString::fromLatin1(kDemoKeywords));
  PressStartAndWait();
  ASSERT_EQ(Rows(),
            (std::vector<std::vector<std::string>>{ExpectedRow(kNiche), ExpectedRow(kCommon),
                                                   ExpectedRow(kPopular), ExpectedRow(kFew)}));

  // Untick the second and the fourth row: two phrases stay ticked.
  ClickCheckBox(*frm.gRes, 2);
  ClickCheckBox(*frm.gRes, 4);
  EXPECT_TRUE(frm.gRes->Model().IsChecked(0, 1));
  EXPECT_FALSE(frm.gRes->Model().IsChecked(0, 2));
  EXPECT_TRUE(frm.gRes->Model().IsChecked(0, 3));
  EXPECT_FALSE(frm.gRes->Model().IsChecked(0, 4));

  TfrmDeepAnalysis& deep = session.deep();
  QString memo_shown;
  int rows_at_opening = 0;
  auto window =
      ModalWatch::Arm(QStringLiteral("the Deep Analysis window"), IsWidget(&deep), [&](QWidget*) {
        memo_shown = deep.Memo1->toPlainText();
        rows_at_opening = deep.gRes->Model().RowCount();
        Click(deep.bStart);
        EXPECT_TRUE(deep.Memo1->isReadOnly());
        // Close during the run is refused with a box; the window stays.
        auto refusal = AnswerBox(QStringLiteral("Information"), QStringLiteral("OK"));
        Click(deep.TBXButton2);
        EXPECT_TRUE(refusal->Handled());
        EXPECT_EQ(refusal->text,
                  QStringLiteral("The analyzing is in progress. It must be finished first."));
        EXPECT_TRUE(deep.isVisible());
        if (!WaitForRunEnd(deep)) {
          ADD_FAILURE() << "the deep analysis did not end; stopping it";
          Click(deep.bStop);
          WaitForRunEnd(deep);
        }
        EXPECT_FALSE(deep.Memo1->isReadOnly());
        EXPECT_EQ(deep.barProgress->value(), 0);
        Click(deep.TBXButton2);
      });
  Click(frm.TBXButton1);
  ASSERT_TRUE(window->Handled());
  EXPECT_FALSE(deep.isVisible());
  EXPECT_EQ(memo_shown, QString::fromStdString(kNiche + "\n" + kPopular));
  EXPECT_EQ(rows_at_opening, 2);
  // Header, the reset's empty row, then 13 rows per phrase: the phrase, ten results, the
  // averages, a spacer.
  ASSERT_EQ(deep.gRes->Model().RowCount(), 2 + 2 * 13);
  ExpectDeepRows(deep.gRes->Model(), 2, kNiche);
  ExpectDeepRows(deep.gRes->Model(), 15, kPopular);

  // Clear Checked, answered Yes: the two ticked rows go, the others are numbered.
  auto question = AnswerBox(QStringLiteral("Confirm"), QStringLiteral("&Yes"));
  Click(frm.bClearAll);
  ASSERT_TRUE(question->Handled());
  EXPECT_EQ(question->text, QStringLiteral("Delete checked row(s)?"));
  EXPECT_EQ(Rows(),
            (std::vector<std::vector<std::string>>{ExpectedRow(kCommon), ExpectedRow(kFew)}));
  EXPECT_EQ(frm.gRes->Model().Cells(0, 1), "1");
  EXPECT_EQ(frm.gRes->Model().Cells(0, 2), "2");

  // Close writes the settings and ends the program.
  ASSERT_TRUE(QFile::remove(QString::fromStdString(session.SettingsFile())));
  Click(frm.TBXButton2);
  EXPECT_FALSE(frm.isVisible());
  const QString settings = FileText(QString::fromStdString(session.SettingsFile()));
  EXPECT_TRUE(settings.contains(QStringLiteral("\"APIkey\"=\"demo-key\"")))
      << settings.toStdString();
  EXPECT_TRUE(settings.contains(QStringLiteral("\"Engine Code\"=\"demo-cx\"")))
      << settings.toStdString();
}

TEST_F(EndToEnd, AllintitleHeaderClickPutsTheSmallestCountFirst) {
  RunKeywords(QString::fromStdString(kPopular + "\n" + kNiche + "\n" + kCommon));
  ClickHeader(*frm.gRes, 3);
  EXPECT_EQ(Rows(), (std::vector<std::vector<std::string>>{
                        ExpectedRow(kNiche), ExpectedRow(kCommon), ExpectedRow(kPopular)}));
}

const std::string kFailing = "this query will fail";
const std::string kFirst = "niche alpha";
const std::string kLast = "popular omega";
const QString kFailingRun = QString::fromStdString(kFirst + "\n" + kFailing + "\n" + kLast);

TEST_F(EndToEnd, FailingPhraseAsksAndYesGoesOn) {
  auto question = AnswerBox(QStringLiteral("Confirm"), QStringLiteral("&Yes"));
  RunKeywords(kFailingRun);
  ASSERT_TRUE(question->Handled());
  EXPECT_TRUE(
      question->text.startsWith(QStringLiteral("Abnormal request terminatiom. Backend Error")))
      << question->text.toStdString();
  EXPECT_TRUE(question->text.endsWith(QStringLiteral("\r\n\r\nDo you wish to continue request?")))
      << question->text.toStdString();
  EXPECT_EQ(Rows(),
            (std::vector<std::vector<std::string>>{ExpectedRow(kFirst), ExpectedRow(kLast)}));
}

TEST_F(EndToEnd, FailingPhraseAsksAndNoEndsTheRun) {
  auto question = AnswerBox(QStringLiteral("Confirm"), QStringLiteral("&No"));
  RunKeywords(kFailingRun);
  ASSERT_TRUE(question->Handled());
  EXPECT_EQ(Rows(), (std::vector<std::vector<std::string>>{ExpectedRow(kFirst)}));
  for (const auto& request : session.service().Requests()) {
    EXPECT_EQ(request.q.find(kLast), std::string::npos) << "asked after No: " << request.q;
  }
}

TEST_F(EndToEnd, BusyWindowRefusesFilesAndClosingAndStopEndsAfterThePhrase) {
  // Two seconds between searches: the first phrase alone keeps the window busy for six.
  TypeReplacing(frm.Edit1, QStringLiteral("2"));
  TypeReplacing(frm.Memo1, QString::fromStdString(kNiche + "\n" + kCommon + "\n" + kPopular));
  Click(frm.bStart);
  ASSERT_TRUE(frm.IsSearching(false));

  auto refusal = AnswerBox(QStringLiteral("Information"), QStringLiteral("OK"));
  Click(frm.bSave);
  ASSERT_TRUE(refusal->Handled());
  EXPECT_EQ(
      refusal->text,
      QStringLiteral("Searching in progress. Stop the search first or wait for it to finish."));
  refusal = AnswerBox(QStringLiteral("Information"), QStringLiteral("OK"));
  Click(frm.TBXButton2);
  ASSERT_TRUE(refusal->Handled());
  EXPECT_EQ(refusal->text,
            QStringLiteral("The analyzing is in progress. It must be finished first."));
  EXPECT_TRUE(frm.isVisible());

  // Stop: the phrase under way is completed, then the run ends.
  Click(frm.bStop);
  ASSERT_TRUE(WaitForRunEnd(frm, 15000));
  EXPECT_EQ(Rows(), (std::vector<std::vector<std::string>>{ExpectedRow(kNiche)}));
}

}  // namespace
}  // namespace kelvaro::e2e
