#include "tools/SearchAnswers.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <nlohmann/json.hpp>

namespace kelvaro::searchsim {

namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
bool IsWordByte(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Letter case and runs of blanks do not change a query's counts.
std::string Normalized(std::string_view text) {
  std::string out;
  bool pending_space = false;
  for (const char c : text) {
    if (static_cast<unsigned char>(c) <= 32) {
      pending_space = !out.empty();
      continue;
    }
    if (pending_space) out += ' ';
    pending_space = false;
    out += Lower(c);
  }
  return out;
}

uint64_t Mix(uint64_t x) {  // splitmix64's finaliser: nearby texts get unrelated counts
  x += 0x9E3779B97F4A7C15ULL;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
  return x ^ (x >> 31);
}

// A hash of the normalised text; salt separates the independent choices made for one text.
uint64_t Hash(std::string_view text, uint64_t salt) {
  uint64_t h = 0xCBF29CE484222325ULL;  // FNV-1a
  for (const char c : Normalized(text)) {
    h ^= static_cast<unsigned char>(c);
    h *= 0x100000001B3ULL;
  }
  return Mix(h ^ Mix(salt));
}

struct Band {
  int64_t low;
  int64_t high;
};
// Green, yellow and red as the main window colours them.
constexpr std::array<Band, 3> kPhraseBands = {
    {{1200, 199999}, {200000, 599999}, {600000, 9999999}}};
constexpr std::array<Band, 3> kNarrowBands = {{{40, 9999}, {10000, 49999}, {50000, 599999}}};

bool HasWord(const std::vector<std::string>& words, std::string_view word) {
  return std::find(words.begin(), words.end(), word) != words.end();
}

size_t BandIndex(const std::vector<std::string>& words, uint64_t hash) {
  if (HasWord(words, "niche")) return 0;
  if (HasWord(words, "common")) return 1;
  if (HasWord(words, "popular")) return 2;
  return hash % 3;
}

int64_t InBand(const Band& band, uint64_t hash) {
  return band.low + static_cast<int64_t>(hash % static_cast<uint64_t>(band.high - band.low + 1));
}

// A title or URL count: its own band, kept below the phrase count.
int64_t NarrowCount(std::string_view phrase, uint64_t band_salt, uint64_t value_salt,
                    int64_t few_count) {
  const std::vector<std::string> words = Words(phrase);
  if (HasWord(words, "nothing")) return 0;
  if (HasWord(words, "few")) return few_count;
  const int64_t phrase_count = PhraseCount(phrase);
  const int64_t count =
      InBand(kNarrowBands[BandIndex(words, Hash(phrase, band_salt))], Hash(phrase, value_salt));
  return count < phrase_count ? count : phrase_count / 2;
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (Lower(text[i]) != prefix[i]) return false;
  }
  return true;
}

std::string Trimmed(std::string_view text) {
  size_t first = 0;
  size_t last = text.size();
  while (first < last && static_cast<unsigned char>(text[first]) <= 32) ++first;
  while (last > first && static_cast<unsigned char>(text[last - 1]) <= 32) --last;
  return std::string(text.substr(first, last - first));
}

std::string WithThousands(int64_t value) {
  std::string digits = std::to_string(value);
  std::string out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

std::string HtmlEscape(std::string_view text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

// Builds indented JSON the way the API prints it: two spaces per level, "key": value.
class PrettyJson {
 public:
  PrettyJson& Open(char bracket) {
    out_ += bracket;
    open_.push_back({bracket == '{' ? '}' : ']', true});
    return *this;
  }
  PrettyJson& Close() {
    const Level level = open_.back();
    open_.pop_back();
    if (!level.empty) NewLine();
    out_ += level.closer;
    return *this;
  }
  PrettyJson& Key(std::string_view key) {
    Item();
    out_ += JsonQuote(key);
    out_ += ": ";
    return *this;
  }
  // Starts an array element.
  PrettyJson& Item() {
    Level& level = open_.back();
    if (!level.empty) out_ += ',';
    level.empty = false;
    NewLine();
    return *this;
  }
  PrettyJson& String(std::string_view value) {
    out_ += JsonQuote(value);
    return *this;
  }
  PrettyJson& Raw(std::string_view literal) {
    out_ += literal;
    return *this;
  }
  PrettyJson& Number(int64_t value) { return Raw(std::to_string(value)); }
  PrettyJson& Field(std::string_view key, std::string_view value) { return Key(key).String(value); }
  std::string Take() { return std::move(out_); }

 private:
  struct Level {
    char closer;
    bool empty;
  };
  void NewLine() {
    out_ += '\n';
    out_.append(2 * open_.size(), ' ');
  }
  std::string out_;
  std::vector<Level> open_;
};

// The "request" or "nextPage" entry of the answer's queries member.
void WriteQueryEntry(PrettyJson& json, std::string_view q, std::string_view engine_code,
                     const std::string& total, int64_t count, int64_t start_index) {
  json.Item().Open('{');
  json.Field("title", "Google Custom Search - " + std::string(q));
  json.Field("totalResults", total);
  json.Field("searchTerms", q);
  json.Key("count").Number(count);
  json.Key("startIndex").Number(start_index);
  json.Field("language", "lang_en");
  json.Field("inputEncoding", "utf8");
  json.Field("outputEncoding", "utf8");
  json.Field("safe", "off");
  json.Field("cx", engine_code);
  json.Close();
}

struct ItemPattern {
  const char* before;  // title text before the phrase
  const char* after;   // title text after the phrase
  const char* host;
};
constexpr std::array<ItemPattern, 10> kPatterns = {{
    {"", " - Say \"hi\" to the Best Deals", "www.example.com"},
    {"", " & Accessories | Example Store", "shop.example.net"},
    {"Top 10 ", " of the Year", "blog.example.org"},
    {"", ": The Complete Guide", "guide.example.com"},
    {"", " Reviews and Ratings", "reviews.example.net"},
    {"", " - Example Wiki", "wiki.example.org"},
    {"Buy ", " Online", "store.example.com"},
    {"", " Questions & Answers - Forum", "forum.example.net"},
    {"How to Choose ", "", "help.example.org"},
    {"", " News and Updates", "news.example.com"},
}};

std::string Joined(const std::vector<std::string>& words, std::string_view separator) {
  std::string out;
  for (const std::string& word : words) {
    if (!out.empty()) out += separator;
    out += word;
  }
  return out;
}

std::string LinkFor(size_t pattern, const std::vector<std::string>& words, uint64_t hash) {
  const std::string slug = Joined(words, "-");
  const std::string host = std::string("https://") + kPatterns[pattern].host;
  switch (pattern) {
    case 0:
      return host + "/" + slug;
    case 1:
      return host + "/search?q=" + Joined(words, "+") + "&sort=price";
    case 2:
      return host + "/top-10-" + slug + "/";
    case 3:
      return host + "/" + slug + "/complete-guide";
    case 4:
      return host + "/" + slug + "?year=2024&page=1";
    case 5: {
      std::vector<std::string> capitalised = words;
      for (std::string& word : capitalised) word[0] = static_cast<char>(std::toupper(word[0]));
      return host + "/wiki/" + Joined(capitalised, "_");
    }
    case 6:
      return host + "/products/" + slug;
    case 7:
      return host + "/t/" + slug + "/" + std::to_string(1000 + hash % 9000);
    case 8:
      return host + "/articles/how-to-choose-" + slug;
    default:
      return host + "/tag/" + slug + "?ref=search&utm_source=feed";
  }
}

}  // namespace

ParsedQuery ParseQuery(std::string_view q) {
  static constexpr std::pair<Operator, std::string_view> kOperators[] = {
      {Operator::kAllInTitle, "allintitle:"},
      {Operator::kAllInUrl, "allinurl:"},
      {Operator::kLink, "link:"},
  };
  const std::string text = Trimmed(q);
  for (const auto& [op, prefix] : kOperators) {
    if (StartsWithIgnoringCase(text, prefix)) {
      return {op, Trimmed(std::string_view(text).substr(prefix.size()))};
    }
  }
  return {Operator::kNone, text};
}

namespace {

// The phrase's words in lower case, one space apart.
std::string SpacedWords(std::string_view phrase) {
  std::string spaced;
  for (const std::string& word : Words(phrase)) {
    if (!spaced.empty()) spaced += ' ';
    spaced += word;
  }
  return spaced;
}

// A text in a query URL: spaces as "+", other bytes outside letters and digits as %XX.
std::string PlusForm(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string form;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == ' ') {
      form += '+';
    } else if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) {
      form += c;
    } else {
      form += '%';
      form += kHex[byte >> 4];
      form += kHex[byte & 0xf];
    }
  }
  return form;
}

}  // namespace

