#include "store/AnswerStore.h"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "base/Text.h"
#include "store/AnswerStoreFile.h"
#include "web/DomainRankService.h"
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
constexpr int64_t kSecondsPerDay = int64_t{24} * 60 * 60;

// One row per query: a newer answer replaces the older one. A phrase answer's listed results
// are rows of `result`, numbered from 1. `engine` is a digest of the engine code for a service
// that is sent one and empty for the others; NULL where it is not known (the Google Custom
// Search answers of a version-1 file), which equals no engine asked with. `location` is the
// country (or language, or place) the service answered for; empty when it is told none.
constexpr char kAnswerColumns[] =
    "("
    "  id INTEGER PRIMARY KEY,"
    "  service TEXT NOT NULL,"
    "  endpoint TEXT NOT NULL,"
    "  engine TEXT,"
    "  location TEXT NOT NULL,"
    "  kind TEXT NOT NULL,"
    "  query TEXT NOT NULL,"
    "  count TEXT NOT NULL,"
    "  listed INTEGER NOT NULL,"   // 1 when the answer had a result list, even an empty one
    "  arrived INTEGER NOT NULL,"  // seconds since 1970 UTC
    "  UNIQUE(service, endpoint, engine, location, kind, query));";
constexpr char kCreateResultTable[] =
    "CREATE TABLE IF NOT EXISTS result("
    "  answer_id INTEGER NOT NULL,"
    "  position INTEGER NOT NULL,"
    "  title TEXT NOT NULL,"
    "  link TEXT NOT NULL,"
    "  PRIMARY KEY(answer_id, position)) WITHOUT ROWID;";
// A phrase or autocomplete answer's keyword ideas, numbered from 1 in the answer's order;
// `kind` is "related", "question" or "autocomplete" (version 3 on).
constexpr char kCreateIdeaTable[] =
    "CREATE TABLE IF NOT EXISTS idea("
    "  answer_id INTEGER NOT NULL,"
    "  position INTEGER NOT NULL,"
    "  kind TEXT NOT NULL,"
    "  text TEXT NOT NULL,"
    "  PRIMARY KEY(answer_id, position)) WITHOUT ROWID;";

// The tasks a service that answers by task holds for a query (version 4 on): posted and paid,
// not collected yet. `account` is a digest of the login that posted it; a collected or failed
// task's row is deleted.
constexpr char kCreateTaskTable[] =
    "CREATE TABLE IF NOT EXISTS task("
    "  service TEXT NOT NULL,"
    "  endpoint TEXT NOT NULL,"
    "  account TEXT NOT NULL,"
    "  location TEXT NOT NULL,"
    "  kind TEXT NOT NULL,"
    "  query TEXT NOT NULL,"
    "  task_id TEXT NOT NULL,"
    "  posted INTEGER NOT NULL,"  // seconds since 1970 UTC
    "  PRIMARY KEY(service, endpoint, account, location, kind, query)) WITHOUT ROWID;";
constexpr char kRecordTask[] =
    "INSERT INTO task(service, endpoint, account, location, kind, query, task_id, posted)"
    " VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)"
    " ON CONFLICT(service, endpoint, account, location, kind, query) DO UPDATE"
    " SET task_id = excluded.task_id, posted = excluded.posted";
constexpr char kLookupTask[] =
    "SELECT task_id FROM task WHERE service = ?1 AND endpoint = ?2 AND account = ?3"
    " AND location = ?4 AND kind = ?5 AND query = ?6 AND posted BETWEEN ?7 AND ?8";
constexpr char kForgetTask[] =
    "DELETE FROM task WHERE service = ?1 AND endpoint = ?2 AND account = ?3 AND location = ?4"
    " AND kind = ?5 AND query = ?6";

