// Clear Checked on a 100,000-row main grid with every other row ticked: the rows go in one
// pass, with the grid widget shown over the model (offscreen), and the numbering follows.
//
//   build/<dir>/bench/clearchecked_bench
#include <benchmark/benchmark.h>

#include <QApplication>
#include <memory>
#include <string>

#include "grid/view/TResultGrid.h"
#include "main/KeywordGrid.h"
#include "tests/support/qt/GridShapes.h"

namespace kelvaro {
namespace {

constexpr int kDataRows = 100000;

void Fill(ResultGridModel& model) {
  model.BeginUpdate();
  model.SetRowCount(kDataRows + 1);
  for (int row = 1; row <= kDataRows; ++row) {
    model.SetCells(1, row, "phrase " + std::to_string(row));
    model.SetCells(3, row,
                   "<a href=\"https://x/?q=" + std::to_string(row) + "\">" +
                       std::to_string(row * 7 % 90000) + "</a>");
    model.AddCheckBox(0, row, row % 2 == 0, false);
  }
  model.EndUpdate();
}

void BM_ClearCheckedHalfOf100000Rows(benchmark::State& state) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  int argc = 1;
  char name[] = "clearchecked_bench";
  char* argv[] = {name, nullptr};
  const QApplication app(argc, argv);  // outlives the grid below
  TResultGrid grid(testing::KeywordGridValues());
  grid.resize(620, 400);
  grid.show();
  for (auto _ : state) {
    state.PauseTiming();
    Fill(grid.Model());
    QApplication::processEvents();
    state.ResumeTiming();
    ResultGridModel& model = grid.Model();
    model.BeginUpdate();
    MainForm::ClearCheckedRows(model, true);
    model.EndUpdate();
    MainForm::ClearCheckedRows(model, false);
    QApplication::processEvents();
  }
  if (grid.Model().RowCount() != kDataRows / 2 + 1) state.SkipWithError("wrong row count");
}
BENCHMARK(BM_ClearCheckedHalfOf100000Rows)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
}  // namespace kelvaro

BENCHMARK_MAIN();