std::vector<std::string> Words(std::string_view phrase) {
  std::vector<std::string> words;
  std::string word;
  for (const char c : phrase) {
    if (IsWordByte(c)) {
      word += Lower(c);
    } else if (!word.empty()) {
      words.push_back(std::move(word));
      word.clear();
    }
  }
  if (!word.empty()) words.push_back(std::move(word));
  return words;
}

int64_t PhraseCount(std::string_view phrase) {
  const std::vector<std::string> words = Words(phrase);
  if (HasWord(words, "nothing")) return 0;
  if (HasWord(words, "few")) return 4;
  return InBand(kPhraseBands[BandIndex(words, Hash(phrase, 1))], Hash(phrase, 2));
}

int64_t TitleCount(std::string_view phrase) { return NarrowCount(phrase, 3, 4, 2); }

int64_t UrlCount(std::string_view phrase) { return NarrowCount(phrase, 5, 6, 1); }

int64_t BacklinkCount(std::string_view url) {
  const uint64_t h = Hash(url, 7);
  if (h % 10 == 0) return 0;
  return 1 + static_cast<int64_t>((h / 10) % 3000);
}

int64_t CountFor(std::string_view q) {
  const ParsedQuery query = ParseQuery(q);
  switch (query.op) {
    case Operator::kAllInTitle:
      return TitleCount(query.subject);
    case Operator::kAllInUrl:
      return UrlCount(query.subject);
    case Operator::kLink:
      return BacklinkCount(query.subject);
    case Operator::kNone:
      break;
  }
  return PhraseCount(query.subject);
}

