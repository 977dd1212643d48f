#include "settings/SettingsStore.h"

#include <optional>

#include "base/Error.h"

namespace kelvaro {
namespace {

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

void WriteText(SettingsKey& key, const std::string& name, const std::string& text) {
  std::string data = text;
  data.push_back('\0');
  if (!key.Set(name, kRegSz, data)) throw Error("Failed to set data for '" + name + "'");
}

}  // namespace

SettingsStore::SettingsStore(const std::string& location) : hive_(OpenUserHive(location)) {}

SettingsStore::~SettingsStore() = default;

void SettingsStore::Load(Credentials& settings) const {
  settings.api_key.clear();
  settings.engine_code.clear();
  const std::unique_ptr<SettingsKey> key = hive_->OpenKey(kSettingsKeyPath);
  if (!key) return;
  settings.api_key = ReadText(*key, kApiKeyValueName);
  settings.engine_code = ReadText(*key, kEngineCodeValueName);
}

void SettingsStore::Save(const Credentials& settings) {
  const std::unique_ptr<SettingsKey> key = hive_->CreateKey(kSettingsKeyPath);
  // A key that cannot be created makes the first write fail, as the registry does.
  if (!key) throw Error(std::string("Failed to set data for '") + kApiKeyValueName + "'");
  WriteText(*key, kApiKeyValueName, settings.api_key);
  WriteText(*key, kEngineCodeValueName, settings.engine_code);
}

}  // namespace kelvaro
