#include "grid/GridHtml.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>

#include "base/Error.h"
#include "grid/ResultGridModel.h"
#include "tests/support/TempDir.h"

namespace kelvaro {
namespace {

using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

constexpr uint32_t kGreen = 0x00FF00;
constexpr uint32_t kYellow = 0xFFFF00;
constexpr uint32_t kRed = 0xFF3C3C;

void SetMainHeader(ResultGridModel& grid) {
  const char* const header[] = {"", "Keyword", "Quotes", "Allintitle", "Allinurl"};
  for (int c = 0; c < 5; ++c) grid.SetCells(c, 0, header[c]);
}

// The default looks with some cells given a background, as the count colouring does.
CellVisualsFunction Coloured(std::map<std::pair<int, int>, uint32_t> backgrounds) {
  return [backgrounds = std::move(backgrounds)](int col, int row) {
    CellVisuals look = ResultGridModel::DefaultCellVisuals(col, row);
    const auto it = backgrounds.find({col, row});
    if (it != backgrounds.end()) look.background = it->second;
    return look;
  };
}

// The table lines between <tr> of row 1 and the next </tr>.
std::string DataRow(const std::string& doc, int row) {
  size_t pos = 0;
  for (int r = 0; r <= row; ++r) pos = doc.find("<tr>\r\n", pos) + 6;
  return doc.substr(pos, doc.find("</tr>", pos) - pos);
}

TEST(GridHtmlTest, ExampleDocumentByteForByte) {
  ResultGridModel grid(5, 3);
  SetMainHeader(grid);
  grid.AddCheckBox(0, 1, true, false);
  grid.AddCheckBox(0, 2, false, false);
  grid.SetCells(1, 1, "red shoes");
  grid.SetCells(1, 2, "blue hats");
  const char* const counts[2][3] = {{"150000", "20000", "60000"}, {"700000", "5000", "12000"}};
  int url = 1;
  for (int r = 1; r <= 2; ++r) {
    for (int c = 2; c <= 4; ++c) {
      grid.SetCells(c, r,
                    "<a href=\"u" + std::to_string(url++) + "\">" + counts[r - 1][c - 2] + "</a>");
    }
  }
  const auto look = Coloured({{{2, 1}, kGreen},
                              {{3, 1}, kYellow},
                              {{4, 1}, kRed},
                              {{2, 2}, kRed},
                              {{3, 2}, kGreen},
                              {{4, 2}, kYellow}});
  const std::string style =
      ";color: #000000;font-size:8pt;font-family: Tahoma;vertical-align: top}";
  const std::string expected =
      "<style>\r\n"
      ".c0 {background-color: #F0F0F0" +
      style +
      "\r\n"
      ".c1 {background-color: #FFFFFF" +
      style +
      "\r\n"
      ".c2 {background-color: #00FF00" +
      style +
      "\r\n"
      ".c3 {background-color: #FFFF00" +
      style +
      "\r\n"
      ".c4 {background-color: #FF3C3C" +
      style +
      "\r\n"
      "</style>\r\n"
      "<table border=\"1\" cellspacing=\"0\" cellpadding=\"0\"  width=\"100%\">\r\n"
      "<tr>\r\n"
      "<td class=\"c0\" nowrap=\"nowrap\">&nbsp;</td>\r\n"
      "<td class=\"c0\" nowrap=\"nowrap\">Keyword</td>\r\n"
      "<td class=\"c0\" nowrap=\"nowrap\">Quotes</td>\r\n"
      "<td class=\"c0\" nowrap=\"nowrap\">Allintitle</td>\r\n"
      "<td class=\"c0\" nowrap=\"nowrap\">Allinurl</td>\r\n"
      "</tr>\r\n"
      "<tr>\r\n"
      "<td class=\"c1\" nowrap=\"nowrap\">Y</td>\r\n"
      "<td class=\"c1\" nowrap=\"nowrap\">red shoes</td>\r\n"
      "<td class=\"c2\" nowrap=\"nowrap\"><a href=\"u1\">150000</a></td>\r\n"
      "<td class=\"c3\" nowrap=\"nowrap\"><a href=\"u2\">20000</a></td>\r\n"
      "<td class=\"c4\" nowrap=\"nowrap\"><a href=\"u3\">60000</a></td>\r\n"
      "</tr>\r\n"
      "<tr>\r\n"
      "<td class=\"c1\" nowrap=\"nowrap\">N</td>\r\n"
      "<td class=\"c1\" nowrap=\"nowrap\">blue hats</td>\r\n"
      "<td class=\"c4\" nowrap=\"nowrap\"><a href=\"u4\">700000</a></td>\r\n"
      "<td class=\"c2\" nowrap=\"nowrap\"><a href=\"u5\">5000</a></td>\r\n"
      "<td class=\"c3\" nowrap=\"nowrap\"><a href=\"u6\">12000</a></td>\r\n"
      "</tr>\r\n"
      "</table>\r\n"
      "\r\n";
  TempDir dir;
  const std::string file = dir.File("export.html");
  WriteBytes(file, std::string(10000, 'x'));  // a longer old file is replaced completely
  grid.SaveHTML(file, look);
  EXPECT_EQ(ReadBytes(file), expected);
}

TEST(GridHtmlTest, EmptyGridAndCheckBoxColumn) {
  ResultGridModel grid(5, 2);
  SetMainHeader(grid);
  const std::string doc = HTMLDocument(grid, ResultGridModel::DefaultCellVisuals);
  EXPECT_EQ(doc.find(".c2"), std::string::npos);  // only header and window styles
  std::string blank_row;
  for (int c = 0; c < 5; ++c) blank_row += "<td class=\"c1\" nowrap=\"nowrap\">&nbsp;</td>\r\n";
  EXPECT_EQ(DataRow(doc, 1), blank_row);

  // After Clear Checked column 0 holds row numbers, which win over the boxes.
  grid.SetRowCount(3);
  grid.AddCheckBox(0, 1, false, false);
  grid.AddCheckBox(0, 2, true, false);
  grid.SetCells(0, 1, "1");
  grid.SetCells(0, 2, "2");
  // Classes follow first occurrence: red first appears after the first white data cell.
  const std::string numbered = HTMLDocument(grid, Coloured({{{1, 2}, kRed}}));
  EXPECT_NE(numbered.find(".c2 {background-color: #FF3C3C;"), std::string::npos);
  EXPECT_EQ(DataRow(numbered, 1).substr(0, 37), "<td class=\"c1\" nowrap=\"nowrap\">1</td>");
  EXPECT_EQ(DataRow(numbered, 2).substr(0, 81),
            "<td class=\"c1\" nowrap=\"nowrap\">2</td>\r\n"
            "<td class=\"c2\" nowrap=\"nowrap\">&nbsp;</td>");
}

TEST(GridHtmlTest, CellTexts) {
  ResultGridModel grid(2, 7);
  grid.SetCells(0, 0, "  ");  // a header of spaces stays spaces
  grid.SetCells(1, 0, "x://head");
  grid.SetCells(0, 1, "a & b <i>");
  grid.SetCells(1, 1, " \t ");  // a data cell of blanks is &nbsp;
  grid.SetCells(0, 2, "a://b");
  grid.SetCells(1, 2, "write mailto:me@example.com");
  grid.SetCells(0, 3, "<a href=\"http://u\">5</a>");  // already a link: not wrapped again
  grid.SetCells(1, 3, "two\r\nlines\rcr");
  grid.SetCells(0, 4, "http://both mailto:x");
  grid.SetCells(1, 4, "&amp;  two  spaces ");
  grid.SetCells(0, 5, "<b>1,234</b>");
  const std::string doc = HTMLDocument(grid, ResultGridModel::DefaultCellVisuals);
  auto cell = [](const std::string& cls, const std::string& text) {
    return "<td class=\"" + cls + "\" nowrap=\"nowrap\">" + text + "</td>\r\n";
  };
  EXPECT_EQ(DataRow(doc, 0), cell("c0", "  ") + cell("c0", "<a href=x://head>x://head</a>"));
  EXPECT_EQ(DataRow(doc, 1), cell("c1", "a & b <i>") + cell("c1", "&nbsp;"));
  EXPECT_EQ(DataRow(doc, 2), cell("c1", "<a href=a://b>a://b</a>") +
                                 cell("c1",
                                      "<a href=write mailto:me@example.com>write "
                                      "mailto:me@example.com</a>"));
  EXPECT_EQ(DataRow(doc, 3),
            cell("c1", "<a href=\"http://u\">5</a>") + cell("c1", "two<br>\nlines<br>cr"));
  EXPECT_EQ(DataRow(doc, 4), cell("c1", "<a href=http://both mailto:x>http://both mailto:x</a>") +
                                 cell("c1", "&amp;  two  spaces "));
  EXPECT_EQ(DataRow(doc, 6), cell("c1", "&nbsp;") + cell("c1", "&nbsp;"));
  grid.SetSaveWithHTML(false);
  const std::string stripped = cell("c1", "1,234");
  EXPECT_EQ(DataRow(HTMLDocument(grid, ResultGridModel::DefaultCellVisuals), 5)
                .substr(0, stripped.size()),
            stripped);
  EXPECT_EQ(LinkURLText("plain"), "plain");
}

TEST(GridHtmlTest, StylesAndClasses) {
  CellVisuals look;
  look.background = 0xFF3C3C;
  look.text_color = 0x0A0B0C;
  look.font_name = "Segoe UI";
  look.font_size_pt = 10;
  look.italic = true;
  look.bold = true;
  look.h_align = CellVisuals::HAlign::Right;
  look.v_align = CellVisuals::VAlign::Bottom;
  EXPECT_EQ(CellStyleText(look),
            "background-color: #FF3C3C;color: #0A0B0C;font-size:10pt;font-style: italic;"
            "font-weight: bold;font-family: Segoe UI;text-align: right;vertical-align: bottom");
  look = CellVisuals{};
  look.h_align = CellVisuals::HAlign::Center;
  look.v_align = CellVisuals::VAlign::Middle;
  EXPECT_EQ(CellStyleText(look),
            "background-color: #FFFFFF;color: #000000;font-size:8pt;font-family: Tahoma;"
            "text-align: center;vertical-align: middle");

  // Styles that differ only in letter case share a class; the first spelling is kept.
  // A wrapping cell has no nowrap attribute.
  ResultGridModel grid(3, 2);
  const std::string doc = HTMLDocument(grid, [](int col, int row) {
    CellVisuals l = ResultGridModel::DefaultCellVisuals(col, row);
    if (row == 1 && col == 1) l.font_name = "TAHOMA";
    if (row == 1 && col == 2) {
      l.background = kGreen;
      l.word_wrap = true;
    }
    return l;
  });
  EXPECT_NE(doc.find("font-family: Tahoma;"), std::string::npos);
  EXPECT_EQ(doc.find("TAHOMA"), std::string::npos);
  EXPECT_EQ(DataRow(doc, 1),
            "<td class=\"c1\" nowrap=\"nowrap\">&nbsp;</td>\r\n"
            "<td class=\"c1\" nowrap=\"nowrap\">&nbsp;</td>\r\n"
            "<td class=\"c2\">&nbsp;</td>\r\n");
}

TEST(GridHtmlTest, MissingFolderGivesTheCreateError) {
  TempDir dir;
  ResultGridModel grid(5, 2);
  grid.SetCells(1, 1, "a phrase");
  const std::string missing = dir.File("gone/export.html");
  try {
    grid.SaveHTML(missing, ResultGridModel::DefaultCellVisuals);
    ADD_FAILURE() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()).rfind("Cannot create file \"" + missing + "\". ", 0), 0u);
  }
}

}  // namespace
}  // namespace kelvaro
