#include "grid/GridCsv.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "base/Error.h"
#include "grid/CellMarkup.h"
#include "grid/ResultGridModel.h"
#include "tests/support/TempDir.h"

namespace kelvaro {
namespace {

using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;
using Rows = std::vector<std::vector<std::string>>;

void Fill(ResultGridModel& grid, const Rows& rows) {
  grid.SetRowCount(static_cast<int>(rows.size()));
  for (size_t r = 0; r < rows.size(); ++r) {
    for (size_t c = 0; c < rows[r].size(); ++c) {
      grid.SetCells(static_cast<int>(c), static_cast<int>(r), rows[r][c]);
    }
  }
}

Rows CellsOf(const ResultGridModel& grid) {
  Rows rows(static_cast<size_t>(grid.RowCount()));
  for (int r = 0; r < grid.RowCount(); ++r) {
    for (int c = 0; c < grid.ColCount(); ++c)
      rows[static_cast<size_t>(r)].push_back(grid.Cells(c, r));
  }
  return rows;
}

// Loads `bytes` as a file into a fresh one-cell grid.
Rows Read(const std::string& bytes, int max_rows = -1) {
  TempDir dir;
  WriteBytes(dir.File("in.csv"), bytes);
  ResultGridModel grid(1, 1);
  grid.LoadCSV(dir.File("in.csv"), max_rows);
  return CellsOf(grid);
}

std::string Field(const std::string& text) {
  std::string out;
  AppendCSVField(out, text);
  return out;
}

const char* const kHeader[] = {"", "Keyword", "Quotes", "Allintitle", "Allinurl"};

void SetMainHeader(ResultGridModel& grid) {
  for (int c = 0; c < 5; ++c) grid.SetCells(c, 0, kHeader[c]);
}

TEST(GridCsvTest, WorkedExampleProjectAndExportBytes) {
  ResultGridModel grid(5, 2);
  SetMainHeader(grid);
  grid.AddCheckBox(0, 1, true, false);
  grid.SetCells(1, 1, "red shoes");
  grid.SetCells(2, 1, "<a href=\"u1\">12345</a>");
  grid.SetCells(3, 1, "<a href=\"u2\">678</a>");
  grid.SetCells(4, 1, "<a href=\"u3\">90</a>");
  const std::string project =
      "\"\",Keyword,Quotes,Allintitle,Allinurl\r\n"
      "Y,red shoes,\"<a href=\"\"u1\"\">12345</a>\",\"<a href=\"\"u2\"\">678</a>\","
      "\"<a href=\"\"u3\"\">90</a>\"\r\n";
  EXPECT_EQ(CSVText(grid), project);
  grid.SetSaveWithHTML(false);
  EXPECT_EQ(CSVText(grid),
            "\"\",Keyword,Quotes,Allintitle,Allinurl\r\nY,red shoes,12345,678,90\r\n");

  EXPECT_EQ(Read(project), (Rows{{"", "Keyword", "Quotes", "Allintitle", "Allinurl"},
                                 {"Y", "red shoes", "<a href=\"u1\">12345</a>",
                                  "<a href=\"u2\">678</a>", "<a href=\"u3\">90</a>"}}));

  ResultGridModel deep(4, 2);
  Fill(deep,
       {{"", "Page Title", "URL", "Backlinks"}, {"", "", "<b>Averages:</b>", "<b>1,234</b>"}});
  deep.SetSaveWithHTML(false);
  EXPECT_EQ(CSVText(deep), "\"\",Page Title,URL,Backlinks\r\n\"\",\"\",Averages:,\"1,234\"\r\n");
}

TEST(GridCsvTest, FieldEncoding) {
  EXPECT_EQ(Field(""), "\"\"");
  EXPECT_EQ(Field("red shoes "), "red shoes ");
  EXPECT_EQ(Field("say \"hi\""), "\"say \"\"hi\"\"\"");
  EXPECT_EQ(Field("a, b"), "\"a, b\"");
  EXPECT_EQ(Field("a,\"b\""), "\"a,\"\"b\"\"\"");
  EXPECT_EQ(Field("two\r\nlines"), "\"two\vlines\"");
  EXPECT_EQ(Field("a,\r\nb"), "\"a,\vb\"");
  // Line breaks never reach the file as such, wherever they are and however written.
  EXPECT_EQ(Field("\"q\"\r\nx"), "\"\"\"q\"\"\vx\"");
  EXPECT_EQ(Field("ends\r\n"), "\"ends\v\"");
  EXPECT_EQ(Field("lone\rcr\nlf"), "\"lone\vcr\vlf\"");
  EXPECT_EQ(Field(std::string("n\0ul", 4)), "nul");
  EXPECT_EQ(Field(std::string("\0", 1)), "\"\"");
  EXPECT_EQ(Field("t-shirt & co"), "t-shirt & co");  // other candidates stay bare
  std::string out;
  AppendCSVField(out, "t-shirt", true);
  EXPECT_EQ(out, "\"t-shirt\"");
}

TEST(GridCsvTest, CheckBoxCellsAndMarkupStripping) {
  ResultGridModel grid(5, 2);
  SetMainHeader(grid);
  grid.SetRowCount(4);
  grid.AddCheckBox(0, 1, true, false);
  grid.AddCheckBox(0, 2, false, false);
  grid.AddCheckBox(0, 3, true, false);
  grid.SetCells(0, 3, "3");  // a row number after Clear Checked
  grid.SetCells(1, 1, "x<br>y");
  grid.SetCells(1, 2, "<b>a &amp; b</b>");
  grid.SetCells(1, 3, "a>b<i>c</i>");
  grid.SetSaveWithHTML(false);
  const std::string text = CSVText(grid);
  EXPECT_EQ(text.substr(text.find("\r\n") + 2),
            "Y,\"x\vy\",\"\",\"\",\"\"\r\n"
            "N,a &amp; b,\"\",\"\",\"\"\r\n"
            "3,a>b<i>c</i>,\"\",\"\",\"\"\r\n");
  const Rows back = Read(text);
  EXPECT_EQ(back[1][0], "Y");
  EXPECT_EQ(back[2][0], "N");
  EXPECT_EQ(back[1][1], "x\r\ny");

  TempDir dir;
  grid.SaveCSV(dir.File("p.csv"));
  ResultGridModel loaded(5, 2);
  loaded.LoadCSV(dir.File("p.csv"), -1);
  EXPECT_FALSE(loaded.HasCheckBox(0, 1));  // the letter is text now; the caller adds boxes
  EXPECT_EQ(loaded.Cells(0, 1), "Y");
}

TEST(GridCsvTest, QuotesCommasLinksAndSpacesReadBack) {
  const Rows rows = {
      {"", "Keyword", "Quotes"},
      {"say \"hi\"", "a, b", "<a href=\"http://x.example/?q=a,b&c=\"\"d\"\"\">12</a>"},
      {"trailing  ", "  quoted, leading kept", "<a href=\"u,1\">3</a>"},
      {" a b ", "   ", " x"},  // leading spaces are written quoted, so they come back
  };
  ResultGridModel grid(3, 4);
  Fill(grid, rows);
  EXPECT_EQ(Read(CSVText(grid)), rows);

  // A bare text in a file loses its leading spaces on the way back; an all-space one too.
  EXPECT_EQ(Read("a,b\r\n   x,  y\r\n"), (Rows{{"a", "b"}, {"x", "y"}}));
  EXPECT_EQ(Read("a,b,c\r\n   ,x,   \r\n"), (Rows{{"a", "b", "c"}, {"", "x", " "}}));
}

TEST(GridCsvTest, LinesWrittenByEarlierVersionsJoinAtOddQuotes) {
  // Earlier writers put a lone LF between the lines of a quoted text.
  const std::string middle = "h1,h2\r\n\"say \"\"a\"\"\nnext\",x\r\nlast,row\r\n";
  EXPECT_EQ(Read(middle), (Rows{{"h1", "h2"}, {"say \"a\"\r\nnext", "x"}, {"last", "row"}}));
  // ... and the last pair is compared too, so the last row reads back as one cell.
  const std::string last = "h1,h2\r\nx,\"say \"\"a\"\"\nnext\"\r\n";
  EXPECT_EQ(Read(last), (Rows{{"h1", "h2"}, {"x", "say \"a\"\r\nnext"}}));
  // A joined line is not joined again: the third odd line stands alone.
  EXPECT_EQ(CSVLineList("\"a\n\"b\n\"c\n").lines(),
            (std::vector<std::string_view>{"\"a\r\n\"b", "\"c"}));
  EXPECT_EQ(CSVLineList("a\r\nb\rc\nd\n\r\n").lines(),
            (std::vector<std::string_view>{"a", "b", "c", "d", ""}));
}

TEST(GridCsvTest, JoiningCountsQuotesExactlyInLongLines) {
  // Random lines of up to 40 bytes, with byte A2 (a quote with its high bit set) among them,
  // against a plain count of their quotes.
  std::mt19937 rng(7);
  const char alphabet[] = {'x', '"', '\xA2', '\x22', ',', '\0' + 1, '\xFF'};
  for (int trial = 0; trial < 300; ++trial) {
    std::vector<std::string> raw(std::uniform_int_distribution<size_t>(1, 6)(rng));
    std::string text;
    for (std::string& line : raw) {
      for (size_t n = rng() % 41; n > 0; --n) line += alphabet[rng() % sizeof alphabet];
      text += line + "\r\n";
    }
    std::vector<std::string> expected;
    for (size_t i = 0; i < raw.size(); ++i) {
      auto odd = [](const std::string& l) { return std::count(l.begin(), l.end(), '"') % 2; };
      if (i + 1 < raw.size() && odd(raw[i]) && odd(raw[i + 1])) {
        expected.push_back(raw[i] + "\r\n" + raw[i + 1]);
        ++i;
      } else {
        expected.push_back(raw[i]);
      }
    }
    const CSVLineList list(text);
    ASSERT_EQ(std::vector<std::string>(list.lines().begin(), list.lines().end()), expected)
        << trial;
  }
}

// LoadCSV reads a file a piece at a time: a break, a CR LF, a join or a NUL falling across
// two pieces gives the same lines as the whole text does.
TEST(GridCsvTest, FileReadInPiecesGivesTheLinesOfTheWholeText) {
  std::mt19937 rng(11);
  const char alphabet[] = {'x', '"', '\r', '\n', ',', '\n', '"'};
  testing::TempDir dir;
  const std::string file = dir.File("pieces.csv");
  for (int trial = 0; trial < 200; ++trial) {
    std::string text;
    for (size_t n = rng() % 60; n > 0; --n) text += alphabet[rng() % sizeof alphabet];
    if (trial % 10 == 0) text.insert(text.size() / 2, 1, '\0');
    testing::WriteBytes(file, text);
    const CSVLineList whole(text);
    const std::vector<std::string> expected(whole.lines().begin(), whole.lines().end());
    for (const size_t piece : {1, 2, 3, 5, 64}) {
      std::vector<std::string> got;
      ForEachCSVFileLine(file, piece, [&got](std::string_view line) { got.emplace_back(line); });
      ASSERT_EQ(got, expected) << "trial " << trial << ", piece " << piece;
    }
  }
}

TEST(GridCsvTest, DelimiterDetection) {
  EXPECT_EQ(DetectDelimiter("a;b;c", "1;2;3"), ';');
  EXPECT_EQ(DetectDelimiter("abc", "def"), kNoDelimiter);
  EXPECT_EQ(DetectDelimiter("only,one", ""), ',');
  EXPECT_EQ(DetectDelimiter("a|b,c", "d|e,,f"), '|');  // a doubled "," is no delimiter run
  EXPECT_EQ(DetectDelimiter("a,b", "c,,,d"), ',');     // a run of three counts once
  EXPECT_EQ(DetectDelimiter("a-b", "c-d-e"), '-');     // step 3: the most frequent wins
  // A project whose first data row holds a phrase with a comma: the quoted commas and the
  // query URLs' "&" do not count, so it is read with ",".
  const std::string header = "\"\",Keyword,Quotes,Allintitle,Allinurl";
  const std::string row =
      "Y,\"red, shoes\",\"<a href=\"\"https://www.googleapis.com/customsearch/v1?key=k&cx=c"
      "&q=red,+shoes&num=1\"\">1</a>\",\"<a href=\"\"https://x/?a=1&b=2&q=allintitle:red,"
      "+shoes\"\">2</a>\",\"<a href=\"\"https://x/?a=1&b=2&q=allinurl:red,+shoes\"\">3</a>\"";
  EXPECT_EQ(DetectDelimiter(header, row), ',');
  EXPECT_EQ(Read(header + "\r\n" + row + "\r\n")[1][1], "red, shoes");
  // An opening quote that is never closed opens no section.
  EXPECT_EQ(DetectDelimiter("\"abc,def", ""), ',');
}

TEST(GridCsvTest, FieldSplittingOddities) {
  EXPECT_EQ(Read("\"abc,def\r\n"), (Rows{{"", "def"}}));
  EXPECT_EQ(Read("a,b\r\n\"x\"junk,y\r\n"), (Rows{{"a", "b"}, {"x", "y"}}));
  EXPECT_EQ(Read("a,b,c\r\n1,2,\r\n"), (Rows{{"a", "b", "c"}, {"1", "2", ""}}));
  EXPECT_EQ(Read("a;b;c\r\n1;2;3\r\n"), (Rows{{"a", "b", "c"}, {"1", "2", "3"}}));
  EXPECT_EQ(Read("abc def\r\n\"quoted\"\r\n"), (Rows{{"abc def"}, {"quoted"}}));
  EXPECT_EQ(Read("a,b\r\n\r\nc,d\r\n"), (Rows{{"a", "b"}, {"", ""}, {"c", "d"}}));
  std::vector<std::string> cells;
  EXPECT_EQ(SplitCSVLine("\"a\"\"\",\"\"\"\",\"x\vy\"", ',', cells), 3u);
  EXPECT_EQ(cells, (std::vector<std::string>{"a\"", "\"", "x\r\ny"}));
}

TEST(GridCsvTest, LoadingClearsEachRowReadAndCutsTheRowCount) {
  TempDir dir;
  ResultGridModel grid(2, 5);
  Fill(grid, {{"h1", "h2"}, {"a1", "a2"}, {"b1", "b2"}, {"c1", "c2"}, {"d1", "d2"}});
  grid.AddCheckBox(0, 2, true, false);
  WriteBytes(dir.File("f.csv"), "H1,H2,H3\r\nA1\r\n,\r\n");
  grid.LoadCSV(dir.File("f.csv"), -1);
  EXPECT_EQ(grid.ColCount(), 3);  // more fields add columns
  EXPECT_EQ(grid.RowCount(), 3);  // fewer lines cut the rows
  // A short line leaves no earlier text behind, an empty row no earlier box.
  EXPECT_EQ(CellsOf(grid), (Rows{{"H1", "H2", "H3"}, {"A1", "", ""}, {"", "", ""}}));
  EXPECT_FALSE(grid.HasCheckBox(0, 2));

  WriteBytes(dir.File("one.csv"), "x\r\n");
  grid.LoadCSV(dir.File("one.csv"), -1);
  EXPECT_EQ(grid.RowCount(), 1);
  grid.SetRowCount(2);
  EXPECT_EQ(grid.Cells(0, 0), "x");
  EXPECT_EQ(grid.Cells(1, 0), "H2");  // the header keeps the titles its line does not reach

  EXPECT_EQ(Read("1\r\n2\r\n3\r\n4\r\n", 2), (Rows{{"1"}, {"2"}}));
  EXPECT_EQ(Read("1\r\n2\r\n", 0), (Rows{{"1"}, {"2"}}));
  // A long file grows the grid past its 1000-row steps and ends at the exact count.
  std::string many;
  for (int i = 0; i < 2500; ++i) many += "r" + std::to_string(i) + ",x\r\n";
  const Rows back = Read(many);
  ASSERT_EQ(back.size(), 2500u);
  EXPECT_EQ(back[2499][0], "r2499");
}

TEST(GridCsvTest, EmptyAndMissingFiles) {
  TempDir dir;
  ResultGridModel grid(5, 2);
  SetMainHeader(grid);
  grid.SetCells(1, 1, "kept");
  struct Counter : ResultGridListener {
    int resets = 0;
    void BeforeReset() override { ++resets; }
  } counter;
  grid.SetListener(&counter);

  WriteBytes(dir.File("zero.csv"), "");
  grid.LoadCSV(dir.File("zero.csv"), -1);
  // Not "nul.csv": on Windows NUL is a device name, whatever the extension.
  WriteBytes(dir.File("leading-nul.csv"), std::string("\0a,b\r\n", 6));
  try {
    grid.LoadCSV(dir.File("leading-nul.csv"), -1);
    ADD_FAILURE() << "no error";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "File is empty");
  }
  try {
    grid.LoadCSV(dir.File("missing.csv"), -1);
    ADD_FAILURE() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(
        std::string(e.what()).rfind("Cannot open file \"" + dir.File("missing.csv") + "\". ", 0),
        0u)
        << e.what();
  }
  EXPECT_EQ(counter.resets, 0);
  EXPECT_EQ(grid.Cells(1, 1), "kept");
  EXPECT_EQ(grid.RowCount(), 2);

