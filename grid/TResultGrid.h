#pragma once

#include <QBrush>
#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QTableView>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "grid/MarkupRenderer.h"
#include "grid/ResultGridModel.h"

class QPainter;

namespace kelvaro {

class GridCellDelegate;
class GridHeaderView;
class GridTableModel;
class TResultGrid;

// The flags of a cell whose look is computed: a header cell, the focused cell, a cell
// in the (never painted) selection.
struct GridDrawState {
  bool fixed = false;
  bool focused = false;
  bool selected = false;
};

// OnGetCellColor(Sender, ARow, ACol, AState, ABrush, AFont): asked for every cell that
// is painted (header cells included), measured or written to the HTML document. The
// brush and font hold the grid's defaults for the cell on entry; what the handler
// leaves in them is used (only the brush's colour counts).
using GetCellColorEvent = std::function<void(
    TResultGrid& sender, int row, int col, const GridDrawState& state, QBrush& brush, QFont& font)>;

// What a cell looks like, after OnGetCellColor.
struct CellAppearance {
  QFont font;
  QColor text_color;
  QColor background;
  QColor gradient_end;  // header cells: the fill runs from background to this; else invalid
};

// The values a grid is created with: column count, row count (header included), the
// column titles of row 0 ("\n" in a title becomes a CR) and the column widths.
struct GridCreationValues {
  int col_count = 1;
  int row_count = 2;
  std::vector<std::string> column_headers;
  std::vector<int> col_widths;
};

// The main window's keyword grid and the Deep Analysis window's top-results grid.
GridCreationValues MainGridCreationValues();
GridCreationValues DeepAnalysisGridCreationValues();

// The results grid of both windows: a table over one ResultGridModel with the header
// row 0 on top, per-cell check boxes, cells holding plain text or a small markup subset
// (bold, links), links that open in the web browser, right-click editing of link cells,
// in-place editing and column auto-size. Cells are addressed (col, row), row 0 being
// the header. Every change made to Model() directly (the workers' steps do that) shows
// at once. GUI thread only.
class TResultGrid : public QTableView {
  Q_OBJECT

 public:
  static constexpr int kCheckSize = 15;  // check boxes are this square, at 2,2 in the cell
  static constexpr int kTextInset = 2;   // text starts this far inside the cell

  explicit TResultGrid(const GridCreationValues& values, QWidget* parent = nullptr);
  ~TResultGrid() override;

  ResultGridModel& Model() { return *model_; }
  const ResultGridModel& Model() const { return *model_; }

  // The main window attaches its colour handler here; an empty function detaches it.
  void SetOnGetCellColor(GetCellColorEvent handler);

  // The model's operations, with the model's meaning.
  const std::string& Cells(int col, int row) const { return model_->Cells(col, row); }
  void SetCells(int col, int row, const std::string& text) { model_->SetCells(col, row, text); }
  const std::string& RawCells(int col, int row) const { return model_->RawCells(col, row); }
  int RowCount() const { return model_->RowCount(); }
  void SetRowCount(int n) { model_->SetRowCount(n); }
  int ColCount() const { return model_->ColCount(); }
  int ColWidths(int col) const { return model_->ColWidths(col); }
  void SetColWidths(int col, int width) { model_->SetColWidths(col, width); }
  void AddRow() { model_->AddRow(); }
  void RemoveRows(int start, int count) { model_->RemoveRows(start, count); }
  // Throws kelvaro::Error ("Invalid cell") outside the grid.
  void AddCheckBox(int col, int row, bool checked, bool state_in_text) {
    model_->AddCheckBox(col, row, checked, state_in_text);
  }
  void RemoveCheckBox(int col, int row) { model_->RemoveCheckBox(col, row); }
  bool IsChecked(int col, int row) const { return model_->IsChecked(col, row); }
  void ToggleCheck(int col, int row) { model_->ToggleCheck(col, row); }
  // Painting stops at the first BeginUpdate; the last EndUpdate repaints once.
  void BeginUpdate() { model_->BeginUpdate(); }
  void EndUpdate() { model_->EndUpdate(); }
  bool SaveWithHTML() const { return model_->SaveWithHTML(); }
  void SetSaveWithHTML(bool on) { model_->SetSaveWithHTML(on); }
  bool AutoSizeGrowOnly() const { return model_->AutoSizeGrowOnly(); }
  void SetAutoSizeGrowOnly(bool on) { model_->SetAutoSizeGrowOnly(on); }
  // Throw kelvaro::Error with the user-facing text.
  void SaveCSV(const std::string& file_name) const { model_->SaveCSV(file_name); }
  void LoadCSV(const std::string& file_name, int max_rows) { model_->LoadCSV(file_name, max_rows); }
  // Writes the HTML document with every cell's look as painting computes it (header
  // background the button-face colour). Throws kelvaro::Error.
  void SaveHTML(const std::string& file_name);

