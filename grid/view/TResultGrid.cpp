#include "grid/view/TResultGrid.h"

#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QToolTip>
#include <algorithm>
#include <cmath>

#include "grid/CellMarkup.h"
#include "grid/view/GridCellDelegate.h"
#include "grid/view/GridHeaderView.h"
#include "grid/view/GridTableModel.h"
#include "ui/HandlerGuard.h"
#include "ui/OpenLink.h"
#include "ui/TextConvert.h"
#include "web/SearchService.h"

namespace kelvaro {
namespace {

constexpr char kNoPublicPageText[] =
    "The link is not a query of a known search service, so it has no public results page to open.";

// A column title as the header shows it: each backslash followed by "n" becomes a CR.
std::string HeaderTitle(const std::string& title) {
  std::string shown;
  shown.reserve(title.size());
  for (size_t k = 0; k < title.size(); ++k) {
    if (title[k] == '\\' && k + 1 < title.size() && title[k + 1] == 'n') {
      shown += '\r';
      ++k;
    } else {
      shown += title[k];
    }
  }
  return shown;
}

}  // namespace

TResultGrid::TResultGrid(const GridCreationValues& values, QWidget* parent)
    : QTableView(parent),
      model_(std::make_unique<ResultGridModel>(values.col_count, values.row_count)),
      painter_(*model_, *this),
      text_sort_column_(values.text_sort_column) {
  for (int col = 0; col < static_cast<int>(values.column_headers.size()); ++col) {
    if (col >= model_->ColCount()) break;
    model_->SetCells(col, 0, HeaderTitle(values.column_headers[col]));
  }
  for (int col = 0; col < static_cast<int>(values.col_widths.size()); ++col) {
    if (col < model_->ColCount()) model_->SetColWidths(col, values.col_widths[col]);
  }

  setFont(painter_.GridFont());
  header_ = new GridHeaderView(painter_, this);
  header_->setFont(painter_.FixedFont());
  // New columns (a wide file) come at the model's default width, so only the columns set
  // otherwise are resized one by one.
  header_->setDefaultSectionSize(ResultGridModel::kDefaultColWidth);
  header_->SetClickHandler([this](int col) { HeaderClicked(col); });
  header_->SetAutoSizeHandler([this](int col) { AutoSizeColumn(col, 0); });
  header_->setFixedHeight(model_->RowHeights(0));
  setHorizontalHeader(header_);
  verticalHeader()->hide();
  verticalHeader()->setMinimumSectionSize(1);
  verticalHeader()->setDefaultSectionSize(ResultGridModel::kDefaultRowHeight);
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  setShowGrid(false);
  setWordWrap(false);
  setCornerButtonEnabled(false);
  setSortingEnabled(false);
  setAlternatingRowColors(false);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setSelectionBehavior(QAbstractItemView::SelectItems);
  setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked |
                  QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
  setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
  // Tab and Shift+Tab move the focus on to the window's other controls; the arrow keys
  // move between cells.
  setTabKeyNavigation(false);
  setMouseTracking(true);
  viewport()->setMouseTracking(true);

  delegate_ = new GridCellDelegate(painter_, this);
  setItemDelegate(delegate_);
  table_model_ = new GridTableModel(*model_, this);
  table_model_->SetColumnWidthHandler([this](int col) { ApplyColumnWidth(col); });
  table_model_->SetUpdatesHandler([this](bool suspended) { SetUpdatesSuspended(suspended); });
  table_model_->SetResetHandler([this] {
    ApplyAllColumnWidths();
    header_->ShowSortArrow(-1, true);
  });
  setModel(table_model_);
  // Rows added or removed leave the order the arrow shows.
  connect(table_model_, &QAbstractItemModel::rowsInserted, this,
          [this] { header_->ShowSortArrow(-1, true); });
  connect(table_model_, &QAbstractItemModel::rowsRemoved, this,
          [this] { header_->ShowSortArrow(-1, true); });
  ApplyAllColumnWidths();
  connect(header_, &QHeaderView::sectionResized, this, [this](int col, int, int size) {
    if (!applying_width_ && col < model_->ColCount() && model_->ColWidths(col) != size) {
      model_->SetColWidths(col, size);
    }
  });
}

TResultGrid::~TResultGrid() {
  // The view must stop reading the adapter before the adapter and the model go.
  setModel(nullptr);
  delete table_model_;
  table_model_ = nullptr;
}

void TResultGrid::SetOnGetCellColor(GetCellColorEvent handler) {
  if (handler) {
    painter_.SetColorHook([this, handler = std::move(handler)](
                              int row, int col, const GridDrawState& state, QBrush& brush,
                              QFont& font) { handler(*this, row, col, state, brush, font); });
  } else {
    painter_.SetColorHook({});
  }
  viewport()->update();
  header_->viewport()->update();
}

void TResultGrid::ApplyColumnWidth(int col) {
  if (col < 0 || col >= header_->count()) return;
  const int width = model_->ColWidths(col);
  if (header_->sectionSize(col) == width) return;
  applying_width_ = true;
  header_->resizeSection(col, width);
  applying_width_ = false;
}

void TResultGrid::ApplyAllColumnWidths() {
  const int count = std::min(model_->ColCount(), header_->count());
  for (int col = 0; col < count; ++col) ApplyColumnWidth(col);
}

void TResultGrid::SetSortable(bool on) {
  sortable_ = on;
  if (!on) header_->ShowSortArrow(-1, true);
}

int TResultGrid::SortColumn() const { return header_->SortArrowColumn(); }

void TResultGrid::SortByColumn(int col, bool ascending) {
  if (col < 0 || col >= model_->ColCount()) return;
  CloseOpenEditor();
  model_->SortRows(col, ascending, col == text_sort_column_);
  sort_ascending_ = ascending;
  header_->ShowSortArrow(col, ascending);
}

void TResultGrid::HeaderClicked(int col) {
  if (col == kCheckColumn) {
    if (tick_all_) {
      CloseOpenEditor();
      model_->ToggleAllChecks(kCheckColumn);
    }
    return;
  }
  if (!sortable_) return;
  if (on_sort_request_ && !on_sort_request_(col)) return;
  const bool ascending = SortColumn() == col ? !sort_ascending_ : true;
  SortByColumn(col, ascending);
}

void TResultGrid::SetUpdatesSuspended(bool suspended) {
  setUpdatesEnabled(!suspended);
  if (!suspended) {
    viewport()->update();
    header_->viewport()->update();
  }
}

void TResultGrid::AutoSizeColumn(int col, int extra) {
  if (col < 0 || col >= model_->ColCount()) return;
  int widest = 0;
  const int rows = model_->RowCount();
  for (int row = 0; row < rows; ++row) {
    const int box = model_->HasCheckBox(col, row) ? kCheckSize : 0;
    widest = std::max(widest, box + painter_.CellTextSize(col, row).width());
  }
  // One-pixel grid lines: the insets and lines add 4 + 2 * 2.
  const int width = widest + 2 * kTextInset + 2 * (CellPainter::kGridLineWidth + 1);
  if (!(model_->AutoSizeGrowOnly() && model_->ColWidths(col) >= width)) {
    model_->SetColWidths(col, width);
  }
  if (extra != 0) model_->SetColWidths(col, model_->ColWidths(col) + extra);
}

CellVisualsFunction TResultGrid::HTMLVisuals() {
  const uint32_t header_background = palette().color(QPalette::Button).rgb() & 0xFFFFFFu;
  CellPainter* painter = &painter_;
  return [painter, header_background](int col, int row) {
    GridDrawState state;
    state.fixed = row < 1;
    CellVisuals visuals = painter->Visuals(col, row, state);
    if (row < 1) visuals.background = header_background;
    visuals.gradient_end.reset();
    return visuals;
  };
}

void TResultGrid::SaveHTML(const std::string& file_name) {
  model_->SaveHTML(file_name, HTMLVisuals());
}

const std::string* TResultGrid::LinkAt(const QPoint& pos) {
  const QModelIndex index = indexAt(pos);
  if (!index.isValid()) return nullptr;
  return painter_.LinkAtCell(index.column(), index.row() + 1, visualRect(index), pos);
}

void TResultGrid::SetReadOnly(bool on) {
  if (on) CloseOpenEditor();
  table_model_->SetReadOnly(on);
}

void TResultGrid::CloseOpenEditor() {
  if (state() != QAbstractItemView::EditingState) return;
  if (QWidget* editor = delegate_->OpenEditor()) {
    commitData(editor);
    closeEditor(editor, QAbstractItemDelegate::NoHint);
  }
}

bool TResultGrid::HandleCellPress(QMouseEvent* event, bool act) {
  const QPoint pos = event->position().toPoint();
  const QModelIndex index = indexAt(pos);
  if (!index.isValid()) return false;
  const int col = index.column();
  const int row = index.row() + 1;
  if (event->button() == Qt::LeftButton) {
    if (const std::string* url = painter_.LinkAtCell(col, row, visualRect(index), pos)) {
      if (!act) return true;
      // A count's link holds the query URL (endpoint and engine code, no key): the browser
      // gets the public results page of the same query instead (as the HTML export does),
      // never the service's request itself.
      const bool count_link = ClassifyText(model_->Cells(col, row)) == TextKind::kMarkup;
      const std::string address = count_link ? PublicResultsURL(*url) : *url;
      CloseOpenEditor();  // may change the cell: `url` is not read after this
      setFocus(Qt::MouseFocusReason);
      setCurrentIndex(index);
      if (address.empty()) {
        emit StatusMessage(QString::fromLatin1(kNoPublicPageText));
      } else {
        OpenLink(address);
      }
      return true;
    }
    if (model_->HasCheckBox(col, row)) {
      if (!act) return true;
      // Anywhere in the cell counts, not only the box.
      CloseOpenEditor();
      setFocus(Qt::MouseFocusReason);
      model_->ToggleCheck(col, row);
      setCurrentIndex(index);
      return true;
    }
    return false;
  }
  if (event->button() == Qt::RightButton && IsLinkText(model_->Cells(col, row))) {
    if (!act) return true;
    CloseOpenEditor();
    setFocus(Qt::MouseFocusReason);
    setCurrentIndex(index);
    edit(index);
    return true;
  }
  return false;
}

void TResultGrid::mousePressEvent(QMouseEvent* event) {
  RunHandler([&] {
    if (HandleCellPress(event, true)) {
      swallow_release_ = true;
      event->accept();
      return;
    }
    swallow_release_ = false;
    QTableView::mousePressEvent(event);
  });
}

void TResultGrid::mouseDoubleClickEvent(QMouseEvent* event) {
  RunHandler([&] {
    // The second press of a double-click already ticked the box or opened the link; the
    // double-click itself must not start the editor there.
    if (HandleCellPress(event, false)) {
      swallow_release_ = true;
      event->accept();
      return;
    }
    QTableView::mouseDoubleClickEvent(event);
  });
}

void TResultGrid::mouseReleaseEvent(QMouseEvent* event) {
  RunHandler([&] {
    if (swallow_release_) {
      // The press was a tick or a link: no selection, no editing.
      swallow_release_ = false;
      event->accept();
      return;
    }
    QTableView::mouseReleaseEvent(event);
  });
}

void TResultGrid::mouseMoveEvent(QMouseEvent* event) {
  RunHandler([&] {
    UpdateCursor(event->position().toPoint());
    if (swallow_release_ && event->buttons() != Qt::NoButton) {
      event->accept();
      return;
    }
    QTableView::mouseMoveEvent(event);
  });
}

void TResultGrid::UpdateCursor(const QPoint& pos) {
  const bool hand = LinkAt(pos) != nullptr;
  if (hand == hand_cursor_) return;
  hand_cursor_ = hand;
  if (hand) {
    viewport()->setCursor(Qt::PointingHandCursor);
  } else {
    viewport()->unsetCursor();
  }
}

void TResultGrid::keyPressEvent(QKeyEvent* event) {
  RunHandler([&] {
    if (event->key() == Qt::Key_Space &&
        (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
      const QModelIndex index = currentIndex();
      if (index.isValid() && model_->HasCheckBox(index.column(), index.row() + 1)) {
        model_->ToggleCheck(index.column(), index.row() + 1);
        event->accept();
        return;
      }
    }
    QTableView::keyPressEvent(event);
  });
}

bool TResultGrid::viewportEvent(QEvent* event) {
  bool handled = false;
  RunHandler([&] {
    switch (event->type()) {
      case QEvent::ToolTip: {
        const auto* help = static_cast<QHelpEvent*>(event);
        const QModelIndex index = indexAt(help->pos());
        if (!index.isValid()) {
          QToolTip::hideText();
        } else {
          painter_.ShowCellHint(index.column(), index.row() + 1, visualRect(index), viewport());
        }
        handled = true;
        return;
      }
      case QEvent::Leave:
        if (hand_cursor_) {
          hand_cursor_ = false;
          viewport()->unsetCursor();
        }
        break;
      default:
        break;
    }
    handled = QTableView::viewportEvent(event);
  });
  return handled;
}

void TResultGrid::changeEvent(QEvent* event) {
  RunHandler([&] {
    if (event->type() == QEvent::StyleChange || event->type() == QEvent::PaletteChange) {
      painter_.ForgetPictures();
    }
    QTableView::changeEvent(event);
  });
}

}  // namespace kelvaro