  WriteBytes(dir.File("semi.csv"), "a;b\r\nc;d\r\n");
  grid.LoadCSV(dir.File("semi.csv"), -1);
  EXPECT_EQ(counter.resets, 1);
  EXPECT_EQ(CSVText(grid).substr(0, 12), "a,b,Quotes,A");  // writing still uses ","
  // A NUL ends the text: what follows it is not read.
  EXPECT_EQ(Read(std::string("a,b\r\nc,d\0e,f\r\n", 14)), (Rows{{"a", "b"}, {"c", "d"}}));
}

TEST(GridCsvTest, WriterKeepsTheReaderOnCommaWhenFirstLinesTie) {
  // Both first lines hold one "-" and one-column grids have no comma at all: without
  // quoting, the reader would split at "-".
  ResultGridModel one(1, 3);
  Fill(one, {{"t-shirt"}, {"x-ray"}, {"a-b"}});
  EXPECT_EQ(CSVText(one), "\"t-shirt\"\r\n\"x-ray\"\r\na-b\r\n");
  EXPECT_EQ(Read(CSVText(one)), (Rows{{"t-shirt"}, {"x-ray"}, {"a-b"}}));
  ResultGridModel two(2, 2);
  Fill(two, {{"a;b;c", "x"}, {"1;2;3", "y"}});
  EXPECT_EQ(Read(CSVText(two)), (Rows{{"a;b;c", "x"}, {"1;2;3", "y"}}));
  ResultGridModel header_only(2, 1);
  Fill(header_only, {{"a-b-c", "d"}});
  EXPECT_EQ(Read(CSVText(header_only)), (Rows{{"a-b-c", "d"}}));
}

// What a saved text reads back as: line breaks of any kind come back as CR LF, NUL bytes
// are not kept.
std::string AfterRoundTrip(const std::string& saved) {
  std::string out;
  for (size_t i = 0; i < saved.size(); ++i) {
    const char c = saved[i];
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < saved.size() && saved[i + 1] == '\n') ++i;
      out += "\r\n";
    } else if (c != '\0') {
      out += c;
    }
  }
  return out;
}

