#include "tools/SubstituteSearchServer.h"

#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <thread>

#include "tools/DataForSeoQueue.h"
#include "tools/SearchAnswers.h"
#include "tools/RankAnswers.h"
#include "tools/VolumeAnswers.h"

namespace kelvaro::searchsim {

namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

constexpr milliseconds kReadTimeout{5000};
constexpr milliseconds kWriteTimeout{5000};
constexpr milliseconds kKeepAliveTimeout{5000};
// Every wait is cut into slices this long so that stopping the service is never held up.
constexpr milliseconds kSlice{20};
constexpr char kJsonType[] = "application/json; charset=UTF-8";

// What a request handler may decide about the connection it runs on.
struct ConnectionState {
  bool drop = false;  // close without sending anything more
};
// Handlers run on the thread that serves their connection, so this reaches its state.
thread_local ConnectionState* current_connection = nullptr;

// The connection's socket as httplib sees it, with waits that give way when the service stops
// and writes that can be refused to drop a connection.
class SocketStream final : public httplib::Stream {
 public:
  SocketStream(int sock, const std::atomic<bool>& stopping, const ConnectionState& state)
      : sock_(sock), stopping_(stopping), state_(state) {}

  bool is_readable() const override { return HasBuffered() || Wait(POLLIN, kReadTimeout); }
  bool is_writable() const override {
    return !state_.drop && Wait(POLLOUT, kWriteTimeout) && PeerOpen();
  }

  ssize_t read(char* ptr, size_t size) override {
    if (!HasBuffered()) {
      if (!Wait(POLLIN, kReadTimeout)) return -1;
      const ssize_t n = ::recv(sock_, buffer_, sizeof buffer_, 0);
      if (n <= 0) return n;
      begin_ = 0;
      end_ = static_cast<size_t>(n);
    }
    const size_t n = std::min(size, end_ - begin_);
    std::memcpy(ptr, buffer_ + begin_, n);
    begin_ += n;
    return static_cast<ssize_t>(n);
  }

  ssize_t write(const char* ptr, size_t size) override {
    if (state_.drop || !Wait(POLLOUT, kWriteTimeout)) return -1;
    return ::send(sock_, ptr, size, MSG_NOSIGNAL);  // a closed peer must not raise SIGPIPE
  }

  void get_remote_ip_and_port(std::string& ip, int& port) const override {
    Address(&::getpeername, ip, port);
  }
  void get_local_ip_and_port(std::string& ip, int& port) const override {
    Address(&::getsockname, ip, port);
  }
  socket_t socket() const override { return sock_; }

  // Waits up to timeout for the next request; false when none comes or the service stops.
  bool WaitForRequest(milliseconds timeout) const {
    return HasBuffered() || (Wait(POLLIN, timeout) && PeerOpen());
  }

  // False once the peer has closed its end.
  bool PeerOpen() const {
    char byte;
    const ssize_t n = ::recv(sock_, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    return n > 0 || (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR));
  }

 private:
  bool HasBuffered() const { return begin_ < end_; }

  bool Wait(short events, milliseconds timeout) const {
    const auto deadline = Clock::now() + timeout;
    while (!stopping_) {
      const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
      if (left.count() <= 0) return false;
      pollfd fd{sock_, events, 0};
      const int ready = ::poll(&fd, 1, static_cast<int>(std::min(left, kSlice).count()));
      if (ready > 0) return true;  // readiness, hang-up or error: the next call tells which
      if (ready < 0 && errno != EINTR) return false;
    }
    return false;
  }

  using NameFunction = int (*)(int, sockaddr*, socklen_t*);
  void Address(NameFunction name_of, std::string& ip, int& port) const {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (name_of(sock_, reinterpret_cast<sockaddr*>(&address), &length) != 0) return;
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
    ip = text;
    port = ntohs(address.sin_port);
  }

