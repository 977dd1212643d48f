#include "grid/view/MarkupRenderer.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <cctype>
#include <cstring>

#include "base/Text.h"
#include "grid/CellMarkup.h"
#include "ui/TextConvert.h"

namespace kelvaro {
namespace {

// The stored parse results are dropped all at once beyond this many texts: a screen
// shows a few hundred cells, so the store never thrashes while scrolling.
constexpr size_t kMaxCachedTexts = 4096;

// Named references the grid draws as characters: the Latin-1 letters and signs
// (nbsp .. yuml are the code points 160 .. 255 in order) and a few common symbols.
constexpr const char* kLatin1Names[96] = {
    "nbsp",   "iexcl",  "cent",   "pound",  "curren", "yen",    "brvbar", "sect",   "uml",
    "copy",   "ordf",   "laquo",  "not",    "shy",    "reg",    "macr",   "deg",    "plusmn",
    "sup2",   "sup3",   "acute",  "micro",  "para",   "middot", "cedil",  "sup1",   "ordm",
    "raquo",  "frac14", "frac12", "frac34", "iquest", "Agrave", "Aacute", "Acirc",  "Atilde",
    "Auml",   "Aring",  "AElig",  "Ccedil", "Egrave", "Eacute", "Ecirc",  "Euml",   "Igrave",
    "Iacute", "Icirc",  "Iuml",   "ETH",    "Ntilde", "Ograve", "Oacute", "Ocirc",  "Otilde",
    "Ouml",   "times",  "Oslash", "Ugrave", "Uacute", "Ucirc",  "Uuml",   "Yacute", "THORN",
    "szlig",  "agrave", "aacute", "acirc",  "atilde", "auml",   "aring",  "aelig",  "ccedil",
    "egrave", "eacute", "ecirc",  "euml",   "igrave", "iacute", "icirc",  "iuml",   "eth",
    "ntilde", "ograve", "oacute", "ocirc",  "otilde", "ouml",   "divide", "oslash", "ugrave",
    "uacute", "ucirc",  "uuml",   "yacute", "thorn",  "yuml"};

struct NamedSymbol {
  const char* name;
  char32_t code;
};
constexpr NamedSymbol kSymbols[] = {
    {"quot", 34},       {"amp", 38},        {"apos", 39},       {"lt", 60},
    {"gt", 62},         {"euro", 0x20AC},   {"trade", 0x2122},  {"hellip", 0x2026},
    {"ndash", 0x2013},  {"mdash", 0x2014},  {"lsquo", 0x2018},  {"rsquo", 0x2019},
    {"sbquo", 0x201A},  {"ldquo", 0x201C},  {"rdquo", 0x201D},  {"bdquo", 0x201E},
    {"bull", 0x2022},   {"dagger", 0x2020}, {"Dagger", 0x2021}, {"permil", 0x2030},
    {"lsaquo", 0x2039}, {"rsaquo", 0x203A}, {"OElig", 0x152},   {"oelig", 0x153},
    {"Scaron", 0x160},  {"scaron", 0x161},  {"Yuml", 0x178},    {"fnof", 0x192},
    {"circ", 0x2C6},    {"tilde", 0x2DC},   {"ensp", 0x2002},   {"emsp", 0x2003},
    {"thinsp", 0x2009}};

// The character a reference names ("amp", "#38", "#x26"), or 0 when it names none.
char32_t DecodeReference(const std::string& name) {
  if (name.empty()) return 0;
  if (name[0] == '#') {
    size_t pos = 1;
    int base = 10;
    if (pos < name.size() && (name[pos] == 'x' || name[pos] == 'X')) {
      base = 16;
      ++pos;
    }
    if (pos >= name.size() || name.size() - pos > 8) return 0;
    char32_t value = 0;
    for (; pos < name.size(); ++pos) {
      const int digit = HexDigitValue(name[pos]);
      if (digit < 0 || digit >= base) return 0;
      value = value * static_cast<char32_t>(base) + static_cast<char32_t>(digit);
    }
    if (value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
    return value;
  }
  for (int i = 0; i < 96; ++i) {
    if (name == kLatin1Names[i]) return static_cast<char32_t>(160 + i);
  }
  for (const NamedSymbol& symbol : kSymbols) {
    if (name == symbol.name) return symbol.code;
  }
  return 0;
}

QFont RunFont(const QFont& base, const MarkupRun& run) {
  if (!run.bold && !run.italic && !run.underline) return base;
  QFont font = base;
  if (run.bold) font.setBold(true);
  if (run.italic) font.setItalic(true);
  if (run.underline) font.setUnderline(true);
  return font;
}

void LayOut(MarkupText& markup, const QFont& font) {
  const QFontMetrics base_metrics(font);
  const int line_height = base_metrics.height();
  markup.rects.clear();
  markup.rects.reserve(markup.runs.size());
  int x = 0;
  int y = 0;
  int width = 0;
  for (const MarkupRun& run : markup.runs) {
    if (run.line_break) {
      x = 0;
      y += line_height;
    }
    int advance = 0;
    if (!run.text.isEmpty()) {
      advance = (!run.bold && !run.italic && !run.underline)
                    ? base_metrics.horizontalAdvance(run.text)
                    : QFontMetrics(RunFont(font, run)).horizontalAdvance(run.text);
    }
    markup.rects.emplace_back(x, y, advance, line_height);
    x += advance;
    width = std::max(width, x);
  }
  markup.size = markup.runs.empty() ? QSize(0, 0) : QSize(width, y + line_height);
  markup.layout_font = font;
  markup.laid_out = true;
}

}  // namespace

MarkupRenderer::MarkupRenderer() = default;
MarkupRenderer::~MarkupRenderer() = default;

MarkupText MarkupRenderer::Parse(const std::string& text) {
  MarkupText markup;
  int bold = 0;
  int italic = 0;
  int underline = 0;
  int link = -1;
  QString piece;
  const auto flush = [&] {
    if (piece.isEmpty()) return;
    MarkupRun run;
    run.text = piece;
    run.bold = bold > 0;
    run.italic = italic > 0;
    run.underline = underline > 0 || link >= 0;
    run.link = link;
    markup.runs.push_back(std::move(run));
    piece.clear();
  };

  const size_t n = text.size();
  size_t i = 0;
  while (i < n) {
    const char c = text[i];
    if (c == '<') {
      const size_t gt = text.find('>', i + 1);
      const unsigned char next = i + 1 < n ? static_cast<unsigned char>(text[i + 1]) : 0;
      // "a < b" and a "<" without ">" are text, not tags.
      if (gt == std::string::npos || !(std::isalpha(next) || next == '/' || next == '!')) {
        piece += QLatin1Char('<');
        ++i;
        continue;
      }
      std::string tag = text.substr(i + 1, gt - i - 1);
      i = gt + 1;
      const bool closing = !tag.empty() && tag[0] == '/';
      size_t name_end = closing ? 1 : 0;
      while (name_end < tag.size() && std::isalnum(static_cast<unsigned char>(tag[name_end]))) {
        ++name_end;
      }
      const std::string name =
          LowerAscii(tag.substr(closing ? 1 : 0, name_end - (closing ? 1 : 0)));
      const int step = closing ? -1 : 1;
      if (name == "b" || name == "strong") {
        flush();
        bold = std::max(0, bold + step);
      } else if (name == "i" || name == "em") {
        flush();
        italic = std::max(0, italic + step);
      } else if (name == "u") {
        flush();
        underline = std::max(0, underline + step);
      } else if (name == "a") {
        std::string url;
        if (closing) {
          flush();
          link = -1;
        } else if (ReadHref(std::string_view(tag).substr(name_end), &url)) {
          flush();
          link = static_cast<int>(markup.links.size());
          markup.links.push_back(std::move(url));
        }
      } else if (name == "br" && !closing) {
        flush();
        MarkupRun line_break;
        line_break.line_break = true;
        markup.runs.push_back(std::move(line_break));
      }
      // Every other tag is skipped.
      continue;
    }
    if (c == '&') {
      const size_t semi = text.find(';', i + 1);
      if (semi != std::string::npos && semi - i <= 10) {
        const char32_t code = DecodeReference(text.substr(i + 1, semi - i - 1));
        if (code != 0) {
          piece += QString::fromUcs4(&code, 1);
          i = semi + 1;
          continue;
        }
      }
      piece += QLatin1Char('&');
      ++i;
      continue;
    }
    size_t end = i;
    while (end < n && text[end] != '<' && text[end] != '&') ++end;
    piece += ToQString(text.substr(i, end - i));
    i = end;
  }
  flush();
  return markup;
}

MarkupText& MarkupRenderer::Cached(const std::string& text) {
  auto found = cache_.find(text);
  if (found != cache_.end()) return *found->second;
  if (cache_.size() >= kMaxCachedTexts) cache_.clear();
  auto inserted = cache_.emplace(text, std::make_unique<MarkupText>(Parse(text)));
  return *inserted.first->second;
}

const MarkupText& MarkupRenderer::Layout(const std::string& text, const QFont& font) {
  MarkupText& markup = Cached(text);
  if (!markup.laid_out || markup.layout_font != font) LayOut(markup, font);
  return markup;
}

QSize MarkupRenderer::Measure(const std::string& text, const QFont& font) {
  return Layout(text, font).size;
}

void MarkupRenderer::Draw(QPainter& painter, const std::string& text, const QFont& font,
                          const QColor& color, const QColor& link_color, const QPoint& origin,
                          const QRect& clip) {
  const MarkupText& markup = Layout(text, font);
  if (markup.runs.empty()) return;
  const bool clipped = !clip.contains(QRect(origin, markup.size));
  if (clipped) {
    painter.save();
    painter.setClipRect(clip, Qt::IntersectClip);
  }
  const int ascent = QFontMetrics(font).ascent();
  for (size_t k = 0; k < markup.runs.size(); ++k) {
    const MarkupRun& run = markup.runs[k];
    if (run.text.isEmpty()) continue;
    const QRect& rect = markup.rects[k];
    if (origin.x() + rect.x() > clip.right()) continue;
    painter.setFont(RunFont(font, run));
    painter.setPen(run.link >= 0 ? link_color : color);
    painter.drawText(QPoint(origin.x() + rect.x(), origin.y() + rect.y() + ascent), run.text);
  }
  if (clipped) painter.restore();
}

const std::string* MarkupRenderer::LinkAt(const std::string& text, const QFont& font,
                                          const QPoint& point) {
  const MarkupText& markup = Layout(text, font);
  for (size_t k = 0; k < markup.runs.size(); ++k) {
    const int link = markup.runs[k].link;
    if (link >= 0 && markup.rects[k].contains(point)) return &markup.links[link];
  }
  return nullptr;
}

QString MarkupRenderer::ToRichText(const std::string& text, const QColor& link_color) {
  const MarkupText markup = Parse(text);
  QString html = QStringLiteral("<p style=\"white-space:pre\">");
  for (const MarkupRun& run : markup.runs) {
    if (run.line_break) html += QStringLiteral("<br>");
    if (run.text.isEmpty()) continue;
    QString piece = run.text.toHtmlEscaped();
    if (run.link >= 0) {
      piece = QStringLiteral("<span style=\"color:%1\">%2</span>").arg(link_color.name(), piece);
    }
    if (run.underline) piece = QStringLiteral("<u>") + piece + QStringLiteral("</u>");
    if (run.italic) piece = QStringLiteral("<i>") + piece + QStringLiteral("</i>");
    if (run.bold) piece = QStringLiteral("<b>") + piece + QStringLiteral("</b>");
    html += piece;
  }
  html += QStringLiteral("</p>");
  return html;
}

}  // namespace kelvaro
