#include "grid/GridHtml.h"

#include <cstdio>
#include <utility>
#include <vector>

#include "base/AtomicFile.h"
#include "base/Text.h"
#include "grid/CellMarkup.h"
#include "grid/ResultGridModel.h"

namespace kelvaro {
namespace {

std::string ColourCode(uint32_t rgb) {
  char code[8];
  std::snprintf(code, sizeof code, "%06X", static_cast<unsigned>(rgb & 0xFFFFFF));
  return code;
}

// Everything of a look that enters its style text.
bool SameStyle(const CellVisuals& a, const CellVisuals& b) {
  return a.background == b.background && a.text_color == b.text_color &&
         a.font_size_pt == b.font_size_pt && a.bold == b.bold && a.italic == b.italic &&
         a.h_align == b.h_align && a.v_align == b.v_align && a.font_name == b.font_name;
}

// The style list of one document. A handful of looks occur in a grid, so every cell first
// checks the looks already met before it builds and compares a style text.
class StyleList {
 public:
  int ClassOf(const CellVisuals& look) {
    for (const auto& [known, number] : looks_) {
      if (SameStyle(known, look)) return number;
    }
    const std::string style = CellStyleText(look);
    int number = -1;
    for (size_t i = 0; i < styles_.size(); ++i) {
      if (EqualsIgnoringAsciiCase(styles_[i], style)) {
        number = static_cast<int>(i);
        break;
      }
    }
    if (number < 0) {
      number = static_cast<int>(styles_.size());
      styles_.push_back(style);
    }
    looks_.emplace_back(look, number);
    return number;
  }

  std::string Block() const {
    std::string block = "<style>\r\n";
    for (size_t i = 0; i < styles_.size(); ++i) {
      block += ".c" + std::to_string(i) + " {" + styles_[i] + "}\r\n";
    }
    block += "</style>\r\n";
    return block;
  }

 private:
  std::vector<std::pair<CellVisuals, int>> looks_;
  std::vector<std::string> styles_;
};

bool BlankForData(std::string_view text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) > ' ') return false;
  }
  return true;
}

std::string CellText(const ResultGridModel& grid, int col, int row, std::string& scratch) {
  const std::string& saved = SavedCellTextRef(grid, col, row, scratch);
  std::string text;
  if (saved.find('\r') == std::string::npos) {
    text = saved;
  } else {
    text.reserve(saved.size() + 16);
    for (char c : saved) {
      if (c == '\r') {
        text += "<br>";
      } else {
        text += c;
      }
    }
  }
  if (IsLinkText(text)) text = LinkURLText(text);
  const bool header = row == 0;
  if (header ? text.empty() : BlankForData(text)) text = "&nbsp;";
  return text;
}

}  // namespace

std::string CellStyleText(const CellVisuals& look) {
  std::string style;
  style += "background-color: #" + ColourCode(look.background);
  style += ";color: #" + ColourCode(look.text_color);
  style += ";font-size:" + std::to_string(look.font_size_pt) + "pt";
  if (look.italic) style += ";font-style: italic";
  if (look.bold) style += ";font-weight: bold";
  style += ";font-family: " + look.font_name;
  if (look.h_align == CellVisuals::HAlign::Right) style += ";text-align: right";
  if (look.h_align == CellVisuals::HAlign::Center) style += ";text-align: center";
  switch (look.v_align) {
    case CellVisuals::VAlign::Top:
      style += ";vertical-align: top";
      break;
    case CellVisuals::VAlign::Middle:
      style += ";vertical-align: middle";
      break;
    case CellVisuals::VAlign::Bottom:
      style += ";vertical-align: bottom";
      break;
  }
  return style;
}

std::string LinkURLText(std::string_view text) {
  // "://" and "mailto:" each wrap the original text, so a text holding both is still
  // wrapped once.
  if (!IsLinkText(text) || text.find("</") != std::string_view::npos) return std::string(text);
  std::string link = "<a href=";
  link.append(text).append(">").append(text).append("</a>");
  return link;
}

std::string HTMLDocument(const ResultGridModel& grid, const CellVisualsFunction& look) {
  StyleList styles;
  std::string table =
      "<table border=\"1\" cellspacing=\"0\" cellpadding=\"0\"  width=\"100%\">\r\n";
  std::string scratch;
  for (int row = 0; row < grid.RowCount(); ++row) {
    table += "<tr>\r\n";
    for (int col = 0; col < grid.ColCount(); ++col) {
      const CellVisuals cell_look = look(col, row);
      table += "<td class=\"c";
      table += std::to_string(styles.ClassOf(cell_look));
      table += '"';
      if (!cell_look.word_wrap) table += " nowrap=\"nowrap\"";
      table += '>';
      table += CellText(grid, col, row, scratch);
      table += "</td>\r\n";
    }
    table += "</tr>\r\n";
  }
  table += "</table>\r\n";
  return styles.Block() + table + "\r\n";
}

void ResultGridModel::SaveHTML(const std::string& file_name, const CellVisualsFunction& look) const {
  WriteFileAtomically(file_name, HTMLDocument(*this, look));
}

}  // namespace kelvaro
