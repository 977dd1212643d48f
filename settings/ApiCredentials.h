#pragma once

#include <mutex>
#include <string>

#include "base/WorkerHost.h"

namespace kelvaro {

// The API key and engine code in memory. The main window owns it and writes it on the
// GUI thread; both workers read it from their own threads each time they build a URL,
// so a change applies from the next request and a reader never sees half a change.
class ApiCredentials {
 public:
  Credentials Get() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return value_;
  }
  void Set(const std::string& api_key, const std::string& engine_code) {
    std::lock_guard<std::mutex> lock(mutex_);
    value_.api_key = api_key;
    value_.engine_code = engine_code;
  }
  std::string APIKey() const { return Get().api_key; }
  std::string EngineCode() const { return Get().engine_code; }
  void SetAPIKey(const std::string& v) {
    std::lock_guard<std::mutex> lock(mutex_);
    value_.api_key = v;
  }
  void SetEngineCode(const std::string& v) {
    std::lock_guard<std::mutex> lock(mutex_);
    value_.engine_code = v;
  }

 private:
  mutable std::mutex mutex_;
  Credentials value_;
};

}  // namespace kelvaro
