#pragma once

#include <QBrush>
#include <QFont>
#include <QTableView>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "grid/ResultGridModel.h"
#include "grid/view/CellPainter.h"

namespace kelvaro {

class GridCellDelegate;
class GridHeaderView;
class GridTableModel;
class TResultGrid;

// OnGetCellColor(Sender, ARow, ACol, AState, ABrush, AFont): asked for every cell that
// is painted (header cells included), measured or written to the HTML document. The
// brush and font hold the grid's defaults for the cell on entry; what the handler
// leaves in them is used (only the brush's colour counts).
using GetCellColorEvent = std::function<void(
    TResultGrid& sender, int row, int col, const GridDrawState& state, QBrush& brush, QFont& font)>;

// Asked before a header click sorts by `col`; false refuses the sort (the grid stays as
// it is).
using SortRequestEvent = std::function<bool(int col)>;

// The values a grid is created with: column count, row count (header included), the
// column titles of row 0 (each two-character backslash-n sequence in a title becomes a
// CR) and the column widths.
struct GridCreationValues {
  int col_count = 1;
  int row_count = 2;
  std::vector<std::string> column_headers;
  std::vector<int> col_widths;
  // Sorted as text whatever it holds: the phrases' column in both windows.
  int text_sort_column = 1;
};

// The results grid of both windows: a table over one ResultGridModel with the header
// row 0 on top, per-cell check boxes, cells holding plain text or a small markup subset
// (bold, links), links that open in the web browser, right-click editing of link cells,
// in-place editing and column auto-size. Cells are addressed (col, row), row 0 being
// the header. Every change made to Model() directly (the workers' steps do that) shows
// at once. Its delegate paints the data cells and its header view the header row, both
// with the grid's Painter(); the grid itself handles input, hints and auto-size. A grid can
// sort its data rows by a header click and tick all boxes by a click on the check
// column's header; both are off until switched on. GUI thread only.
class TResultGrid : public QTableView {
  Q_OBJECT

 public:
  static constexpr int kCheckSize = CellPainter::kCheckSize;
  static constexpr int kTextInset = CellPainter::kTextInset;
  static constexpr int kCheckColumn = 0;  // the column of the rows' check boxes

  explicit TResultGrid(const GridCreationValues& values, QWidget* parent = nullptr);
  ~TResultGrid() override;

  ResultGridModel& Model() { return *model_; }
  const ResultGridModel& Model() const { return *model_; }

  // The main window attaches its colour handler here; an empty function detaches it.
  void SetOnGetCellColor(GetCellColorEvent handler);

  // Sorting: a click on the header of a column other than the check column sorts the data
  // rows by it, ascending; a second click on the same header reverses the order. The
  // request handler, when set, may refuse a click (for example while a run appends rows).
  void SetSortable(bool on);
  bool Sortable() const { return sortable_; }
  void SetOnSortRequest(SortRequestEvent handler) { on_sort_request_ = std::move(handler); }
  // Sorts as a header click does (the request handler is not asked): the arrow moves to
  // `col`.
  void SortByColumn(int col, bool ascending);
  // The column the rows were last sorted by (-1: none since the rows last changed
  // otherwise) and its direction.
  int SortColumn() const;
  bool SortAscending() const { return sort_ascending_; }
  // Tick all: a click on the check column's header ticks every data row's box, or unticks
  // them all when all are ticked.
  void SetTickAllOnHeaderClick(bool on) { tick_all_ = on; }

  // Every cell's look as painting computes it, for the HTML document (header background
  // the button-face colour). The function holds the grid's current colours and fonts and
  // reads the cells when called, so it must not outlive the grid.
  CellVisualsFunction HTMLVisuals();
  // Writes the HTML document with HTMLVisuals(). Throws kelvaro::Error.
  void SaveHTML(const std::string& file_name);

  // The look of a cell and the size of its text, as painting computes them.
  CellVisuals Visuals(int col, int row, const GridDrawState& state) const {
    return painter_.Visuals(col, row, state);
  }
  QSize CellTextSize(int col, int row) { return painter_.CellTextSize(col, row); }
  // Fits the column to its widest cell, header included: check box + text + 8. With
  // AutoSizeGrowOnly a column is never narrowed. A non-zero extra is added afterwards.
  void AutoSizeColumn(int col, int extra);

  QFont GridFont() const { return painter_.GridFont(); }
  QFont FixedFont() const { return painter_.FixedFont(); }

  // Read-only: an open editor is closed and no cell can be edited; scrolling, selection,
  // check boxes and links still work.
  void SetReadOnly(bool on);

  // True while a cell's in-place editor is open.
  bool IsEditing() const { return state() == QAbstractItemView::EditingState; }

  // The URL a left click at `pos` (viewport coordinates) opens, or nullptr.
  const std::string* LinkAt(const QPoint& pos);

  CellPainter& Painter() { return painter_; }
  GridTableModel& TableModel() { return *table_model_; }
  GridCellDelegate& Delegate() { return *delegate_; }
  GridHeaderView& Header() { return *header_; }

 signals:
  // A line for the window's status bar (why a clicked link opened nothing).
  void StatusMessage(const QString& text);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool viewportEvent(QEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  // Check boxes, links and right-click editing; true when the press is one of these
  // (and, with `act`, after doing it).
  bool HandleCellPress(QMouseEvent* event, bool act);
  void HeaderClicked(int col);
  void CloseOpenEditor();
  void UpdateCursor(const QPoint& pos);
  void ApplyColumnWidth(int col);
  void ApplyAllColumnWidths();
  void SetUpdatesSuspended(bool suspended);

  std::unique_ptr<ResultGridModel> model_;
  CellPainter painter_;
  GridTableModel* table_model_ = nullptr;
  GridCellDelegate* delegate_ = nullptr;
  GridHeaderView* header_ = nullptr;
  SortRequestEvent on_sort_request_;
  bool sortable_ = false;
  bool tick_all_ = false;
  int text_sort_column_ = -1;
  bool sort_ascending_ = true;
  bool applying_width_ = false;
  bool swallow_release_ = false;
  bool hand_cursor_ = false;
};

}  // namespace kelvaro
