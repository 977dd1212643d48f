#include "grid/view/CellPainter.h"

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

uint32_t Rgb(const QColor& color) { return color.rgb() & 0xFFFFFFu; }

int PointSize(const QFont& font, int dpi) {
  if (font.pointSizeF() > 0) return static_cast<int>(std::lround(font.pointSizeF()));
  return static_cast<int>(std::lround(font.pixelSize() * 72.0 / dpi));
}

QColor HalfIntensity(const QColor& color) {
  return QColor(color.red() / 2, color.green() / 2, color.blue() / 2);
}

// The part of a plain text that is shown: up to its first CR.
std::string FirstLine(const std::string& text) { return text.substr(0, text.find('\r')); }

}  // namespace

CellPainter::CellPainter(const ResultGridModel& model, const QWidget& widget)
    : model_(model), widget_(widget), grid_font_(TahomaFont()), fixed_font_(TahomaFont()) {}

void CellPainter::ForgetPictures() {
  check_pixmaps_[0] = QPixmap();
  check_pixmaps_[1] = QPixmap();
}

QFont CellPainter::HookedFont(int col, int row, const GridDrawState& state,
                              QColor* background) const {
  QFont font = row < 1 ? fixed_font_ : grid_font_;
  QBrush brush(row < 1 ? QColor(Qt::white) : widget_.palette().color(QPalette::Base));
  if (color_hook_) color_hook_(row, col, state, brush, font);
  if (background) *background = brush.color();
  return font;
}

QColor CellPainter::TextColor() const { return widget_.palette().color(QPalette::Text); }

CellVisuals CellPainter::Visuals(int col, int row, const GridDrawState& state) const {
  QColor background;
  const QFont font = HookedFont(col, row, state, &background);
  CellVisuals visuals;
  visuals.background = Rgb(background);
  if (row < 1) visuals.gradient_end = Rgb(widget_.palette().color(QPalette::Button));
  visuals.text_color = Rgb(TextColor());
  visuals.font_name = FromQString(font.family());
  visuals.font_size_pt = PointSize(font, widget_.logicalDpiY());
  visuals.bold = font.bold();
  visuals.italic = font.italic();
  return visuals;
}

QSize CellPainter::CellTextSize(int col, int row) {
  const std::string& text = model_.Cells(col, row);
  if (text.empty()) return QSize(0, 0);
  GridDrawState state;
  state.fixed = row < 1;
  const QFont font = HookedFont(col, row, state, nullptr);
  if (ClassifyText(text) == TextKind::kMarkup) {
    const QSize size = markup_.Measure(text, font);
    return QSize(size.width() + 2, size.height() + 2);
  }
  const QFontMetrics metrics(font);
  const QString line = ToQString(FirstLine(text));
  const int width = line.contains(QLatin1Char('\t'))
                        ? metrics.size(Qt::TextSingleLine | Qt::TextExpandTabs, line).width()
                        : metrics.horizontalAdvance(line);
  return QSize(width, metrics.height());
}

QPoint CellPainter::TextOrigin(const QRect& rect, bool has_box) const {
  return QPoint(rect.left() + kTextInset + (has_box ? kCheckSize + kTextInset : 0),
                rect.top() + kTextInset);
}

const QPixmap& CellPainter::CheckPixmap(bool checked, qreal device_pixel_ratio) {
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

void CellPainter::PaintContent(QPainter& painter, const QRect& rect, const QPoint& origin, int col,
                               int row, const QFont& font) {
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
    markup_.Draw(painter, text, font, TextColor(), URLColor(), text_origin, room);
    return;
  }
  // Formula, rich and wide texts never come from the program; they show as plain text.
  const bool link = kind == TextKind::kPlain && IsLinkText(text);
  if (link) {
    QFont underlined = font;
    underlined.setUnderline(true);
    painter.setFont(underlined);
    painter.setPen(URLColor());
  } else {
    painter.setFont(font);
    painter.setPen(TextColor());
  }
  painter.drawText(room, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine | Qt::TextExpandTabs,
                   ToQString(FirstLine(text)));
}

