#include "store/AnswerStore.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "base/Error.h"
#include "tests/support/TempDir.h"
#include "web/SearchService.h"

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#ifdef __linux__
#include <linux/fs.h>
#include <sys/ioctl.h>
#endif

#include "tests/support/FullDisk.h"
#endif

namespace kelvaro {
namespace {

using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

constexpr int64_t kDay = 24 * 60 * 60;
constexpr int64_t kStart = 1'800'000'000;  // a time in 2027

class AnswerStoreTest : public ::testing::Test {
 protected:
  TempDir dir_;
  // Folders that do not exist yet, so opening has to make them.
  std::string path_ = dir_.File("data/Dovrane/Kelvaro/answers.sqlite");
  int64_t now_ = kStart;
  AnswerClock clock_ = [this] { return now_; };

  // Every file in the store's folder with its bytes.
  std::map<std::string, std::string> FolderBytes() const {
    std::map<std::string, std::string> files;
    for (const auto& entry :
         std::filesystem::directory_iterator(std::filesystem::path(path_).parent_path())) {
      files[entry.path().filename().string()] = ReadBytes(entry.path().string());
    }
    return files;
  }

  static std::vector<SearchResult> Results(int count) {
    std::vector<SearchResult> results;
    for (int i = 1; i <= count; ++i) {
      results.push_back({"Title " + std::to_string(i), "https://r" + std::to_string(i) + ".test/"});
    }
    return results;
  }
};

TEST_F(AnswerStoreTest, AnswerIsFoundAgainOnlyByItsServiceEndpointEngineKindAndText) {
  {
    AnswerStore store(path_, clock_);
    ASSERT_TRUE(store.Available()) << store.OpenError();
    EXPECT_TRUE(store.Record({kSerpApi, "", QueryKind::Phrase, "red shoes "}, "1200", Results(12)));
    EXPECT_TRUE(
        store.Record({kGoogleCustomSearch, "http://127.0.0.1:8080", QueryKind::Title, "red shoes "},
                     "7", Results(3)));
  }
  // A new store on the same file (the next start of the program) finds them.
  AnswerStore store(path_, clock_);
  const auto phrase = store.Lookup({kSerpApi, "", QueryKind::Phrase, "red shoes "}, 1);
  ASSERT_TRUE(phrase);
  EXPECT_EQ(phrase->count, "1200");
  EXPECT_EQ(phrase->arrived, kStart);
  ASSERT_TRUE(phrase->results);
  ASSERT_EQ(phrase->results->size(), kStoredResults);
  EXPECT_EQ(phrase->results->at(9).title, "Title 10");
  EXPECT_EQ(phrase->results->at(9).link, "https://r10.test/");
  // The service's own address written out is the same endpoint as none.
  EXPECT_TRUE(
      store.Lookup({kSerpApi, " https://serpapi.com/", QueryKind::Phrase, "red shoes "}, 1));
  // Only a phrase answer keeps its results.
  const auto title = store.Lookup(
      {kGoogleCustomSearch, "http://127.0.0.1:8080/", QueryKind::Title, "red shoes "}, 1);
  ASSERT_TRUE(title);
  EXPECT_EQ(title->count, "7");
  EXPECT_FALSE(title->results);

  EXPECT_FALSE(store.Lookup({kGoogleCustomSearch, "", QueryKind::Phrase, "red shoes "}, 1));
  EXPECT_FALSE(
      store.Lookup({kSerpApi, "http://127.0.0.1:8080", QueryKind::Phrase, "red shoes "}, 1));
  EXPECT_FALSE(store.Lookup({kSerpApi, "", QueryKind::Title, "red shoes "}, 1));
  EXPECT_FALSE(store.Lookup({kSerpApi, "", QueryKind::Phrase, "red shoes"}, 1));
  EXPECT_FALSE(store.Lookup({kGoogleCustomSearch, "", QueryKind::Title, "red shoes "}, 1));

  // A newer answer replaces the older one, and an answer without a result list is told from
  // one with an empty list.
  now_ += 60;
  EXPECT_TRUE(store.Record({kSerpApi, "", QueryKind::Phrase, "red shoes "}, "1300", Results(2)));
  const auto newer = store.Lookup({kSerpApi, "", QueryKind::Phrase, "red shoes "}, 1);
  ASSERT_TRUE(newer);
  EXPECT_EQ(newer->count, "1300");
  ASSERT_TRUE(newer->results);
  EXPECT_EQ(newer->results->size(), 2u);
  EXPECT_TRUE(store.Record({kSerpApi, "", QueryKind::Phrase, "no list"}, "0"));
  EXPECT_TRUE(store.Record({kSerpApi, "", QueryKind::Phrase, "empty list"}, "0", Results(0)));
  EXPECT_FALSE(store.Lookup({kSerpApi, "", QueryKind::Phrase, "no list"}, 1)->results);
  const auto empty = store.Lookup({kSerpApi, "", QueryKind::Phrase, "empty list"}, 1);
  ASSERT_TRUE(empty->results);
  EXPECT_TRUE(empty->results->empty());

  const std::vector<AnswerKey> queries = {
      {kSerpApi, "", QueryKind::Phrase, "red shoes "},
      {kSerpApi, "", QueryKind::URL, "red shoes "},
      {kGoogleCustomSearch, "http://127.0.0.1:8080", QueryKind::Title, "red shoes "}};
  EXPECT_EQ(store.CountFresh(queries, 1), 2);

  // Another engine gives other answers: Google Custom Search files them by the engine code as
  // sent (spaces around it are not); SerpApi is sent none, so its answers stand for any.
  const auto engine_key = [](const char* service, const char* engine) {
    return AnswerKey{service, "", QueryKind::URL, "blue hats", engine};
  };
  ASSERT_TRUE(store.Record(engine_key(kGoogleCustomSearch, "cx-one"), "11"));
  ASSERT_TRUE(store.Record(engine_key(kSerpApi, "cx-one"), "22"));
  EXPECT_EQ(store.Lookup(engine_key(kGoogleCustomSearch, " cx-one "), 1)->count, "11");
  EXPECT_FALSE(store.Lookup(engine_key(kGoogleCustomSearch, "cx-two"), 1));
  EXPECT_FALSE(store.Lookup(engine_key(kGoogleCustomSearch, ""), 1));
  EXPECT_EQ(store.Lookup(engine_key(kSerpApi, "cx-two"), 1)->count, "22");
  ASSERT_TRUE(store.Record(engine_key(kGoogleCustomSearch, "cx-two"), "33"));
  EXPECT_EQ(store.Lookup(engine_key(kGoogleCustomSearch, "cx-one"), 1)->count, "11");
  EXPECT_EQ(store.Lookup(engine_key(kGoogleCustomSearch, "cx-two"), 1)->count, "33");
}

TEST_F(AnswerStoreTest, OnlyAnswersWithinTheAgeLimitAreReused) {
  AnswerStore store(path_, clock_);
  ASSERT_TRUE(store.Record({kSerpApi, "", QueryKind::Backlinks, "https://a.test/"}, "41"));
  const auto found = [&](int days) {
    return store.Lookup({kSerpApi, "", QueryKind::Backlinks, "https://a.test/"}, days).has_value();
  };
  EXPECT_FALSE(found(0));
  now_ = kStart + 3 * kDay;
  EXPECT_TRUE(found(3));
  now_ = kStart + 3 * kDay + 1;
  EXPECT_FALSE(found(3));
  EXPECT_TRUE(found(4));
  // A clock set back since the answer arrived does not make it fresh, and the next answer
  // replaces the one dated ahead.
  now_ = kStart - 1;
  EXPECT_FALSE(found(4));
  ASSERT_TRUE(store.Record({kSerpApi, "", QueryKind::Backlinks, "https://a.test/"}, "42"));
  const auto replaced = store.Lookup({kSerpApi, "", QueryKind::Backlinks, "https://a.test/"}, 1);
  ASSERT_TRUE(replaced);
  EXPECT_EQ(replaced->count, "42");
  EXPECT_EQ(replaced->arrived, kStart - 1);
}

// The tables an earlier Kelvaro wrote (schema version 1), and rows as it filed them.
constexpr char kVersion1Tables[] =
    "CREATE TABLE answer(id INTEGER PRIMARY KEY, service TEXT NOT NULL, endpoint TEXT NOT NULL,"
    " kind TEXT NOT NULL, query TEXT NOT NULL, count TEXT NOT NULL, listed INTEGER NOT NULL,"
    " arrived INTEGER NOT NULL, UNIQUE(service, endpoint, kind, query));"
    "CREATE TABLE result(answer_id INTEGER NOT NULL, position INTEGER NOT NULL,"
    " title TEXT NOT NULL, link TEXT NOT NULL, PRIMARY KEY(answer_id, position)) WITHOUT ROWID;";
constexpr char kVersion1Rows[] =
    "INSERT INTO answer VALUES(1, 'SerpApi', '', 'phrase', 'red shoes', '1200', 1, 1800000000);"
    "INSERT INTO result VALUES(1, 1, 'Red', 'https://red.test/');"
    "INSERT INTO answer VALUES(2, 'Google Custom Search', '', 'phrase', 'red shoes', '900', 1,"
    " 1800000000);"
    "INSERT INTO result VALUES(2, 1, 'Other', 'https://other.test/');"
    "INSERT INTO answer VALUES(3, 'Keywords Everywhere', '', 'volume:us', 'red shoes', '5400',"
    " 0, 1800000000);"
    "PRAGMA user_version = 1;";

void MakeDatabase(const std::string& path, const std::string& sql) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::filesystem::remove(path);
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(db);
}

// A version-1 file opens without a word and keeps its answers, except that nobody knows
// which engine gave its Google Custom Search answers: those are never reused.
TEST_F(AnswerStoreTest, VersionOneFileKeepsItsAnswersButNotThoseOfAnUnknownEngine) {
  // With a write-ahead log, as that Kelvaro kept it.
  MakeDatabase(path_, std::string("PRAGMA journal_mode = WAL;") + kVersion1Tables + kVersion1Rows);
  {
    AnswerStore store(path_, clock_);
    ASSERT_TRUE(store.Available()) << store.OpenError();
    EXPECT_EQ(store.OpenError(), "");
    const auto serp = store.Lookup({kSerpApi, "", QueryKind::Phrase, "red shoes", "any"}, 1);
    ASSERT_TRUE(serp);
    EXPECT_EQ(serp->count, "1200");
    ASSERT_TRUE(serp->results);
    ASSERT_EQ(serp->results->size(), 1u);
    EXPECT_EQ(serp->results->at(0).link, "https://red.test/");
    for (const char* engine : {"", "cx"}) {
      EXPECT_FALSE(
          store.Lookup({kGoogleCustomSearch, "", QueryKind::Phrase, "red shoes", engine}, 1))
          << engine;
    }
    EXPECT_EQ(store.LookupVolume(" US", "red shoes", 1), 5400);
    ASSERT_TRUE(store.Record({kGoogleCustomSearch, "", QueryKind::Phrase, "red shoes", "cx"}, "950",
                             Results(1)));
  }
  AnswerStore again(path_, clock_);
  ASSERT_TRUE(again.Available()) << again.OpenError();
  EXPECT_EQ(again.Lookup({kGoogleCustomSearch, "", QueryKind::Phrase, "red shoes", "cx"}, 1)->count,
            "950");
}

// A phrase answer's related searches and questions, and an autocomplete answer's suggestions,
// are kept with the answer and replaced with it; other kinds keep none.
TEST_F(AnswerStoreTest, IdeasAreKeptWithPhraseAndAutocompleteAnswers) {
  const std::vector<KeywordIdea> ideas = {{IdeaKind::kRelatedSearch, "red shoes near me"},
                                          {IdeaKind::kQuestion, "what are red shoes?"}};
  const std::vector<KeywordIdea> suggestions = {{IdeaKind::kAutocomplete, "red shoes online"}};
  {
    AnswerStore store(path_, clock_);
    ASSERT_TRUE(store.Record({kSerpApi, "", QueryKind::Phrase, "red shoes"}, "12", Results(1),
                             ideas));
    ASSERT_TRUE(store.Record({kSerpApi, "", QueryKind::Autocomplete, "red shoes"}, "1",
                             std::nullopt, suggestions));
    ASSERT_TRUE(store.Record({kSerpApi, "", QueryKind::Title, "red shoes"}, "3", std::nullopt,
                             ideas));
  }
  AnswerStore store(path_, clock_);
  EXPECT_EQ(store.Lookup({kSerpApi, "", QueryKind::Phrase, "red shoes"}, 1)->ideas, ideas);
  const auto asked = store.Lookup({kSerpApi, "", QueryKind::Autocomplete, "red shoes"}, 1);
  ASSERT_TRUE(asked);
  EXPECT_EQ(asked->count, "1");
  EXPECT_EQ(asked->ideas, suggestions);
  EXPECT_TRUE(store.Lookup({kSerpApi, "", QueryKind::Title, "red shoes"}, 1)->ideas.empty());
  // A newer answer with fewer ideas leaves none of the old ones behind.
  now_ += 60;
  ASSERT_TRUE(store.Record({kSerpApi, "", QueryKind::Phrase, "red shoes"}, "13", Results(1),
                           {ideas[1]}));
  EXPECT_EQ(store.Lookup({kSerpApi, "", QueryKind::Phrase, "red shoes"}, 1)->ideas,
            std::vector<KeywordIdea>{ideas[1]});
  ASSERT_TRUE(store.Record({kSerpApi, "", QueryKind::Phrase, "red shoes"}, "14", Results(1)));
  EXPECT_TRUE(store.Lookup({kSerpApi, "", QueryKind::Phrase, "red shoes"}, 1)->ideas.empty());
}

// A file of the version before ideas were kept opens without a word: its answers read as they
// were, with no ideas, and new answers keep theirs.
TEST_F(AnswerStoreTest, VersionTwoFileKeepsItsAnswersAndGainsIdeas) {
  MakeDatabase(path_,
               "CREATE TABLE answer(id INTEGER PRIMARY KEY, service TEXT NOT NULL,"
               " endpoint TEXT NOT NULL, engine TEXT, location TEXT NOT NULL, kind TEXT NOT NULL,"
               " query TEXT NOT NULL, count TEXT NOT NULL, listed INTEGER NOT NULL,"
               " arrived INTEGER NOT NULL,"
               " UNIQUE(service, endpoint, engine, location, kind, query));"
               "CREATE TABLE result(answer_id INTEGER NOT NULL, position INTEGER NOT NULL,"
               " title TEXT NOT NULL, link TEXT NOT NULL, PRIMARY KEY(answer_id, position))"
               " WITHOUT ROWID;"
               "INSERT INTO answer VALUES(1, 'SerpApi', '', '', '', 'phrase', 'red shoes', '1200',"
               " 1, 1800000000);"
               "INSERT INTO result VALUES(1, 1, 'Red', 'https://red.test/');"
               "PRAGMA user_version = 2;");
  {
    AnswerStore store(path_, clock_);
    ASSERT_TRUE(store.Available()) << store.OpenError();
    const auto old = store.Lookup({kSerpApi, "", QueryKind::Phrase, "red shoes"}, 1);
    ASSERT_TRUE(old);
    EXPECT_EQ(old->count, "1200");
    ASSERT_TRUE(old->results);
    EXPECT_EQ(old->results->at(0).link, "https://red.test/");
    EXPECT_TRUE(old->ideas.empty());
    ASSERT_TRUE(store.Record({kSerpApi, "", QueryKind::Phrase, "blue hats"}, "7", Results(0),
                             {{IdeaKind::kQuestion, "why blue hats?"}}));
  }
  AnswerStore again(path_, clock_);
  ASSERT_TRUE(again.Available()) << again.OpenError();
  EXPECT_EQ(again.Lookup({kSerpApi, "", QueryKind::Phrase, "blue hats"}, 1)->ideas,
            (std::vector<KeywordIdea>{{IdeaKind::kQuestion, "why blue hats?"}}));
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path_.c_str(), &db), SQLITE_OK);
  sqlite3_stmt* version = nullptr;
  sqlite3_prepare_v2(db, "PRAGMA user_version", -1, &version, nullptr);
  ASSERT_EQ(sqlite3_step(version), SQLITE_ROW);
  EXPECT_EQ(sqlite3_column_int(version, 0), kAnswerStoreSchema);
  sqlite3_finalize(version);
  sqlite3_close(db);
}

