// The Excel export read back by a spreadsheet reader (Python's openpyxl), and written onto a
// full disk (fork and setrlimit, so not on Windows).
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <nlohmann/json.hpp>

#include "base/Error.h"
#include "deep/DeepAnalysisWorker.h"
#include "grid/CellMarkup.h"
#include "grid/GridXlsx.h"
#include "grid/ResultGridModel.h"
#include "main/KeywordGrid.h"
#include "main/ProjectFiles.h"
#include "tests/support/FullDisk.h"
#include "tests/support/TempDir.h"
#include "web/CustomSearch.h"

namespace kelvaro {
namespace {

using nlohmann::json;

constexpr char kKey[] = "AIzaSecretKey42";
constexpr char kEngine[] = "engine0cx7";
constexpr char kGreen[] = "FF00FF00";
constexpr char kYellow[] = "FFFFFF00";
constexpr char kRed[] = "FFFF3C3C";

// A count link as an earlier Kelvaro left it: the query URL with its key and engine code.
std::string Link(QueryKind kind, const std::string& phrase, const std::string& count) {
  return "<a href=\"" + BuildQueryURL(kind, phrase, kKey, kEngine) + "\">" + count + "</a>";
}

// What xlsx_read.py tells of the workbook, the key and the engine code as its needles. Debian's
// own interpreter first: python3-openpyxl is installed for it, not for another python3 on the
// path.
json ReadWorkbook(const std::string& file) {
  const char* python = access("/usr/bin/python3", X_OK) == 0 ? "/usr/bin/python3" : "python3";
  const std::string command = std::string(python) + " '" + KELVARO_SOURCE_DIR +
                              "/tests/grid/xlsx_read.py' '" + file + "' " + kKey + " " + kEngine +
                              " 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return json();
  std::string out;
  char buffer[4096];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, got);
  const int status = pclose(pipe);
  EXPECT_EQ(status, 0) << "python3 with openpyxl (python3-openpyxl) reads the workbook: " << out;
  return json::parse(out, nullptr, false);
}

void PutRow(ResultGridModel& grid, int row, bool ticked, const std::vector<std::string>& cells) {
  while (grid.RowCount() <= row) grid.AddRow();
  grid.AddCheckBox(0, row, ticked, false);
  for (size_t col = 0; col < cells.size(); ++col) {
    grid.SetCells(static_cast<int>(col) + 1, row, cells[col]);
  }
}

// Three rows of the keyword grid with volumes: numbers that sort, the grid's colours, public
// links only, the stored answer's hint, a text phrase of digits, failed counts left empty.
TEST(GridXlsxTest, KeywordGridReadsBackAsItShows) {
  ResultGridModel grid(MainForm::kKeywordGridColumns, 1);
  for (int col = 0; col < MainForm::kKeywordGridColumns; ++col) {
    grid.SetCells(col, 0, MainForm::kKeywordGridTitles[col]);
  }
  MainForm::ShowVolumeColumns(grid, true);
  PutRow(grid, 1, true,
         {"red shoes", Link(QueryKind::Phrase, "red shoes", "150000"),
          Link(QueryKind::Title, "red shoes", "20000"), Link(QueryKind::URL, "red shoes", "70000"),
          "200", "0.10"});
  grid.SetCellHint(2, 1, "Stored answer from 2024-05-01 10:00 UTC");
  PutRow(grid, 2, true,
         {"2024 caf\xC3\xA9 & co", Link(QueryKind::Phrase, "2024", ""), "Error 403",
          Link(QueryKind::URL, "2024", "0"), "", ""});
  PutRow(grid, 3, false,
         {"blue hats", "700000", Link(QueryKind::Title, "blue hats", "1,234"),
          Link(QueryKind::URL, "blue hats", "50000"), "1000", "12.50"});
  testing::TempDir dir;
  const std::string file = dir.File("keywords.xlsx");
  SaveXLSX(grid, MainForm::KeywordSheet(grid), file);
  EXPECT_EQ(testing::FilesIn(dir.path()), 1u);  // the row data's temporary file is gone

  const json book = ReadWorkbook(file);
  ASSERT_TRUE(book.is_object());
  EXPECT_EQ(book["sheets"], json({"Keywords"}));
  EXPECT_EQ(book["freeze"], "A2");
  EXPECT_EQ(book["filter"], "A1:F4");
  EXPECT_EQ(book["found"][kKey], json::array());
  EXPECT_EQ(book["found"][kEngine], json::array());
  const json& rows = book["rows"];
  ASSERT_EQ(rows.size(), 4u);
  const char* titles[] = {"Keyword", "Quotes", "Allintitle", "Allinurl", "Volume", "KGR"};
  ASSERT_EQ(rows[0].size(), 6u);
  for (size_t col = 0; col < 6; ++col) {
    EXPECT_EQ(rows[0][col]["value"], titles[col]);
    EXPECT_TRUE(rows[0][col]["bold"]);
  }

  struct Expected {
    int row, col;
    json value;
    json fill;
    json link;  // the address of the cell's HYPERLINK formula
  };
  const std::string google = "https://www.google.com/search?q=";
  const Expected cells[] = {
      {1, 0, "red shoes", nullptr, nullptr},
      {1, 1, 150000, kGreen, google + "red+shoes"},
      {1, 2, 20000, kYellow, google + "allintitle%3A+red+shoes"},
      {1, 3, 70000, kRed, google + "allinurl%3A+red+shoes"},
      {1, 4, 200, kGreen, nullptr},
      {1, 5, 0.1, kGreen, nullptr},
      {2, 0, "2024 caf\xC3\xA9 & co", nullptr, nullptr},
      {2, 1, nullptr, nullptr, nullptr},
      {2, 2, nullptr, nullptr, nullptr},
      {2, 3, 0, kGreen, google + "allinurl%3A+2024"},
      {2, 4, nullptr, nullptr, nullptr},
      {3, 1, 700000, kRed, nullptr},
      {3, 2, 1234, kGreen, google + "allintitle%3A+blue+hats"},
      {3, 3, 50000, kRed, google + "allinurl%3A+blue+hats"},
      {3, 4, 1000, nullptr, nullptr},
      {3, 5, 12.5, kRed, nullptr},
  };
  for (const Expected& want : cells) {
    SCOPED_TRACE(std::to_string(want.row) + "," + std::to_string(want.col));
    const json& got = rows[want.row][want.col];
    EXPECT_EQ(got["value"], want.value);
    if (!want.value.is_null()) {
      EXPECT_EQ(got["type"], want.value.is_number() ? "n" : "s");
    }
    EXPECT_EQ(got["fill"], want.fill);
    EXPECT_EQ(got["formula"], want.link.is_null()
                                  ? json()
                                  : json("=HYPERLINK(\"" + want.link.get<std::string>() + "\"," +
                                         got["value"].dump() + ")"));
    EXPECT_EQ(got["link"], nullptr);
  }
  EXPECT_EQ(rows[1][1]["comment"], "Stored answer from 2024-05-01 10:00 UTC");
  EXPECT_EQ(rows[1][2]["comment"], nullptr);
  EXPECT_EQ(rows[1][5]["format"], "0.00");
  EXPECT_EQ(rows[3][5]["format"], "0.00");
  // Fitted: the phrases' column is wider than the longest phrase, the KGR column narrower.
  EXPECT_GE(book["widths"]["A"].get<double>(), 14);
  EXPECT_LT(book["widths"]["F"].get<double>(), book["widths"]["A"].get<double>());
}

// The Deep Analysis grid: ranks and backlinks as numbers, a phrase's total as a number in the
// URL column beside the addresses (links to themselves), bold where the grid is bold, and a
// title with markup characters shown as it reads.
TEST(GridXlsxTest, DeepAnalysisGridMixesNumbersAndTexts) {
  ResultGridModel grid(4, 1);
  const char* titles[] = {"", "Page Title", "URL", "Backlinks"};
  for (int col = 0; col < 4; ++col) grid.SetCells(col, 0, titles[col]);
  const std::vector<std::vector<std::string>> rows = {
      {"", "<b>red shoes</b>", "<b>1200</b>", ""},
      {"1", LiteralCellText("Shoes <b> & boots"), "https://example.com/a", "35"},
      {"", "", "<b>Averages:</b>", "<b>35</b>"},
      {"2", "Long", "https://example.com/" + std::string(300, 'a'), "7"},
  };
  for (const auto& cells : rows) {
    grid.AddRow();
    for (int col = 0; col < 4; ++col) grid.SetCells(col, grid.RowCount() - 1, cells[col]);
  }
  testing::TempDir dir;
  const std::string file = dir.File("deep.xlsx");
  SaveXLSX(grid, DeepAnalysisForm::TopResultsSheet(), file);

  const json book = ReadWorkbook(file);
  ASSERT_TRUE(book.is_object());
  EXPECT_EQ(book["sheets"], json({"Deep Analysis"}));
  EXPECT_EQ(book["filter"], "A1:D5");
  const json& got = book["rows"];
  ASSERT_EQ(got.size(), 5u);
  EXPECT_EQ(got[1][1]["value"], "red shoes");
  EXPECT_TRUE(got[1][1]["bold"]);
  EXPECT_EQ(got[1][2]["value"], 1200);
  EXPECT_TRUE(got[1][2]["bold"]);
  EXPECT_EQ(got[2][0]["value"], 1);
  EXPECT_EQ(got[2][1]["value"], "Shoes <b> & boots");
  EXPECT_FALSE(got[2][1]["bold"]);
  EXPECT_EQ(got[2][2]["value"], "https://example.com/a");
  EXPECT_EQ(got[2][2]["formula"],
            "=HYPERLINK(\"https://example.com/a\",\"https://example.com/a\")");
  EXPECT_EQ(got[2][3]["value"], 35);
  EXPECT_EQ(got[3][2]["value"], "Averages:");
  EXPECT_EQ(got[3][3]["value"], 35);
  EXPECT_EQ(got[3][3]["type"], "n");
  // A formula's text literal holds 255 characters at most: a longer address is joined.
  const std::string address = "https://example.com/" + std::string(300, 'a');
  const std::string joined = "\"" + address.substr(0, 255) + "\"&\"" + address.substr(255) + "\"";
  EXPECT_EQ(got[4][2]["value"], address);
  EXPECT_EQ(got[4][2]["formula"], "=HYPERLINK(" + joined + "," + joined + ")");
}

// A workbook that cannot be written: an existing file keeps its bytes, nothing is left
// beside it, and the error says what failed.
TEST(GridXlsxTest, FailedWriteKeepsTheOldFile) {
  ResultGridModel grid(5, 400);
  for (int row = 1; row < 400; ++row) {
    grid.SetCells(1, row, "a phrase long enough to fill the disk " + std::to_string(row));
    grid.SetCells(2, row, std::to_string(row * 7919));
  }
  testing::TempDir dir;
  const std::string file = dir.File("old.xlsx");
  testing::WriteBytes(file, "old workbook");
  const XlsxSheet sheet = MainForm::KeywordSheet(grid);
  EXPECT_EQ(testing::ErrorOnFullDisk([&] { SaveXLSX(grid, sheet, file); }), "Stream write error");
  EXPECT_EQ(testing::ReadBytes(file), "old workbook");
  EXPECT_EQ(testing::FilesIn(dir.path()), 1u);

  const std::string missing = dir.File("missing") + "/new.xlsx";
  try {
    SaveXLSX(grid, sheet, missing);
    ADD_FAILURE() << "no error";
  } catch (const Error& error) {
    EXPECT_EQ(std::string(error.what()).rfind("Cannot create file \"" + missing + "\". ", 0), 0u)
        << error.what();
  }
  EXPECT_EQ(testing::FilesIn(dir.path()), 1u);
}

}  // namespace
}  // namespace kelvaro