void CellPainter::PaintDataCell(QPainter& painter, const QRect& rect, int col, int row,
                                const GridDrawState& state, bool has_focus) {
  QColor background;
  const QFont font = HookedFont(col, row, state, &background);
  painter.fillRect(rect, background);
  painter.fillRect(QRect(rect.right(), rect.top(), 1, rect.height()), GridLineColor());
  painter.fillRect(QRect(rect.left(), rect.bottom(), rect.width(), 1), GridLineColor());
  PaintContent(painter, rect, QPoint(rect.left() + kTextInset, rect.top() + kTextInset), col, row,
               font);
  if (state.focused && has_focus) {
    painter.setPen(QPen(TextColor(), 1, Qt::DotLine));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRect(rect.left() + 1, rect.top() + 1, rect.width() - 4, rect.height() - 4));
  }
}

void CellPainter::PaintHeaderCell(QPainter& painter, const QRect& rect, int col, bool pressed) {
  if (col < 0 || col >= model_.ColCount()) return;
  GridDrawState state;
  state.fixed = true;
  QColor background;
  const QFont font = HookedFont(col, 0, state, &background);
  const QColor end = widget_.palette().color(QPalette::Button);
  // Pressed cells look sunken: the gradient turned over and the shadow at the top left.
  QLinearGradient gradient(rect.topLeft(), rect.bottomLeft());
  gradient.setColorAt(0, pressed ? end : background);
  gradient.setColorAt(1, pressed ? background : end);
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
               font);
}

const std::string* CellPainter::LinkAtCell(int col, int row, const QRect& rect, const QPoint& pos) {
  const std::string& text = model_.Cells(col, row);
  if (text.empty() || !rect.contains(pos)) return nullptr;
  const TextKind kind = ClassifyText(text);
  if (kind == TextKind::kMarkup) {
    GridDrawState state;
    state.fixed = row < 1;
    const QFont font = HookedFont(col, row, state, nullptr);
    const QPoint origin = TextOrigin(rect, model_.HasCheckBox(col, row));
    return markup_.LinkAt(text, font, pos - origin);
  }
  // A plain text holding an address is one link over the whole cell.
  return kind == TextKind::kPlain && IsLinkText(text) ? &text : nullptr;
}

QString CellPainter::CellHint(int col, int row, const QSize& cell_size) {
  if (col < 0 || col >= model_.ColCount()) return {};
  const QString own = ToQString(model_.CellHint(col, row));
  const QString clipped = ClippedTextHint(col, row, cell_size);
  if (clipped.isEmpty() || own.isEmpty()) return clipped.isEmpty() ? own : clipped;
  return clipped + QStringLiteral("<p>") + own.toHtmlEscaped() + QStringLiteral("</p>");
}

QString CellPainter::ClippedTextHint(int col, int row, const QSize& cell_size) {
  const std::string& text = model_.Cells(col, row);
  if (text.empty()) return {};
  const QSize size = CellTextSize(col, row);
  const int start = kTextInset + (model_.HasCheckBox(col, row) ? kCheckSize + kTextInset : 0);
  if (start + size.width() <= cell_size.width() && size.height() <= cell_size.height()) return {};
  if (ClassifyText(text) == TextKind::kMarkup) return markup_.ToRichText(text, URLColor());
  return QStringLiteral("<p style=\"white-space:pre\">") + ToQString(text).toHtmlEscaped() +
         QStringLiteral("</p>");
}

void CellPainter::ShowCellHint(int col, int row, const QRect& rect, QWidget* widget) {
  const QString hint = rect.isValid() ? CellHint(col, row, rect.size()) : QString();
  if (hint.isEmpty()) {
    QToolTip::hideText();
    return;
  }
  QToolTip::showText(widget->mapToGlobal(rect.topLeft()), hint, widget, rect);
}

}  // namespace kelvaro
