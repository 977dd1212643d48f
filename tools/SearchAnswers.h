#pragma once

// What the substitute search service answers, as plain functions: the counts and results it
// invents for a query, and the JSON texts in the custom-search API's format. The service in
// SubstituteSearchServer.h only adds HTTP, credentials, the quota and faults around these.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kelvaro::searchsim {

// The query text q (already URL-decoded) split into its operator and its subject.
enum class Operator { kNone, kAllInTitle, kAllInUrl, kLink };
struct ParsedQuery {
  Operator op = Operator::kNone;
  std::string subject;  // the phrase, or the URL of a link: query; trimmed, inner runs kept
};
// Recognises a leading "allintitle:", "allinurl:" or "link:" (any letter case, spaces after
// the colon skipped).
ParsedQuery ParseQuery(std::string_view q);

// The lower-case words of a phrase: runs of ASCII letters and digits.
std::vector<std::string> Words(std::string_view phrase);

// The count rules. Counts are deterministic in the query text (letter case and runs of spaces
// do not matter). For a phrase P:
//   - P containing the word "nothing": every count of P is 0 (no items).
//   - P containing the word "few": the phrase count is 4, title 2, URL 1 (4, 2 and 1 items).
//   - P containing the word "niche", "common" or "popular": every count of P falls in the
//     green, yellow or red band of the main window respectively:
//         phrase  green < 200000 <= yellow < 600000 <= red
//         title and URL  green < 10000 <= yellow < 50000 <= red
//   - otherwise the band of each count is picked by a hash of P, so a handful of phrases
//     shows all three colours; use PhraseCount/TitleCount/UrlCount to pick phrases.
//   The title and URL counts are always below the phrase count.
// A link: query counts the backlinks of its URL: 0 for about one URL in ten, else 1-3000.
// (A phrase containing the word "fail" is answered with an error by the service, see
// SubstituteSearchServer.h; its counts here are the ordinary ones.)
int64_t PhraseCount(std::string_view phrase);
int64_t TitleCount(std::string_view phrase);
int64_t UrlCount(std::string_view phrase);
int64_t BacklinkCount(std::string_view url);
// The count for a whole q text, dispatching on its operator.
int64_t CountFor(std::string_view q);

// One entry of the answer's items array, texts unescaped.
struct SearchItem {
  std::string title;
  std::string html_title;
  std::string link;
  std::string display_link;
  std::string snippet;
};

// min(10, count) results for q. Their links are https URLs on example.com/.net/.org hosts,
// some with "&" in their query; some titles hold a double quote or "&" (escaped in the JSON).
std::vector<SearchItem> ItemsFor(std::string_view q, int64_t count);

// The pretty-printed success answer for q (two-space indent, a space after each colon, counts
// as strings in queries.request[0].totalResults and searchInformation.totalResults, no items
// member when count is 0).
std::string SearchAnswerJson(std::string_view q, std::string_view engine_code, int64_t count,
                             const std::vector<SearchItem>& items);

// An error in the API's format:
// {"error": {"code": ..., "message": ..., "errors": [{message, domain, reason}], "status": ...}}
struct ApiError {
  int code = 0;
  std::string message;
  std::string reason;  // errors[0].reason
  std::string status;  // the RPC status name
};
ApiError KeyInvalidError();       // 400 "API key not valid. Please pass a valid API key."
ApiError InvalidArgumentError();  // 400 "Request contains an invalid argument."
ApiError QuotaExceededError();    // 429 "Quota exceeded for quota metric 'Queries' ..."
ApiError PerMinuteQuotaError();   // 429 the same for the limit 'Queries per minute per user'
ApiError BackendError();          // 500 "Backend Error"
std::string ErrorAnswerJson(const ApiError& error);

// A JSON string literal (quotes included) escaped the way the API does: \" \\ and control
// characters, and & < > ' as \u0026 \u003c \u003e \u0027.
std::string JsonQuote(std::string_view text);

// The same answers in SerpApi's layout (JSON, counts as numbers). The messages SerpApi sends
// with its errors:
inline constexpr char kSerpApiInvalidKey[] =
    "Invalid API key. Your API key should be here: https://serpapi.com/manage-api-key";   // 401
inline constexpr char kSerpApiOutOfSearches[] = "Your account has run out of searches.";  // 429
inline constexpr char kSerpApiHourlyLimit[] =
    "Your account has reached its hourly searches limit. Please try again later.";       // 429
inline constexpr char kSerpApiMissingQuery[] = "Missing query `q` parameter.";            // 400
inline constexpr char kSerpApiUnsupportedEngine[] = "Unsupported engine.";                // 400
inline constexpr char kSerpApiServerError[] = "Internal server error.";                   // 500
// Sent with HTTP 200 (and a total of 0) when a search finds nothing.
inline constexpr char kSerpApiNoResults[] = "Google hasn't returned any results for this query.";

// The search answer for q: search_metadata, search_parameters, search_information with
// total_results, and organic_results (position, title, link, displayed_link, snippet) in the
// order of items. A count of 0 gives SerpApi's empty answer instead: total_results 0, no
// organic_results, and "error": kSerpApiNoResults.
std::string SerpApiSearchJson(std::string_view q, int64_t count,
                              const std::vector<SearchItem>& items);
// The keyword ideas, fixed functions of a phrase P, written with P's words in lower case and
// one space apart (W):
//   related searches  "W near me", "best W", "W reviews", "cheap W"
//   questions         "what is W?", "where to buy W?", "how much does W cost?"
//   suggestions       "W online", "W near me", "W for sale", "W 2026"
// (one suggestion is also a related search). A phrase answer with a count holds the related
// searches and questions (related_searches[].query, related_questions[].question); one without
// results holds none.
std::vector<std::string> RelatedSearchesFor(std::string_view phrase);
std::vector<std::string> QuestionsFor(std::string_view phrase);
std::vector<std::string> SuggestionsFor(std::string_view phrase);
// SerpApi's google_autocomplete answer for q: search_metadata, search_parameters and
// suggestions[] (value, relevance, type).
std::string SerpApiAutocompleteJson(std::string_view q);
// {"error": message}
std::string SerpApiErrorJson(std::string_view message);
// The account answer: plan and usage figures, with searches_left in plan_searches_left and
// total_searches_left, searches_used in this_month_usage, and the hour's figures.
struct AccountUsage {
  int64_t searches_left = 0;
  int64_t searches_used = 0;
  int64_t this_hour = 0;
  int64_t last_hour = 0;
  int64_t per_hour = 1000000;
};
std::string SerpApiAccountJson(const AccountUsage& figures);

}  // namespace kelvaro::searchsim