  int sock_;
  const std::atomic<bool>& stopping_;
  const ConnectionState& state_;
  char buffer_[4096];
  size_t begin_ = 0;
  size_t end_ = 0;
};

constexpr size_t kServingThreads = 48;

// httplib's server with its connection loop replaced: this one counts connections, can drop
// them, and lets go of idle ones as soon as the service stops.
class LoopbackServer final : public httplib::Server {
 public:
  explicit LoopbackServer(const std::atomic<bool>& stopping) : stopping_(stopping) {
    // The benchmark sends many requests over one connection; do not cut it every few.
    set_keep_alive_max_count(1000000);
    // A connection holds its thread while it is kept open: room for a client with many
    // searches at once, its account and volume requests, and a second client.
    new_task_queue = [] { return new httplib::ThreadPool(kServingThreads); };
    // httplib's default adds SO_REUSEPORT, which would let a second service share a port.
    set_socket_options([](socket_t sock) {
      const int on = 1;
      ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    });
  }

  int ConnectionCount() const { return connections_; }

 private:
  bool process_and_close_socket(socket_t sock) override {
    ++connections_;
    // Headers and body go out in separate writes; without this, Nagle's algorithm and the
    // client's delayed acknowledgement add tens of milliseconds to every answer.
    const int on = 1;
    ::setsockopt(sock, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    ConnectionState state;
    current_connection = &state;
    bool ok = false;
    {
      SocketStream stream(sock, stopping_, state);
      for (size_t served = 0; served < keep_alive_max_count_ && !stopping_; ++served) {
        if (!stream.WaitForRequest(kKeepAliveTimeout)) break;
        const bool last = served + 1 == keep_alive_max_count_;
        bool closed = false;
        ok = process_request(stream, last, closed, nullptr);
        if (!ok || closed || state.drop) break;
      }
    }
    current_connection = nullptr;
    ::shutdown(sock, SHUT_RDWR);
    ::close(sock);
    return ok;
  }

  const std::atomic<bool>& stopping_;
  std::atomic<int> connections_{0};
};

bool SameHeaderName(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

std::string HeaderOr(const HeaderList& headers, const std::string& name, std::string fallback) {
  for (const auto& [key, value] : headers) {
    if (SameHeaderName(key, name)) return value;
  }
  return fallback;
}

}  // namespace

Fault Fault::Stall(milliseconds hold) {
  Fault fault;
  fault.kind = Kind::kStall;
  fault.duration = hold;
  return fault;
}

Fault Fault::Truncate() {
  Fault fault;
  fault.kind = Kind::kTruncate;
  return fault;
}

Fault Fault::Drop() {
  Fault fault;
  fault.kind = Kind::kDrop;
  return fault;
}

Fault Fault::Delay(milliseconds delay) {
  Fault fault;
  fault.kind = Kind::kDelay;
  fault.duration = delay;
  return fault;
}

Fault Fault::Drip(milliseconds every) {
  Fault fault;
  fault.kind = Kind::kDrip;
  fault.duration = every;
  return fault;
}

Fault Fault::CutShort() {
  Fault fault;
  fault.kind = Kind::kCutShort;
  return fault;
}

Fault Fault::Canned(int status, std::string body, HeaderList headers) {
  Fault fault;
  fault.kind = Kind::kCanned;
  fault.status = status;
  fault.body = std::move(body);
  fault.headers = std::move(headers);
  return fault;
}

Fault& Fault::Times(int n) {
  times = n;
  return *this;
}

class SubstituteSearchServer::Impl {
 public:
  explicit Impl(SubstituteSearchServerConfig config)
      : config_(std::move(config)),
        dfs_(config_.dfs_login, config_.dfs_password, config_.dfs_balance),
        server_(stopping_) {
    for (const char* path : {"/v3/serp/google/organic/tasks_ready", "/v3/appendix/user_data",
                             R"(/v3/serp/google/organic/task_get/regular/.+)"}) {
      server_.Get(path, [this](const httplib::Request& request, httplib::Response& response) {
        Handle(request, response);
      });
    }
    server_.Post("/v3/serp/google/organic/task_post",
                 [this](const httplib::Request& request, httplib::Response& response) {
                   Handle(request, response);
                 });
    for (const char* path : {"/customsearch/v1", "/search.json", "/account.json"}) {
      server_.Get(path, [this](const httplib::Request& request, httplib::Response& response) {
        Handle(request, response);
      });
    }
    server_.Get("/api/v1.0/getPageRank",
                [this](const httplib::Request& request, httplib::Response& response) {
                  Handle(request, response);
                });
    server_.Post("/v1/get_keyword_data",
                 [this](const httplib::Request& request, httplib::Response& response) {
                   Handle(request, response);
                 });
    if (config_.port == 0) {
      port_ = server_.bind_to_any_port("127.0.0.1");
    } else if (server_.bind_to_port("127.0.0.1", config_.port)) {
      port_ = config_.port;
    }
    if (port_ <= 0) {
      throw std::runtime_error("the search service cannot listen on 127.0.0.1 port " +
                               std::to_string(config_.port));
    }
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    // stop() only works once the accept loop runs.
    while (!server_.is_running()) std::this_thread::sleep_for(milliseconds(1));
  }

