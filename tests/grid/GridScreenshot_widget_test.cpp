// Takes docs/grid.png: the main grid as the keyword run leaves it. Runs only when
// KELVARO_GRID_SCREENSHOT names the picture file (scripts/screenshot-grid does that
// under a virtual X server); otherwise it is skipped.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPixmap>
#include <QScreen>
#include <QTest>
#include <cstdlib>
#include <string>

#include "grid/TResultGrid.h"

namespace kelvaro {
namespace {

// The main window's colours by count: green, yellow, red by column thresholds.
void CountColour(TResultGrid& grid, int row, int col, const GridDrawState&, QBrush& brush,
                 QFont&) {
  if (row <= 0 || col < 2 || col > 4) return;
  std::string digits;
  bool in_tag = false;
  for (char c : grid.RawCells(col, row)) {
    if (c == '<') in_tag = true;
    if (!in_tag && c >= '0' && c <= '9') digits += c;
    if (c == '>') in_tag = false;
  }
  if (digits.empty()) return;
  const long long value = std::stoll(digits);
  const long long green_below = col == 2 ? 200000 : 10000;
  const long long yellow_below = col == 2 ? 600000 : 50000;
  brush.setColor(value < green_below    ? QColor(0, 255, 0)
                 : value < yellow_below ? QColor(255, 255, 0)
                                        : QColor(255, 60, 60));
}

std::string Link(const std::string& query, const std::string& count) {
  return "<a href=\"https://www.googleapis.com/customsearch/v1?q=" + query + "\">" + count +
         "</a>";
}

TEST(GridScreenshot, MainGrid) {
  const char* file = std::getenv("KELVARO_GRID_SCREENSHOT");
  if (file == nullptr) GTEST_SKIP() << "KELVARO_GRID_SCREENSHOT not set";

  TResultGrid grid(MainGridCreationValues());
  grid.SetOnGetCellColor(CountColour);
  grid.resize(560, 150);
  struct Row {
    const char* keyword;
    const char* quotes;
    const char* title;
    const char* url;
    bool ticked;
  };
  const Row rows[] = {{"red shoes", "150000", "20000", "60000", true},
                      {"blue hats", "700000", "5000", "12000", true},
                      {"<b>green socks</b>", "420000", "75000", "3000", false},
                      {"yellow raincoat & boots", "95000", "48000", "51000", true}};
  int row = 1;
  for (const Row& r : rows) {
    if (row > 1) grid.AddRow();
    grid.SetCells(1, row, r.keyword);
    grid.SetCells(2, row, Link("q" + std::to_string(row), r.quotes));
    grid.SetCells(3, row, Link("t" + std::to_string(row), r.title));
    grid.SetCells(4, row, Link("u" + std::to_string(row), r.url));
    grid.AddCheckBox(0, row, r.ticked, false);
    ++row;
  }
  grid.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));
  grid.activateWindow();
  grid.setFocus();
  grid.setCurrentIndex(grid.model()->index(1, 1));
  QTest::qWait(300);
  QPixmap picture = grid.screen()->grabWindow(grid.winId());
  if (picture.isNull()) picture = grid.grab();
  ASSERT_TRUE(picture.save(QString::fromLocal8Bit(file), "PNG"));
}

}  // namespace
}  // namespace kelvaro
