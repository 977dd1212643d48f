#pragma once

// The answers the account already paid for, kept in an SQLite file so that a run can reuse
// them instead of asking (and paying) again. An answer is found again only by everything that
// changed it: the service, the endpoint, the engine (for a service that is sent an engine
// code), the location, the kind and the text it was asked with, so a stored answer never
// crosses services, endpoints or engines. The API key and the query URL are never stored,
// and the engine code only as a digest.
//
// One AnswerStore is shared by every thread: each thread that calls it gets an SQLite
// connection of its own (see AnswerStore.cpp). Nothing here throws; a store that cannot be
// used answers "nothing stored" and records nothing, so a run goes on as if there were none.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "web/CustomSearch.h"
#include "web/ServiceQuery.h"  // StoredAnswer

namespace kelvaro {

// The version of the tables this program writes (kept in the file's user_version). Every
// change of their layout raises it; a file of an older version is brought up to this one on
// opening.
inline constexpr int kAnswerStoreSchema = 4;
// A phrase answer keeps at most this many of its listed results.
inline constexpr size_t kStoredResults = 10;

// Seconds since 1970-01-01 00:00 UTC.
using AnswerClock = std::function<int64_t()>;
int64_t SystemSeconds();

// How a query kind is named in the store: "phrase", "allintitle", "allinurl", "backlink",
// "autocomplete".
const char* QueryKindName(QueryKind kind);

// One query as the worker asks it, with every request value that changes its answer.
struct AnswerKey {
  std::string service;   // the service's Name()
  std::string endpoint;  // as set by the user; empty means the service's own address
  QueryKind kind = QueryKind::Phrase;
  std::string text;  // the keyword line or result URL, byte for byte (not encoded)
  // The engine code as the settings hold it; it counts only for a service that sends one
  // (spaces around it do not count, as they are not sent).
  std::string engine{};
  // The country, language or place the service is told to answer for; empty when it is told
  // none (no search service is told one yet).
  std::string location{};
};

class AnswerStore {
 public:
  // Opens the store at `path` (a file name in the system's code page; see
  // DefaultAnswerStorePath()), creating its missing folders (owner only) and the file (owner
  // read and write only) when there is none. A file that is not an answer store of this
  // program or of an older one (not SQLite, damaged, another program's database, tables of
  // another layout than their version has, a newer schema) is left exactly as it is: the
  // store is then unavailable and OpenError() says why. So it is when the file cannot be
  // made, or its tables cannot be created (a full disk) or brought up to this version. A
  // version-1 file's answers are kept; its Google Custom Search answers count as filed
  // under an unknown engine, so they are never reused.
  // `clock` tells the time for recording and for the age limit.
  // Destroy it after the threads that use it have made their last call.
  explicit AnswerStore(std::string path, AnswerClock clock = SystemSeconds);
  ~AnswerStore();
  AnswerStore(const AnswerStore&) = delete;
  AnswerStore& operator=(const AnswerStore&) = delete;

  const std::string& Path() const { return path_; }
  // False when the file could not be opened or made, or is not ours; every call below then
  // does nothing.
  bool Available() const;
  // Why the store is unavailable, as one sentence for the status bar; empty when it is
  // available.
  const std::string& OpenError() const { return open_error_; }

  // The answer to `key` that arrived at most `max_age_days` days (of 24 hours) ago and not
  // after now; nullopt when there is none, when `max_age_days` is 0 or less, or when the
  // store cannot be read. An endpoint equal to the service's own address counts as empty,
  // and so do spaces around it and a trailing "/".
  std::optional<StoredAnswer> Lookup(const AnswerKey& key, int max_age_days) const;

  // Records an answer to `key` that arrived now with a valid `count`, replacing the answer
  // stored for it (also one dated after now, by a clock that was ahead). `results` (the
  // answer's listed results, nullopt when it had no result list) are kept for a phrase query
  // only, at most kStoredResults of them. `ideas` (the answer's keyword ideas) are kept for a
  // phrase or Autocomplete query only; an answer recorded before they were kept has none.
  // False when nothing was recorded (read-only file, full disk, the database locked by
  // another process beyond the busy time-out, an unavailable store); the caller goes on.
  bool Record(const AnswerKey& key, const std::string& count,
              const std::optional<std::vector<SearchResult>>& results = std::nullopt,
              const std::vector<KeywordIdea>& ideas = {});

  // Monthly searches of a phrase (as sent, UTF-8) for a country, kept like counts: the volume
  // service's answers, filed apart from the search services'. The same rules as Lookup and
  // Record.
  std::optional<int64_t> LookupVolume(const std::string& country, const std::string& phrase,
                                      int max_age_days) const;
  bool RecordVolume(const std::string& country, const std::string& phrase, int64_t volume);

  // The rank of a domain (as RankDomain gives it), kept like counts: the rank service's answers,
  // filed apart from the search services'. The same rules as Lookup and Record.
  std::optional<double> LookupDomainRank(const std::string& domain, int max_age_days) const;
  bool RecordDomainRank(const std::string& domain, double rank);

  // The tasks a service that answers by task was paid for and has not been collected from
  // yet: one a query (filed as Lookup files answers, and by a digest of the `account`, the
  // login that posted it, never the login itself), with the task's id. RecordTask replaces the
  // task held for the query; LookupTask gives one posted at most `max_age_days` days ago (the
  // service keeps its results that long); ForgetTask drops it once it is collected or failed.
  bool RecordTask(const AnswerKey& key, const std::string& account, const std::string& task_id);
  std::optional<std::string> LookupTask(const AnswerKey& key, const std::string& account,
                                        int max_age_days) const;
  bool ForgetTask(const AnswerKey& key, const std::string& account);

  // How many of `queries` have an answer Lookup would return (for the cost line before a run).
  int CountFresh(const std::vector<AnswerKey>& queries, int max_age_days) const;

 private:
  class Connection;
  using ConnectionMap = std::unordered_map<uint64_t, std::unique_ptr<Connection>>;
  // The calling thread's connections, one per store; they close when the thread ends.
  static ConnectionMap& ThreadConnections();
  // The calling thread's connection, opened on its first call; nullptr when it cannot be.
  Connection* ThisThreadConnection() const;
  void Open();
  // Marks the store unavailable after SQLite found the file damaged, so nothing more is
  // written into it.
  void NoteFailure(int sqlite_code) const;
  // Creates the tables of a new file or brings an older file up to this version; false
  // (with open_error_ set) when it cannot.
  bool Prepare(Connection& connection, int version);
  // Lookup and Record by the values an answer is filed under (see AnswerStore.cpp).
  struct Filed;
  static Filed FiledUnder(const AnswerKey& key);
  std::optional<StoredAnswer> LookupFiled(const Filed& filed, int max_age_days) const;
  bool RecordFiled(const Filed& filed, const std::string& count,
                   const std::optional<std::vector<SearchResult>>& results,
                   const std::vector<KeywordIdea>& ideas = {});

  const std::string path_;
  const AnswerClock clock_;
  const uint64_t serial_;  // tells this store's connections from another's on a thread
  std::string open_error_;
  bool opened_ = false;
  mutable std::atomic<bool> damaged_{false};
};

// Where the store lives: $XDG_DATA_HOME/Dovrane/Kelvaro/answers.sqlite, or
// ~/.local/share/Dovrane/Kelvaro/answers.sqlite when XDG_DATA_HOME is unset or not an absolute
// path; on Windows %LOCALAPPDATA%\Dovrane\Kelvaro\answers.sqlite. A file name in the system's
// code page.
std::string DefaultAnswerStorePath();

}  // namespace kelvaro