std::string RandomText(std::mt19937& rng) {
  static const std::vector<std::string> pieces = {"red",
                                                  "shoes",
                                                  " ",
                                                  "  ",
                                                  ",",
                                                  "\"",
                                                  "\"\"",
                                                  "\r\n",
                                                  "\r",
                                                  "\n",
                                                  "-",
                                                  ";",
                                                  "&",
                                                  "+",
                                                  "|",
                                                  "#",
                                                  "\t",
                                                  "@",
                                                  "*",
                                                  "x=1&y=2",
                                                  "\xE9t\xE9",
                                                  "\x80\xFF\xA0",
                                                  std::string(1, '\0'),
                                                  "<b>",
                                                  "</b>",
                                                  "<br>",
                                                  "Y",
                                                  "N",
                                                  "3<4",
                                                  "a < b"};
  std::uniform_int_distribution<int> count(0, 5);
  std::uniform_int_distribution<size_t> pick(0, pieces.size() - 1);
  std::uniform_int_distribution<int> kind(0, 9);
  const int k = kind(rng);
  if (k == 0) return "";
  if (k == 1) return std::uniform_int_distribution<int>(0, 1)(rng) ? "Y" : "N";
  if (k == 2) {
    // A count link whose query URL holds commas, quotes and ampersands.
    return "<a href=\"https://www.googleapis.com/customsearch/v1?key=AIza&cx=0:1&q=" +
           RandomText(rng) + "&num=1\">" + std::to_string(rng() % 100000) + "</a>";
  }
  std::string text;
  for (int i = count(rng); i >= 0; --i) text += pieces[pick(rng)];
  return text;
}

