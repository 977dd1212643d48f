#include "grid/CellMarkup.h"

#include "base/Text.h"
#include "grid/ResultGridModel.h"

namespace kelvaro {
namespace {

bool HasMarkupTag(std::string_view text) {
  for (size_t i = text.find('<'); i != std::string_view::npos; i = text.find('<', i + 1)) {
    if (i + 1 >= text.size()) break;
    switch (text[i + 1]) {
      case '/':
      case 'B':
      case 'b':
      case 'C':
      case 'c':
      case 'I':
      case 'i':
      case 'P':
      case 'p':
        return true;
      default:
        break;
    }
  }
  return false;
}

// Replaces every occurrence of a four-letter tag such as "<BR>", in any letter case.
std::string ReplaceTagByLineBreak(std::string_view text, char letter1, char letter2) {
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    if (text[i] == '<' && i + 3 < text.size() && text[i + 3] == '>' &&
        LowerAscii(text[i + 1]) == LowerAscii(letter1) &&
        LowerAscii(text[i + 2]) == LowerAscii(letter2)) {
      out += "\r\n";
      i += 4;
    } else {
      out += text[i++];
    }
  }
  return out;
}

}  // namespace

TextKind ClassifyText(std::string_view text, bool enable_html) {
  // The kinds are decided on the text with one space appended: only the empty text is too
  // short, and a "<" at the very end is followed by that space, so it is no tag.
  if (text.empty()) return TextKind::kPlain;
  if (text[0] == '=') return TextKind::kFormula;
  if (text.starts_with("{\\")) return TextKind::kRich;
  if (text.starts_with("|\\")) return TextKind::kWide;
  if (enable_html && HasMarkupTag(text)) return TextKind::kMarkup;
  return TextKind::kPlain;
}

bool IsLinkText(std::string_view text) {
  return text.find("://") != std::string_view::npos ||
         text.find("mailto:") != std::string_view::npos;
}

bool PassesMarkupTest(std::string_view text) {
  return ClassifyText(text, true) == TextKind::kMarkup;
}

std::string StripMarkup(std::string_view text) {
  const std::string with_breaks =
      ReplaceTagByLineBreak(ReplaceTagByLineBreak(text, 'B', 'R'), 'H', 'R');
  std::string_view rest = with_breaks;
  std::string result;
  result.reserve(rest.size());
  for (;;) {
    const size_t open = rest.find('<');
    const size_t close = rest.find('>');
    if (open == std::string_view::npos || close == std::string_view::npos || close < open) break;
    result.append(rest.substr(0, open));
    rest.remove_prefix(close + 1);
  }
  result.append(rest);
  return result;
}

std::string LiteralCellText(std::string_view text) {
  std::string kept;
  kept.reserve(text.size());
  for (char c : text) {
    if (c != '\0') kept += c;
  }
  if (!PassesMarkupTest(kept)) return kept;
  // A markup text whose only tags are empty: the references read back as the characters.
  std::string literal = "<b></b>";
  literal.reserve(kept.size() + kept.size() / 4 + 8);
  for (char c : kept) {
    switch (c) {
      case '&':
        literal += "&amp;";
        break;
      case '<':
        literal += "&lt;";
        break;
      case '>':
        literal += "&gt;";
        break;
      default:
        literal += c;
    }
  }
  return literal;
}

std::string SavedCellText(std::string_view text, bool has_check_box, bool checked,
                          bool save_with_html) {
  if (text.empty() && has_check_box) {
    return checked ? ResultGridModel::kCheckedText : ResultGridModel::kUncheckedText;
  }
  if (!save_with_html && PassesMarkupTest(text)) return StripMarkup(text);
  return std::string(text);
}

std::string SavedCellText(const ResultGridModel& grid, int col, int row) {
  std::string scratch;
  return SavedCellTextRef(grid, col, row, scratch);
}

const std::string& SavedCellTextRef(const ResultGridModel& grid, int col, int row,
                                    std::string& scratch) {
  const std::string& text = grid.Cells(col, row);
  if (text.empty()) {
    if (!grid.HasCheckBox(col, row)) return text;
    // Kept as std::string: assigning the short C strings trips a false -Wrestrict of GCC 12.
    static const std::string checked_text = ResultGridModel::kCheckedText;
    static const std::string unchecked_text = ResultGridModel::kUncheckedText;
    return grid.IsChecked(col, row) ? checked_text : unchecked_text;
  }
  if (grid.SaveWithHTML() || !PassesMarkupTest(text)) return text;
  scratch = StripMarkup(text);
  return scratch;
}

bool ReadHref(std::string_view tag, std::string* url) {
  size_t pos = std::string_view::npos;
  for (size_t k = 0; k + 4 <= tag.size(); ++k) {
    if (StartsWithIgnoringAsciiCase(tag.substr(k), "href")) {
      pos = k + 4;
      break;
    }
  }
  if (pos == std::string_view::npos) return false;
  pos = tag.find('=', pos);
  if (pos == std::string_view::npos) return false;
  ++pos;
  while (pos < tag.size() && tag[pos] == ' ') ++pos;
  if (pos >= tag.size()) return false;
  const char quote = tag[pos];
  if (quote == '"' || quote == '\'') {
    size_t end = tag.find(quote, pos + 1);
    if (end == std::string_view::npos) return false;
    if (end + 1 < tag.size() && tag[end + 1] != ' ') end = tag.rfind(quote);
    *url = std::string(tag.substr(pos + 1, end - pos - 1));
  } else {
    size_t end = pos;
    while (end < tag.size() && tag[end] != ' ') ++end;
    *url = std::string(tag.substr(pos, end - pos));
  }
  return true;
}

std::string FirstLinkAddress(std::string_view text) {
  for (size_t open = text.find('<'); open != std::string_view::npos;
       open = text.find('<', open + 1)) {
    if (open + 2 >= text.size() || (text[open + 1] != 'a' && text[open + 1] != 'A') ||
        text[open + 2] != ' ') {
      continue;
    }
    const size_t close = text.find('>', open);
    if (close == std::string_view::npos) return std::string();
    std::string url;
    if (ReadHref(text.substr(open + 2, close - open - 2), &url)) return url;
  }
  return std::string();
}

}  // namespace kelvaro
