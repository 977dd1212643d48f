#pragma once

// The custom-search request URL and the reading of its answers. Answers are not parsed as JSON:
// values are cut out between fixed markers, which is all the workers need.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kelvaro {

enum class QueryKind {
  Phrase,     // the phrase as typed
  Title,      // allintitle: phrase
  URL,        // allinurl: phrase
  Backlinks,  // link: result URL
  Autocomplete,  // the suggestions a search box makes for the phrase (SerpApi only)
};

// Scheme and host of the search API. Tests and the offline demo pass their own endpoint.
inline constexpr char kSearchEndpoint[] = "https://www.googleapis.com";

// The error text shown for a failed request, spelled as the product has always shown it.
inline constexpr char kAbnormalTermination[] = "Abnormal request terminatiom. ";

// The query text of a kind, as every search service is asked it (the text converted from the
// system's code page to UTF-8, then URL-encoded):
//   Phrase     the phrase form of text: each space becomes "+", every other byte outside
//              0-9 a-z A-Z - . _ ~ becomes %XX ("salt & pepper" -> "salt+%26+pepper")
//   Title      "allintitle%3A+" followed by the phrase form
//   URL        "allinurl%3A+" followed by the phrase form
//   Backlinks  "link%3A+" followed by URLEncode(text)
//   Autocomplete  the phrase form
std::string QueryText(QueryKind kind, const std::string& text);

// endpoint + "/customsearch/v1?q=_KEYWORDS_&cx=_CX_&hl=EN&lr=lang_en&key=_KEY_" with, in the
// template only (never in the endpoint), in this order and ignoring letter case, _CX_ replaced by the trimmed engine code, _KEY_ by the
// trimmed API key, and _KEYWORDS_ by QueryText(kind, text).
std::string BuildQueryURL(QueryKind kind, const std::string& text, const std::string& api_key,
                          const std::string& engine_code,
                          const std::string& endpoint = kSearchEndpoint);

// The result count of an answer: the text after the first `"totalResults": "` up to the next
// quote. Returns true when that text is a valid 64-bit integer text of 0 or more; count keeps the cut text
// unchanged (count is left alone when the markers are missing).
bool ReadCount(const std::string& response, std::string& count);

// kAbnormalTermination followed by the API's error message (the JSON string after the first
// `"message": "`, decoded), or kAbnormalTermination alone when there is no non-empty message.
std::string ErrorText(const std::string& response);

// One result of a search answer: a title and a link, both present.
struct SearchResult {
  std::string title;
  std::string link;
};

// The results listed in a custom-search `response`, in order, at most `max_results`. Each
// entry of the "items" list is cut out on its own and read for its own "title" and "link"
// (the link with its character references decoded), so a title is never paired with another
// entry's link; an entry lacking either is not a result. Values inside nested objects (such
// as "pagemap") are not read.
std::vector<SearchResult> ReadItems(const std::string& response, size_t max_results);

// True when a custom-search `response` has a result list at all (the "items" marker).
bool HasItems(const std::string& response);

// Replaces &amp; &lt; &gt; &nbsp; &quot; and numeric references &#N; (N an integer text, the
// byte is its low eight bits; the reference may end at the end of the text without ";"). Any
// other "&", and a numeric reference whose N is not an integer text, is copied unchanged.
std::string HTMLDecode(const std::string& text);

// A count text as a number for averaging: trimmed, commas removed; 0 when the rest is empty,
// holds anything but digits 0-9, or exceeds 2147483647.
int32_t ParseCount(const std::string& text);

// Like ExtractBetween(text, start_marker, "\"", pos, value), but the value is a JSON string: it
// ends at the first quote not escaped by a backslash, and its escapes (\" \\ \/ \b \f \n \r \t
// and \uXXXX, surrogate pairs included, written as UTF-8) are decoded. pos is 1-based and moves
// to the closing quote's position; a miss (no marker, no closing quote) leaves value and pos
// unchanged. Returns true when a non-empty value was found.
bool ExtractJsonString(const std::string& text, const std::string& start_marker, int& pos,
                       std::string& value);

}  // namespace kelvaro
