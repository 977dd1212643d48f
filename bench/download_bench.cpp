// Requests per second against the substitute search service over loopback: keeping the
// connection open between requests (what DownloadPage does) against opening a fresh connection
// for every request, over plain HTTP and over TLS, where a fresh connection also pays the
// handshake.
//
// DownloadPage trusts only the system's certificate authorities, so over TLS the requests go
// through libcurl set up the way DownloadPage's backend sets it up, plus trust in the
// certificate the TLS service makes at start. The same client over plain HTTP shows how closely
// it follows DownloadPage there.
//
// Run: scripts/bench download_bench. At the end it prints, for plain HTTP and for TLS, how many
// times faster a request over a kept connection is than one over a fresh connection. Exits
// non-zero when a request fails.

#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "tools/SubstituteSearchServer.h"
#include "tools/TlsSubstituteServer.h"
#include "web/CustomSearch.h"
#include "web/DownloadBackend.h"
#include "web/uHelper.h"

namespace {

using kelvaro::internal::ConnectionUse;
using kelvaro::searchsim::SubstituteSearchServer;
using kelvaro::searchsim::TlsSubstituteServer;

bool any_failed = false;

void Fail(benchmark::State& state, const std::string& why) {
  any_failed = true;
  state.SkipWithError(why.c_str());
}

SubstituteSearchServer& Service() {
  static SubstituteSearchServer service;
  return service;
}

TlsSubstituteServer& TlsService() {
  static TlsSubstituteServer service(Service());
  return service;
}

std::string QueryURL(const std::string& endpoint) {
  setenv("no_proxy", "127.0.0.1,localhost", 1);
  return kelvaro::BuildQueryURL(kelvaro::QueryKind::Phrase, "red shoes", "demo-key", "demo-cx",
                                endpoint);
}

// DownloadPage's backend itself, plain HTTP only.
void RunDownloadPage(benchmark::State& state, ConnectionUse use) {
  const std::string url = QueryURL(Service().Endpoint());
  const int connections_before = Service().ConnectionCount();
  size_t bytes = 0;
  for (auto _ : state) {
    const std::string body = kelvaro::internal::Download(
        url, std::chrono::milliseconds(kelvaro::kReceiveTimeoutMs), use);
    if (body.empty()) {
      Fail(state, "empty answer");
      break;
    }
    bytes += body.size();
    benchmark::DoNotOptimize(body.data());
  }
  state.SetItemsProcessed(state.iterations());
  state.SetBytesProcessed(static_cast<int64_t>(bytes));
  state.counters["new_connections"] = Service().ConnectionCount() - connections_before;
}

// One libcurl handle with DownloadPage's options and headers; its connection stays open until
// the handle goes. ca_pem, when given, is trusted besides the system's authorities.
class CurlClient {
 public:
  explicit CurlClient(std::string ca_pem) : ca_pem_(std::move(ca_pem)) {
    headers_ = curl_slist_append(headers_, "Cache-Control: no-cache");
    headers_ = curl_slist_append(headers_, "Pragma: no-cache");
  }
  ~CurlClient() {
    curl_easy_cleanup(easy_);
    curl_slist_free_all(headers_);
  }
  CurlClient(const CurlClient&) = delete;
  CurlClient& operator=(const CurlClient&) = delete;

  // The body of a 200 answer; otherwise false with the reason in error.
  bool Get(const std::string& url, std::string& body, std::string& error) {
    if (easy_ == nullptr) easy_ = curl_easy_init();
    if (easy_ == nullptr || headers_ == nullptr) {
      error = "no libcurl handle";
      return false;
    }
    curl_easy_reset(easy_);  // keeps the connection, as DownloadPage's backend does
    body.clear();
    curl_blob ca{ca_pem_.data(), ca_pem_.size(), CURL_BLOB_COPY};
    bool ok = curl_easy_setopt(easy_, CURLOPT_URL, url.c_str()) == CURLE_OK;
    const auto set = [&](CURLoption option, auto value) {
      ok = ok && curl_easy_setopt(easy_, option, value) == CURLE_OK;
    };
    set(CURLOPT_USERAGENT, kelvaro::kUserAgent);
    set(CURLOPT_HTTPHEADER, headers_);
    set(CURLOPT_HTTPGET, 1L);
    set(CURLOPT_NOSIGNAL, 1L);
    set(CURLOPT_FOLLOWLOCATION, 1L);
    set(CURLOPT_MAXREDIRS, 10L);
    set(CURLOPT_SSL_VERIFYPEER, 1L);
    set(CURLOPT_SSL_VERIFYHOST, 2L);
    if (!ca_pem_.empty()) set(CURLOPT_CAINFO_BLOB, &ca);
    set(CURLOPT_WRITEFUNCTION, &Append);
    set(CURLOPT_WRITEDATA, static_cast<void*>(&body));
    if (!ok) {
      error = "libcurl refused an option";
      return false;
    }
    const CURLcode result = curl_easy_perform(easy_);
    long status = 0;
    curl_easy_getinfo(easy_, CURLINFO_RESPONSE_CODE, &status);
    if (result != CURLE_OK || status != 200) {
      error = std::string(curl_easy_strerror(result)) + ", HTTP status " + std::to_string(status);
      return false;
    }
    return true;
  }

