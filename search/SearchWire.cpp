#include "search/SearchWire.h"

namespace kelvaro {

ServiceAnswer SearchWire::Query(QueryKind kind, const std::string& text, int& queries_sent) {
  return QueryService(http_, Settings(), kind, text, queries_sent);
}

std::optional<AccountFigures> SearchWire::AskAccount(int timeout_ms) {
  return kelvaro::AskAccount(http_, Settings(), timeout_ms);
}

HttpAnswer SearchWire::Post(const std::string& url, const std::vector<std::string>& headers,
                            const std::string& body, int receive_timeout_ms) {
  try {
    return http_.Post(url, headers, body, receive_timeout_ms);
  } catch (...) {
    return HttpAnswer();  // a request that throws is a failed one
  }
}

HttpAnswer SearchWire::GetWithHeaders(const std::string& url,
                                      const std::vector<std::string>& headers,
                                      int receive_timeout_ms) {
  try {
    return http_.GetWithHeaders(url, headers, receive_timeout_ms);
  } catch (...) {
    return HttpAnswer();  // a request that throws is a failed one
  }
}

}  // namespace kelvaro