TEST(GridCsvTest, RoundTripGivesBackEveryCell) {
  std::mt19937 rng(20240611);
  TempDir dir;
  const std::string file = dir.File("round.csv");
  for (int trial = 0; trial < 400; ++trial) {
    const int cols = std::uniform_int_distribution<int>(1, 6)(rng);
    const int rows = std::uniform_int_distribution<int>(1, 8)(rng);
    ResultGridModel grid(cols, rows);
    grid.SetSaveWithHTML(trial % 4 != 3);
    for (int r = 0; r < rows; ++r) {
      if (r > 0 && rng() % 2 == 0) grid.AddCheckBox(0, r, rng() % 2 == 0, rng() % 3 == 0);
      for (int c = 0; c < cols; ++c) {
        const std::string text = RandomText(rng);
        grid.SetCells(c, r, text);
      }
    }
    grid.SaveCSV(file);
    ResultGridModel loaded(1, 1);
    loaded.LoadCSV(file, -1);
    ASSERT_EQ(loaded.RowCount(), rows) << "trial " << trial;
    ASSERT_EQ(loaded.ColCount(), cols) << "trial " << trial;
    for (int r = 0; r < rows; ++r) {
      for (int c = 0; c < cols; ++c) {
        ASSERT_EQ(loaded.Cells(c, r), AfterRoundTrip(SavedCellText(grid, c, r)))
            << "trial " << trial << " cell " << c << "," << r << "\n"
            << ::testing::PrintToString(ReadBytes(file));
      }
    }
  }
}

TEST(GridCsvTest, MissingFolderGivesTheCreateError) {
  TempDir dir;
  ResultGridModel grid(5, 2);
  grid.SetCells(1, 1, "a phrase");
  const std::string missing = dir.File("no/such/folder.csv");
  try {
    grid.SaveCSV(missing);
    ADD_FAILURE() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()).rfind("Cannot create file \"" + missing + "\". ", 0), 0u)
        << e.what();
  }
}

}  // namespace
}  // namespace kelvaro
