// The current user's hive on Windows: the registry under HKEY_CURRENT_USER, reached
// through the ANSI functions so texts stay 8-bit bytes in the system code page.

#include "base/WindowsApi.h"  // first: the headers below need its types

#include <memory>
#include <optional>
#include <string>

#include "base/Error.h"
#include "settings/SettingsHive.h"

namespace kelvaro {
namespace {

// A value may grow between asking for its size and fetching it; a few retries cover that.
constexpr int kFetchAttempts = 8;

class RegistryKey : public SettingsKey {
 public:
  explicit RegistryKey(HKEY key) : key_(key) {}
  ~RegistryKey() override { RegCloseKey(key_); }
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;

  std::optional<RawValue> Query(const std::string& name) const override {
    DWORD type = REG_NONE;
    DWORD size = 0;
    // First the size: a missing value is no value, whatever the reason it is missing.
    if (RegQueryValueExA(key_, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
      return std::nullopt;
    }
    RawValue value;
    value.type = type;
    if (size == 0) return value;
    for (int attempt = 0; attempt < kFetchAttempts; ++attempt) {
      value.data.assign(size, '\0');
      DWORD got = size;
      const LONG result = RegQueryValueExA(key_, name.c_str(), nullptr, &type,
                                           reinterpret_cast<BYTE*>(value.data.data()), &got);
      if (result == ERROR_SUCCESS) {
        // The size asked first may be larger than the data (texts converted to ANSI).
        value.data.resize(got);
        value.type = type;
        return value;
      }
      if (result != ERROR_MORE_DATA) break;
      size = got > size ? got : size * 2;
    }
    throw Error("Failed to get data for '" + name + "'");
  }

  bool Set(const std::string& name, std::uint32_t type, const std::string& data) override {
    return RegSetValueExA(key_, name.c_str(), 0, static_cast<DWORD>(type),
                          reinterpret_cast<const BYTE*>(data.data()),
                          static_cast<DWORD>(data.size())) == ERROR_SUCCESS;
  }

 private:
  HKEY key_;
};

class RegistryHive : public SettingsHive {
 public:
  std::unique_ptr<SettingsKey> OpenKey(const std::string& key_path) const override {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, key_path.c_str(), 0, KEY_ALL_ACCESS, &key) !=
        ERROR_SUCCESS) {
      return nullptr;
    }
    return std::make_unique<RegistryKey>(key);
  }

  std::unique_ptr<SettingsKey> CreateKey(const std::string& key_path) const override {
    HKEY key = nullptr;
    DWORD disposition = 0;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, key_path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &key, &disposition) != ERROR_SUCCESS) {
      return nullptr;
    }
    return std::make_unique<RegistryKey>(key);
  }
};

}  // namespace

std::unique_ptr<SettingsHive> OpenUserHive(const std::string& /*location*/) {
  return std::make_unique<RegistryHive>();
}

std::string DefaultSettingsLocation() { return "HKEY_CURRENT_USER"; }

}  // namespace kelvaro