  ~Impl() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    wake_.notify_all();
    server_.stop();
    thread_.join();
  }

  int Port() const { return port_; }

  void SetCredentials(const std::string& api_key, const std::string& engine_code) {
    std::lock_guard lock(mutex_);
    config_.api_key = api_key;
    config_.engine_code = engine_code;
  }
  void SetDailyQuota(int64_t queries) {
    std::lock_guard lock(mutex_);
    config_.daily_quota = queries;
  }
  void StartNewDay() {
    std::lock_guard lock(mutex_);
    used_today_ = 0;
  }
  void SetAccount(const std::string& api_key, const Account& account) {
    std::lock_guard lock(mutex_);
    accounts_[api_key] = Metered{account, 0, 0, 0, AccountNow()};
  }
  void PassAccountTime(milliseconds time) {
    std::lock_guard lock(mutex_);
    passed_ += time;
  }
  void InjectFault(const Fault& fault) {
    std::lock_guard lock(mutex_);
    fault_ = fault;
  }
  std::vector<RecordedRequest> Requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
  }
  bool WaitForRequests(size_t n, milliseconds limit) const {
    std::unique_lock lock(mutex_);
    return arrived_.wait_for(lock, limit, [&] { return requests_.size() >= n; });
  }
  void ClearRequests() {
    std::lock_guard lock(mutex_);
    requests_.clear();
    most_in_flight_ = in_flight_;
  }
  void SetAnswerDelay(milliseconds delay, const std::string& phrase) {
    std::lock_guard lock(mutex_);
    if (phrase.empty()) {
      answer_delay_ = delay;
    } else {
      phrase_delays_[phrase] = delay;
    }
  }
  void HoldFirstAnswers(int n) {
    std::lock_guard lock(mutex_);
    hold_left_ = n;
    hold_size_ = n;
    hold_arrived_ = 0;
  }
  int MostInFlight() const {
    std::lock_guard lock(mutex_);
    return most_in_flight_;
  }
  int ConnectionCount() const { return server_.ConnectionCount(); }
  void SetTaskQueueDelay(milliseconds delay, const std::string& phrase) {
    std::lock_guard lock(mutex_);
    dfs_.SetQueueDelay(delay, phrase);
  }
  void SetDfsBalance(double dollars) {
    std::lock_guard lock(mutex_);
    dfs_.SetBalance(dollars);
  }
  double DfsBalance() const {
    std::lock_guard lock(mutex_);
    return dfs_.Balance();
  }

 private:
  struct Answer {
    int status;
    std::string body;
    int retry_after_s = -1;
  };

  // A key's account and what it has used.
  struct Metered {
    Account account;
    int64_t used = 0;
    int64_t this_hour = 0;
    int64_t last_hour = 0;
    Clock::time_point hour_start;

