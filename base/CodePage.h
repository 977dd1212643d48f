#pragma once

#include <string>

namespace kelvaro {

// The services read and write UTF-8; the core's texts are bytes in the system's code page
// (the ANSI code page on Windows, UTF-8 elsewhere). These convert at the edge: a query's text
// before it is percent-encoded, an answer's texts where they enter the grid.

inline constexpr unsigned kUtf8CodePage = 65001;

// The code page of the core's texts on this system.
unsigned SystemCodePage();

// `text` in `code_page` as UTF-8, and UTF-8 `text` in `code_page`. The same text for
// kUtf8CodePage or a code page the system does not know; a character the target cannot hold
// becomes "?", and so does a byte that is not a character of the source.
std::string ToUtf8(const std::string& text, unsigned code_page);
std::string FromUtf8(const std::string& text, unsigned code_page);

}  // namespace kelvaro
