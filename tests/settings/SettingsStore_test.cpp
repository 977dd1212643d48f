#include "settings/SettingsStore.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "base/Error.h"
#include "settings/SettingsHive.h"
#include "tests/support/TempDir.h"
#include "tests/support/UserHive.h"

namespace kelvaro {
namespace {

using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

using namespace std::string_literals;

class SettingsStoreTest : public ::testing::Test {
 protected:
  void SetUp() override { testing::UseEmptyUserHive(location_); }

  TempDir dir_;
  // A folder that does not exist yet, so saving has to create it.
  std::string location_ = dir_.File("Dovrane/Kelvaro/Settings.reg");

  void SetRaw(const std::string& name, std::uint32_t type, const std::string& data) {
    const auto key = OpenUserHive(location_)->CreateKey(kSettingsKeyPath);
    ASSERT_NE(key, nullptr);
    ASSERT_TRUE(key->Set(name, type, data));
  }

  std::optional<RawValue> GetRaw(const std::string& name) {
    const auto key = OpenUserHive(location_)->OpenKey(kSettingsKeyPath);
    if (!key) return std::nullopt;
    return key->Query(name);
  }

  // The load's error text, "" when it succeeded.
  std::string LoadError(Credentials& settings) {
    return ErrorOf([&] { SettingsStore(location_).Load(settings); });
  }
  std::string LoadSearchError(Credentials& settings) {
    return ErrorOf([&] { SettingsStore(location_).LoadSearchSettings(settings); });
  }
  template <typename Load>
  static std::string ErrorOf(Load load) {
    try {
      load();
    } catch (const Error& e) {
      return e.what();
    }
    return "";
  }
};

TEST_F(SettingsStoreTest, RoundTripKeepsEveryByteOfBothTexts) {
  const Credentials cases[] = {
      {"  key with spaces  ", " cx:engine "},
      {"caf\xe9 \x80\xff\xa0 \"quoted\" C:\\path\\ \\\" \t", "\\"},
      {"line one\r\nline two\n", "ends in a lone CR\r"},
      {"   ", ""},
      {std::string(300, 'k') + "\n" + std::string(300, '\xfe'), "x"},
  };
  for (const Credentials& saved : cases) {
    SettingsStore(location_).Save(saved);
    Credentials loaded{"stale", "stale"};
    SettingsStore(location_).Load(loaded);
    EXPECT_EQ(loaded.api_key, saved.api_key);
    EXPECT_EQ(loaded.engine_code, saved.engine_code);
    // Stored as REG_SZ with the NUL counted; an empty text is the NUL alone.
    const auto raw = GetRaw("Engine Code");
    ASSERT_TRUE(raw);
    EXPECT_EQ(raw->type, kRegSz);
    EXPECT_EQ(raw->data, saved.engine_code + '\0');
  }
}

TEST_F(SettingsStoreTest, MissingHiveOrKeyGivesEmptyValuesAndCreatesNothing) {
  Credentials settings{"old key", "old code"};
  EXPECT_EQ(LoadError(settings), "");
  EXPECT_EQ(settings.api_key, "");
  EXPECT_EQ(settings.engine_code, "");
  EXPECT_FALSE(std::filesystem::exists(dir_.File("Dovrane")));

  // A hive that holds other keys only.
  std::filesystem::create_directories(dir_.File("Dovrane/Kelvaro"));
  const std::string other =
      "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Dovrane\\Other]\r\n\"APIkey\"=\"x\"\r\n";
  WriteBytes(location_, other);
  settings = {"old key", "old code"};
  EXPECT_EQ(LoadError(settings), "");
  EXPECT_EQ(settings.api_key, "");
  EXPECT_EQ(settings.engine_code, "");
  EXPECT_EQ(ReadBytes(location_), other);
}

TEST_F(SettingsStoreTest, StringTypesAreReadLiterallyUpToTheFirstNul) {
  SetRaw("APIkey", kRegExpandSz, "%USERPROFILE%\\key\0"s);
  SetRaw("Engine Code", kRegSz, "code\0after the NUL\0"s);
  Credentials settings;
  EXPECT_EQ(LoadError(settings), "");
  EXPECT_EQ(settings.api_key, "%USERPROFILE%\\key");
  EXPECT_EQ(settings.engine_code, "code");

  SetRaw("Engine Code", kRegSz, "no NUL at all");
  EXPECT_EQ(LoadError(settings), "");
  EXPECT_EQ(settings.engine_code, "no NUL at all");

  // The next save writes the expandable text back as a plain string.
  SettingsStore(location_).Save(settings);
  const auto raw = GetRaw("APIkey");
  ASSERT_TRUE(raw);
  EXPECT_EQ(raw->type, kRegSz);
  EXPECT_EQ(raw->data, "%USERPROFILE%\\key\0"s);
}

TEST_F(SettingsStoreTest, ValueOfAnotherTypeStopsTheLoadAfterWhatWasRead) {
  SetRaw("APIkey", kRegSz, "the key\0"s);
  SetRaw("Engine Code", kRegDword, "\x01\x00\x00\x00"s);
  Credentials settings;
  EXPECT_EQ(LoadError(settings), "Invalid data type for 'Engine Code'");
  EXPECT_EQ(settings.api_key, "the key");
  EXPECT_EQ(settings.engine_code, "");

  // A bad "APIkey" skips "Engine Code", even a good one.
  SetRaw("APIkey", kRegBinary, "\x01"s);
  SetRaw("Engine Code", kRegSz, "code\0"s);
  settings = {"old key", "old code"};
  EXPECT_EQ(LoadError(settings), "Invalid data type for 'APIkey'");
  EXPECT_EQ(settings.api_key, "");
  EXPECT_EQ(settings.engine_code, "");

  // Saving replaces the offending value with text.
  SettingsStore(location_).Save({"new key", "code"});
  EXPECT_EQ(LoadError(settings), "");
  EXPECT_EQ(settings.api_key, "new key");
}

TEST_F(SettingsStoreTest, ValueWithoutDataIsEmptyWhateverItsType) {
  SetRaw("APIkey", kRegBinary, "");
  SetRaw("Engine Code", kRegDword, "");
  Credentials settings{"old key", "old code"};
  EXPECT_EQ(LoadError(settings), "");
  EXPECT_EQ(settings.api_key, "");
  EXPECT_EQ(settings.engine_code, "");
}

TEST_F(SettingsStoreTest, StoreWithTheKeyPairOnlyMeansGoogleCustomSearch) {
  SettingsStore(location_).Save(Credentials{"key", "code"});
  Credentials settings{"stale", "stale", "stale", "stale"};
  EXPECT_EQ(LoadSearchError(settings), "");
  EXPECT_EQ(settings.api_key, "key");
  EXPECT_EQ(settings.engine_code, "code");
  EXPECT_EQ(settings.service, "");
  EXPECT_EQ(settings.endpoint, "");
  EXPECT_EQ(FindSearchService(settings.service)->Name(), std::string(kGoogleCustomSearch));
  EXPECT_FALSE(GetRaw("Search Service"));
}

TEST_F(SettingsStoreTest, ServiceAndEndpointAreStoredBesideTheKeyPair) {
  const Credentials saved{"key", "", "SerpApi", " https://proxy.example:8443/serp "};
  SettingsStore(location_).SaveSearchSettings(saved);
  Credentials loaded;
  EXPECT_EQ(LoadSearchError(loaded), "");
  EXPECT_EQ(loaded.service, "SerpApi");
  EXPECT_EQ(loaded.endpoint, saved.endpoint);
  const auto raw = GetRaw("Endpoint");
  ASSERT_TRUE(raw);
  EXPECT_EQ(raw->type, kRegSz);
  EXPECT_EQ(raw->data, saved.endpoint + '\0');
  // The key pair's own load and save leave the new values alone.
  Credentials pair;
  EXPECT_EQ(LoadError(pair), "");
  SettingsStore(location_).Save(Credentials{"other key", "code"});
  EXPECT_EQ(LoadSearchError(loaded), "");
  EXPECT_EQ(loaded.service, "SerpApi");
}

TEST_F(SettingsStoreTest, UnknownOrMistypedServiceIsReportedWithTheOtherValuesRead) {
  SetRaw("APIkey", kRegSz, "key\0"s);
  SetRaw("Search Service", kRegSz, "Bing\0"s);
  SetRaw("Endpoint", kRegSz, "https://proxy.example\0"s);
  Credentials settings;
  EXPECT_EQ(LoadSearchError(settings), "Unknown search service \"Bing\"");
  EXPECT_EQ(settings.api_key, "key");
  EXPECT_EQ(settings.service, "Bing");
  EXPECT_EQ(settings.endpoint, "https://proxy.example");

  SetRaw("Search Service", kRegDword, "\x01\x00\x00\x00"s);
  EXPECT_EQ(LoadSearchError(settings), "Invalid data type for 'Search Service'");
  EXPECT_EQ(settings.api_key, "key");
}

TEST_F(SettingsStoreTest, VolumeValuesAreWrittenOnlyWhenAskedAndReadWithTheirDefault) {
  Credentials values{"k", "cx", "SerpApi", "", "VOLKEY", "gb"};
  SettingsStore(location_).SaveSettings(values, /*with_volume=*/false);
  Credentials read;
  EXPECT_FALSE(SettingsStore(location_).LoadVolumeSettings(read));
  EXPECT_EQ(read.volume_key, "");
  EXPECT_EQ(read.volume_country, "us");
  EXPECT_EQ(GetRaw(kVolumeKeyValueName), std::nullopt);

  SettingsStore(location_).SaveSettings(values, /*with_volume=*/true);
  EXPECT_TRUE(SettingsStore(location_).LoadVolumeSettings(read));
  EXPECT_EQ(read.volume_key, "VOLKEY");
  EXPECT_EQ(read.volume_country, "gb");
  EXPECT_EQ(GetRaw(kVolumeKeyValueName)->type, kRegSz);
  Credentials search;
  SettingsStore(location_).LoadSearchSettings(search);
  EXPECT_EQ(search.api_key, "k");
  EXPECT_EQ(search.service, "SerpApi");

  SetRaw(kVolumeCountryValueName, kRegDword, "\x01\x00\x00\x00"s);
  EXPECT_THROW(SettingsStore(location_).LoadVolumeSettings(read), Error);
}

// The rank key is written once there is one, and from then on also when emptied, whatever the
// volume values do; "Ask Backlinks" is on unless it says "0".
TEST_F(SettingsStoreTest, RankKeyAndAskBacklinks) {
  Credentials values{"k", "cx"};
  SettingsStore(location_).SaveSettings(values, /*with_volume=*/false);
  EXPECT_EQ(GetRaw(kRankKeyValueName), std::nullopt);
  values.rank_key = "RANKKEY";
  SettingsStore(location_).SaveSettings(values, /*with_volume=*/false);
  Credentials read;
  EXPECT_FALSE(SettingsStore(location_).LoadVolumeSettings(read));
  EXPECT_EQ(read.rank_key, "RANKKEY");
  values.rank_key.clear();
  SettingsStore(location_).SaveSettings(values, /*with_volume=*/false);
  EXPECT_EQ(GetRaw(kRankKeyValueName)->data, "\0"s);
  SettingsStore(location_).LoadVolumeSettings(read);
  EXPECT_EQ(read.rank_key, "");

  EXPECT_TRUE(SettingsStore(location_).LoadAskBacklinks());
  SettingsStore(location_).SaveAskBacklinks(false);
  EXPECT_EQ(GetRaw(kAskBacklinksValueName)->data, "0\0"s);
  EXPECT_FALSE(SettingsStore(location_).LoadAskBacklinks());
  SettingsStore(location_).SaveAskBacklinks(true);
  EXPECT_TRUE(SettingsStore(location_).LoadAskBacklinks());
  SetRaw(kAskBacklinksValueName, kRegDword, "\x00\x00\x00\x00"s);
  EXPECT_TRUE(SettingsStore(location_).LoadAskBacklinks());
}

TEST_F(SettingsStoreTest, ReuseDaysIsADecimalTextAndAnythingElseMeansZero) {
  EXPECT_EQ(SettingsStore(location_).LoadReuseDays(), 0);
  SettingsStore(location_).SaveReuseDays(30);
  const auto raw = GetRaw("Reuse Days");
  ASSERT_TRUE(raw);
  EXPECT_EQ(raw->type, kRegSz);
  EXPECT_EQ(raw->data, "30\0"s);
  EXPECT_EQ(SettingsStore(location_).LoadReuseDays(), 30);
  SettingsStore(location_).SaveReuseDays(kMaxReuseDays + 1);
  EXPECT_EQ(SettingsStore(location_).LoadReuseDays(), kMaxReuseDays);

  for (const std::string& text : {""s, "\0"s, " 7"s, "7 "s, "-1"s, "+1"s, "$10"s, "3651\0"s,
                                   "99999999999\0"s, "1e3\0"s}) {
    SetRaw("Reuse Days", kRegSz, text);
    EXPECT_EQ(SettingsStore(location_).LoadReuseDays(), 0) << text;
  }
  SetRaw("Reuse Days", kRegDword, "\x07\x00\x00\x00"s);
  EXPECT_EQ(SettingsStore(location_).LoadReuseDays(), 0);
  // The other values do not see it.
  Credentials settings;
  EXPECT_EQ(LoadSearchError(settings), "");
}

TEST_F(SettingsStoreTest, SearchesAtOnceIsOneUnlessAWholeNumberFromOneToSixteen) {
  EXPECT_EQ(SettingsStore(location_).LoadSearchesAtOnce(), 1);
  SettingsStore(location_).SaveSearchesAtOnce(8);
  EXPECT_EQ(GetRaw("Searches At Once")->data, "8\0"s);
  EXPECT_EQ(SettingsStore(location_).LoadSearchesAtOnce(), 8);
  SettingsStore(location_).SaveSearchesAtOnce(40);
  EXPECT_EQ(SettingsStore(location_).LoadSearchesAtOnce(), 16);
  for (const std::string& text : {"0\0"s, "17\0"s, "100\0"s, "four"s, " 4"s, ""s}) {
    SetRaw("Searches At Once", kRegSz, text);
    EXPECT_EQ(SettingsStore(location_).LoadSearchesAtOnce(), 1) << text;
  }
  SetRaw("Searches At Once", kRegDword, "\x04\x00\x00\x00"s);
  EXPECT_EQ(SettingsStore(location_).LoadSearchesAtOnce(), 1);
}

}  // namespace
}  // namespace kelvaro