    // Starts a new window when the current one is over.
    void Roll(Clock::time_point now) {
      if (now - hour_start < account.hour) return;
      const bool just_after = now - hour_start < 2 * account.hour;
      last_hour = just_after ? this_hour : 0;
      this_hour = 0;
      hour_start = now;
    }
    bool RunOut() const { return account.monthly_allowance >= 0 && used >= account.monthly_allowance; }
    bool HourFull() const { return account.hourly_limit >= 0 && this_hour >= account.hourly_limit; }
    // Whole seconds until the window ends, at least 1.
    int SecondsLeft(Clock::time_point now) const {
      const auto left = std::chrono::duration_cast<milliseconds>(hour_start + account.hour - now);
      return static_cast<int>(std::max<int64_t>(1, (left.count() + 999) / 1000));
    }
    AccountUsage Figures() const {
      constexpr int64_t kUnlimited = 1000000;
      const int64_t allowance = account.monthly_allowance >= 0 ? account.monthly_allowance : kUnlimited;
      return {std::max<int64_t>(0, allowance - used), used, this_hour, last_hour,
              account.hourly_limit >= 0 ? account.hourly_limit : kUnlimited};
    }
  };

  // For a key with an account: the answer that turns the search away, or nullopt once the
  // search is counted. Called under mutex_.
  std::optional<Answer> Meter(Metered& metered, bool serp) {
    const auto now = AccountNow();
    metered.Roll(now);
    if (metered.RunOut()) {
      if (serp) return Answer{429, SerpApiErrorJson(kSerpApiOutOfSearches)};
      return Error(QuotaExceededError());
    }
    if (metered.HourFull()) {
      Answer answer = serp ? Answer{429, SerpApiErrorJson(kSerpApiHourlyLimit)}
                           : Error(PerMinuteQuotaError());
      answer.retry_after_s = metered.account.retry_after_s >= 0 ? metered.account.retry_after_s
                                                                : metered.SecondsLeft(now);
      return answer;
    }
    ++metered.used;
    ++metered.this_hour;
    return std::nullopt;
  }

  // A search under way, from its arrival until its answer is made.
  class InFlight {
   public:
    explicit InFlight(Impl& impl) : impl_(impl) {
      std::lock_guard lock(impl_.mutex_);
      impl_.most_in_flight_ = std::max(impl_.most_in_flight_, ++impl_.in_flight_);
    }
    ~InFlight() {
      std::lock_guard lock(impl_.mutex_);
      --impl_.in_flight_;
    }
    InFlight(const InFlight&) = delete;
    InFlight& operator=(const InFlight&) = delete;

   private:
    Impl& impl_;
  };

  // The wait a search makes before its answer: a hold until enough are under way, then its
  // delay.
  void DelaySearch(const httplib::Request& request) {
    milliseconds delay{0};
    bool held = false;
    {
      std::unique_lock lock(mutex_);
      if (hold_left_ > 0) {
        --hold_left_;
        held = true;
        ++hold_arrived_;
        wake_.notify_all();
      }
      const auto phrase = phrase_delays_.find(ParseQuery(request.get_param_value("q")).subject);
      delay = phrase != phrase_delays_.end() ? phrase->second : answer_delay_;
      if (held) {
        wake_.wait(lock, [this] { return stopping_ || hold_arrived_ >= hold_size_; });
      }
    }
    if (delay.count() > 0) WaitUnlessStopping(delay, [] { return false; });
  }

  void Handle(const httplib::Request& request, httplib::Response& response) {
    const bool search = request.path == "/customsearch/v1" || request.path == "/search.json";
    std::optional<InFlight> in_flight;
    if (search) in_flight.emplace(*this);
    const Fault fault = Record(request);
    if (search) DelaySearch(request);
    switch (fault.kind) {
      case Fault::Kind::kDrop:
        if (current_connection != nullptr) current_connection->drop = true;
        return;
      case Fault::Kind::kCanned:
        response.status = fault.status;
        for (const auto& [name, value] : fault.headers) response.set_header(name, value);
        response.set_content(fault.body, HeaderOr(fault.headers, "Content-Type", kJsonType));
        return;
      case Fault::Kind::kDelay:
        WaitUnlessStopping(fault.duration, [] { return false; });
        break;
      default:
        break;
    }

    const Answer answer = AnswerFor(request);
    response.status = answer.status;
    if (answer.retry_after_s >= 0) {
      response.set_header("Retry-After", std::to_string(answer.retry_after_s));
    }
    switch (fault.kind) {
      case Fault::Kind::kStall:
      case Fault::Kind::kTruncate:
        SendHalf(answer.body, fault, response);
        return;
      case Fault::Kind::kDrip:
        SendDrip(answer.body, fault.duration, response);
        return;
      case Fault::Kind::kCutShort:
        response.set_content_provider(
            answer.body.size() + 1, kJsonType,
            [body = answer.body](size_t, size_t, httplib::DataSink& sink) {
              sink.write(body.data(), body.size());
              return false;  // closes the connection a byte short of what the headers said
            });
        return;
      default:
        response.set_content(answer.body, kJsonType);
        return;
    }
  }

