#pragma once

#include <QHeaderView>
#include <functional>

namespace kelvaro {

class CellPainter;

// The grid's header row 0, painted by the grid's look. A cell looks pressed while the
// mouse button is held on it; a click (press and release on the same cell, away from its
// borders) is reported to the click handler. Dragging a border resizes the column to its
// left; a double-click within 3 pixels of a border auto-sizes that column and is no click.
// The sort column shows an arrow: up for ascending, down for descending.
class GridHeaderView : public QHeaderView {
  Q_OBJECT

 public:
  GridHeaderView(CellPainter& painter, QWidget* parent);

  void SetClickHandler(std::function<void(int col)> handler) { on_click_ = std::move(handler); }
  void SetAutoSizeHandler(std::function<void(int col)> handler) {
    on_auto_size_ = std::move(handler);
  }

  // The column whose cell is drawn pressed, -1 for none.
  int PressedSection() const { return pressed_section_; }

  // The column a double-click at x (viewport coordinates) auto-sizes, -1 for none.
  int AutoSizeColumnAt(int x) const;

  // The arrow shown in `col` (-1: none).
  void ShowSortArrow(int col, bool ascending);
  int SortArrowColumn() const { return arrow_column_; }

  QSize sizeHint() const override;

 protected:
  void paintSection(QPainter* painter, const QRect& rect, int logical_index) const override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  bool viewportEvent(QEvent* event) override;

 private:
  // True when x is on a border that Qt's resizing takes.
  bool OnResizeHandle(int x) const;
  // The column a press at x makes pressed: none on or near a border.
  int ClickableSectionAt(int x) const;
  void SetPressed(int section);

  CellPainter& painter_;
  std::function<void(int)> on_click_;
  std::function<void(int)> on_auto_size_;
  int pressed_section_ = -1;
  int arrow_column_ = -1;
  bool arrow_ascending_ = true;
};

}  // namespace kelvaro
