#pragma once

// DataForSEO's SERP API as Kelvaro uses it: queries are posted as tasks (up to 100 a request),
// the account is asked which tasks are ready, and each ready task is collected on its own. The
// login and password go in an Authorization header of every request, never in a URL. Nothing
// here sends a request; the search session does (search/TaskRun).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/ApiCredentials.h"
#include "web/CustomSearch.h"

namespace kelvaro {

inline constexpr char kDataForSeo[] = "DataForSEO";
inline constexpr char kDataForSeoEndpoint[] = "https://api.dataforseo.com";

// Tasks in one task_post request, at most.
inline constexpr size_t kTasksPerPost = 100;
// DataForSEO's own status codes.
inline constexpr int kDfsOk = 20000;
inline constexpr int kDfsTaskCreated = 20100;
inline constexpr int kDfsNoBalance = 40200;
inline constexpr int kDfsTaskHanded = 40601;
inline constexpr int kDfsTaskInQueue = 40602;

// The price table, in dollars a task (checked against DataForSEO's pricing pages, late 2026):
// the standard queue, the priority queue at twice that, and a query with a search operator
// (allintitle:, allinurl:, link:) five times the price of its queue.
inline constexpr double kDfsStandardTask = 0.0006;
inline constexpr double kDfsPriorityFactor = 2.0;
inline constexpr double kDfsOperatorFactor = 5.0;
// What one task of `kind` costs on the chosen queue.
double TaskPrice(QueryKind kind, bool priority);

// The "Authorization: Basic ..." header of `login` and `password`.
std::string DfsAuthorization(const std::string& login, const std::string& password);
// The headers of every request: the authorization and the JSON body type.
std::vector<std::string> DfsHeaders(const Credentials& settings);

// The location and language the service answers for, from the volume country (two letters;
// empty or one it has no entry for: the United States and English).
struct DfsLocation {
  int location_code = 2840;
  std::string language_code = "en";
};
DfsLocation DfsLocationFor(const std::string& country);
// How a stored answer is filed by its location: "2840:en".
std::string DfsLocationKey(const std::string& country);

// The keyword a task is posted with: the query text the other services are sent (the phrase,
// "allintitle: " phrase, "allinurl: " phrase, "link: " URL), in UTF-8 (`text` is in the
// system's code page).
std::string TaskKeyword(QueryKind kind, const std::string& text);

// One task to post.
struct TaskToPost {
  std::string keyword;  // TaskKeyword
  std::string tag;      // comes back with the task
};
// The JSON body of one task_post request (at most kTasksPerPost tasks).
std::string TaskPostBody(const std::vector<TaskToPost>& tasks, const DfsLocation& location,
                         bool priority);

std::string TaskPostURL(const std::string& endpoint);
std::string TasksReadyURL(const std::string& endpoint);
std::string TaskGetURL(const std::string& endpoint, const std::string& id);
std::string UserDataURL(const std::string& endpoint);

// What a task_post answer says of each task, in the order posted.
struct PostedTask {
  int status = 0;  // kDfsTaskCreated when it was queued
  std::string message;
  std::string id;
  std::string tag;
  double cost = 0;
};
struct PostAnswer {
  int status = 0;  // the request's own; kDfsOk when it was taken
  std::string message;
  double cost = 0;
  std::vector<PostedTask> tasks;
};
// A cut-off or foreign answer reads as status 0 with no tasks.
PostAnswer ReadPostAnswer(const std::string& body);

// The ids a tasks_ready answer lists; nullopt for a failed request (`status` and `message`
// then say why, when the answer says).
std::optional<std::vector<std::string>> ReadReadyIds(const std::string& body, int& status,
                                                     std::string& message);

// A task_get answer's task status: kDfsOk with a result, kDfsTaskInQueue or kDfsTaskHanded
// while it is not done, anything else a failure; 0 for an answer that is not one.
int TaskStatus(const std::string& body, std::string& message);
// The cost a task_get answer reports (collecting is free; 0 when it says none).
double TaskCost(const std::string& body);

// The balance a user_data answer gives, in dollars; nullopt when it does not say.
std::optional<double> ReadBalance(const std::string& body);

// The service's reading of a task_get answer (the SearchService members of DataForSEO): the
// count is the result's se_results_count, the results its organic items (title and url).
bool ReadTaskCount(const std::string& body, std::string& count);
std::string TaskErrorText(const std::string& body);
bool TaskHasResultList(const std::string& body);
std::vector<SearchResult> ReadTaskResults(const std::string& body, size_t max_results);

}  // namespace kelvaro