  // The body a byte at a time, a byte every `every`, until it is all sent, the client goes
  // or the service stops.
  void SendDrip(const std::string& body, milliseconds every, httplib::Response& response) {
    const auto provider = [this, body, every](size_t offset, size_t, httplib::DataSink& sink) {
      if (offset > 0) WaitUnlessStopping(every, [&sink] { return !sink.is_writable(); });
      return !stopping_ && sink.write(body.data() + offset, 1);
    };
    response.set_content_provider(body.size(), kJsonType, provider);
  }

  // The headers announce the whole body; only its first half is sent.
  void SendHalf(const std::string& body, const Fault& fault, httplib::Response& response) {
    const size_t sent = body.empty() ? 0 : std::max<size_t>(1, body.size() / 2);
    response.set_content_provider(
        body.size(), kJsonType,
        [this, body, sent, fault](size_t, size_t, httplib::DataSink& sink) {
          if (!sink.write(body.data(), sent)) return false;
          if (fault.kind == Fault::Kind::kStall) {
            WaitUnlessStopping(fault.duration, [&sink] { return !sink.is_writable(); });
          }
          return false;  // closes the connection with the body unfinished
        });
  }

  // Records the request and takes the fault that applies to it.
  Fault Record(const httplib::Request& request) {
    RecordedRequest record;
    record.target = request.target;
    record.q = request.get_param_value("q");
    record.user_agent = request.get_header_value("User-Agent");
    record.body = request.body;
    for (const auto& [name, value] : request.headers) {
      // httplib adds the socket's addresses as pseudo-headers.
      if (name == "REMOTE_ADDR" || name == "REMOTE_PORT" || name == "LOCAL_ADDR" ||
          name == "LOCAL_PORT") {
        continue;
      }
      record.headers.emplace_back(name, value);
    }
    std::lock_guard lock(mutex_);
    requests_.push_back(std::move(record));
    arrived_.notify_all();
    Fault fault = fault_;
    if (fault_.times > 0 && --fault_.times == 0) fault_ = Fault();
    return fault;
  }

  Answer AnswerFor(const httplib::Request& request) {
    if (request.path.rfind("/v3/", 0) == 0) {
      std::lock_guard lock(mutex_);
      const DataForSeoQueue::Reply reply =
          dfs_.Answer(request.method, request.path, request.get_header_value("Authorization"),
                      request.body, AccountNow());
      return {reply.http_status, reply.body};
    }
    if (request.path == "/search.json") return SerpApiAnswerFor(request);
    if (request.path == "/account.json") return SerpApiAccountFor(request);
    if (request.method == "POST") return VolumeAnswerFor(request);
    if (request.path == "/api/v1.0/getPageRank") return RankAnswerFor(request);
    const std::string key = request.get_param_value("key");
    const std::string cx = request.get_param_value("cx");
    {
      std::lock_guard lock(mutex_);
      const auto account = accounts_.find(key);
      const bool has_account = !key.empty() && account != accounts_.end();
      if (!has_account && (key.empty() || key != config_.api_key)) return Error(KeyInvalidError());
      if (cx.empty() || cx != config_.engine_code) return Error(InvalidArgumentError());
      if (has_account) {
        if (auto refused = Meter(account->second, /*serp=*/false)) return *refused;
      } else {
        if (config_.daily_quota >= 0 && used_today_ >= config_.daily_quota) {
          return Error(QuotaExceededError());
        }
        ++used_today_;
      }
    }
    const std::string q = request.get_param_value("q");
    const ParsedQuery query = ParseQuery(q);
    if (query.subject.empty()) return Error(InvalidArgumentError());
    for (const std::string& word : Words(query.subject)) {
      if (word == "fail") return Error(BackendError());
    }
    const int64_t count = CountFor(q);
    return {200, SearchAnswerJson(q, cx, count, ItemsFor(q, count))};
  }

