#include "web/DataForSeo.h"

#include <nlohmann/json.hpp>

#include <utility>

#include "base/CodePage.h"
#include "base/Text.h"
#include "web/SearchService.h"
#include "web/uHelper.h"

namespace kelvaro {

namespace {

using nlohmann::json;

constexpr char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string Base64(const std::string& bytes) {
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  for (size_t i = 0; i < bytes.size(); i += 3) {
    uint32_t chunk = static_cast<uint32_t>(static_cast<unsigned char>(bytes[i])) << 16;
    if (i + 1 < bytes.size()) chunk |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8;
    if (i + 2 < bytes.size()) chunk |= static_cast<unsigned char>(bytes[i + 2]);
    out += kBase64[(chunk >> 18) & 63];
    out += kBase64[(chunk >> 12) & 63];
    out += i + 1 < bytes.size() ? kBase64[(chunk >> 6) & 63] : '=';
    out += i + 2 < bytes.size() ? kBase64[chunk & 63] : '=';
  }
  return out;
}

std::optional<json> Parse(const std::string& body) {
  json document = json::parse(body, nullptr, /*allow_exceptions=*/false);
  if (!document.is_object()) return std::nullopt;
  return document;
}

int StatusOf(const json& object) {
  const auto it = object.find("status_code");
  return it != object.end() && it->is_number_integer() ? it->get<int>() : 0;
}

std::string MessageOf(const json& object) {
  const auto it = object.find("status_message");
  return it != object.end() && it->is_string() ? it->get<std::string>() : std::string();
}

double NumberOf(const json& object, const char* member) {
  const auto it = object.find(member);
  return it != object.end() && it->is_number() ? it->get<double>() : 0.0;
}

std::string StringOf(const json& object, const char* member) {
  const auto it = object.find(member);
  return it != object.end() && it->is_string() ? it->get<std::string>() : std::string();
}

// The first task of an answer, when it has one.
const json* FirstTask(const json& answer) {
  const auto tasks = answer.find("tasks");
  if (tasks == answer.end() || !tasks->is_array() || tasks->empty() || !(*tasks)[0].is_object()) {
    return nullptr;
  }
  return &(*tasks)[0];
}

// The first result of a task_get answer whose task is done.
const json* FirstResult(const std::string& body, std::optional<json>& holder) {
  holder = Parse(body);
  if (!holder || StatusOf(*holder) != kDfsOk) return nullptr;
  const json* task = FirstTask(*holder);
  if (task == nullptr || StatusOf(*task) != kDfsOk) return nullptr;
  const auto result = task->find("result");
  if (result == task->end() || !result->is_array() || result->empty() ||
      !(*result)[0].is_object()) {
    return nullptr;
  }
  return &(*result)[0];
}

struct CountryEntry {
  const char* country;
  int location_code;
  const char* language_code;
};
// The countries DataForSEO names by code, with their main language.
constexpr CountryEntry kCountries[] = {
    {"us", 2840, "en"}, {"gb", 2826, "en"}, {"uk", 2826, "en"}, {"ca", 2124, "en"},
    {"au", 2036, "en"}, {"nz", 2554, "en"}, {"ie", 2372, "en"}, {"in", 2356, "en"},
    {"za", 2710, "en"}, {"sg", 2702, "en"}, {"de", 2276, "de"}, {"at", 2040, "de"},
    {"ch", 2756, "de"}, {"fr", 2250, "fr"}, {"be", 2056, "fr"}, {"es", 2724, "es"},
    {"mx", 2484, "es"}, {"ar", 2032, "es"}, {"it", 2380, "it"}, {"nl", 2528, "nl"},
    {"pt", 2620, "pt"}, {"br", 2076, "pt"}, {"pl", 2616, "pl"}, {"se", 2752, "sv"},
    {"no", 2578, "nb"}, {"dk", 2208, "da"}, {"fi", 2246, "fi"}, {"jp", 2392, "ja"},
    {"kr", 2410, "ko"}, {"tr", 2792, "tr"}, {"ua", 2804, "uk"}, {"cz", 2203, "cs"},
};

}  // namespace

double TaskPrice(QueryKind kind, bool priority) {
  double price = kDfsStandardTask * (priority ? kDfsPriorityFactor : 1.0);
  if (kind != QueryKind::Phrase && kind != QueryKind::Autocomplete) price *= kDfsOperatorFactor;
  return price;
}

std::string DfsAuthorization(const std::string& login, const std::string& password) {
  return "Authorization: Basic " + Base64(login + ":" + password);
}

std::vector<std::string> DfsHeaders(const Credentials& settings) {
  return {DfsAuthorization(Trim(settings.dfs_login), Trim(settings.dfs_password)),
          "Content-Type: application/json"};
}

DfsLocation DfsLocationFor(const std::string& country) {
  const std::string code = LowerAscii(Trim(country));
  for (const CountryEntry& entry : kCountries) {
    if (code == entry.country) return {entry.location_code, entry.language_code};
  }
  return {};
}

std::string DfsLocationKey(const std::string& country) {
  const DfsLocation location = DfsLocationFor(country);
  return std::to_string(location.location_code) + ":" + location.language_code;
}

std::string TaskKeyword(QueryKind kind, const std::string& text) {
  std::string utf8 = ToUtf8(text, SystemCodePage());
  switch (kind) {
    case QueryKind::Phrase:
    case QueryKind::Autocomplete:
      return utf8;
    case QueryKind::Title:
      return "allintitle: " + utf8;
    case QueryKind::URL:
      return "allinurl: " + utf8;
    case QueryKind::Backlinks:
      return "link: " + utf8;
  }
  return utf8;
}

std::string TaskPostBody(const std::vector<TaskToPost>& tasks, const DfsLocation& location,
                         bool priority) {
  json body = json::array();
  for (const TaskToPost& task : tasks) {
    body.push_back({{"keyword", task.keyword},
                    {"location_code", location.location_code},
                    {"language_code", location.language_code},
                    {"priority", priority ? 2 : 1},
                    {"tag", task.tag}});
  }
  // Bytes that are not UTF-8 go out replaced rather than failing the request.
  return body.dump(-1, ' ', false, json::error_handler_t::replace);
}

std::string TaskPostURL(const std::string& endpoint) {
  return EndpointOrDefault(endpoint, kDataForSeoEndpoint) + "/v3/serp/google/organic/task_post";
}

std::string TasksReadyURL(const std::string& endpoint) {
  return EndpointOrDefault(endpoint, kDataForSeoEndpoint) + "/v3/serp/google/organic/tasks_ready";
}

std::string TaskGetURL(const std::string& endpoint, const std::string& id) {
  return EndpointOrDefault(endpoint, kDataForSeoEndpoint) +
         "/v3/serp/google/organic/task_get/regular/" + URLEncode(id);
}

std::string UserDataURL(const std::string& endpoint) {
  return EndpointOrDefault(endpoint, kDataForSeoEndpoint) + "/v3/appendix/user_data";
}

PostAnswer ReadPostAnswer(const std::string& body) {
  PostAnswer answer;
  const std::optional<json> document = Parse(body);
  if (!document) return answer;
  answer.status = StatusOf(*document);
  answer.message = MessageOf(*document);
  answer.cost = NumberOf(*document, "cost");
  const auto tasks = document->find("tasks");
  if (tasks == document->end() || !tasks->is_array()) return answer;
  for (const json& task : *tasks) {
    PostedTask posted;
    if (task.is_object()) {
      posted.status = StatusOf(task);
      posted.message = MessageOf(task);
      posted.id = StringOf(task, "id");
      posted.cost = NumberOf(task, "cost");
      const auto data = task.find("data");
      if (data != task.end() && data->is_object()) posted.tag = StringOf(*data, "tag");
    }
    answer.tasks.push_back(std::move(posted));
  }
  return answer;
}

std::optional<std::vector<std::string>> ReadReadyIds(const std::string& body, int& status,
                                                     std::string& message) {
  const std::optional<json> document = Parse(body);
  status = 0;
  message.clear();
  if (!document) return std::nullopt;
  status = StatusOf(*document);
  message = MessageOf(*document);
  if (status != kDfsOk) return std::nullopt;
  std::vector<std::string> ids;
  const auto tasks = document->find("tasks");
  if (tasks == document->end() || !tasks->is_array()) return ids;
  for (const json& task : *tasks) {
    if (!task.is_object() || StatusOf(task) != kDfsOk) continue;
    const auto result = task.find("result");
    if (result == task.end() || !result->is_array()) continue;
    for (const json& ready : *result) {
      if (ready.is_object()) {
        std::string id = StringOf(ready, "id");
        if (!id.empty()) ids.push_back(std::move(id));
      }
    }
  }
  return ids;
}

int TaskStatus(const std::string& body, std::string& message) {
  const std::optional<json> document = Parse(body);
  message.clear();
  if (!document) return 0;
  if (StatusOf(*document) != kDfsOk) {
    message = MessageOf(*document);
    return StatusOf(*document);
  }
  const json* task = FirstTask(*document);
  if (task == nullptr) return 0;
  message = MessageOf(*task);
  return StatusOf(*task);
}

double TaskCost(const std::string& body) {
  const std::optional<json> document = Parse(body);
  return document ? NumberOf(*document, "cost") : 0.0;
}

std::optional<double> ReadBalance(const std::string& body) {
  const std::optional<json> document = Parse(body);
  if (!document || StatusOf(*document) != kDfsOk) return std::nullopt;
  const json* task = FirstTask(*document);
  if (task == nullptr) return std::nullopt;
  const auto result = task->find("result");
  if (result == task->end() || !result->is_array() || result->empty() ||
      !(*result)[0].is_object()) {
    return std::nullopt;
  }
  const auto money = (*result)[0].find("money");
  if (money == (*result)[0].end() || !money->is_object()) return std::nullopt;
  const auto balance = money->find("balance");
  if (balance == money->end() || !balance->is_number()) return std::nullopt;
  return balance->get<double>();
}

bool ReadTaskCount(const std::string& body, std::string& count) {
  std::optional<json> holder;
  const json* result = FirstResult(body, holder);
  if (result == nullptr) return false;
  const auto total = result->find("se_results_count");
  if (total == result->end()) return false;
  if (total->is_number_unsigned()) {
    count = std::to_string(total->get<uint64_t>());
    return true;
  }
  if (total->is_number_integer() && total->get<int64_t>() >= 0) {
    count = std::to_string(total->get<int64_t>());
    return true;
  }
  return false;
}

std::string TaskErrorText(const std::string& body) {
  std::string message;
  TaskStatus(body, message);
  return kAbnormalTermination + message;
}

bool TaskHasResultList(const std::string& body) {
  std::optional<json> holder;
  const json* result = FirstResult(body, holder);
  if (result == nullptr) return false;
  const auto items = result->find("items");
  // A search that finds nothing answers null items: an empty list.
  return items != result->end() && (items->is_array() || items->is_null());
}

std::vector<SearchResult> ReadTaskResults(const std::string& body, size_t max_results) {
  std::vector<SearchResult> results;
  std::optional<json> holder;
  const json* result = FirstResult(body, holder);
  if (result == nullptr) return results;
  const auto items = result->find("items");
  if (items == result->end() || !items->is_array()) return results;
  for (const json& item : *items) {
    if (results.size() >= max_results) break;
    if (!item.is_object() || StringOf(item, "type") != "organic") continue;
    std::string title = StringOf(item, "title");
    std::string url = StringOf(item, "url");
    if (title.empty() || url.empty()) continue;
    results.push_back({std::move(title), std::move(url)});
  }
  return results;
}

}  // namespace kelvaro