std::vector<SearchItem> ItemsFor(std::string_view q, int64_t count) {
  const ParsedQuery query = ParseQuery(q);
  std::vector<std::string> words = Words(query.subject);
  if (query.op == Operator::kLink) {
    // Pages linking to a URL are about its path, not its scheme and host.
    std::erase_if(words, [](const std::string& w) {
      return w == "https" || w == "http" || w == "www" || w == "com" || w == "net" || w == "org" ||
             w == "example";
    });
  }
  if (words.size() > 6) words.resize(6);
  if (words.empty()) words.push_back("results");

  std::vector<std::string> title_words = words;
  for (std::string& word : title_words) word[0] = static_cast<char>(std::toupper(word[0]));
  const std::string phrase = Joined(words, " ");
  const std::string title_phrase = Joined(title_words, " ");

  const uint64_t hash = Hash(query.subject, 8);
  const size_t n = static_cast<size_t>(std::clamp<int64_t>(count, 0, 10));
  std::vector<SearchItem> items;
  for (size_t i = 0; i < n; ++i) {
    const size_t pattern = (hash + i) % kPatterns.size();
    const ItemPattern& p = kPatterns[pattern];
    SearchItem item;
    item.title = p.before + title_phrase + p.after;
    item.html_title =
        HtmlEscape(p.before) + "<b>" + HtmlEscape(title_phrase) + "</b>" + HtmlEscape(p.after);
    item.link = LinkFor(pattern, words, hash + i);
    item.display_link = p.host;
    item.snippet = "Find " + phrase + " at fair prices. Compare models, read reviews &\n" +
                   "choose the " + phrase + " that fit you best.";
    items.push_back(std::move(item));
  }
  return items;
}