  static Answer Error(const ApiError& error) { return {error.code, ErrorAnswerJson(error)}; }

  Answer VolumeAnswerFor(const httplib::Request& request) {
    std::vector<std::string> phrases;
    const size_t count = request.get_param_value_count("kw[]");
    for (size_t i = 0; i < count; ++i) phrases.push_back(request.get_param_value("kw[]", i));
    std::lock_guard lock(mutex_);
    if (request.get_header_value("Authorization") != "Bearer " + config_.volume_key) {
      return {401, VolumeErrorJson(kVolumeInvalidKey)};
    }
    volume_credits_used_ += static_cast<int64_t>(phrases.size());
    return {200, VolumeAnswerJson(phrases, config_.volume_credits - volume_credits_used_)};
  }

  Answer RankAnswerFor(const httplib::Request& request) {
    std::vector<std::string> domains;
    const size_t count = request.get_param_value_count("domains[]");
    for (size_t i = 0; i < count; ++i) domains.push_back(request.get_param_value("domains[]", i));
    std::lock_guard lock(mutex_);
    if (request.get_header_value("API-OPR") != config_.rank_key) {
      return {401, RankErrorJson(401, kRankInvalidKey)};
    }
    return {200, RankAnswerJson(domains)};
  }

  // The same rules in SerpApi's form: the key in api_key, no engine code, engine=google.
  Answer SerpApiAnswerFor(const httplib::Request& request) {
    const std::string key = request.get_param_value("api_key");
    {
      std::lock_guard lock(mutex_);
      const auto account = accounts_.find(key);
      const bool has_account = !key.empty() && account != accounts_.end();
      if (!has_account && (key.empty() || key != config_.api_key)) {
        return {401, SerpApiErrorJson(kSerpApiInvalidKey)};
      }
      if (request.get_param_value("engine") != "google" &&
          request.get_param_value("engine") != "google_autocomplete") {
        return {400, SerpApiErrorJson(kSerpApiUnsupportedEngine)};
      }
      if (has_account) {
        if (auto refused = Meter(account->second, /*serp=*/true)) return *refused;
      } else {
        if (config_.daily_quota >= 0 && used_today_ >= config_.daily_quota) {
          return {429, SerpApiErrorJson(kSerpApiOutOfSearches)};
        }
        ++used_today_;
      }
    }
    const std::string q = request.get_param_value("q");
    const ParsedQuery query = ParseQuery(q);
    if (query.subject.empty()) return {400, SerpApiErrorJson(kSerpApiMissingQuery)};
    for (const std::string& word : Words(query.subject)) {
      if (word == "fail") return {500, SerpApiErrorJson(kSerpApiServerError)};
    }
    if (request.get_param_value("engine") == "google_autocomplete") {
      return {200, SerpApiAutocompleteJson(query.subject)};
    }
    const int64_t count = CountFor(q);
    return {200, SerpApiSearchJson(q, count, ItemsFor(q, count))};
  }

  // The account answer uses no search. Without a daily quota the plan is kUnlimitedPlan.
  Answer SerpApiAccountFor(const httplib::Request& request) {
    constexpr int64_t kUnlimitedPlan = 100000;
    std::lock_guard lock(mutex_);
    const std::string key = request.get_param_value("api_key");
    const auto account = accounts_.find(key);
    if (!key.empty() && account != accounts_.end()) {
      Metered& metered = account->second;
      if (!metered.account.account_answer.empty()) return {200, metered.account.account_answer};
      metered.Roll(AccountNow());
      return {200, SerpApiAccountJson(metered.Figures())};
    }
    if (key.empty() || key != config_.api_key) return {401, SerpApiErrorJson(kSerpApiInvalidKey)};
    const int64_t plan = config_.daily_quota >= 0 ? config_.daily_quota : kUnlimitedPlan;
    const int64_t left = std::max<int64_t>(0, plan - used_today_);
    return {200, SerpApiAccountJson({left, used_today_, used_today_, 0, 1000000})};
  }

