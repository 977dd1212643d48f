#include "main/ProjectFiles.h"

#include <gtest/gtest.h>

#include "base/Error.h"
#include "grid/ResultGridModel.h"
#include "tests/support/TempDir.h"
#include "web/SearchService.h"

namespace kelvaro::MainForm {
namespace {

TEST(TidyCSVTest, ASavedProjectLosesItsCheckColumn) {
  const std::string saved =
      "\"\",Keyword,Quotes,Allintitle,Allinurl\r\n"
      "Y,red shoes,12345,678,90\r\n";
  EXPECT_EQ(TidyCSVText(saved),
            "Keyword,Quotes,Allintitle,Allinurl\r\n"
            "red shoes,12345,678,90\r\n");
}

TEST(TidyCSVTest, CutsExactlyTheFirstFieldWhateverItsLength) {
  EXPECT_EQ(TidyCSVText("12,a,b\r\n"), "a,b\r\n");                // row number after Clear Checked
  EXPECT_EQ(TidyCSVText("\"\",\"\",\"\"\r\n"), "\"\",\"\"\r\n");  // the row left by Clear All
  EXPECT_EQ(TidyCSVText("N,\"a, b\",3\r\n"), "\"a, b\",3\r\n");
  EXPECT_EQ(TidyCSVText("\"x,\"\"y\",z\r\n"), "z\r\n");
  EXPECT_EQ(TidyCSVText("alone\r\n"), "\r\n");
  // A quoted text spanning lines stays one record; its line break becomes CR LF.
  EXPECT_EQ(TidyCSVText("Y,\"say \"\"a\nb\"\"\",1\r\nN,c,2\r\n"),
            "\"say \"\"a\r\nb\"\"\",1\r\nc,2\r\n");
}

TEST(TidyHTMLTest, LinksAndCellsOpenInNewWindow) {
  const std::string html =
      "<table border=\"1\" cellspacing=\"0\" cellpadding=\"0\"  width=\"100%\">\r\n"
      "<td class=\"c2\" nowrap=\"nowrap\"><a href=\"u1\">150000</a></td>\r\n"
      "<td class=\"c1\" nowrap=\"nowrap\">http://x</td>\r\n"
      "</table>\r\n\r\n";
  EXPECT_EQ(TidyHTMLText(html),
            "<table border=\"1\" cellspacing=\"0\" cellpadding=\"0\"  width=\"100%\" "
            "target=\"_blank\">\r\n"
            "<td class=\"c2\" nowrap=\"nowrap\" target=\"_blank\"><a href=\"u1\" "
            "target=\"_blank\">150000</a></td>\r\n"
            "<td class=\"c1\" nowrap=\"nowrap\" target=\"_blank\" "
            "target=\"_blank\">http://x</td>\r\n"
            "</table>\r\n\r\n");
  // A lone LF inside a cell becomes CR LF.
  EXPECT_EQ(TidyHTMLText("a\nb\r\n"), "a\r\nb\r\n");
}

TEST(ExportTest, WritesTheTidiedGridAndReportsAFolderThatIsNotThere) {
  ResultGridModel grid(3, 2);
  grid.SetCells(1, 1, "a");
  grid.SetCells(2, 1, "1");
  grid.AddCheckBox(0, 1, true, false);
  grid.SetSaveWithHTML(false);
  testing::TempDir dir;
  const auto file = dir.File("out.csv");
  ExportCSV(grid, file);
  EXPECT_EQ(testing::ReadBytes(file), "\"\",\"\"\r\na,1\r\n");
  EXPECT_THROW(ExportHTML(grid, ResultGridModel::DefaultCellVisuals, dir.File("missing/out.html")),
               Error);
}

// An HTML export is sent to other people: its count links open the public results page
// and carry neither the API key nor the engine code, for either service, whatever the URL
// holds. The grid keeps its query URLs; a link with no public page is exported as its text.
TEST(ExportHTMLTest, CountLinksCarryNoKeyAndNoEngineCode) {
  const Credentials settings{"secret-key", "secret-cx", "", "http://127.0.0.1:8080"};
  const std::string google =
      SearchServiceNamed(kGoogleCustomSearch).QueryURL(QueryKind::Title, "red shoes", settings);
  const std::string serp =
      SearchServiceNamed(kSerpApi).QueryURL(QueryKind::Phrase, "salt & pepper", settings);
  const auto link = [](const std::string& url, const std::string& count) {
    return "<a href=\"" + url + "\">" + count + "</a>";
  };
  ResultGridModel grid(5, 3);
  grid.SetCells(1, 1, "red shoes");
  grid.SetCells(2, 1, link(serp, "12,345"));
  grid.SetCells(3, 1, link(google, "678"));
  grid.SetCells(4, 1, link("u1", "90"));
  grid.SetCells(2, 2, link("https://serpapi.com/search.json?q=\"red+shoes\"&api_key=secret", "5"));
  grid.SetCells(3, 2, link("https://gw.example/customsearch/v1?cx=secret-cx&key=secret", "6"));
  testing::TempDir dir;
  const auto file = dir.File("export.html");
  ExportHTML(grid, ResultGridModel::DefaultCellVisuals, file);

  const std::string html = testing::ReadBytes(file);
  EXPECT_EQ(html.find("secret"), std::string::npos);
  EXPECT_NE(html.find("<a href=\"https://www.google.com/search?q=salt+%26+pepper\" "
                      "target=\"_blank\">12,345</a>"),
            std::string::npos);
  EXPECT_NE(html.find("<a href=\"https://www.google.com/search?q=allintitle%3A+red+shoes\" "
                      "target=\"_blank\">678</a>"),
            std::string::npos);
  EXPECT_NE(html.find(">90</td>"), std::string::npos);
  EXPECT_NE(html.find("<a href=\"https://www.google.com/search?q=%22red+shoes%22\" "
                      "target=\"_blank\">5</a>"),
            std::string::npos);
  EXPECT_NE(html.find(">6</td>"), std::string::npos);
  EXPECT_EQ(html.find("u1"), std::string::npos);
  EXPECT_EQ(grid.Cells(3, 1), link(google, "678"));
}

// A project an earlier Kelvaro saved holds the key in every count link. Opened, its links
// lose the key (and nothing else), so the next save and both exports carry none; other
// cells, and links that are no query of a service, stay as they were.
TEST(DropLinkKeysTest, AnOldProjectsLinksLoseTheKeyOnOpen) {
  testing::TempDir dir;
  const std::string old_project = dir.File("old.csv");
  testing::WriteBytes(
      old_project,
      "\"\",Keyword,Quotes,Allintitle,Allinurl\r\n"
      "Y,red shoes,\"<a href=\"\"https://www.googleapis.com/customsearch/v1?q=red+shoes&cx=0:cx"
      "&hl=EN&lr=lang_en&key=AIzaSECRET\"\">150000</a>\",\"<a href=\"\"https://serpapi.com/"
      "search.json?engine=google&q=allintitle%3A+red+shoes&hl=en&lr=lang_en&api_key=SECRET\"\">"
      "678</a>\",\"<b>x</b> <a href=\"\"https://a.example/?key=mine\"\">1</a>\"\r\n");
  ResultGridModel grid(5, 2);
  grid.LoadCSV(old_project, -1);
  DropLinkKeys(grid);
  EXPECT_EQ(grid.Cells(1, 1), "red shoes");
  EXPECT_EQ(grid.Cells(2, 1),
            "<a href=\"https://www.googleapis.com/customsearch/v1?q=red+shoes&cx=0:cx&hl=EN"
            "&lr=lang_en\">150000</a>");
  EXPECT_EQ(grid.Cells(3, 1),
            "<a href=\"https://serpapi.com/search.json?engine=google&q=allintitle%3A+red+shoes"
            "&hl=en&lr=lang_en\">678</a>");
  EXPECT_EQ(grid.Cells(4, 1), "<b>x</b> <a href=\"https://a.example/?key=mine\">1</a>");

  const std::string saved = dir.File("saved.csv");
  grid.SetSaveWithHTML(true);
  grid.SaveCSV(saved);
  EXPECT_EQ(testing::ReadBytes(saved).find("SECRET"), std::string::npos);
  // The export still opens the same public results page.
  ExportHTML(grid, ResultGridModel::DefaultCellVisuals, dir.File("old.html"));
  EXPECT_NE(testing::ReadBytes(dir.File("old.html"))
                .find("<a href=\"https://www.google.com/search?q=red+shoes\" target=\"_blank\">"),
            std::string::npos);
}

}  // namespace
}  // namespace kelvaro::MainForm
