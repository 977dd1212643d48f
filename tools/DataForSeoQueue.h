#pragma once

// The substitute service's DataForSEO: an account with a balance, and the Google organic
// tasks posted to it, each ready a queue delay after it was posted. Plain functions of a
// request's parts and the service's clock; SubstituteSearchServer adds HTTP and a lock.
//
//   POST /v3/serp/google/organic/task_post   a JSON array of tasks (keyword, location_code,
//       language_code, priority 1 or 2, tag). Each task costs 0.0006 dollars, five times that
//       with an operator (allintitle:, allinurl:, link:), twice that on priority 2; a task the
//       balance cannot pay is 40200, one without a keyword 40501, one past the hundredth of a
//       request 40006; the others 20100 with their id.
//   GET /v3/serp/google/organic/tasks_ready   the ids of the tasks done and not collected.
//   GET /v3/serp/google/organic/task_get/regular/<id>   40602 while it waits; when done, the
//       result with se_results_count and organic items (SearchAnswers.h counts and items), or
//       50000 for a keyword whose subject holds the word "fail"; 40400 for an unknown id.
//       A task stays collectable once collected.
//   GET /v3/appendix/user_data   money.balance.
// Every request without the Basic authorization of the configured login and password is
// answered HTTP 401 with 40100.

#include <chrono>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace kelvaro::searchsim {

class DataForSeoQueue {
 public:
  using Time = std::chrono::steady_clock::time_point;

  DataForSeoQueue(std::string login, std::string password, double balance)
      : login_(std::move(login)), password_(std::move(password)), balance_(balance) {}

  struct Reply {
    int http_status = 200;
    std::string body;
  };
  // The answer to a request at `path` with `method`, its Authorization header and body, at
  // `now` by the account's clock.
  Reply Answer(const std::string& method, const std::string& path,
               const std::string& authorization, const std::string& body, Time now);

  // A task posted from now on is ready `delay` after it was posted; with a `phrase` (the
  // subject of its keyword), only that phrase's tasks, over any general delay.
  void SetQueueDelay(std::chrono::milliseconds delay, const std::string& phrase);
  void SetBalance(double dollars) { balance_ = dollars; }
  double Balance() const { return balance_; }
  // Tasks posted since start.
  size_t TasksPosted() const { return tasks_.size(); }

 private:
  struct Task {
    std::string keyword;
    std::string tag;
    int priority = 1;
    double cost = 0;
    Time ready_at;
    bool collected = false;
  };
  Reply Post(const std::string& body, Time now);
  Reply Ready(Time now);
  Reply Get(const std::string& id, Time now);
  Reply UserData() const;

  std::string login_;
  std::string password_;
  double balance_;
  std::chrono::milliseconds delay_{0};
  std::map<std::string, std::chrono::milliseconds> phrase_delays_;
  std::map<std::string, Task> tasks_;
  std::vector<std::string> order_;  // ids in the order posted
  int64_t next_id_ = 1;
};

}  // namespace kelvaro::searchsim
