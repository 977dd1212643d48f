#include "search/SearchSession.h"

#include <utility>

#include "base/CodePage.h"
#include "store/AnswerStore.h"
#include "web/SearchService.h"
#include "web/VolumeService.h"
#include "web/uHelper.h"

namespace kelvaro {

namespace {

// The lines as the volume service reads them (UTF-8; the lines are in the system's code page).
std::vector<std::string> Utf8Lines(const std::vector<std::string>& lines) {
  std::vector<std::string> phrases;
  phrases.reserve(lines.size());
  const unsigned code_page = SystemCodePage();
  for (const std::string& line : lines) phrases.push_back(ToUtf8(line, code_page));
  return phrases;
}

bool WantsVolumes(const Credentials& credentials) { return !Trim(credentials.volume_key).empty(); }

// What a count cell links to: the query built again without the key, so no placeholder in the
// other settings can carry the key into the link, then without its empty key parameter.
std::string KeylessLink(const ServiceAnswer& reply, const SearchQuery& query) {
  if (reply.service == nullptr) return std::string();
  Credentials keyless;
  keyless.engine_code = reply.engine_code;
  keyless.service = reply.service_name;
  keyless.endpoint = reply.endpoint;
  return WithoutKey(reply.service->QueryURL(query.kind, query.text, keyless));
}

}  // namespace

RunPlan PlanRun(RunShape shape, const std::vector<std::string>& lines,
                const Credentials& credentials, const std::string& endpoint,
                const AnswerStore* store, int reuse_days) {
  const Credentials settings = RequestSettings(credentials, endpoint);
  if (shape == RunShape::kAutocomplete) {
    const StartCost asked = AutocompleteStartCost(store, reuse_days, settings, lines);
    return RunPlan{asked.queries, asked.stored, 0};
  }
  RunPlan plan;
  const StartCost cost =
      shape == RunShape::kKeywords
          ? KeywordRunStartCost(store, reuse_days, settings, lines)
          : DeepAnalysisStartCost(store, reuse_days, settings, lines, kDeepAnalysisMaxResults);
  plan.queries = cost.queries;
  plan.stored = cost.stored;
  if (shape == RunShape::kKeywords && WantsVolumes(credentials)) {
    // Volumes in the store cost nothing.
    std::vector<std::optional<int64_t>> stored;
    plan.volume_credits = VolumeCredits(VolumesToAsk(store, reuse_days, credentials.volume_country,
                                                     Utf8Lines(lines), stored));
  }
  return plan;
}

SearchSession::SearchSession(const SearchSetup& setup, WorkerHost& host,
                             const std::atomic<bool>& stop)
    : setup_(setup),
      stop_(stop),
      wire_(*setup_.credentials, setup_.endpoint, *setup_.http),
      limits_(host, wire_, stop, setup_.limits),
      reuse_(limits_, host, wire_, setup_.store, setup_.reuse_days) {}

RunPlan SearchSession::Plan(RunShape shape, const std::vector<std::string>& lines) const {
  return PlanRun(shape, lines, wire_.CurrentCredentials(), wire_.Endpoint(), setup_.store,
                 setup_.reuse_days);
}

bool SearchSession::ConfirmStart(const RunPlan& plan) {
  return reuse_.ConfirmStart(StartCost{plan.queries, plan.stored});
}

bool SearchSession::Ask(const std::vector<SearchQuery>& queries, size_t max_results,
                        const std::function<AnswerFlow(const SearchAnswer&)>& on_answer) {
  for (size_t i = 0; i < queries.size(); ++i) {
    ServiceAnswer reply;
    SearchAnswer answer;
    answer.index = i;
    const AccountLimits::Action action =
        reuse_.Query(queries[i].kind, queries[i].text, queries_sent_, reply, answer.count);
    if (action == AccountLimits::Action::kEnd) return false;
    if (action == AccountLimits::Action::kCounted) {
      answer.outcome = AnswerOutcome::kCounted;
      answer.link = KeylessLink(reply, queries[i]);
      answer.has_result_list = reply.HasResultList();
      if (max_results > 0 && answer.has_result_list) answer.results = reply.ReadResults(max_results);
      answer.stored_at = reply.StoredAt();
      answer.ideas = reply.ReadIdeas();
    } else {
      answer.outcome = AnswerOutcome::kFailed;
      answer.failure = reply.Failure();
    }
    switch (on_answer(answer)) {
      case AnswerFlow::kGoOn:
        break;
      case AnswerFlow::kSkipRest:
        return true;
      case AnswerFlow::kEnd:
        return false;
    }
  }
  return true;
}

void SearchSession::Pause(int ms) { reuse_.Pause(ms); }

LineVolumes SearchSession::AskVolumes(const std::vector<std::string>& lines) {
  LineVolumes result;
  const Credentials credentials = wire_.CurrentCredentials();
  if (!WantsVolumes(credentials)) return result;
  result.asked = true;
  result.volumes.assign(lines.size(), std::nullopt);
  const std::vector<std::string> phrases = Utf8Lines(lines);
  const std::string url = VolumeURL(wire_.Endpoint());
  const std::vector<std::string> headers = VolumeHeaders(credentials.volume_key);
  // Volumes already paid for stand in for a request, as stored counts do; the others are asked.
  std::vector<std::optional<int64_t>> asked;
  const std::vector<std::string> to_ask = VolumesToAsk(setup_.store, setup_.reuse_days,
                                                       credentials.volume_country, phrases, asked);
  for (const VolumeRequest& request : VolumeRequests(to_ask, credentials.volume_country)) {
    if (stop_) break;
    const HttpAnswer http = wire_.Post(url, headers, request.body, kReceiveTimeoutMs);
    const VolumeAnswer answer = ReadVolumeAnswer(http.status, http.body, request, to_ask);
    if (answer.credits) result.credits_left = answer.credits;
    if (!answer.ok) {
      result.failure = FromUtf8(answer.message, SystemCodePage());
      break;
    }
    for (size_t j = 0; j < request.phrases.size(); ++j) {
      const size_t i = request.phrases[j];
      asked[i] = answer.volumes[j];
      // Only a whole answer is kept: a cut-off one is used for this run alone.
      if (asked[i] && http.complete && setup_.store != nullptr) {
        setup_.store->RecordVolume(credentials.volume_country, phrases[i], *asked[i]);
      }
    }
  }
  const std::vector<size_t> sources = VolumeSources(phrases);
  for (size_t i = 0; i < sources.size(); ++i) {
    if (sources[i] != SIZE_MAX) result.volumes[i] = asked[sources[i]];
  }
  volume_failure_ = result.failure;
  volume_credits_left_ = result.credits_left;
  return result;
}

RunCost SearchSession::Finish() {
  RunCost cost;
  cost.queries_sent = queries_sent_;
  cost.stored_used = reuse_.StoredUsed();
  cost.waited_ms = limits_.WaitedMs();
  // An account nobody could reach during the run is not asked again.
  if (limits_.Answered()) {
    const std::optional<AccountFigures> figures = wire_.AskAccount(setup_.limits.account_timeout_ms);
    if (figures) cost.searches_left = figures->searches_left;
  }
  cost.volume_credits_left = volume_credits_left_;
  cost.volume_failure = volume_failure_;
  return cost;
}

}  // namespace kelvaro
