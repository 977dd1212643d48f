#include "web/CustomSearch.h"

#include <cstddef>
#include <utility>

#include "base/CodePage.h"
#include "base/Text.h"
#include "web/uHelper.h"

namespace kelvaro {

namespace {

constexpr char kQueryPath[] = "/customsearch/v1?q=_KEYWORDS_&cx=_CX_&hl=EN&lr=lang_en&key=_KEY_";
constexpr char kCountMarker[] = "\"totalResults\": \"";
constexpr char kMessageMarker[] = "\"message\": \"";
constexpr char kItemsMarker[] = "\"items\":";
constexpr char kTitleMarker[] = "\"title\": \"";
constexpr char kLinkMarker[] = "\"link\": \"";

// Replaces every occurrence of pattern, ignoring ASCII letter case, scanning left to right; the
// inserted text is not searched again.
std::string ReplaceAllIgnoringCase(const std::string& text, const std::string& pattern,
                                   const std::string& replacement) {
  if (pattern.empty()) return text;
  std::string result;
  size_t i = 0;
  while (i < text.size()) {
    if (StartsWithIgnoringAsciiCase(std::string_view(text).substr(i), pattern)) {
      result += replacement;
      i += pattern.size();
    } else {
      result += text[i];
      ++i;
    }
  }
  return result;
}

// Spaces become "+" (the form the API reads as word separators); every other byte that could
// end or alter the query parameter is percent-encoded, so "c# tips" cannot cut off the key.
std::string PhraseForm(const std::string& text) {
  std::string form;
  form.reserve(text.size() * 3);
  size_t run_start = 0;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == ' ') {
      form += URLEncode(text.substr(run_start, i - run_start));
      if (i < text.size()) form += '+';
      run_start = i + 1;
    }
  }
  return form;
}

// The four hexadecimal digits at text[at], or -1.
long ReadHex4(const std::string& text, size_t at) {
  if (at + 4 > text.size()) return -1;
  long code = 0;
  for (size_t k = 0; k < 4; ++k) {
    const int digit = HexDigitValue(text[at + k]);
    if (digit < 0) return -1;
    code = code * 16 + digit;
  }
  return code;
}

void AppendUtf8(std::string& out, unsigned long code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// The byte a one-letter JSON escape stands for, or 0 when the letter is not one.
char SimpleEscape(char letter) {
  static constexpr char kPairs[][2] = {{'"', '"'},  {'\\', '\\'}, {'/', '/'},  {'b', '\b'},
                                       {'f', '\f'}, {'n', '\n'},  {'r', '\r'}, {'t', '\t'}};
  for (const auto& pair : kPairs) {
    if (pair[0] == letter) return pair[1];
  }
  return 0;
}

// Decodes the body of a JSON string (the bytes between its quotes). A malformed escape is kept
// as written; a lone surrogate becomes U+FFFD.
std::string DecodeJsonString(const std::string& raw) {
  constexpr unsigned long kReplacement = 0xFFFD;
  std::string out;
  out.reserve(raw.size());
  size_t i = 0;
  while (i < raw.size()) {
    if (raw[i] != '\\' || i + 1 >= raw.size()) {
      out += raw[i++];
      continue;
    }
    const char escape = raw[i + 1];
    if (escape != 'u') {
      const char byte = SimpleEscape(escape);
      if (byte != 0) {
        out += byte;
        i += 2;
      } else {
        out += raw[i++];
      }
      continue;
    }
    const long unit = ReadHex4(raw, i + 2);
    if (unit < 0) {
      out += raw[i++];
      continue;
    }
    i += 6;
    unsigned long code = static_cast<unsigned long>(unit);
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      const long low =
          (i + 1 < raw.size() && raw[i] == '\\' && raw[i + 1] == 'u') ? ReadHex4(raw, i + 2) : -1;
      if (low >= 0xDC00 && low <= 0xDFFF) {
        code = 0x10000 + ((static_cast<unsigned long>(unit) - 0xD800) << 10) +
               (static_cast<unsigned long>(low) - 0xDC00);
        i += 6;
      } else {
        code = kReplacement;
      }
    } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
      code = kReplacement;
    }
    AppendUtf8(out, code);
  }
  return out;
}

// Reads one entry of the result list (its own members only) as a result.
bool ReadItem(const std::string& entry, SearchResult& result) {
  int title_pos = 1;
  int link_pos = 1;
  std::string title;
  std::string link;
  if (!ExtractJsonString(entry, kTitleMarker, title_pos, title) || title.empty()) return false;
  if (!ExtractJsonString(entry, kLinkMarker, link_pos, link)) return false;
  link = HTMLDecode(link);
  // An empty URL cell would read as a spacer row in the second pass.
  if (link.empty()) return false;
  result = {std::move(title), std::move(link)};
  return true;
}

}  // namespace

std::string QueryText(QueryKind kind, const std::string& system_text) {
  // The services read the query as UTF-8, whatever the system's code page.
  const std::string text = ToUtf8(system_text, SystemCodePage());
  switch (kind) {
    case QueryKind::Phrase:
    case QueryKind::Autocomplete:
      return PhraseForm(text);
    case QueryKind::Title:
      return "allintitle%3A+" + PhraseForm(text);
    case QueryKind::URL:
      return "allinurl%3A+" + PhraseForm(text);
    case QueryKind::Backlinks:
      return "link%3A+" + URLEncode(text);
  }
  return std::string();
}

