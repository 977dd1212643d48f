#include "grid/GridHeaderView.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>

#include "grid/TResultGrid.h"

namespace kelvaro {
namespace {

// A double-click this close to a border auto-sizes a column.
constexpr int kAutoSizeMargin = 3;

int EventX(const QMouseEvent* event) { return event->position().toPoint().x(); }

}  // namespace

GridHeaderView::GridHeaderView(TResultGrid& grid)
    : QHeaderView(Qt::Horizontal, &grid), grid_(grid) {
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
  return QSize(QHeaderView::sizeHint().width(), grid_.Model().RowHeights(0));
}

void GridHeaderView::paintSection(QPainter* painter, const QRect& rect, int logical_index) const {
  if (!rect.isValid()) return;
  grid_.PaintHeaderCell(*painter, rect, logical_index, logical_index == pressed_section_);
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
  if (event->button() == Qt::LeftButton && !OnResizeHandle(EventX(event))) {
    SetPressed(logicalIndexAt(EventX(event)));
  }
  QHeaderView::mousePressEvent(event);
}

void GridHeaderView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) SetPressed(-1);
  QHeaderView::mouseReleaseEvent(event);
}

void GridHeaderView::mouseDoubleClickEvent(QMouseEvent* event) {
  // Qt's own double-click would fit the column to its visible rows only; the grid
  // measures every row. A double-click elsewhere is a second press.
  if (event->button() != Qt::LeftButton) return;
  const int column = AutoSizeColumnAt(EventX(event));
  if (column >= 0) {
    grid_.AutoSizeColumn(column, 0);
  } else if (!OnResizeHandle(EventX(event))) {
    SetPressed(logicalIndexAt(EventX(event)));
  }
  event->accept();
}

bool GridHeaderView::viewportEvent(QEvent* event) {
  if (event->type() == QEvent::ToolTip) {
    const auto* help = static_cast<QHelpEvent*>(event);
    const int section = logicalIndexAt(help->pos());
    QRect rect;
    if (section >= 0) {
      rect = QRect(sectionViewportPosition(section), 0, sectionSize(section), height());
    }
    grid_.ShowCellHint(section, 0, rect, viewport());
    return true;
  }
  return QHeaderView::viewportEvent(event);
}

}  // namespace kelvaro
