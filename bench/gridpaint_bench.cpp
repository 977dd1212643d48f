// Painting the results grid: a full viewport (about 40 rows) of a 100,000-row main grid
// with count links and the main window's colour handler, against a plain QTableWidget
// holding the same plain texts; and a scroll from top to bottom, counting the cells the
// grid paints and the model reads it makes. Offscreen.
//
//   build/<dir>/bench/gridpaint_bench
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QScrollBar>
#include <QTableWidget>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <string>

#include "grid/view/CellPainter.h"
#include "grid/view/GridCellDelegate.h"
#include "grid/view/TResultGrid.h"
#include "main/KeywordGrid.h"
#include "tests/support/qt/GridShapes.h"
#include "ui/TextConvert.h"

namespace kelvaro {
namespace {

constexpr int kDataRows = 100000;
constexpr int kVisibleRows = 40;
constexpr int kMiddleRow = kDataRows / 2;
const char* const kWords[] = {"red",   "blue",   "shoes", "cheap",  "buy",   "online", "best",
                              "hats",  "winter", "kids",  "summer", "sale",  "women",  "men",
                              "green", "socks",  "boots", "near",   "store", "leather"};

std::string Phrase(int row) {
  std::string phrase;
  const int words = 2 + row % 4;
  for (int k = 0; k < words; ++k) {
    if (k > 0) phrase += ' ';
    phrase += kWords[(row * 7 + k * 13) % 20];
  }
  return phrase;
}

std::string Count(int row, int col) {
  return std::to_string((static_cast<long long>(row) * 7919 + col * 104729) % 900000);
}

// A real query URL of about 150 characters, as the keyword worker writes it.
std::string QueryUrl(const std::string& phrase, int col) {
  std::string query;
  for (char c : phrase) query += c == ' ' ? std::string("+") : std::string(1, c);
  const char* prefix = col == 2 ? "%22" : col == 3 ? "allintitle:" : "allinurl:";
  return "https://www.googleapis.com/customsearch/v1?key=AIzaSyD-0123456789abcdefghijklmnopqrs"
         "&cx=017576662512468239146:omuauf_lfve&q=" +
         std::string(prefix) + query + (col == 2 ? "%22" : "");
}

void MainWindowColours(TResultGrid& grid, int row, int col, const GridDrawState&, QBrush& brush,
                       QFont&) {
  const auto colour = MainForm::CountCellColor(col, row, grid.Model().RawCells(col, row));
  if (colour) brush.setColor(QColor::fromRgb(*colour));
}

int ViewHeight() { return 18 + kVisibleRows * 18 + 4; }

// The grid's own delegate, counting the cells it paints and the highest row among them.
class CountingDelegate : public GridCellDelegate {
 public:
  using GridCellDelegate::GridCellDelegate;
  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    ++paint_calls;
    GridCellDelegate::paint(painter, option, index);
  }
  mutable long long paint_calls = 0;
};

// Passes the grid's table model through unchanged, counting the view's data reads.
class CountingModel : public QIdentityProxyModel {
 public:
  QVariant data(const QModelIndex& index, int role) const override {
    ++data_calls;
    return QIdentityProxyModel::data(index, role);
  }
  mutable long long data_calls = 0;
};

struct Grids {
  // The grid goes first, then the models and the delegate it read.
  std::unique_ptr<CountingModel> counting_model;
  std::unique_ptr<TResultGrid> grid;
  CountingDelegate* delegate = nullptr;
  std::unique_ptr<QTableWidget> plain;
};

// Made by the first benchmark that needs it; main() drops it before the application goes.
std::unique_ptr<Grids> g_grids;

Grids& Fixture() {
  if (!g_grids) {
    auto made_ptr = std::make_unique<Grids>();
    Grids& made = *made_ptr;
    made.grid = std::make_unique<TResultGrid>(testing::KeywordGridValues());
    TResultGrid& grid = *made.grid;
    made.delegate = new CountingDelegate(grid.Painter(), &grid);
    grid.setItemDelegate(made.delegate);
    made.counting_model = std::make_unique<CountingModel>();
    made.counting_model->setSourceModel(grid.model());
    grid.setModel(made.counting_model.get());
    grid.SetOnGetCellColor(MainWindowColours);
    ResultGridModel& model = grid.Model();
    model.BeginUpdate();
    model.SetRowCount(kDataRows + 1);
    for (int row = 1; row <= kDataRows; ++row) {
      const std::string phrase = Phrase(row);
      model.SetCells(1, row, phrase);
      for (int col = 2; col <= 4; ++col) {
        model.SetCells(col, row,
                       "<a href=\"" + QueryUrl(phrase, col) + "\">" + Count(row, col) + "</a>");
      }
      model.AddCheckBox(0, row, true, false);
    }
    model.EndUpdate();
    grid.resize(620, ViewHeight());
    grid.show();

    made.plain = std::make_unique<QTableWidget>(kDataRows, 5);
    QTableWidget& plain = *made.plain;
    plain.setHorizontalHeaderLabels({"", "Keyword", "Quotes", "Allintitle", "Allinurl"});
    plain.verticalHeader()->hide();
    plain.verticalHeader()->setMinimumSectionSize(1);
    plain.verticalHeader()->setDefaultSectionSize(18);
    plain.verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    plain.horizontalHeader()->setFixedHeight(18);
    const int widths[] = {20, 229, 100, 100, 100};
    for (int col = 0; col < 5; ++col) plain.setColumnWidth(col, widths[col]);
    plain.setFont(grid.GridFont());
    for (int row = 1; row <= kDataRows; ++row) {
      plain.setItem(row - 1, 0, new QTableWidgetItem(QString()));
      plain.setItem(row - 1, 1, new QTableWidgetItem(ToQString(Phrase(row))));
      for (int col = 2; col <= 4; ++col) {
        plain.setItem(row - 1, col, new QTableWidgetItem(ToQString(Count(row, col))));
      }
    }
    plain.resize(620, ViewHeight());
    plain.show();
    QApplication::processEvents();
    g_grids = std::move(made_ptr);
  }
  return *g_grids;
}

void ScrollTo(QAbstractItemView& view, int first_row) {
  view.verticalScrollBar()->setValue(first_row);
  QApplication::processEvents();
}

void BM_RepaintResultGrid(benchmark::State& state) {
  Grids& grids = Fixture();
  TResultGrid& grid = *grids.grid;
  ScrollTo(grid, kMiddleRow);
  grids.delegate->paint_calls = 0;
  long long frames = 0;
  for (auto _ : state) {
    grid.viewport()->repaint();
    ++frames;
  }
  state.counters["cells_per_frame"] =
      static_cast<double>(grids.delegate->paint_calls) / static_cast<double>(frames);
}
BENCHMARK(BM_RepaintResultGrid)->Unit(benchmark::kMicrosecond)->MinTime(2.0);

void BM_RepaintPlainTableWidget(benchmark::State& state) {
  QTableWidget& plain = *Fixture().plain;
  ScrollTo(plain, kMiddleRow);
  for (auto _ : state) plain.viewport()->repaint();
}
BENCHMARK(BM_RepaintPlainTableWidget)->Unit(benchmark::kMicrosecond)->MinTime(2.0);

// Page by page from the first row to the last, each page painted once.
void BM_ScrollResultGridTopToBottom(benchmark::State& state) {
  Grids& grids = Fixture();
  TResultGrid& grid = *grids.grid;
  long long frames = 0;
  long long most_cells = 0;
  long long data_reads = 0;
  double seconds = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    const long long reads_before = grids.counting_model->data_calls;
    for (int first = 0; first < kDataRows; first += kVisibleRows) {
      grid.verticalScrollBar()->setValue(first);
      grids.delegate->paint_calls = 0;
      grid.viewport()->repaint();
      most_cells = std::max(most_cells, grids.delegate->paint_calls);
      ++frames;
    }
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    data_reads += grids.counting_model->data_calls - reads_before;
  }
  state.counters["frames"] = static_cast<double>(frames);
  state.counters["most_cells_in_a_frame"] = static_cast<double>(most_cells);
  state.counters["visible_cells"] = (kVisibleRows + 1) * 5;
  state.counters["model_data_reads"] = static_cast<double>(data_reads);
  state.counters["us_per_frame"] = seconds * 1e6 / static_cast<double>(frames);
}
BENCHMARK(BM_ScrollResultGridTopToBottom)->Unit(benchmark::kMillisecond)->Iterations(1);

// Keeps the per-iteration times so the ratio can be printed at the end.
class PaintRatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      times_[run.run_name.function_name] = {run.GetAdjustedRealTime(), run.GetAdjustedCPUTime()};
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    const auto grid = times_.find("BM_RepaintResultGrid");
    const auto plain = times_.find("BM_RepaintPlainTableWidget");
    if (grid != times_.end() && plain != times_.end() && plain->second.real > 0 &&
        plain->second.cpu > 0) {
      std::printf(
          "Full-viewport repaint per frame: results grid %.0f us real / %.0f us CPU, "
          "plain QTableWidget %.0f us real / %.0f us CPU; ratio %.2f real, %.2f CPU "
          "(target at most 3)\n",
          grid->second.real, grid->second.cpu, plain->second.real, plain->second.cpu,
          grid->second.real / plain->second.real, grid->second.cpu / plain->second.cpu);
    }
  }

 private:
  struct PaintTimes {
    double real;
    double cpu;
  };
  std::map<std::string, PaintTimes> times_;
};

}  // namespace
}  // namespace kelvaro

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  kelvaro::PaintRatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  kelvaro::g_grids.reset();  // widgets go while the application still exists
  return 0;
}
