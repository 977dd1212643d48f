#include "base/Text.h"

#include <algorithm>
#include <cstring>

namespace kelvaro {

std::string LowerAscii(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = LowerAscii(c);
  return lower;
}

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return LowerAscii(x) == LowerAscii(y);
         });
}

bool StartsWithIgnoringAsciiCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() &&
         EqualsIgnoringAsciiCase(text.substr(0, prefix.size()), prefix);
}

// Both break characters are found with memchr, which scans many bytes at a time; lone CRs
// are rare.
LineSplitter::LineSplitter(std::string_view text, LineEnds ends)
    : pos_(text.data()),
      end_(text.data() + text.size()),
      next_cr_(ends == LineEnds::kAny ? Find(pos_, '\r') : end_),
      next_lf_(Find(pos_, '\n')) {}

bool LineSplitter::Next(std::string_view& line) {
  if (pos_ >= end_) return false;
  if (next_cr_ < pos_) next_cr_ = Find(pos_, '\r');
  if (next_lf_ < pos_) next_lf_ = Find(pos_, '\n');
  const char* stop = std::min(next_cr_, next_lf_);
  line = std::string_view(pos_, static_cast<size_t>(stop - pos_));
  pos_ = stop + 1;
  if (stop < end_ && *stop == '\r' && pos_ < end_ && *pos_ == '\n') ++pos_;
  // Where only LF ends lines, a CR before it (or at the very end) is the break's.
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return true;
}

const char* LineSplitter::Find(const char* from, char c) const {
  if (from >= end_) return end_;  // also for the empty view, whose data may be null
  const void* hit = std::memchr(from, c, static_cast<size_t>(end_ - from));
  return hit != nullptr ? static_cast<const char*>(hit) : end_;
}

std::vector<std::string_view> SplitLines(std::string_view text, LineEnds ends) {
  std::vector<std::string_view> lines;
  LineSplitter splitter(text, ends);
  std::string_view line;
  while (splitter.Next(line)) lines.push_back(line);
  return lines;
}

std::string WithoutSecret(std::string text, std::string_view secret) {
  if (secret.empty()) return text;
  for (size_t at = text.find(secret); at != std::string::npos; at = text.find(secret, at + 3)) {
    text.replace(at, secret.size(), "***");
  }
  return text;
}

}  // namespace kelvaro