// The columns each version's tables have, in order; a file whose tables differ from its
// version's is not taken for an answer store.
struct TableLayout {
  const char* table;
  std::vector<std::string> columns;
};
const std::vector<TableLayout>& LayoutOf(int version) {
  static const std::vector<TableLayout> kVersion1 = {
      {"answer", {"id", "service", "endpoint", "kind", "query", "count", "listed", "arrived"}},
      {"result", {"answer_id", "position", "title", "link"}}};
  static const std::vector<TableLayout> kVersion2 = {
      {"answer",
       {"id", "service", "endpoint", "engine", "location", "kind", "query", "count", "listed",
        "arrived"}},
      {"result", {"answer_id", "position", "title", "link"}}};
  static const std::vector<TableLayout> kVersion3 = [] {
    std::vector<TableLayout> layout = kVersion2;
    layout.push_back({"idea", {"answer_id", "position", "kind", "text"}});
    return layout;
  }();
  static const std::vector<TableLayout> kVersion4 = [] {
    std::vector<TableLayout> layout = kVersion3;
    layout.push_back({"task",
                      {"service", "endpoint", "account", "location", "kind", "query", "task_id",
                       "posted"}});
    return layout;
  }();
  static_assert(kAnswerStoreSchema == 4, "add the new version's layout");
  if (version == 1) return kVersion1;
  if (version == 2) return kVersion2;
  return version == 3 ? kVersion3 : kVersion4;
}

// Version 1 filed answers by service, endpoint, kind and text. Only Google Custom Search is
// sent an engine code, and which engine gave those answers is not known; a volume's country
// was part of its kind ("volume:us").
std::string UpgradeFromVersion1() {
  return std::string("CREATE TABLE answer_v2") + kAnswerColumns +
         "INSERT INTO answer_v2(id, service, endpoint, engine, location, kind, query, count,"
         " listed, arrived)"
         " SELECT id, service, endpoint,"
         " CASE WHEN service = '" +
         kGoogleCustomSearch +
         "' THEN NULL ELSE '' END,"
         " CASE WHEN substr(kind, 1, 7) = 'volume:' THEN substr(kind, 8) ELSE '' END,"
         " CASE WHEN substr(kind, 1, 7) = 'volume:' THEN 'volume' ELSE kind END,"
         " query, count, listed, arrived FROM answer;"
         "DROP TABLE answer;"
         "ALTER TABLE answer_v2 RENAME TO answer;";
}

constexpr char kLookup[] =
    "SELECT a.count, a.arrived, a.listed, r.title, r.link, a.id FROM answer a"
    " LEFT JOIN result r ON r.answer_id = a.id"
    " WHERE a.service = ?1 AND a.endpoint = ?2 AND a.engine = ?3 AND a.location = ?4"
    " AND a.kind = ?5 AND a.query = ?6 AND a.arrived BETWEEN ?7 AND ?8 ORDER BY r.position";
// A record always replaces the stored answer: one dated after now came from a clock that was
// ahead, and keeping it would hold the query's answer still until that date.
constexpr char kUpsert[] =
    "INSERT INTO answer(service, endpoint, engine, location, kind, query, count, listed, arrived)"
    " VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)"
    " ON CONFLICT(service, endpoint, engine, location, kind, query) DO UPDATE"
    " SET count = excluded.count, listed = excluded.listed, arrived = excluded.arrived"
    " RETURNING id";
constexpr char kClearResults[] = "DELETE FROM result WHERE answer_id = ?1";
constexpr char kAddResult[] =
    "INSERT INTO result(answer_id, position, title, link) VALUES(?1, ?2, ?3, ?4)";
constexpr char kLookupIdeas[] = "SELECT kind, text FROM idea WHERE answer_id = ?1 ORDER BY position";
constexpr char kClearIdeas[] = "DELETE FROM idea WHERE answer_id = ?1";
constexpr char kAddIdea[] = "INSERT INTO idea(answer_id, position, kind, text) VALUES(?1, ?2, ?3, ?4)";

const char* IdeaKindName(IdeaKind kind) {
  switch (kind) {
    case IdeaKind::kRelatedSearch:
      return "related";
    case IdeaKind::kQuestion:
      return "question";
    case IdeaKind::kAutocomplete:
      return "autocomplete";
  }
  return "";
}

std::optional<IdeaKind> IdeaKindNamed(const std::string& name) {
  for (const IdeaKind kind :
       {IdeaKind::kRelatedSearch, IdeaKind::kQuestion, IdeaKind::kAutocomplete}) {
    if (name == IdeaKindName(kind)) return kind;
  }
  return std::nullopt;
}

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