std::string SearchAnswerJson(std::string_view q, std::string_view engine_code, int64_t count,
                             const std::vector<SearchItem>& items) {
  const std::string total = std::to_string(count);
  const auto returned = static_cast<int64_t>(items.size());
  const uint64_t hash = Hash(q, 9);
  char search_time[16];
  std::snprintf(search_time, sizeof search_time, "%.6f",
                0.2 + static_cast<double>(hash % 400000) / 1000000.0);
  char formatted_time[8];
  std::snprintf(formatted_time, sizeof formatted_time, "%.2f",
                0.2 + static_cast<double>(hash % 400000) / 1000000.0);

  PrettyJson json;
  json.Open('{');
  json.Field("kind", "customsearch#search");
  json.Key("url").Open('{');
  json.Field("type", "application/json");
  json.Field("template",
             "https://www.googleapis.com/customsearch/v1?q={searchTerms}&num={count?}"
             "&start={startIndex?}&lr={language?}&safe={safe?}&cx={cx?}&sort={sort?}"
             "&filter={filter?}&gl={gl?}&cr={cr?}&googlehost={googleHost?}"
             "&c2coff={disableCnTwTranslation?}&hq={hq?}&hl={hl?}&siteSearch={siteSearch?}"
             "&siteSearchFilter={siteSearchFilter?}&exactTerms={exactTerms?}"
             "&excludeTerms={excludeTerms?}&linkSite={linkSite?}&orTerms={orTerms?}"
             "&dateRestrict={dateRestrict?}&lowRange={lowRange?}&highRange={highRange?}"
             "&searchType={searchType}&fileType={fileType?}&rights={rights?}"
             "&imgSize={imgSize?}&imgType={imgType?}&imgColorType={imgColorType?}"
             "&imgDominantColor={imgDominantColor?}&alt=json");
  json.Close();
  json.Key("queries").Open('{');
  json.Key("request").Open('[');
  WriteQueryEntry(json, q, engine_code, total, returned, 1);
  json.Close();
  if (count > 10) {
    json.Key("nextPage").Open('[');
    WriteQueryEntry(json, q, engine_code, total, 10, 11);
    json.Close();
  }
  json.Close();
  json.Key("context").Open('{');
  json.Field("title", "Kelvaro demo engine");
  json.Close();
  json.Key("searchInformation").Open('{');
  json.Key("searchTime").Raw(search_time);
  json.Field("formattedSearchTime", formatted_time);
  json.Field("totalResults", total);
  json.Field("formattedTotalResults", WithThousands(count));
  json.Close();
  if (count > 0) {
    json.Key("items").Open('[');
    for (const SearchItem& item : items) {
      json.Item().Open('{');
      json.Field("kind", "customsearch#result");
      json.Field("title", item.title);
      json.Field("htmlTitle", item.html_title);
      json.Field("link", item.link);
      json.Field("displayLink", item.display_link);
      json.Field("snippet", item.snippet);
      json.Field("htmlSnippet", HtmlEscape(item.snippet));
      json.Field("formattedUrl", item.link);
      json.Field("htmlFormattedUrl", HtmlEscape(item.link));
      json.Close();
    }
    json.Close();
  }
  json.Close();
  return json.Take() + "\n";
}

ApiError KeyInvalidError() {
  return {400, "API key not valid. Please pass a valid API key.", "badRequest", "INVALID_ARGUMENT"};
}

ApiError InvalidArgumentError() {
  return {400, "Request contains an invalid argument.", "badRequest", "INVALID_ARGUMENT"};
}

ApiError QuotaExceededError() {
  return {429,
          "Quota exceeded for quota metric 'Queries' and limit 'Queries per day' of service "
          "'customsearch.googleapis.com' for consumer 'project_number:0'.",
          "rateLimitExceeded", "RESOURCE_EXHAUSTED"};
}

ApiError PerMinuteQuotaError() {
  return {429,
          "Quota exceeded for quota metric 'Queries' and limit 'Queries per minute per user' of "
          "service 'customsearch.googleapis.com' for consumer 'project_number:0'.",
          "rateLimitExceeded", "RESOURCE_EXHAUSTED"};
}

ApiError BackendError() { return {500, "Backend Error", "backendError", "INTERNAL"}; }

std::string ErrorAnswerJson(const ApiError& error) {
  PrettyJson json;
  json.Open('{');
  json.Key("error").Open('{');
  json.Key("code").Number(error.code);
  json.Field("message", error.message);
  json.Key("errors").Open('[');
  json.Item().Open('{');
  json.Field("message", error.message);
  json.Field("domain", "global");
  json.Field("reason", error.reason);
  json.Close();
  json.Close();
  json.Field("status", error.status);
  json.Close();
  json.Close();
  return json.Take() + "\n";
}

std::string JsonQuote(std::string_view text) {
  std::string out = "\"";
  for (const char c : text) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      case '&':
        out += "\\u0026";
        break;
      case '<':
        out += "\\u003c";
        break;
      case '>':
        out += "\\u003e";
        break;
      case '\'':
        out += "\\u0027";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
          out += escaped;
        } else {
          out += c;
        }
    }
  }
  out += '"';
  return out;
}

