#pragma once

#include <memory>
#include <string>
#include <vector>

#include "base/ApiCredentials.h"
#include "settings/SettingsHive.h"
#include "web/SearchService.h"

namespace kelvaro {

// Where the API key and engine code live, relative to the current user's hive, and the
// names of their two values (note the lower-case k and the space).
inline constexpr char kSettingsKeyPath[] = "Software\\Dovrane\\Kelvaro\\Settings";
inline constexpr char kApiKeyValueName[] = "APIkey";
inline constexpr char kEngineCodeValueName[] = "Engine Code";
// The search service's name (absent or empty: Google Custom Search) and the endpoint
// requests go to (absent or empty: the service's own address).
inline constexpr char kSearchServiceValueName[] = "Search Service";
inline constexpr char kEndpointValueName[] = "Endpoint";
// How many days a stored answer may stand in for a query: a decimal whole number text from 0
// to kMaxReuseDays; 0 (also absent, empty or anything else) means always asking the service.
inline constexpr char kReuseDaysValueName[] = "Reuse Days";
inline constexpr int kMaxReuseDays = 3650;
// How many searches a run keeps under way at once: a decimal whole number text from 1 to
// kMaxSearchesAtOnceSetting; 1 (also absent, empty or anything else) is one at a time.
inline constexpr char kSearchesAtOnceValueName[] = "Searches At Once";
inline constexpr int kMaxSearchesAtOnceSetting = 16;
// The volume service's key (absent or empty: no monthly searches) and its two-letter country
// (absent: kDefaultVolumeCountry; empty: worldwide).
inline constexpr char kVolumeKeyValueName[] = "Volume Key";
inline constexpr char kVolumeCountryValueName[] = "Volume Country";
inline constexpr char kDefaultVolumeCountry[] = "us";
// The domain rank service's key (absent or empty: no domain ranks).
inline constexpr char kRankKeyValueName[] = "Rank Key";
// DataForSEO's API login and password, and its queue: "Priority", or (also absent or anything
// else) the standard queue.
inline constexpr char kDfsLoginValueName[] = "DataForSEO Login";
inline constexpr char kDfsPasswordValueName[] = "DataForSEO Password";
inline constexpr char kDfsQueueValueName[] = "DataForSEO Queue";
inline constexpr char kDfsPriorityQueue[] = "Priority";
inline constexpr char kDfsStandardQueue[] = "Standard";
// Whether Deep Analysis asks the backlink counts: "0" no, anything else (also absent) yes.
inline constexpr char kAskBacklinksValueName[] = "Ask Backlinks";

// The stored search settings: the API key and engine code, the search service and its
// endpoint. The main window loads them once while it is created and saves them once when it
// closes; nothing else touches the store. Texts are bytes, stored and returned exactly as
// given (no trimming, no conversion).
class SettingsStore {
 public:
  // The store in the current user's hive at `location` (see DefaultSettingsLocation();
  // tests pass a file in a temporary folder).
  explicit SettingsStore(const std::string& location);
  ~SettingsStore();
  SettingsStore(const SettingsStore&) = delete;
  SettingsStore& operator=(const SettingsStore&) = delete;

  // Empties both fields of `settings`, then fills them from the store: "APIkey" into
  // api_key, then "Engine Code" into engine_code. A missing key, a missing value or a
  // value with no data gives an empty text, silently. REG_SZ and REG_EXPAND_SZ data is
  // taken literally (nothing is expanded) up to its first NUL byte.
  // Throws kelvaro::Error "Invalid data type for '<name>'" for a value of any other type
  // that holds data; `settings` then keeps what was read before it and the values after
  // it stay empty. Throws the hive's kelvaro::Error when the hive cannot be read.
  void Load(Credentials& settings) const;

