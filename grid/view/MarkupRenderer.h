#pragma once

#include <QColor>
#include <QFont>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

class QPainter;

namespace kelvaro {

// One piece of a markup text drawn in one font variant.
struct MarkupRun {
  QString text;
  bool bold = false;
  bool italic = false;
  bool underline = false;
  int link = -1;            // index into MarkupText::links; -1 outside any link
  bool line_break = false;  // the run starts a new line
};

// A cell text of the markup kind, parsed once. The grid draws bold, italic and
// underlined text, links and line breaks; every other tag is skipped, named and
// numeric character references become their characters.
struct MarkupText {
  std::vector<MarkupRun> runs;
  std::vector<std::string> links;  // each link's URL, bytes as stored in the cell

  // Layout for one font: a rectangle per run, relative to the text's top-left corner.
  QFont layout_font;
  bool laid_out = false;
  std::vector<QRect> rects;
  QSize size;
};

// Parses, measures, draws and hit-tests markup texts. Parsed and laid-out texts are
// kept by their bytes, so repainting the same rows does not parse again; the store is
// emptied when it grows past a few thousand texts.
class MarkupRenderer {
 public:
  MarkupRenderer();
  ~MarkupRenderer();
  MarkupRenderer(const MarkupRenderer&) = delete;
  MarkupRenderer& operator=(const MarkupRenderer&) = delete;

  // The laid-out text in `font`. The reference stays valid until the next call.
  const MarkupText& Layout(const std::string& text, const QFont& font);

  // Width and height of the rendered text with unlimited room to the right.
  QSize Measure(const std::string& text, const QFont& font);

  // Draws the text with its top-left corner at `origin`, inside `clip`.
  void Draw(QPainter& painter, const std::string& text, const QFont& font, const QColor& color,
            const QColor& link_color, const QPoint& origin, const QRect& clip);

  // The URL of the link drawn under `point` (relative to the text's top-left corner),
  // or nullptr when the point is on no link.
  const std::string* LinkAt(const std::string& text, const QFont& font, const QPoint& point);

  // The text as Qt rich text made only of the parts the grid draws (for hints); no
  // other tag of the cell text reaches the hint.
  QString ToRichText(const std::string& text, const QColor& link_color);

  // Parsing without the store (tests, hints).
  static MarkupText Parse(const std::string& text);

 private:
  MarkupText& Cached(const std::string& text);

  std::unordered_map<std::string, std::unique_ptr<MarkupText>> cache_;
};

}  // namespace kelvaro
