// The CSV reader takes any bytes without crashing, and every grid the writer writes reads
// back as the same cells.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "grid/GridCsv.h"
#include "grid/ResultGridModel.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);

  // 1. Read arbitrary bytes as a file.
  kelvaro::CSVLineList lines(bytes);
  const auto& list = lines.lines();
  const char delimiter = kelvaro::DetectDelimiter(list.empty() ? std::string_view() : list[0],
                                                  list.size() > 1 ? list[1] : std::string_view());
  std::vector<std::string> cells;
  for (const auto line : list) {
    cells.clear();
    kelvaro::SplitCSVLine(line, delimiter, cells);
  }

  // 2. Use the bytes as cell texts of a 3-column grid (a 0xFF byte ends a cell), write the
  //    grid and read it back.
  std::vector<std::string> texts(1);
  for (const char ch : bytes) {
    if (static_cast<unsigned char>(ch) == 0xFF) {
      texts.emplace_back();
    } else if (ch != '\0') {  // the file format ends at a NUL byte
      texts.back() += ch;
    }
  }
  constexpr int kCols = 3;
  const int rows = static_cast<int>(texts.size() + kCols - 1) / kCols + 1;
  kelvaro::ResultGridModel grid(kCols, rows);
  grid.SetCells(0, 0, "");
  grid.SetCells(1, 0, "Keyword");
  grid.SetCells(2, 0, "Quotes");
  for (size_t i = 0; i < texts.size(); ++i) {
    grid.SetCells(static_cast<int>(i % kCols), static_cast<int>(i / kCols) + 1, texts[i]);
  }
  const std::string file = kelvaro::CSVText(grid);
  kelvaro::CSVLineList back(file);
  const auto& back_lines = back.lines();
  if (back_lines.size() != static_cast<size_t>(rows)) __builtin_trap();
  const char d =
      kelvaro::DetectDelimiter(back_lines[0], back_lines.size() > 1 ? back_lines[1] : "");
  if (d != ',') __builtin_trap();
  for (int r = 0; r < rows; ++r) {
    cells.assign(kCols, std::string());
    kelvaro::SplitCSVLine(back_lines[r], d, cells);
    for (int c = 0; c < kCols; ++c) {
      std::string expected = grid.Cells(c, r);
      // Leading spaces of a bare field do not survive (the format drops them), and line
      // breaks read back as CR LF.
      std::string got = cells[c];
      auto normalise = [](std::string s) {
        std::string out;
        for (size_t i = 0; i < s.size(); ++i) {
          if (s[i] == '\r' || s[i] == '\n' || s[i] == '\v') {
            if (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n') ++i;
            out += "\r\n";
          } else {
            out += s[i];
          }
        }
        return out;
      };
      expected = normalise(expected);
      got = normalise(got);
      if (got != expected) {
        const size_t lead = expected.find_first_not_of(' ');
        // A text of spaces only keeps one space when it is the line's last field.
        const bool all_spaces = lead == std::string::npos;
        const std::string kept = all_spaces ? std::string() : expected.substr(lead);
        if (kept != got && !(all_spaces && got == " ")) __builtin_trap();
      }
    }
  }
  return 0;
}
