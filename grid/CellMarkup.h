#pragma once

#include <string>
#include <string_view>

namespace kelvaro {

class ResultGridModel;

// How the grid treats a cell text when painting, measuring and hit-testing it. Only plain
// and markup occur in this product's data; the other three are recognised so that a typed
// "=..." keyword is not mistaken for markup.
enum class TextKind { kPlain, kMarkup, kFormula, kRich, kWide };

// The kind of a cell text. enable_html false makes every text that is no formula, rich or
// wide text plain. Markup: a "<" directly followed by "/" or by B, C, I or P (either case)
// anywhere in the text, so a link or "<b>" counts and "a < b" or "3<4" does not.
TextKind ClassifyText(std::string_view text, bool enable_html = true);

// True when the text holds "://" or "mailto:" (case-sensitive). The grid shows such a text
// as one link to itself when its kind is plain; the caller checks the kind.
bool IsLinkText(std::string_view text);

// The markup test of the files: not empty, not starting with "=", "|\" or "{\", and holding
// a "<" followed by "/", "B", "C", "I" or "P" in either case. Same answer as
// ClassifyText(text) == kMarkup.
bool PassesMarkupTest(std::string_view text);

// The text with its tags taken out: "<br>" and "<hr>" in any letter case become CR LF, every
// "<...>" is dropped, character references stay as they are. Scanning stops at the first "<"
// whose first following ">" is missing or comes before it; the rest is kept unchanged.
std::string StripMarkup(std::string_view text);

// The address in an A tag's inside ("a href=\"u\" title=..."), false when it has none. A
// quoted address runs to its closing quote; a quote followed by neither a space nor the
// tag's end is part of the address (a phrase's `"` kept in a query URL), which then runs to
// the tag's last quote.
bool ReadHref(std::string_view tag, std::string* url);

// The address of the first link of a markup text, empty when it has none.
std::string FirstLinkAddress(std::string_view text);

// The cell text that shows `text` (text from elsewhere, such as a web page's title) exactly
// as it is: its NUL bytes dropped, and, when the grid would read it as markup, its "&", "<"
// and ">" written as character references behind an empty "<b></b>", so that it is shown,
// saved and exported as text and no tag in it ever takes effect.
std::string LiteralCellText(std::string_view text);

// What a cell contributes to the CSV and HTML files: its text; for an empty cell with a
// check box "Y" or "N" by the box's state; stripped of markup when save_with_html is false
// and the text passes the markup test.
std::string SavedCellText(std::string_view text, bool has_check_box, bool checked,
                          bool save_with_html);
std::string SavedCellText(const ResultGridModel& grid, int col, int row);

// The same without a copy when nothing changes: returns the cell's own text, or `scratch`
// holding the changed text. Used where every cell of a large grid is written.
const std::string& SavedCellTextRef(const ResultGridModel& grid, int col, int row,
                                    std::string& scratch);

}  // namespace kelvaro
