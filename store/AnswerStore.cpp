#include "store/AnswerStore.h"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <unordered_map>
#include <utility>

#include "store/AnswerStoreFile.h"
#include "web/SearchService.h"
#include "web/uHelper.h"

namespace kelvaro {
namespace {

// Every thread has its own connection: the workers record from their threads while the GUI
// thread reads for the cost line, and a connection of their own lets each go its way without
// a lock of ours. In WAL mode readers never wait for a writer, so reading on the GUI thread is
// never held up by a worker's write, and writing happens only on the workers' threads. The
// busy time-out makes a writer of another Kelvaro process wait its turn for a moment; past it
// the record is skipped, never shown as an error.
constexpr int kBusyTimeoutMs = 1000;
constexpr int64_t kSecondsPerDay = 24 * 60 * 60;

// One row per query: a newer answer replaces the older one. A phrase answer's listed results
// are rows of `result`, numbered from 1.
constexpr char kCreateTables[] =
    "CREATE TABLE IF NOT EXISTS answer("
    "  id INTEGER PRIMARY KEY,"
    "  service TEXT NOT NULL,"
    "  endpoint TEXT NOT NULL,"
    "  kind TEXT NOT NULL,"
    "  query TEXT NOT NULL,"
    "  count TEXT NOT NULL,"
    "  listed INTEGER NOT NULL,"   // 1 when the answer had a result list, even an empty one
    "  arrived INTEGER NOT NULL,"  // seconds since 1970 UTC
    "  UNIQUE(service, endpoint, kind, query));"
    "CREATE TABLE IF NOT EXISTS result("
    "  answer_id INTEGER NOT NULL,"
    "  position INTEGER NOT NULL,"
    "  title TEXT NOT NULL,"
    "  link TEXT NOT NULL,"
    "  PRIMARY KEY(answer_id, position)) WITHOUT ROWID;";

constexpr char kLookup[] =
    "SELECT a.count, a.arrived, a.listed, r.title, r.link FROM answer a"
    " LEFT JOIN result r ON r.answer_id = a.id"
    " WHERE a.service = ?1 AND a.endpoint = ?2 AND a.kind = ?3 AND a.query = ?4"
    " AND a.arrived BETWEEN ?5 AND ?6 ORDER BY r.position";
// An answer that arrived before the stored one (another process recorded a newer one in the
// meantime) leaves the stored one in place and returns no row.
constexpr char kUpsert[] =
    "INSERT INTO answer(service, endpoint, kind, query, count, listed, arrived)"
    " VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7)"
    " ON CONFLICT(service, endpoint, kind, query) DO UPDATE"
    " SET count = excluded.count, listed = excluded.listed, arrived = excluded.arrived"
    " WHERE excluded.arrived >= answer.arrived RETURNING id";
constexpr char kClearResults[] = "DELETE FROM result WHERE answer_id = ?1";
constexpr char kAddResult[] =
    "INSERT INTO result(answer_id, position, title, link) VALUES(?1, ?2, ?3, ?4)";

struct DatabaseCloser {
  void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using Database = std::unique_ptr<sqlite3, DatabaseCloser>;

struct StatementFinalizer {
  void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using Statement = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

// Texts are bytes and go in and out unchanged. The statement is stepped and reset while the
// text lives, so SQLite need not copy it (a null destructor).
void BindText(sqlite3_stmt* statement, int index, const std::string& text) {
  sqlite3_bind_text(statement, index, text.data(), static_cast<int>(text.size()), nullptr);
}

std::string ColumnText(sqlite3_stmt* statement, int column) {
  const unsigned char* text = sqlite3_column_text(statement, column);
  if (text == nullptr) return std::string();
  return std::string(reinterpret_cast<const char*>(text),
                     static_cast<size_t>(sqlite3_column_bytes(statement, column)));
}

Database OpenDatabase(const std::string& path, int flags, int& code) {
  sqlite3* raw = nullptr;
  code = sqlite3_open_v2(SqliteFileName(path).c_str(), &raw, flags | SQLITE_OPEN_NOMUTEX, nullptr);
  Database db(raw);
  if (code == SQLITE_OK) sqlite3_busy_timeout(db.get(), kBusyTimeoutMs);
  return db;
}

// The single integer a statement such as "PRAGMA user_version" gives.
int ReadInt(sqlite3* db, const char* sql, int& value) {
  sqlite3_stmt* raw = nullptr;
  int code = sqlite3_prepare_v2(db, sql, -1, &raw, nullptr);
  const Statement statement(raw);
  if (code != SQLITE_OK) return code;
  code = sqlite3_step(raw);
  if (code != SQLITE_ROW) return code;
  value = sqlite3_column_int(raw, 0);
  return SQLITE_OK;
}

bool IsDamage(int code) {
  const int primary = code & 0xff;
  return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
}

std::string Unused(const std::string& path, const std::string& why) {
  return "Stored answers are not used: " + path + " " + why;
}

// The service and endpoint an answer is filed under: an empty service is Google Custom
// Search, and an endpoint that names the service's own address is empty.
// The volume service's answers: filed under its name, by country (volumes differ per country).
constexpr char kVolumeServiceName[] = "Keywords Everywhere";
std::string VolumeKind(const std::string& country) {
  std::string code = Trim(country);
  for (char& ch : code) {
    if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
  }
  return "volume:" + code;
}

std::pair<std::string, std::string> FiledUnder(const std::string& service,
                                               const std::string& endpoint) {
  const SearchService* known = FindSearchService(service);
  const std::string own = known != nullptr ? known->DefaultEndpoint() : "";
  std::string address = EndpointOrDefault(endpoint, own);
  if (address == own) address.clear();
  return {known != nullptr ? known->Name() : service, address};
}

}  // namespace

class AnswerStore::Connection {
  Database db_;