TEST_F(AnswerStoreTest, FileNeverHoldsTheKeyTheEngineCodeOrTheQueryUrl) {
  const Credentials settings = {"KEY-5e1f0c9d", "ENGINE-77aa", "", ""};
  std::vector<std::string> secrets = {settings.api_key, settings.engine_code};
  {
    AnswerStore store(path_, clock_);
    for (const char* service : {kGoogleCustomSearch, kSerpApi}) {
      const std::string url =
          SearchServiceNamed(service).QueryURL(QueryKind::Phrase, "red shoes", settings);
      ASSERT_NE(url.find(settings.api_key), std::string::npos);
      secrets.push_back(url);
      ASSERT_TRUE(store.Record({service, "", QueryKind::Phrase, "red shoes", settings.engine_code},
                               "9", Results(10)));
      ASSERT_TRUE(store.Record(
          {service, "", QueryKind::Backlinks, "https://r1.test/", settings.engine_code}, "3"));
    }
  }
  const auto files = FolderBytes();
  ASSERT_FALSE(files.empty());
  for (const auto& [name, bytes] : files) {
    for (const std::string& secret : secrets) {
      EXPECT_EQ(bytes.find(secret), std::string::npos) << name << " holds " << secret;
    }
  }
}

// A file the store cannot use is reported and left byte for byte as it was.
TEST_F(AnswerStoreTest, DamagedForeignAndNewerFilesAreReportedAndLeftAlone) {
  std::filesystem::create_directories(std::filesystem::path(path_).parent_path());
  const auto make_database = [&](const std::string& sql) { MakeDatabase(path_, sql); };
  // Version 1 without the column `listed`.
  std::string missing_column = kVersion1Tables;
  missing_column.replace(missing_column.find(" listed INTEGER NOT NULL,"), 25, "");
  struct Case {
    const char* name;
    std::function<void()> make;
    const char* reason;
  };
  const Case cases[] = {
      {"not SQLite", [&] { WriteBytes(path_, "answers, kept in a text file\n"); },
       "is damaged or not an answer store. It is left as it is."},
      {"another program's database",
       [&] { make_database("CREATE TABLE notes(body TEXT); INSERT INTO notes VALUES('x');"); },
       "is damaged or not an answer store. It is left as it is."},
      {"newer schema", [&] { make_database("CREATE TABLE answer(x); PRAGMA user_version = 99;"); },
       "was written by a newer Kelvaro. It is left as it is."},
      // The layout is checked against the version the file names.
      {"version-1 tables named version 2",
       [&] { make_database(std::string(kVersion1Tables) + "PRAGMA user_version = 2;"); },
       "is damaged or not an answer store. It is left as it is."},
      {"version 1 without a column",
       [&] { make_database(missing_column + "PRAGMA user_version = 1;"); },
       "is damaged or not an answer store. It is left as it is."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.make();
    const auto before = FolderBytes();
    {
      AnswerStore store(path_, clock_);
      EXPECT_FALSE(store.Available());
      EXPECT_EQ(store.OpenError(), "Stored answers are not used: " + path_ + " " + c.reason);
      EXPECT_FALSE(store.Record({kSerpApi, "", QueryKind::Phrase, "x"}, "1"));
      EXPECT_FALSE(store.Lookup({kSerpApi, "", QueryKind::Phrase, "x"}, 1));
    }
    EXPECT_EQ(FolderBytes(), before);
  }
}

#ifndef _WIN32
// Makes a file read-only for as long as it lives: by its mode, or, for a user whom the mode
// does not stop (root), by the file system's immutable flag where there is one.
struct ReadOnlyFile {
  explicit ReadOnlyFile(const std::string& file_name) : name(file_name) {
    std::filesystem::permissions(name, std::filesystem::perms::owner_read);
    made = access(name.c_str(), W_OK) != 0 || SetImmutable(true);
  }
  ~ReadOnlyFile() {
    SetImmutable(false);
    std::filesystem::permissions(
        name, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  }
  bool SetImmutable([[maybe_unused]] bool on) const {
#ifdef __linux__
    const int fd = open(name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    int flags = 0;
    bool set = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    set = set && ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    close(fd);
    return set && (!on || access(name.c_str(), W_OK) != 0);
#else
    return false;
#endif
  }
  std::string name;
  bool made = false;
};

// Recording fails quietly when the file cannot take more; what was stored stays readable.
TEST_F(AnswerStoreTest, FullDiskOrReadOnlyFileFailsTheRecordOnly) {
  // Kept open, as by a Kelvaro running beside, so the write-ahead log stays in place.
  AnswerStore open_store(path_, clock_);
  ASSERT_TRUE(open_store.Record({kSerpApi, "", QueryKind::Phrase, "kept"}, "5"));
  const std::string full_disk = testing::ErrorOnFullDisk([&] {
    AnswerStore store(path_, clock_);
    if (!store.Available()) throw Error("unavailable");
    if (store.Record({kSerpApi, "", QueryKind::Phrase, "new"}, "6", Results(10))) {
      throw Error("recorded on a full disk");
    }
    if (!store.Lookup({kSerpApi, "", QueryKind::Phrase, "kept"}, 1)) throw Error("lost");
  });
  EXPECT_EQ(full_disk, "");

  const ReadOnlyFile read_only(path_);
  if (!read_only.made) GTEST_SKIP() << "the file cannot be made read-only for this user";
  AnswerStore store(path_, clock_);
  EXPECT_TRUE(store.Available()) << store.OpenError();
  EXPECT_FALSE(store.Record({kSerpApi, "", QueryKind::Phrase, "new"}, "6"));
  EXPECT_TRUE(store.Lookup({kSerpApi, "", QueryKind::Phrase, "kept"}, 1));
}

// A store that cannot be made is unavailable and says why; a later start on a disk with room
// makes it.
TEST_F(AnswerStoreTest, StoreThatCannotBeMadeSaysSo) {
  const std::string cannot_be_made = "Stored answers are not used: " + path_ + " cannot be made (";
  const std::string full_disk = testing::ErrorOnFullDisk([&] {
    AnswerStore store(path_, clock_);
    if (store.Available()) throw Error("available");
    if (store.OpenError().rfind(cannot_be_made, 0) != 0) throw Error(store.OpenError());
  });
  EXPECT_EQ(full_disk, "");
  EXPECT_TRUE(AnswerStore(path_, clock_).Available());

  // A file where its folder should be.
  const std::string blocked = dir_.File("blocked/answers.sqlite");
  WriteBytes(dir_.File("blocked"), "x");
  AnswerStore store(blocked, clock_);
  EXPECT_FALSE(store.Available());
  EXPECT_EQ(
      store.OpenError().rfind("Stored answers are not used: " + blocked + " cannot be made (", 0),
      0u)
      << store.OpenError();
}
#endif

// Two stores on one file (as two Kelvaro processes have) write at once without losing an
// answer; the new file and its folder are for their owner only.
TEST_F(AnswerStoreTest, TwoWritersShareTheFileWhichOnlyItsOwnerMayRead) {
  constexpr int kEach = 40;
  AnswerStore first(path_, clock_);
  AnswerStore second(path_, clock_);
  const auto write = [&](AnswerStore& store, const std::string& prefix) {
    for (int i = 0; i < kEach; ++i) {
      EXPECT_TRUE(store.Record({kSerpApi, "", QueryKind::URL, prefix + std::to_string(i)}, "1"));
    }
  };
  std::thread a(write, std::ref(first), "a");
  std::thread b(write, std::ref(second), "b");
  a.join();
  b.join();
  std::vector<AnswerKey> queries;
  for (int i = 0; i < kEach; ++i) {
    for (const char* prefix : {"a", "b"}) {
      queries.push_back({kSerpApi, "", QueryKind::URL, prefix + std::to_string(i)});
    }
  }
  EXPECT_EQ(first.CountFresh(queries, 1), 2 * kEach);
#ifndef _WIN32
  namespace fs = std::filesystem;
  EXPECT_EQ(fs::status(path_).permissions(), fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(fs::status(fs::path(path_).parent_path()).permissions(), fs::perms::owner_all);
#endif
}

}  // namespace
}  // namespace kelvaro