  // Sleeps for up to duration; returns early when the service stops or done() holds.
  template <typename Done>
  void WaitUnlessStopping(milliseconds duration, Done done) {
    const auto deadline = Clock::now() + duration;
    std::unique_lock lock(mutex_);
    while (!stopping_ && Clock::now() < deadline) {
      lock.unlock();
      const bool finished = done();
      lock.lock();
      if (finished) return;
      wake_.wait_for(lock, std::min<Clock::duration>(kSlice, deadline - Clock::now()));
    }
  }

  SubstituteSearchServerConfig config_;
  std::atomic<bool> stopping_{false};
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  int64_t used_today_ = 0;
  milliseconds passed_{0};  // PassAccountTime's sum
  // The accounts' clock: real time and what PassAccountTime added. Called under mutex_.
  Clock::time_point AccountNow() const { return Clock::now() + passed_; }
  int64_t volume_credits_used_ = 0;
  std::map<std::string, Metered> accounts_;
  DataForSeoQueue dfs_;
  Fault fault_;
  std::vector<RecordedRequest> requests_;
  mutable std::condition_variable arrived_;  // a request was recorded
  int in_flight_ = 0;
  int most_in_flight_ = 0;
  milliseconds answer_delay_{0};
  std::map<std::string, milliseconds> phrase_delays_;
  int hold_left_ = 0;     // searches still to be held
  int hold_size_ = 0;     // how many the hold waits for
  int hold_arrived_ = 0;  // held so far
  LoopbackServer server_;
  int port_ = -1;
  std::thread thread_;
};

SubstituteSearchServer::SubstituteSearchServer(SubstituteSearchServerConfig config)
    : impl_(std::make_unique<Impl>(std::move(config))) {}

SubstituteSearchServer::~SubstituteSearchServer() = default;

int SubstituteSearchServer::Port() const { return impl_->Port(); }

std::string SubstituteSearchServer::Endpoint() const {
  return "http://127.0.0.1:" + std::to_string(impl_->Port());
}

void SubstituteSearchServer::SetCredentials(const std::string& api_key, const std::string& engine_code) {
  impl_->SetCredentials(api_key, engine_code);
}

void SubstituteSearchServer::SetDailyQuota(int64_t queries) { impl_->SetDailyQuota(queries); }

void SubstituteSearchServer::StartNewDay() { impl_->StartNewDay(); }

void SubstituteSearchServer::SetAccount(const std::string& api_key, const Account& account) {
  impl_->SetAccount(api_key, account);
}

void SubstituteSearchServer::PassAccountTime(std::chrono::milliseconds time) {
  impl_->PassAccountTime(time);
}

void SubstituteSearchServer::InjectFault(const Fault& fault) { impl_->InjectFault(fault); }

void SubstituteSearchServer::ClearFault() { impl_->InjectFault(Fault()); }

std::vector<RecordedRequest> SubstituteSearchServer::Requests() const { return impl_->Requests(); }

void SubstituteSearchServer::ClearRequests() { impl_->ClearRequests(); }

bool SubstituteSearchServer::WaitForRequests(size_t n, std::chrono::milliseconds limit) const {
  return impl_->WaitForRequests(n, limit);
}

int SubstituteSearchServer::ConnectionCount() const { return impl_->ConnectionCount(); }

void SubstituteSearchServer::SetAnswerDelay(milliseconds delay, const std::string& phrase) {
  impl_->SetAnswerDelay(delay, phrase);
}

void SubstituteSearchServer::HoldFirstAnswers(int n) { impl_->HoldFirstAnswers(n); }

int SubstituteSearchServer::MostInFlight() const { return impl_->MostInFlight(); }

void SubstituteSearchServer::SetTaskQueueDelay(milliseconds delay, const std::string& phrase) {
  impl_->SetTaskQueueDelay(delay, phrase);
}

void SubstituteSearchServer::SetDfsBalance(double dollars) { impl_->SetDfsBalance(dollars); }

double SubstituteSearchServer::DfsBalance() const { return impl_->DfsBalance(); }

}  // namespace kelvaro::searchsim
