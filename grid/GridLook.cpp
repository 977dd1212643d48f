#include "grid/GridLook.h"

#include <QFontMetrics>
#include <QLinearGradient>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>
#include <QToolTip>
#include <QWidget>
#include <cmath>

#include "grid/CellMarkup.h"
#include "grid/ResultGridModel.h"
#include "ui/TextConvert.h"

namespace kelvaro {
namespace {

QFont TahomaFont() {
  // Where Tahoma is missing the font system substitutes its sans-serif face.
  QFont font(QStringLiteral("Tahoma"));
  font.setStyleHint(QFont::SansSerif);
  font.setPointSize(8);
  return font;
}

QColor HalfIntensity(const QColor& color) {
  return QColor(color.red() / 2, color.green() / 2, color.blue() / 2);
}

// The part of a plain text that is shown: up to its first CR.
std::string FirstLine(const std::string& text) { return text.substr(0, text.find('\r')); }

}  // namespace

GridLook::GridLook(const ResultGridModel& model, const QWidget& widget)
    : model_(model), widget_(widget), grid_font_(TahomaFont()), fixed_font_(TahomaFont()) {}

void GridLook::ForgetPictures() {
  check_pixmaps_[0] = QPixmap();
  check_pixmaps_[1] = QPixmap();
}

CellAppearance GridLook::CellVisuals(int col, int row, const GridDrawState& state) {
  const QPalette& colours = widget_.palette();
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
  if (color_hook_) {
    QBrush brush(look.background);
    color_hook_(row, col, state, brush, look.font);
    look.background = brush.color();
  }
  return look;
}

QSize GridLook::CellTextSize(int col, int row) {
  const std::string& text = model_.Cells(col, row);
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

QPoint GridLook::TextOrigin(const QRect& rect, bool has_box) const {
  return QPoint(rect.left() + kTextInset + (has_box ? kCheckSize + kTextInset : 0),
                rect.top() + kTextInset);
}

const QPixmap& GridLook::CheckPixmap(bool checked, qreal device_pixel_ratio) {
  QPixmap& pixmap = check_pixmaps_[checked ? 1 : 0];
  if (pixmap.isNull() || pixmap.devicePixelRatio() != device_pixel_ratio) {
    // The platform style draws the box once; painting copies the picture.
    const int side = static_cast<int>(std::ceil(kCheckSize * device_pixel_ratio));
    pixmap = QPixmap(side, side);
    pixmap.setDevicePixelRatio(device_pixel_ratio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    QStyleOptionButton option;
    option.initFrom(&widget_);
    option.rect = QRect(0, 0, kCheckSize, kCheckSize);
    option.state = QStyle::State_Enabled | (checked ? QStyle::State_On : QStyle::State_Off);
    widget_.style()->drawPrimitive(QStyle::PE_IndicatorCheckBox, &option, &painter, &widget_);
  }
  return pixmap;
}

void GridLook::PaintContent(QPainter& painter, const QRect& rect, const QPoint& origin, int col,
                            int row, const CellAppearance& look) {
  const bool has_box = model_.HasCheckBox(col, row);
  if (has_box) {
    const QPixmap& box =
        CheckPixmap(model_.IsChecked(col, row), painter.device()->devicePixelRatio());
    painter.drawPixmap(origin.x(), origin.y(), box);
  }
  const std::string& text = model_.Cells(col, row);
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

void GridLook::PaintDataCell(QPainter& painter, const QRect& rect, int col, int row,
                             const GridDrawState& state, bool has_focus) {
  const CellAppearance look = CellVisuals(col, row, state);
  painter.fillRect(rect, look.background);
  painter.fillRect(QRect(rect.right(), rect.top(), 1, rect.height()), GridLineColor());
  painter.fillRect(QRect(rect.left(), rect.bottom(), rect.width(), 1), GridLineColor());
  PaintContent(painter, rect, QPoint(rect.left() + kTextInset, rect.top() + kTextInset), col, row,
               look);
  if (state.focused && has_focus) {
    painter.setPen(QPen(look.text_color, 1, Qt::DotLine));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRect(rect.left() + 1, rect.top() + 1, rect.width() - 4, rect.height() - 4));
  }
}

void GridLook::PaintHeaderCell(QPainter& painter, const QRect& rect, int col, bool pressed) {
  if (col < 0 || col >= model_.ColCount()) return;
  GridDrawState state;
  state.fixed = true;
  const CellAppearance look = CellVisuals(col, 0, state);
  const QColor end = look.gradient_end.isValid() ? look.gradient_end : look.background;
  // Pressed cells look sunken: the gradient turned over and the shadow at the top left.
  QLinearGradient gradient(rect.topLeft(), rect.bottomLeft());
  gradient.setColorAt(0, pressed ? end : look.background);
  gradient.setColorAt(1, pressed ? look.background : end);
  painter.fillRect(rect, gradient);
  const QColor fixed_color = widget_.palette().color(QPalette::Button);
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

const std::string* GridLook::LinkAtCell(int col, int row, const QRect& rect, const QPoint& pos) {
  const std::string& text = model_.Cells(col, row);
  if (text.empty() || !rect.contains(pos)) return nullptr;
  const TextKind kind = ClassifyText(text);
  if (kind == TextKind::kMarkup) {
    GridDrawState state;
    state.fixed = row < 1;
    const CellAppearance look = CellVisuals(col, row, state);
    const QPoint origin = TextOrigin(rect, model_.HasCheckBox(col, row));
    return markup_.LinkAt(text, look.font, pos - origin);
  }
  // A plain text holding an address is one link over the whole cell.
  return kind == TextKind::kPlain && IsLinkText(text) ? &text : nullptr;
}

QString GridLook::CellHint(int col, int row, const QSize& cell_size) {
  if (col < 0 || col >= model_.ColCount()) return {};
  const std::string& text = model_.Cells(col, row);
  if (text.empty()) return {};
  const QSize size = CellTextSize(col, row);
  const int start = kTextInset + (model_.HasCheckBox(col, row) ? kCheckSize + kTextInset : 0);
  if (start + size.width() <= cell_size.width() && size.height() <= cell_size.height()) return {};
  if (ClassifyText(text) == TextKind::kMarkup) return markup_.ToRichText(text, URLColor());
  return QStringLiteral("<p style=\"white-space:pre\">") + ToQString(text).toHtmlEscaped() +
         QStringLiteral("</p>");
}

void GridLook::ShowCellHint(int col, int row, const QRect& rect, QWidget* widget) {
  const QString hint = rect.isValid() ? CellHint(col, row, rect.size()) : QString();
  if (hint.isEmpty()) {
    QToolTip::hideText();
    return;
  }
  QToolTip::showText(widget->mapToGlobal(rect.topLeft()), hint, widget, rect);
}

}  // namespace kelvaro