namespace {

// Pretty-printed; a phrase typed in a single-byte code page is not UTF-8, so bytes that are not
// become U+FFFD instead of failing the answer.
std::string Dumped(const nlohmann::json& answer) {
  return answer.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

}  // namespace

std::string SerpApiSearchJson(std::string_view q, int64_t count,
                              const std::vector<SearchItem>& items) {
  using nlohmann::json;
  const uint64_t hash = Hash(q, 9);
  const std::string query(q);
  json answer;
  answer["search_metadata"] = {
      {"id", "kelvaro" + std::to_string(hash % 1000000000)},
      {"status", "Success"},
      {"created_at", "2026-01-01 00:00:00 UTC"},
      {"total_time_taken", 0.25 + static_cast<double>(hash % 100) / 100},
  };
  answer["search_parameters"] = {
      {"engine", "google"}, {"q", query},      {"google_domain", "google.com"},
      {"hl", "en"},         {"lr", "lang_en"}, {"device", "desktop"}};
  json information = {{"query_displayed", query}, {"total_results", count}};
  if (count == 0) {
    information["organic_results_state"] = "Fully empty";
    answer["search_information"] = information;
    answer["error"] = kSerpApiNoResults;
    return Dumped(answer);
  }
  information["time_taken_displayed"] = 0.31;
  information["organic_results_state"] = "Results for exact spelling";
  answer["search_information"] = information;
  json results = json::array();
  for (size_t i = 0; i < items.size(); ++i) {
    results.push_back({{"position", i + 1},
                       {"title", items[i].title},
                       {"link", items[i].link},
                       {"displayed_link", items[i].display_link},
                       {"snippet", items[i].snippet}});
  }
  answer["organic_results"] = results;
  if (ParseQuery(q).op == Operator::kNone) {
    json related = json::array();
    for (const std::string& idea : RelatedSearchesFor(q)) {
      related.push_back({{"query", idea},
                         {"link", "https://www.google.com/search?q=" + PlusForm(idea)}});
    }
    answer["related_searches"] = related;
    json questions = json::array();
    for (const std::string& idea : QuestionsFor(q)) {
      questions.push_back({{"question", idea}, {"snippet", "An answer about " + query + "."}});
    }
    answer["related_questions"] = questions;
  }
  return Dumped(answer);
}

std::vector<std::string> RelatedSearchesFor(std::string_view phrase) {
  const std::string w = SpacedWords(phrase);
  return {w + " near me", "best " + w, w + " reviews", "cheap " + w};
}

std::vector<std::string> QuestionsFor(std::string_view phrase) {
  const std::string w = SpacedWords(phrase);
  return {"what is " + w + "?", "where to buy " + w + "?", "how much does " + w + " cost?"};
}

std::vector<std::string> SuggestionsFor(std::string_view phrase) {
  const std::string w = SpacedWords(phrase);
  return {w + " online", w + " near me", w + " for sale", w + " 2026"};
}

std::string SerpApiAutocompleteJson(std::string_view q) {
  using nlohmann::json;
  const std::string query(q);
  json answer;
  answer["search_metadata"] = {{"id", "kelvaro" + std::to_string(Hash(q, 10) % 1000000000)},
                               {"status", "Success"},
                               {"created_at", "2026-01-01 00:00:00 UTC"}};
  answer["search_parameters"] = {{"engine", "google_autocomplete"}, {"q", query}, {"hl", "en"}};
  json suggestions = json::array();
  int relevance = 600;
  for (const std::string& value : SuggestionsFor(q)) {
    suggestions.push_back({{"value", value}, {"relevance", relevance}, {"type", "QUERY"}});
    relevance -= 50;
  }
  answer["suggestions"] = suggestions;
  return Dumped(answer);
}

std::string SerpApiErrorJson(std::string_view message) {
  return Dumped({{"error", std::string(message)}});
}

std::string SerpApiAccountJson(const AccountUsage& figures) {
  const nlohmann::json answer = {
      {"account_id", "kelvaro-demo"},
      {"account_email", "demo@example.com"},
      {"plan_id", "demo"},
      {"plan_name", "Demo"},
      {"searches_per_month", figures.searches_left + figures.searches_used},
      {"plan_searches_left", figures.searches_left},
      {"extra_credits", 0},
      {"total_searches_left", figures.searches_left},
      {"this_month_usage", figures.searches_used},
      {"this_hour_searches", figures.this_hour},
      {"last_hour_searches", figures.last_hour},
      {"account_rate_limit_per_hour", figures.per_hour},
  };
  return Dumped(answer);
}

}  // namespace kelvaro::searchsim