// The volume service's answers: filed under its name, by country (volumes differ per country).
constexpr char kVolumeServiceName[] = "Keywords Everywhere";
constexpr char kVolumeKind[] = "volume";
std::string VolumeLocation(const std::string& country) { return LowerAscii(Trim(country)); }

// The rank service's answers: filed under its name, by domain.
constexpr char kRankServiceName[] = "Open PageRank";
constexpr char kRankKind[] = "domain rank";

// The engine code's stand-in in the file (FNV-1a, 64 bits, as 16 hex digits): engines are
// told apart without the file holding their codes.
std::string EngineDigest(const std::string& engine_code) {
  uint64_t hash = 14695981039346656037ULL;
  for (const char ch : engine_code) {
    hash ^= static_cast<unsigned char>(ch);
    hash *= 1099511628211ULL;
  }
  static constexpr char kHex[] = "0123456789abcdef";
  std::string digits(16, '0');
  for (int i = 15; i >= 0; --i, hash >>= 4) digits[static_cast<size_t>(i)] = kHex[hash & 0xf];
  return digits;
}

// The columns of `table` in order; empty when there is no such table.
int ReadColumns(sqlite3* db, const char* table, std::vector<std::string>& columns) {
  sqlite3_stmt* raw = nullptr;
  int code = sqlite3_prepare_v2(db, "SELECT name FROM pragma_table_info(?1)", -1, &raw, nullptr);
  const Statement statement(raw);
  if (code != SQLITE_OK) return code;
  sqlite3_bind_text(raw, 1, table, -1, nullptr);
  while ((code = sqlite3_step(raw)) == SQLITE_ROW) columns.push_back(ColumnText(raw, 0));
  return code == SQLITE_DONE ? SQLITE_OK : code;
}

// Whether the tables are those `version` writes; SQLITE_OK or the error that kept it from
// telling.
int CheckLayout(sqlite3* db, int version, bool& matches) {
  matches = true;
  for (const TableLayout& layout : LayoutOf(version)) {
    std::vector<std::string> columns;
    const int code = ReadColumns(db, layout.table, columns);
    if (code != SQLITE_OK) return code;
    if (columns != layout.columns) matches = false;
  }
  return SQLITE_OK;
}

}  // namespace

// The values an answer is filed under, as the columns hold them.
struct AnswerStore::Filed {
  std::string service;
  std::string endpoint;
  std::string engine;
  std::string location;
  std::string kind;
  std::string text;

  // As parameters 1 to 6 of the lookup and of the record.
  void BindTo(sqlite3_stmt* statement) const {
    BindText(statement, 1, service);
    BindText(statement, 2, endpoint);
    BindText(statement, 3, engine);
    BindText(statement, 4, location);
    BindText(statement, 5, kind);
    BindText(statement, 6, text);
  }
};

// An empty service is Google Custom Search, an endpoint that names the service's own address
// is empty, and the engine code counts only for a service that is sent one.
AnswerStore::Filed AnswerStore::FiledUnder(const AnswerKey& key) {
  const SearchService* known = FindSearchService(key.service);
  const std::string own = known != nullptr ? known->DefaultEndpoint() : "";
  std::string address = EndpointOrDefault(key.endpoint, own);
  if (address == own) address.clear();
  const bool sends_engine = known != nullptr && known->NeedsEngineCode();
  return {known != nullptr ? known->Name() : key.service,
          std::move(address),
          sends_engine ? EngineDigest(Trim(key.engine)) : std::string(),
          key.location,
          QueryKindName(key.kind),
          key.text};
}

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
  Statement lookup, upsert, clear_results, add_result, lookup_ideas, clear_ideas, add_idea;
  Statement record_task, lookup_task, forget_task;
};

