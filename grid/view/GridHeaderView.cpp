#include "grid/view/GridHeaderView.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPolygon>
#include <QStyle>

#include "grid/ResultGridModel.h"
#include "grid/view/CellPainter.h"
#include "ui/HandlerGuard.h"

namespace kelvaro {
namespace {

// A double-click this close to a border auto-sizes a column.
constexpr int kAutoSizeMargin = 3;

int EventX(const QMouseEvent* event) { return event->position().toPoint().x(); }

}  // namespace

GridHeaderView::GridHeaderView(CellPainter& painter, QWidget* parent)
    : QHeaderView(Qt::Horizontal, parent), painter_(painter) {
  setSectionsClickable(false);
  setSectionsMovable(false);
  setSortIndicatorShown(false);
  setHighlightSections(false);
  setStretchLastSection(false);
  setSectionResizeMode(QHeaderView::Interactive);
  setMinimumSectionSize(4);
  setDefaultAlignment(Qt::AlignLeft | Qt::AlignTop);
}

QSize GridHeaderView::sizeHint() const {
  return QSize(QHeaderView::sizeHint().width(), painter_.Model().RowHeights(0));
}

void GridHeaderView::paintSection(QPainter* painter, const QRect& rect, int logical_index) const {
  if (!rect.isValid()) return;
  painter_.PaintHeaderCell(*painter, rect, logical_index, logical_index == pressed_section_);
  if (logical_index != arrow_column_) return;
  // A small filled triangle at the right end of the cell, clear of the border.
  const int half = 4;
  const int x = rect.right() - 6 - half;
  const int y = rect.center().y();
  QPolygon arrow;
  if (arrow_ascending_) {
    arrow << QPoint(x - half, y + 2) << QPoint(x + half, y + 2) << QPoint(x, y - 2);
  } else {
    arrow << QPoint(x - half, y - 2) << QPoint(x + half, y - 2) << QPoint(x, y + 2);
  }
  painter->save();
  painter->setRenderHint(QPainter::Antialiasing);
  painter->setPen(Qt::NoPen);
  painter->setBrush(CellPainter::GridFixedLineColor());
  painter->drawPolygon(arrow);
  painter->restore();
}

void GridHeaderView::ShowSortArrow(int col, bool ascending) {
  if (col == arrow_column_ && ascending == arrow_ascending_) return;
  const int old_column = arrow_column_;
  arrow_column_ = col;
  arrow_ascending_ = ascending;
  if (old_column >= 0) updateSection(old_column);
  if (col >= 0) updateSection(col);
}

int GridHeaderView::ClickableSectionAt(int x) const {
  if (OnResizeHandle(x) || AutoSizeColumnAt(x) >= 0) return -1;
  return logicalIndexAt(x);
}

bool GridHeaderView::OnResizeHandle(int x) const {
  // The same test Qt's header uses to start a resize drag.
  int visual = visualIndexAt(x);
  if (visual == -1) return false;
  const int logical = logicalIndex(visual);
  const int start = sectionViewportPosition(logical);
  const int grip = style()->pixelMetric(QStyle::PM_HeaderGripMargin, nullptr, this);
  if (x < start + grip) {
    while (visual > 0) {
      if (!isSectionHidden(logicalIndex(--visual))) return true;
    }
    return false;
  }
  return x > start + sectionSize(logical) - grip;
}

int GridHeaderView::AutoSizeColumnAt(int x) const {
  const int visual = visualIndexAt(x);
  if (visual == -1) {
    // Right of the last column: its right border counts too.
    if (count() == 0) return -1;
    const int last = logicalIndex(count() - 1);
    const int right = sectionViewportPosition(last) + sectionSize(last);
    return (x >= right && x - right < kAutoSizeMargin) ? last : -1;
  }
  const int logical = logicalIndex(visual);
  const int left = sectionViewportPosition(logical);
  const int right = left + sectionSize(logical);
  if (x - left < kAutoSizeMargin) return visual > 0 ? logicalIndex(visual - 1) : -1;
  if (right - x <= kAutoSizeMargin) return logical;
  return -1;
}

void GridHeaderView::SetPressed(int section) {
  if (section == pressed_section_) return;
  const int old_section = pressed_section_;
  pressed_section_ = section;
  if (old_section >= 0) updateSection(old_section);
  if (section >= 0) updateSection(section);
}

void GridHeaderView::mousePressEvent(QMouseEvent* event) {
  RunHandler([&] {
    if (event->button() == Qt::LeftButton) SetPressed(ClickableSectionAt(EventX(event)));
    QHeaderView::mousePressEvent(event);
  });
}

void GridHeaderView::mouseReleaseEvent(QMouseEvent* event) {
  RunHandler([&] {
    if (event->button() == Qt::LeftButton) {
      const int pressed = pressed_section_;
      SetPressed(-1);
      QHeaderView::mouseReleaseEvent(event);
      if (pressed >= 0 && ClickableSectionAt(EventX(event)) == pressed && on_click_) {
        on_click_(pressed);
      }
      return;
    }
    QHeaderView::mouseReleaseEvent(event);
  });
}

void GridHeaderView::mouseDoubleClickEvent(QMouseEvent* event) {
  RunHandler([&] {
    // Qt's own double-click would fit the column to its visible rows only; the grid
    // measures every row. A double-click elsewhere is a second press.
    if (event->button() != Qt::LeftButton) return;
    const int column = AutoSizeColumnAt(EventX(event));
    if (column >= 0) {
      if (on_auto_size_) on_auto_size_(column);
    } else {
      SetPressed(ClickableSectionAt(EventX(event)));
    }
    event->accept();
  });
}

bool GridHeaderView::viewportEvent(QEvent* event) {
  bool handled = false;
  RunHandler([&] {
    if (event->type() == QEvent::ToolTip) {
      const auto* help = static_cast<QHelpEvent*>(event);
      const int section = logicalIndexAt(help->pos());
      QRect rect;
      if (section >= 0) {
        rect = QRect(sectionViewportPosition(section), 0, sectionSize(section), height());
      }
      painter_.ShowCellHint(section, 0, rect, viewport());
      handled = true;
      return;
    }
    handled = QHeaderView::viewportEvent(event);
  });
  return handled;
}

}  // namespace kelvaro
