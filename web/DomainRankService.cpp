#include "web/DomainRankService.h"

#include <charconv>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <system_error>

#include "base/Text.h"
#include "web/uHelper.h"

namespace kelvaro {

namespace {

using nlohmann::json;

bool IsHostByte(char ch) {
  const auto code = static_cast<unsigned char>(ch);
  return (ch >= 'a' && ch <= 'z') || (ch >= '0' && ch <= '9') || ch == '-' || ch == '.' ||
         code >= 0x80;
}

// The domain as answers are matched with it: lower case, no leading "www.".
std::string MatchKey(std::string domain) {
  domain = LowerAscii(domain);
  if (domain.compare(0, 4, "www.") == 0) domain.erase(0, 4);
  return domain;
}

std::optional<double> Rank(const json& value) {
  double rank = -1;
  if (value.is_number()) {
    rank = value.get<double>();
  } else if (value.is_string()) {
    const std::optional<double> parsed = ParseRank(value.get<std::string>());
    if (!parsed) return std::nullopt;
    rank = *parsed;
  }
  if (!(rank >= 0 && rank <= 10)) return std::nullopt;
  return rank;
}

std::string ErrorOf(const json& document) {
  const auto error = document.find("error");
  if (error != document.end() && error->is_string()) return error->get<std::string>();
  const auto message = document.find("message");
  if (message != document.end() && message->is_string()) return message->get<std::string>();
  return std::string();
}

}  // namespace

std::string RankDomain(const std::string& link) {
  std::string rest = Trim(link);
  const size_t scheme = rest.find("://");
  if (scheme != std::string::npos) rest.erase(0, scheme + 3);
  rest = rest.substr(0, rest.find_first_of("/?#"));
  // A user name and password before the host.
  if (const size_t at = rest.rfind('@'); at != std::string::npos) rest.erase(0, at + 1);
  if (!rest.empty() && rest.front() == '[') return std::string();  // an IPv6 address
  rest = LowerAscii(rest.substr(0, rest.find(':')));
  while (!rest.empty() && rest.back() == '.') rest.pop_back();
  if (rest.compare(0, 4, "www.") == 0) rest.erase(0, 4);
  if (rest.empty() || rest.front() == '.' || rest.find("..") != std::string::npos) {
    return std::string();
  }
  for (const char ch : rest) {
    if (!IsHostByte(ch)) return std::string();
  }
  return rest;
}

std::vector<std::string> RankDomains(const std::vector<std::string>& links) {
  std::vector<std::string> domains;
  std::set<std::string> seen;
  for (const std::string& link : links) {
    std::string domain = RankDomain(link);
    if (!domain.empty() && seen.insert(domain).second) domains.push_back(std::move(domain));
  }
  return domains;
}

std::vector<std::string> RankURLs(const std::string& endpoint,
                                  const std::vector<std::string>& domains) {
  std::string base = Trim(endpoint);
  while (!base.empty() && base.back() == '/') base.pop_back();
  const std::string head = (base.empty() ? std::string(kRankEndpoint) : base) + kRankPath;
  std::vector<std::string> urls;
  for (size_t i = 0; i < domains.size(); ++i) {
    if (i % kRankBatchSize == 0) {
      urls.push_back(head);
      urls.back() += '?';
    } else {
      urls.back() += '&';
    }
    urls.back() += "domains%5B%5D=" + URLEncode(domains[i]);
  }
  return urls;
}

std::vector<std::string> RankHeaders(const std::string& api_key) {
  return {"API-OPR: " + Trim(api_key), "Accept: application/json"};
}

RankAnswer ReadRankAnswer(long http_status, const std::string& body,
                          const std::vector<std::string>& domains, const std::string& api_key) {
  RankAnswer answer;
  answer.ranks.assign(domains.size(), std::nullopt);
  const json document = json::parse(body, nullptr, /*allow_exceptions=*/false);
  if (document.is_object()) answer.message = WithoutSecret(ErrorOf(document), Trim(api_key));
  if (http_status < 200 || http_status > 299 || !document.is_object()) return answer;
  const auto status = document.find("status_code");
  if (status != document.end() && !(status->is_number_integer() && status->get<int64_t>() == 200)) {
    return answer;
  }
  const auto response = document.find("response");
  if (response == document.end() || !response->is_array()) return answer;
  answer.ok = true;
  answer.message.clear();

  std::map<std::string, size_t> slot;
  for (size_t i = 0; i < domains.size(); ++i) slot.emplace(MatchKey(domains[i]), i);
  for (const json& entry : *response) {
    if (!entry.is_object()) continue;
    const auto domain = entry.find("domain");
    if (domain == entry.end() || !domain->is_string()) continue;
    const auto found = slot.find(MatchKey(domain->get<std::string>()));
    if (found == slot.end()) continue;
    const auto code = entry.find("status_code");
    if (code != entry.end() && !(code->is_number_integer() && code->get<int64_t>() == 200)) {
      continue;
    }
    const auto rank = entry.find("page_rank_decimal");
    if (rank != entry.end()) answer.ranks[found->second] = Rank(*rank);
  }
  return answer;
}

std::string FormatRank(double rank) {
  char text[32];
  const std::to_chars_result result =
      std::to_chars(text, text + sizeof text, rank, std::chars_format::fixed, 2);
  return result.ec == std::errc() ? std::string(text, result.ptr) : std::string();
}

std::string RankText(double rank) {
  char text[32];
  const std::to_chars_result result = std::to_chars(text, text + sizeof text, rank);
  return result.ec == std::errc() ? std::string(text, result.ptr) : std::string();
}

std::optional<double> ParseRank(const std::string& text) {
  double rank = -1;
  const char* end = text.data() + text.size();
  const std::from_chars_result result =
      std::from_chars(text.data(), end, rank, std::chars_format::fixed);
  if (text.empty() || result.ec != std::errc() || result.ptr != end) return std::nullopt;
  if (!(rank >= 0 && rank <= 10)) return std::nullopt;
  return rank;
}

}  // namespace kelvaro
