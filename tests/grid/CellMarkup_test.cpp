#include "grid/CellMarkup.h"

#include <gtest/gtest.h>

#include "grid/ResultGridModel.h"

namespace kelvaro {
namespace {

TEST(CellMarkupTest, TextKinds) {
  EXPECT_EQ(ClassifyText("<a href=\"u1\">12345</a>"), TextKind::kMarkup);
  for (const char* markup : {"a<b", "x <p", "<b>Averages:</b>", "x<I>", "<c", "a</"}) {
    EXPECT_EQ(ClassifyText(markup), TextKind::kMarkup) << markup;
  }
  for (const char* plain : {"", "12", "3<4", "a < b", "a<", "<", "<x>", "red shoes"}) {
    EXPECT_EQ(ClassifyText(plain), TextKind::kPlain) << plain;
  }
  EXPECT_EQ(ClassifyText("=1+2"), TextKind::kFormula);
  EXPECT_EQ(ClassifyText("="), TextKind::kFormula);
  EXPECT_EQ(ClassifyText("=<b>x</b>"), TextKind::kFormula);
  EXPECT_EQ(ClassifyText("{\\rtf1 x}"), TextKind::kRich);
  EXPECT_EQ(ClassifyText("|\\wide"), TextKind::kWide);
  EXPECT_EQ(ClassifyText("{x<b>"), TextKind::kMarkup);
  EXPECT_EQ(ClassifyText("<b>x</b>", false), TextKind::kPlain);
  EXPECT_EQ(ClassifyText("=x", false), TextKind::kFormula);
}

TEST(CellMarkupTest, LinkTextsAndMarkupTest) {
  EXPECT_TRUE(IsLinkText("see http://x.example"));
  EXPECT_TRUE(IsLinkText("a://b"));
  EXPECT_TRUE(IsLinkText("mailto:me@example.com"));
  EXPECT_FALSE(IsLinkText("MAILTO:me"));
  EXPECT_FALSE(IsLinkText("http:/x"));

  EXPECT_TRUE(PassesMarkupTest("<a href=\"...\">12345</a>"));
  EXPECT_TRUE(PassesMarkupTest("<b>Averages:</b>"));
  for (const char* no : {"", "a < b", "=<b>x</b>", "|\\<b>", "{\\<b>"}) {
    EXPECT_FALSE(PassesMarkupTest(no)) << no;
  }
}

TEST(CellMarkupTest, Stripping) {
  EXPECT_EQ(StripMarkup("<a href=\"u1\">12345</a>"), "12345");
  EXPECT_EQ(StripMarkup("<b>Averages:</b>"), "Averages:");
  EXPECT_EQ(StripMarkup("x<br>y<BR>z<bR>w"), "x\r\ny\r\nz\r\nw");
  EXPECT_EQ(StripMarkup("a<Hr>b"), "a\r\nb");
  EXPECT_EQ(StripMarkup("a<br/>b<br class=x>c"), "abc");  // other spellings are plain tags
  EXPECT_EQ(StripMarkup("<b>a &amp; b</b>"), "a &amp; b");
  EXPECT_EQ(StripMarkup("a>b<i>c</i>"), "a>b<i>c</i>");  // first ">" before first "<"
  EXPECT_EQ(StripMarkup("<b>x</b> 3 < 4"), "x 3 < 4");   // unclosed "<" ends the scan
  EXPECT_EQ(StripMarkup("<b>x</b>y>z"), "xy>z");
}

TEST(CellMarkupTest, SavedCellText) {
  ResultGridModel grid(5, 3);
  grid.AddCheckBox(0, 1, true, false);
  grid.AddCheckBox(0, 2, false, false);
  grid.SetCells(2, 1, "<a href=\"u1\">12345</a>");
  grid.SetCells(3, 1, "a < b");
  EXPECT_EQ(SavedCellText(grid, 0, 1), "Y");
  EXPECT_EQ(SavedCellText(grid, 0, 2), "N");
  EXPECT_EQ(SavedCellText(grid, 1, 1), "");
  EXPECT_EQ(SavedCellText(grid, 2, 1), "<a href=\"u1\">12345</a>");
  grid.SetCells(0, 2, "3");  // a row number wins over the box
  EXPECT_EQ(SavedCellText(grid, 0, 2), "3");
  grid.SetSaveWithHTML(false);
  EXPECT_EQ(SavedCellText(grid, 2, 1), "12345");
  EXPECT_EQ(SavedCellText(grid, 3, 1), "a < b");
  EXPECT_EQ(SavedCellText("", true, false, false), "N");
  EXPECT_EQ(SavedCellText("<b>x</b>", true, true, false), "x");
}

}  // namespace
}  // namespace kelvaro
