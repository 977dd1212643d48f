#include "settings/SettingsStore.h"

#include <algorithm>
#include <exception>
#include <optional>
#include <utility>
#include <vector>

#include "base/Error.h"

namespace kelvaro {
namespace {

// The stored values in the order they are read and written.
constexpr const char* kValueNames[] = {kApiKeyValueName, kEngineCodeValueName,
                                       kSearchServiceValueName, kEndpointValueName};

std::string ReadText(const SettingsKey& key, const std::string& name) {
  const std::optional<RawValue> value = key.Query(name);
  // A value with no data is empty whatever its type.
  if (!value || value->data.empty()) return std::string();
  if (value->type != kRegSz && value->type != kRegExpandSz) {
    throw Error("Invalid data type for '" + name + "'");
  }
  const std::string& data = value->data;
  return data.substr(0, data.find('\0'));
}

// A REG_SZ value: the text and its terminating NUL byte.
NamedValue TextValue(const std::string& name, const std::string& text) {
  std::string data = text;
  data.push_back('\0');
  return NamedValue{name, RawValue{kRegSz, std::move(data)}};
}

}  // namespace

SettingsStore::SettingsStore(const std::string& location) : hive_(OpenUserHive(location)) {}

SettingsStore::~SettingsStore() = default;

void SettingsStore::Load(Credentials& settings) const {
  Credentials values;
  try {
    LoadValues(values, 2);
  } catch (...) {
    settings = {values.api_key, values.engine_code};
    throw;
  }
  settings = {values.api_key, values.engine_code};
}

void SettingsStore::Save(const Credentials& settings) {
  SaveValues({settings.api_key, settings.engine_code, "", ""}, 2);
}

void SettingsStore::LoadSearchSettings(Credentials& settings) const {
  LoadValues(settings, 4);
  SearchServiceNamed(settings.service);
}

void SettingsStore::SaveSearchSettings(const Credentials& settings) { SaveValues(settings, 4); }

bool SettingsStore::LoadVolumeSettings(Credentials& settings) const {
  settings.volume_key.clear();
  settings.volume_country = kDefaultVolumeCountry;
  const std::unique_ptr<SettingsKey> key = hive_->OpenKey(kSettingsKeyPath);
  if (!key) return false;
  const bool stored =
      key->Query(kVolumeKeyValueName).has_value() || key->Query(kVolumeCountryValueName).has_value();
  settings.volume_key = ReadText(*key, kVolumeKeyValueName);
  if (key->Query(kVolumeCountryValueName)) {
    settings.volume_country = ReadText(*key, kVolumeCountryValueName);
  }
  settings.rank_key = ReadText(*key, kRankKeyValueName);
  settings.dfs_login = ReadText(*key, kDfsLoginValueName);
  settings.dfs_password = ReadText(*key, kDfsPasswordValueName);
  settings.dfs_priority = ReadText(*key, kDfsQueueValueName) == kDfsPriorityQueue;
  return stored;
}

void SettingsStore::SaveSettings(const Credentials& settings, bool with_volume) {
  std::vector<NamedValue> volume;
  if (with_volume) {
    volume.push_back(TextValue(kVolumeKeyValueName, settings.volume_key));
    volume.push_back(TextValue(kVolumeCountryValueName, settings.volume_country));
  }
  if (!settings.rank_key.empty() || HoldsValue(kRankKeyValueName)) {
    volume.push_back(TextValue(kRankKeyValueName, settings.rank_key));
  }
  if (!settings.dfs_login.empty() || !settings.dfs_password.empty() || settings.dfs_priority ||
      HoldsValue(kDfsLoginValueName)) {
    volume.push_back(TextValue(kDfsLoginValueName, settings.dfs_login));
    volume.push_back(TextValue(kDfsPasswordValueName, settings.dfs_password));
    volume.push_back(TextValue(kDfsQueueValueName,
                               settings.dfs_priority ? kDfsPriorityQueue : kDfsStandardQueue));
  }
  SaveValues({settings.api_key, settings.engine_code, settings.service, settings.endpoint},
             4, volume);
}

bool SettingsStore::LoadInto(ApiCredentials& holder, std::string& error) const {
  error.clear();
  Credentials values;
  try {
    LoadSearchSettings(values);
    Credentials loaded = values;
    const bool with_volume = LoadVolumeSettings(loaded);
    holder.Set(std::move(loaded));
    return with_volume;
  } catch (const std::exception& e) {
    holder.Set(std::move(values));
    error = e.what();
    return false;
  }
}

int SettingsStore::LoadWholeNumber(const char* name, int min, int max, int fallback) const {
  const std::unique_ptr<SettingsKey> key = hive_->OpenKey(kSettingsKeyPath);
  if (!key) return fallback;
  const std::optional<RawValue> value = key->Query(name);
  if (!value || (value->type != kRegSz && value->type != kRegExpandSz)) return fallback;
  const std::string text = value->data.substr(0, value->data.find('\0'));
  const size_t digits = std::to_string(max).size();
  if (text.empty() || text.size() > digits) return fallback;
  int number = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return fallback;
    number = number * 10 + (c - '0');
  }
  return number >= min && number <= max ? number : fallback;
}