 public:
  explicit Connection(Database db) : db_(std::move(db)) {}
  sqlite3* db() const { return db_.get(); }

  // The statement for `sql`, prepared on its first use and kept, reset and unbound.
  sqlite3_stmt* Prepared(Statement& slot, const char* sql) {
    if (!slot) {
      sqlite3_stmt* raw = nullptr;
      if (sqlite3_prepare_v3(db(), sql, -1, SQLITE_PREPARE_PERSISTENT, &raw, nullptr) !=
          SQLITE_OK) {
        return nullptr;
      }
      slot.reset(raw);
    }
    sqlite3_reset(slot.get());
    sqlite3_clear_bindings(slot.get());
    return slot.get();
  }

  // Declared after db_, so they are finalized before it closes.
  Statement lookup, upsert, clear_results, add_result;
};

int64_t SystemSeconds() {
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

const char* QueryKindName(QueryKind kind) {
  switch (kind) {
    case QueryKind::Phrase:
      return "phrase";
    case QueryKind::Title:
      return "allintitle";
    case QueryKind::URL:
      return "allinurl";
    case QueryKind::Backlinks:
      return "backlink";
  }
  return "";
}

namespace {
std::atomic<uint64_t> next_serial{1};
}  // namespace

AnswerStore::AnswerStore(std::string path, AnswerClock clock)
    : path_(std::move(path)), clock_(std::move(clock)), serial_(next_serial++) {
  Open();
}

AnswerStore::~AnswerStore() { ThreadConnections().erase(serial_); }

AnswerStore::ConnectionMap& AnswerStore::ThreadConnections() {
  thread_local ConnectionMap connections;
  return connections;
}

bool AnswerStore::Available() const { return opened_ && !damaged_; }

void AnswerStore::NoteFailure(int code) const {
  if (IsDamage(code)) damaged_ = true;
}

void AnswerStore::Open() {
  if (const int error = CreateStoreFile(path_)) {
    open_error_ = Unused(path_, std::string("cannot be made (") + std::strerror(error) + ").");
    return;
  }
  // A first look without write access, so that a file which is not ours is never changed
  // (a read-only connection does not even fold a write-ahead log into it on closing).
  int code = SQLITE_OK;
  int version = 0;
  int objects = 0;
  {
    const Database probe = OpenDatabase(path_, SQLITE_OPEN_READONLY, code);
    if (code == SQLITE_OK) {
      sqlite3_db_config(probe.get(), SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
      code = ReadInt(probe.get(), "PRAGMA user_version", version);
    }
    if (code == SQLITE_OK)
      code = ReadInt(probe.get(), "SELECT count(*) FROM sqlite_master", objects);
  }
  const std::string left_alone = " It is left as it is.";
  if (IsDamage(code) || (code == SQLITE_OK && version == 0 && objects > 0)) {
    open_error_ = Unused(path_, "is damaged or not an answer store." + left_alone);
    return;
  }
  if (code != SQLITE_OK) {
    open_error_ = Unused(path_, std::string("cannot be read (") + sqlite3_errstr(code) + ").");
    return;
  }
  if (version > kAnswerStoreSchema) {
    open_error_ = Unused(path_, "was written by a newer Kelvaro." + left_alone);
    return;
  }
  opened_ = true;
  Connection* connection = ThisThreadConnection();
  if (connection == nullptr || sqlite3_db_readonly(connection->db(), "main") == 1) return;
  // A read-only file or a full disk leaves the store readable as it is; recording then fails.
  sqlite3* db = connection->db();
  if (version == 0) {
    const std::string create = std::string("BEGIN IMMEDIATE;") + kCreateTables +
                               "PRAGMA user_version = " + std::to_string(kAnswerStoreSchema) +
                               ";COMMIT;";
    code = sqlite3_exec(db, create.c_str(), nullptr, nullptr, nullptr);
    if (code != SQLITE_OK) {
      if (sqlite3_get_autocommit(db) == 0) sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
      NoteFailure(code);
      return;
    }
  }
  sqlite3_exec(db, "PRAGMA journal_mode = WAL", nullptr, nullptr, nullptr);
}

AnswerStore::Connection* AnswerStore::ThisThreadConnection() const {
  if (!Available()) return nullptr;
  ConnectionMap& connections = ThreadConnections();
  const auto found = connections.find(serial_);
  if (found != connections.end()) return found->second.get();
  int code = SQLITE_OK;
  Database db = OpenDatabase(path_, SQLITE_OPEN_READWRITE, code);
  std::unique_ptr<Connection> connection;
  if (code == SQLITE_OK) {
    // With a write-ahead log, NORMAL syncs at checkpoints only: a power cut may lose the last
    // answers recorded, never the file.
    sqlite3_exec(db.get(), "PRAGMA synchronous = NORMAL", nullptr, nullptr, nullptr);
    connection = std::make_unique<Connection>(std::move(db));
  } else {
    NoteFailure(code);
  }
  return connections.emplace(serial_, std::move(connection)).first->second.get();
}

std::optional<StoredAnswer> AnswerStore::Lookup(const std::string& service,
                                                const std::string& endpoint, QueryKind kind,
                                                const std::string& text, int max_age_days) const {
  return LookupNamed(service, endpoint, QueryKindName(kind), text, max_age_days);
}

std::optional<StoredAnswer> AnswerStore::LookupNamed(const std::string& service,
                                                     const std::string& endpoint,
                                                     const std::string& kind,
                                                     const std::string& text,
                                                     int max_age_days) const {
  if (max_age_days <= 0) return std::nullopt;
  Connection* connection = ThisThreadConnection();
  if (connection == nullptr) return std::nullopt;
  sqlite3_stmt* statement = connection->Prepared(connection->lookup, kLookup);
  if (statement == nullptr) return std::nullopt;
  const auto [filed_service, filed_endpoint] = FiledUnder(service, endpoint);
  const int64_t now = clock_();
  BindText(statement, 1, filed_service);
  BindText(statement, 2, filed_endpoint);
  BindText(statement, 3, kind);
  BindText(statement, 4, text);
  sqlite3_bind_int64(statement, 5, now - max_age_days * kSecondsPerDay);
  sqlite3_bind_int64(statement, 6, now);
  std::optional<StoredAnswer> answer;
  int code = SQLITE_OK;
  while ((code = sqlite3_step(statement)) == SQLITE_ROW) {
    if (!answer) {
      answer =
          StoredAnswer{ColumnText(statement, 0), std::nullopt, sqlite3_column_int64(statement, 1)};
      if (sqlite3_column_int(statement, 2) != 0) answer->results.emplace();
    }
    if (answer->results && sqlite3_column_type(statement, 3) != SQLITE_NULL) {
      answer->results->push_back({ColumnText(statement, 3), ColumnText(statement, 4)});
    }
  }
  sqlite3_reset(statement);
  if (code != SQLITE_DONE) {
    NoteFailure(code);
    return std::nullopt;
  }
  return answer;
}

std::optional<StoredAnswer> AnswerStore::Lookup(const AnswerKey& key, int max_age_days) const {
  return Lookup(key.service, key.endpoint, key.kind, key.text, max_age_days);
}

bool AnswerStore::Record(const std::string& service, const std::string& endpoint, QueryKind kind,
                         const std::string& text, const std::string& count,
                         const std::optional<std::vector<SearchResult>>& results) {
  // Result lists are kept for phrase queries only.
  return RecordNamed(service, endpoint, QueryKindName(kind), text, count,
                     kind == QueryKind::Phrase ? results : std::nullopt);
}

std::optional<int64_t> AnswerStore::LookupVolume(const std::string& country,
                                                 const std::string& phrase,
                                                 int max_age_days) const {
  const std::optional<StoredAnswer> answer =
      LookupNamed(kVolumeServiceName, "", VolumeKind(country), phrase, max_age_days);
  int64_t volume = 0;
  if (!answer || !TryStrToInt64(answer->count, volume) || volume < 0) return std::nullopt;
  return volume;
}

bool AnswerStore::RecordVolume(const std::string& country, const std::string& phrase,
                               int64_t volume) {
  return RecordNamed(kVolumeServiceName, "", VolumeKind(country), phrase, std::to_string(volume),
                     std::nullopt);
}

bool AnswerStore::RecordNamed(const std::string& service, const std::string& endpoint,
                              const std::string& kind, const std::string& text,
                              const std::string& count,
                              const std::optional<std::vector<SearchResult>>& results) {
  Connection* connection = ThisThreadConnection();
  if (connection == nullptr) return false;
  sqlite3* db = connection->db();
  sqlite3_stmt* upsert = connection->Prepared(connection->upsert, kUpsert);
  sqlite3_stmt* clear = connection->Prepared(connection->clear_results, kClearResults);
  sqlite3_stmt* add = connection->Prepared(connection->add_result, kAddResult);
  if (upsert == nullptr || clear == nullptr || add == nullptr) return false;

  int code = sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
  if (code == SQLITE_OK) {
    const auto [filed_service, filed_endpoint] = FiledUnder(service, endpoint);
    BindText(upsert, 1, filed_service);
    BindText(upsert, 2, filed_endpoint);
    BindText(upsert, 3, kind);
    BindText(upsert, 4, text);
    const bool listed = results.has_value();
    BindText(upsert, 5, count);
    sqlite3_bind_int(upsert, 6, listed ? 1 : 0);
    sqlite3_bind_int64(upsert, 7, clock_());
    code = sqlite3_step(upsert);
    const bool replaced = code == SQLITE_ROW;
    const int64_t id = replaced ? sqlite3_column_int64(upsert, 0) : 0;
    if (replaced) code = sqlite3_step(upsert);
    sqlite3_reset(upsert);
    if (replaced && code == SQLITE_DONE) {
      sqlite3_bind_int64(clear, 1, id);
      code = sqlite3_step(clear);
      sqlite3_reset(clear);
      const size_t kept = listed ? std::min(results->size(), kStoredResults) : 0;
      for (size_t i = 0; i < kept && code == SQLITE_DONE; ++i) {
        sqlite3_reset(add);
        sqlite3_bind_int64(add, 1, id);
        sqlite3_bind_int64(add, 2, static_cast<int64_t>(i + 1));
        BindText(add, 3, (*results)[i].title);
        BindText(add, 4, (*results)[i].link);
        code = sqlite3_step(add);
      }
      sqlite3_reset(add);
    }
    if (code == SQLITE_DONE) code = sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
  }
  if (code == SQLITE_OK) return true;
  if (sqlite3_get_autocommit(db) == 0) sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
  NoteFailure(code);
  return false;
}

int AnswerStore::CountFresh(const std::vector<AnswerKey>& queries, int max_age_days) const {
  if (max_age_days <= 0 || queries.empty()) return 0;
  Connection* connection = ThisThreadConnection();
  if (connection == nullptr) return 0;
  // One read transaction: one snapshot of the file, and one lock taken instead of many.
  sqlite3_exec(connection->db(), "BEGIN", nullptr, nullptr, nullptr);
  int fresh = 0;
  for (const AnswerKey& key : queries) {
    if (Lookup(key, max_age_days)) ++fresh;
  }
  if (sqlite3_get_autocommit(connection->db()) == 0) {
    sqlite3_exec(connection->db(), "COMMIT", nullptr, nullptr, nullptr);
  }
  return fresh;
}

}  // namespace kelvaro