 private:
  static size_t Append(char* data, size_t size, size_t count, void* body) noexcept {
    try {
      static_cast<std::string*>(body)->append(data, size * count);
      return size * count;
    } catch (...) {
      return 0;
    }
  }

  std::string ca_pem_;
  CURL* easy_ = nullptr;
  curl_slist* headers_ = nullptr;
};

enum class Scheme { kPlain, kTls };

void RunCurl(benchmark::State& state, Scheme scheme, ConnectionUse use) {
  const bool tls = scheme == Scheme::kTls;
  const std::string url = QueryURL(tls ? TlsService().Endpoint() : Service().Endpoint());
  const auto connections = [tls] {
    return tls ? TlsService().HandshakeCount() : Service().ConnectionCount();
  };
  const std::string ca = tls ? TlsService().CertificatePem() : std::string();
  const int connections_before = connections();
  size_t bytes = 0;
  std::string body;
  std::string error;
  {
    CurlClient kept(ca);
    for (auto _ : state) {
      bool ok;
      if (use == ConnectionUse::kReuse) {
        ok = kept.Get(url, body, error);
      } else {
        CurlClient fresh(ca);
        ok = fresh.Get(url, body, error);
      }
      if (!ok) {
        Fail(state, error);
        break;
      }
      bytes += body.size();
      benchmark::DoNotOptimize(body.data());
    }
  }
  state.SetItemsProcessed(state.iterations());
  state.SetBytesProcessed(static_cast<int64_t>(bytes));
  state.counters["new_connections"] = connections() - connections_before;
}

void BM_DownloadPageReuse(benchmark::State& state) {
  RunDownloadPage(state, ConnectionUse::kReuse);
}
void BM_DownloadPageFreshConnection(benchmark::State& state) {
  RunDownloadPage(state, ConnectionUse::kFresh);
}
void BM_LibcurlPlainReuse(benchmark::State& state) {
  RunCurl(state, Scheme::kPlain, ConnectionUse::kReuse);
}
void BM_LibcurlPlainFreshConnection(benchmark::State& state) {
  RunCurl(state, Scheme::kPlain, ConnectionUse::kFresh);
}
void BM_LibcurlTlsReuse(benchmark::State& state) {
  RunCurl(state, Scheme::kTls, ConnectionUse::kReuse);
}
void BM_LibcurlTlsFreshConnection(benchmark::State& state) {
  RunCurl(state, Scheme::kTls, ConnectionUse::kFresh);
}
BENCHMARK(BM_DownloadPageReuse)->Unit(benchmark::kMicrosecond)->MinTime(1.0)->UseRealTime();
BENCHMARK(BM_DownloadPageFreshConnection)
    ->Unit(benchmark::kMicrosecond)
    ->MinTime(1.0)
    ->UseRealTime();
BENCHMARK(BM_LibcurlPlainReuse)->Unit(benchmark::kMicrosecond)->MinTime(1.0)->UseRealTime();
BENCHMARK(BM_LibcurlPlainFreshConnection)
    ->Unit(benchmark::kMicrosecond)
    ->MinTime(1.0)
    ->UseRealTime();
BENCHMARK(BM_LibcurlTlsReuse)->Unit(benchmark::kMicrosecond)->MinTime(1.0)->UseRealTime();
BENCHMARK(BM_LibcurlTlsFreshConnection)->Unit(benchmark::kMicrosecond)->MinTime(1.0)->UseRealTime();

// The console report, remembering each benchmark's real time per request for the ratios.
class DownloadRatioReporter final : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Iteration && run.iterations > 0) {
        time_per_request_[run.run_name.function_name] = run.GetAdjustedRealTime();
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }

  // "reused connection N.NN times faster than a fresh one", when both ran.
  void PrintRatio(const char* what, const std::string& reuse, const std::string& fresh) const {
    const auto r = time_per_request_.find(reuse);
    const auto f = time_per_request_.find(fresh);
    if (r == time_per_request_.end() || f == time_per_request_.end() || r->second <= 0) return;
    std::printf("%s: a request over a kept connection is %.2f times as fast as over a fresh one\n",
                what, f->second / r->second);
  }

 private:
  std::map<std::string, double> time_per_request_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 2;
  DownloadRatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatio("plain HTTP, DownloadPage", "BM_DownloadPageReuse",
                      "BM_DownloadPageFreshConnection");
  reporter.PrintRatio("plain HTTP, libcurl", "BM_LibcurlPlainReuse",
                      "BM_LibcurlPlainFreshConnection");
  reporter.PrintRatio("TLS, libcurl", "BM_LibcurlTlsReuse", "BM_LibcurlTlsFreshConnection");
  benchmark::Shutdown();
  return any_failed ? 1 : 0;
}