int64_t SystemSeconds() {
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
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
  bool layout_matches = true;
  {
    const Database probe = OpenDatabase(path_, SQLITE_OPEN_READONLY, code);
    if (code == SQLITE_OK) {
      sqlite3_db_config(probe.get(), SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
      code = ReadInt(probe.get(), "PRAGMA user_version", version);
    }
    if (code == SQLITE_OK)
      code = ReadInt(probe.get(), "SELECT count(*) FROM sqlite_master", objects);
    if (code == SQLITE_OK && version >= 1 && version <= kAnswerStoreSchema)
      code = CheckLayout(probe.get(), version, layout_matches);
  }
  const std::string left_alone = " It is left as it is.";
  if (IsDamage(code) || (code == SQLITE_OK && version == 0 && objects > 0) || !layout_matches) {
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
  if (connection != nullptr && !Prepare(*connection, version)) connection = nullptr;
  if (connection == nullptr) {
    opened_ = false;
    ThreadConnections().erase(serial_);
    if (open_error_.empty()) open_error_ = Unused(path_, "cannot be opened.");
    return;
  }
  // A read-only file or a full disk leaves the store readable as it is; recording then fails.
  if (sqlite3_db_readonly(connection->db(), "main") != 1) {
    sqlite3_exec(connection->db(), "PRAGMA journal_mode = WAL", nullptr, nullptr, nullptr);
  }
}

bool AnswerStore::Prepare(Connection& connection, int version) {
  if (version == kAnswerStoreSchema) return true;
  sqlite3* db = connection.db();
  int code = sqlite3_db_readonly(db, "main") == 1 ? SQLITE_READONLY : SQLITE_OK;
  if (code == SQLITE_OK) code = sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
  // Another Kelvaro may have made the tables or brought them up to date meanwhile.
  int now_version = version;
  if (code == SQLITE_OK) code = ReadInt(db, "PRAGMA user_version", now_version);
  if (code == SQLITE_OK && now_version < kAnswerStoreSchema) {
    std::string tables;
    if (now_version == 0) {
      tables = std::string("CREATE TABLE IF NOT EXISTS answer") + kAnswerColumns +
               kCreateResultTable;
    } else if (now_version == 1) {
      tables = UpgradeFromVersion1();
    }
    // Version 2 kept no ideas: its answers keep theirs and have none. Before version 4 no
    // task was held.
    tables += kCreateIdeaTable;
    tables += kCreateTaskTable;
    code = sqlite3_exec(db, tables.c_str(), nullptr, nullptr, nullptr);
    const std::string mark = "PRAGMA user_version = " + std::to_string(kAnswerStoreSchema);
    if (code == SQLITE_OK) code = sqlite3_exec(db, mark.c_str(), nullptr, nullptr, nullptr);
  }
  if (code == SQLITE_OK) code = sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
  if (code == SQLITE_OK) return true;
  if (sqlite3_get_autocommit(db) == 0) sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
  // A store that cannot hold answers from the start says so, as an unusable file does.
  open_error_ = Unused(
      path_, std::string(version == 0 ? "cannot be made (" : "cannot be brought up to date (") +
                 sqlite3_errstr(code) + ").");
  return false;
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

std::optional<StoredAnswer> AnswerStore::Lookup(const AnswerKey& key, int max_age_days) const {
  return LookupFiled(FiledUnder(key), max_age_days);
}

std::optional<StoredAnswer> AnswerStore::LookupFiled(const Filed& filed, int max_age_days) const {
  if (max_age_days <= 0) return std::nullopt;
  Connection* connection = ThisThreadConnection();
  if (connection == nullptr) return std::nullopt;
  sqlite3_stmt* statement = connection->Prepared(connection->lookup, kLookup);
  if (statement == nullptr) return std::nullopt;
  const int64_t now = clock_();
  filed.BindTo(statement);
  sqlite3_bind_int64(statement, 7, now - max_age_days * kSecondsPerDay);
  sqlite3_bind_int64(statement, 8, now);
  std::optional<StoredAnswer> answer;
  int64_t id = 0;
  int code = SQLITE_OK;
  while ((code = sqlite3_step(statement)) == SQLITE_ROW) {
    if (!answer) {
      id = sqlite3_column_int64(statement, 5);
      answer =
          StoredAnswer{ColumnText(statement, 0), std::nullopt, sqlite3_column_int64(statement, 1)};
      if (sqlite3_column_int(statement, 2) != 0) answer->results.emplace();
    }
    if (answer->results && sqlite3_column_type(statement, 3) != SQLITE_NULL) {
      answer->results->push_back({ColumnText(statement, 3), ColumnText(statement, 4)});
    }
  }
  sqlite3_reset(statement);
  if (code == SQLITE_DONE && answer) {
    sqlite3_stmt* ideas = connection->Prepared(connection->lookup_ideas, kLookupIdeas);
    if (ideas == nullptr) return std::nullopt;
    sqlite3_bind_int64(ideas, 1, id);
    while ((code = sqlite3_step(ideas)) == SQLITE_ROW) {
      // A kind this program does not know is left out, not taken for another.
      if (const std::optional<IdeaKind> kind = IdeaKindNamed(ColumnText(ideas, 0))) {
        answer->ideas.push_back({*kind, ColumnText(ideas, 1)});
      }
    }
    sqlite3_reset(ideas);
  }
  if (code != SQLITE_DONE) {
    NoteFailure(code);
    return std::nullopt;
  }
  return answer;
}

bool AnswerStore::Record(const AnswerKey& key, const std::string& count,
                         const std::optional<std::vector<SearchResult>>& results,
                         const std::vector<KeywordIdea>& ideas) {
  // Result lists are kept for phrase queries only, ideas for phrase and autocomplete ones.
  const bool with_ideas = key.kind == QueryKind::Phrase || key.kind == QueryKind::Autocomplete;
  return RecordFiled(FiledUnder(key), count,
                     key.kind == QueryKind::Phrase ? results : std::nullopt,
                     with_ideas ? ideas : std::vector<KeywordIdea>());
}

std::optional<int64_t> AnswerStore::LookupVolume(const std::string& country,
                                                 const std::string& phrase,
                                                 int max_age_days) const {
  const std::optional<StoredAnswer> answer = LookupFiled(
      {kVolumeServiceName, "", "", VolumeLocation(country), kVolumeKind, phrase}, max_age_days);
  int64_t volume = 0;
  if (!answer || !TryStrToInt64(answer->count, volume) || volume < 0) return std::nullopt;
  return volume;
}

bool AnswerStore::RecordVolume(const std::string& country, const std::string& phrase,
                               int64_t volume) {
  return RecordFiled({kVolumeServiceName, "", "", VolumeLocation(country), kVolumeKind, phrase},
                     std::to_string(volume), std::nullopt);
}

std::optional<double> AnswerStore::LookupDomainRank(const std::string& domain,
                                                    int max_age_days) const {
  const std::optional<StoredAnswer> answer =
      LookupFiled({kRankServiceName, "", "", "", kRankKind, domain}, max_age_days);
  if (!answer) return std::nullopt;
  return ParseRank(answer->count);
}

bool AnswerStore::RecordDomainRank(const std::string& domain, double rank) {
  const std::string text = RankText(rank);
  if (domain.empty() || !ParseRank(text)) return false;
  return RecordFiled({kRankServiceName, "", "", "", kRankKind, domain}, text, std::nullopt);
}

bool AnswerStore::RecordFiled(const Filed& filed, const std::string& count,
                              const std::optional<std::vector<SearchResult>>& results,
                              const std::vector<KeywordIdea>& ideas) {
  Connection* connection = ThisThreadConnection();
  if (connection == nullptr) return false;
  sqlite3* db = connection->db();
  sqlite3_stmt* upsert = connection->Prepared(connection->upsert, kUpsert);
  sqlite3_stmt* clear = connection->Prepared(connection->clear_results, kClearResults);
  sqlite3_stmt* add = connection->Prepared(connection->add_result, kAddResult);
  sqlite3_stmt* clear_ideas = connection->Prepared(connection->clear_ideas, kClearIdeas);
  sqlite3_stmt* add_idea = connection->Prepared(connection->add_idea, kAddIdea);
  if (upsert == nullptr || clear == nullptr || add == nullptr || clear_ideas == nullptr ||
      add_idea == nullptr) {
    return false;
  }

  bool replaced = false;
  int code = sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
  if (code == SQLITE_OK) {
    filed.BindTo(upsert);
    const bool listed = results.has_value();
    BindText(upsert, 7, count);
    sqlite3_bind_int(upsert, 8, listed ? 1 : 0);
    sqlite3_bind_int64(upsert, 9, clock_());
    code = sqlite3_step(upsert);
    replaced = code == SQLITE_ROW;
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
      if (code == SQLITE_DONE) {
        sqlite3_bind_int64(clear_ideas, 1, id);
        code = sqlite3_step(clear_ideas);
        sqlite3_reset(clear_ideas);
      }
      for (size_t i = 0; i < ideas.size() && code == SQLITE_DONE; ++i) {
        sqlite3_reset(add_idea);
        sqlite3_bind_int64(add_idea, 1, id);
        sqlite3_bind_int64(add_idea, 2, static_cast<int64_t>(i + 1));
        sqlite3_bind_text(add_idea, 3, IdeaKindName(ideas[i].kind), -1, nullptr);
        BindText(add_idea, 4, ideas[i].text);
        code = sqlite3_step(add_idea);
      }
      sqlite3_reset(add_idea);
    }
    // An answer that changed nothing in the file is not recorded.
    if (code == SQLITE_DONE && replaced) {
      code = sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    }
  }
  if (code == SQLITE_OK && replaced) return true;
  if (sqlite3_get_autocommit(db) == 0) sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
  NoteFailure(code);
  return false;
}

namespace {

// Binds a task's row key: the answer's filing values with the account in the engine's place.
void BindTask(sqlite3_stmt* statement, const std::string& service, const std::string& endpoint,
              const std::string& account, const std::string& location, const std::string& kind,
              const std::string& text) {
  BindText(statement, 1, service);
  BindText(statement, 2, endpoint);
  BindText(statement, 3, account);
  BindText(statement, 4, location);
  BindText(statement, 5, kind);
  BindText(statement, 6, text);
}

}  // namespace

bool AnswerStore::RecordTask(const AnswerKey& key, const std::string& account,
                             const std::string& task_id) {
  Connection* connection = ThisThreadConnection();
  if (connection == nullptr || task_id.empty()) return false;
  sqlite3_stmt* statement = connection->Prepared(connection->record_task, kRecordTask);
  if (statement == nullptr) return false;
  const Filed filed = FiledUnder(key);
  const std::string digest = EngineDigest(account);
  BindTask(statement, filed.service, filed.endpoint, digest, filed.location, filed.kind,
           filed.text);
  BindText(statement, 7, task_id);
  sqlite3_bind_int64(statement, 8, clock_());
  const int code = sqlite3_step(statement);
  sqlite3_reset(statement);
  if (code == SQLITE_DONE) return true;
  NoteFailure(code);
  return false;
}

std::optional<std::string> AnswerStore::LookupTask(const AnswerKey& key,
                                                   const std::string& account,
                                                   int max_age_days) const {
  Connection* connection = ThisThreadConnection();
  if (connection == nullptr || max_age_days <= 0) return std::nullopt;
  sqlite3_stmt* statement = connection->Prepared(connection->lookup_task, kLookupTask);
  if (statement == nullptr) return std::nullopt;
  const Filed filed = FiledUnder(key);
  const std::string digest = EngineDigest(account);
  BindTask(statement, filed.service, filed.endpoint, digest, filed.location, filed.kind,
           filed.text);
  const int64_t now = clock_();
  sqlite3_bind_int64(statement, 7, now - max_age_days * kSecondsPerDay);
  sqlite3_bind_int64(statement, 8, now);
  std::optional<std::string> id;
  const int code = sqlite3_step(statement);
  if (code == SQLITE_ROW) id = ColumnText(statement, 0);
  sqlite3_reset(statement);
  if (code != SQLITE_ROW && code != SQLITE_DONE) NoteFailure(code);
  return id;
}

bool AnswerStore::ForgetTask(const AnswerKey& key, const std::string& account) {
  Connection* connection = ThisThreadConnection();
  if (connection == nullptr) return false;
  sqlite3_stmt* statement = connection->Prepared(connection->forget_task, kForgetTask);
  if (statement == nullptr) return false;
  const Filed filed = FiledUnder(key);
  const std::string digest = EngineDigest(account);
  BindTask(statement, filed.service, filed.endpoint, digest, filed.location, filed.kind,
           filed.text);
  const int code = sqlite3_step(statement);
  sqlite3_reset(statement);
  if (code == SQLITE_DONE) return true;
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