void SettingsStore::SaveWholeNumber(const char* name, int value) {
  const std::unique_ptr<SettingsKey> key = hive_->CreateKey(kSettingsKeyPath);
  if (!key) throw Error(std::string("Failed to set data for '") + name + "'");
  const std::vector<NamedValue> values = {TextValue(name, std::to_string(value))};
  if (key->SetValues(values) < values.size()) {
    throw Error(std::string("Failed to set data for '") + name + "'");
  }
}

int SettingsStore::LoadReuseDays() const {
  return LoadWholeNumber(kReuseDaysValueName, 0, kMaxReuseDays, 0);
}

void SettingsStore::SaveReuseDays(int days) {
  SaveWholeNumber(kReuseDaysValueName, std::clamp(days, 0, kMaxReuseDays));
}

int SettingsStore::LoadSearchesAtOnce() const {
  return LoadWholeNumber(kSearchesAtOnceValueName, 1, kMaxSearchesAtOnceSetting, 1);
}

void SettingsStore::SaveSearchesAtOnce(int searches) {
  SaveWholeNumber(kSearchesAtOnceValueName, std::clamp(searches, 1, kMaxSearchesAtOnceSetting));
}

bool SettingsStore::LoadAskBacklinks() const {
  const std::unique_ptr<SettingsKey> key = hive_->OpenKey(kSettingsKeyPath);
  if (!key) return true;
  const std::optional<RawValue> value = key->Query(kAskBacklinksValueName);
  if (!value || (value->type != kRegSz && value->type != kRegExpandSz)) return true;
  return value->data.substr(0, value->data.find('\0')) != "0";
}

void SettingsStore::SaveAskBacklinks(bool ask) {
  const std::unique_ptr<SettingsKey> key = hive_->CreateKey(kSettingsKeyPath);
  const std::vector<NamedValue> values = {TextValue(kAskBacklinksValueName, ask ? "1" : "0")};
  if (!key || key->SetValues(values) < values.size()) {
    throw Error(std::string("Failed to set data for '") + kAskBacklinksValueName + "'");
  }
}

bool SettingsStore::HoldsValue(const char* name) const {
  try {
    const std::unique_ptr<SettingsKey> key = hive_->OpenKey(kSettingsKeyPath);
    return key && key->Query(name).has_value();
  } catch (const std::exception&) {
    return false;
  }
}

void SettingsStore::LoadValues(Credentials& settings, int count) const {
  settings = Credentials();
  const std::unique_ptr<SettingsKey> key = hive_->OpenKey(kSettingsKeyPath);
  if (!key) return;
  std::string* const fields[] = {&settings.api_key, &settings.engine_code, &settings.service,
                                 &settings.endpoint};
  for (int i = 0; i < count; ++i) *fields[i] = ReadText(*key, kValueNames[i]);
}

void SettingsStore::SaveValues(const Credentials& settings, int count,
                               const std::vector<NamedValue>& more) {
  const std::unique_ptr<SettingsKey> key = hive_->CreateKey(kSettingsKeyPath);
  // A key that cannot be created makes the first write fail, as the registry does.
  if (!key) throw Error(std::string("Failed to set data for '") + kApiKeyValueName + "'");
  const std::string* const fields[] = {&settings.api_key, &settings.engine_code, &settings.service,
                                       &settings.endpoint};
  std::vector<NamedValue> values;
  values.reserve(static_cast<std::size_t>(count) + more.size());
  for (int i = 0; i < count; ++i) values.push_back(TextValue(kValueNames[i], *fields[i]));
  values.insert(values.end(), more.begin(), more.end());
  const std::size_t stored = key->SetValues(values);
  if (stored < values.size()) {
    throw Error("Failed to set data for '" + values[stored].name + "'");
  }
}

}  // namespace kelvaro
