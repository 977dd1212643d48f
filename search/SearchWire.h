#pragma once

// The service end of a search session: the credentials as they are at each request, the
// endpoint start-up was given, and the HTTP client the requests go through.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/ApiCredentials.h"
#include "web/HttpClient.h"
#include "web/ServiceQuery.h"

namespace kelvaro {

class SearchWire {
 public:
  // `credentials` and `http` outlive this.
  SearchWire(const ApiCredentials& credentials, std::string endpoint, HttpClient& http)
      : credentials_(credentials), endpoint_(std::move(endpoint)), http_(http) {}

  // The credentials as they are now, read together.
  Credentials CurrentCredentials() const { return credentials_.Get(); }
  // The endpoint start-up was given (empty: the services' own addresses).
  const std::string& Endpoint() const { return endpoint_; }
  // The settings a request made now goes with.
  Credentials Settings() const { return RequestSettings(credentials_.Get(), endpoint_); }

  // One query with the settings of now (QueryService).
  ServiceAnswer Query(QueryKind kind, const std::string& text, int& queries_sent);
  // The same query prepared, not sent (PrepareQuery): for a batch of the client's.
  ServiceAnswer Prepare(QueryKind kind, const std::string& text) const {
    return PrepareQuery(Settings(), kind, text);
  }
  // A batch of GETs through the client (HttpClient::StartBatch).
  std::unique_ptr<HttpBatch> StartBatch() { return http_.StartBatch(); }
  // The account's figures with the settings of now (AskAccount), asked with `timeout_ms`.
  std::optional<AccountFigures> AskAccount(int timeout_ms);
  // A POST (the volume service); a client that throws gives an empty answer.
  HttpAnswer Post(const std::string& url, const std::vector<std::string>& headers,
                  const std::string& body, int receive_timeout_ms);
  // A GET with headers of its own (the rank service); a client that throws gives an empty answer.
  HttpAnswer GetWithHeaders(const std::string& url, const std::vector<std::string>& headers,
                            int receive_timeout_ms);

 private:
  const ApiCredentials& credentials_;
  const std::string endpoint_;
  HttpClient& http_;
};

}  // namespace kelvaro
