#pragma once

// The substitute search service: a loopback HTTP server that answers
//   GET /customsearch/v1?q=...&cx=...&key=...
// the way the custom-search JSON API does, so tests, benchmarks and the offline demo run
// without a network. It listens on 127.0.0.1 (an ephemeral port unless one is given) on its
// own threads from construction to destruction. All members are thread-safe.
//
// How a request is answered, first rule that applies:
//   1. key missing, empty or not the configured key: 400 "API key not valid. Please pass a
//      valid API key."
//   2. cx missing, empty or not the configured engine code: 400 "Request contains an invalid
//      argument."
//   3. daily quota used up: 429 "Quota exceeded for quota metric 'Queries' and limit 'Queries
//      per day' of service 'customsearch.googleapis.com' for consumer 'project_number:0'."
//      (every request that gets this far uses one query of the quota)
//   4. q missing or blank: 400 "Request contains an invalid argument."
//   5. the subject of q (the phrase, or the URL of a link: query) holding the word "fail":
//      500 "Backend Error".
//   6. otherwise 200 with the counts and results of SearchAnswers.h. For picking phrases:
//      a phrase with the word "nothing" has a 0 count and no items, one with "few" has 4
//      results, and "niche", "common" and "popular" put every count of the phrase in the
//      green, yellow and red band of the main window.
// It answers SerpApi's requests the same way, in SerpApi's JSON layout (SearchAnswers.h):
//   GET /search.json?engine=google&q=...&api_key=...   key (401), engine other than google
//       or google_autocomplete (400), quota (429 "Your account has run out of searches."),
//       blank q (400), "fail" (500), then 200; a 0 count is SerpApi's 200 answer with the
//       no-results error. A phrase answer with results holds its related searches and
//       questions; engine=google_autocomplete answers the phrase's suggestions, one search
//       each (SearchAnswers.h).
//   GET /account.json?api_key=...   key (401), then 200 with total_searches_left: the day's
//       quota left (100000 less the day's searches without a quota); uses no quota.
// The two forms share the key, the quota and the faults.
//   POST /v1/get_keyword_data   Keywords Everywhere's keyword data: the bearer token not the
//       volume key: 401 {"message": ...}; else 200 with VolumeAnswers.h's volumes for every
//       kw[] phrase, one credit per phrase.
//   GET /api/v1.0/getPageRank?domains[]=...   Open PageRank's domain ranks: the API-OPR header
//       not the rank key: 401 {"status_code": 401, "error": ...}; else 200 with RankAnswers.h's
//       rank for every domains[] domain.
// And DataForSEO's task API (DataForSeoQueue.h): task_post, tasks_ready, task_get/regular and
// user_data under /v3/, with Basic authorization, a balance and a queue delay.
// Keys given an Account (SetAccount) are valid too, each with its own metering instead of the
// daily quota: a monthly allowance (SerpApi 429 kSerpApiOutOfSearches, Google's per-day 429),
// an hourly limit over a window of any length (SerpApi 429 kSerpApiHourlyLimit with
// Retry-After, Google's per-minute 429 with Retry-After), and /account.json with
// total_searches_left, plan_searches_left, this_hour_searches, last_hour_searches and
// account_rate_limit_per_hour. A request turned away uses no search.
// An injected fault (InjectFault) then changes how that answer travels.

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace kelvaro::searchsim {

using HeaderList = std::vector<std::pair<std::string, std::string>>;

// A way for the next answers to go wrong.
struct Fault {
  enum class Kind {
    kNone,
    kStall,     // send the headers and the first half of the body, then hold the connection
    kTruncate,  // send the headers and the first half of the body, then close
    kDrop,      // read the request, then close without sending a byte
    kDelay,     // wait before answering normally
    kCanned,    // answer with the given status, body and headers instead
    kDrip,      // send the headers, then the body one byte at a time, a byte every `duration`
    kCutShort,  // send headers that announce a byte more than the body, the whole body, then close
  };
  static Fault Stall(std::chrono::milliseconds hold = std::chrono::seconds(30));
  static Fault Truncate();
  static Fault Drip(std::chrono::milliseconds every);
  static Fault CutShort();
  static Fault Drop();
  static Fault Delay(std::chrono::milliseconds delay);
  static Fault Canned(int status, std::string body, HeaderList headers = {});
  // Limits the fault to the next n requests (by default it lasts until ClearFault).
  Fault& Times(int n);

  Kind kind = Kind::kNone;
  std::chrono::milliseconds duration{0};  // the stall's hold, the delay or the drip's interval
  int status = 200;
  std::string body;
  HeaderList headers;
  int times = -1;  // requests left; negative for all
};

// One request as it arrived.
struct RecordedRequest {
  std::string target;      // path and query exactly as sent, e.g. /customsearch/v1?q=a+b&...
  std::string q;           // the decoded q parameter
  std::string user_agent;  // the User-Agent header
  HeaderList headers;      // every header, sorted by name
  std::string body;        // a POST's body as sent
};

struct SubstituteSearchServerConfig {
  int port = 0;  // 0 picks a free port
  std::string api_key = "demo-key";
  std::string engine_code = "demo-cx";
  int64_t daily_quota = -1;  // queries per day; negative for no limit
  // The volume service's key (a bearer token) and the credits its account starts with.
  std::string volume_key = "demo-volume-key";
  int64_t volume_credits = 100000;
  // The rank service's key (the API-OPR header).
  std::string rank_key = "demo-rank-key";
  // DataForSEO's login, password and the dollars its account starts with.
  std::string dfs_login = "demo-login";
  std::string dfs_password = "demo-password";
  double dfs_balance = 50.0;
};

// One key's account.
struct Account {
  int64_t monthly_allowance = -1;  // searches in all; negative for no limit
  int64_t hourly_limit = -1;       // searches per window; negative for no limit
  std::chrono::milliseconds hour = std::chrono::hours(1);  // the window's length
  // The custom-search form meters the same way with Google's answers: the window's limit
  // as its per-minute quota, the allowance as its per-day quota.
  // Answered to /account.json instead of the figures when not empty (an odd answer).
  std::string account_answer;
  // The Retry-After of a search turned away for a full window, when 0 or more; otherwise the
  // seconds left in the window.
  int retry_after_s = -1;
};

class SubstituteSearchServer {
 public:
  // Binds and starts serving; throws std::runtime_error when the port cannot be bound.
  explicit SubstituteSearchServer(SubstituteSearchServerConfig config = {});
  // Stops serving; ends stalled and delayed answers at once.
  ~SubstituteSearchServer();
  SubstituteSearchServer(const SubstituteSearchServer&) = delete;
  SubstituteSearchServer& operator=(const SubstituteSearchServer&) = delete;

  int Port() const;
  // "http://127.0.0.1:<port>", to pass as the endpoint of BuildQueryURL.
  std::string Endpoint() const;

  void SetCredentials(const std::string& api_key, const std::string& engine_code);
  void SetDailyQuota(int64_t queries);  // negative for no limit; the day's count stays
  void StartNewDay();                   // the queries used so far no longer count
  // Makes `api_key` valid with its own account (replacing the one it had).
  void SetAccount(const std::string& api_key, const Account& account);
  // Moves the accounts' clock on by `time` at once, as if it had passed: a test that meets a
  // window never waits for it.
  void PassAccountTime(std::chrono::milliseconds time);

  void InjectFault(const Fault& fault);
  void ClearFault();

  std::vector<RecordedRequest> Requests() const;
  void ClearRequests();
  // Waits until at least `n` requests are recorded (since the last ClearRequests), at most
  // `limit`; false when they did not come.
  bool WaitForRequests(size_t n, std::chrono::milliseconds limit) const;
  // TCP connections accepted since start.
  int ConnectionCount() const;

  // Every search (Google's form and SerpApi's) is answered `delay` after it arrived; with a
  // `phrase`, only the searches for that phrase (the subject of q), over any general delay.
  // Answers are served concurrently, each connection on a thread of its own.
  void SetAnswerDelay(std::chrono::milliseconds delay, const std::string& phrase = "");
  // The next `n` searches are held until all `n` are under way at once (or the service
  // stops): a test sees that a client keeps that many in flight.
  void HoldFirstAnswers(int n);
  // The most searches under way at once since start or the last ClearRequests.
  int MostInFlight() const;

  // DataForSEO: a task posted from now on is ready `delay` after it was posted, by the
  // accounts' clock (PassAccountTime moves it on); with a `phrase`, only its tasks.
  void SetTaskQueueDelay(std::chrono::milliseconds delay, const std::string& phrase = "");
  void SetDfsBalance(double dollars);
  double DfsBalance() const;

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace kelvaro::searchsim
