#include "tools/DataForSeoQueue.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <utility>

#include "tools/SearchAnswers.h"

namespace kelvaro::searchsim {

namespace {

using nlohmann::json;

constexpr double kTaskPrice = 0.0006;
constexpr char kTaskGetPrefix[] = "/v3/serp/google/organic/task_get/regular/";

std::string Base64(const std::string& bytes) {
  static constexpr char kDigits[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (size_t i = 0; i < bytes.size(); i += 3) {
    uint32_t chunk = static_cast<uint32_t>(static_cast<unsigned char>(bytes[i])) << 16;
    if (i + 1 < bytes.size()) chunk |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8;
    if (i + 2 < bytes.size()) chunk |= static_cast<unsigned char>(bytes[i + 2]);
    out += kDigits[(chunk >> 18) & 63];
    out += kDigits[(chunk >> 12) & 63];
    out += i + 1 < bytes.size() ? kDigits[(chunk >> 6) & 63] : '=';
    out += i + 2 < bytes.size() ? kDigits[chunk & 63] : '=';
  }
  return out;
}

// The answer's frame around its tasks.
std::string Frame(int status, const std::string& message, double cost, const json& tasks) {
  json answer = {{"version", "0.1.20261201"},
                 {"status_code", status},
                 {"status_message", message},
                 {"time", "0.0100 sec."},
                 {"cost", cost},
                 {"tasks_count", tasks.size()},
                 {"tasks_error", 0},
                 {"tasks", tasks}};
  return answer.dump(-1, ' ', false, json::error_handler_t::replace);
}

json TaskFrame(const std::string& id, int status, const std::string& message, double cost) {
  return {{"id", id},          {"status_code", status}, {"status_message", message},
          {"time", "0.0050 sec."}, {"cost", cost},          {"result_count", 0},
          {"path", json::array()}, {"data", json::object()}, {"result", nullptr}};
}

}  // namespace

void DataForSeoQueue::SetQueueDelay(std::chrono::milliseconds delay, const std::string& phrase) {
  if (phrase.empty()) {
    delay_ = delay;
  } else {
    phrase_delays_[phrase] = delay;
  }
}

DataForSeoQueue::Reply DataForSeoQueue::Answer(const std::string& method, const std::string& path,
                                               const std::string& authorization,
                                               const std::string& body, Time now) {
  if (authorization != "Basic " + Base64(login_ + ":" + password_)) {
    return {401, Frame(40100,
                       "You are not authorized to access this resource. Please check your "
                       "login and password.",
                       0, json::array())};
  }
  if (method == "POST" && path == "/v3/serp/google/organic/task_post") return Post(body, now);
  if (method == "GET" && path == "/v3/serp/google/organic/tasks_ready") return Ready(now);
  if (method == "GET" && path.rfind(kTaskGetPrefix, 0) == 0) {
    return Get(path.substr(sizeof kTaskGetPrefix - 1), now);
  }
  if (method == "GET" && path == "/v3/appendix/user_data") return UserData();
  return {404, Frame(40400, "Not Found.", 0, json::array())};
}

DataForSeoQueue::Reply DataForSeoQueue::Post(const std::string& body, Time now) {
  const json posted = json::parse(body, nullptr, /*allow_exceptions=*/false);
  if (!posted.is_array()) {
    return {200, Frame(40501, "Invalid Field: 'tasks'.", 0, json::array())};
  }
  json tasks = json::array();
  double total = 0;
  for (size_t i = 0; i < posted.size(); ++i) {
    const json& entry = posted[i];
    char id[40];
    std::snprintf(id, sizeof id, "12110000-1535-0066-0000-%012lld",
                  static_cast<long long>(next_id_));
    if (i >= 100) {
      tasks.push_back(TaskFrame("", 40006, "The maximum number of tasks per request is 100.", 0));
      continue;
    }
    const std::string keyword =
        entry.is_object() && entry.contains("keyword") && entry["keyword"].is_string()
            ? entry["keyword"].get<std::string>()
            : std::string();
    const std::string tag = entry.is_object() && entry.contains("tag") && entry["tag"].is_string()
                                ? entry["tag"].get<std::string>()
                                : std::string();
    const int priority =
        entry.is_object() && entry.contains("priority") && entry["priority"].is_number_integer()
            ? entry["priority"].get<int>()
            : 1;
    const ParsedQuery query = ParseQuery(keyword);
    if (query.subject.empty()) {
      tasks.push_back(TaskFrame("", 40501, "Invalid Field: 'keyword'.", 0));
      continue;
    }
    const double cost = kTaskPrice * (query.op == Operator::kNone ? 1 : 5) * (priority == 2 ? 2 : 1);
    if (cost > balance_ + 1e-12) {
      tasks.push_back(TaskFrame("", 40200, "Payment Required.", 0));
      continue;
    }
    balance_ -= cost;
    total += cost;
    ++next_id_;
    const auto phrase = phrase_delays_.find(query.subject);
    const auto delay = phrase != phrase_delays_.end() ? phrase->second : delay_;
    tasks_[id] = Task{keyword, tag, priority, cost, now + delay, false};
    order_.emplace_back(id);
    json task = TaskFrame(id, 20100, "Task Created.", cost);
    task["data"] = {{"api", "serp"},
                    {"function", "task_post"},
                    {"se", "google"},
                    {"se_type", "organic"},
                    {"keyword", keyword},
                    {"tag", tag},
                    {"priority", priority}};
    for (const char* field : {"location_code", "language_code"}) {
      if (entry.contains(field)) task["data"][field] = entry[field];
    }
    tasks.push_back(std::move(task));
  }
  return {200, Frame(20000, "Ok.", total, tasks)};
}

DataForSeoQueue::Reply DataForSeoQueue::Ready(Time now) {
  json ready = json::array();
  for (const std::string& id : order_) {
    const Task& task = tasks_[id];
    if (task.collected || task.ready_at > now) continue;
    if (ready.size() >= 1000) break;
    ready.push_back({{"id", id},
                     {"se", "google"},
                     {"se_type", "organic"},
                     {"tag", task.tag},
                     {"endpoint_regular", kTaskGetPrefix + id}});
  }
  json task = TaskFrame("12110000-0000-0000-0000-000000000000", 20000, "Ok.", 0);
  task["result_count"] = ready.size();
  task["result"] = ready;
  return {200, Frame(20000, "Ok.", 0, json::array({task}))};
}

DataForSeoQueue::Reply DataForSeoQueue::Get(const std::string& id, Time now) {
  const auto found = tasks_.find(id);
  if (found == tasks_.end()) {
    return {200, Frame(20000, "Ok.", 0, json::array({TaskFrame(id, 40400, "Not Found.", 0)}))};
  }
  Task& task = found->second;
  if (task.ready_at > now) {
    return {200,
            Frame(20000, "Ok.", 0, json::array({TaskFrame(id, 40602, "Task In Queue.", 0)}))};
  }
  task.collected = true;
  const ParsedQuery query = ParseQuery(task.keyword);
  for (const std::string& word : Words(query.subject)) {
    if (word == "fail") {
      return {200,
              Frame(20000, "Ok.", 0, json::array({TaskFrame(id, 50000, "Internal Error.", 0)}))};
    }
  }
  const int64_t count = CountFor(task.keyword);
  json items = json::array();
  int rank = 0;
  for (const SearchItem& item : ItemsFor(task.keyword, count)) {
    ++rank;
    items.push_back({{"type", "organic"},
                     {"rank_group", rank},
                     {"rank_absolute", rank},
                     {"domain", item.display_link},
                     {"title", item.title},
                     {"url", item.link},
                     {"description", item.snippet}});
  }
  json result = {{"keyword", task.keyword},
                 {"type", "organic"},
                 {"se_domain", "google.com"},
                 {"location_code", 2840},
                 {"language_code", "en"},
                 {"se_results_count", count},
                 {"items_count", items.size()},
                 {"items", count == 0 ? json(nullptr) : items}};
  json frame = TaskFrame(id, 20000, "Ok.", 0);
  frame["data"] = {{"keyword", task.keyword}, {"tag", task.tag}};
  frame["result_count"] = 1;
  frame["result"] = json::array({result});
  return {200, Frame(20000, "Ok.", 0, json::array({frame}))};
}

DataForSeoQueue::Reply DataForSeoQueue::UserData() const {
  json result = {{"login", login_},
                 {"timezone", "UTC"},
                 {"money", {{"total", 50.0}, {"balance", balance_}}}};
  json task = TaskFrame("12110000-0000-0000-0000-000000000001", 20000, "Ok.", 0);
  task["result_count"] = 1;
  task["result"] = json::array({result});
  return {200, Frame(20000, "Ok.", 0, json::array({task}))};
}

}  // namespace kelvaro::searchsim
