#pragma once

#include <QBrush>
#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QSize>
#include <QString>
#include <functional>
#include <string>

#include "grid/CellVisuals.h"
#include "grid/view/MarkupRenderer.h"

class QPainter;
class QPoint;
class QRect;
class QWidget;

namespace kelvaro {

class ResultGridModel;

// The flags of a cell whose look is computed: a header cell, the focused cell, a cell
// in the (never painted) selection.
struct GridDrawState {
  bool fixed = false;
  bool focused = false;
  bool selected = false;
};

// Computes each cell's CellVisuals and paints the cells of one grid: fonts, colours,
// check-box pictures and the markup layout, shared by the grid's delegate (data cells), its header
// view (row 0) and the grid itself (measuring, hit-testing links, hints). It reads the cell store
// and takes its palette and style from `widget`. GUI thread only.
class CellPainter {
 public:
  static constexpr int kCheckSize = 15;  // check boxes are this square, at 2,2 in the cell
  static constexpr int kTextInset = 2;   // text starts this far inside the cell
  static constexpr int kGridLineWidth = 1;

  // Asked for every cell whose look is computed, with (row, col) and the defaults in the
  // brush and font; what it leaves there is used (only the brush's colour counts).
  using ColorHook =
      std::function<void(int row, int col, const GridDrawState& state, QBrush& brush, QFont& font)>;

  CellPainter(const ResultGridModel& model, const QWidget& widget);

  const ResultGridModel& Model() const { return model_; }
  void SetColorHook(ColorHook hook) { color_hook_ = std::move(hook); }

  QFont GridFont() const { return grid_font_; }
  QFont FixedFont() const { return fixed_font_; }

  // Header cells the header font on a white to button-face gradient, data cells the grid
  // font on the window colour; then the colour hook.
  CellVisuals Visuals(int col, int row, const GridDrawState& state) const;
  // Width and height in pixels of the cell's text as painted (markup + 2 pixels each way,
  // plain text up to its first CR with the height of one line; empty 0 x 0).
  QSize CellTextSize(int col, int row);

  // `has_focus`: the grid has the input focus (the focused cell gets a dotted frame).
  void PaintDataCell(QPainter& painter, const QRect& rect, int col, int row,
                     const GridDrawState& state, bool has_focus);
  void PaintHeaderCell(QPainter& painter, const QRect& rect, int col, bool pressed);

  // The URL a click at `pos` opens in cell (col, row) painted at `rect`, or nullptr.
  const std::string* LinkAtCell(int col, int row, const QRect& rect, const QPoint& pos);
  // The hint text of a cell: its whole text when that does not fit a cell of `cell_size`,
  // then the model's own hint for the cell; empty when there is neither.
  QString CellHint(int col, int row, const QSize& cell_size);
  // Shows the hint of cell (col, row) painted at `rect` in `widget`, or hides the hint
  // when the cell has none (or col is -1).
  void ShowCellHint(int col, int row, const QRect& rect, QWidget* widget);

  // The check-box pictures are drawn again after a style or palette change.
  void ForgetPictures();

  // The colours of the grid's lines and links.
  static QColor GridLineColor() { return QColor(192, 192, 192); }
  static QColor GridFixedLineColor() { return QColor(128, 128, 128); }
  static QColor URLColor() { return QColor(0, 0, 255); }

 private:
  // The cell's whole text as a hint when it does not fit a cell of `cell_size`, else empty.
  QString ClippedTextHint(int col, int row, const QSize& cell_size);
  QPoint TextOrigin(const QRect& rect, bool has_box) const;
  // The font and background of a cell after the colour hook.
  QFont HookedFont(int col, int row, const GridDrawState& state, QColor* background) const;
  QColor TextColor() const;
  void PaintContent(QPainter& painter, const QRect& rect, const QPoint& origin, int col, int row,
                    const QFont& font);
  const QPixmap& CheckPixmap(bool checked, qreal device_pixel_ratio);

  const ResultGridModel& model_;
  const QWidget& widget_;
  ColorHook color_hook_;
  QFont grid_font_;
  QFont fixed_font_;
  MarkupRenderer markup_;
  QPixmap check_pixmaps_[2];
};

}  // namespace kelvaro