std::string BuildQueryURL(QueryKind kind, const std::string& text, const std::string& api_key,
                          const std::string& engine_code, const std::string& endpoint) {
  const std::string keywords = QueryText(kind, text);
  // The order is part of the contract: a key or engine code holding a later placeholder
  // receives that placeholder's value.
  // Only the template is filled in: an endpoint whose path holds a placeholder's letters
  // reaches the wire exactly as typed.
  std::string query = kQueryPath;
  query = ReplaceAllIgnoringCase(query, "_CX_", Trim(engine_code));
  query = ReplaceAllIgnoringCase(query, "_KEY_", Trim(api_key));
  query = ReplaceAllIgnoringCase(query, "_KEYWORDS_", keywords);
  return endpoint + query;
}

bool ReadCount(const std::string& response, std::string& count) {
  if (!ExtractNumber(response, kCountMarker, "\"", count)) return false;
  // A negative total is no count: the request failed.
  int64_t total = 0;
  return TryStrToInt64(count, total) && total >= 0;
}

std::string ErrorText(const std::string& response) {
  int pos = 1;
  std::string message;
  if (ExtractJsonString(response, kMessageMarker, pos, message)) {
    return kAbnormalTermination + message;
  }
  return kAbnormalTermination;
}

std::string HTMLDecode(const std::string& text) {
  struct Named {
    const char* reference;
    char byte;
  };
  static constexpr Named kNamed[] = {
      {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&nbsp;", ' '}, {"&quot;", '"'},
  };

  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    if (text[i] != '&') {
      out += text[i++];
      continue;
    }
    bool decoded = false;
    for (const Named& named : kNamed) {
      if (text.compare(i, std::char_traits<char>::length(named.reference), named.reference) == 0) {
        out += named.byte;
        i += std::char_traits<char>::length(named.reference);
        decoded = true;
        break;
      }
    }
    if (!decoded && text.compare(i, 2, "&#") == 0) {
      size_t end = text.find(';', i + 2);
      const bool has_semicolon = end != std::string::npos;
      if (!has_semicolon) end = text.size();
      int32_t number = 0;
      if (TryStrToInt(text.substr(i + 2, end - (i + 2)), number)) {
        out += static_cast<char>(static_cast<uint32_t>(number) & 0xFFu);
        i = has_semicolon ? end + 1 : end;
        decoded = true;
      }
    }
    if (!decoded) out += text[i++];
  }
  return out;
}

int32_t ParseCount(const std::string& text) {
  int64_t value = 0;
  const bool read = ReadCountDigits(
      Trim(text), [](char ch) { return ch == ','; }, INT32_MAX, value);
  return read ? static_cast<int32_t>(value) : 0;
}

bool ExtractJsonString(const std::string& text, const std::string& start_marker, int& pos,
                       std::string& value) {
  if (pos > static_cast<int>(text.size()) + 1) return false;
  const size_t search_from = pos < 1 ? 0 : static_cast<size_t>(pos) - 1;
  const size_t start = text.find(start_marker, search_from);
  if (start == std::string::npos) return false;
  const size_t from = start + start_marker.size();
  size_t end = from;
  while (end < text.size() && text[end] != '"') {
    end += text[end] == '\\' ? 2 : 1;
  }
  if (end >= text.size()) return false;  // no closing quote
  value = DecodeJsonString(text.substr(from, end - from));
  pos = static_cast<int>(end + 1);
  return !value.empty();
}

std::vector<SearchResult> ReadItems(const std::string& response, size_t max_results) {
  std::vector<SearchResult> results;
  const size_t marker = response.find(kItemsMarker);
  if (marker == std::string::npos) return results;
  size_t p = marker + std::string(kItemsMarker).size();
  while (p < response.size() && (response[p] == ' ' || response[p] == '\t' || response[p] == '\r' ||
                                 response[p] == '\n')) {
    ++p;
  }
  if (p >= response.size() || response[p] != '[') return results;

  // Walk the list, counting brackets outside strings. `entry` gathers the members of
  // the entry under way at its own level; nested objects and lists are kept as empty
  // brackets so that their "title" or "link" members are never taken for the entry's.
  std::string entry;
  bool entry_is_object = false;
  int depth = 0;  // 0: between entries; 1: an entry's own members; 2 and more: nested
  bool in_string = false;
  bool escaped = false;
  SearchResult result;
  for (++p; p < response.size() && results.size() < max_results; ++p) {
    const char c = response[p];
    if (in_string) {
      if (depth == 1) entry += c;
      if (escaped) {
        escaped = false;
      } else if (c == '\\') {
        escaped = true;
      } else if (c == '"') {
        in_string = false;
      }
      continue;
    }
    switch (c) {
      case '"':
        in_string = true;
        if (depth == 1) entry += c;
        break;
      case '{':
      case '[':
        if (depth == 0) {
          entry.clear();
          entry_is_object = c == '{';
        } else if (depth == 1) {
          entry += c;
        }
        ++depth;
        break;
      case '}':
      case ']':
        if (depth == 0) return results;  // the end of the list
        --depth;
        if (depth == 1) {
          entry += c;
        } else if (depth == 0 && entry_is_object && ReadItem(entry, result)) {
          results.push_back(std::move(result));
        }
        break;
      default:
        if (depth == 1) entry += c;
        break;
    }
  }
  // An answer cut off inside an entry: the entry counts when its title and link came
  // through whole.
  if (depth > 0 && entry_is_object && results.size() < max_results && ReadItem(entry, result)) {
    results.push_back(std::move(result));
  }
  return results;
}

bool HasItems(const std::string& response) {
  return response.find(kItemsMarker) != std::string::npos;
}

}  // namespace kelvaro