  // Writes "APIkey" := api_key, then "Engine Code" := engine_code, each as REG_SZ whose
  // data is the text followed by one NUL byte, creating the key when it is missing. A hive
  // file gets all values in one replacement of the file; the registry one value at a time.
  // Throws kelvaro::Error "Failed to set data for '<name>'" at the first value that cannot
  // be written ("APIkey" when the key or the file cannot be written); nothing after it is
  // written, and in a hive file nothing at all.
  void Save(const Credentials& settings);

  // Like Load(Credentials&), then "Search Service" into service and "Endpoint" into endpoint,
  // with the same rules. After all four values are read, a service name that
  // FindSearchService does not know throws kelvaro::Error `Unknown search service "<name>"`;
  // `settings` then holds all four values, the unknown name included.
  void LoadSearchSettings(Credentials& settings) const;

  // Like Save(const Credentials&), then "Search Service" := service and "Endpoint" :=
  // endpoint, in that order and with the same rules.
  void SaveSearchSettings(const Credentials& settings);

  // "Volume Key" into volume_key, "Volume Country" into volume_country and "Rank Key" into
  // rank_key, and DataForSEO's login, password and queue, the other fields untouched, with Load's rules (an absent country gives
  // kDefaultVolumeCountry). Returns whether the store holds either volume value. Throws as
  // Load does.
  bool LoadVolumeSettings(Credentials& settings) const;

  // LoadSearchSettings, then LoadVolumeSettings, straight into `holder`: what was read stays
  // there even when loading stops (an unknown service name included), so the settings dialog
  // can ask for what is missing or wrong. Returns whether the store holds volume values, and
  // the load's error text in `error` ("" when it succeeded). Never throws.
  bool LoadInto(ApiCredentials& holder, std::string& error) const;

  // Like SaveSearchSettings with the search settings of `settings`, and with `with_volume`
  // "Volume Key" and "Volume Country" too, and "Rank Key" when rank_key is not empty or the
  // store holds one (so a key emptied in the dialog is emptied in the store), and DataForSEO's
  // three values by the same rule, all in one write of the store.
  void SaveSettings(const Credentials& settings, bool with_volume);

  // "Ask Backlinks": false only for the text "0"; true when it is absent, empty, of another
  // type or anything else. Throws the hive's kelvaro::Error when the hive cannot be read.
  bool LoadAskBacklinks() const;
  // Writes "Ask Backlinks" := "1" or "0" as REG_SZ. Throws kelvaro::Error "Failed to set data
  // for 'Ask Backlinks'" when it cannot be written.
  void SaveAskBacklinks(bool ask);

  // "Reuse Days" as a number of days, 0 to kMaxReuseDays. A value that is missing, empty, of
  // another type, not a decimal whole number (digits only) or above kMaxReuseDays gives 0.
  // Throws the hive's kelvaro::Error when the hive cannot be read.
  int LoadReuseDays() const;
  // Writes "Reuse Days" := `days` (brought into 0 to kMaxReuseDays) as REG_SZ decimal text.
  // Throws kelvaro::Error "Failed to set data for 'Reuse Days'" when it cannot be written.
  void SaveReuseDays(int days);
  // "Searches At Once", 1 to kMaxSearchesAtOnceSetting, by the same rule as "Reuse Days" (a
  // value it does not accept gives 1); saved the same way.
  int LoadSearchesAtOnce() const;
  void SaveSearchesAtOnce(int searches);

 private:
  // A whole number value (decimal digits only, REG_SZ or REG_EXPAND_SZ) from `min` to `max`;
  // `fallback` for anything else. Written back brought into the range.
  int LoadWholeNumber(const char* name, int min, int max, int fallback) const;
  void SaveWholeNumber(const char* name, int value);

  // The first `count` values in the order APIkey, Engine Code, Search Service, Endpoint.
  void LoadValues(Credentials& settings, int count) const;
  void SaveValues(const Credentials& settings, int count,
                  const std::vector<NamedValue>& more = {});

  // Whether the store holds the value `name` (false when it cannot be read).
  bool HoldsValue(const char* name) const;

  std::unique_ptr<SettingsHive> hive_;
};

}  // namespace kelvaro
