#include "web/HttpClient.h"

#include "web/uHelper.h"

namespace kelvaro {

HttpAnswer PlatformHttpClient::Get(const std::string& url, int receive_timeout_ms) {
  return DownloadAnswer(url, receive_timeout_ms, abort_);
}

HttpAnswer PlatformHttpClient::Post(const std::string& url, const std::vector<std::string>& headers,
                                    const std::string& body, int receive_timeout_ms) {
  return PostForm(url, headers, body, receive_timeout_ms, abort_);
}

HttpAnswer HttpClient::GetWithHeaders(const std::string& /*url*/,
                                      const std::vector<std::string>& /*headers*/,
                                      int /*receive_timeout_ms*/) {
  return HttpAnswer();
}

HttpAnswer PlatformHttpClient::GetWithHeaders(const std::string& url,
                                              const std::vector<std::string>& headers,
                                              int receive_timeout_ms) {
  return DownloadWithHeaders(url, headers, receive_timeout_ms, abort_);
}

}  // namespace kelvaro
