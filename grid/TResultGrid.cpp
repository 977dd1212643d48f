#include "grid/TResultGrid.h"

#include <QApplication>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>
#include <QToolTip>
#include <algorithm>
#include <cmath>

#include "grid/CellMarkup.h"
#include "grid/GridCellDelegate.h"
#include "grid/GridHeaderView.h"
#include "grid/GridTableModel.h"
#include "ui/OpenLink.h"
#include "ui/TextConvert.h"

namespace kelvaro {
namespace {

// Column widths of lines: one-pixel grid lines, so auto-size adds 4 (insets) + 2 * 2.
constexpr int kGridLineWidth = 1;

QFont TahomaFont() {
  // Where Tahoma is missing the font system substitutes its sans-serif face.
  QFont font(QStringLiteral("Tahoma"));
  font.setStyleHint(QFont::SansSerif);
  font.setPointSize(8);
  return font;
}

uint32_t Rgb(const QColor& color) { return color.rgb() & 0xFFFFFFu; }

QColor HalfIntensity(const QColor& color) {
  return QColor(color.red() / 2, color.green() / 2, color.blue() / 2);
}

int PointSize(const QFont& font, const QWidget& widget) {
  if (font.pointSizeF() > 0) return static_cast<int>(std::lround(font.pointSizeF()));
  return static_cast<int>(std::lround(font.pixelSize() * 72.0 / widget.logicalDpiY()));
}

// The part of a plain text that is shown: up to its first CR.
std::string FirstLine(const std::string& text) { return text.substr(0, text.find('\r')); }

// A column title as the header shows it: each two-character "\\n" becomes a CR.
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

GridCreationValues Values(std::vector<std::string> headers, std::vector<int> widths) {
  GridCreationValues values;
  values.col_count = static_cast<int>(headers.size());
  values.row_count = 2;
  values.column_headers = std::move(headers);
  values.col_widths = std::move(widths);
  return values;
}

}  // namespace

GridCreationValues MainGridCreationValues() {
  return Values({"", "Keyword", "Quotes", "Allintitle", "Allinurl"}, {20, 229, 100, 100, 100});
}

GridCreationValues DeepAnalysisGridCreationValues() {
  return Values({"", "Page Title", "URL", "Backlinks"}, {20, 160, 160, 65});
}

TResultGrid::TResultGrid(const GridCreationValues& values, QWidget* parent)
    : QTableView(parent),
      model_(std::make_unique<ResultGridModel>(values.col_count, values.row_count)),
      grid_font_(TahomaFont()),
      fixed_font_(TahomaFont()) {
  for (int col = 0; col < static_cast<int>(values.column_headers.size()); ++col) {
    if (col >= model_->ColCount()) break;
    model_->SetCells(col, 0, HeaderTitle(values.column_headers[col]));
  }
  for (int col = 0; col < static_cast<int>(values.col_widths.size()); ++col) {
    if (col < model_->ColCount()) model_->SetColWidths(col, values.col_widths[col]);
  }

  setFont(grid_font_);
  header_ = new GridHeaderView(*this);
  header_->setFont(fixed_font_);
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
  setTabKeyNavigation(true);
  setMouseTracking(true);
  viewport()->setMouseTracking(true);

  delegate_ = new GridCellDelegate(*this);
  setItemDelegate(delegate_);
  table_model_ = new GridTableModel(*model_, this);
  table_model_->SetColumnWidthHandler([this](int col) { ApplyColumnWidth(col); });
  table_model_->SetUpdatesHandler([this](bool suspended) { SetUpdatesSuspended(suspended); });
  table_model_->SetResetHandler([this] { ApplyAllColumnWidths(); });
  setModel(table_model_);
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
  on_get_cell_color_ = std::move(handler);
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
  for (int col = 0; col < model_->ColCount(); ++col) ApplyColumnWidth(col);
}

void TResultGrid::SetUpdatesSuspended(bool suspended) {
  setUpdatesEnabled(!suspended);
  if (!suspended) {
    viewport()->update();
    header_->viewport()->update();
  }
}

CellAppearance TResultGrid::CellVisuals(int col, int row, const GridDrawState& state) {
  const QPalette& colours = palette();
  CellAppearance look;
  look.text_color = colours.color(QPalette::Text);
  if (row < 1) {
    look.font = fixed_font_;
    look.background = QColor(Qt::white);
    look.gradient_end = colours.color(QPalette::Button);
  } else {
    look.font = grid_font_;
    look.background = colours.color(QPalette::Base);
  }
  if (on_get_cell_color_) {
    QBrush brush(look.background);
    on_get_cell_color_(*this, row, col, state, brush, look.font);
    look.background = brush.color();
  }
  return look;
}

QSize TResultGrid::CellTextSize(int col, int row) {
  const std::string& text = model_->Cells(col, row);
  if (text.empty()) return QSize(0, 0);
  GridDrawState state;
  state.fixed = row < 1;
  const CellAppearance look = CellVisuals(col, row, state);
  if (ClassifyText(text) == TextKind::kMarkup) {
    const QSize size = markup_.Measure(text, look.font);
    return QSize(size.width() + 2, size.height() + 2);
  }
  const QFontMetrics metrics(look.font);
  const QString line = ToQString(FirstLine(text));
  const int width = line.contains(QLatin1Char('\t'))
                        ? metrics.size(Qt::TextSingleLine | Qt::TextExpandTabs, line).width()
                        : metrics.horizontalAdvance(line);
  return QSize(width, metrics.height());
}

void TResultGrid::AutoSizeColumn(int col, int extra) {
  if (col < 0 || col >= model_->ColCount()) return;
  int widest = 0;
  const int rows = model_->RowCount();
  for (int row = 0; row < rows; ++row) {
    const int box = model_->HasCheckBox(col, row) ? kCheckSize : 0;
    widest = std::max(widest, box + CellTextSize(col, row).width());
  }
  const int width = widest + 2 * kTextInset + 2 * (kGridLineWidth + 1);
  if (!(model_->AutoSizeGrowOnly() && model_->ColWidths(col) >= width)) {
    model_->SetColWidths(col, width);
  }
  if (extra != 0) model_->SetColWidths(col, model_->ColWidths(col) + extra);
}

void TResultGrid::SaveHTML(const std::string& file_name) {
  const QColor fixed_color = palette().color(QPalette::Button);
  model_->SaveHTML(file_name, [this, &fixed_color](int col, int row) {
    GridDrawState state;
    state.fixed = row < 1;
    const CellAppearance painted = CellVisuals(col, row, state);
    CellLook look;
    look.background = Rgb(row < 1 ? fixed_color : painted.background);
    look.text_color = Rgb(painted.text_color);
    look.font_name = FromQString(painted.font.family());
    look.font_size_pt = PointSize(painted.font, *this);
    look.bold = painted.font.bold();
    look.italic = painted.font.italic();
    look.h_align = CellLook::HAlign::Left;
    look.v_align = CellLook::VAlign::Top;
    look.word_wrap = false;
    return look;
  });
}

QPoint TResultGrid::TextOrigin(const QRect& rect, bool has_box) const {
  return QPoint(rect.left() + kTextInset + (has_box ? kCheckSize + kTextInset : 0),
                rect.top() + kTextInset);
}

const QPixmap& TResultGrid::CheckPixmap(bool checked, qreal device_pixel_ratio) {
  QPixmap& pixmap = check_pixmaps_[checked ? 1 : 0];
  if (pixmap.isNull() || pixmap.devicePixelRatio() != device_pixel_ratio) {
    // The platform style draws the box once; painting copies the picture.
    const int side = static_cast<int>(std::ceil(kCheckSize * device_pixel_ratio));
    pixmap = QPixmap(side, side);
    pixmap.setDevicePixelRatio(device_pixel_ratio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    QStyleOptionButton option;
    option.initFrom(this);
    option.rect = QRect(0, 0, kCheckSize, kCheckSize);
    option.state = QStyle::State_Enabled | (checked ? QStyle::State_On : QStyle::State_Off);
    style()->drawPrimitive(QStyle::PE_IndicatorCheckBox, &option, &painter, this);
  }
  return pixmap;
}

void TResultGrid::PaintContent(QPainter& painter, const QRect& rect, const QPoint& origin, int col,
                               int row, const CellAppearance& look) {
  const bool has_box = model_->HasCheckBox(col, row);
  if (has_box) {
    const QPixmap& box =
        CheckPixmap(model_->IsChecked(col, row), painter.device()->devicePixelRatio());
    painter.drawPixmap(origin.x(), origin.y(), box);
  }
  const std::string& text = model_->Cells(col, row);
  if (text.empty()) return;
  const QPoint text_origin =
      has_box ? QPoint(origin.x() + kCheckSize + kTextInset, origin.y()) : origin;
  // Up to the cell's right and bottom grid lines.
  const QRect room(text_origin,
                   QPoint(rect.right() - kGridLineWidth, rect.bottom() - kGridLineWidth));
  if (room.width() <= 0 || room.height() <= 0) return;
  const TextKind kind = ClassifyText(text);
  if (kind == TextKind::kMarkup) {
    markup_.Draw(painter, text, look.font, look.text_color, URLColor(), text_origin, room);
    return;
  }
  // Formula, rich and wide texts never come from the program; they show as plain text.
  const bool link = kind == TextKind::kPlain && IsLinkText(text);
  if (link) {
    QFont font = look.font;
    font.setUnderline(true);
    painter.setFont(font);
    painter.setPen(URLColor());
  } else {
    painter.setFont(look.font);
    painter.setPen(look.text_color);
  }
  painter.drawText(room, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine | Qt::TextExpandTabs,
                   ToQString(FirstLine(text)));
}

void TResultGrid::PaintDataCell(QPainter& painter, const QRect& rect, int col, int row,
                                const GridDrawState& state) {
  const CellAppearance look = CellVisuals(col, row, state);
  painter.fillRect(rect, look.background);
  painter.fillRect(QRect(rect.right(), rect.top(), 1, rect.height()), GridLineColor());
  painter.fillRect(QRect(rect.left(), rect.bottom(), rect.width(), 1), GridLineColor());
  PaintContent(painter, rect, QPoint(rect.left() + kTextInset, rect.top() + kTextInset), col, row,
               look);
  if (state.focused && hasFocus()) {
    painter.setPen(QPen(look.text_color, 1, Qt::DotLine));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRect(rect.left() + 1, rect.top() + 1, rect.width() - 4, rect.height() - 4));
  }
}

void TResultGrid::PaintHeaderCell(QPainter& painter, const QRect& rect, int col, bool pressed) {
  if (col < 0 || col >= model_->ColCount()) return;
  GridDrawState state;
  state.fixed = true;
  const CellAppearance look = CellVisuals(col, 0, state);
  const QColor end = look.gradient_end.isValid() ? look.gradient_end : look.background;
  // Pressed cells look sunken: the gradient turned over and the shadow at the top left.
  QLinearGradient gradient(rect.topLeft(), rect.bottomLeft());
  gradient.setColorAt(0, pressed ? end : look.background);
  gradient.setColorAt(1, pressed ? look.background : end);
  painter.fillRect(rect, gradient);
  const QColor fixed_color = palette().color(QPalette::Button);
  const QColor light = pressed ? GridFixedLineColor() : QColor(Qt::white);
  painter.fillRect(QRect(rect.left(), rect.top(), rect.width() - 1, 1), light);
  painter.fillRect(QRect(rect.left(), rect.top(), 1, rect.height() - 1), light);
  painter.fillRect(QRect(rect.left(), rect.bottom() - 1, rect.width() - 1, 1),
                   HalfIntensity(fixed_color));
  painter.fillRect(QRect(rect.right(), rect.top(), 1, rect.height()), GridFixedLineColor());
  painter.fillRect(QRect(rect.left(), rect.bottom(), rect.width(), 1), GridFixedLineColor());
  const int shift = pressed ? 1 : 0;
  PaintContent(painter, rect.adjusted(0, 0, 0, -1),
               QPoint(rect.left() + kTextInset + shift, rect.top() + kTextInset + shift), col, 0,
               look);
}

const std::string* TResultGrid::LinkAtCell(int col, int row, const QRect& rect, const QPoint& pos) {
  const std::string& text = model_->Cells(col, row);
  if (text.empty() || !rect.contains(pos)) return nullptr;
  const TextKind kind = ClassifyText(text);
  if (kind == TextKind::kMarkup) {
    GridDrawState state;
    state.fixed = row < 1;
    const CellAppearance look = CellVisuals(col, row, state);
    const QPoint origin = TextOrigin(rect, model_->HasCheckBox(col, row));
    return markup_.LinkAt(text, look.font, pos - origin);
  }
  // A plain text holding an address is one link over the whole cell.
  return kind == TextKind::kPlain && IsLinkText(text) ? &text : nullptr;
}

const std::string* TResultGrid::LinkAt(const QPoint& pos) {
  const QModelIndex index = indexAt(pos);
  if (!index.isValid()) return nullptr;
  return LinkAtCell(index.column(), index.row() + 1, visualRect(index), pos);
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
    if (const std::string* url = LinkAtCell(col, row, visualRect(index), pos)) {
      if (!act) return true;
      const std::string address = *url;  // closing an editor may change the cell
      CloseOpenEditor();
      setFocus(Qt::MouseFocusReason);
      setCurrentIndex(index);
      OpenLink(address);
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
  if (HandleCellPress(event, true)) {
    swallow_release_ = true;
    event->accept();
    return;
  }
  swallow_release_ = false;
  QTableView::mousePressEvent(event);
}

void TResultGrid::mouseDoubleClickEvent(QMouseEvent* event) {
  // The second press of a double-click already ticked the box or opened the link; the
  // double-click itself must not start the editor there.
  if (HandleCellPress(event, false)) {
    swallow_release_ = true;
    event->accept();
    return;
  }
  QTableView::mouseDoubleClickEvent(event);
}

void TResultGrid::mouseReleaseEvent(QMouseEvent* event) {
  if (swallow_release_) {
    // The press was a tick or a link: no selection, no editing.
    swallow_release_ = false;
    event->accept();
    return;
  }
  QTableView::mouseReleaseEvent(event);
}

void TResultGrid::mouseMoveEvent(QMouseEvent* event) {
  UpdateCursor(event->position().toPoint());
  if (swallow_release_ && event->buttons() != Qt::NoButton) {
    event->accept();
    return;
  }
  QTableView::mouseMoveEvent(event);
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
}

QString TResultGrid::CellHint(int col, int row, const QSize& cell_size) {
  if (col < 0 || col >= model_->ColCount()) return {};
  const std::string& text = model_->Cells(col, row);
  if (text.empty()) return {};
  const QSize size = CellTextSize(col, row);
  const int start = kTextInset + (model_->HasCheckBox(col, row) ? kCheckSize + kTextInset : 0);
  if (start + size.width() <= cell_size.width() && size.height() <= cell_size.height()) return {};
  if (ClassifyText(text) == TextKind::kMarkup) return markup_.ToRichText(text, URLColor());
  return QStringLiteral("<p style=\"white-space:pre\">") + ToQString(text).toHtmlEscaped() +
         QStringLiteral("</p>");
}

void TResultGrid::ShowCellHint(int col, int row, const QRect& rect, QWidget* widget) {
  const QString hint = rect.isValid() ? CellHint(col, row, rect.size()) : QString();
  if (hint.isEmpty()) {
    QToolTip::hideText();
    return;
  }
  QToolTip::showText(widget->mapToGlobal(rect.topLeft()), hint, widget, rect);
}

bool TResultGrid::viewportEvent(QEvent* event) {
  switch (event->type()) {
    case QEvent::ToolTip: {
      const auto* help = static_cast<QHelpEvent*>(event);
      const QModelIndex index = indexAt(help->pos());
      if (!index.isValid()) {
        QToolTip::hideText();
      } else {
        ShowCellHint(index.column(), index.row() + 1, visualRect(index), viewport());
      }
      return true;
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
  return QTableView::viewportEvent(event);
}

void TResultGrid::changeEvent(QEvent* event) {
  if (event->type() == QEvent::StyleChange || event->type() == QEvent::PaletteChange) {
    check_pixmaps_[0] = QPixmap();
    check_pixmaps_[1] = QPixmap();
  }
  QTableView::changeEvent(event);
}

}  // namespace kelvaro
