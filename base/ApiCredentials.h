#pragma once

#include <mutex>
#include <string>
#include <utility>

namespace kelvaro {

// What a request is made with, as one consistent set. The store keeps the key and the
// engine code; the search service and endpoint choose where the requests go ("": the
// program's default).
struct Credentials {
  std::string api_key;
  std::string engine_code;
  std::string service{};
  std::string endpoint{};
  // The volume service's key (empty: no monthly searches) and its two-letter country.
  std::string volume_key{};
  std::string volume_country{};
  // The domain rank service's key (empty: no domain ranks).
  std::string rank_key{};
  // DataForSEO's API login and password (the password goes into a request's Authorization
  // header and nowhere else), and whether its tasks go to the priority queue.
  std::string dfs_login{};
  std::string dfs_password{};
  bool dfs_priority = false;
};

// The credentials in memory, created once at start-up and handed to both windows and the
// settings dialog. The GUI thread writes the whole set at once; both workers read it from
// their own threads for every request, so a change applies from the next request and a
// reader never sees half a change.
class ApiCredentials {
 public:
  Credentials Get() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return value_;
  }
  void Set(Credentials value) {
    std::lock_guard<std::mutex> lock(mutex_);
    value_ = std::move(value);
  }
  std::string APIKey() const { return Get().api_key; }
  std::string EngineCode() const { return Get().engine_code; }

 private:
  mutable std::mutex mutex_;
  Credentials value_;
};

}  // namespace kelvaro