  // The look of a cell: header cells the header font on a white to button-face
  // gradient, data cells the grid font on the window colour; then OnGetCellColor.
  CellAppearance CellVisuals(int col, int row, const GridDrawState& state);
  // Width and height in pixels of the cell's text as painted (markup + 2 pixels each
  // way, plain text up to its first CR with the height of one line; empty 0 x 0).
  QSize CellTextSize(int col, int row);
  // Fits the column to its widest cell, header included: check box + text + 8. With
  // AutoSizeGrowOnly a column is never narrowed. A non-zero extra is added afterwards.
  void AutoSizeColumn(int col, int extra);

  QFont GridFont() const { return grid_font_; }
  QFont FixedFont() const { return fixed_font_; }

  // True while a cell's in-place editor is open.
  bool IsEditing() const { return state() == QAbstractItemView::EditingState; }

  // The URL a left click at `pos` (viewport coordinates) opens, or nullptr.
  const std::string* LinkAt(const QPoint& pos);

  // Parts of the grid's own painting, used by its delegate and header.
  void PaintDataCell(QPainter& painter, const QRect& rect, int col, int row,
                     const GridDrawState& state);
  void PaintHeaderCell(QPainter& painter, const QRect& rect, int col, bool pressed);
  // Shows the hint of cell (col, row) painted at `rect` in `widget`, or hides the hint
  // when the cell's text fits (or col is -1).
  void ShowCellHint(int col, int row, const QRect& rect, QWidget* widget);
  // The hint text of a cell, empty when its text fits a cell of `cell_size`.
  QString CellHint(int col, int row, const QSize& cell_size);

  GridTableModel& TableModel() { return *table_model_; }
  GridCellDelegate& Delegate() { return *delegate_; }
  GridHeaderView& Header() { return *header_; }

  // The colours of the grid's lines and links.
  static QColor GridLineColor() { return QColor(192, 192, 192); }
  static QColor GridFixedLineColor() { return QColor(128, 128, 128); }
  static QColor URLColor() { return QColor(0, 0, 255); }

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
  void CloseOpenEditor();
  void UpdateCursor(const QPoint& pos);
  void ApplyColumnWidth(int col);
  void ApplyAllColumnWidths();
  void SetUpdatesSuspended(bool suspended);
  QPoint TextOrigin(const QRect& rect, bool has_box) const;
  void PaintContent(QPainter& painter, const QRect& rect, const QPoint& origin, int col, int row,
                    const CellAppearance& look);
  const QPixmap& CheckPixmap(bool checked, qreal device_pixel_ratio);
  const std::string* LinkAtCell(int col, int row, const QRect& rect, const QPoint& pos);

  std::unique_ptr<ResultGridModel> model_;
  GridTableModel* table_model_ = nullptr;
  GridCellDelegate* delegate_ = nullptr;
  GridHeaderView* header_ = nullptr;
  GetCellColorEvent on_get_cell_color_;
  QFont grid_font_;
  QFont fixed_font_;
  MarkupRenderer markup_;
  QPixmap check_pixmaps_[2];
  bool applying_width_ = false;
  bool swallow_release_ = false;
  bool hand_cursor_ = false;
};

}  // namespace kelvaro
